#!/usr/bin/env python3
"""Checks the dist/ tree scripts/release.sh wrote, as a studio would use it:

    check_release.py DIST VERSION WORK_DIR [brand.json]

the layout and SHA256SUMS, the stripped executables and their debug files,
the Windows executable's version information, icon and manifest (with the
release's branding, given as JSON by release.sh), and the executables run:
with a broken settings file, headless, each ends with 207 (the Windows one in
a private Wine session), and qvl-cdn --version names the version. Writes
WORK_DIR/summary.txt; exits 1 on any problem."""

import json
import os
import subprocess
import sys
from pathlib import Path

import release_checks
from release_checks import Brand

REPOSITORY = release_checks.REPOSITORY
UNATTENDED = {"TAVIK_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE": "1",
              "TAVIK_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR": "1"}
BROKEN_SETTINGS = '{"productid": "my-game", "sandboxid": '


def run_broken(top: Path, bootstrapper: str, runner: list, work: Path) -> int:
    (top / "Quarvel" / "Settings.json").write_text(BROKEN_SETTINGS)
    environment = dict(os.environ, XDG_DATA_HOME=str(work / "userdata"), **UNATTENDED)
    return subprocess.run([*runner, str(top / bootstrapper)], env=environment, capture_output=True,
                          timeout=120).returncode


def main() -> int:
    dist, version, work = Path(sys.argv[1]), sys.argv[2], Path(sys.argv[3])
    brand = Brand.ours()
    if len(sys.argv) > 4:
        given = json.loads(Path(sys.argv[4]).read_text())
        brand = Brand(given["product"], given["company"], given["description"], given["filename"],
                      Path(given["icon"]))
    problems, summary = [], []
    problems += release_checks.sums_problems(dist)
    wine = work / "wine"
    session = {"QVL_WINE_SESSION_ID": "release"}
    for platform in ("win64", "linux64"):
        archive = dist / release_checks.package.archive_name(version, platform)
        problems += [f"{archive.name}: {p}" for p in release_checks.archive_problems(archive)]
        top = release_checks.extract(archive, work / platform)
        problems += [f"{archive.name}: {p}" for p in release_checks.layout_problems(top, platform)]
        names = release_checks.package.PLATFORMS[platform]
        for program in (top / names["bootstrapper"], top / "tools" / names["qvl_cdn"]):
            problems += release_checks.stripped_problems(program, dist / "symbols", platform)
        if platform == "linux64":
            problems += release_checks.shared_library_problems(top / names["bootstrapper"])
        if platform == "win64":
            exe = top / names["bootstrapper"]
            problems += [f"{exe.name}: {p}" for p in release_checks.resource_problems(exe, version, brand)]
            subprocess.run([REPOSITORY / "scripts" / "wine-session.sh", "start", wine],
                           env=dict(os.environ, **session), check=True, capture_output=True)
            runner = [str(REPOSITORY / "scripts" / "wine-run.sh"), str(wine)]
            os.environ.update(session)
        else:
            runner = []
        try:
            code = run_broken(top, names["bootstrapper"], runner, work)
            summary.append(f"{platform}: with a broken settings file, headless, it ended with {code}")
            if code != 207:
                problems.append(f"{platform}: a broken settings file ended with {code}, expected 207")
            answer = subprocess.run([*runner, str(top / "tools" / names["qvl_cdn"]), "--version"],
                                    capture_output=True, text=True, timeout=60).stdout.strip()
            summary.append(f"{platform}: qvl-cdn --version: {answer}")
            if answer != f"qvl-cdn {version}":
                problems.append(f"{platform}: qvl-cdn --version answered {answer!r}")
        finally:
            if runner:
                subprocess.run([REPOSITORY / "scripts" / "wine-session.sh", "stop", wine], capture_output=True)
        if platform == "win64":
            info = release_checks.pe_resources.describe(str(top / names["bootstrapper"]))
            strings = info["version"]["strings"] if info["version"] else {}
            summary.append("win64: " + ", ".join(f"{key} {value!r}" for key, value in sorted(strings.items())))
            summary.append(f"win64: icon sizes {info['icon_sizes']}, manifest {'present' if info['manifest'] else 'MISSING'}, "
                           f"PE time stamp {info['timestamp']}")
    summary += [f"PROBLEM: {problem}" for problem in problems]
    (work / "summary.txt").write_text("".join(line + "\n" for line in summary))
    print("\n".join(summary))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
