"""A player's launch that ends before any module is fetched: bad settings,
a bad game path, a second bootstrapper. Headless with immediate exit, as an
unattended run would be."""

import json
import os
import shutil
import subprocess
import unittest
from harness import (HEADLESS, IMMEDIATE_EXIT, GameFolder, LaunchLockHolder, Platform, launch_lock_is_free,
                     linux_status, valid_settings, windows_path)

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
        # A product of this test's own: under Wine every test shares the
        # prefix's data folder, where others may create the usual product's.
        product = "qvl-e2e-bad-settings"
        cases = {
            "missing file": None,
            "empty file": "",
            "missing field": valid_settings(productid=product, sandboxid=None),
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
                run = self.game.run(env=UNATTENDED, settings_ids=(product, "live"))
                self.expect_exit(run, 207)
                # The log file opens only once the settings were read.
                self.assertEqual(run.log, "")
                for folder in (product, "bad_id"):
                    self.assertFalse((self.game.cache_root() / folder).exists(), folder)

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
        # Natively a lock of this test's own, in a runtime directory of its own.
        runtime = self.game.root / "runtime"
        runtime.mkdir(mode=0o700)
        env = {**UNATTENDED, "XDG_RUNTIME_DIR": str(runtime)}
        holder = LaunchLockHolder(self.platform, self.game.root, env)
        try:
            self.assertTrue(holder.holding)
            self.expect_exit(self.game.run(env=env), 60097)
            # The refused one gave nothing back: the holder still holds, and
            # the next attempts are refused as well.
            self.expect_exit(self.game.run(env=env), 60097)
            self.assertFalse(launch_lock_is_free(self.platform, env))
        finally:
            holder.release()
        # Once the holder is gone the next launch proceeds.
        self.expect_exit(self.game.run(env=env), 207)

    def test_settings_names_stay_inside_the_quarvel_folder(self):
        valid = json.dumps(valid_settings(executable="missing.exe"))
        (self.game.root / "Outside.json").write_text(valid)
        sub = self.game.root / "Quarvel" / "dev"
        sub.mkdir()
        (sub / "Dev.json").write_text(valid)
        # A file past 1 MiB is not read at all, however valid.
        self.game.write_settings(valid.ljust(1024 * 1024 + 1), name="Huge.json")
        windows = self.platform.name == "windows"
        cases = {
            # argument: whether the file is read
            "-anticheat_settings=dev/Dev.json": True,
            # A backslash separates only on Windows; elsewhere it is part of
            # the name, and no file has that name.
            "-anticheat_settings=dev\\Dev.json": windows,
            "-anticheat_settings=../Outside.json": False,
            "-anticheat_settings=dev\\..\\..\\Outside.json": False,
            "-anticheat_settings=Huge.json": False,
        }
        for argument, read in cases.items():
            with self.subTest(argument):
                run = self.game.run([argument], env=UNATTENDED)
                self.expect_exit(run, 207)
                if read:
                    self.assertTrue(run.logged("Launcher finished with: 207, 'Invalid game executable path: "),
                                    run.log)
                else:
                    # Unreadable settings: the log file is never opened.
                    self.assertEqual(run.log, "")

    def test_a_game_installed_deeper_than_260_characters_starts(self):
        if self.platform.name == "windows":
            # Wine's CreateProcessW answers 2 (file not found) for a program
            # path past MAX_PATH, plain or in its \\?\ form, so this launcher
            # cannot start the bootstrapper there at all.
            self.skipTest("Wine cannot start a program whose path is longer than MAX_PATH")
        deep = self.game.root
        while len(windows_path(deep)) < 300:
            deep = deep / ("very long folder name " + "x" * 20)
        deep.mkdir(parents=True)
        program = deep / self.platform.bootstrapper_name
        shutil.copy2(self.game.root / self.platform.bootstrapper_name, program)
        shutil.copytree(self.game.root / "Quarvel", deep / "Quarvel")
        (deep / "Quarvel" / "Settings.json").write_text(json.dumps(valid_settings(executable="missing.exe")))
        # Started from the game root: Wine cannot enter so deep a directory as
        # a process's first working directory, and the bootstrapper goes by its
        # own folder anyway.
        completed = subprocess.run(self.platform.command(program, []), cwd=self.game.root, timeout=120,
                                   env=self.platform.environment({"XDG_DATA_HOME": str(self.game.data_home),
                                                                  **UNATTENDED}),
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        # It gets as far as the game: before, it could not even find its own
        # folder and ended with 60099.
        code = self.platform.exit_code(completed)
        self.assertEqual(code, 207 if self.platform.name == "windows" else linux_status(207), completed.stdout)
        log = (self.game.cache_root() / "qvl-e2e-product" / "live" / "anticheatlauncher.log").read_text()
        self.assertIn("Launcher finished with: 207, 'Invalid game executable path: ", log)
        self.assertIn(windows_path(deep) if self.platform.name == "windows" else str(deep), log)


if __name__ == "__main__":
    unittest.main()
