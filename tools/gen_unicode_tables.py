#!/usr/bin/env python3
"""Generates src/text/unicode_tables.inc from the Unicode Character Database.

    python3 tools/gen_unicode_tables.py [--ucd /usr/share/unicode] [--out src/text/unicode_tables.inc]

Reads UnicodeData.txt, PropList.txt, DerivedCoreProperties.txt and SpecialCasing.txt (Debian's
`unicode-data` package installs them under /usr/share/unicode). The output holds:

- a two-stage property table: every code point maps, through a block index, to a small record of
  general category and property flags (White_Space, Alphabetic, Lowercase, Uppercase, Cased,
  Case_Ignorable, Grapheme_Extend, and whether the character has a lower/upper case mapping);
- the full lower- and uppercase mappings (UnicodeData's simple mappings overridden by the
  unconditional entries of SpecialCasing) as sorted key/value arrays, with the mappings to more
  than one character in a side table.

The script checks every packing limit it relies on and stops with an error instead of writing a
table that would not fit its types.
"""

import argparse
import os
import re
import sys

EXPECTED_VERSION = "15.0.0"

CATEGORIES = [
    "Lu", "Ll", "Lt", "Lm", "Lo",
    "Mn", "Mc", "Me",
    "Nd", "Nl", "No",
    "Pc", "Pd", "Ps", "Pe", "Pi", "Pf", "Po",
    "Sm", "Sc", "Sk", "So",
    "Zs", "Zl", "Zp",
    "Cc", "Cf", "Cs", "Co", "Cn",
]  # the order of vedavi::unicode::GeneralCategory

# Flag bits of a property record; unicode.cpp names the same bits.
FLAGS = [
    ("White_Space", "kWhiteSpace"),
    ("Alphabetic", "kAlphabetic"),
    ("Lowercase", "kLowercase"),
    ("Uppercase", "kUppercase"),
    ("Cased", "kCased"),
    ("Case_Ignorable", "kCaseIgnorable"),
    ("Grapheme_Extend", "kGraphemeExtend"),
    ("has_lower", "kHasLower"),
    ("has_upper", "kHasUpper"),
]

MAX_CP = 0x10FFFF
MAX_MAPPING_LEN = 3  # longest full case mapping (e.g. U+0390 uppercases to three characters)
MULTI_BIT = 0x80000000  # marks a mapping value as an index into the multi-character table
WHITE_SPACE_COUNT = 25


def fail(message):
    sys.exit(f"gen_unicode_tables.py: {message}")


def file_version(path):
    with open(path, encoding="utf-8") as f:
        first = f.readline()
    m = re.match(r"#\s*\w+-(\d+\.\d+\.\d+)\.txt", first)
    if not m:
        fail(f"{path}: no version in the first line ({first.strip()!r})")
    return m.group(1)


def data_lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield [field.strip() for field in line.split(";")]


def parse_range(text):
    if ".." in text:
        lo, hi = text.split("..")
        return int(lo, 16), int(hi, 16)
    cp = int(text, 16)
    return cp, cp


def read_unicode_data(path):
    category = ["Cn"] * (MAX_CP + 1)
    lower = {}
    upper = {}
    range_start = None
    for fields in data_lines(path):
        if len(fields) != 15:
            fail(f"{path}: expected 15 fields, got {len(fields)}: {fields}")
        cp = int(fields[0], 16)
        name, cat = fields[1], fields[2]
        if cat not in CATEGORIES or cat == "Cn":
            fail(f"{path}: unknown category {cat!r} at U+{cp:04X}")
        if name.endswith(", First>"):
            range_start = cp
            continue
        if name.endswith(", Last>"):
            if range_start is None:
                fail(f"{path}: range end without start at U+{cp:04X}")
            for c in range(range_start, cp + 1):
                category[c] = cat
            range_start = None
            continue
        category[cp] = cat
        if fields[12]:
            upper[cp] = [int(fields[12], 16)]
        if fields[13]:
            lower[cp] = [int(fields[13], 16)]
    return category, lower, upper


def read_binary_properties(path, wanted):
    props = {name: set() for name in wanted}
    for fields in data_lines(path):
        if len(fields) < 2 or fields[1] not in props:
            continue
        lo, hi = parse_range(fields[0])
        props[fields[1]].update(range(lo, hi + 1))
    for name, members in props.items():
        if not members:
            fail(f"{path}: property {name} not found")
    return props


