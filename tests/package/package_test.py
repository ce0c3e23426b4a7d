#!/usr/bin/env python3
"""The packages as a user gets them, made by cpack in a build tree.

    package_test.py deb        the Debian package of the linux build tree
    package_test.py windows    the zip and the installer of the windows build tree

deb: lintian, desktop-file-validate and appstreamcli pass; the icons, the
desktop entry and the metainfo agree; the packaged binary is stripped and runs.
windows: the zip holds the stripped exe; under Wine, in a prefix of its own, the
installer installs silently, the installed game opens its main window and the
uninstaller leaves nothing behind.

Environment: QUINTAREL_BUILD (the build tree), QUINTAREL_CPACK, QUINTAREL_VERSION,
QUINTAREL_ICON_TXT; for windows also what tests/win32/e2e_test.py takes
(QUINTAREL_WINE being the package test's own Wine wrapper) and DISPLAY.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import make_icon  # noqa: E402  (the icon's pixels and palette)

BUILD = os.environ["QUINTAREL_BUILD"]
CPACK = os.environ["QUINTAREL_CPACK"]
VERSION = os.environ["QUINTAREL_VERSION"]
ICON_TXT = os.environ["QUINTAREL_ICON_TXT"]
OUT = os.path.join(BUILD, "package-test")
MiB = 1024 * 1024


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=240, **kwargs)


def cpack(*generators):
    shutil.rmtree(OUT, ignore_errors=True)
    result = run(CPACK, "-G", ";".join(generators), "-B", OUT, cwd=BUILD)
    assert result.returncode == 0, result.stdout + result.stderr


class Deb(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cpack("DEB")
        [cls.deb] = glob.glob(os.path.join(OUT, "*.deb"))
        cls.root = tempfile.mkdtemp(prefix="quintarel-deb-")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        cls.fields = dict(re.findall(r"^(\S+): (.*)$", run("dpkg-deb", "-f", cls.deb).stdout, re.M))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def path(self, *parts):
        return os.path.join(self.root, "usr", *parts)

    def test_lintian_finds_no_error_or_warning(self):
        result = run("lintian", "--fail-on", "error,warning", self.deb)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_control_and_version(self):
        self.assertEqual(os.path.basename(self.deb), f"quintarel_{VERSION}_amd64.deb")
        self.assertEqual((self.fields["Package"], self.fields["Version"], self.fields["Section"]),
                         ("quintarel", VERSION, "games"))
        # Computed by dpkg-shlibdeps, with the versions the binary needs.
        self.assertRegex(self.fields["Depends"], r"libc6 \(>= [\d.]+\)")
        self.assertRegex(self.fields["Depends"], r"libqt6widgets6 \(>= [\d.]+\)")
        changelog = run("zcat", self.path("share", "doc", "quintarel", "changelog.gz")).stdout
        self.assertTrue(changelog.startswith(f"quintarel ({VERSION}) "), changelog)

    def test_desktop_entry_and_metainfo_validate_and_agree(self):
        [desktop] = glob.glob(self.path("share", "applications", "*.desktop"))
        [metainfo] = glob.glob(self.path("share", "metainfo", "*.metainfo.xml"))
        result = run("desktop-file-validate", desktop)
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""))
        result = run("appstreamcli", "validate", "--no-net", "--pedantic", "--no-color", metainfo)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotRegex(result.stdout, r"(?m)^[EWIP]: ", "not even a pedantic hint")

        app_id = os.path.basename(desktop)[:-len(".desktop")]
        entry = dict(re.findall(r"^([\w\[\]]+)=(.*)$", open(desktop, encoding="utf-8").read(), re.M))
        self.assertEqual(entry["Icon"], app_id)
        self.assertTrue(entry["Comment"].isascii(), "English by default")
        self.assertIn("číslo", entry["Comment[cs]"])
        self.assertTrue(os.access(self.path("games", entry["Exec"]), os.X_OK))
        component = ET.parse(metainfo).getroot()
        self.assertEqual(component.findtext("id"), app_id)
        self.assertEqual(component.findtext("launchable"), app_id + ".desktop")
        self.assertEqual(component.findtext("provides/binary"), entry["Exec"])
        self.assertEqual(component.find("releases/release").get("version"), VERSION)
        self.assertEqual(len(component.findall("screenshots/screenshot/image")), 2)

    def test_icons_are_the_icon_scaled_nearest_neighbour(self):
        rows = make_icon.read_pixels(ICON_TXT)
        for size in (16, 24, 32, 48, 64, 128, 256):
            [icon] = glob.glob(self.path("share", "icons", "hicolor", f"{size}x{size}", "apps", "*.png"))
            data = subprocess.run(["convert", icon, "-depth", "8", "rgba:-"], capture_output=True, check=True).stdout
            self.assertEqual(len(data), size * size * 4, icon)
            for y in range(size):
                for x in range(size):
                    # The source pixel under this pixel's centre, never a blend.
                    pixel = make_icon.argb(rows[(2 * y + 1) * 32 // (2 * size)][(2 * x + 1) * 32 // (2 * size)])
                    want = bytes([pixel >> 16 & 255, pixel >> 8 & 255, pixel & 255, pixel >> 24]) if pixel else None
                    got = data[(y * size + x) * 4:(y * size + x + 1) * 4]
                    if want is None:
                        self.assertEqual(got[3], 0, f"{size} px: ({x}, {y}) transparent")
                    else:
                        self.assertEqual(got, want, f"{size} px: ({x}, {y})")

    def test_binary_is_stripped_and_says_in_one_line_that_there_is_no_display(self):
        binary = self.path("games", "quintarel")
        sections = run("readelf", "-SW", binary).stdout
        self.assertIn(".text", sections)
        self.assertEqual(re.findall(r"\.debug_\w+|\.symtab", sections), [])
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        result = run(binary, env=env)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("display", result.stderr)


class Windows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cpack("ZIP", "NSIS")
        cls.name = f"Quintarel-{VERSION}-win64"
        cls.zip = os.path.join(OUT, cls.name + ".zip")
        cls.installer = os.path.join(OUT, cls.name + ".exe")

    def test_zip_holds_the_stripped_exe_licence_and_readme(self):
        with zipfile.ZipFile(self.zip) as z:
            self.assertEqual(sorted(i.filename for i in z.infolist() if not i.is_dir()),
                             [f"{self.name}/{f}" for f in ("LICENSE.txt", "README.txt", "quintarel.exe")])
            exe = z.read(f"{self.name}/quintarel.exe")
            readme = z.read(f"{self.name}/README.txt").decode("utf-8")
        # The build's own exe, whose resources and imports win32.resources checks.
        with open(os.path.join(BUILD, "quintarel.exe"), "rb") as f:
            self.assertEqual(exe, f.read())
        self.assertLessEqual(len(exe), MiB)
        import pefile
        pe = pefile.PE(data=exe)
        sections = [s.Name.rstrip(b"\0").decode() for s in pe.sections]
        self.assertIn(".text", sections)
        self.assertEqual([s for s in sections if s.startswith(".debug")], [])
        self.assertEqual(pe.FILE_HEADER.PointerToSymbolTable, 0, "no COFF symbol table")
        self.assertIn(VERSION, readme)
        self.assertIn("\r\n", readme, "lines end as Notepad expects")

    def test_installer_installs_silently_starts_and_uninstalls_without_a_trace(self):
        import e2e_test as wine
        prefix = os.path.join(os.path.dirname(wine.WINE), "wineprefix")
        program_files = os.path.join(prefix, "drive_c", "Program Files", "Quintarel")
        start_menu = os.path.join(prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                                  "Programs", "Quintarel")
        uninstall_key = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Quintarel"
        vendor_key = r"Software\Quintarel developers"

        def machine_registry():
            """HKEY_LOCAL_MACHINE as Wine keeps it on disk: {key: {name: value}}.
            Read with Wine stopped, when its server has written the file."""
            wine.stop_wine()
            keys, values = {}, None
            with open(os.path.join(prefix, "system.reg"), encoding="utf-8", errors="replace") as f:
                for line in f:
                    if line.startswith("["):
                        values = keys.setdefault(line[1:line.index("]")].replace("\\\\", "\\").lower(), {})
                    elif values is not None and line.startswith('"'):
                        name, _, value = line.rstrip("\n").partition('"=')
                        if value.startswith('"'):
                            value = re.sub(r"\\(.)", r"\1", value[1:-1])
                        values[name[1:]] = value
            return keys

        def left_behind():
            registry = machine_registry()
            return [p for p in (program_files, start_menu) if os.path.exists(p)] + \
                [k for k in (uninstall_key, vendor_key) if k.lower() in registry]

        if os.path.exists(prefix) and left_behind():
            # A run that stopped half-way: start again from a new prefix.
            shutil.rmtree(prefix)
        self.assertEqual(run(wine.WINE, self.installer, "/S").returncode, 0)
        self.assertEqual(sorted(os.listdir(program_files)),
                         ["LICENSE.txt", "README.txt", "Uninstall.exe", "quintarel.exe"])
        self.assertEqual(sorted(os.listdir(start_menu)), ["Quintarel.lnk", "Uninstall.lnk"])
        entry = machine_registry()[uninstall_key.lower()]
        self.assertEqual((entry["DisplayName"], entry["DisplayVersion"], entry["Publisher"]),
                         ("Quintarel", VERSION, "Quintarel developers"))
        self.assertEqual(entry["DisplayIcon"], r"C:\Program Files\Quintarel\quintarel.exe")
        self.assertEqual(entry["UninstallString"], r'"C:\Program Files\Quintarel\Uninstall.exe"')

        # The game as its Start menu entry starts it, in the Wine desktop where
        # the probe looks (start.exe alone would open it outside), once that
        # desktop is up: two programs that open it at once can hang.
        wine.Desktop.ensure()
        game = subprocess.Popen([wine.WINE, "explorer", "/desktop=Quintarel,1280x1024", "start", "/unix",
                                 os.path.join(start_menu, "Quintarel.lnk")],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            # In this prefix there is no other quintarel.exe than the installed one.
            wine.wait_for(lambda: wine.probe("window", wine.MAIN_TITLE).get("visible") == ["1"], timeout=60,
                          what="the installed game's main window")
            wine.wait_for(lambda: wine.Shot().pixel(wine.on_main(3000, 700)) == wine.PINK, what="it painted")
        finally:
            game.kill()
            wine.Desktop.close()
            wine.stop_wine()

        self.assertEqual(run(wine.WINE, r"C:\Program Files\Quintarel\Uninstall.exe", "/S").returncode, 0)
        # The uninstaller goes on from a copy of itself; machine_registry() waits
        # until Wine is done.
        self.assertEqual(left_behind(), [])

if __name__ == "__main__":
    group = sys.argv[1].capitalize()
    if group == "Windows":
        sys.path.insert(0, os.path.join(HERE, "..", "win32"))
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(globals()[group])
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
