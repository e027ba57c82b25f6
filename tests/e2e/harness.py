"""Runs the real bootstrapper the way a player's machine would: a game folder
with the executable, its Quarvel folder and a settings file, started as a
process of its own (under Wine for the Windows build)."""

import json
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.request
from dataclasses import dataclass, field
from pathlib import Path

HEADLESS = "TAVIK_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE"
IMMEDIATE_EXIT = "TAVIK_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR"


@dataclass
class Run:
    exit_code: int
    log: str  # the run's log file, empty when none was written

    def logged(self, text: str) -> bool:
        return text in self.log


@dataclass
class Platform:
    """Where the binaries are and how to start them."""

    name: str  # "linux" or "windows"
    bin_dir: Path
    session_dir: Path | None = None  # the Wine session, for "windows"
    env: dict = field(default_factory=dict)

    @staticmethod
    def from_environment() -> "Platform":
        name = os.environ["QVL_E2E_PLATFORM"]
        bin_dir = Path(os.environ["QVL_E2E_BIN_DIR"])
        if name != "windows":
            return Platform(name, bin_dir)
        # CTest started this harness; the fixture's session is named after it.
        session_root = Path(os.environ["QVL_E2E_WINE_SESSION"])
        session_id = f"ctest-{os.getppid()}"
        return Platform(name, bin_dir, session_root, {"QVL_WINE_SESSION_ID": session_id})

    @property
    def bootstrapper_name(self) -> str:
        return "QuarvelBootstrapper.exe" if self.name == "windows" else "quarvel-bootstrapper"

    def executable(self, stem: str) -> str:
        return stem + ".exe" if self.name == "windows" else stem

    def command(self, program: Path, args: list[str], report_exit_code: bool = True) -> list[str]:
        if self.name != "windows":
            return [str(program), *args]
        runner = Path(__file__).resolve().parents[2] / "scripts" / "wine-run.sh"
        if not report_exit_code:
            return [str(runner), str(self.session_dir), str(program), *args]
        # A Linux parent only sees the low byte of a Windows exit code, so a
        # Windows tool starts the program and prints the whole code.
        reporter = self.bin_dir / "run_and_report.exe"
        return [str(runner), str(self.session_dir), str(reporter), windows_path(program), *args]

    def environment(self, extra: dict | None = None) -> dict:
        environment = dict(os.environ)
        environment.update(self.env)
        environment.update(extra or {})
        return environment

    def exit_code(self, completed: subprocess.CompletedProcess) -> int:
        if self.name != "windows":
            return completed.returncode
        for line in completed.stdout.decode(errors="replace").splitlines():
            if line.startswith("exit code: "):
                return int(line.split(": ", 1)[1])
        raise RuntimeError(f"the program did not run (Wine ended with {completed.returncode}): "
                           + completed.stdout.decode(errors="replace"))

    def never_started(self, completed: subprocess.CompletedProcess) -> bool:
        """Under Wine: the reporter printed nothing at all, so it never got
        as far as starting the program."""
        return self.name == "windows" and completed.returncode != 0 and not completed.stdout.strip()

    def wine_prefix(self) -> Path:
        session = self.session_dir / self.env["QVL_WINE_SESSION_ID"]
        for line in (session / "session.env").read_text().splitlines():
            if line.startswith("export WINEPREFIX="):
                return Path(line.split("=", 1)[1].strip("'"))
        raise RuntimeError("no WINEPREFIX in the Wine session")


