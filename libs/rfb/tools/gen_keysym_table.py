#!/usr/bin/env python3
"""Writes the keysym-to-Unicode table of rfb (libs/rfb/KeysymTable.cpp).

Run once by hand and commit the output: the table must be the same on every
machine, whatever X keysym definitions a build machine has installed.

The pairs come from keysymdef.h, group by group (Latin-2, Latin-3, Latin-4,
Katakana, Arabic, Cyrillic, Greek, technical, special, publishing, APL,
Hebrew, Thai, Korean, Latin-9 and the Euro sign). A keysym is taken with the
code point its comment names ("U+XXXX"). Bracketed, approximate code points
("(U+XXXX)") are left out but for the few listed in APPROXIMATE_KEPT, whose
character is what the keysym stands for; the keysyms in LEFT_OUT are left out
although their comment names a code point. Every group must then hold the
number of pairs in COUNTS, and no code point may belong to two keysyms (the
table is read in both directions).

Usage: gen_keysym_table.py <keysymdef.h> <KeysymTable.cpp>
"""
import re
import sys

# Group, first keysym byte, number of pairs.
COUNTS = [("XK_LATIN2", 57), ("XK_LATIN3", 22), ("XK_LATIN4", 35), ("XK_KATAKANA", 64),
          ("XK_ARABIC", 48), ("XK_CYRILLIC", 93), ("XK_GREEK", 71), ("XK_TECHNICAL", 39),
          ("XK_SPECIAL", 23), ("XK_PUBLISHING", 77), ("XK_APL", 8), ("XK_HEBREW", 28),
          ("XK_THAI", 83), ("XK_KOREAN", 91), ("XK_LATIN9", 3), ("XK_CURRENCY", 1)]

APPROXIMATE_KEPT = {
    # Publishing marks, bullets and shapes: the keysym is the character.
    0xaac, 0xaca, 0xacc, 0xacd, 0xace, 0xacf, 0xadb, 0xadc, 0xadd, 0xade, 0xadf, 0xae0,
    0xae1, 0xae2, 0xae3, 0xae4, 0xae5, 0xae6, 0xae7, 0xae8, 0xae9, 0xaea, 0xaeb,
    0xeff,  # Korean_Won, the won sign
}

LEFT_OUT = {
    # Later additions to the Cyrillic group (ghe with upturn).
    0x6ad, 0x6bd,
    # APL circle: its code point is the publishing open circle's.
    0xbcf,
}

DEFINE = re.compile(r"^#define\s+XK_(\w+)\s+0x([0-9a-fA-F]+)\s*/\*\s*(\(?)U\+([0-9A-Fa-f]{4,6})")


def main():
    src, out = sys.argv[1], sys.argv[2]
    wanted = dict(COUNTS)
    group = None
    pairs = {g: [] for g in wanted}
    seen = set()
    with open(src, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"^#ifdef\s+(XK_\w+)", line)
            if m:
                group = m.group(1)
                continue
            if line.startswith("#endif"):
                group = None
                continue
            if group not in wanted:
                continue
            m = DEFINE.match(line)
            if not m:
                continue
            keysym, approximate, ucs = int(m.group(2), 16), m.group(3) == "(", int(m.group(4), 16)
            # Unicode keysyms (0x1000000 + code point) need no table entry;
            # deprecated names repeat a keysym.
            if keysym >= 0x1000000 or keysym in seen or keysym in LEFT_OUT:
                continue
            if approximate and keysym not in APPROXIMATE_KEPT:
                continue
            seen.add(keysym)
            pairs[group].append((keysym, ucs, m.group(1)))
    for g, n in COUNTS:
        if len(pairs[g]) != n:
            sys.exit("gen_keysym_table: %s has %d pairs, not %d" % (g, len(pairs[g]), n))
    rows = sorted(p for g, _ in COUNTS for p in pairs[g])
    codes = [ucs for _, ucs, _ in rows]
    if len(set(codes)) != len(codes):
        sys.exit("gen_keysym_table: a code point belongs to two keysyms")
    with open(out, "w", encoding="utf-8") as f:
        f.write("// Generated once by tools/gen_keysym_table.py from the X keysym definitions\n"
                "// and committed, so that every build has the same table; do not edit.\n")
        f.write('#include "rfb/KeysymTable.h"\n\nnamespace rfb {\n\n')
        f.write("const KeysymUnicode keysymUnicodeTable[] = {\n")
        for keysym, ucs, name in rows:
            f.write("    {0x%04x, 0x%04x}, // %s\n" % (keysym, ucs, name))
        f.write("};\n\nconst size_t keysymUnicodeCount = %d;\n\n} // namespace rfb\n" % len(rows))


if __name__ == "__main__":
    main()
