"""A player's launch that ends before any module is fetched: bad settings,
a bad game path, a second bootstrapper. Headless with immediate exit, as an
unattended run would be."""

import os
import subprocess
import unittest

from harness import HEADLESS, IMMEDIATE_EXIT, GameFolder, Platform, linux_status, valid_settings

UNATTENDED = {HEADLESS: "1", IMMEDIATE_EXIT: "1"}


class LaunchRequestTest(unittest.TestCase):
    def setUp(self):
        self.platform = Platform.from_environment()
        self.game = GameFolder(self.platform)
        self.addCleanup(self.game.close)

    def expect_exit(self, run, code):
        expected = code if self.platform.name == "windows" else linux_status(code)
        self.assertEqual(run.exit_code, expected, run.log)

    def test_bad_settings_end_with_207_before_any_download(self):
        cases = {
            "missing file": None,
            "empty file": "",
            "missing field": valid_settings(sandboxid=None),
            "invalid identifier": valid_settings(productid="bad_id"),
        }
        for name, settings in cases.items():
            with self.subTest(name):
                settings_file = self.game.root / "Quarvel" / "Settings.json"
                settings_file.unlink(missing_ok=True)
                if settings is not None:
                    if isinstance(settings, dict):
                        settings = {k: v for k, v in settings.items() if v is not None}
                    self.game.write_settings(settings)
                run = self.game.run(env=UNATTENDED)
                self.expect_exit(run, 207)
                # The log file opens only once the settings were read.
                self.assertEqual(run.log, "")
                self.assertFalse((self.game.cache_root() / "qvl-e2e-product").exists())

    def test_missing_game_binary_ends_with_207(self):
        self.game.write_settings(valid_settings(executable="missing.exe"))
        run = self.game.run(env=UNATTENDED)
        self.expect_exit(run, 207)
        self.assertTrue(run.logged("Launcher finished with: 207, 'Invalid game executable path: "), run.log)
        # The first line says which build wrote the file.
        version = os.environ["QVL_E2E_VERSION"]
        self.assertTrue(run.log.splitlines()[0].endswith(f"Quarvel Bootstrapper version {version}."), run.log)
        # The last line is the run's own end, written once.
        self.assertTrue(run.log.rstrip().endswith("Terminating with: 207."), run.log)
        self.assertEqual(run.log.count("Terminating with:"), 1, run.log)

    def test_directory_as_executable_ends_with_201(self):
        (self.game.root / "game_dir").mkdir()
        self.game.write_settings(valid_settings(executable="game_dir"))
        run = self.game.run(env=UNATTENDED)
        self.expect_exit(run, 201)
        self.assertTrue(run.logged("Launcher finished with: 201, 'Invalid game executable path: "), run.log)

    def test_settings_file_named_on_the_command_line(self):
        self.game.write_settings(valid_settings(executable="missing.exe"), name="Dev.json")
        run = self.game.run(["--anticheat_settings=\"Dev.json\"", "-v"], env=UNATTENDED)
        self.expect_exit(run, 207)
        self.assertTrue(run.logged("Loaded the following settings .json file: '"), run.log)
        self.assertTrue(run.logged("Dev.json'"), run.log)

    def test_second_bootstrapper_is_refused_while_the_first_launches(self):
        self.game.write_settings(valid_settings(executable="missing.exe"))
        probe = self.platform.bin_dir / self.platform.executable("launch_lock_probe")
        holder = subprocess.Popen(self.platform.command(probe, ["hold", "30000"], report_exit_code=False),
                                  stdout=subprocess.PIPE,
                                  env=self.platform.environment({"QVL_WINE_RUN_STREAM": "1"}))
        try:
            self.assertIn(b"held", holder.stdout.readline())
            run = self.game.run(env=UNATTENDED)
            self.expect_exit(run, 60097)
        finally:
            holder.kill()
            holder.wait()
        # Once the holder is gone the next launch proceeds.
        self.expect_exit(self.game.run(env=UNATTENDED), 207)


if __name__ == "__main__":
    unittest.main()
