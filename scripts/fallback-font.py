#!/usr/bin/python3
"""Writes a copy of the printer's TrueType face with the Chinese, Japanese and
Korean characters it lacks taken from another font (scripts/wine-prefix.sh says
why the printer's face needs them).

Usage: fallback-font.py OUT BASE CJK  (of a collection, its first font)

What the base could already draw stays as it was: its outlines, hinting,
metrics, names and layout tables, and its average width, which is the grid's
column. Each character of the East Asian blocks that the base lacks and CJK has
gets that glyph, scaled to the base's units per em, without hinting, and
centred in one of the base's advances or, when wider than one and a half of
them, in two, as a wide character takes two columns of the grid. Scripts that
are shaped (Hebrew, Arabic, the Indic and Thai scripts) are not added: a
report draws them in the faces linked behind the printer's.

The tables that list every glyph (cmap, glyf, loca, hmtx, hhea, maxp, post)
cover the added ones, and OS/2 names the added blocks and characters; hdmx,
LTSH, VDMX and DSIG, which would no longer hold, are left out. The font
revision goes up by the smallest step, so that a font mapper that meets the
base and this copy takes this one.

Glyph names: Wine's PostScript driver reads the whole post table for every
character it prints, and a PDF made from its output knows a character only by
its glyph's name. Above about 96 KiB the table costs that driver more than the
printing itself, so only as many added glyphs are named as keep it below that,
in the order of NAMED_FIRST and then of the common characters of the East
Asian code pages; the others print, but a PDF cannot give them back as text.
Built on fontTools (Debian's python3-fonttools).
"""
import struct
import sys

from fontTools.ttLib import TTFont
from fontTools.ttLib.tables import ttProgram
from fontTools.ttLib.tables._g_l_y_f import Glyph
from fontTools.ttLib.tables.DefaultTable import DefaultTable

MOST_POST_BYTES = 96 * 1024
# The blocks taken: Hangul Jamo, the CJK radicals, symbols and punctuation, kana,
# Bopomofo, Hangul compatibility letters, the enclosed and compatibility forms,
# the ideographs (and Extension A), Hangul syllables, the compatibility
# ideographs, vertical and small forms, and the halfwidth and fullwidth forms.
BLOCKS = ((0x1100, 0x11FF), (0x2E80, 0x2FDF), (0x3000, 0x33FF), (0x3400, 0x4DBF), (0x4E00, 0x9FFF),
          (0xA960, 0xA97F), (0xAC00, 0xD7FF), (0xF900, 0xFAFF), (0xFE30, 0xFE4F), (0xFF00, 0xFFEF))
# Named before any other added glyph: Japanese kana with the CJK punctuation,
# Korean letters and the fullwidth forms.
NAMED_FIRST = ((0x3000, 0x30FF), (0x3130, 0x318F), (0xFF00, 0xFFEF))
# Then the Hangul syllables of KS X 1001 and the ideographs of the first levels
# of GB 2312 and JIS X 0208 (their lead bytes in EUC), the characters that names
# and everyday text use most.
COMMON_ROWS = (("euc_kr", 0xB0, 0xC8), ("gb2312", 0xB0, 0xD7), ("euc_jp", 0xB0, 0xCF))
DROPPED = ("hdmx", "LTSH", "VDMX", "DSIG")


def fail(message):
    sys.exit(f"fallback-font: {message}")


def wanted(code):
    return any(first <= code <= last for first, last in BLOCKS)


def naming_order(codes):
    """The added characters in the order their glyphs get names."""
    common = []
    for codec, first, last in COMMON_ROWS:
        for lead in range(first, last + 1):
            for trail in range(0xA1, 0xFF):
                try:
                    common += [ord(c) for c in bytes((lead, trail)).decode(codec)]
                except UnicodeDecodeError:
                    pass
    first = [c for low, high in NAMED_FIRST for c in range(low, high + 1)]
    seen, order = set(), []
    for code in first + common + sorted(codes):
        if code in codes and code not in seen:
            seen.add(code)
            order.append(code)
    return order


def post_table(base_post, order, named):
    """A version 2 post table: the base's names, then those of the first `named`
    added glyphs; the glyphs past it have no name (Wine's driver calls them
    g<index>)."""
    count = struct.unpack_from(">H", base_post, 32)[0]
    indexes = list(struct.unpack_from(f">{count}H", base_post, 34))
    strings = base_post[34 + 2 * count:]
    custom, at = 0, 0
    while at < len(strings):
        at += 1 + strings[at]
        custom += 1
    added = bytearray()
    for k, name in enumerate(order[count:count + named]):
        indexes.append(258 + custom + k)
        added += bytes((len(name),)) + name.encode("ascii")
    return base_post[:32] + struct.pack(f">H{len(indexes)}H", len(indexes), *indexes) + strings + bytes(added)


