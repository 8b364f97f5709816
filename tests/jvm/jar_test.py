#!/usr/bin/env python3
"""The release's quillet-<version>.jar on a real Java virtual machine of this
build's architecture (java/JarTest.java): with only the jar on the class path
the class copies the DLL of its architecture to a per-user folder named by the
DLL's SHA-256 and loads it; a second run reuses the copy, and writes again a
copy whose bytes were changed; two virtual machines starting at once both load
it; a DLL that Windows finds by name is not loaded, one in the folder of
quillet.library.path is; LOCALAPPDATA that cannot be written gives way to a new
folder of java.io.tmpdir, never one made before; a folder that cannot be
written, a jar whose DLL does not match its SHA-256, or a copy that cannot be
loaded, gives an UnsatisfiedLinkError that says what was tried.
The jar carries its Maven coordinates, and Maven installs it by them alone."""
import getpass
import glob
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

from jvm_support import (ARCH, JAVA_DIR, PDF_DIR, ROOT, avian, checks_passed, decoded, java,
                         java_command, javac, new_pdfs, not_started, pdf_text, pdfs_now, unpack_release,
                         wine_prefix, winpath)

# What the planted copy of the DLL says where the release's says "Registry Key not
# found" (the same length, so the DLL stays whole).
PLANTED = (b"Registry Key not found", b"Registry Key PLANTED!!")


