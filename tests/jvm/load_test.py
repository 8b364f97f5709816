#!/usr/bin/env python3
"""A real Java virtual machine under load: several threads calling at once
(java/ThreadsTest.java), and thousands of calls in a row without growth in the
process's handles or memory (java/SoakTest.java)."""
import os
import shutil
import tempfile
import unittest

from jvm_support import ARCH, BIN, Answerer, checks_passed, java, release_with_tests, winpath


class Load(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillet-jvm-load-")
        cls.jvm, cls.release, cls.classes = release_with_tests(cls.dir, "ThreadsTest.java", "SoakTest.java")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def run_test(self, main, least):
        work = tempfile.mkdtemp(dir=self.dir)
        for folder in ("bin", "reports", "out"):
            os.makedirs(os.path.join(work, folder))
        for helper in ("sleep_then_write.exe", "parent_usage.exe"):
            shutil.copy(os.path.join(BIN, helper), os.path.join(work, "bin"))
        with open(os.path.join(work, "reports", "small.txt"), "w") as f:
            f.write("SMALL REPORT\n" * 20)
        with Answerer() as answerer:
            out, err = java(self.jvm, [self.classes], main, winpath(work), cwd=os.path.join(self.release, ARCH))
        print(out)
        checks_passed(self, out, err, least=least)
        self.assertEqual(answerer.seen, [])  # no box was shown

    def test_threads_at_once(self):
        self.run_test("ThreadsTest", least=20)

    def test_thousands_of_calls(self):
        self.run_test("SoakTest", least=6)


if __name__ == "__main__":
    unittest.main(verbosity=2)
