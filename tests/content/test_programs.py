"""Static checks of the two built programs, read with objdump: the format
(PE32 for the shipped program, PE32+ for the 64-bit one), the GUI subsystem,
imports of Windows system DLLs only (a runtime DLL of the compiler would mean
the static link broke), and the manifest, version and icon resources. Also
that the shipped files are stripped and their symbols kept beside the build.

Run from the repository root after scripts/build.sh:
    python3 -m unittest discover -s tests/content -p 'test_programs.py'
"""

import os
import re
import subprocess
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

PROGRAMS = [
    # (name, shipped file, unstripped build output, objdump, format, magic)
    ("win32", "dist/QrvSaver2006.scr", "build/win/src/win/QrvSaver2006.scr",
     "i686-w64-mingw32-objdump", "pei-i386", "PE32"),
    ("win64", "dist/x64/QrvSaver2006.scr", "build/win64/src/win/QrvSaver2006.scr",
     "x86_64-w64-mingw32-objdump", "pei-x86-64", "PE32+"),
]

# DLLs that every Windows from 7 on carries in its system folder.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "uxtheme.dll", "winmm.dll", "wininet.dll", "msimg32.dll",
}

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def objdump(tool, *args):
    return subprocess.run([tool, *args], check=True, capture_output=True, text=True).stdout


def resource_types(dump):
    """The type ids of the top level of the resource directory in `objdump -p`."""
    m = re.search(r"The \.rsrc Resource Directory section:\n(.*?)(?:\n\n|\Z)", dump, re.S)
    if not m:
        return set()
    types = set()
    for line in m.group(1).splitlines():
        # Top-level entries are indented by one level more than the type table.
        e = re.match(r"^[0-9a-f]+\s{3}Entry: ID: (0x[0-9a-f]+)", line)
        if e:
            types.add(int(e.group(1), 16))
    return types


class ProgramTest(unittest.TestCase):
    def test_each_program(self):
        for name, shipped, built, tool, fmt, magic in PROGRAMS:
            with self.subTest(program=name):
                path = os.path.join(ROOT, shipped)
                self.assertTrue(os.path.isfile(path), f"{shipped} missing: run scripts/build.sh")
                head = objdump(tool, "-f", path)
                self.assertIn(f"file format {fmt}", head)
                dump = objdump(tool, "-p", path)
                self.assertRegex(dump, rf"Magic\s+[0-9a-f]+\s+\({re.escape(magic)}\)")
                self.assertRegex(dump, r"Subsystem\s+00000002\s+\(Windows GUI\)")
                dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
                self.assertIn("kernel32.dll", dlls)
                self.assertEqual(set(), dlls - SYSTEM_DLLS, "imports outside the system DLLs")
                types = resource_types(dump)
                for rtype, what in ((RT_MANIFEST, "manifest"), (RT_VERSION, "version"),
                                    (RT_ICON, "icon"), (RT_GROUP_ICON, "icon group")):
                    self.assertIn(rtype, types, f"no {what} resource")
                # Stripped for shipping; the symbols stay beside the build.
                self.assertFalse("WinMain" in objdump(tool, "-t", path), "the shipped program has symbols")
                debug = os.path.join(ROOT, built + ".debug")
                self.assertTrue(os.path.isfile(debug), f"{built}.debug missing")
                self.assertTrue("WinMain" in objdump(tool, "-t", debug), "the symbol file has no symbols")
                self.assertIn(".gnu_debuglink", objdump(tool, "-h", path))


if __name__ == "__main__":
    unittest.main()
