#!/usr/bin/env bash
# The committed generated tables are what their generators write today. The Unicode tables come
# from Debian's unicode-data (the version the tables were made from); the named references from
# Python's own table, whose banner line names the Python that wrote it and is not compared.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if head -1 /usr/share/unicode/PropList.txt 2>/dev/null | grep -q 'PropList-15.0.0.txt'; then
  python3 tools/gen_unicode_tables.py --out "$out/unicode_tables.inc" >/dev/null
  cmp "$out/unicode_tables.inc" src/text/unicode_tables.inc
else
  echo "check_generated: the Unicode Character Database 15.0.0 is not installed; tables not checked" >&2
fi
python3 tools/gen_named_entities.py --out "$out/named_entities.inc" >/dev/null
cmp <(tail -n +2 "$out/named_entities.inc") <(tail -n +2 html5/named_entities.inc)
echo "generated tables: as their generators write them"
