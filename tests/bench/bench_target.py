"""Where a build runs for the benchmarks: its test services, a display (a
private Xvfb, or a private Wine session with its own), a game folder with the
bootstrapper in place of the game, and the modules published on its CDN.
Also the one way measurements are taken: launch_probe, from outside."""

import os
import random
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
LARGE_MODULE_BYTES = 64 * 1024 * 1024
WINDOW_TITLE = "Quarvel bench"
GAME_TITLE = "Quarvel bench game"
SYSTEM = "linux64"  # both builds take the Linux module (under Wine through the host's dlopen)
IDLE_SECONDS = 13
# The signature trailer a native module ends with (tests/tools/sign_module.sh).
SIGNATURE_MAGIC = b"QVLMSIG1"
SIGNATURE_BYTES = 80


def log(text: str) -> None:
    print(text, file=sys.stderr, flush=True)


def cache_value(build: Path, name: str) -> str:
    for line in (build / "CMakeCache.txt").read_text().splitlines():
        if line.startswith(name + ":"):
            return line.split("=", 1)[1]
    raise RuntimeError(f"{name} is not in {build}/CMakeCache.txt")


def probe(tool: Path, command: list, env: dict, **options) -> dict:
    """Runs launch_probe and returns its key=value lines."""
    args = [str(tool)]
    for name, value in options.items():
        args += ["--" + name.replace("_", "-"), str(value)]
    completed = subprocess.run(args + ["--", *map(str, command)], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=300)
    if completed.returncode != 0:
        raise RuntimeError(f"{' '.join(args)} failed: {completed.stderr.decode(errors='replace')}")
    values = {}
    for line in completed.stdout.decode().splitlines():
        key, _, value = line.partition("=")
        values[key] = value
    return values


