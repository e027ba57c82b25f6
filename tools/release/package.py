#!/usr/bin/env python3
"""Packs one platform's build into the archive a studio downloads.

    package.py archive --platform win64|linux64 --bin DIR --version V --out DIST
    package.py sums DIST

`archive` writes DIST/quarvel-bootstrapper-V-PLATFORM.zip (win64) or .tar.gz
(linux64) with one top folder of that name:

    QuarvelBootstrapper.exe | quarvel-bootstrapper   stripped
    Quarvel/Localization/*.cfg, Quarvel/Settings.json (an example)
    sdk/include/quarvel/module_interface.h
    tools/qvl-cdn[.exe]                                stripped
    docs/*.md, docs/*.conf

and the debug information of both executables as DIST/symbols/<name>.debug
(each stripped executable names its file in a .gnu_debuglink section).
`sums` writes DIST/SHA256SUMS over every other file in DIST (sha256sum -c
reads it).

The archives are the same bytes for the same input: entries sorted, times
fixed at SOURCE_DATE_EPOCH (else 2000-01-01), owner root, modes 0755 for
programs and folders and 0644 for the rest.
"""

import argparse
import gzip
import hashlib
import io
import os
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
DEFAULT_EPOCH = 946684800  # 2000-01-01: zip cannot hold times before 1980

PLATFORMS = {
    "win64": {"bootstrapper": "QuarvelBootstrapper.exe", "qvl_cdn": "qvl-cdn.exe",
              "objcopy": "x86_64-w64-mingw32-objcopy", "archive": "zip"},
    "linux64": {"bootstrapper": "quarvel-bootstrapper", "qvl_cdn": "qvl-cdn",
                "objcopy": "objcopy", "archive": "tar.gz"},
}


def archive_name(version: str, platform: str) -> str:
    return f"quarvel-bootstrapper-{version}-{platform}.{PLATFORMS[platform]['archive']}"


def epoch() -> int:
    return int(os.environ.get("SOURCE_DATE_EPOCH", DEFAULT_EPOCH))


def strip(objcopy: str, program: Path, stripped: Path, symbols: Path) -> None:
    """The program without debug information and symbols, and the debug
    information beside it for crash reports."""
    symbols.parent.mkdir(parents=True, exist_ok=True)
    # objcopy stamps a PE file it writes with the time, or SOURCE_DATE_EPOCH
    # when set: 0 keeps the header as the linker left it, without a time.
    environment = dict(os.environ, SOURCE_DATE_EPOCH="0")
    subprocess.run([objcopy, "--only-keep-debug", str(program), str(symbols.resolve())], check=True,
                   env=environment)
    # The debug link names the file and carries its CRC; objcopy reads it
    # from the path given, so run where the name alone finds it.
    subprocess.run([objcopy, "--strip-all", f"--add-gnu-debuglink={symbols.name}", str(program.resolve()),
                    str(stripped.resolve())], check=True, cwd=symbols.parent, env=environment)


def lay_out(platform: str, bin_dir: Path, stage: Path, symbols: Path) -> None:
    names = PLATFORMS[platform]
    objcopy = names["objcopy"]
    strip(objcopy, bin_dir / names["bootstrapper"], stage / names["bootstrapper"],
          symbols / (names["bootstrapper"] + ".debug"))
    (stage / "tools").mkdir()
    strip(objcopy, bin_dir / names["qvl_cdn"], stage / "tools" / names["qvl_cdn"],
          symbols / (names["qvl_cdn"] + ".debug"))
    shutil.copytree(REPOSITORY / "data" / "Quarvel", stage / "Quarvel")
    shutil.copy(REPOSITORY / "data" / "Settings.example.json", stage / "Quarvel" / "Settings.json")
    shutil.copytree(REPOSITORY / "sdk" / "include", stage / "sdk" / "include")
    (stage / "docs").mkdir()
    for guide in sorted((REPOSITORY / "docs").glob("*")):
        if guide.is_file() and guide.suffix in (".md", ".conf"):
            shutil.copy(guide, stage / "docs" / guide.name)


def entries(stage: Path, programs: tuple) -> list:
    """(archive path, file or None for a folder, mode), sorted by path; the
    modes do not depend on the checkout's."""
    found = [(stage.name + "/", None, 0o755)]
    for path in sorted(stage.rglob("*")):
        relative = path.relative_to(stage.parent).as_posix()
        if path.is_dir():
            found.append((relative + "/", None, 0o755))
        else:
            found.append((relative, path, 0o755 if path.name in programs else 0o644))
    return found


def write_zip(stage: Path, programs: tuple, target: Path) -> None:
    when = time.gmtime(max(epoch(), DEFAULT_EPOCH))[:6]
    with zipfile.ZipFile(target, "w") as archive:
        for name, path, mode in entries(stage, programs):
            info = zipfile.ZipInfo(name, date_time=when)
            info.create_system = 3  # Unix, so the modes below count
            info.external_attr = ((0o040000 if path is None else 0o100000) | mode) << 16
            if path is None:
                info.external_attr |= 0x10  # MS-DOS directory flag
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, path.read_bytes(), compresslevel=9)


def write_tar_gz(stage: Path, programs: tuple, target: Path) -> None:
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as archive:
        for name, path, mode in entries(stage, programs):
            info = tarfile.TarInfo(name.rstrip("/"))
            info.mtime = epoch()
            info.mode = mode
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            if path is None:
                info.type = tarfile.DIRTYPE
                archive.addfile(info)
            else:
                data = path.read_bytes()
                info.size = len(data)
                archive.addfile(info, io.BytesIO(data))
    # gzip's header carries a time and a file name: fix the one, leave out the other.
    with open(target, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=epoch(),
                                                   compresslevel=9) as compressed:
        compressed.write(buffer.getvalue())


def archive(platform: str, bin_dir: Path, version: str, out: Path) -> Path:
    out.mkdir(parents=True, exist_ok=True)
    name = archive_name(version, platform)
    target = out / name
    top = name.removesuffix("." + PLATFORMS[platform]["archive"])
    with tempfile.TemporaryDirectory() as scratch:
        stage = Path(scratch) / top
        stage.mkdir()
        lay_out(platform, bin_dir, stage, out / "symbols")
        programs = (PLATFORMS[platform]["bootstrapper"], PLATFORMS[platform]["qvl_cdn"])
        if PLATFORMS[platform]["archive"] == "zip":
            write_zip(stage, programs, target)
        else:
            write_tar_gz(stage, programs, target)
    return target


def write_sums(dist: Path) -> Path:
    lines = []
    for path in sorted(p for p in dist.rglob("*") if p.is_file() and p.name != "SHA256SUMS"):
        digest = hashlib.sha256(path.read_bytes()).hexdigest()
        lines.append(f"{digest}  {path.relative_to(dist).as_posix()}\n")
    sums = dist / "SHA256SUMS"
    sums.write_text("".join(lines))
    return sums


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    pack = commands.add_parser("archive")
    pack.add_argument("--platform", choices=sorted(PLATFORMS), required=True)
    pack.add_argument("--bin", type=Path, required=True, help="the build's bin directory")
    pack.add_argument("--version", required=True)
    pack.add_argument("--out", type=Path, required=True)
    sums = commands.add_parser("sums")
    sums.add_argument("dist", type=Path)
    arguments = parser.parse_args()
    if arguments.command == "archive":
        print(archive(arguments.platform, arguments.bin, arguments.version, arguments.out))
    else:
        print(write_sums(arguments.dist))
    return 0


if __name__ == "__main__":
    sys.exit(main())
