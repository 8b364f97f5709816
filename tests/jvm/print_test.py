#!/usr/bin/env python3
"""Reports printed from a real Java virtual machine on the CUPS PDF printer,
named in code page 1252 and outside it, their contents in code page 1252 and
UTF-8, read back with pdftotext
(java/PrintTest.java)."""
import os
import shutil
import tempfile
import unittest

from jvm_support import (ARCH, PDF_DIR, checks_passed, java, new_pdfs, pdf_text, release_with_tests,
                         winpath)

# Name: contents, and the encoding they are saved in: code page 1252, and UTF-8
# as Java 18 and later write text by default.
REPORTS = {
    "Gr\u00fc\u00dfe Bericht.txt": ("JVM REPORT ONE\nGr\u00f6\u00dfe: 5 \u20ac, na\u00efve caf\u00e9\n", "cp1252"),
    "\u540d Bericht.txt": ("JVM REPORT TWO\n\u00c4rger \u00fcber \u00a7 7 \u2014 \u00bd \u03a3\u03bf\u03c6\u03af\u03b1 "
                           "\u041c\u043e\u0441\u043a\u0432\u0430\n", "utf-8"),
    "to null.txt": ("JVM REPORT NULL\n", "cp1252"),
}


class Print(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillet-jvm-print-")
        self.made = []

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        for pdf in self.made:
            os.remove(pdf)

    def test_reports_reach_the_pdf_printer(self):
        jvm, release, classes = release_with_tests(self.dir, "PrintTest.java")
        reports = os.path.join(self.dir, "reports")
        os.makedirs(reports)
        for name, (text, encoding) in REPORTS.items():
            with open(os.path.join(reports, name), "w", encoding=encoding, newline="\n") as f:
                f.write(text)

        os.makedirs(PDF_DIR, exist_ok=True)
        before = set(os.listdir(PDF_DIR))
        before = {os.path.join(PDF_DIR, f) for f in before}
        out, err = java(jvm, [classes], "PrintTest", winpath(reports), cwd=os.path.join(release, ARCH))
        checks_passed(self, out, err, least=4)

        self.made = new_pdfs(before, 2)
        texts = [pdf_text(pdf, layout=True) for pdf in self.made]
        self.assertEqual(len(texts), 2, self.made)
        for name in ("Gr\u00fc\u00dfe Bericht.txt", "\u540d Bericht.txt"):
            [text] = [t for t in texts if REPORTS[name][0].split("\n")[0] in t]
            for line in REPORTS[name][0].splitlines():
                self.assertIn(line, text, name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
