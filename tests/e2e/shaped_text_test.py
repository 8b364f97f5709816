#!/usr/bin/env python3
"""End to end: words in many scripts drawn by the GDI device as the layout hands
them over (logical order, each cluster on its cells; tests/wine/programs/
shaped_words.cpp), landscape on the CUPS PDF printer, each row ended by an
amount in a fixed column. Read back from pdftotext and from the page's pixels."""
import os
import re
import subprocess
import sys
import time
import unicodedata
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from wine_print import BIN, WINE_RUN, PrintingCase, new_pdfs  # noqa: E402

DPI = 100  # of the page's picture


def ink_columns(pixels, width, top, bottom, left, right):
    """The x of each pixel column of the picture's [left, right) that has ink in
    rows [top, bottom)."""
    found = []
    for x in range(max(left, 0), min(right, width)):
        if any(pixels[y * width + x] < 128 for y in range(max(top, 0), bottom)):
            found.append(x)
    return found


def is_box(pixels, width, top, bottom, xs):
    """True when the ink of a stretch is the outline of a rectangle (a missing
    glyph): each edge of its bounding box is inked along most of its length."""
    rows = [y for y in range(top, bottom) if any(pixels[y * width + x] < 128 for x in xs)]
    if not xs or not rows:
        return False
    x0, x1, y0, y1 = xs[0], xs[-1], rows[0], rows[-1]
    if x1 - x0 < 3 or y1 - y0 < 3:
        return False

    def share(points):
        points = list(points)
        return sum(pixels[y * width + x] < 200 for x, y in points) / len(points)
    edges = (share((x, y0) for x in range(x0, x1 + 1)), share((x, y1) for x in range(x0, x1 + 1)),
             share((x0, y) for y in range(y0, y1 + 1)), share((x1, y) for y in range(y0, y1 + 1)))
    return min(edges) > 0.8


class ShapedText(PrintingCase):
    folder_prefix = "quillet-shaped-"

    def test_words_land_on_their_cells(self):
        token = f"shaped{os.getpid()}"
        result = subprocess.run([WINE_RUN, os.path.join(BIN, "shaped_words.exe"), token], capture_output=True,
                                text=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        page = re.match(r"page (\d+) (\d+) (\d+) cell (\d+) line (\d+)", lines[0])
        horz, vert, dpi, cell, line = map(int, page.groups())
        words = {}
        for entry in lines:
            if entry.startswith("word "):
                _, name, y, amount, rtl, text, *cells = entry.split(" ")
                words[name] = {"y": int(y), "amount": amount, "rtl": rtl == "1", "text": text,
                               "cells": [tuple(map(int, c.split(":"))) for c in cells]}
        # The device releases the fonts it made for the linked faces.
        linked = re.search(r"linked (\d+) left (\d+)", result.stdout)
        self.assertGreater(int(linked.group(1)), 0)
        self.assertEqual(linked.group(2), "0")
        deadline = time.time() + 90  # the printer is shared: wait for this test's own PDF
        pdfs = []
        while not pdfs and time.time() < deadline:
            pdfs = [p for p in new_pdfs(self.before, 1, timeout=5) if token in p]
        self.assertEqual(len(pdfs), 1)
        pdf = pdfs[0]
        points = 72 / dpi  # device units to PDF points

        # Every amount starts on its column, whatever the word before it drew.
        bbox = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True, check=True).stdout
        found = {m.group(5): float(m.group(1)) for m in re.finditer(
            r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', bbox)}
        column = 24 * cell * points
        for name, word in words.items():
            self.assertIn(word["amount"], found, name)
            self.assertLess(abs(found[word["amount"]] - column), cell * points / 10, name)

        # Searchable: Latin, Hebrew, Arabic (joined: initial, medial and final
        # forms, lam-alef as one), Thai and Chinese come back as text.
        text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True, check=True).stdout
        folded = unicodedata.normalize("NFKC", text)
        for letters in ("run", "שלום", "בע", "ใจด", "中文", "\u0627\u0644\u0633", "\u0645\u062d\u0645\u062f"):
            self.assertLessEqual(set(letters), set(folded), letters)
        for form in ("\ufee3", "\ufea4", "\ufeaa", "\ufefc"):  # meem initial, hah medial, dal final, lam-alef
            self.assertIn(form, text)

        # The page's pixels: landscape, rows as drawn.
        png = os.path.join(self.dir, "page")
        subprocess.run(["pdftoppm", "-r", str(DPI), "-gray", "-singlefile", "-f", "1", "-l", "1", pdf, png],
                       check=True)
        with open(png + ".pgm", "rb") as f:
            data = f.read()
        magic, width, height, _, pixels = re.match(rb"(P5)\s+(\d+)\s+(\d+)\s+(\d+)\s(.*)", data, re.S).groups()
        width, height = int(width), int(height)
        self.assertGreater(width, height)
        scale = DPI / dpi

        def px(value):
            return int(round(value * scale))

        for name, word in words.items():
            top, bottom = px(word["y"] - line // 4), px(word["y"] + line + line // 4)
            left = min(x for x, _ in word["cells"])
            right = max(x + w for x, w in word["cells"])
            ink = ink_columns(pixels, width, top, bottom, px(left - 2 * cell), px(right + 2 * cell))
            self.assertTrue(ink, name)
            # All of a word's ink, marks too, lies on its cells (a pixel of slack).
            self.assertGreaterEqual(ink[0], px(left) - 1, name)
            self.assertLessEqual(ink[-1], px(right) + 1, name)
            # A glyph for each: no box where the set-up installs a font; the
            # emoji, which has none, one box on its two cells.
            self.assertEqual(is_box(pixels, width, top, bottom, ink), name == "emoji", name)
        # Right to left: the first letter is at the right end (ש in the spread
        # word, each letter apart on its own three cells).
        spread = words["hebrew-spread"]
        for (x, w), letter in zip(spread["cells"], spread["text"]):
            top, bottom = px(spread["y"]), px(spread["y"] + line)
            self.assertTrue(ink_columns(pixels, width, top, bottom, px(x), px(x + w)), letter)
        hits = [(float(m.group(1)), m.group(3)) for m in re.finditer(
            r'<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([\u05d0-\u05ea])</word>', bbox)
            if abs(float(m.group(2)) - spread["y"] * points) < line * points]
        self.assertEqual("".join(letter for _, letter in sorted(hits, reverse=True)), "שלום")
        # The underline runs under every cell of the underlined word.
        under = words["underlined"]
        left, right = min(x for x, _ in under["cells"]), max(x + w for x, w in under["cells"])
        rows = range(px(under["y"] + line // 2), px(under["y"] + line))
        full = [y for y in rows if all(pixels[y * width + x] < 128 for x in range(px(left) + 1, px(right) - 1))]
        self.assertTrue(full, "no underline spans the word's cells")


if __name__ == "__main__":
    unittest.main()
