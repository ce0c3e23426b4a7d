#!/usr/bin/env python3
"""Checks quintarel.exe's resources and imports as read from the file.

    resources_test.py QUINTAREL_EXE QUINTAREL_ICO
"""
import struct
import sys
import unittest

import pefile

EXE, ICO = sys.argv[1], sys.argv[2]
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
LANG_EN_US = 0x0409
# What a Windows installation provides; nothing else may be imported.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll", "shell32.dll",
               "comctl32.dll", "ole32.dll", "oleaut32.dll", "oleacc.dll", "ucrtbase.dll"}


def resources(pe):
    """{(type, id): [(language, bytes)]}"""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for lang in name.directory.entries:
                entry = lang.data.struct
                data = pe.get_data(entry.OffsetToData, entry.Size)
                found.setdefault((kind.id, name.id), []).append((lang.id, data))
    return found


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)
        cls.res = resources(cls.pe)
        with open(ICO, "rb") as f:
            cls.ico = f.read()

    def test_imports_are_system_dlls_only(self):
        dlls = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(dlls, SYSTEM_DLLS)
        self.assertIn("user32.dll", dlls)
        self.assertIn("gdi32.dll", dlls)
        for dll in dlls:
            self.assertFalse(dll.startswith(("libstdc++", "libgcc", "libwinpthread", "qt")), dll)

    def test_windows_gui_program(self):
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"])

    def test_fixed_version_info(self):
        self.assertEqual(self.res[(RT_VERSION, 1)][0][0], LANG_EN_US)
        self.assertEqual(len(self.res[(RT_VERSION, 1)]), 1)
        ffi = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual(ffi.Signature, 0xFEEF04BD)
        self.assertEqual((ffi.FileVersionMS, ffi.FileVersionLS), (0x00010000, 0))
        self.assertEqual((ffi.ProductVersionMS, ffi.ProductVersionLS), (0x00010000, 0))
        self.assertEqual((ffi.FileFlagsMask, ffi.FileFlags), (0, 0))
        self.assertEqual((ffi.FileOS, ffi.FileType, ffi.FileSubtype), (4, 1, 0))
        self.assertEqual((ffi.FileDateMS, ffi.FileDateLS), (0, 0))

    def test_version_blocks_and_strings_in_order(self):
        blocks = [info.Key for info in self.pe.FileInfo[0]]
        self.assertEqual(blocks, [b"VarFileInfo", b"StringFileInfo"])
        var = self.pe.FileInfo[0][0].Var
        self.assertEqual(len(var), 1)
        self.assertEqual(var[0].entry, {b"Translation": "0x0409 0x04b0"})
        tables = self.pe.FileInfo[0][1].StringTable
        self.assertEqual([t.LangID for t in tables], [b"040904B0"])
        entries = list(tables[0].entries.items())
        self.assertEqual([k for k, _ in entries], [b"CompanyName", b"LegalCopyright", b"ProductName", b"FileVersion",
                                                   b"ProductVersion", b"InternalName", b"OriginalFilename"])
        values = dict(entries)
        self.assertTrue(values[b"CompanyName"])
        self.assertTrue(values[b"LegalCopyright"])
        self.assertEqual(values[b"ProductName"], b"Quintarel")
        self.assertEqual(values[b"FileVersion"], b"1.00")
        self.assertEqual(values[b"ProductVersion"], b"1.00")
        self.assertEqual(values[b"InternalName"], b"quintarel")
        self.assertEqual(values[b"OriginalFilename"], b"quintarel.exe")

    def test_icon_group_one_names_image_30001(self):
        self.assertEqual(sorted(k for k in self.res if k[0] == RT_GROUP_ICON), [(RT_GROUP_ICON, 1)])
        [(lang, group)] = self.res[(RT_GROUP_ICON, 1)]
        self.assertEqual(lang, LANG_EN_US)
        reserved, kind, count = struct.unpack_from("<HHH", group)
        self.assertEqual((reserved, kind, count), (0, 1, 1))
        self.assertEqual(len(group), 6 + 14)
        width, height, colours, _, planes, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6)
        self.assertEqual((width, height, colours, planes, bits, size, ident), (32, 32, 16, 1, 4, 744, 30001))

    def test_icon_image_30001_is_the_generated_icon(self):
        self.assertEqual(sorted(k for k in self.res if k[0] == RT_ICON), [(RT_ICON, 30001)])
        [(_, image)] = self.res[(RT_ICON, 30001)]
        self.assertEqual(len(image), 744)
        header = struct.unpack_from("<IiiHHI", image)
        self.assertEqual(header, (40, 32, 64, 1, 4, 0), "32 x 32, 4 bits per pixel, image and mask")
        # The standard 16-colour palette, blue-green-red-zero.
        self.assertEqual(image[40:44], b"\0\0\0\0")
        self.assertEqual(image[40 + 4 * 15:40 + 64], b"\xff\xff\xff\0")
        # The .ico the build generated from icon.txt: one entry, the same bytes.
        self.assertEqual(len(self.ico), 766)
        self.assertEqual(struct.unpack_from("<HHH", self.ico), (0, 1, 1))
        self.assertEqual(struct.unpack_from("<BBBBHHII", self.ico, 6), (32, 32, 16, 0, 1, 4, 744, 22))
        self.assertEqual(self.ico[22:], image)

    def test_manifest_is_per_monitor_dpi_aware(self):
        [(_, manifest)] = self.res[(RT_MANIFEST, 1)]
        text = manifest.decode("utf-8")
        self.assertIn("<dpiAware", text)
        self.assertIn("true/pm", text)
        self.assertIn("PerMonitorV2", text)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
