#!/usr/bin/env bash
# Compiles the binding (py/) against CPython 3.13's headers, with the GIL and free-threaded
# (Py_GIL_DISABLED, which is all the free-threaded build's pyconfig.h adds), so that every
# version branch for 3.13 builds. The headers come from Debian's python3.13-dev packages (trixie),
# fetched with apt-get under a private configuration into build/py313: the machine's own package
# sources and installed packages stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD/build/py313
include=$root/root/usr/include

if [ ! -f "$include/python3.13/Python.h" ]; then
  mkdir -p "$root/lists/partial" "$root/archives/partial"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian trixie main" \
    >"$root/sources.list"
  apt_private=(-o "Dir::Etc::SourceList=$root/sources.list" -o Dir::Etc::SourceParts=/nonexistent
               -o "Dir::State::Lists=$root/lists" -o "Dir::Cache=$root")
  # Without the registry the check cannot run; that is reported, not failed.
  if ! apt-get "${apt_private[@]}" -qq update ||
     ! (cd "$root" && apt-get "${apt_private[@]}" -qq download libpython3.13-dev python3.13-dev 2>/dev/null); then
    echo "check_py313: CPython 3.13 headers could not be fetched; skipped"
    exit 0
  fi
  for deb in "$root"/*.deb; do dpkg-deb -x "$deb" "$root/root"; done
fi

for gil in "" "-DPy_GIL_DISABLED=1"; do
  for source in py/*.cpp; do
    g++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-unused-parameter $gil \
      -I"$include/python3.13" -I"$include" -Isrc -I. "$source"
  done
done
echo "py/ compiles against CPython 3.13 headers, with and without the GIL"
