"""A bootstrapper run that the test watches while it goes on: its log file
is read as it grows (the bootstrapper writes it line by line), and the run
is waited for, or ended, when the test says so."""

import os
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from harness import GameFolder, Run, windows_path


class BackgroundRun:
    def __init__(self, game: GameFolder, args: list[str] | None = None, env: dict | None = None,
                 settings_ids: tuple[str, str] = ("qvl-e2e-product", "live")):
        self.platform = game.platform
        environment = self.platform.environment({"XDG_DATA_HOME": str(game.data_home), **(env or {})})
        self.log_file = game.cache_root() / settings_ids[0] / settings_ids[1] / "anticheatlauncher.log"
        if self.log_file.exists():
            self.log_file.unlink()
        # Output goes to a file: a game started by the bootstrapper inherits
        # it and may outlive the bootstrapper.
        self.output = tempfile.TemporaryFile()
        self.program = game.root / self.platform.bootstrapper_name
        self.process = subprocess.Popen(self.platform.command(self.program, args or []), env=environment, cwd=game.root,
                                        stdout=self.output, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def log(self) -> str:
        return self.log_file.read_text(encoding="utf-8", errors="replace") if self.log_file.exists() else ""

    def running(self) -> bool:
        return self.process.poll() is None

    def wait_for_log(self, text: str, timeout: float) -> bool:
        """True once the log holds `text`; false when the run ended or the
        time ran out first."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            ended = not self.running()
            if text in self.log():
                return True
            if ended:
                return False
            time.sleep(0.1)
        return False

    def describe(self) -> str:
        """What the run has shown so far, for a failure message."""
        self.output.seek(0)
        state = "running" if self.running() else f"ended with {self.process.returncode}"
        return f"{state}; output: {self.output.read().decode(errors='replace')}\nlog:\n{self.log()}"

    def finish(self, timeout: float = 120) -> Run:
        try:
            returncode = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            state = self.describe()
            self.kill()
            raise AssertionError(f"the run did not end within {timeout} s: {state}") from None
        self.output.seek(0)
        completed = subprocess.CompletedProcess(self.process.args, returncode, self.output.read())
        self.output.close()
        return Run(self.platform.exit_code(completed), self.log())

    def kill(self) -> None:
        """Ends the bootstrapper of this run by its process id: the process
        whose program is this game folder's bootstrapper. Under Wine that is
        not a child of the process started here, and its program shows as
        the Windows path."""
        names = {str(self.program), windows_path(self.program)}
        for pid in all_processes():
            if program_of(pid) in names:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.output.close()


def all_processes() -> list[int]:
    return [int(entry.name) for entry in Path("/proc").iterdir() if entry.name.isdigit()]


def program_of(pid: int) -> str:
    """The first word of a process's command line."""
    try:
        return (Path("/proc") / str(pid) / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
    except OSError:
        return ""
