#!/usr/bin/env python3
"""quillet-print.exe under Wine against the local CUPS printers: its commands,
exit statuses and standard error, a report printed to a PDF by a name outside
the ANSI code page, and the release ZIP unpacked and run."""
import getpass
import glob
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unicodedata
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from wine_print import (BIN, PDF_DIR, ROOT, WINE_RUN, new_pdfs, on_console, pdf_text, pdfs_now, wine_prefix,  # noqa: E402
                        winpath)


def run(*args, exe=None, stdin=None, env=None):
    """(exit status, stdout, stderr) of quillet-print.exe with these arguments and,
    when given, these bytes through a pipe on its standard input and these
    variables in its environment."""
    env = dict(os.environ, **(env or {}), **({"QUILLET_WINE_STDIN": "1"} if stdin is not None else {}))
    result = subprocess.run([WINE_RUN, exe or os.path.join(BIN, "quillet-print.exe"), *args],
                            input=stdin, env=env, capture_output=True, timeout=120)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8")


def saved_input(log):
    """The temporary file that standard input was saved in, as the trace log names
    it: a file in the Wine prefix's C: drive, whose folder exists."""
    with open(log, encoding="latin-1") as f:
        saved = re.search(r"^\(standard input\) read into C:\\(.*)$", f.read(), re.M).group(1)
    saved = os.path.join(wine_prefix(), "drive_c", *saved.split("\\"))
    assert os.path.isdir(os.path.dirname(saved)), saved
    return saved


