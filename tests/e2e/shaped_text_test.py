#!/usr/bin/env python3
"""End to end: a UTF-8 report of names in many scripts, each followed by an
amount in a fixed column, printed landscape by quillet-print.exe on the CUPS PDF
printer, read back from pdftotext and from the page's pixels."""
import os
import re
import subprocess
import sys
import time
import unicodedata
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from wine_print import BIN, WINE_RUN, PrintingCase, columns, new_pdfs, pdf_text, winpath  # noqa: E402

DPI = 150       # of the page's picture
AMOUNT_AT = 30  # the amounts' column
# Names: the first is the reference whose amount sets the column; single-cluster
# words a blank apart ("alone") test each mark on its base's cell; right-to-left
# fields name the letter that starts them, which must be their rightmost, and
# the bracket at the left end shows mirrored: "(".
ROWS = [
    ("Reference", {}),
    ("Ọlọ́run Adéwálé", {}),
    ("שָׁלוֹם כהן-לוי", {"first": "ש"}),
    ('בע"מ מחיר 100 (קפה)', {"first": "ב", "bracket": True}),
    ("مُحَمَّد, عَلِي", {"first": "م"}),
    ("السلام عليكم", {"first": "ا"}),
    ("ใจดี สุนทร", {}),
    ("क्षमा किताब", {}),
    ("தமிழ் கா", {}),
    ("বাংলা কা", {}),
    ("王小明 日本語 한국어", {}),
    ("😀 𠮷野家", {}),
    ("ọ́ į̃ q̃", {"alone": True}),
    ("שָׁ לֹ בּ", {"alone": True}),
    ("مُ بِ سَ", {"alone": True}),
    ("ภู่ ดี ปั้", {"alone": True}),
    ("ש\b_ל\b_ו\b_ם\b_", {"underlined": 4}),
    ("\ue000", {"box": True}),  # no face has it: the box the other rows must not show
]


def letters(text):
    return {c for c in unicodedata.normalize("NFKC", text) if unicodedata.category(c).startswith("L")}