def file_hash(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Jar(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillet-jvm-jar-")
        cls.jvm, library = avian()
        cls.release = unpack_release(os.path.join(cls.dir, "release"))
        [cls.jar] = glob.glob(os.path.join(cls.release, "quillet-*[0-9].jar"))
        cls.classes = os.path.join(cls.dir, "classes")  # the test's own classes, no NativeWindows
        javac(cls.classes, [os.path.join(JAVA_DIR, "Checks.java"), os.path.join(JAVA_DIR, "JarTest.java")],
              classpath=[cls.jar], bootclasspath=library)
        cls.dll = os.path.join(cls.release, ARCH, "QUILLETDLL.dll")
        cls.hash = file_hash(cls.dll)
        # A QUILLETDLL.dll that is not the release's: an older or a planted one.
        with open(cls.dll, "rb") as f:
            data = f.read()
        assert data.count(PLANTED[0]) == 1
        cls.planted = os.path.join(cls.dir, "planted")
        os.makedirs(cls.planted)
        with open(os.path.join(cls.planted, "QUILLETDLL.dll"), "wb") as f:
            f.write(data.replace(*PLANTED))

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
            pom = jar.read("META-INF/maven/com.orvo/quillet/pom.xml").decode()
            properties = jar.read("META-INF/maven/com.orvo/quillet/pom.properties").decode()
        with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
            version = re.search(r"project\(Quillet VERSION ([\d.]+)", f.read()).group(1)
        self.assertTrue(self.jar.endswith(f"quillet-{version}.jar"))
        coordinates = "<groupId>com.orvo</groupId>\n  <artifactId>quillet</artifactId>\n  <version>" + version
        self.assertIn(coordinates, pom)
        self.assertEqual(properties, f"groupId=com.orvo\nartifactId=quillet\nversion={version}\n")
        with open(os.path.join(self.release, f"quillet-{version}.pom")) as f:
            self.assertEqual(f.read(), pom)
        with zipfile.ZipFile(os.path.join(self.release, f"quillet-{version}-sources.jar")) as sources:
            self.assertIn("doc/NativeWindows.java", sources.namelist())

        # Maven installs the jar by the coordinates it carries (Debian's Maven and
        # plugins, from their own repository: no network).
        settings = os.path.join(self.dir, "settings.xml")
        with open(settings, "w") as f:
            f.write("<settings><mirrors><mirror><id>debian</id><mirrorOf>*</mirrorOf>"
                    "<url>file:///usr/share/maven-repo</url></mirror></mirrors></settings>\n")
        repository = os.path.join(self.dir, "m2")
        result = subprocess.run(["mvn", "-B", "-q", "-s", settings, f"-Dmaven.repo.local={repository}",
                                 "install:install-file", f"-Dfile={self.jar}"], capture_output=True, text=True,
                                timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        installed = os.path.join(repository, "com", "orvo", "quillet", version, f"quillet-{version}")
        self.assertEqual(file_hash(installed + ".jar"), file_hash(self.jar))
        with open(installed + ".pom") as f:
            self.assertIn(coordinates, f.read())

    def test_only_the_jar_loads_prints_and_reuses_its_copy(self):
        local = os.path.join(wine_prefix(), "drive_c", "users", getpass.getuser(), "AppData", "Local",
                             "Quillet", "native", self.hash)
        shutil.rmtree(local, ignore_errors=True)
        report = os.path.join(self.folder(), "from the jar.txt")
        with open(report, "w") as f:
            f.write(f"PRINTED FROM THE JAR {ARCH}\n")
        os.makedirs(PDF_DIR, exist_ok=True)
        before = pdfs_now()
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
        # A copy whose bytes were changed since is never loaded: it is written again.
        shutil.copyfile(os.path.join(self.planted, "QUILLETDLL.dll"), copy)
        out, err = self.run_jar("use")
        checks_passed(self, out, err, least=2)
        self.assertEqual(file_hash(copy), self.hash)
        self.assertEqual(os.listdir(local), ["QUILLETDLL.dll"])

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

    def test_a_dll_found_by_name_is_not_loaded_but_quillet_library_path_is(self):
        # This JVM ignores java.library.path: Windows' search order would find a
        # DLL in the current folder, where the planted one lies.
        base = self.folder()
        out, err = self.run_jar("use", cwd=self.planted, options=[f"-Dquillet.native.dir={winpath(base)}"])
        checks_passed(self, out, err, least=3)
        self.assertEqual(os.listdir(base), [self.hash])
        out, err = self.run_jar("planted", options=[f"-Dquillet.library.path={winpath(self.planted)}",
                                                    f"-Dquillet.native.dir={winpath(base)}"])
        checks_passed(self, out, err, least=1)

    def test_local_app_data_that_cannot_be_written_gives_way_to_a_new_temporary_folder(self):
        blocker = os.path.join(self.folder(), "a file")
        open(blocker, "w").close()
        temp = self.folder()
        # A folder that someone else made first, of a name known beforehand, with a
        # DLL of theirs in it: never used.
        premade = os.path.join(temp, "quillet-native", self.hash)
        os.makedirs(premade)
        shutil.copy(os.path.join(self.planted, "QUILLETDLL.dll"), premade)
        # Wine sets LOCALAPPDATA from the prefix: the command interpreter of the
        # prefix sets it here. Its output goes to files, which Wine's server does
        # not keep open as it would a pipe.
        line = (f"set LOCALAPPDATA={winpath(blocker)}&& set TEMP={winpath(temp)}&& set TMP={winpath(temp)}&& "
                f"{winpath(self.jvm)} -cp {winpath(self.jar)};{winpath(self.classes)} JarTest use")
        for attempt in range(3):
            work = self.folder()
            with open(os.path.join(work, "out"), "wb") as out, open(os.path.join(work, "err"), "wb") as err:
                subprocess.run(["wine", "cmd", "/c", line], cwd=work, stdin=subprocess.DEVNULL, stdout=out,
                               stderr=err, timeout=300,
                               env=dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all",
                                        WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"))
            with open(os.path.join(work, "out"), "rb") as out, open(os.path.join(work, "err"), "rb") as err:
                result = decoded(out.read(), err.read())
            if not not_started(*result):
                break
            print(f"Wine did not start the JVM (attempt {attempt + 1}): {result[1].strip()}")
            time.sleep(2)
        checks_passed(self, *result, least=3)
        self.assertEqual(os.listdir(premade), ["QUILLETDLL.dll"])
        self.assertNotEqual(file_hash(os.path.join(premade, "QUILLETDLL.dll")), self.hash)
        made = [name for name in os.listdir(temp) if name.startswith("quillet-native")]
        self.assertEqual(len(made), 2, os.listdir(temp))
        [made] = [name for name in made if name != "quillet-native"]
        self.assertRegex(made, r"^quillet-native-[0-9a-f]{16}$")
        self.assertEqual(os.listdir(os.path.join(temp, made)), ["QUILLETDLL.dll"])
        self.assertEqual(file_hash(os.path.join(temp, made, "QUILLETDLL.dll")), self.hash)

    def test_a_folder_that_cannot_be_written_gives_a_clear_error(self):
        blocker = os.path.join(self.folder(), "a file")
        with open(blocker, "w") as f:
            f.write("not a folder\n")
        target = winpath(blocker) + "\\native"
        out, err = self.run_jar("fails", options=[f"-Dquillet.native.dir={target}"])
        checks_passed(self, out, err, least=1)
        [message] = [line[len("message: "):] for line in out.splitlines() if line.startswith("message: ")]
        self.assertEqual(f"Cannot load QUILLETDLL.dll: the jar's doc/native/{ARCH}/QUILLETDLL.dll: cannot create "
                         f"the folder {target}\\{self.hash}", message)
        with open(blocker) as f:
            self.assertEqual(f.read(), "not a folder\n")

    def test_a_damaged_jar_gives_a_clear_error(self):
        # A jar whose DLL is damaged, its hash matching: the copy is made, and
        # loading it fails as loading by an ANSI path that cannot spell it would.
        # With a hash of other bytes, the DLL is not copied at all.
        entry = f"doc/native/{ARCH}/QUILLETDLL.dll"
        for hashed in (b"MZ not a DLL", b"other bytes"):
            damaged = os.path.join(self.folder(), "damaged.jar")
            with zipfile.ZipFile(self.jar) as original, zipfile.ZipFile(damaged, "w") as jar:
                for item in original.infolist():
                    data = original.read(item)
                    if item.filename == entry:
                        data = b"MZ not a DLL"
                    elif item.filename == entry + ".sha256":
                        data = (hashlib.sha256(hashed).hexdigest() + "\n").encode()
                    jar.writestr(item, data)
            base = self.folder()
            out, err = java(self.jvm, [damaged, self.classes], "JarTest", "fails", winpath(base), cwd=self.folder())
            checks_passed(self, out, err, least=1)
            [message] = [line[len("message: "):] for line in out.splitlines() if line.startswith("message: ")]
            if hashed == b"other bytes":
                self.assertEqual(message, f"Cannot load QUILLETDLL.dll: the jar's {entry}: its bytes do not match "
                                          f"{entry}.sha256: the jar is damaged")
                self.assertEqual(os.listdir(base), [])
                continue
            self.assertIn("\\u03a9mega", message)
            self.assertIn("outside the system's ANSI code page", message)
            self.assertTrue(message.endswith("name a folder without them in the system property quillet.native.dir"),
                            message)

if __name__ == "__main__":
    unittest.main(verbosity=2)
