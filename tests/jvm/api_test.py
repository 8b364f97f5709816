#!/usr/bin/env python3
"""A real Java virtual machine calls every method of doc.NativeWindows, loaded
from the release ZIP with the shipped class unchanged (java/ApiTest.java)."""
import os
import shutil
import subprocess
import tempfile
import unittest

from jvm_support import (ARCH, BIN, Answerer, checks_passed, java, release_with_tests, wine_prefix,
                         winpath)

REG_KEY = r"HKEY_CURRENT_USER\Software\Quillet JVM Test"


def fill_registry(folder):
    """The values ApiTest reads, imported with Wine's reg.exe into the prefix."""
    values = {"@": "default value", '"Folder"': r"C:\\Reports\\Daily",
              '"Gr\u00fc\u00dfe"': "Gr\u00f6\u00dfe \u20ac 5", '"Wide"': "\u540d\u524d 5",
              '"Long255"': "x" * 255, '"Long256"': "x" * 256}
    lines = ["Windows Registry Editor Version 5.00", "", f"[-{REG_KEY}]", "", f"[{REG_KEY}]"]
    lines += [f'{name}="{data}"' for name, data in values.items()]
    lines += ["", f"[{REG_KEY}\\No Default]", '"Other"="x"', ""]
    reg = os.path.join(folder, "values.reg")
    with open(reg, "w", encoding="utf-16", newline="\r\n") as f:
        f.write("\n".join(lines))
    subprocess.run(["wine", "reg", "import", winpath(reg)], check=True, capture_output=True, timeout=120,
                   env=dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all"))


class Api(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillet-jvm-api-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_every_method(self):
        jvm, release, classes = release_with_tests(self.dir, "ApiTest.java")

        work = os.path.join(self.dir, "work")
        for folder in ("bin", "My Tools", "\u03a9mega", "out"):
            os.makedirs(os.path.join(work, folder))
            if folder != "out":
                shutil.copy(os.path.join(BIN, "sleep_then_write.exe"), os.path.join(work, folder))
        fill_registry(self.dir)

        # In the DLL's folder of the unpacked release: Windows finds it there. As
        # a headless application runs: no message box, its text on standard error
        # and in the trace instead.
        trace = os.path.join(self.dir, "trace.log")
        with Answerer("cancel", "ok") as answerer:
            out, err = java(jvm, [classes], "ApiTest", winpath(work), cwd=os.path.join(release, ARCH),
                            env={"QUILLET_NO_MESSAGE_BOXES": "1", "QUILLET_DEBUG": winpath(trace)})
        checks_passed(self, out, err, least=40)
        self.assertEqual([seen[0] for seen in answerer.seen], ["Print Setup", "Print Setup"], answerer.seen)
        self.assertEqual([seen[2] for seen in answerer.seen], ["cancel", "ok"])
        self.assertIn("Quillet - Can't Open Printer: ", err)
        with open(trace, encoding="cp1252") as f:
            self.assertIn("Message box not shown (QUILLET_NO_MESSAGE_BOXES is set): Quillet - Can't Open Printer: ",
                          f.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
