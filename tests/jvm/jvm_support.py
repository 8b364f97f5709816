"""What the JVM tests share: the release ZIP unpacked, the Java virtual machine
(Avian, from scripts/avian.sh) and its class library, javac, and a run of a Java
program under Wine in the prefix of the build's architecture.

A Java test program reports each check it makes and ends with the line
"N checks, F failures". A run is judged by that line alone: a JVM that crashed
under Wine has been seen to exit with status 0."""
import glob
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from wine_print import ARCH, BIN, PDF_DIR, ROOT, WINE_RUN, new_pdfs, pdf_text, pdfs_now, wine_prefix, winpath  # noqa: E402,F401

JAVA_DIR = os.path.join(ROOT, "tests", "jvm", "java")
FINAL_LINE = re.compile(r"^(\d+) checks, (\d+) failures$")



def avian():
    """(avian.exe of this architecture, the class library jar), built once and cached."""
    result = subprocess.run(["bash", os.path.join(ROOT, "scripts", "avian.sh")],
                            capture_output=True, text=True, timeout=1800)
    if result.returncode != 0:
        raise AssertionError(f"scripts/avian.sh failed:\n{result.stderr}")
    folder = result.stdout.strip().splitlines()[-1]
    return (os.path.join(folder, "i386" if ARCH == "x86" else "x86_64", "avian.exe"),
            os.path.join(folder, "classpath.jar"))


def unpack_release(into):
    """Packs the build's release ZIP, unpacks it under `into` and returns its top folder."""
    subprocess.run(["cpack", "--config", os.environ["QUILLET_PACKAGE_CONFIG"], "-B", into],
                   check=True, capture_output=True, timeout=300)
    [package] = glob.glob(os.path.join(into, "quillet-*-windows.zip"))
    unpacked = os.path.join(into, "unpacked")
    with zipfile.ZipFile(package) as z:
        z.extractall(unpacked)
    [top] = os.listdir(unpacked)
    return os.path.join(unpacked, top)


def javac(out, sources, classpath=(), bootclasspath=None):
    """Compiles Java sources for Java 8 against Avian's class library."""
    os.makedirs(out, exist_ok=True)
    command = ["javac", "-encoding", "UTF-8", "-source", "8", "-target", "8", "-Xlint:-options",
               "-bootclasspath", bootclasspath, "-d", out]
    if classpath:
        command += ["-cp", os.pathsep.join(classpath)]
    result = subprocess.run(command + list(sources), capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise AssertionError(f"javac failed:\n{result.stdout}{result.stderr}")


def release_with_tests(folder, *tests):
    """The JVM, the release unpacked under `folder`, and the folder of the classes
    compiled from the release's doc/NativeWindows.java, Checks.java and `tests`
    (file names in JAVA_DIR): (jvm, release, classes)."""
    jvm, library = avian()
    release = unpack_release(os.path.join(folder, "release"))
    classes = os.path.join(folder, "classes")
    javac(classes, [os.path.join(release, "doc", "NativeWindows.java")] +
          [os.path.join(JAVA_DIR, name) for name in ("Checks.java",) + tests], bootclasspath=library)
    return jvm, release, classes


def java_command(jvm, classpath, main, *args, options=()):
    """The command that runs `main` under Wine with the class path given (Linux
    paths) and JVM options such as -Dname=value."""
    return [WINE_RUN, jvm, *options, "-cp", ";".join(winpath(p) for p in classpath), main, *args]


def decoded(out, err):
    return out.decode("utf-8", "replace").replace("\r\n", "\n"), err.decode("utf-8", "replace")


# What Wine prints when it could not create the process at all (seen now and then
# for the x64 JVM on a loaded machine, with "ShellExecuteEx failed: Internal error");
# started from Wine's command interpreter, the same failure reads "Can't recognize".
NOT_STARTED = "Application could not be started"
CMD_NOT_STARTED = "Can't recognize "


def not_started(out, err):
    """Whether Wine, or its command interpreter, could not start the JVM at all."""
    return out.startswith(NOT_STARTED) or (not out and err.startswith(CMD_NOT_STARTED))


def java(jvm, classpath, main, *args, cwd, options=(), timeout=600, env=None):
    """Runs `main` (see java_command) in the folder `cwd`, with the environment
    variables `env` added; returns (stdout, stderr). A JVM that Wine could not
    start is started again, at most twice."""
    # Without Wine's debugger a JVM that crashes ends at once, instead of being
    # kept alive for many minutes by the crash handler (the time-out below would
    # end only the script that started it).
    env = dict(os.environ, **(env or {}), WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d")
    for attempt in range(3):
        result = subprocess.run(java_command(jvm, classpath, main, *args, options=options), cwd=cwd,
                                capture_output=True, timeout=timeout, env=env)
        out, err = decoded(result.stdout, result.stderr)
        if not not_started(out, err):
            break
        print(f"Wine did not start the JVM (attempt {attempt + 1}): {out.strip()}")
        time.sleep(2)
    return out, err


def checks_passed(test, out, err="", least=1):
    """Asserts that a Java test program's standard output ends with a line that
    reports at least `least` checks and no failure."""
    lines = out.rstrip("\n").splitlines()
    match = FINAL_LINE.match(lines[-1]) if lines else None
    shown = f"{out}\n-- standard error --\n{err}"
    test.assertIsNotNone(match, f"the program did not finish:\n{shown}")
    test.assertEqual(match.group(2), "0", shown)
    test.assertGreaterEqual(int(match.group(1)), least, shown)


class Answerer:
    """answer_windows.exe in the same prefix for the length of a `with` block: it
    answers every box and dialog that appears (Print Setup as `setup` says, in
    order), so nothing modal can hang a run. `seen` then lists (caption, text,
    answer) of each window answered."""

    def __init__(self, *setup):
        self.setup = setup
        self.seen = []

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="quillet-answer-")
        self.stop = os.path.join(self.dir, "stop")
        self.log = os.path.join(self.dir, "answered.txt")
        self.process = subprocess.Popen(
            [WINE_RUN, os.path.join(BIN, "answer_windows.exe"), winpath(self.stop), winpath(self.log),
             *self.setup], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)  # let it start before anything can show a window
        return self

    def __exit__(self, *exc):
        open(self.stop, "w").close()
        self.process.wait(timeout=120)
        if os.path.exists(self.log):
            with open(self.log, encoding="cp1252", errors="replace") as f:
                self.seen = [tuple(line.rstrip("\n").split("\t")) for line in f]
        return False
