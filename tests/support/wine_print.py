"""What the Python test tiers share: the build's programs run under Wine in the
prefix of its architecture, Linux paths as Wine sees them, and the PDFs that the
local CUPS PDF printer writes to ~/PDF."""
import glob
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import types
import unicodedata
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BIN = os.environ["QUILLET_BIN"]
ARCH = os.environ["QUILLET_DIST_ARCH"]  # x86 or x64: the release's folder
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
PDF_DIR = os.path.join(os.path.expanduser("~"), "PDF")


def winpath(path):
    """A Linux path as Wine names it (Z: is the Linux root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_prefix():
    """The Linux folder of the Wine prefix of this build's architecture."""
    name = "QUILLET_WINEPREFIX64" if ARCH == "x64" else "QUILLET_WINEPREFIX"
    return os.environ.get(name) or os.path.expanduser(
        "~/.cache/quillet/wineprefix64" if ARCH == "x64" else "~/.cache/quillet/wineprefix")


def pdfs_now():
    """The PDFs in ~/PDF at this moment."""
    return set(glob.glob(os.path.join(PDF_DIR, "*.pdf")))


class PrintingCase(unittest.TestCase):
    """Tests that print to the PDF printer: each has a folder of its own
    (`self.dir`, named from `folder_prefix`) and the PDFs that were there before
    it (`self.before`); the PDFs it made are removed after it."""
    folder_prefix = "quillet-"

    def setUp(self):
        os.makedirs(PDF_DIR, exist_ok=True)
        self.dir = tempfile.mkdtemp(prefix=self.folder_prefix)
        self.before = pdfs_now()

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        for pdf in pdfs_now() - self.before:
            os.remove(pdf)


def new_pdfs(before, expected, timeout=90):
    """Waits until `expected` PDFs that are not in `before` have appeared in ~/PDF
    (or `timeout` seconds have passed) and returns the new ones, oldest first."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if len(pdfs_now() - before) >= expected:
            break
        time.sleep(0.2)
    time.sleep(0.5)  # let the last one be written out, and any further one show
    return sorted(pdfs_now() - before, key=os.path.getmtime)


def on_console(argv, interrupt_at, stdin=None, timeout=120):
    """Runs wine itself with `argv` on a console (a pseudo-terminal; wine-run.sh
    would send the output to files) in this build's prefix, `stdin` (a path) on
    its standard input, and presses Ctrl+C once `interrupt_at` shows (the lines
    the terminal breaks at its width joined again). What it shows is read until
    it ends, or `timeout` seconds, when it is killed. Returns `status` (as
    waitpid gives it), `output`, `ended`, `pressed` and `seconds` (from Ctrl+C to
    the end; None unless both happened)."""
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(WINEPREFIX=wine_prefix(), WINEDEBUG="-all")
        if stdin is not None:
            os.dup2(os.open(stdin, os.O_RDONLY), 0)
        os.execvp("wine", ["wine", *argv])

    def read(wait):
        if not select.select([fd], [], [], wait)[0]:
            return None
        try:
            return os.read(fd, 4096)
        except OSError:  # the terminal is closed
            return b""

    output, pressed, status = b"", None, None
    deadline = time.time() + timeout
    while status is None and time.time() < deadline:
        output += read(0.2) or b""
        if pressed is None and interrupt_at in re.sub(rb"[\r\n]", b"", output):
            os.write(fd, b"\x03")
            pressed = time.time()
        done, code = os.waitpid(pid, os.WNOHANG)  # Wine's server may keep the terminal open
        if done:
            status = code
    ended = status is not None
    seconds = time.time() - pressed if ended and pressed is not None else None
    while (data := read(0.5)):
        output += data
    if not ended:
        os.kill(pid, signal.SIGKILL)
        status = os.waitpid(pid, 0)[1]
    os.close(fd)
    return types.SimpleNamespace(status=status, output=output, ended=ended, pressed=pressed is not None,
                                 seconds=seconds)


def columns(text):
    """The columns a terminal gives the text (wide characters two, marks and
    format characters none); an overstruck character counts once."""
    return sum(0 if unicodedata.category(c) in ("Mn", "Me", "Cf") else
               2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in re.sub(".\b", "", text))


def pdf_text(pdf, layout=False):
    """The text of a PDF as pdftotext reads it, pages ended by form feeds."""
    return subprocess.run(["pdftotext"] + (["-layout"] if layout else []) + [pdf, "-"], capture_output=True,
                          text=True, check=True).stdout
