#!/usr/bin/env python3
"""The release's quillet-<version>.jar on a real Java virtual machine of this
build's architecture (java/JarTest.java): with only the jar on the class path
the class copies the DLL of its architecture to a per-user folder named by the
DLL's SHA-256 and loads it; a second run reuses the copy; two virtual machines
starting at once both load it; a DLL that Windows finds by name wins; a folder
that cannot be written gives an UnsatisfiedLinkError that says what was tried."""
import getpass
import glob
import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

from jvm_support import (ARCH, JAVA_DIR, PDF_DIR, avian, checks_passed, decoded, java, java_command, javac,
                         new_pdfs, pdf_text, unpack_release, wine_prefix, winpath)


def file_hash(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Jar(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillet-jvm-jar-")
        cls.jvm, library = avian()
        cls.release = unpack_release(os.path.join(cls.dir, "release"))
        [cls.jar] = glob.glob(os.path.join(cls.release, "quillet-*.jar"))
        cls.classes = os.path.join(cls.dir, "classes")  # the test's own classes, no NativeWindows
        javac(cls.classes, [os.path.join(JAVA_DIR, "Checks.java"), os.path.join(JAVA_DIR, "JarTest.java")],
              classpath=[cls.jar], bootclasspath=library)
        cls.dll = os.path.join(cls.release, ARCH, "QUILLETDLL.dll")
        cls.hash = file_hash(cls.dll)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def folder(self):
        return tempfile.mkdtemp(dir=self.dir)

    def run_jar(self, *args, cwd=None, options=()):
        return java(self.jvm, [self.jar, self.classes], "JarTest", *args, cwd=cwd or self.folder(),
                    options=options)

    def test_jar_holds_the_dlls_of_the_release(self):
        with zipfile.ZipFile(self.jar) as jar:
            names = set(jar.namelist())
            self.assertIn("doc/NativeWindows.class", names)
            self.assertIn("META-INF/NOTICE.txt", names)
            archs = [a for a in ("x86", "x64") if os.path.isdir(os.path.join(self.release, a))]
            self.assertIn(ARCH, archs)
            for arch in archs:
                with open(os.path.join(self.release, arch, "QUILLETDLL.dll"), "rb") as f:
                    shipped = f.read()
                self.assertEqual(jar.read(f"doc/native/{arch}/QUILLETDLL.dll"), shipped, arch)
                self.assertEqual(jar.read(f"doc/native/{arch}/QUILLETDLL.dll.sha256").decode().strip(),
                                 hashlib.sha256(shipped).hexdigest(), arch)
            self.assertEqual({n for n in names if n.endswith(".dll")},
                             {f"doc/native/{arch}/QUILLETDLL.dll" for arch in archs})

    def test_only_the_jar_loads_prints_and_reuses_its_copy(self):
        local = os.path.join(wine_prefix(), "drive_c", "users", getpass.getuser(), "AppData", "Local",
                             "Quillet", "native", self.hash)
        shutil.rmtree(local, ignore_errors=True)
        report = os.path.join(self.folder(), "from the jar.txt")
        with open(report, "w") as f:
            f.write(f"PRINTED FROM THE JAR {ARCH}\n")
        os.makedirs(PDF_DIR, exist_ok=True)
        before = set(glob.glob(os.path.join(PDF_DIR, "*.pdf")))
        out, err = self.run_jar("use", winpath(report))  # in an empty folder: no DLL to find by name
        checks_passed(self, out, err, least=3)
        pdfs = new_pdfs(before, 1)
        try:
            self.assertEqual(len(pdfs), 1)
            self.assertIn(f"PRINTED FROM THE JAR {ARCH}", pdf_text(pdfs[0], layout=True))
        finally:
            for pdf in pdfs:
                os.remove(pdf)

        copy = os.path.join(local, "QUILLETDLL.dll")
        self.assertEqual(os.listdir(local), ["QUILLETDLL.dll"])  # no partial file left
        self.assertEqual(file_hash(copy), self.hash)
        first = os.stat(copy)
        out, err = self.run_jar("use")
        checks_passed(self, out, err, least=2)
        again = os.stat(copy)
        self.assertEqual((again.st_ino, again.st_mtime_ns), (first.st_ino, first.st_mtime_ns))

    def test_two_virtual_machines_starting_at_once(self):
        base = self.folder()
        command = java_command(self.jvm, [self.jar, self.classes], "JarTest", "use",
                               options=[f"-Dquillet.native.dir={winpath(base)}"])
        runs = [subprocess.Popen(command, cwd=self.folder(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                for _ in range(2)]
        for run in runs:
            out, err = decoded(*run.communicate(timeout=300))
            checks_passed(self, out, err, least=2)
        self.assertEqual(os.listdir(base), [self.hash])
        self.assertEqual(os.listdir(os.path.join(base, self.hash)), ["QUILLETDLL.dll"])
        self.assertEqual(file_hash(os.path.join(base, self.hash, "QUILLETDLL.dll")), self.hash)

    def test_a_dll_windows_finds_by_name_is_loaded_first(self):
        # This JVM ignores java.library.path: Windows' search order finds the DLL
        # in the current folder. The jar then copies nothing.
        here = self.folder()
        shutil.copy(self.dll, here)
        base = self.folder()
        out, err = self.run_jar("use", cwd=here, options=[f"-Dquillet.native.dir={winpath(base)}"])
        checks_passed(self, out, err, least=2)
        self.assertEqual(os.listdir(base), [])

    def test_a_folder_that_cannot_be_written_gives_a_clear_error(self):
        blocker = os.path.join(self.folder(), "a file")
        with open(blocker, "w") as f:
            f.write("not a folder\n")
        target = winpath(blocker) + "\\native"
        out, err = self.run_jar("fails", options=[f"-Dquillet.native.dir={target}"])
        checks_passed(self, out, err, least=1)
        [message] = [line[len("message: "):] for line in out.splitlines() if line.startswith("message: ")]
        self.assertIn('Tried System.loadLibrary("QUILLETDLL")', message)
        self.assertIn(f"Then the jar's doc/native/{ARCH}/QUILLETDLL.dll: cannot create the folder "
                      f"{target}\\{self.hash}", message)
        with open(blocker) as f:
            self.assertEqual(f.read(), "not a folder\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
