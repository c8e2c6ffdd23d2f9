"""The cross-built Windows programs as files: console programs for their
machine that need no DLL beyond those every Windows has."""

import os
import subprocess
import unittest

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
    def test_each_build_is_a_console_program_that_needs_only_windows_dlls(self):
        self.assertIn("i686", [machine for machine, _ in builds()])
        for machine, path in builds():
            with self.subTest(machine=machine):
                kind, objdump = MACHINES[machine]
                described = subprocess.run(["file", "-b", path], capture_output=True, text=True,
                                           check=True).stdout
                self.assertTrue(described.startswith(kind), described)
                self.assertEqual(imported_dlls(objdump, path), WINDOWS_DLLS)


if __name__ == "__main__":
    unittest.main()