@dataclass
class Target:
    """One build and the place it runs in: a game folder, a display, services."""

    name: str  # "native" or "wine"
    build: Path
    work: Path
    tools: Path  # the Linux build's bin directory
    env: dict = field(default_factory=dict)
    cleanups: list = field(default_factory=list)

    @property
    def bin(self) -> Path:
        return self.build / "bin"

    @property
    def wine(self) -> bool:
        return self.name == "wine"

    def exe(self, stem: str) -> str:
        return stem + ".exe" if self.wine else stem

    def start(self) -> None:
        shutil.rmtree(self.work, ignore_errors=True)
        (self.work / "reports").mkdir(parents=True)
        (self.work / "runtime").mkdir(mode=0o700)
        self.env = dict(os.environ)
        self.env.setdefault("USER", "root")
        # A launch lock and a data folder of our own: other bootstrappers on
        # this machine neither block nor share our cache.
        self.env["XDG_RUNTIME_DIR"] = str(self.work / "runtime")
        self.env["XDG_DATA_HOME"] = str(self.work / "userdata")
        self.start_services()
        if self.wine:
            self.start_wine()
        else:
            self.start_xvfb()
        self.lay_out_game()
        self.publish_modules()

    def stop(self) -> None:
        for cleanup in reversed(self.cleanups):
            try:
                cleanup()
            except Exception as error:  # a failed cleanup must not hide the figures
                log(f"cleanup failed: {error}")

    def start_services(self) -> None:
        port = cache_value(self.build, "QVL_TEST_SERVICES_PORT")
        self.port = int(port)
        self.services = self.work / "services"
        self.pki = self.build / "test-pki"
        script = REPO / "tests" / "services" / "services.sh"
        subprocess.run([str(script), "start", str(self.services), port, str(self.pki), sys.executable],
                       stdout=subprocess.DEVNULL, check=True, timeout=120)
        self.cleanups.append(lambda: subprocess.run([str(script), "stop", str(self.services)],
                                                    stdout=subprocess.DEVNULL, timeout=120))

    def start_xvfb(self) -> None:
        read, write = os.pipe()
        # -noreset: a player's display always has clients (a desktop, a window
        # manager). A bare Xvfb resets when its last client leaves, and the
        # next client to connect within ~50 ms waits about 20 ms for the reset
        # (xkbcomp compiling the keymap again): a cost no player's start pays.
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1920x1080x24", "-nolisten",
                                 "tcp", "-noreset"], pass_fds=[write], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.close(write)
        number = os.read(read, 16).decode().strip()
        self.env["DISPLAY"] = ":" + number
        # The pipe stays open while Xvfb runs: a write to a closed one kills it.
        self.cleanups.append(lambda: (xvfb.terminate(), xvfb.wait(timeout=30), os.close(read)))

    def start_wine(self) -> None:
        self.env["QVL_WINE_SESSION_ID"] = "bench"
        self.env["QVL_XVFB_NORESET"] = "1"  # as start_xvfb's -noreset, for the same reason
        sessions = self.work / "wine"
        script = REPO / "scripts" / "wine-session.sh"
        subprocess.run([str(script), "start", str(sessions)], env=self.env, stdout=subprocess.DEVNULL, check=True,
                       timeout=600)
        for line in (sessions / "bench" / "session.env").read_text().splitlines():
            name, _, value = line.removeprefix("export ").partition("=")
            self.env[name] = value.strip("'")
        self.runner = [str(REPO / "scripts" / "wine-run.sh"), str(sessions)]
        self.cleanups.append(lambda: subprocess.run([str(script), "stop", str(sessions)], env=self.env,
                                                    stdout=subprocess.DEVNULL, timeout=300))
        # One wineserver for the whole run, so its processor time can be read.
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60)
        self.cleanups.append(lambda: subprocess.run(["wineserver", "-k"], env=self.env, timeout=60))

    def wineserver_pid(self) -> int:
        wanted = f"WINEPREFIX={self.env['WINEPREFIX']}".encode()
        for entry in Path("/proc").iterdir():
            try:
                if not (entry / "comm").read_text().startswith("wineserver"):
                    continue
                if wanted in (entry / "environ").read_bytes().split(b"\0"):
                    return int(entry.name)
            except (OSError, ValueError):
                continue
        raise RuntimeError("no wineserver for the bench prefix")

    def command(self, program: Path, args: list) -> list:
        return [*self.runner, str(program), *args] if self.wine else [str(program), *args]

    def lay_out_game(self) -> None:
        self.game = self.work / "game"
        (self.game / "Quarvel").mkdir(parents=True)
        bootstrapper = self.exe("QuarvelBootstrapper") if self.wine else "quarvel-bootstrapper"
        self.bootstrapper = self.game / bootstrapper
        self.deploy(self.bin / bootstrapper, self.bootstrapper)
        self.game_exe = self.exe("qvl_sample_game" if self.wine else "qvl-sample-game")
        self.deploy(self.bin / self.game_exe, self.game / self.game_exe)
        shutil.copytree(self.bin / "Quarvel", self.game / "Quarvel", dirs_exist_ok=True)
        for product in ("small", "large"):
            (self.game / "Quarvel" / f"{product}.json").write_text(
                '{"productid": "qvl-bench-%s", "sandboxid": "bench", "deploymentid": "live", '
                '"executable": "%s", "title": "%s"}' % (product, self.game_exe, WINDOW_TITLE))

    def deploy(self, program: Path, target: Path) -> None:
        """Copies a program stripped, as a release ships it. It matters under
        Wine: a mingw-w64 program's debug information lies in sections that
        are part of its image, and Wine reads all of it (about 25 MB for the
        bootstrapper) into memory at every start."""
        objcopy = "x86_64-w64-mingw32-objcopy" if self.wine else "objcopy"
        subprocess.run([objcopy, "--strip-all", str(program), str(target)], check=True, timeout=120)

    def publish_modules(self) -> None:
        module = self.tools / "libqvl_sample_module.so"
        small = self.work / "small-module.so"
        large = self.work / "large-module.so"
        # The sample module without its signature, then as much noise as
        # makes 64 MiB: the loader maps the segments the headers name and
        # never reads the tail. Each copy is signed with this build's key.
        data = module.read_bytes()
        if data.endswith(SIGNATURE_MAGIC):
            data = data[:-SIGNATURE_BYTES]
        small.write_bytes(data)
        with open(large, "wb") as target:
            target.write(data)
            target.write(random.randbytes(LARGE_MODULE_BYTES - len(data) - SIGNATURE_BYTES))
        key = self.build / "test-module-keys" / "signing.pem"
        for path in (small, large):
            if key.exists():
                subprocess.run([str(REPO / "tests" / "tools" / "sign_module.sh"), "openssl", str(key), str(path)],
                               check=True, timeout=120)
        for product, path in (("small", small), ("large", large)):
            subprocess.run([str(self.tools / "qvl-cdn"), "publish", str(path), "--product", f"qvl-bench-{product}",
                            "--deployment", "live", "--system", SYSTEM, "--root", str(self.services / "cdn-root")],
                           stdout=subprocess.DEVNULL, check=True, timeout=120)
        self.large_bytes = large.stat().st_size

    def module_url(self, product: str) -> str:
        return f"https://localhost:{self.port}/modules/qvl-bench-{product}/live/{SYSTEM}"

    def data_root(self) -> Path:
        if self.wine:
            return (Path(self.env["WINEPREFIX"]) / "drive_c" / "users" / self.env["USER"] / "AppData" / "Roaming" /
                    "Quarvel")
        return self.work / "userdata" / "Quarvel"

    def run_log(self, product: str) -> str:
        path = self.data_root() / f"qvl-bench-{product}" / "live" / "anticheatlauncher.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def forget_cache(self, product: str) -> None:
        shutil.rmtree(self.data_root() / f"qvl-bench-{product}", ignore_errors=True)

    def game_args(self, report: Path, show_window: bool = True) -> list:
        args = ["--report", str(report), "--title", GAME_TITLE]
        if show_window:
            return args + ["--exit-after-ms", "300"]
        return args + ["--window-after-ms", "86400000", "--exit-after-ms", str(IDLE_SECONDS * 1000)]

    def report_path(self, label: str) -> Path:
        path = self.work / "reports" / f"{label}-{time.monotonic_ns()}.txt"
        path.unlink(missing_ok=True)
        return path

    def bootstrapper_command(self, product: str, game_args: list) -> list:
        return self.command(self.bootstrapper, [f"-anticheat_settings={product}.json", *game_args])

    def tracked(self) -> dict:
        # Under Wine the bootstrapper is a descendant of the runner script.
        return {"track": "QuarvelBootstra"} if self.wine else {}
