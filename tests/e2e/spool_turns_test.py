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
from wine_print import BIN, WINE_RUN, PrintingCase, new_pdfs, on_console, pdf_text, wine_prefix, winpath  # noqa: E402

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


def windows_process(marker):
    """The Linux process of the Windows program whose command line holds
    `marker`: Wine's loader itself, or, for a 64-bit program, the process that
    its start.exe starts (not a script that runs it)."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        program = command.split(" ", 1)[0].lower()
        if marker in command and program.endswith(".exe") and not program.endswith("start.exe"):
            return int(pid)
    return None


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
        # Every process ends before anything is judged, so that none prints into
        # the next test. A process that waits its turn long on a busy machine says
        # so; that notice is all it may say.
        errors = [process.communicate(timeout=600)[1].decode() for process in processes]
        for process, err in zip(processes, errors):
            said = [line for line in err.splitlines() if "waiting for another process" not in line]
            self.assertEqual((process.returncode, said), (0, []))
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

    def test_a_stopped_holder_keeps_the_next_up_two_minutes_at_most(self):
        """A holder stopped while it spools (Ctrl+Z, a debugger) keeps the turn:
        a waiter says so after a second and every 30 s, and gives up after two
        minutes; Ctrl+C ends a wait at once. Neither touches its output file,
        and a report for the holder's own output file fails at once."""
        long = self.report("long.txt", [f"LONG {n}" for n in range(20000)])
        short = winpath(self.report("short.txt", ["NEVER PRINTED"]))
        holder_log = os.path.join(self.dir, "holder.log")
        outputs = [os.path.join(self.dir, f"kept-{n}.ps") for n in range(2)]
        for path in outputs:
            with open(path, "wb") as f:
                f.write(b"%!PS earlier document\n" + os.urandom(4096))
        before = [read(path) for path in outputs]
        env = dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all")
        stopped = None
        held = winpath(os.path.join(self.dir, "held.ps"))
        holder = subprocess.Popen(["wine", QUILLET_PRINT, "-printer_id=Null", "-interactive=none",
                                   f"-log={winpath(holder_log)}", f"--output={held}", winpath(long)], env=env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(wait_for(lambda: "(page 2)" in read(holder_log)), read(holder_log)[-2000:])
            stopped = windows_process(winpath(holder_log))
            self.assertIsNotNone(stopped)
            os.kill(stopped, signal.SIGSTOP)
            started = time.time()
            second = subprocess.run([WINE_RUN, QUILLET_PRINT, f"--output={held}", short], capture_output=True,
                                    timeout=60)
            self.assertEqual(second.returncode, 1)
            self.assertIn(f"quillet-print: {short}: not printed: cannot write {held}: ", second.stderr.decode())
            self.assertLess(time.time() - started, 20)
            waiter = subprocess.Popen([WINE_RUN, QUILLET_PRINT, "-interactive=none", f"--output={winpath(outputs[0])}",
                                       short], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            # On a console (a pseudo-terminal), Ctrl+C once the wait is told.
            on = on_console([QUILLET_PRINT, f"--output={winpath(outputs[1])}", short], b"waiting for another process",
                            timeout=60)
            console = on.output
            interrupted = on.seconds is not None and on.seconds < 10
            _, err = waiter.communicate(timeout=180)
            waited = time.time() - started
        finally:
            for pid in (stopped, holder.pid, windows_process(winpath(outputs[0]))):
                try:
                    os.kill(pid, signal.SIGKILL)
                except (TypeError, ProcessLookupError):  # none found, or gone
                    pass
            holder.wait()
        self.assertTrue(interrupted, console)
        self.assertIn(b"quillet-print: interrupted", re.sub(rb"[\r\n]", b"", console))
        err = err.decode()
        self.assertEqual(waiter.returncode, 1, err)
        self.assertLess(waited, 150)
        told = [f"quillet-print: {short}: waiting for another process of this Wine prefix to end its document "
                f"({s} s so far, at most 120 s)" for s in (1, 31, 61, 91)]
        self.assertEqual([line for line in err.splitlines() if "waiting for" in line], told)
        self.assertIn(f"quillet-print: {short}: not printed: another process of this Wine prefix kept its turn to "
                      "spool for 120 s", err)
        self.assertEqual([read(path) for path in outputs], before)

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
