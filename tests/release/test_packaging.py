"""The release packaging, tried on this build's executables: what
scripts/release.sh does with the release builds, in seconds instead of a
release build's minutes."""

import os
import shutil
import subprocess
import unittest
from pathlib import Path

import release_checks
from release_checks import Brand, package

PLATFORM = os.environ["QVL_RELEASE_PLATFORM"]
BIN_DIR = Path(os.environ["QVL_RELEASE_BIN_DIR"])
VERSION = os.environ["QVL_RELEASE_VERSION"]
SCRATCH = Path(os.environ["QVL_RELEASE_SCRATCH"])
NAMES = package.PLATFORMS[PLATFORM]


def pack(dist: Path) -> Path:
    shutil.rmtree(dist, ignore_errors=True)
    archive = package.archive(PLATFORM, BIN_DIR, VERSION, dist)
    package.write_sums(dist)
    return archive


class PackagingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.environ["SOURCE_DATE_EPOCH"] = "1760000000"
        cls.first = SCRATCH / "first"
        cls.second = SCRATCH / "second"
        cls.archive = pack(cls.first)
        pack(cls.second)
        cls.top = release_checks.extract(cls.archive, SCRATCH / "unpacked")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(SCRATCH, ignore_errors=True)

    def test_the_archive_is_named_after_the_version_and_platform(self):
        self.assertEqual(self.archive.name, f"quarvel-bootstrapper-{VERSION}-{PLATFORM}."
                                            + ("zip" if PLATFORM == "win64" else "tar.gz"))
        self.assertEqual(self.top.name, self.archive.name.split(".zip")[0].split(".tar.gz")[0])

    def test_the_archive_holds_what_a_studio_ships(self):
        self.assertEqual(release_checks.layout_problems(self.top, PLATFORM), [])
        self.assertEqual(release_checks.archive_problems(self.archive), [])

    def test_sha256sums_covers_every_file_of_dist(self):
        self.assertEqual(release_checks.sums_problems(self.first), [])
        listed = (self.first / "SHA256SUMS").read_text()
        for name in (self.archive.name, f"symbols/{NAMES['bootstrapper']}.debug", f"symbols/{NAMES['qvl_cdn']}.debug"):
            self.assertIn("  " + name + "\n", listed)
        # A changed byte is noticed.
        with open(self.first / "symbols" / f"{NAMES['qvl_cdn']}.debug", "ab") as file:
            file.write(b"\0")
        self.assertEqual(release_checks.sums_problems(self.first),
                         [f"symbols/{NAMES['qvl_cdn']}.debug does not match its SHA256SUMS line"])

    def test_packing_twice_gives_the_same_bytes(self):
        self.assertEqual((self.first / "SHA256SUMS").read_text(), (self.second / "SHA256SUMS").read_text())

    def test_executables_are_stripped_and_their_debug_information_kept(self):
        for program in (self.top / NAMES["bootstrapper"], self.top / "tools" / NAMES["qvl_cdn"]):
            with self.subTest(program.name):
                self.assertEqual(release_checks.stripped_problems(program, self.second / "symbols", PLATFORM), [])
        built = (BIN_DIR / NAMES["bootstrapper"]).stat().st_size
        shipped = (self.top / NAMES["bootstrapper"]).stat().st_size
        print(f"{NAMES['bootstrapper']}: {built} bytes built, {shipped} bytes shipped")
        if os.environ.get("QVL_RELEASE_INSTRUMENTED") != "1":
            self.assertLess(shipped, built / 2)

    @unittest.skipIf(PLATFORM == "win64" or os.environ.get("QVL_RELEASE_INSTRUMENTED") == "1",
                     "Linux executables without sanitizer run times only")
    def test_the_linux_bootstrapper_needs_only_a_desktops_libraries(self):
        self.assertEqual(release_checks.shared_library_problems(self.top / NAMES["bootstrapper"]), [])

    @unittest.skipUnless(PLATFORM == "win64", "Windows executables only")
    def test_the_windows_executable_carries_our_version_icon_and_manifest(self):
        exe = self.top / NAMES["bootstrapper"]
        self.assertEqual(release_checks.resource_problems(exe, VERSION, Brand.ours()), [])

    @unittest.skipUnless(PLATFORM == "win64", "Windows executables only")
    def test_a_studio_brand_replaces_our_icon_and_texts(self):
        studio = Brand(os.environ["QVL_STUDIO_PRODUCT"], os.environ["QVL_STUDIO_COMPANY"],
                       os.environ["QVL_STUDIO_DESCRIPTION"], os.environ["QVL_STUDIO_FILENAME"],
                       Path(os.environ["QVL_STUDIO_ICON"]))
        probe = Path(os.environ["QVL_STUDIO_PROBE"])
        self.assertEqual(release_checks.resource_problems(probe, VERSION, studio), [])
        # And it is not ours: the checks tell the two apart.
        self.assertIn("the icon is not bootstrapper.ico",
                      release_checks.resource_problems(probe, VERSION, Brand.ours()))

    @unittest.skipIf(PLATFORM == "win64", "runs natively; release.sh runs the Windows one under Wine")
    def test_qvl_cdn_names_the_version(self):
        answer = subprocess.run([self.top / "tools" / NAMES["qvl_cdn"], "--version"], capture_output=True,
                                text=True, check=True).stdout
        self.assertEqual(answer, f"qvl-cdn {VERSION}\n")


if __name__ == "__main__":
    unittest.main()
