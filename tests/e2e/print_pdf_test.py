#!/usr/bin/env python3
"""End to end: quillet(String[]) called through the tests' JNI environment prints
reports on the local CUPS PDF printer; the PDFs that come out are read back."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unicodedata
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from wine_print import BIN, PDF_DIR, ROOT, WINE_RUN, pdfs_now, winpath  # noqa: E402,F401


def wine(program, *args):
    result = subprocess.run([WINE_RUN, os.path.join(BIN, program), *args],
                            capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise AssertionError(f"{program} {args} failed ({result.returncode}): {result.stdout}{result.stderr}")
    return result.stdout


def metrics(orientation="portrait"):
    horz, vert, line_height, char_width = map(int, wine("dc_metrics.exe", "PDF", orientation).split())
    return horz, vert, line_height, char_width


def pdf_info(pdf):
    out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    info = dict(line.split(":", 1) for line in out.splitlines() if ":" in line)
    size = re.match(r"\s*([\d.]+) x ([\d.]+)", info["Page size"])
    return {"pages": int(info["Pages"]), "width": round(float(size.group(1))),
            "height": round(float(size.group(2))), "rot": int(info.get("Page rot", "0").strip())}


def word_boxes(pdf, word):
    """(x0, y0, x1, y1) in points of each occurrence of `word` on the first page."""
    out = subprocess.run(["pdftotext", "-bbox", "-f", "1", "-l", "1", pdf, "-"], capture_output=True,
                         text=True, check=True).stdout
    pattern = r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">' + re.escape(word) + "</word>"
    return [tuple(map(float, box)) for box in re.findall(pattern, out)]


def underlined(pdf, box, dpi=150):
    """Whether a dark line runs under the whole of the word in `box`, on the first page."""
    stem = pdf[:-4] + "-gray"
    subprocess.run(["pdftoppm", "-gray", "-r", str(dpi), "-f", "1", "-l", "1", "-singlefile", pdf, stem],
                   check=True)
    with open(stem + ".pgm", "rb") as f:
        data = f.read()
    os.remove(stem + ".pgm")
    _, width, height, _, pixels = data.split(maxsplit=4)  # P5 width height 255 bytes
    width = int(width)
    x0, y0, x1, y1 = (round(v * dpi / 72) for v in box)
    for y in range(y0, min(y1 + 6, int(height))):
        row = pixels[y * width + x0:y * width + x1]
        if sum(1 for p in row if p < 128) >= 0.9 * len(row):
            return True
    return False


def pdf_pages(pdf):
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True,
                          check=True).stdout
    return [page.rstrip("\n") for page in text.split("\f")][:-1]


class PrintToPdf(unittest.TestCase):
    def setUp(self):
        os.makedirs(PDF_DIR, exist_ok=True)
        self.dir = tempfile.mkdtemp(prefix="quillet-e2e-")
        self.made = []

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        for pdf in self.made:
            if os.path.exists(pdf):
                os.remove(pdf)

    def report(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data.encode("latin-1") if isinstance(data, str) else data)
        return path

    def print_reports(self, args, expected, marker_of=None):
        """Runs quillet(args) and waits for `expected` new PDFs; returns them in the
        order of the markers given (or of their completion)."""
        before = pdfs_now()
        wine("quillet_host.exe", *args)
        deadline = time.time() + 60
        new = []
        while time.time() < deadline:
            new = sorted(pdfs_now() - before, key=os.path.getmtime)
            if len(new) >= expected:
                time.sleep(0.3)  # let the last file be written out
                new = sorted(pdfs_now() - before, key=os.path.getmtime)
                break
            time.sleep(0.2)
        self.made += new
        self.assertEqual(len(new), expected, f"PDFs for {args}")
        if marker_of is None:
            return new
        by_marker = {}
        for pdf in new:
            text = "".join(pdf_pages(pdf))
            for marker in marker_of:
                if marker in text:
                    by_marker[marker] = pdf
        self.assertEqual(sorted(by_marker), sorted(marker_of), "every report's PDF is found by its marker")
        return [by_marker[m] for m in marker_of]

    def test_form_feeds_make_no_blank_first_or_last_page(self):
        data = "\f" + "FIRST PAGE ff1\r\nmore\r\n\f" + "SECOND PAGE ff1\r\n\f"
        [pdf] = self.print_reports([winpath(self.report("ff1.txt", data))], 1)
        pages = pdf_pages(pdf)
        self.assertEqual(pdf_info(pdf)["pages"], 2)
        self.assertIn("FIRST PAGE", pages[0])
        self.assertIn("SECOND PAGE", pages[1])

    def test_every_line_of_full_pages_prints_once(self):
        _, vert, line_height, _ = metrics()
        per_page = vert // line_height
        count = 2 * per_page + 5
        lines = "".join(f"LINE {i:04d}\n" for i in range(1, count + 1))
        [pdf] = self.print_reports([winpath(self.report("full.txt", lines))], 1)
        pages = pdf_pages(pdf)
        self.assertEqual(len(pages), 3)
        found = [[int(n) for n in re.findall(r"LINE (\d{4})", page)] for page in pages]
        # Whole rows only: each page holds the rows that fit, none is cut off.
        self.assertEqual(found[0], list(range(1, per_page + 1)))
        self.assertEqual(found[1], list(range(per_page + 1, 2 * per_page + 1)))
        self.assertEqual(found[2], list(range(2 * per_page + 1, count + 1)))

    def test_landscape_turns_the_page(self):
        horz, vert, _, _ = metrics("landscape")
        self.assertGreater(horz, vert)
        [pdf] = self.print_reports(
            ["-orientation=Landscape", winpath(self.report("land.txt", "LANDSCAPE land\n"))], 1)
        self.assertEqual(pdf_info(pdf)["rot"], 90)

    def test_forms_and_options_apply_in_argument_order(self):
        a = winpath(self.report("order_a.txt", "REPORT ORDERA\n"))
        b = winpath(self.report("order_b.txt", "REPORT ORDERB\n"))
        c = winpath(self.report("order_c.txt", "REPORT ORDERC\n"))
        pdfs = self.print_reports(["-form_id=A4", a, "-form_id=Letter", b, "/orientation=Landscape", c], 3,
                                  ["ORDERA", "ORDERB", "ORDERC"])
        a_info, b_info, c_info = map(pdf_info, pdfs)
        self.assertEqual((a_info["width"], a_info["height"], a_info["rot"]), (595, 842, 0))
        self.assertEqual((b_info["width"], b_info["height"], b_info["rot"]), (612, 792, 0))
        self.assertEqual((c_info["width"], c_info["height"], c_info["rot"]), (612, 792, 90))

    def test_scratch_disposition_deletes_reports_and_config(self):
        config = self.report("scratch.cfg", "-copies=1\n")
        a = self.report("scratch_a.txt", "SCRATCH SCRA\n")
        b = self.report("scratch_b.txt", "SCRATCH SCRB\n")
        kept = self.report("kept.txt", "KEPT KEPT1\n")
        self.print_reports([winpath(kept), "-disposition=scratch", f"-config={winpath(config)}",
                            winpath(a), winpath(b)], 3, ["KEPT1", "SCRA", "SCRB"])
        self.assertTrue(os.path.exists(kept))
        self.assertFalse(os.path.exists(a))
        self.assertFalse(os.path.exists(b))
        self.assertFalse(os.path.exists(config))

    def test_overstrikes_print_their_characters(self):
        data = "H\b_E\b_A\b_D\b_ B\bBO\bOL\bLD\bD x\bw\n"
        [pdf] = self.print_reports([winpath(self.report("strike.txt", data))], 1)
        text = pdf_pages(pdf)[0]
        self.assertIn("HEAD", text)
        self.assertIn("BOLD", text)


    def test_unicode_reports_print_their_characters(self):
        table = ("Name            City             Amount €\n"
                 "Zoë Ångström    Ærøskøbing         12,50\n"
                 "Σοφία Παππά     Θεσσαλονίκη       640,00\n"
                 "Юлия Фёдорова   Санкт-Петербург  1000,75\n")
        # Bold É Ö Д, underlined ü ñ ç, then the same three plain.
        strikes = "É\bÉÖ\bÖ Д\bД ü\b_ñ\b_ç\b_\nüñç\n"
        latin = "Grüße – 12,50 € für Zoë Ærøskøbing\n"
        text = latin + "Αθήνα · Москва\n" + table + strikes
        printed = latin + "Αθήνα · Москва\n" + table + "ÉÖ Д üñç\nüñç\n"
        encodings = {"utf8-plain": lambda t: t.encode("utf-8"),
                     "utf8-mark": lambda t: b"\xef\xbb\xbf" + t.encode("utf-8"),
                     "utf16le-mark": lambda t: ("\ufeff" + t).encode("utf-16-le"),
                     "utf16be-mark": lambda t: ("\ufeff" + t).encode("utf-16-be"),
                     "cp1252-bytes": lambda t: t.encode("cp1252")}
        args = ["-pitch=10"]
        for name, encode in encodings.items():
            body = latin if name.startswith("cp1252") else text
            args.append(winpath(self.report(f"{name}.txt", encode(f"MARK {name}\n" + body))))
        pdfs = self.print_reports(args, len(encodings), [f"MARK {name}" for name in encodings])

        # Read on the report's own grid (the width of a column from where "City"
        # starts), each page is the text in every encoding, columns where the file
        # has them; the code page 1252 file prints its letters as ANSI text.
        pitch = word_boxes(pdfs[0], "City")[0][0] / 16
        for name, pdf in zip(encodings, pdfs):
            page = subprocess.run(["pdftotext", "-layout", "-fixed", str(pitch), "-l", "1", pdf, "-"],
                                  capture_output=True, text=True, check=True).stdout
            lines = [line.rstrip() for line in page.split("\f")[0].splitlines()]
            self.assertEqual(lines[0], f"MARK {name}")
            if name.startswith("cp1252"):
                self.assertEqual([line.split() for line in lines[1:]], [latin.split()])
            else:
                self.assertEqual(lines[1:], printed.splitlines(), name)

        # Accented letters struck over come out in the bold font and underlined.
        fonts = subprocess.run(["pdffonts", pdfs[0]], capture_output=True, text=True, check=True).stdout
        self.assertRegex(fonts, r"Bold")
        marked, plain = word_boxes(pdfs[0], "üñç")
        self.assertTrue(underlined(pdfs[0], marked))
        self.assertFalse(underlined(pdfs[0], plain))

    def test_every_character_on_its_column(self):
        # A 132-column landscape report: each field placed at a column, after
        # characters of every width the grid knows: (column, text in the report,
        # the columns it takes, the word pdftotext reads or None).
        bold = lambda t: "".join(c + "\b" + c for c in t)
        under = lambda t: "".join(c + "\b_" for c in t)
        rows = [
            [(0, "FIRST", 5, "FIRST"), (8, bold("BOLD"), 4, "BOLD"), (15, under("Under"), 5, "Under"),
             (22, "Grüße", 5, "Grüße"), (29, "Αθήνα", 5, "Αθήνα"), (36, "Москва", 6, "Москва"),
             (44, "王小明", 6, "王小明"), (51, "12.50", 5, "12.50"), (58, "😀", 2, None), (61, "ok", 2, "ok"),
             (65, "Jose\u0301", 4, "José"), (71, "e\u0301\u0301x", 2, None), (75, "z\u200bz", 2, "zz"),
             (80, "ｆｕｌｌ", 8, "ｆｕｌｌ"), (90, "한국어", 6, "한국어"), (98, "日本語", 6, "日本語"),
             (106, "שלום עולם", 9, None), (117, "99.00", 5, "99.00"), (128, "LAST", 4, "LAST")],
            [(0, "a\tb\tc\t\td", 33, None), (34, bold("e\tf"), 7, None), (48, "x" * 79, 79, None),
             (127, bold("B"), 1, None), (128, under("U"), 1, None)],
        ]
        words = {0: [], 1: [(0, "a"), (8, "b"), (16, "c"), (32, "d"), (34, "e"), (40, "f")]}
        lines = []
        for number, row in enumerate(rows):
            line, column = "", 0
            for at, text, width, word in row:
                line += " " * (at - column) + text
                column = at + width
                if word is not None:
                    words[number].append((at, word))
            lines.append(line)
        words[0] += [(106, "עולם"), (111, "שלום")]  # the stretch reads right to left in its columns
        report = self.report("grid.txt", ("\n".join(lines) + "\n").encode("utf-8"))
        [pdf] = self.print_reports(["-orientation=Landscape", "-pitch=8", winpath(report)], 1)

        out = subprocess.run(["pdftotext", "-bbox", "-l", "1", pdf, "-"], capture_output=True, text=True,
                             check=True).stdout
        boxes = re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>', out)
        found = [(float(x0), float(y0), float(x1), unicodedata.normalize("NFC", w)) for x0, y0, x1, w in boxes]
        # Rows by their tops; a face linked behind the report's (Hebrew) puts
        # its words' tops a few points off the row's.
        rows_y = []
        for y in sorted({round(y0) for _, y0, _, _ in found}):
            if not rows_y or y - rows_y[-1] > 4:
                rows_y.append(y)
        first = next(x0 for x0, _, _, w in found if w == "FIRST")
        step = (next(x0 for x0, _, _, w in found if w == "LAST") - first) / 128
        for number, expected in words.items():
            on_row = [(x0, x1, w) for x0, y0, x1, w in found if 0 <= round(y0) - rows_y[number] <= 4]
            for column, word in expected:
                # A word starts at its column. pdftotext may split a word of wide
                # or right-to-left letters where a glyph is narrower than its
                # columns, and give right-to-left letters in either order.
                at = [x0 for x0, _, w in on_row
                      if (w in word or w[::-1] in word) and abs(x0 - first - column * step) < 0.1 * step]
                self.assertTrue(at, f"{word!r} at column {column} on row {number}: {on_row}")
            # A run struck over ends where the next begins: 79 x, a bold B and an
            # underlined U end at column 129, whether read as one word or three.
        last = max(x1 for x0, y0, x1, w in found if 0 <= round(y0) - rows_y[1] <= 4)
        self.assertLess(abs(last - first - 129 * step), 0.1 * step)

    def test_sample_figures_sit_under_their_headings(self):
        travel = os.path.join(ROOT, "samples", "travel.txt")
        quarterly = os.path.join(ROOT, "samples", "quarterly.txt")
        config = os.path.join(ROOT, "samples", "letter.cfg")
        pdfs = self.print_reports(["-pitch=10", winpath(travel), f"-config={winpath(config)}", winpath(quarterly)],
                                  2, ["Travel expenses", "Quarterly"])
        # The headings are underlined runs, the figures plain: the figures end (or,
        # for the quarterly amounts, begin) where their heading does, within a
        # tenth of a column (0.6 pt at 10 points).
        for pdf, heading, figure, edge in [(pdfs[0], "Amount", "412,50", 2), (pdfs[1], "Units", "332", 2),
                                           (pdfs[1], "Amount", "7304.00", 0)]:
            head, figure_box = word_boxes(pdf, heading)[0], word_boxes(pdf, figure)[0]
            self.assertLess(abs(head[edge] - figure_box[edge]), 0.6, f"{heading} over {figure} in {pdf}")

if __name__ == "__main__":
    unittest.main(verbosity=2)