def merge(out, base_path, cjk_path):
    base = TTFont(base_path)
    cjk = TTFont(cjk_path, fontNumber=0)
    if "glyf" not in base or "glyf" not in cjk:
        fail("both fonts must have TrueType outlines")
    base_post = base.reader["post"]
    if struct.unpack_from(">I", base_post, 0)[0] != 0x00020000:
        fail(f"{base_path}: its post table names no glyphs")
    base_cmap = base.getBestCmap()
    cjk_cmap = cjk.getBestCmap()
    codes = {c for c in cjk_cmap if wanted(c) and c not in base_cmap}
    scale = base["head"].unitsPerEm / cjk["head"].unitsPerEm
    column = base["hmtx"][base_cmap[ord("0")]][0]

    # One glyph for each of the fallback's glyphs that an added character uses,
    # named after the first such character: its outline with the components
    # put in place, scaled, centred in its columns, without hinting.
    base_order = list(base.getGlyphOrder())
    added = {}  # the fallback's glyph name -> the copy's
    glyf, hmtx, source_glyf = base["glyf"], base["hmtx"], cjk["glyf"]
    for code in sorted(codes):
        source = cjk_cmap[code]
        if source in added:
            continue
        name = f"u{code:04X}"  # as short as a name that gives the character back
        advance = round(cjk["hmtx"][source][0] * scale)
        cells = 2 if advance > 1.5 * column else 1
        shift = (cells * column - advance) // 2
        coordinates, ends, flags = source_glyf[source].getCoordinates(source_glyf)
        glyph = Glyph()
        if ends:
            coordinates.scale((scale, scale))
            coordinates.translate((shift, 0))
            coordinates.toInt()
            glyph.coordinates = coordinates
            glyph.endPtsOfContours = list(ends)
            glyph.flags = bytearray(f & 1 for f in flags)  # on curve or not
            glyph.numberOfContours = len(ends)
            glyph.program = ttProgram.Program()
            glyph.program.fromBytecode(b"")
            # Its bounds straight from the coordinates (x, y pairs); saving the
            # font works them out again for the tables that sum them up.
            glyph.xMin, glyph.xMax = int(min(coordinates._a[0::2])), int(max(coordinates._a[0::2]))
            glyph.yMin, glyph.yMax = int(min(coordinates._a[1::2])), int(max(coordinates._a[1::2]))
        else:
            glyph.numberOfContours = 0
        glyf.glyphs[name] = glyph  # the glyph order is set once, below
        hmtx[name] = (cells * column, getattr(glyph, "xMin", 0))
        added[source] = name

    # The glyphs that get a name come right behind the base's.
    room = MOST_POST_BYTES - len(base_post)
    named, chosen = [], set()
    for code in naming_order(codes):
        name = added[cjk_cmap[code]]
        if name in chosen:
            continue
        room -= 3 + len(name)  # its index, its length and its letters
        if room < 0:
            break
        named.append(name)
        chosen.add(name)
    order = base_order + named + [n for n in added.values() if n not in chosen]
    base.setGlyphOrder(order)
    glyf.glyphOrder = order

    for table in base["cmap"].tables:
        if table.isUnicode():
            for code in codes:
                if table.format != 4 or code <= 0xFFFF:
                    table.cmap[code] = added[cjk_cmap[code]]
    os2 = base["OS/2"]
    every = set(base_cmap) | codes
    os2.usFirstCharIndex = min(min(every), 0xFFFF)
    os2.usLastCharIndex = min(max(every), 0xFFFF)
    os2.recalcUnicodeRanges(base)
    base["head"].fontRevision += 1 / 65536
    for tag in DROPPED:
        if tag in base:
            del base[tag]
    post = DefaultTable("post")  # written as these bytes
    post.data = post_table(base_post, order, len(named))
    base["post"] = post
    base.save(out)
    return len(base_order), len(added), len(codes), len(named)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__.split("\n\n")[1])
    kept, added, characters, named = merge(*argv)
    print(f"fallback-font: {argv[0]}: {kept} glyphs of {argv[1]}, {added} added "
          f"for {characters} characters, {named} of them named")


if __name__ == "__main__":
    main(sys.argv[1:])