class GameFolder:
    """A game installed with the bootstrapper in place of its executable."""

    def __init__(self, platform: Platform):
        self.platform = platform
        self.root = Path(tempfile.mkdtemp(prefix="qvl-e2e-"))
        self.data_home = self.root / "userdata"  # the player's data folder (Linux)
        self.data_home.mkdir()
        shutil.copy2(platform.bin_dir / platform.bootstrapper_name, self.root)
        shutil.copytree(platform.bin_dir / "Quarvel", self.root / "Quarvel")

    def close(self) -> None:
        shutil.rmtree(self.root, ignore_errors=True)

    def write_settings(self, settings: dict | str, name: str = "Settings.json") -> None:
        text = settings if isinstance(settings, str) else json.dumps(settings)
        (self.root / "Quarvel" / name).write_text(text, encoding="utf-8")

    def add_game(self, name: str, source: Path) -> None:
        shutil.copy2(source, self.root / name)

    def cache_root(self) -> Path:
        if self.platform.name == "windows":
            users = self.platform.wine_prefix() / "drive_c" / "users"
            return users / os.environ.get("USER", "root") / "AppData" / "Roaming" / "Quarvel"
        return self.data_home / "Quarvel"

    def run(self, args: list[str] | None = None, env: dict | None = None, timeout: float = 120,
            settings_ids: tuple[str, str] = ("qvl-e2e-product", "live")) -> Run:
        environment = self.platform.environment({"XDG_DATA_HOME": str(self.data_home), **(env or {})})
        log_file = self.cache_root() / settings_ids[0] / settings_ids[1] / "anticheatlauncher.log"
        if log_file.exists():
            log_file.unlink()
        program = self.root / self.platform.bootstrapper_name
        command = self.platform.command(program, args or [])
        completed = subprocess.run(command, env=environment, cwd=self.root, timeout=timeout,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if self.platform.never_started(completed) and not log_file.exists():
            # Wine now and then ends at once without running anything: no
            # output, no log. Nothing of the bootstrapper ran, so one more try
            # tests the same thing.
            print(f"Wine ended with {completed.returncode} before the program ran; trying once more",
                  file=sys.stderr)
            completed = subprocess.run(command, env=environment, cwd=self.root, timeout=timeout,
                                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        log = log_file.read_text(encoding="utf-8", errors="replace") if log_file.exists() else ""
        return Run(self.platform.exit_code(completed), log)


class LaunchLockHolder:
    """Holds the launch lock in a process of its own (launch_lock_probe) until
    released. A Windows semaphore has no owner: a killed holder would keep it
    taken for good, so it is always let go this way."""

    def __init__(self, platform: Platform, folder: Path, env: dict | None = None):
        self.platform = platform
        self.release_file = folder / "release-launch-lock"
        release = windows_path(self.release_file) if platform.name == "windows" else str(self.release_file)
        probe = platform.bin_dir / platform.executable("launch_lock_probe")
        self.process = subprocess.Popen(platform.command(probe, ["hold", "60000", release], report_exit_code=False),
                                        stdout=subprocess.PIPE,
                                        env=platform.environment({"QVL_WINE_RUN_STREAM": "1", **(env or {})}))
        self.holding = b"held" in self.process.stdout.readline()

    def release(self) -> None:
        self.release_file.touch()
        self.process.wait(timeout=60)
        self.process.stdout.close()


def launch_lock_is_free(platform: Platform, env: dict | None = None) -> bool:
    """Whether another process could take the launch lock now (the probe
    takes it and gives it back at once)."""
    probe = platform.bin_dir / platform.executable("launch_lock_probe")
    completed = subprocess.run(platform.command(probe, ["try"]), env=platform.environment(env), timeout=120,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return platform.exit_code(completed) == 0


def windows_path(path: Path) -> str:
    """The path as Wine's Z: drive (the Linux root) shows it."""
    return "Z:" + str(path).replace("/", "\\")


def linux_status(code: int) -> int:
    """What a Linux shell sees of an exit code: the kernel keeps the low byte."""
    return code & 0xFF


def valid_settings(**overrides) -> dict:
    settings = {
        "productid": "qvl-e2e-product",
        "sandboxid": "sandbox-1",
        "deploymentid": "live",
        "executable": "game.exe",
        "title": "End-to-end game",
    }
    settings.update(overrides)
    return settings


@dataclass
class ModuleCache:
    """The module cache of one product, deployment and architecture: the
    module as the CDN sent it and its ".metadata" file beside it."""

    path: Path

    @property
    def metadata_path(self) -> Path:
        return self.path.with_name(self.path.name + ".metadata")

    def exists(self) -> bool:
        return self.path.exists() or self.metadata_path.exists()

    def payload(self) -> bytes:
        return self.path.read_bytes()

    def metadata_text(self) -> bytes:
        return self.metadata_path.read_bytes()

    def metadata(self) -> dict:
        """The key=value lines of the metadata file."""
        lines = self.metadata_text().decode("ascii").split("\r\n")
        return dict(line.split("=", 1) for line in lines if line)

    def modified_ns(self) -> int:
        return self.path.stat().st_mtime_ns

    def set_age(self, seconds: float) -> None:
        """Makes the module file look written `seconds` ago."""
        written = time.time() - seconds
        os.utime(self.path, (written, written))


def module_cache(game: GameFolder, product: str, architecture: str, deployment: str = "live") -> ModuleCache:
    return ModuleCache(game.cache_root() / product / deployment / f"quarvel_{architecture}.qvl")


class LocalCdn:
    """The local module CDN (tests/services): its published tree and the
    faults a test can switch on for one module path."""

    def __init__(self):
        self.root = Path(os.environ["QVL_E2E_CDN_ROOT"])
        self.faults = self.root.parent / "cdn-faults"  # beside the tree, see services.sh
        self.host = os.environ["QVL_E2E_CDN_HOST"]
        self.gamedev_host = os.environ["QVL_E2E_GAMEDEV_CDN_HOST"]
        self.trusted_ca = os.environ["QVL_E2E_TRUSTED_CA"]

    def publish(self, platform: Platform, module: Path, product: str, system: str, deployment: str = "live") -> Path:
        """Publishes `module` with qvl-cdn, as a studio would; returns the published file."""
        tool = platform.bin_dir / platform.executable("qvl-cdn")
        paths = [module, self.root]
        if platform.name == "windows":
            paths = [windows_path(path) for path in paths]
        args = ["publish", str(paths[0]), "--product", product, "--deployment", deployment, "--system", system,
                "--root", str(paths[1])]
        completed = subprocess.run(platform.command(tool, args, report_exit_code=False), env=platform.environment(),
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        if completed.returncode != 0:
            raise RuntimeError("qvl-cdn publish failed: " + completed.stdout.decode(errors="replace"))
        return self.root / "modules" / product / deployment / system

    def switch_fault(self, kind: str, url_path: str) -> Path:
        """Makes the CDN fail for `url_path` ("/modules/..."): "down" closes the
        connection without an answer, "cut" stops the answer mid-body,
        "chunked" sends it whole without a declared length. Returns the marker; removing it ends the fault."""
        marker = self.faults / kind / url_path.lstrip("/")
        marker.parent.mkdir(parents=True, exist_ok=True)
        marker.touch()
        return marker

    def etag(self, url_path: str) -> str:
        """The ETag the CDN sends for `url_path`."""
        context = ssl.create_default_context(cafile=self.trusted_ca)
        request = urllib.request.Request(f"https://{self.host}{url_path}", method="HEAD")
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}),
                                             urllib.request.HTTPSHandler(context=context))
        with opener.open(request, timeout=30) as response:
            return response.headers["ETag"]