def read_special_casing(path, lower, upper):
    """Applies the unconditional entries (no condition field) over the simple mappings."""
    for fields in data_lines(path):
        # code; lower; title; upper; (condition_list;)?  -- a trailing ';' leaves an empty field
        conditions = fields[4] if len(fields) > 4 else ""
        if conditions:
            continue
        cp = int(fields[0], 16)
        lower[cp] = [int(x, 16) for x in fields[1].split()]
        upper[cp] = [int(x, 16) for x in fields[3].split()]


def build_mapping(mapping):
    """Sorted keys and values; values with several characters go into a side table."""
    keys, values, multi = [], [], []
    for cp in sorted(mapping):
        target = mapping[cp]
        if target == [cp]:
            continue
        if not 1 <= len(target) <= MAX_MAPPING_LEN:
            fail(f"mapping of U+{cp:04X} has {len(target)} characters")
        keys.append(cp)
        if len(target) == 1:
            values.append(target[0])
        else:
            values.append(MULTI_BIT | len(multi))
            multi.append(target)
    if len(multi) >= 1 << 16:
        fail("too many multi-character mappings")
    return keys, values, multi


def build_two_stage(records_of_cp, shift):
    block_size = 1 << shift
    blocks, block_index, stage1 = [], {}, []
    for start in range(0, MAX_CP + 1, block_size):
        block = tuple(records_of_cp[start:start + block_size])
        if block not in block_index:
            block_index[block] = len(blocks)
            blocks.append(block)
        stage1.append(block_index[block])
    return stage1, blocks