class ShapedText(PrintingCase):
    folder_prefix = "quillet-shaped-"

    def test_scripts_keep_their_columns(self):
        token = f"shaped{os.getpid()}"
        report = os.path.join(self.dir, token + ".txt")
        with open(report, "w", encoding="utf-8") as f:
            f.write("\n\n".join(f"{name}{' ' * (AMOUNT_AT - columns(name))}{1000 + k}.{k:02d}"
                                for k, (name, _) in enumerate(ROWS)) + "\n")
        result = subprocess.run([WINE_RUN, os.path.join(BIN, "quillet-print.exe"), "-orientation=Landscape",
                                 "-pitch=10", winpath(report)], capture_output=True, text=True, timeout=300)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        deadline = time.time() + 90  # the printer is shared: wait for this test's own PDF
        pdfs = []
        while not pdfs and time.time() < deadline:
            pdfs = [p for p in new_pdfs(self.before, 1, timeout=5) if token in p]
        self.assertEqual(len(pdfs), 1)
        pdf = pdfs[0]

        # Every amount starts on its column, whatever its row's name drew.
        bbox = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True, check=True).stdout
        words = [(float(x0), float(y0), float(x1), float(y1), text) for x0, y0, x1, y1, text in re.findall(
            r'<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>', bbox)]
        amounts = [next(w for w in words if w[4] == f"{1000 + k}.{k:02d}") for k in range(len(ROWS))]
        left = next(w for w in words if w[4] == "Reference")[0]
        cell = (amounts[0][0] - left) / AMOUNT_AT
        for (name, _), amount in zip(ROWS, amounts):
            self.assertLess(abs(amount[0] - amounts[0][0]), cell / 10, name)

        # The rows switch faces all the time, yet the driver (two fonts loaded
        # at most) is sent each face once on the page.
        ps = os.path.join(self.dir, token + ".ps")
        result = subprocess.run([WINE_RUN, os.path.join(BIN, "quillet-print.exe"), "-orientation=Landscape",
                                 "-pitch=10", f"--output={winpath(ps)}", winpath(report)],
                                capture_output=True, text=True, timeout=300)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        with open(ps, "rb") as f:
            faces = re.findall(rb"/FontName /(\S+) def", f.read())
        self.assertGreater(len(set(faces)), 3)
        self.assertEqual(len(faces), len(set(faces)), faces)

        # Searchable: Latin, Hebrew, Arabic, Thai and CJK come back as text;
        # Arabic in its joined forms (meem initial and medial, hah medial, dal
        # final, lam-alef final).
        text = pdf_text(pdf)
        for name in ("Ọlọ́run", "שָׁלוֹם", "مُحَمَّد", "السلام", "ใจดี", "王小明"):
            self.assertLessEqual(letters(name), letters(text), name)
        for form in ("\ufee3", "\ufee4", "\ufea4", "\ufeaa", "\ufefc"):
            self.assertIn(form, text)

        # A right-to-left field starts at its right end.
        for (name, checks), amount in zip(ROWS, amounts):
            if "first" in checks:
                row = [w for w in words if abs(w[1] - amount[1]) < 6 and w[2] < amount[0] - cell]
                first = [w for w in row if checks["first"] in letters(w[4])]
                self.assertTrue(first, name)
                self.assertEqual(max(w[2] for w in row), max(w[2] for w in first), name)

        # The page's pixels: points to pixels (the page starts at the printable
        # area's corner, as pdftotext's boxes do).
        png = os.path.join(self.dir, "page")
        subprocess.run(["pdftoppm", "-r", str(DPI), "-gray", "-singlefile", pdf, png], check=True)
        with open(png + ".pgm", "rb") as f:
            data = f.read()
        header = re.match(rb"P5\s+(\d+)\s+(\d+)\s+\d+\s", data)
        width, height = int(header.group(1)), int(header.group(2))
        self.assertGreater(width, height)
        pixels = data[header.end():]

        def px(points):
            return int(round(points * DPI / 72))

        def inked(x, y):
            return pixels[y * width + x] < 160

        def ink(top, bottom, x0, x1):
            """The inked (x, y) of the picture's [x0, x1) x [top, bottom)."""
            return {(x, y) for y in range(top, bottom) for x in range(max(x0, 0), min(x1, width)) if inked(x, y)}

        def band(amount):  # a row's pixel rows, marks above and below included
            return px(amount[1] - 4), px(amount[3] + 4)

        top, bottom = band(amounts[-1])
        box = ink(top, bottom, px(left), px(left + cell))
        self.assertTrue(box, "the reference row printed no box")
        bx, by = min(x for x, _ in box), min(y for _, y in box)
        outline = {(x - bx, y - by) for x, y in box}
        bw, bh = max(x for x, _ in outline) + 1, max(y for _, y in outline) + 1
        inside = {(x, y) for x in range(2, bw - 2) for y in range(2, bh - 2)} - outline

        def boxes(top, bottom, x0, x1):
            """Where the reference box shows in a stretch of a row (its outline
            inked, its inside blank), at any place across, a pixel up or down."""
            found = []
            for dy in (-1, 0, 1):
                oy = top + (by - band(amounts[-1])[0]) + dy
                for ox in range(x0, x1 - bw):
                    if (sum(inked(ox + x, oy + y) for x, y in outline) >= 0.85 * len(outline) and
                            sum(inked(ox + x, oy + y) for x, y in inside) <= 0.1 * len(inside)):
                        found.append(ox)
            return found

        for (name, checks), amount in zip(ROWS, amounts):
            top, bottom = band(amount)
            field = columns(name) * cell
            # The name's ink, marks too, lies on its cells; the amount is untouched.
            seen = ink(top, bottom, px(left - cell), px(amounts[0][0]))
            self.assertTrue(seen, name)
            self.assertGreaterEqual(min(x for x, _ in seen), px(left - cell / 10), name)
            self.assertLessEqual(max(x for x, _ in seen), px(left + field + cell / 10), name)
            # A glyph for every script, a box only where no face has the character.
            self.assertEqual(bool(boxes(top, bottom, px(left - cell), px(left + field + cell))),
                             "box" in checks, name)
            if checks.get("alone"):
                # Each cluster on its own cell, the blanks between them empty.
                for column in range(columns(name)):
                    x0, x1 = px(left + (column + 0.15) * cell), px(left + (column + 0.85) * cell)
                    self.assertEqual(bool(ink(top, bottom, x0, x1)), column % 2 == 0, f"{name}: column {column}")
            if "bracket" in checks:  # "(" is bowed to the left: its middle left of its top
                shape = ink(top, bottom, px(left), px(left + cell))
                rows = sorted({y for _, y in shape})
                ends = [min(x for x, y in shape if y == at) for at in (rows[0], rows[len(rows) // 2])]
                self.assertLess(ends[1], ends[0], name)
            if "underlined" in checks:
                x0, x1 = px(left) + 1, px(left + checks["underlined"] * cell) - 1
                self.assertTrue(any(all(inked(x, y) for x in range(x0, x1)) for y in range(top, bottom)), name)


if __name__ == "__main__":
    unittest.main()
