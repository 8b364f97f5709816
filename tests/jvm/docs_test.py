#!/usr/bin/env python3
"""The Java examples of docs/java.md, taken from the release ZIP's copy of the
guide, compiled and run on a real Java virtual machine as they stand.

Every ```java block runs. A block of statements becomes the body of a method of
its own; a block of `static final` declarations becomes members of the class; a
`static {` block is the guide's way of loading the DLL by its full path, so it
replaces the static initialiser of a copy of the shipped doc/NativeWindows.java
that is then loaded from a folder where Windows would not find the DLL. Blocks
marked ```java compile-only are compiled and not run. The names that the guide
says stand for the application's own values are defined here (PROLOGUE).
Blocks marked ```java standalone need nothing of the library: they run on the
build machine's own Java."""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from jvm_support import (ARCH, JAVA_DIR, Answerer, avian, checks_passed, java, javac, unpack_release,
                         winpath)
from wine_print import columns  # its folder is on the path once jvm_support is loaded

BLOCK = re.compile(r"^```java( compile-only)?\n(.*?)^```$", re.M | re.S)
STANDALONE = re.compile(r"^```java standalone\n(.*?)^```$", re.M | re.S)
GUIDE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "java.md")


def java_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def stand_in(path):
    """A program or document that the shell runs and that ends by itself: a
    command script recording its arguments in NAME.ran beside it."""
    with open(path, "w", newline="\r\n") as f:
        f.write('@echo ran %*> "%~dpn0.ran"\n')


