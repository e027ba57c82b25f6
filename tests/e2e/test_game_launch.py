"""Launches as a player sees them: the real bootstrapper with its window on
the test display, the sample module from the local test CDN, the sample
game, and the analytics collector. Screenshots show what is on screen while
the launch goes on; the Exit button is clicked as a player would.

Under Wine the bootstrapper does not watch the game's window: it leaves at
the first poll after the success screen, so no window-visibility time is
measured there."""

import json
import os
import re
import subprocess
import tempfile
import time
import unittest
import uuid
from pathlib import Path

from background_run import BackgroundRun
from display import EXIT_BUTTON_ONE_LINE, Screen, Window, text_ink_width
from harness import (HEADLESS, IMMEDIATE_EXIT, GameFolder, LaunchLockHolder, Platform, launch_lock_is_free,
                     linux_status, valid_settings, windows_path)

UNATTENDED = {HEADLESS: "1", IMMEDIATE_EXIT: "1"}
MODULE_MODE = "QVL_SAMPLE_MODULE_MODE"
SUCCESS_LINE = "Launcher finished with: 301, 'Quarvel successfully loaded in-game'."
UNLOCK_LINE = "Unlocking the launch lock, allowing next game to launch to take place."
LOADER_STARTED_LINE = "Loader component initialized."
WINDOW_SEEN_LINE = "The game window has become visible, the bootstrapper will leave the visible state."
WINDOW_EVENT = "AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration"
RESULT_EVENT = "AntiCheat.Info.BootstrapperResult"
DEFAULT_TITLE = "Quarvel Bootstrapper"
# Both builds take the Linux module: the game is a 64-bit Windows program
# under Wine, a 64-bit Linux one natively.
MODULE = "libqvl_sample_module.so"
SYSTEM = "linux64"


