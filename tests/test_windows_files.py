"""The cross-built Windows programs as files: console programs for their
machine that need no DLL beyond those every Windows has; and the zip made
for Windows, when VOSSMAREL_WINDOWS_ZIP names it."""

import os
import subprocess
import tempfile
import unittest
import zipfile

# What file(1) says of each machine's build, and the objdump that reads it.
MACHINES = {
    "i686": ("PE32 executable (console) Intel 80386", "i686-w64-mingw32-objdump"),
    "x86_64": ("PE32+ executable (console) x86-64", "x86_64-w64-mingw32-objdump"),
}
WINDOWS_DLLS = {"KERNEL32.dll", "msvcrt.dll", "WS2_32.dll"}


def builds():
    """(machine, path) of each build named in VOSSMAREL_WINDOWS_FILES."""
    return [entry.split("=", 1) for entry in os.environ["VOSSMAREL_WINDOWS_FILES"].split()]


def imported_dlls(objdump, path):
    headers = subprocess.run([objdump, "-p", path], capture_output=True, text=True,
                             check=True).stdout
    return {line.split(":", 1)[1].strip() for line in headers.splitlines()
            if line.strip().startswith("DLL Name:")}


class WindowsFilesTest(unittest.TestCase):
    def assert_windows_program(self, machine, path):
        kind, objdump = MACHINES[machine]
        described = subprocess.run(["file", "-b", path], capture_output=True, text=True,
                                   check=True).stdout
        self.assertTrue(described.startswith(kind), described)
        self.assertEqual(imported_dlls(objdump, path), WINDOWS_DLLS)

    @unittest.skipUnless(os.environ.get("VOSSMAREL_WINDOWS_FILES"), "no Windows build named")
    def test_each_build_is_a_console_program_that_needs_only_windows_dlls(self):
        self.assertIn("i686", [machine for machine, _ in builds()])
        for machine, path in builds():
            with self.subTest(machine=machine):
                self.assert_windows_program(machine, path)

    @unittest.skipUnless(os.environ.get("VOSSMAREL_WINDOWS_ZIP"), "no zip named")
    def test_the_zip_holds_the_32_bit_program_and_the_readme_as_windows_text(self):
        with zipfile.ZipFile(os.environ["VOSSMAREL_WINDOWS_ZIP"]) as archive:
            names = {os.path.basename(name): name for name in archive.namelist()}
            self.assertEqual(sorted(names), ["README.txt", "vossmarel.exe"])
            readme = archive.read(names["README.txt"])
            with tempfile.TemporaryDirectory() as folder:
                self.assert_windows_program("i686", archive.extract(names["vossmarel.exe"], folder))
        self.assertIn(b"\r\n", readme)
        self.assertNotIn(b"\n", readme.replace(b"\r\n", b""))
        self.assertTrue(readme.startswith(b"# Vossmarel\r\n"))


if __name__ == "__main__":
    unittest.main()
