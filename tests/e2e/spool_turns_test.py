#!/usr/bin/env python3
"""Printing processes of one Wine prefix, where every process numbers its spool
files alike: quillet-print processes printing at once spool one document at a
time and lose nothing; one killed while it spools holds the next up no longer;
a document that finds another program spooling is started once it can be."""
import os
import re
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from wine_print import BIN, WINE_RUN, PrintingCase, new_pdfs, pdf_text, wine_prefix, winpath  # noqa: E402

QUILLET_PRINT = os.path.join(BIN, "quillet-print.exe")


def wait_for(predicate, timeout=120):
    deadline = time.time() + timeout
    while not predicate():
        if time.time() > deadline:
            return False
        time.sleep(0.1)
    return True


def read(path):
    if not os.path.exists(path):
        return ""
    with open(path, encoding="latin-1") as f:
        return f.read()


class SpoolTurns(PrintingCase):
    folder_prefix = "quillet-turns-"

    def report(self, name, lines, form_feed_after=None):
        path = os.path.join(self.dir, name)
        with open(path, "w", newline="") as f:
            for n, line in enumerate(lines):
                f.write(line + ("\n\f" if n == form_feed_after else "\n"))
        return path

    def test_four_processes_of_twenty_reports_lose_no_line(self):
        expected = {}
        processes = []
        for p in range(4):
            paths = []
            for r in range(20):
                lines = [f"P{p} R{r:02d} L{n:02d}" for n in range(40)]
                expected[(str(p), f"{r:02d}")] = lines
                paths.append(winpath(self.report(f"p{p}-r{r:02d}.txt", lines, form_feed_after=19)))
            processes.append(subprocess.Popen([WINE_RUN, QUILLET_PRINT, "-printer_id=PDF", "-pitch=10",
                                               "-interactive=none", *paths],
                                              stdout=subprocess.PIPE, stderr=subprocess.PIPE))
        for process in processes:
            _, err = process.communicate(timeout=600)
            self.assertEqual((process.returncode, err.decode()), (0, ""))
        pdfs = new_pdfs(self.before, 80, timeout=600)
        found = {}
        for pdf in pdfs:
            text = pdf_text(pdf)
            lines = [" ".join(m) for m in re.findall(r"(P\d) (R\d\d) (L\d\d)", text)]
            key = tuple(re.match(r"P(\d) R(\d\d)", lines[0]).groups()) if lines else pdf
            self.assertNotIn(key, found, pdf)
            found[key] = lines
            self.assertEqual(text.count("\f"), 2, f"{pdf}: two whole pages")
        self.assertEqual(found, expected)

    def test_a_holder_killed_while_spooling_does_not_hold_the_next_up(self):
        long = self.report("long.txt", [f"LONG {n}" for n in range(20000)])
        short = self.report("short.txt", ["AFTER THE KILLED ONE kill9"])
        holder_log = os.path.join(self.dir, "holder.log")
        next_log = os.path.join(self.dir, "next.log")
        # Wine itself, so that its process is the program's and can be killed.
        holder = subprocess.Popen(["wine", QUILLET_PRINT, "-printer_id=Null", "-interactive=none",
                                   f"-log={winpath(holder_log)}", winpath(long)],
                                  env=dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all"),
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(wait_for(lambda: "(page 2)" in read(holder_log)), read(holder_log)[-2000:])
            after = subprocess.Popen([WINE_RUN, QUILLET_PRINT, "-printer_id=PDF", "-pitch=10", "-interactive=none",
                                      f"-log={winpath(next_log)}", winpath(short)],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            waiting = wait_for(lambda: "waits for another process" in read(next_log), timeout=60)
        finally:
            holder.send_signal(signal.SIGKILL)
            holder.wait()
        _, err = after.communicate(timeout=120)
        self.assertTrue(waiting, read(next_log))
        self.assertEqual((after.returncode, err.decode()), (0, ""))
        self.assertIn("takes over the turn of a process that ended while it spooled", read(next_log))
        [pdf] = new_pdfs(self.before, 1)
        self.assertIn("AFTER THE KILLED ONE kill9", pdf_text(pdf))

    def test_a_document_that_finds_another_program_spooling_starts_after_it(self):
        ready = os.path.join(self.dir, "ready")
        holder = subprocess.Popen([WINE_RUN, os.path.join(BIN, "spool_holder.exe"), "PDF", "HOLDER hold7", "3000",
                                   winpath(ready)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(wait_for(lambda: os.path.exists(ready), timeout=60))
            log = os.path.join(self.dir, "trace.log")
            result = subprocess.run([WINE_RUN, QUILLET_PRINT, "-printer_id=PDF", "-pitch=10", "-interactive=none",
                                     f"-log={winpath(log)}", winpath(self.report("r.txt", ["BESIDE IT hold7"]))],
                                    capture_output=True, timeout=300)
        finally:
            self.assertEqual(holder.wait(timeout=120), 0)
        self.assertEqual((result.returncode, result.stderr.decode()), (0, ""))
        self.assertIn("StartDoc found the spooler busy with another document: trying again in 250 ms", read(log))
        texts = sorted(pdf_text(pdf).strip() for pdf in new_pdfs(self.before, 2))
        self.assertEqual(texts, ["BESIDE IT hold7", "HOLDER hold7"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
