"""What a studio's download must hold, checked on the archives themselves.
Shared by the packaging test (CTest, the development builds) and by
scripts/release.sh (tests/release/check_release.py, the release builds)."""

import hashlib
import json
import subprocess
import sys
import tarfile
import tempfile
import zipfile
import zlib
from dataclasses import dataclass
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPOSITORY / "tools" / "release"))

import package  # noqa: E402
import pe_resources  # noqa: E402

REQUIRED_SETTINGS = ("productid", "sandboxid", "deploymentid", "executable")


@dataclass
class Brand:
    """The texts and icon a Windows executable should carry."""

    product: str
    company: str
    description: str
    filename: str
    icon: Path

    @staticmethod
    def ours() -> "Brand":
        return Brand("Quarvel Bootstrapper", "Quarvel", "Quarvel anti-cheat bootstrapper", "QuarvelBootstrapper.exe",
                     REPOSITORY / "assets" / "bootstrapper.ico")


def extract(archive: Path, into: Path) -> Path:
    """Unpacks an archive; returns its top folder."""
    if archive.suffix == ".zip":
        with zipfile.ZipFile(archive) as opened:
            opened.extractall(into)
    else:
        with tarfile.open(archive) as opened:
            opened.extractall(into)  # our own archive
    (top,) = list(into.iterdir())
    return top


def archive_problems(archive: Path) -> list:
    """Entries whose time, owner or mode depends on where it was packed."""
    problems = []
    if archive.suffix == ".zip":
        with zipfile.ZipFile(archive) as opened:
            infos = opened.infolist()
            names = [info.filename for info in infos]
            times = {info.date_time for info in infos}
            if len(times) != 1:
                problems.append(f"entries carry different times: {sorted(times)}")
    else:
        with tarfile.open(archive) as opened:
            members = opened.getmembers()
            names = [member.name for member in members]
            for member in members:
                if (member.uid, member.gid, member.uname, member.gname) != (0, 0, "root", "root"):
                    problems.append(f"{member.name}: owner {member.uname}/{member.gname}")
            if len({member.mtime for member in members}) != 1:
                problems.append("entries carry different times")
    if names != sorted(names):
        problems.append("entries are not in sorted order")
    return problems


def layout_problems(top: Path, platform: str) -> list:
    """What is missing from or wrong in an unpacked archive."""
    names = package.PLATFORMS[platform]
    problems = []
    for relative in (names["bootstrapper"], "tools/" + names["qvl_cdn"]):
        if not (top / relative).is_file():
            problems.append(f"no {relative}")
        elif platform == "linux64" and not (top / relative).stat().st_mode & 0o100:
            problems.append(f"{relative} is not executable")
    for source in sorted((REPOSITORY / "data" / "Quarvel").rglob("*.cfg")):
        relative = source.relative_to(REPOSITORY / "data")
        if not (top / relative).is_file() or (top / relative).read_bytes() != source.read_bytes():
            problems.append(f"{relative} is missing or differs from the checkout's")
    header = Path("sdk/include/quarvel/module_interface.h")
    if not (top / header).is_file():
        problems.append(f"no {header}")
    for guide in sorted((REPOSITORY / "docs").glob("*.md")):
        if not (top / "docs" / guide.name).is_file():
            problems.append(f"no docs/{guide.name}")
    try:
        settings = json.loads((top / "Quarvel" / "Settings.json").read_text())
        missing = [key for key in REQUIRED_SETTINGS if not isinstance(settings.get(key), str)]
        if missing:
            problems.append(f"the example Settings.json lacks {missing}")
    except (OSError, ValueError) as error:
        problems.append(f"no readable example Settings.json: {error}")
    return problems


def objdump(platform: str) -> str:
    return "x86_64-w64-mingw32-objdump" if platform == "win64" else "objdump"


