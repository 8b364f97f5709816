#!/usr/bin/env python3
"""quillet-print.exe under Wine on the local CUPS PDF printer, where reports used
to be lost or paper wasted: a queue that rejects jobs, pages that end full just
before their form feed, paper given by size, a report that is its own trace log,
and lines too long for the page."""
import os
import re
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from print_pdf_test import metrics, pdf_info, pdf_pages  # noqa: E402
from wine_print import BIN, WINE_RUN, PrintingCase, pdfs_now, winpath  # noqa: E402


def run(*args, **env):
    """(exit status, stderr) of quillet-print.exe with these arguments and these
    environment variables."""
    result = subprocess.run([WINE_RUN, os.path.join(BIN, "quillet-print.exe"), *args],
                            capture_output=True, timeout=120, env=dict(os.environ, **env))
    return result.returncode, result.stderr.decode("utf-8")


class SpoolerFaults(PrintingCase):
    folder_prefix = "quillet-faults-"

    def new_pdfs(self):
        return sorted(pdfs_now() - self.before)

    def report(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="latin-1", newline="") as f:
            f.write(text)
        return path

    def printed(self, *args):
        """Prints with quillet-print (expecting success) and returns the one PDF made."""
        status, err = run(*args)
        self.assertEqual((status, err), (0, ""))
        for _ in range(300):
            if self.new_pdfs():
                break
            time.sleep(0.2)
        time.sleep(0.5)
        [pdf] = self.new_pdfs()
        return pdf

    def test_full_pages_ended_by_form_feeds_waste_no_paper(self):
        _, vert, line_height, _ = metrics()
        per_page = vert // line_height
        pages = ["".join(f"P{p} L{i:03d}\n" for i in range(per_page)) + "\f" for p in range(3)]
        pdf = self.printed(winpath(self.report("generated.txt", "".join(pages))))
        self.assertEqual(pdf_info(pdf)["pages"], 3)
        for p, text in enumerate(pdf_pages(pdf)):
            self.assertEqual(re.findall(r"P(\d) L(\d{3})", text), [(str(p), f"{i:03d}") for i in range(per_page)])

    def test_a_queue_that_rejects_jobs_fails_the_report_and_scratch_keeps_it(self):
        report = self.report("rejected.txt", "REJECTED\n")
        subprocess.run(["cupsreject", "PDF"], check=True)
        try:
            status, err = run("-printer_id=PDF", "-disposition=scratch", "-interactive=none", winpath(report))
        finally:
            subprocess.run(["cupsaccept", "PDF"], check=True)
        self.assertEqual(status, 1, err)
        self.assertIn(f"quillet-print: {winpath(report)}: not printed: the spooler refused it (", err)
        self.assertIn("the file was kept", err)
        self.assertTrue(os.path.exists(report))
        time.sleep(2)
        self.assertEqual(self.new_pdfs(), [])

    def test_letter_by_size_prints_on_letter(self):
        pdf = self.printed("-width=8.5i", "-length=11i", winpath(self.report("letter.txt", "LETTER BY SIZE\n")))
        info = pdf_info(pdf)
        self.assertEqual((info["width"], info["height"]), (612, 792))

    def test_a_report_that_is_the_trace_log_is_not_printed(self):
        report = self.report("log.txt", "TRACE ME\n")
        status, err = run(winpath(report), QUILLET_DEBUG=winpath(report))  # -log would leave it alone
        self.assertEqual(status, 1, err)
        self.assertIn(f"{winpath(report)} is the trace log: not printed", err)
        self.assertLess(os.path.getsize(report), 4096)  # not fed its own lines

    def test_lines_past_the_right_edge_are_told(self):
        horz, _, _, char_width = metrics()
        columns = horz // char_width
        report = self.report("wide.txt", "SHORT\n" + "W" * (columns + 5) + "\n" + "X" * (columns + 1) + "\n")
        status, err = run(winpath(report))
        self.assertEqual(status, 0, err)
        # A few columns too many: turning the page is enough at the printer's own size.
        self.assertEqual(err, f"quillet-print: {winpath(report)}: 2 lines cut at column {columns + 1}; "
                              "-orientation=Landscape would print it whole at this size\n")
        for _ in range(300):
            if self.new_pdfs():
                break
            time.sleep(0.2)


if __name__ == "__main__":
    unittest.main(verbosity=2)
