#!/usr/bin/python3
"""scripts/fallback-font.py as scripts/wine-prefix.sh runs it: DejaVu Sans Mono with
the Chinese, Japanese and Korean of WenQuanYi Micro Hei (installed by
scripts/setup.sh), read back with fontTools."""
import os
import runpy
import struct
import tempfile
import types
import unittest

from fontTools.ttLib import TTFont

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ff = types.SimpleNamespace(**runpy.run_path(os.path.join(ROOT, "scripts", "fallback-font.py"),
                                            run_name="fallback_font"))
FONTS = "/usr/share/fonts/truetype"
BASE, CJK = os.path.join(FONTS, "dejavu/DejaVuSansMono.ttf"), os.path.join(FONTS, "wqy/wqy-microhei.ttc")


def checksum(data):
    data = bytes(data) + bytes(-len(data) % 4)
    return sum(struct.unpack(f">{len(data) // 4}I", data)) & 0xFFFFFFFF


class FallbackFont(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.path = os.path.join(cls.folder.name, "merged.ttf")
        ff.merge(cls.path, BASE, CJK)
        cls.base, cls.cjk, cls.merged = TTFont(BASE), TTFont(CJK, fontNumber=0), TTFont(cls.path)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_the_file_holds_together(self):
        merged, reader = self.merged, self.merged.reader
        for tag in reader.keys():
            if tag != "head":  # its checksum adjustment makes the whole file's sum
                self.assertEqual(checksum(reader[tag]), reader.tables[tag].checkSum, tag)
        with open(self.path, "rb") as f:
            self.assertEqual(checksum(f.read()), 0xB1B0AFBA)
        self.assertIsNotNone(merged["cmap"].getcmap(3, 1))
        self.assertEqual(merged["cmap"].getcmap(3, 1).format, 4)
        glyphs = merged.getGlyphOrder()
        advances = [merged["hmtx"][g][0] for g in glyphs]
        self.assertEqual(merged["maxp"].numGlyphs, len(glyphs))
        self.assertEqual(merged["hhea"].advanceWidthMax, max(advances))
        self.assertLessEqual(merged["hhea"].numberOfHMetrics, len(glyphs))
        codes = merged.getBestCmap()
        os2 = merged["OS/2"]
        self.assertEqual((os2.usFirstCharIndex, os2.usLastCharIndex), (min(codes), min(max(codes), 0xFFFF)))
        self.assertTrue(os2.ulUnicodeRange2 & 1 << (59 - 32))  # CJK Unified Ideographs
        # The grid's column is the base's: its average width stays.
        self.assertEqual(os2.xAvgCharWidth, self.base["OS/2"].xAvgCharWidth)
        self.assertEqual(merged["head"].fontRevision, self.base["head"].fontRevision + 1 / 65536)

    def test_the_base_stays_and_only_east_asian_characters_are_added(self):
        base, merged = self.base, self.merged
        base_cmap, codes = base.getBestCmap(), merged.getBestCmap()
        self.assertEqual({c: codes[c] for c in base_cmap}, base_cmap)
        for glyph in base.getGlyphOrder()[:200]:
            self.assertEqual(merged["hmtx"][glyph], base["hmtx"][glyph])
        # Nothing of the scripts that are shaped: they come from linked faces.
        self.assertEqual([c for c in codes if c not in base_cmap and not ff.wanted(c)], [])
        self.assertNotIn(0x0915, codes)
        column = base["hmtx"][base_cmap[ord("0")]][0]
        for char, cells in (("中", 2), ("漢", 2), ("ア", 2), ("한", 2), ("ｱ", 1)):
            glyph = merged["glyf"][codes[ord(char)]]
            self.assertEqual(merged["hmtx"][codes[ord(char)]][0], cells * column, char)
            source = self.cjk["glyf"][self.cjk.getBestCmap()[ord(char)]]
            self.assertEqual(glyph.numberOfContours, len(source.getCoordinates(self.cjk["glyf"])[1]), char)
            self.assertGreaterEqual(glyph.xMin, 0, char)
            self.assertLessEqual(glyph.xMax, cells * column, char)

    def test_common_characters_are_named_within_the_budget(self):
        self.assertLessEqual(len(self.merged.reader["post"]), ff.MOST_POST_BYTES)
        post = self.merged.reader["post"]
        named = struct.unpack_from(">H", post, 32)[0]
        codes = self.merged.getBestCmap()
        order = self.merged.getGlyphOrder()
        for char in "中王明語ひアー한김。Ａ":
            self.assertLess(order.index(codes[ord(char)]), named, char)
            self.assertEqual(codes[ord(char)], f"u{ord(char):04X}", char)
        # A rare ideograph prints, but past the names.
        self.assertGreaterEqual(order.index(codes[ord("龘")]), named)


if __name__ == "__main__":
    unittest.main()