def c_array(type_name, name, values, per_line, fmt):
    lines = [f"inline constexpr {type_name} {name}[{len(values)}] = {{"]
    for i in range(0, len(values), per_line):
        lines.append("    " + ", ".join(fmt(v) for v in values[i:i + per_line]) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ucd", default="/usr/share/unicode", help="folder of the UCD files")
    parser.add_argument("--out", default=os.path.join(here, "..", "src", "text", "unicode_tables.inc"))
    args = parser.parse_args()

    paths = {name: os.path.join(args.ucd, name) for name in
             ("UnicodeData.txt", "PropList.txt", "DerivedCoreProperties.txt", "SpecialCasing.txt")}
    for path in paths.values():
        if not os.path.exists(path):
            fail(f"{path} is missing (apt-get install unicode-data)")
    versions = {file_version(paths[n]) for n in ("PropList.txt", "DerivedCoreProperties.txt",
                                                  "SpecialCasing.txt")}
    if versions != {EXPECTED_VERSION}:
        fail(f"expected UCD {EXPECTED_VERSION}, found {sorted(versions)}")

    category, lower, upper = read_unicode_data(paths["UnicodeData.txt"])
    read_special_casing(paths["SpecialCasing.txt"], lower, upper)
    props = read_binary_properties(paths["PropList.txt"], ["White_Space"])
    props.update(read_binary_properties(
        paths["DerivedCoreProperties.txt"],
        ["Alphabetic", "Lowercase", "Uppercase", "Cased", "Case_Ignorable", "Grapheme_Extend"]))
    props["has_lower"] = {cp for cp, t in lower.items() if t != [cp]}
    props["has_upper"] = {cp for cp, t in upper.items() if t != [cp]}
    if len(props["White_Space"]) != WHITE_SPACE_COUNT:
        fail(f"White_Space has {len(props['White_Space'])} code points, expected {WHITE_SPACE_COUNT}")

    # One record per distinct (category, flags); record 0 is the unassigned code point.
    records = [(CATEGORIES.index("Cn"), 0)]
    record_index = {records[0]: 0}
    records_of_cp = []
    flag_sets = [props[name] for name, _ in FLAGS]
    for cp in range(MAX_CP + 1):
        flags = 0
        for bit, members in enumerate(flag_sets):
            if cp in members:
                flags |= 1 << bit
        record = (CATEGORIES.index(category[cp]), flags)
        if record not in record_index:
            record_index[record] = len(records)
            records.append(record)
        records_of_cp.append(record_index[record])
    if len(records) > 256:
        fail(f"{len(records)} property records do not fit an 8-bit index")
    if len(FLAGS) > 16:
        fail("flags do not fit 16 bits")

    # Pick the block size that makes the two stages smallest.
    best = None
    for shift in range(4, 11):
        stage1, blocks = build_two_stage(records_of_cp, shift)
        entry_size = 1 if len(blocks) <= 256 else 2
        size = len(stage1) * entry_size + len(blocks) * (1 << shift)
        if best is None or size < best[0]:
            best = (size, shift, stage1, blocks, entry_size)
    size, shift, stage1, blocks, entry_size = best
    if len(blocks) > 1 << 16:
        fail(f"{len(blocks)} blocks do not fit a 16-bit index")
    stage1_type = "std::uint8_t" if entry_size == 1 else "std::uint16_t"
    stage2 = [r for block in blocks for r in block]

    lower_keys, lower_values, lower_multi = build_mapping(lower)
    upper_keys, upper_values, upper_multi = build_mapping(upper)

    hexfmt = lambda v: f"0x{v:X}"
    decfmt = str
    out = []
    out.append(f"// Generated by tools/gen_unicode_tables.py from the Unicode Character Database "
               f"{EXPECTED_VERSION}; do not edit.")
    out.append("// Inputs: UnicodeData.txt, PropList.txt, DerivedCoreProperties.txt, "
               "SpecialCasing.txt.")
    out.append("// Included by text/unicode.cpp only.")
    out.append("")
    out.append("namespace vedavi::unicode::tables {")
    out.append("")
    out.append(f'inline constexpr char kUnicodeVersion[] = "{EXPECTED_VERSION}";')
    out.append("")
    out.append("// Flag bits of a property record.")
    for bit, (prop, const) in enumerate(FLAGS):
        out.append(f"inline constexpr std::uint16_t {const} = 1u << {bit};  // {prop}")
    out.append("")
    out.append("struct Record {")
    out.append("  std::uint8_t category;  // GeneralCategory")
    out.append("  std::uint16_t flags;")
    out.append("};")
    out.append("")
    out.append(f"// {len(records)} distinct records; record 0 is an unassigned code point.")
    out.append(f"inline constexpr Record kRecords[{len(records)}] = {{")
    for i in range(0, len(records), 6):
        out.append("    " + " ".join(f"{{{c}, 0x{f:03X}}}," for c, f in records[i:i + 6]))
    out.append("};")
    out.append("")
    out.append(f"// Two stages: kBlockOf[cp >> kShift] names a block of kStage2; "
               f"{size} bytes in all.")
    out.append(f"inline constexpr unsigned kShift = {shift};")
    out.append(c_array(stage1_type, "kBlockOf", stage1, 24, decfmt))
    out.append("")
    out.append(c_array("std::uint8_t", "kStage2", stage2, 32, decfmt))
    out.append("")

    def emit_mapping(name, keys, values, multi):
        out.append(f"// Full {name} mapping: sorted keys; a value with kMultiBit set indexes "
                   f"k{name.capitalize()}Multi.")
        out.append(c_array("char32_t", f"k{name.capitalize()}Keys", keys, 10, hexfmt))
        out.append(c_array("char32_t", f"k{name.capitalize()}Values", values, 10, hexfmt))
        padded = [t + [0] * (MAX_MAPPING_LEN - len(t)) for t in multi]
        out.append(f"inline constexpr char32_t k{name.capitalize()}Multi[{len(multi)}]"
                   f"[{MAX_MAPPING_LEN}] = {{")
        for t in padded:
            out.append("    {" + ", ".join(hexfmt(v) for v in t) + "},")
        out.append("};")
        out.append("")

    out.append(f"inline constexpr char32_t kMultiBit = 0x{MULTI_BIT:X};")
    out.append(f"inline constexpr std::size_t kMaxMappingLength = {MAX_MAPPING_LEN};")
    out.append("")
    emit_mapping("lower", lower_keys, lower_values, lower_multi)
    emit_mapping("upper", upper_keys, upper_values, upper_multi)
    out.append("}  // namespace vedavi::unicode::tables")

    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    print(f"wrote {args.out}: {len(records)} records, shift {shift}, {len(blocks)} blocks, "
          f"{len(lower_keys)} lower / {len(upper_keys)} upper mappings "
          f"({len(lower_multi)} / {len(upper_multi)} multi)", file=sys.stderr)


if __name__ == "__main__":
    main()
