"""The player's language as the system gives it (LANG, which Wine also
follows) chooses the texts of the splash: a British player reads English, a
Portuguese player Portuguese, a Japanese player Japanese, and a player whose
language is not shipped reads English. Each run ends on the error screen of a
game executable that is missing; the log names the chosen file and the error
title on screen is measured against the expected text in the expected font.

Under Wine the Japanese catalogue names Windows fonts that a Wine prefix does
not have: a host font covering Japanese stands in for them, and without it
every text falls back to its English default."""

import re
import shutil
import subprocess
import tempfile
import unittest
import uuid
from pathlib import Path

from background_run import BackgroundRun
from display import Screen, text_ink_width
from harness import GameFolder, Platform, valid_settings

# Light, 30 points: the error title, the first line of the error screen.
TITLE_ROWS = (100, 180)
WINDOWS_JAPANESE_FONTS = ("YuGothR.ttc", "YuGothB.ttc", "YuGothL.ttc")


def japanese_font() -> Path:
    """An installed font covering Japanese, as fontconfig lists it."""
    listed = subprocess.run(["fc-list", "--format", "%{file}\\n", ":lang=ja"], stdout=subprocess.PIPE,
                            check=True).stdout.decode().split()
    if not listed:
        raise unittest.SkipTest("no font covering Japanese is installed")
    return Path(sorted(listed)[0])


class PlayerLanguageTest(unittest.TestCase):
    def setUp(self):
        self.platform = Platform.from_environment()
        self.wine = self.platform.name == "windows"
        self.screen = Screen(self.platform)
        self.screen.hold()
        self.addCleanup(self.screen.release)
        self.product = "qvl-e2e-" + uuid.uuid4().hex[:12]
        self.title = "Quarvel language " + self.product

    def install_windows_fonts(self, names) -> None:
        """Copies the host's Japanese font into the prefix's fonts folder
        under the names the catalogue gives (under Wine only)."""
        fonts = self.platform.wine_prefix() / "drive_c" / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for name in names:
            target = fonts / name
            if not target.exists():
                shutil.copyfile(japanese_font(), target)
                self.addCleanup(target.unlink, missing_ok=True)

    def show_error_screen(self, locale: str):
        """Runs the bootstrapper for `locale` until its error screen has
        settled; the run, the screenshot and the window."""
        game = GameFolder(self.platform)
        self.addCleanup(game.close)
        game.write_settings(valid_settings(productid=self.product, executable="missing.exe", title=self.title))
        run = BackgroundRun(game, [], {**self.screen.environment(), "LANG": locale, "LC_ALL": locale,
                                       "LC_MESSAGES": locale}, settings_ids=(self.product, "live"))
        self.addCleanup(lambda: run.running() and run.kill())
        window = self.screen.wait_for_window(self.title, 60 if self.wine else 20, run.running)
        self.assertIsNotNone(window, "the window never appeared: " + run.describe())
        shot = self.screen.wait_until_settled(
            window, lambda w, s: w.shows_error_overlay(s) and w.exit_button_rows(s) is not None, 30)
        name = f"qvl-e2e-{self.platform.name}-language-{locale.split('.')[0]}.png"
        path = Path(tempfile.gettempdir()) / name
        (shot or self.screen.screenshot()).save_png(path)
        self.assertIsNotNone(shot, f"no error screen; screenshot: {path}\n{run.describe()}")
        return run, shot, window

    def expect_title(self, shot, window, title: str, font_file: Path | None = None) -> None:
        ink = window.ink_columns(shot, *TITLE_ROWS)
        self.assertIsNotNone(ink, "no title on the error screen")
        expected = text_ink_width(title, "Light", 30, font_file)
        self.assertAlmostEqual(ink[1] - ink[0] + 1, expected, delta=6, msg=f"the title shown is not '{title}'")
        # Centred in the window.
        self.assertAlmostEqual((ink[0] + ink[1]) / 2, 400, delta=4)

    def expect_chosen(self, run, name: str, reason: str) -> None:
        self.assertTrue(run.wait_for_log(f"Localization file loaded, using '{name}'.", 10), run.log())
        chosen = re.search(r"Localization file '([^']*)' chosen: (.*)\.", run.log())
        self.assertIsNotNone(chosen, run.log())
        self.assertEqual(chosen.group(1), name, run.log())
        self.assertRegex(chosen.group(2), reason)

    def test_each_player_reads_their_own_language(self):
        if self.wine:
            self.install_windows_fonts(WINDOWS_JAPANESE_FONTS)
        cases = [
            # locale, file chosen, why, error title, font of the title
            ("en_GB.UTF-8", "en", "the file of the language 'en'", "Launch Error", None),
            ("pt_PT.UTF-8", "pt", "the file of the language 'pt'", "Erro de arranque", None),
            ("ja_JP.UTF-8", "ja", "the file of the language 'ja'", "起動エラー", japanese_font()),
        ]
        if self.wine:
            # Wine turns a locale the C library lacks into its own default,
            # en-US, before the bootstrapper sees it: English all the same.
            cases.append(("xx_YY.UTF-8", "en_us", "the file of 'en_US'", "Launch Error", None))
        else:
            cases.append(("xx_YY.UTF-8", "en_us", "no file for 'xx_YY' or 'xx', English instead", "Launch Error",
                          None))
        for locale, name, reason, title, font in cases:
            with self.subTest(locale):
                run, shot, window = self.show_error_screen(locale)
                self.expect_chosen(run, name, re.escape(reason))
                self.expect_title(shot, window, title, font)
                self.assertNotIn("[Warn] The fonts cannot draw", run.log())
                run.kill()

    def test_japanese_without_its_fonts_falls_back_to_english(self):
        if not self.wine:
            self.skipTest("the Windows fonts of a catalogue are a Windows matter")
        # Other tests of the session may have installed the stand-ins: put them aside.
        fonts = self.platform.wine_prefix() / "drive_c" / "windows" / "Fonts"
        for name in WINDOWS_JAPANESE_FONTS:
            if (fonts / name).exists():
                (fonts / name).rename(fonts / (name + ".aside"))
                self.addCleanup((fonts / (name + ".aside")).rename, fonts / name)
        run, shot, window = self.show_error_screen("ja_JP.UTF-8")
        self.expect_chosen(run, "ja", re.escape("the file of the language 'ja'"))
        self.assertTrue(run.wait_for_log("Could not locate font file: ", 10), run.log())
        self.assertTrue(run.wait_for_log("Localization file loaded, using 'en_us'.", 10), run.log())
        self.expect_title(shot, window, "Launch Error")
        run.kill()


if __name__ == "__main__":
    unittest.main()
