#!/usr/bin/env python3
"""scripts/fallback-font.py as scripts/wine-prefix.sh runs it: DejaVu Sans Mono with
the glyphs of DejaVu Sans and WenQuanYi Micro Hei (installed by scripts/setup.sh)."""
import os
import runpy
import struct
import tempfile
import types
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The builder is a script, not a module: its names come from a run of it.
ff = types.SimpleNamespace(**runpy.run_path(os.path.join(ROOT, "scripts", "fallback-font.py"),
                                            run_name="fallback_font"))

FONTS = "/usr/share/fonts/truetype"
BASE, SANS, CJK = (os.path.join(FONTS, name) for name in
                   ("dejavu/DejaVuSansMono.ttf", "dejavu/DejaVuSans.ttf", "wqy/wqy-microhei.ttc"))


def outline(font, glyph, dx=0, dy=0):
    """A glyph's points (x, y, on curve), components placed, in drawing order."""
    data = font.glyphs[glyph]
    if len(data) < 10:
        return []
    if struct.unpack_from(">h", data, 0)[0] >= 0:
        _, on, xs, ys = ff.unpack_points(data)
        return [(x + dx, y + dy, o) for x, y, o in zip(xs, ys, on)]
    points, at = [], 10
    while True:
        flags, component = struct.unpack_from(">HH", data, at)
        words = flags & ff.ARG_WORDS
        x, y = struct.unpack_from(">hh" if words else ">bb", data, at + 4)
        assert flags & ff.ARGS_XY and not flags & (ff.HAS_SCALE | ff.XY_SCALE | ff.TWO_BY_TWO)  # as these fonts have
        points += outline(font, component, dx + x, dy + y)
        at += 8 if words else 6
        if not flags & ff.MORE:
            return points


def post_names(font):
    post = font.tables["post"]
    count = struct.unpack_from(">H", post, 32)[0]
    indexes = struct.unpack_from(f">{count}H", post, 34)
    strings, at = [], 34 + 2 * count
    while at < len(post):
        strings.append(post[at + 1:at + 1 + post[at]].decode("ascii"))
        at += 1 + post[at]
    return [strings[i - 258] if i >= 258 else None for i in indexes]


class FallbackFont(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.base, cls.sans, cls.cjk = ff.Font(BASE), ff.Font(SANS), ff.Font(CJK)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "merged.ttf")
            ff.main([path, BASE, SANS, CJK])
            cls.merged = ff.Font(path)

    def test_the_base_stays_as_it_was(self):
        base, merged = self.base, self.merged
        self.assertEqual(merged.glyphs[:base.count], base.glyphs)
        self.assertEqual(merged.advances[:base.count], base.advances)
        self.assertEqual({c: merged.cmap[c] for c in base.cmap}, base.cmap)
        for tag in ("OS/2", "name", "GSUB", "GPOS", "fpgm", "prep", "cvt "):
            self.assertEqual(merged.tables[tag], base.tables[tag], tag)
        self.assertEqual(struct.unpack_from(">I", merged.tables["head"], 4)[0],
                         struct.unpack_from(">I", base.tables["head"], 4)[0] + 1)

    def test_added_glyphs_are_the_fallbacks_scaled_and_wide_ones_centred(self):
        column = self.base.advances[self.base.cmap[0x30]]
        # Hebrew from DejaVu Sans (same units, one column); a simple and a composite
        # ideograph, kana and Hangul from Micro Hei (scaled, in two columns).
        for char, source in (("א", self.sans), ("中", self.cjk), ("漢", self.cjk), ("ア", self.cjk),
                             ("한", self.cjk)):
            glyph, original = self.merged.cmap[ord(char)], source.cmap[ord(char)]
            scale = self.base.units / source.units
            advance = round(source.advances[original] * scale)
            shift = (2 * column - advance) // 2 if advance > 1.5 * column else 0
            self.assertEqual(self.merged.advances[glyph], 2 * column if shift else advance, char)
            got, want = outline(self.merged, glyph), outline(source, original)
            self.assertEqual(len(got), len(want), char)
            for (x, y, on), (x0, y0, on0) in zip(got, want):
                self.assertLessEqual(abs(x - (x0 * scale + shift)), 1.5, char)
                self.assertLessEqual(abs(y - y0 * scale), 1.5, char)
                self.assertEqual(on, on0, char)

    def test_common_characters_are_named_within_the_budget(self):
        names = post_names(self.merged)
        self.assertLessEqual(len(self.merged.tables["post"]), ff.MOST_POST_BYTES)
        named = [n for n in names if n is not None]
        self.assertEqual(len(named), len(set(named)))
        for char in "אשمح中王東京鈴ひアー한김。Ａ":
            glyph = self.merged.cmap[ord(char)]
            self.assertLess(glyph, len(names), char)
            self.assertIn(names[glyph], (f"u{ord(char):04X}", f"uni{ord(char):04X}"), char)
        # A rare ideograph prints, but past the names.
        self.assertGreaterEqual(self.merged.cmap[ord("龘")], len(names))


if __name__ == "__main__":
    unittest.main()
