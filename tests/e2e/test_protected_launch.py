"""A whole protected launch with the real bootstrapper: the sample module is
published on the local test CDN, downloaded, loaded from memory and started,
and the sample game runs. The Windows build runs under Wine, where the module
is the native Linux one, loaded through the host's dlopen."""

import os
import subprocess
import unittest
import uuid
from pathlib import Path

from harness import HEADLESS, IMMEDIATE_EXIT, GameFolder, Platform, linux_status, valid_settings, windows_path

UNATTENDED = {HEADLESS: "1", IMMEDIATE_EXIT: "1"}
SUCCESS_LINE = "Launcher finished with: 301, 'Quarvel successfully loaded in-game'."
# Both builds take the Linux module: the game is a 64-bit Windows program
# under Wine, a 64-bit Linux one natively.
MODULE = "libqvl_sample_module.so"
SYSTEM = "linux64"


class ProtectedLaunchTest(unittest.TestCase):
    def setUp(self):
        self.platform = Platform.from_environment()
        self.game = GameFolder(self.platform)
        self.addCleanup(self.game.close)
        # A product of this test alone: its module and cache are its own.
        self.product = "qvl-e2e-" + uuid.uuid4().hex[:12]
        self.publish_module()
        self.executable = self.platform.executable("qvl_sample_game" if self.platform.name == "windows"
                                                   else "qvl-sample-game")
        self.game.add_game(self.executable, self.platform.bin_dir / self.executable)

    def publish_module(self):
        tool = self.platform.bin_dir / self.platform.executable("qvl-cdn")
        module = self.platform.bin_dir / MODULE
        root = Path(os.environ["QVL_E2E_CDN_ROOT"])
        paths = [module, root]
        if self.platform.name == "windows":
            paths = [windows_path(path) for path in paths]
        args = ["publish", str(paths[0]), "--product", self.product, "--deployment", "live", "--system", SYSTEM,
                "--root", str(paths[1])]
        completed = subprocess.run(self.platform.command(tool, args, report_exit_code=False),
                                   env=self.platform.environment(), stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, timeout=120)
        self.assertEqual(completed.returncode, 0, completed.stdout.decode(errors="replace"))
        published = root / "modules" / self.product / "live" / SYSTEM
        self.addCleanup(published.unlink, missing_ok=True)

    def launch(self, wait_for_game: bool, game_args: list[str], env: dict | None = None):
        settings = valid_settings(productid=self.product, executable=self.executable)
        if wait_for_game:
            settings["wait_for_game_process_exit"] = "true"
        self.game.write_settings(settings)
        return self.game.run(game_args, env={**UNATTENDED, **(env or {})}, settings_ids=(self.product, "live"))

    def expect_exit(self, run, code):
        expected = code if self.platform.name == "windows" else linux_status(code)
        self.assertEqual(run.exit_code, expected, run.log)

    def test_the_game_runs_and_its_exit_code_is_returned(self):
        run = self.launch(True, ["--no-window", "--exit-after-ms", "2000", "--exit-code", "7"])
        self.assertTrue(run.logged(SUCCESS_LINE), run.log)
        if self.platform.name == "windows":
            self.assertTrue(run.logged("Starting Wine module mapping, Wine version: "), run.log)
        self.assertTrue(run.logged("Waiting for game process to exit"), run.log)
        self.expect_exit(run, 7)

    def test_the_launcher_starts_the_game_when_the_module_asks(self):
        run = self.launch(True, ["--no-window", "--exit-after-ms", "2000", "--exit-code", "5"],
                          env={"QVL_SAMPLE_MODULE_MODE": "start=launcher"})
        self.assertTrue(run.logged(SUCCESS_LINE), run.log)
        self.assertTrue(run.logged("Game process started, id: "), run.log)
        self.expect_exit(run, 5)

    def test_a_successful_launch_without_waiting_exits_with_0(self):
        run = self.launch(False, ["--no-window", "--exit-after-ms", "500"])
        self.assertTrue(run.logged(SUCCESS_LINE), run.log)
        self.expect_exit(run, 0)

    def test_a_module_error_ends_the_launch_with_210(self):
        run = self.launch(False, ["--no-window", "--exit-after-ms", "500"], env={"QVL_SAMPLE_MODULE_MODE": "error"})
        self.assertTrue(run.logged("Launcher finished with: 210, 'Sample module: error on request.'."), run.log)
        self.expect_exit(run, 210)


if __name__ == "__main__":
    unittest.main()