def stripped_problems(program: Path, symbols: Path, platform: str) -> list:
    """A stripped program names its debug information file, which exists and
    matches (the CRC in the link), and carries no debug information itself."""
    headers = subprocess.run([objdump(platform), "-h", str(program)], capture_output=True, text=True,
                             check=True).stdout
    problems = []
    if ".debug_info" in headers:
        problems.append(f"{program.name} still carries debug information")
    objcopy = package.PLATFORMS[platform]["objcopy"]
    with tempfile.TemporaryDirectory() as scratch:
        link = Path(scratch) / "link"
        done = subprocess.run([objcopy, "--dump-section", f".gnu_debuglink={link}", str(program),
                               str(Path(scratch) / "copy")], capture_output=True)
        if done.returncode != 0 or not link.exists():
            return problems + [f"{program.name} has no debug link"]
        data = link.read_bytes()
    name = data.split(b"\0", 1)[0].decode()
    crc = int.from_bytes(data[-4:], "little")
    debug_file = symbols / name
    if not debug_file.is_file():
        problems.append(f"{program.name} links {name}, which is not in symbols/")
    elif zlib.crc32(debug_file.read_bytes()) != crc:
        problems.append(f"{program.name} links {name}, but its CRC differs")
    else:
        debug_headers = subprocess.run([objdump(platform), "-h", str(debug_file)], capture_output=True, text=True,
                                       check=True).stdout
        if ".debug_info" not in debug_headers:
            problems.append(f"{name} holds no debug information")
    return problems


# What the Linux bootstrapper may load at start: what every desktop has. SDL2
# and libcurl are linked in; a distribution's builds would need installing and
# would bring their own hundred libraries.
LINUX_DESKTOP_LIBRARIES = {
    "libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0", "librt.so.1", "libgcc_s.so.1", "libstdc++.so.6",
    "libssl.so.3", "libcrypto.so.3", "libfreetype.so.6", "libfontconfig.so.1", "libX11.so.6", "libXRes.so.1",
}


def shared_library_problems(program: Path) -> list:
    """Shared libraries a Linux program needs beyond a desktop's."""
    dynamic = subprocess.run(["readelf", "-d", str(program)], capture_output=True, text=True, check=True).stdout
    needed = [line.split("[", 1)[1].rstrip("]") for line in dynamic.splitlines() if "(NEEDED)" in line]
    if not needed:
        return [f"{program.name} has no dynamic section"]
    return [f"{program.name} needs {name}" for name in needed if name not in LINUX_DESKTOP_LIBRARIES]


def sums_problems(dist: Path) -> list:
    """SHA256SUMS names every other file of dist/ with its digest."""
    listed = {}
    for line in (dist / "SHA256SUMS").read_text().splitlines():
        digest, name = line.split("  ", 1)
        listed[name] = digest
    present = {path.relative_to(dist).as_posix() for path in dist.rglob("*")
               if path.is_file() and path.name != "SHA256SUMS"}
    problems = [f"SHA256SUMS misses {name}" for name in sorted(present - listed.keys())]
    problems += [f"SHA256SUMS lists {name}, which is absent" for name in sorted(listed.keys() - present)]
    for name in sorted(present & listed.keys()):
        if hashlib.sha256((dist / name).read_bytes()).hexdigest() != listed[name]:
            problems.append(f"{name} does not match its SHA256SUMS line")
    return problems


def resource_problems(program: Path, version: str, brand: Brand) -> list:
    """The version information, icon and manifest of a Windows executable."""
    pe = pe_resources.PeFile(program.read_bytes())
    resources = pe.resources()
    problems = []
    if pe.timestamp != 0:
        problems.append(f"the PE header carries the time {pe.timestamp}")
    if (pe_resources.RT_VERSION, 1) not in resources:
        return problems + ["no version information"]
    info = pe_resources.version_info(resources[(pe_resources.RT_VERSION, 1)])
    expected = {
        "ProductName": brand.product, "CompanyName": brand.company, "FileDescription": brand.description,
        "OriginalFilename": brand.filename, "FileVersion": version, "ProductVersion": version,
    }
    for key, value in expected.items():
        if info["strings"].get(key) != value:
            problems.append(f"{key} is {info['strings'].get(key)!r}, expected {value!r}")
    copyright_text = info["strings"].get("LegalCopyright", "")
    if not copyright_text.endswith(" " + brand.company):
        problems.append(f"LegalCopyright {copyright_text!r} does not name {brand.company!r}")
    if info["file_version"] != version + ".0":
        problems.append(f"the fixed file version is {info['file_version']}, expected {version}.0")
    groups = sorted(name for kind, name in resources if kind == pe_resources.RT_GROUP_ICON)
    if not groups:
        problems.append("no icon")
    else:
        carried = pe_resources.ico_images(pe_resources.icon_file(resources, groups[0]))
        wanted = pe_resources.ico_images(brand.icon.read_bytes())
        if carried != wanted:
            problems.append(f"the icon is not {brand.icon.name}")
    manifest = resources.get((pe_resources.RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    for needle in ('level="asInvoker"', "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "PerMonitorV2"):
        if needle not in manifest:
            problems.append(f"the manifest lacks {needle}")
    return problems