class GameLaunchTest(unittest.TestCase):
    def setUp(self):
        self.platform = Platform.from_environment()
        self.wine = self.platform.name == "windows"
        self.screen = Screen(self.platform)
        self.screen.hold()
        self.addCleanup(self.screen.release)
        # Windows start slower under Wine.
        self.window_timeout = 60 if self.wine else 20
        self.product = "qvl-e2e-" + uuid.uuid4().hex[:12]
        self.title = "Quarvel e2e " + self.product
        self.game = self.new_game_folder()
        # A launch lock of this test's own: natively it lives in the runtime
        # directory (under Wine in the session's prefix).
        runtime = Path(tempfile.mkdtemp(prefix="qvl-e2e-runtime-"))
        runtime.chmod(0o700)
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", str(runtime)]))
        self.common_env = {"XDG_RUNTIME_DIR": str(runtime), **self.screen.environment()}

    def new_game_folder(self) -> GameFolder:
        game = GameFolder(self.platform)
        self.addCleanup(game.close)
        game.add_game(self.game_executable, self.platform.bin_dir / self.game_executable)
        return game

    @property
    def game_executable(self) -> str:
        return self.platform.executable("qvl_sample_game" if self.platform.name == "windows" else "qvl-sample-game")

    # --- helpers -----------------------------------------------------------

    def publish_module(self, product: str) -> None:
        tool = self.platform.bin_dir / self.platform.executable("qvl-cdn")
        root = Path(os.environ["QVL_E2E_CDN_ROOT"])
        paths = [self.platform.bin_dir / MODULE, root]
        if self.wine:
            paths = [windows_path(path) for path in paths]
        args = ["publish", str(paths[0]), "--product", product, "--deployment", "live", "--system", SYSTEM,
                "--root", str(paths[1])]
        completed = subprocess.run(self.platform.command(tool, args, report_exit_code=False),
                                   env=self.platform.environment(), stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, timeout=120)
        self.assertEqual(completed.returncode, 0, completed.stdout.decode(errors="replace"))
        self.addCleanup((root / "modules" / product / "live" / SYSTEM).unlink, missing_ok=True)

    def settings(self, game: GameFolder | None = None, product: str | None = None, **overrides) -> None:
        (game or self.game).write_settings(valid_settings(productid=product or self.product,
                                                          executable=self.game_executable, title=self.title,
                                                          **overrides))

    def start(self, game_args: list[str], env: dict | None = None, game: GameFolder | None = None,
              product: str | None = None) -> BackgroundRun:
        # Where the Exit button of a one-line error will be (see park_pointer).
        self.screen.park_pointer(*EXIT_BUTTON_ONE_LINE)
        run = BackgroundRun(game or self.game, game_args, {**self.common_env, **(env or {})},
                            settings_ids=(product or self.product, "live"))
        self.addCleanup(lambda: run.running() and run.kill())
        return run

    def expect_exit(self, run, code):
        expected = code if self.wine else linux_status(code)
        self.assertEqual(run.exit_code, expected, run.log)

    def shot_path(self, name: str) -> Path:
        return Path(tempfile.gettempdir()) / f"qvl-e2e-{self.platform.name}-{self.id().split('.')[-1]}-{name}.png"

    def wait_for_screen(self, window: Window, shows, name: str, timeout: float = 20, settled: bool = False):
        wait = self.screen.wait_until_settled if settled else self.screen.wait_for
        shot = wait(window, shows, timeout)
        if shot is None:
            path = self.shot_path(name)
            self.screen.screenshot().save_png(path)
            self.fail(f"the screen never showed {name}; last screenshot: {path}")
        return shot

    def wait_for_window(self, run: BackgroundRun, title: str | None = None) -> Window:
        window = self.screen.wait_for_window(title or self.title, self.window_timeout, run.running)
        self.assertIsNotNone(window, "the bootstrapper's window never appeared: " + run.describe())
        return window

    def click_exit(self, run: BackgroundRun, window: Window, shot):
        """Clicks Exit on the error screen; the run's end."""
        rows = window.exit_button_rows(shot)
        self.assertIsNotNone(rows, "no Exit button on the error screen")
        x, y = EXIT_BUTTON_ONE_LINE
        self.assertTrue(rows[0] < y < rows[1], f"the Exit button is at rows {rows}, not under the pointer")
        self.screen.click(window, x, y)
        deadline = time.monotonic() + 15
        while run.running() and time.monotonic() < deadline:
            time.sleep(0.2)
        if run.running():
            path = self.shot_path("after-click")
            self.screen.screenshot().save_png(path)
            self.fail(f"the click on Exit did not end the run; screen: {path}; pointer: "
                      f"{self.screen.pointer()}\n{run.log()}")
        return run.finish()

    def finish(self, run: BackgroundRun, module_log: Path):
        """The run's end; when it does not come, what the screen and the
        module showed."""
        try:
            return run.finish()
        except AssertionError as error:
            path = self.shot_path("not-ended")
            self.screen.screenshot().save_png(path)
            calls = module_log.read_text() if module_log.exists() else "(none)"
            raise AssertionError(f"{error}\nscreen: {path}\nmodule calls:\n{calls}") from None

    def analytics_since(self, offset: int, product: str) -> list[dict]:
        """The events the collector received for `product` since `offset`."""
        path = Path(os.environ["QVL_E2E_COLLECTOR_RECORDS"])
        if not path.exists():
            return []
        with path.open("rb") as records:
            records.seek(offset)
            lines = records.read().decode("utf-8").splitlines()
        events = []
        for record in (json.loads(line) for line in lines if line):
            if product in record["body"]:
                events.extend(json.loads(record["body"])["Events"])
        return events

    def collector_offset(self) -> int:
        path = Path(os.environ["QVL_E2E_COLLECTOR_RECORDS"])
        return path.stat().st_size if path.exists() else 0

    # --- rows --------------------------------------------------------------

    def test_a_fresh_download_waits_for_the_game_window(self):
        self.publish_module(self.product)
        self.settings()
        offset = self.collector_offset()
        # The module holds the launch a moment, so the splash can be seen
        # while the bootstrapper downloads and initializes.
        module_log = Path(tempfile.mkdtemp(prefix="qvl-e2e-module-")) / "module.log"
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", str(module_log.parent)]))
        run = self.start(["--window-after-ms", "2000", "--exit-after-ms", "8000"],
                         {MODULE_MODE: "delay=2500", "QVL_SAMPLE_MODULE_LOG": str(module_log)})
        window = self.wait_for_window(run)
        self.wait_for_screen(window, lambda w, shot: w.shows_splash(shot) and w.shows_full_bar(shot), "the splash")
        self.assertNotIn("Launcher finished with:", run.log(), "the splash must be seen during the launch")

        finished = self.finish(run, module_log)
        self.expect_exit(finished, 0)
        self.assertTrue(finished.logged("Current progress: "), finished.log)
        self.assertTrue(finished.logged(SUCCESS_LINE), finished.log)
        events = self.analytics_since(offset, self.product)
        self.assertEqual([e["LaunchResult"] for e in events if e["EventName"] == RESULT_EVENT], [301], events)
        waits = [e["WaitDurationMs"] for e in events if e["EventName"] == WINDOW_EVENT]
        if self.wine:
            # Left at the first poll: no window was seen, no time measured.
            self.assertFalse(finished.logged(WINDOW_SEEN_LINE), finished.log)
            self.assertEqual(waits, [])
            return
        self.assertTrue(finished.logged(WINDOW_SEEN_LINE), finished.log)
        self.assertEqual(len(waits), 1, events)
        # The game opens its window 2 s after it started; the watch begins a
        # little later (once the module reported the start), so the wait is
        # about, not at least, 2000 ms.
        self.assertGreaterEqual(waits[0], 1500)
        self.assertLess(waits[0], 10000)
        self.assertTrue(finished.logged(f"Time spent waiting for the game window to become visible: {waits[0]} ms."),
                        finished.log)

    def test_a_module_that_fails_to_initialize(self):
        self.publish_module(self.product)
        self.settings()
        offset = self.collector_offset()
        run = self.start(["--no-window"], {**UNATTENDED, MODULE_MODE: "init=7"})
        if self.wine:
            # The result of a host library is not examined: the launch is
            # given up once the module has said nothing for 120 s, so the
            # player is not left on "INITIALIZING" for good.
            self.assertTrue(run.wait_for_log(LOADER_STARTED_LINE, 60), run.describe())
            time.sleep(5)
            self.assertTrue(run.running(), "given up before its time: " + run.log())
        finished = run.finish(timeout=240)
        self.expect_exit(finished, 206)
        self.assertTrue(finished.logged("Launcher finished with: 206, 'Module initialization failed with 7'."),
                        finished.log)
        self.assertEqual(finished.logged("No launch result from the module 120000 ms after its initialize returned 7."),
                         self.wine, finished.log)
        self.assertFalse(finished.logged("Game process started"), finished.log)
        events = self.analytics_since(offset, self.product)
        self.assertEqual([e["LaunchResult"] for e in events if e["EventName"] == RESULT_EVENT], [206], events)

    def test_a_game_that_cannot_be_started_stays_a_failure(self):
        """The module asks for the game, the start fails (502, so 208), and
        the module reports the game as started all the same: the player sees
        the failure and the run ends with it."""
        self.publish_module(self.product)
        self.settings()
        offset = self.collector_offset()
        game_file = self.game.root / self.game_executable
        if self.wine:
            # Wine starts a program without looking at its execute bit: the
            # file goes away while the module holds the launch instead.
            mode = "start=launcher,delay=4000"
        else:
            # A valid program the player's account may not execute.
            game_file.chmod(0o644)
            mode = "start=launcher"
        run = self.start(["--no-window"], {MODULE_MODE: mode})
        if self.wine:
            self.assertTrue(run.wait_for_log(LOADER_STARTED_LINE, 60), run.describe())
            game_file.unlink()
        window = self.wait_for_window(run)
        shot = self.wait_for_screen(
            window, lambda w, s: w.shows_error_overlay(s) and w.exit_button_rows(s) is not None, "the error screen",
            settled=True)
        self.assertTrue(run.wait_for_log("Ignoring a success reported after the launch had failed with 208.", 20),
                        run.log())
        time.sleep(1)
        shot = self.wait_for_screen(window, lambda w, s: w.shows_error_overlay(s), "the error screen, still")
        self.assertTrue(run.running(), "the error screen stays until the player leaves it")
        finished = self.click_exit(run, window, shot)
        self.expect_exit(finished, 208)
        self.assertRegex(finished.log, r"Launcher finished with: 208, 'Failed to create the game process: ")
        self.assertNotIn(SUCCESS_LINE, finished.log)
        self.assertTrue(finished.logged("The module reported the game as started after the launch had failed."),
                        finished.log)
        events = self.analytics_since(offset, self.product)
        self.assertEqual([e["LaunchResult"] for e in events if e["EventName"] == RESULT_EVENT], [208], events)
        # The game never ran: its module is not kept for the next launch.
        cache = self.game.cache_root() / self.product / "live"
        self.assertFalse((cache / "quarvel_linux_x64.qvl").exists())

    def test_an_unclassified_failure_is_no_success(self):
        self.publish_module(self.product)
        self.settings()
        offset = self.collector_offset()
        # 1001 means nothing to the bootstrapper: the launch fails with result 0.
        finished = self.start(["--no-window"], {**UNATTENDED, MODULE_MODE: "codes=1001"}).finish()
        self.expect_exit(finished, 60102)
        self.assertTrue(finished.logged("Launcher finished with: 0, 'Sample module: scripted report.'."), finished.log)
        self.assertTrue(finished.logged("Terminating with: 60102."), finished.log)
        events = self.analytics_since(offset, self.product)
        self.assertEqual([e["LaunchResult"] for e in events if e["EventName"] == RESULT_EVENT], [0], events)

    def test_a_finished_bootstrapper_leaves_a_newer_holders_lock_alone(self):
        self.publish_module(self.product)
        self.settings(wait_for_game_process_exit="true")
        # It releases the lock once the game started, then waits for the game.
        first = self.start(["--no-window", "--exit-after-ms", "8000"], UNATTENDED)
        self.assertTrue(first.wait_for_log(UNLOCK_LINE, 60), first.describe())
        # Natively the lock lives in this test's runtime directory.
        lock_env = {"XDG_RUNTIME_DIR": self.common_env["XDG_RUNTIME_DIR"]}
        holder = LaunchLockHolder(self.platform, Path(tempfile.mkdtemp(prefix="qvl-e2e-lock-")), lock_env)
        try:
            self.assertTrue(holder.holding, "the lock was not free after the first launch finished")
            # The first ends now, giving back (again) what it gave back already.
            self.expect_exit(first.finish(), 0)
            self.assertFalse(launch_lock_is_free(self.platform, lock_env),
                             "the ended bootstrapper freed the newer holder's lock")
        finally:
            holder.release()
            subprocess.run(["rm", "-rf", str(holder.release_file.parent)])
        self.assertTrue(launch_lock_is_free(self.platform, lock_env))

    def test_pictures_too_large_to_decode_are_refused_from_their_headers(self):
        """A custom splash (whatever its format under the .png name) and, on
        Linux, the window icon claiming more than 4096 x 4096 pixels are
        refused before decoding; the launch goes on with the built-in ones."""
        gif = b"GIF89a" + (5000).to_bytes(2, "little") + (5000).to_bytes(2, "little") + bytes(20)
        (self.game.root / "Quarvel" / "splash.png").write_bytes(gif)
        icon = bytes([0, 0, 1, 0, 1, 0]) + bytes([0, 0, 0, 0, 1, 0, 32, 0]) + (40).to_bytes(4, "little") + \
            (22).to_bytes(4, "little") + b"\x89PNG\r\n\x1a\n" + bytes([0, 0, 0, 13]) + b"IHDR" + \
            (9000).to_bytes(4, "big") + (9000).to_bytes(4, "big") + bytes(8)
        (self.game.root / "Quarvel" / "BootstrapperIcon.ico").write_bytes(icon)
        self.game.write_settings(valid_settings(productid=self.product, executable="missing.exe", title=self.title,
                                                requested_splash="Quarvel/splash.png"))
        finished = self.start([], {IMMEDIATE_EXIT: "1"}).finish()
        self.expect_exit(finished, 207)
        self.assertIn("of 5000x5000 pixels exceeds the maximum allowed picture size of 4096x4096.", finished.log)
        self.assertTrue(finished.logged("will fall back to using the embedded one instead."), finished.log)
        if not self.wine:
            self.assertIn("BootstrapperIcon.ico' of 9000x9000 pixels exceeds the maximum allowed picture size",
                          finished.log)
            self.assertFalse(finished.logged("Will use the custom icon loaded off the disk."), finished.log)

    def test_bad_settings_and_a_missing_game_show_their_message(self):
        cases = {
            # name: (settings, message on the error screen; None: the one logged)
            "missing file": (None, "Settings.json not found"),
            "empty file": ("", "Settings.json not found"),
            "missing field": (dict(sandboxid=None), "Settings.json is missing a required field (sandboxid)"),
            "invalid identifier": (dict(productid="bad_id"),
                                   "Settings.json contains an invalid Tavik identifier: (productid)"),
            "missing game": (dict(executable="missing.exe"), None),
        }
        for name, (settings, message) in cases.items():
            with self.subTest(name):
                game = self.new_game_folder()
                if isinstance(settings, dict):
                    values = {**valid_settings(productid=self.product, title=DEFAULT_TITLE), **settings}
                    game.write_settings({k: v for k, v in values.items() if v is not None})
                elif settings is not None:
                    game.write_settings(settings)
                run = self.start([], game=game)
                window = self.wait_for_window(run, DEFAULT_TITLE)
                shot = self.wait_for_screen(
                    window, lambda w, s: w.shows_error_overlay(s) and w.exit_button_rows(s) is not None,
                    "the error screen", settled=True)
                if message is None:
                    logged = re.search(r"Launcher finished with: 207, '(.*)'\.", run.log())
                    self.assertIsNotNone(logged, run.log())
                    message = logged.group(1)
                    self.assertIn("Invalid game executable path: ", message)
                # The message stands centred 45 pixels above the Exit button.
                button_top = window.exit_button_rows(shot)[0]
                ink = window.ink_columns(shot, button_top - 45 - 24, button_top - 45)
                self.assertIsNotNone(ink, "no message on the error screen")
                self.assertAlmostEqual(ink[1] - ink[0] + 1, text_ink_width(message, "Regular", 14), delta=6,
                                       msg=f"the message shown is not '{message}'")
                self.assertTrue(run.running(), "the error screen stays until the player leaves it")
                finished = self.click_exit(run, window, shot)
                self.expect_exit(finished, 207)
                if settings is None or settings == "" or "executable" not in settings:
                    # Nothing was fetched: no log file, no module cache.
                    self.assertEqual(finished.log, "")
                    self.assertFalse((game.cache_root() / self.product).exists())
                else:
                    self.assertFalse(finished.logged("Current progress: "), finished.log)

    def test_waiting_for_the_game_returns_its_exit_code(self):
        self.publish_module(self.product)
        self.settings(wait_for_game_process_exit="true")
        run = self.start(["--window-after-ms", "1000", "--exit-after-ms", "5000", "--exit-code", "3"])
        self.wait_for_window(run)
        self.assertTrue(run.wait_for_log("Waiting for game process to exit, will return exit code upon termination.",
                                         60), run.log())
        # The bootstrapper has left the screen while it waits for the game.
        self.assertTrue(run.running(), run.log())
        self.assertEqual(self.screen.visible_windows(self.title), [])
        finished = run.finish()
        self.expect_exit(finished, 3)
        self.assertTrue(finished.logged(SUCCESS_LINE), finished.log)
        self.assertEqual(finished.logged(WINDOW_SEEN_LINE), not self.wine, finished.log)

    def test_a_game_that_dies_before_its_window_ends_the_watch(self):
        if self.wine:
            self.skipTest("under Wine the bootstrapper leaves at the first poll without looking at the game")
        self.publish_module(self.product)
        self.settings()
        offset = self.collector_offset()
        finished = self.start(["--no-window", "--exit-after-ms", "300", "--exit-code", "1"]).finish()
        self.expect_exit(finished, 0)
        self.assertRegex(finished.log, r"Fatal error, game process handle: \S+, exit code: 1\.")
        self.assertFalse(finished.logged(WINDOW_SEEN_LINE), finished.log)
        events = self.analytics_since(offset, self.product)
        self.assertEqual([e["LaunchResult"] for e in events if e["EventName"] == RESULT_EVENT], [301], events)
        self.assertEqual([e for e in events if e["EventName"] == WINDOW_EVENT], [])

    def test_a_game_that_never_names_its_process_is_seen_when_it_shows(self):
        """Many X programs (a bare Xlib or Xt window) never set _NET_WM_PID;
        the watch still knows the game's window the moment it is shown."""
        if self.wine:
            self.skipTest("under Wine the bootstrapper leaves at the first poll without looking at the game")
        self.publish_module(self.product)
        self.settings()
        offset = self.collector_offset()
        finished = self.start(["--no-wm-pid", "--window-after-ms", "2000", "--exit-after-ms", "8000"]).finish()
        self.expect_exit(finished, 0)
        self.assertTrue(finished.logged(WINDOW_SEEN_LINE), finished.log)
        self.assertFalse(finished.logged("Exit defer time crossed"), finished.log)
        events = self.analytics_since(offset, self.product)
        waits = [e["WaitDurationMs"] for e in events if e["EventName"] == WINDOW_EVENT]
        self.assertEqual(len(waits), 1, events)
        print(f"window seen after {waits[0]} ms (the game shows it 2000 ms after it started)")
        self.assertGreaterEqual(waits[0], 1500)
        self.assertLess(waits[0], 10000)

    def test_a_second_bootstrapper_waits_for_the_first_to_release_the_lock(self):
        self.publish_module(self.product)
        self.settings()
        # The first is held inside the module's initialization, then waits
        # for the game's window a while after it has released the lock.
        delay = "9000" if self.wine else "5000"
        first = self.start(["--window-after-ms", "4000", "--exit-after-ms", "8000"], {MODULE_MODE: f"delay={delay}"})
        self.assertTrue(first.wait_for_log(LOADER_STARTED_LINE, 60), first.describe())
        window = self.wait_for_window(first)
        self.wait_for_screen(window, lambda w, shot: w.shows_splash(shot), "the splash")

        second = self.new_game_folder()
        second.write_settings(valid_settings(executable="missing.exe"))
        refused = self.start([], UNATTENDED, game=second, product="qvl-e2e-product").finish()
        self.assertNotIn(UNLOCK_LINE, first.log(), "the first must still be launching")
        self.expect_exit(refused, 60097)
        self.assertEqual(refused.log, "")

        self.assertTrue(first.wait_for_log(UNLOCK_LINE, 60), first.describe())
        proceeded = self.start([], UNATTENDED, game=second, product="qvl-e2e-product").finish()
        self.expect_exit(proceeded, 207)
        self.assertTrue(proceeded.logged("Launcher finished with: 207, "), proceeded.log)
        if not self.wine:
            self.assertTrue(first.running() and self.screen.visible_windows(self.title),
                            "the first still shows its window while the next one launches")
        self.expect_exit(first.finish(), 0)

    def test_headless_runs_show_no_window(self):
        self.publish_module(self.product)
        self.settings()
        cases = {
            "success": ("delay=2500", 0, SUCCESS_LINE),
            "failure": ("delay=2500,error", 210, "Launcher finished with: 210, "),
        }
        empty = self.screen.screenshot()
        centre = Window((empty.width - 800) // 2, (empty.height - 450) // 2)
        for name, (mode, code, line) in cases.items():
            with self.subTest(name):
                run = self.start(["--no-window", "--exit-after-ms", "500"], {**UNATTENDED, MODULE_MODE: mode})
                self.assertTrue(run.wait_for_log(LOADER_STARTED_LINE, 60), run.describe())
                # No window of the bootstrapper's size comes up, and nothing
                # of the splash is where its window would stand.
                for _ in range(3):
                    shot = self.screen.screenshot()
                    self.assertEqual(self.screen.visible_windows(None), [])
                    self.assertFalse(centre.shows_splash(shot))
                    time.sleep(0.5)
                finished = run.finish()
                self.expect_exit(finished, code)
                self.assertTrue(finished.logged(line), finished.log)

    def test_exit_on_the_error_screen_returns_the_launch_result(self):
        self.publish_module(self.product)
        self.settings()
        run = self.start(["--no-window", "--exit-after-ms", "500"], {MODULE_MODE: "error"})
        window = self.wait_for_window(run)
        shot = self.wait_for_screen(
            window, lambda w, s: w.shows_error_overlay(s) and w.exit_button_rows(s) is not None, "the error screen",
            settled=True)
        self.assertTrue(run.wait_for_log("Launcher finished with: 210, ", 10), run.log())
        time.sleep(1)
        self.assertTrue(run.running(), "the error screen stays until the player leaves it")
        finished = self.click_exit(run, window, shot)
        self.expect_exit(finished, 210)
        self.assertTrue(finished.logged("Exit button pressed by the user, setting exit flag."), finished.log)


if __name__ == "__main__":
    unittest.main()