class Docs(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillet-jvm-docs-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_examples_run_as_they_stand(self):
        jvm, library = avian()
        release = unpack_release(os.path.join(self.dir, "release"))
        with open(os.path.join(release, "docs", "java.md"), encoding="utf-8") as f:
            guide = f.read()
        blocks = [(bool(only), code) for only, code in BLOCK.findall(guide)]
        self.assertGreaterEqual(len(blocks), 8)
        # The jar the guide tells to add is the release's own.
        [jar] = [name for name in os.listdir(release) if re.fullmatch(r"quillet-[\d.]+\.jar", name)]
        version = jar[len("quillet-"):-len(".jar")]
        self.assertIn(f"\nmvn install:install-file -Dfile={jar}\n", guide)  # its coordinates are in it
        self.assertIn(f"<version>{version}</version>", guide)
        self.assertIn(f"implementation 'com.orvo:quillet:{version}'", guide)
        self.assertIn(f"files('libs/{jar}')", guide)

        reports = os.path.join(self.dir, "Reports")
        os.makedirs(reports)
        for name in ("ledger.txt", "sales.txt"):
            with open(os.path.join(reports, name), "w") as f:
                f.write(f"{name} for the guide's example\n")
        for name in ("day report.cmd", "export tool.cmd", "export.cmd"):
            stand_in(os.path.join(reports, name))
        prologue = {
            "reportDir": java_string(winpath(reports)),
            "printerName": '"Null"',
            "document": java_string(winpath(os.path.join(reports, "day report.cmd"))),
            "exportTool": java_string(winpath(os.path.join(reports, "export tool.cmd"))),
            "exportFile": java_string(winpath(os.path.join(reports, "export.cmd"))),
            "defaultDir": java_string("C:\\Reports"),
        }

        members, methods, calls, loaders = [], [], [], []
        for n, (compile_only, code) in enumerate(blocks, 1):
            first = next(line.strip() for line in code.splitlines() if line.strip() and not line.strip().startswith("//"))
            if first.startswith("static {"):
                loaders.append(code)
            elif first.startswith("static final"):
                members.append(code)
            else:
                methods.append(f"    static void example{n}() throws Exception {{\n{code}    }}\n")
                if not compile_only:
                    calls.append(f'        run(check, {n});\n')
        self.assertEqual(len(loaders), 1)

        source = ["import doc.NativeWindows;", "import java.lang.reflect.Method;", "",
                  "public class DocExamples {",
                  "    static final class Label { String text; void setText(String t) { text = t; } }",
                  "    static final Label status = new Label();"]
        source += [f"    static final String {name} = {value};" for name, value in prologue.items()]
        source += members + methods
        source += ["    static void run(Checks check, int n) {",
                   "        try {",
                   '            DocExamples.class.getDeclaredMethod("example" + n).invoke(null);',
                   '            check.that(true, "example " + n);',
                   "        } catch (Throwable t) {",
                   '            check.failed("example " + n, t);',
                   "        }",
                   "    }",
                   "    public static void main(String[] args) {",
                   "        Checks check = new Checks();"] + calls + [
                   '        check.that("Printing on Null".equals(status.text), "the status line: " + status.text);',
                   "        check.finish();",
                   "    }", "}"]
        examples = os.path.join(self.dir, "examples")
        os.makedirs(examples)
        with open(os.path.join(examples, "DocExamples.java"), "w") as f:
            f.write("\n".join(source) + "\n")
        classes = os.path.join(self.dir, "classes")
        javac(classes, [os.path.join(release, "doc", "NativeWindows.java"), os.path.join(JAVA_DIR, "Checks.java"),
                        os.path.join(examples, "DocExamples.java")], bootclasspath=library)

        with Answerer("ok") as answerer:
            out, err = java(jvm, [classes], "DocExamples", cwd=os.path.join(release, ARCH))
        checks_passed(self, out, err, least=len(calls) + 1)
        self.assertEqual([seen[0] for seen in answerer.seen], ["Print Setup"])
        for name, args in (("day report", ""), ("export tool", "/month"), ("export", "")):
            ran = os.path.join(reports, name + ".ran")
            for _ in range(100):
                if os.path.exists(ran) and os.path.getsize(ran) > 0:
                    break
                time.sleep(0.2)
            with open(ran) as f:
                self.assertEqual(f.read().strip(), f"ran {args}".strip(), name)

        # The guide's static block in a copy of the shipped class, loaded from a
        # folder where Windows would not find the DLL by its name.
        with open(os.path.join(release, "doc", "NativeWindows.java"), encoding="utf-8") as f:
            shipped = f.read()
        start = shipped.index("    static {")
        end = shipped.index("\n    }\n", start) + len("\n    }\n")
        copy = (shipped[:start].replace("package doc;", "package doc;\n\nimport java.io.File;") +
                f"    private static final String appHome = {java_string(winpath(release))};\n" +
                "".join("    " + line + "\n" for line in loaders[0].splitlines()) + shipped[end:])
        by_path = os.path.join(self.dir, "by-path")
        os.makedirs(os.path.join(by_path, "doc"))
        with open(os.path.join(by_path, "doc", "NativeWindows.java"), "w") as f:
            f.write(copy)
        with open(os.path.join(by_path, "LoadByPath.java"), "w") as f:
            f.write("public class LoadByPath { public static void main(String[] a) { Checks check = new Checks();"
                    ' check.equal("PDF", doc.NativeWindows.get_printer_name(), "loaded by its path");'
                    " check.finish(); } }\n")
        classes = os.path.join(self.dir, "by-path-classes")
        javac(classes, [os.path.join(by_path, "doc", "NativeWindows.java"), os.path.join(JAVA_DIR, "Checks.java"),
                        os.path.join(by_path, "LoadByPath.java")], bootclasspath=library)
        out, err = java(jvm, [classes], "LoadByPath", cwd=self.dir)
        checks_passed(self, out, err)

    def test_padding_by_display_columns(self):
        """The guide's padding methods count the columns a report line gives each
        name (wide characters two, marks and format characters none), so the
        balances of its rows end on one column."""
        with open(GUIDE, encoding="utf-8") as f:
            methods = "".join(STANDALONE.findall(f.read()))
        self.assertIn("static String row(", methods)
        rows = [("Zoë Ångström", "Ærøskøbing"), ("Zoe\u0308 Malmo\u0308", "Zu\u0308rich"), ("山田太郎", "東京"),
                ("佐藤さくら", "大阪"), ("김민준", "서울"), ("שָׁלוֹם כהן-לוי", "תל אביב"), ("مُحَمَّد العَلِي", "دبي"),
                ("สมชาย ใจดี", "กรุงเทพ"), ("राहुल शर्मा", "मुंबई"), ("தமிழ் கா", "சென்னை"), ("😀 𠮷野家", "ＡＢＣ"),
                ("a\u200bb\u200f", "x")]
        with open(os.path.join(self.dir, "Columns.java"), "w", encoding="utf-8") as f:
            f.write("import java.io.*;\npublic class Columns {\n" + methods +
                    "public static void main(String[] a) throws IOException {\n"
                    "  BufferedReader in = new BufferedReader(new InputStreamReader(System.in, \"UTF-8\"));\n"
                    "  PrintStream out = new PrintStream(System.out, true, \"UTF-8\");\n"
                    "  for (String l; (l = in.readLine()) != null; ) {\n"
                    "    String[] f = l.split(\"\\t\");\n"
                    "    out.println(columns(f[0]) + \"\\t\" + row(f[0], f[1], \"1 234,56\"));\n"
                    "  }\n}\n}\n")
        subprocess.run(["javac", "-encoding", "UTF-8", "-d", self.dir, os.path.join(self.dir, "Columns.java")],
                       check=True, timeout=300)
        out = subprocess.run(["java", "-cp", self.dir, "Columns"], input="".join(f"{n}\t{c}\n" for n, c in rows),
                             capture_output=True, encoding="utf-8", check=True, timeout=300).stdout

        for (name, _), line in zip(rows, out.splitlines(), strict=True):
            counted, row = line.split("\t")
            self.assertEqual(int(counted), columns(name), name)
            self.assertTrue(row.endswith(" 1 234,56"), row)
            self.assertEqual(columns(row), 48, row)


if __name__ == "__main__":
    unittest.main(verbosity=2)