def font_size(postscript):
    """The size in points of the first font a PostScript file of the PDF printer's
    driver (300 dots per inch) sets."""
    with open(postscript, "rb") as f:
        units = re.search(rb"\[(\d+) 0 0 -\1 0 0\]\s*makefont", f.read()).group(1)
    return round(int(units) * 72 / 300)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(Quillet VERSION ([\d.]+)", f.read()).group(1)


class QuilletPrint(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillet-cli-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def report(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="latin-1") as f:
            f.write(text)
        return path

    def test_commands(self):
        status, out, _ = run("--version")
        self.assertEqual((status, out), (0, f"quillet-print (Quillet) {project_version()}.0\n"))

        status, out, _ = run("--list-printers")
        self.assertEqual(status, 0)
        rows = {line.split("\t")[0]: line.split("\t")[1:] for line in out.splitlines()}
        self.assertEqual(rows["PDF"][-1], "default")
        self.assertEqual(len(rows["PDF"]), 3)  # port, driver, default
        self.assertEqual(len(rows["Null"]), 2)  # port, driver

        # Commands run in order, and --setup is not needed for the name.
        status, out, _ = run("--printer-name", "--version")
        self.assertEqual(status, 0)
        self.assertEqual(out.splitlines()[0], "PDF")

        status, out, _ = run("--help")
        self.assertEqual(status, 0)
        options = re.findall(r"^  -([a-z_]+)", out, re.M)
        self.assertEqual(len(set(options)), 29)
        self.assertIn("width of form - use 'i' or 'm' as a suffix", out)

    def test_usage_errors_run_nothing(self):
        report = self.report("never.txt", "NEVER\n")
        for args in ([], ["-copies=2"], [winpath(report), "-disposition=scratch", "--no-such-command"]):
            status, out, err = run(*args)
            self.assertEqual(status, 2, args)
            self.assertEqual(out, "")
            self.assertIn("quillet-print: ", err)
        self.assertTrue(os.path.exists(report))

    def test_failed_reports_are_named_and_the_rest_still_print(self):
        missing = winpath(os.path.join(self.dir, "missing.txt"))
        good = winpath(self.report("good.txt", "GOOD\n"))
        started = time.time()
        status, _, err = run("-printer_id=Null", missing, good, "-printer_id=No Such Printer", good, "-copies=3")
        self.assertLess(time.time() - started, 60)  # no box waits for an answer
        self.assertEqual(status, 1)
        lines = err.splitlines()
        self.assertIn(f"quillet-print: {missing}: cannot open the report: ", err)
        self.assertEqual(sum(line.startswith(f"quillet-print: {missing}: ") for line in lines), 1)
        # The printer's box becomes a line, then the report's own line.
        self.assertIn("quillet-print: Quillet - Can't Open Printer: ", err)
        self.assertIn(f"quillet-print: {good}: not printed: the printer \"No Such Printer\" cannot be opened "
                      "(quillet-print --list-printers lists the printers)", lines)
        self.assertIn("quillet-print: warning: no report follows -copies=3; it applies to nothing", lines)

        status, _, err = run("-printer_id=Null", good)
        self.assertEqual((status, err), (0, ""))

    def test_report_named_outside_the_code_page_prints_to_pdf(self):
        """A report named outside the ANSI code page prints; its line in Chinese,
        Japanese, Korean, Hebrew and Arabic comes out in the printer's own face (the
        Wine prefix gives that face the East Asian glyphs) and the faces linked
        behind it, as characters, not boxes; a
        Hebrew report in code page 1255 prints as the same report in UTF-8."""
        os.makedirs(PDF_DIR, exist_ok=True)
        name = "Bericht \u540d \u00fc.txt"  # the CJK character has no place in code page 1252
        scripts = "中文 王小明 日本語 ひらがな 한국어 김민준 עברית שלום العربية مرحبا"
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write("WIDE NAME REPORT cli7\n" + scripts + "\n")
        before = pdfs_now()
        status, _, err = run("-pitch=10", winpath(path))
        self.assertEqual((status, err), (0, ""))
        new = new_pdfs(before, 1)
        try:
            self.assertEqual(len(new), 1)
            text = pdf_text(new[0])
            self.assertIn("WIDE NAME REPORT cli7", text)
            # In any order; Arabic comes back in the forms it was drawn in.
            self.assertLessEqual(set(scripts) - {" "}, set(unicodedata.normalize("NFKC", text)))
            fonts = subprocess.run(["pdffonts", new[0]], capture_output=True, text=True, check=True).stdout
            faces = {line.split()[0].split("+")[-1] for line in fonts.splitlines()[2:]}
            # The printer's own face, and for the Hebrew words the face linked behind it.
            self.assertIn("DejaVuSansMono", faces, fonts)
            self.assertLessEqual(faces, {"DejaVuSansMono", "NotoSansHebrew-Regular", "NotoSansArabic-Regular"}, fonts)
            # The spooler's document bears the name whole, not "Bericht ? \u00fc.txt".
            self.assertIn(name[:-1], self.job_name(re.search(r"job_(\d+)\.pdf$", new[0]).group(1)))
        finally:
            for pdf in new:
                os.remove(pdf)
        # A report in the ANSI code page of a Hebrew Windows (1255, which Wine takes
        # from the locale: LC_ALL) prints as the same report in UTF-8, not as Latin-1 letters.
        hebrew = "HEBREW cp1255 cli8\n\u05d3\u05d5\u05d3 \u05db\u05d4\u05df-\u05dc\u05d5\u05d9  " \
                 "\u05d1\u05e2\"\u05de  (\u05e7\u05d1\u05d1)  1,250.00\n" \
                 "\u05de\u05d7\u05d9\u05e8 100 \u05e9\u05e7\u05dc\u05d9\u05dd  \u20aa 99.50\n"
        paths = [os.path.join(self.dir, f"hebrew-{encoding}.txt") for encoding in ("cp1255", "utf-8")]
        for path, encoding in zip(paths, ("cp1255", "utf-8")):
            with open(path, "wb") as f:
                f.write(hebrew.encode(encoding))
        before = pdfs_now()
        status, _, err = run("-pitch=10", *map(winpath, paths), env={"LANG": "he_IL.UTF-8", "LC_ALL": "he_IL.UTF-8"})
        # (The shell of the Wine script has no such locale, and says so.)
        self.assertEqual((status, re.sub(r"^bash: warning: setlocale.*\n", "", err, flags=re.M)), (0, ""))
        new = new_pdfs(before, 2)
        try:
            self.assertEqual(len(new), 2)
            texts = [pdf_text(pdf) for pdf in new]
            self.assertEqual(texts[0], texts[1])
            self.assertLessEqual({c for c in hebrew if "\u05d0" <= c <= "\u05ea"}, set(texts[0]))
        finally:
            for pdf in new:
                os.remove(pdf)

    def job_name(self, job_id):
        """The name of a job of the CUPS PDF printer, as its owner may see it."""
        test = os.path.join(self.dir, "job.test")
        with open(test, "w") as f:
            f.write("{ OPERATION Get-Job-Attributes\n GROUP operation-attributes-tag\n"
                    " ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n"
                    f" ATTR uri printer-uri $uri\n ATTR integer job-id {job_id}\n"
                    f" ATTR name requesting-user-name {getpass.getuser()}\n DISPLAY job-name }}\n")
        out = subprocess.run(["ipptool", "-t", "ipp://localhost/printers/PDF", test], capture_output=True,
                             check=True).stdout.decode("utf-8", "replace")
        return re.search(r"job-name \(\w+\) = (.*)", out).group(1)

    def test_standard_input_prints_as_the_same_bytes_from_a_file(self):
        """`-` prints what a pipe brings as one report named "(standard input)",
        form feeds and overstrikes as from a file, and its temporary file goes."""
        os.makedirs(PDF_DIR, exist_ok=True)
        data = b"PIPED REPORT pipe17\r\nH\b_E\b_A\b_D\b_ B\bBO\bOL\bLD\bD\n\fSECOND PAGE pipe17\n"
        same = os.path.join(self.dir, "same.txt")
        with open(same, "wb") as f:
            f.write(data)
        log = os.path.join(self.dir, "trace.log")
        before = pdfs_now()
        status, _, err = run("-printer_id=PDF", "-pitch=10", f"-log={winpath(log)}", "-", winpath(same), stdin=data)
        self.assertEqual((status, err), (0, ""))
        new = new_pdfs(before, 2)
        try:
            self.assertEqual(len(new), 2)
            def title(pdf):
                info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
                return re.search(r"^Title:\s*(.*)$", info, re.M).group(1)
            [piped] = [pdf for pdf in new if title(pdf) == "(standard input)"]
            [from_file] = [pdf for pdf in new if pdf != piped]
            pages = pdf_text(piped).split("\f")
            self.assertEqual([p.split() for p in pages if p.strip()],
                             [["PIPED", "REPORT", "pipe17", "HEAD", "BOLD"], ["SECOND", "PAGE", "pipe17"]])
            self.assertEqual(self.rendered(piped), self.rendered(from_file))
        finally:
            for pdf in new:
                os.remove(pdf)
        self.assertFalse(os.path.exists(saved_input(log)))

    def rendered(self, pdf):
        """The pages of a PDF as pixels."""
        prefix = os.path.join(self.dir, os.path.basename(pdf))
        subprocess.run(["pdftoppm", "-r", "40", "-gray", pdf, prefix], check=True)
        pages = []
        for page in sorted(glob.glob(prefix + "*.pgm")):
            with open(page, "rb") as f:
                pages.append(f.read())
        return pages

    def test_output_file_receives_what_the_printer_would(self):
        """--output=FILE writes the report through the printer's driver (PostScript
        here) to FILE, replacing what it held, with the options before it, and
        nothing reaches the queue; a FILE that cannot be written, or that is the
        report itself, fails that report only, and one whose printer cannot be
        opened stays as it was."""
        os.makedirs(PDF_DIR, exist_ok=True)
        out = os.path.join(self.dir, "out \u540d.ps")  # a name beyond the ANSI code page
        kept = os.path.join(self.dir, "kept.ps")
        junk = os.urandom(1 << 20)
        for path in (out, kept):
            with open(path, "wb") as f:
                f.write(junk)
        report = winpath(self.report("archived.txt", "ARCHIVED LINE out17\nSECOND LINE out17\n"))
        queued = winpath(self.report("queued.txt", "QUEUED REPORT out17\n"))
        unwritable = winpath(os.path.join(self.dir, "no such folder", "x.ps"))
        before = pdfs_now()
        status, out_text, err = run("-pitch=10", f"--output={winpath(out)}", "-printer_id=PDF", report,
                                    "-disposition=scratch", f"--output={unwritable}", report, "-disposition=save",
                                    f"--output={report}", report, "--printer-name", queued,
                                    "-printer_id=No Such Printer", f"--output={winpath(kept)}", queued)
        new = new_pdfs(before, 1)
        try:
            self.assertEqual(status, 1)
            self.assertEqual(out_text, "PDF\n")
            lines = err.splitlines()
            self.assertEqual(len(lines), 4, err)
            self.assertTrue(lines[0].startswith(f"quillet-print: {report}: not printed: cannot write {unwritable}: "))
            self.assertTrue(lines[0].endswith("; the file was kept"), lines[0])
            self.assertEqual(lines[1], f"quillet-print: {report}: not printed: cannot write {report}: "
                                       "it is the report itself")
            self.assertTrue(lines[3].startswith(f"quillet-print: {queued}: not printed: the printer"), lines[3])
            # Only the report sent to the printer reached the queue.
            self.assertEqual([pdf_text(pdf).split() for pdf in new], [["QUEUED", "REPORT", "out17"]])
        finally:
            for pdf in new:
                os.remove(pdf)
        with open(out, "rb") as f:
            self.assertTrue(f.read().startswith(b"%!PS"))
        self.assertLess(os.path.getsize(out), len(junk))  # nothing of the old file behind the document
        text = subprocess.run(["ps2ascii", out], capture_output=True, text=True, check=True).stdout
        self.assertIn("ARCHIVED LINE out17", text)
        self.assertIn("SECOND LINE out17", text)
        self.assertEqual(font_size(out), 10)  # -pitch=10 came before --output
        with open(kept, "rb") as f:
            self.assertEqual(f.read(), junk)
        with open(os.path.join(self.dir, "archived.txt")) as f:
            self.assertEqual(f.read(), "ARCHIVED LINE out17\nSECOND LINE out17\n")

    def test_files_left_as_they_were(self):
        """An output file holding data is left byte for byte as it was when no
        document starts; a file reached by another name (a hard link from
        outside drive_c) is still the trace log, the report or a configuration
        file of the command line, and refused as such within seconds; a paper
        the printer does not give is told, and the report prints."""
        inside = tempfile.mkdtemp(prefix="quillet-cli-", dir=os.path.join(wine_prefix(), "drive_c"))
        self.addCleanup(shutil.rmtree, inside, ignore_errors=True)
        c_drive = "C:\\" + os.path.basename(inside)
        report = os.path.join(inside, "report.txt")
        with open(report, "w") as f:
            f.write("PAGE ONE\fPAGE TWO\n")
        trace = os.path.join(inside, "trace.log")
        config = os.path.join(inside, "job.cfg")
        with open(config, "w") as f:
            f.write("-copies=1\n")
        links = {}
        for name, target in (("trace", trace), ("report", report), ("config", config)):
            with open(target, "a"):
                pass
            links[name] = winpath(os.path.join(self.dir, name + "-link"))
            os.link(target, os.path.join(self.dir, name + "-link"))
        output = os.path.join(self.dir, "earlier.ps")
        with open(output, "wb") as f:
            f.write(b"%!PS an earlier document\n" + os.urandom(8192))
        spool = os.path.join(wine_prefix(), "drive_c", "windows", "system32", "spool", "printers")

        def spool_folder_gone():
            """StartDoc fails: the spooler cannot make its spool file."""
            os.rename(spool, spool + ".away")
            open(spool, "w").close()
            def back():
                os.remove(spool)
                os.rename(spool + ".away", spool)
            return back

        in_c = c_drive + "\\report.txt"
        out = f"--output={winpath(output)}"
        rows = [
            ("--pages selecting nothing", [out, "--pages=7-", in_c], None, None, 1,
             f"{in_c}: not printed: --pages=7- selects none of its 2 pages"),
            ("StartDoc that fails", [out, in_c], None, spool_folder_gone, 1, f"{in_c}: not printed: "),
            ("configuration: the trace log", [f"-config={links['trace']}", in_c], c_drive + "\\trace.log", None, 0,
             f"warning: {links['trace']} is the trace log: not read as a configuration file"),
            ("-log: the report", [f"-log={links['report']}", in_c], None, None, 0,
             f"warning: {links['report']} is a report or configuration file of this call: not opened as the "
             "trace log"),
            ("--output: the report", [f"--output={links['report']}", in_c], None, None, 1,
             f"{in_c}: not printed: cannot write {links['report']}: it is the report itself"),
            ("--output: a configuration file", [f"-config={c_drive}\\job.cfg", f"--output={links['config']}", in_c],
             None, None, 1, f"{in_c}: not printed: cannot write {links['config']}: it is a report or configuration "
                            "file of this call"),
            ("--output: the trace log", [f"--output={links['trace']}", in_c], c_drive + "\\trace.log", None, 1,
             f"{in_c}: not printed: cannot write {links['trace']}: it is the trace log"),
        ]
        def contents(paths):
            files = {}
            for path in paths:
                with open(path, "rb") as f:
                    files[path] = f.read()
            return files

        kept = contents((output, report, config))
        for name, args, debug, fault, status, told in rows:
            with self.subTest(name):
                undo = fault() if fault else None
                started = time.time()
                try:
                    result = run("-printer_id=Null", "-pitch=10", *args, env={"QUILLET_DEBUG": debug} if debug else None)
                finally:
                    if undo:
                        undo()
                self.assertLess(time.time() - started, 30)
                self.assertEqual(result[0], status, result[2])
                self.assertIn("quillet-print: " + told, result[2])
                self.assertEqual(contents(kept), kept)

        # The CUPS PDF printer has no 5 x 5 in paper: its driver gives 11 x 14 in.
        status, _, err = run("-printer_id=PDF", "-width=5i", "-length=5i", out, in_c)
        self.assertEqual((status, err), (0, f"quillet-print: {in_c}: warning: printed on 279.4 x 355.6 mm paper: "
                                            "the printer does not give the 127.0 x 127.0 mm asked\n"))
        with open(output, "rb") as f:
            self.assertTrue(f.read().startswith(b"%!PS-Adobe"))

    def test_warnings_and_files_that_must_not_be_lost(self):
        """What the library would ignore is told once, exit status unchanged;
        a configuration file that is the trace log is not read, a -log file that
        the command line reads is not emptied, and scratch keeps the
        configuration file of a report it kept."""
        log = os.path.join(self.dir, "trace.log")
        report = self.report("report.txt", "".join(f"LINE {i}\n" for i in range(100)))
        config = self.report("job.cfg", "-Copies=2\n; a note\n-orientation=Landscpe\n")
        failing = self.report("a.txt", "A\n")
        printed = self.report("b.txt", "B\n")
        folder = os.path.join(self.dir, "folder")
        os.mkdir(folder)
        status, _, err = run("-printer_id=Null", "-Copies=2", "-cop=2", "-orientation=Landscpe", "-form_id=Bogus",
                             "-pitch=big", f"-config={winpath(config)}", "-printer_ctl=-pit=9 -cop=2",
                             f"-config={winpath(log)}", f"-log={winpath(report)}", winpath(report), winpath(report),
                             winpath(self.report("empty.txt", "")), env={"QUILLET_DEBUG": winpath(log)})
        warning = "quillet-print: warning: "
        cfg = winpath(config)
        self.assertEqual((status, sorted(err.splitlines())), (0, sorted([
            warning + "-Copies=2: no such option; option names are lower case",
            warning + "-cop=2: an abbreviation takes no value; write -copies=2",
            warning + "-orientation=Landscpe: neither Landscape nor Portrait; the report prints in portrait",
            warning + "-pitch=big: neither a number nor fit; the printer's own font size is used",
            warning + f"{cfg}: -Copies=2: no such option; option names are lower case",
            warning + f"{cfg}: -orientation=Landscpe: neither Landscape nor Portrait; the report prints in portrait",
            warning + "-pit=9: an abbreviation takes no value; write -pitch=9",
            warning + f"{winpath(log)} is the trace log: not read as a configuration file",
            warning + f"{winpath(report)} is a report or configuration file of this call: not opened as the trace log",
            warning + "-form_id=Bogus: no paper of that name, neither in the table nor on the printer Null; "
                      "the report prints on the printer's paper",
            f"quillet-print: {winpath(self.dir)}\\empty.txt: the report is empty: it holds nothing to print"])))
        with open(report) as f:
            self.assertEqual(f.read(), "".join(f"LINE {i}\n" for i in range(100)))
        with open(log, encoding="latin-1") as f:
            self.assertEqual(f.read().count("is the trace log: not read"), 1)

        status, _, err = run("-disposition=scratch", f"-config={cfg}", "-printer_id=No Such Printer",
                             winpath(failing), "-printer_id=Null", winpath(printed), winpath(folder))
        self.assertEqual(status, 1)
        self.assertIn(f"quillet-print: {winpath(folder)}: cannot open the report: it is a folder", err.splitlines())
        self.assertEqual([os.path.exists(p) for p in (failing, printed, config)], [True, False, True])

    def test_reports_that_fit_the_page_and_pages_picked(self):
        """An 80-column report in the printer's own font is cut, and the warning
        names the size that fits; -pitch=fit prints every line whole on A4 and on
        Letter, and each 66-line page of a 132-column report on one sheet;
        --pages=2-3 prints pages 2 and 3 of five."""
        os.makedirs(PDF_DIR, exist_ok=True)
        line = lambda mark, i, width: f"{mark}{i:02d}" + "x" * (width - len(mark) - 3) + "|"
        wide = {paper: self.report(f"wide-{paper}.txt", "".join(line(f"W{paper}", i, 80) + "\n" for i in range(30)))
                for paper in ("own", "A4", "Letter")}
        ledger = self.report("ledger.txt", "\f".join("".join(line(f"P{page}L", i, 132) + "\n" for i in range(66))
                                                     for page in range(1, 4)))
        five = self.report("five.txt", "".join(f"PAGE {page} of five\f" for page in range(1, 6)))
        before = pdfs_now()
        status, _, err = run(winpath(wide["own"]), "-pitch=FIT", winpath(wide["A4"]), "-form_id=Letter",
                             winpath(wide["Letter"]), "-form_id=A4", winpath(ledger), "--pages=2-3", winpath(five))
        new = new_pdfs(before, 5)
        try:
            self.assertEqual(status, 0, err)
            lines = err.splitlines()
            self.assertRegex(lines[0], r"^quillet-print: .*wide-own\.txt: 30 lines cut at column \d+; "
                                       r"-pitch=fit would print it at \d+(\.5)? points$")
            self.assertRegex(lines[1], r"wide-A4\.txt: -pitch=fit: \d+(\.5)? points for 80 columns$")
            self.assertRegex(lines[2], r"wide-Letter\.txt: -pitch=fit: \d+(\.5)? points for 80 columns$")
            self.assertRegex(lines[3], r"ledger\.txt: -pitch=fit: \d+(\.5)? points for 132 columns and 66 lines$")
            self.assertEqual(len(lines), 5, err)  # and the fit of the five pages
            self.assertEqual(len(new), 5)
            texts = [pdf_text(pdf) for pdf in new]
            self.assertNotIn(line("Wown", 0, 80), texts[0])
            for text, paper in zip(texts[1:3], ("A4", "Letter")):
                self.assertEqual(text.split(), [line(f"W{paper}", i, 80) for i in range(30)])
            sheets = texts[3].split("\f")[:-1]
            self.assertEqual([page.split() for page in sheets],
                             [[line(f"P{page}L", i, 132) for i in range(66)] for page in range(1, 4)])
            self.assertEqual([page.split() for page in texts[4].split("\f")[:-1]],
                             [["PAGE", "2", "of", "five"], ["PAGE", "3", "of", "five"]])
        finally:
            for pdf in new:
                os.remove(pdf)

        status, _, err = run("-printer_id=Null", "--pages=7-", winpath(five))
        self.assertEqual((status, err.strip()), (1, f"quillet-print: {winpath(five)}: not printed: --pages=7- selects "
                                                    "none of its 5 pages"))

    def test_configuration_files_as_windows_writes_them(self):
        """Notepad's UTF-8 with a mark, PowerShell's UTF-16: options as from an
        ANSI file, and a name beyond the ANSI code page reaches its file."""
        nested = self.report("\u540d.cfg", "-pitch=12\n")
        text = f"-orientation=Landscape\r\n-config={winpath(nested)}\r\n"
        report = winpath(self.report("r.txt", "UNICODE CONFIG\n"))
        for encoding, mark in (("utf-8", b"\xef\xbb\xbf"), ("utf-16-le", b"\xff\xfe"), ("utf-16-be", b"\xfe\xff")):
            config = os.path.join(self.dir, "job.cfg")
            with open(config, "wb") as f:
                f.write(mark + text.encode(encoding))
            out = os.path.join(self.dir, encoding + ".ps")
            self.assertEqual(run(f"-config={winpath(config)}", f"--output={winpath(out)}", report), (0, "", ""))
            with open(out, "rb") as f:
                self.assertIn(b"%%Orientation: Landscape", f.read(), encoding)
            self.assertEqual(font_size(out), 12, encoding)

    def test_console_shows_pages_and_ctrl_c_cancels(self):
        """On a console (a pseudo-terminal here) the page line is rewritten in
        place; Ctrl+C drops the report being printed and ends the program. The
        report comes from standard input (a file here), whose temporary copy goes."""
        report = self.report("long.txt", "".join(f"LINE {i}\n" for i in range(20000)))
        log = os.path.join(self.dir, "trace.log")
        console = on_console([os.path.join(BIN, "quillet-print.exe"), "-printer_id=Null", "-interactive=none",
                              f"-log={winpath(log)}", "-"], b": page 3", stdin=report)
        text = console.output.decode("utf-8", "replace")
        self.assertTrue(console.pressed, text)
        self.assertEqual(os.waitstatus_to_exitcode(console.status), 1, text)
        self.assertIn("\r(standard input): page 2", text)
        self.assertIn("quillet-print: (standard input): cancelled", text)
        self.assertIn("quillet-print: interrupted", text)
        self.assertFalse(os.path.exists(saved_input(log)))

    def test_ctrl_c_or_a_closed_console_while_standard_input_waits(self):
        """A writer that sends nothing: Ctrl+C ends the program at once, and so
        does closing its console; either way the copy of standard input goes."""
        temp = os.path.join(wine_prefix(), "drive_c", "users", "*", "Temp", "qpr*.tmp")
        for ending in (b"\x03", None):
            before = set(glob.glob(temp))
            reading, writing = os.pipe()
            pid, fd = pty.fork()
            if pid == 0:
                os.environ.update(WINEPREFIX=wine_prefix(), WINEDEBUG="-all")
                os.dup2(reading, 0)
                os.close(writing)
                os.execvp("wine", ["wine", os.path.join(BIN, "quillet-print.exe"), "-printer_id=Null", "-"])
            os.close(reading)
            try:
                deadline = time.time() + 60
                while not set(glob.glob(temp)) - before and time.time() < deadline:
                    time.sleep(0.1)
                self.assertTrue(set(glob.glob(temp)) - before, "no copy of standard input was made")
                if ending:
                    os.write(fd, ending)
                else:
                    os.close(fd)
                deadline = time.time() + 10
                while os.waitpid(pid, os.WNOHANG)[0] == 0:
                    self.assertLess(time.time(), deadline, "still waiting for the writer")
                    time.sleep(0.1)
                self.assertEqual(set(glob.glob(temp)) - before, set())
            finally:
                os.close(writing)
                if ending:
                    os.close(fd)
                try:
                    os.kill(pid, signal.SIGKILL)
                    os.waitpid(pid, 0)
                except (ProcessLookupError, ChildProcessError):
                    pass

    def test_release_zip_unpacks_and_runs(self):
        subprocess.run(["cpack", "--config", os.environ["QUILLET_PACKAGE_CONFIG"], "-B", self.dir],
                       check=True, capture_output=True, timeout=300)
        [package] = glob.glob(os.path.join(self.dir, "quillet-*-windows.zip"))
        unpacked = os.path.join(self.dir, "unpacked")
        with zipfile.ZipFile(package) as z:
            z.extractall(unpacked)
        [top] = os.listdir(unpacked)
        top = os.path.join(unpacked, top)
        files = {os.path.relpath(os.path.join(d, f), top) for d, _, fs in os.walk(top) for f in fs}
        self.assertLessEqual({"NOTICE.txt", "doc/NativeWindows.java", "docs/java.md", "docs/options.md",
                              f"quillet-{project_version()}.jar"}, files)
        arch = os.environ["QUILLET_DIST_ARCH"]
        for folder in {arch} | {f.split("/")[0] for f in files if f.startswith(("x86/", "x64/"))}:
            self.assertLessEqual({f"{folder}/QUILLETDLL.dll", f"{folder}/quillet-print.exe"}, files)
        exe = os.path.join(top, arch, "quillet-print.exe")
        with open(exe, "rb") as f:
            self.assertNotIn(b"Java_doc_NativeWindows", f.read())  # no JNI in the program
        os.chmod(exe, 0o755)
        self.assertEqual(run("--version", exe=exe)[0], 0)
        report = winpath(self.report("packaged.txt", "FROM THE PACKAGE\n"))
        self.assertEqual(run("-printer_id=Null", report, exe=exe), (0, "", ""))


if __name__ == "__main__":
    unittest.main(verbosity=2)
