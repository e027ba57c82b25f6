#!/usr/bin/env python3
"""Reads back what a Windows executable says about itself: the link time in
its header, its version information, its icon and its application manifest,
straight from the file (no Windows needed).

    pe_resources.py FILE      prints them as JSON
"""

import json
import struct
import sys

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
RESOURCE_DIRECTORY = 2  # index of the resource table among the data directories


class PeFile:
    def __init__(self, data: bytes):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        (pe,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        _, sections, self.timestamp, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        (magic,) = struct.unpack_from("<H", data, optional)
        directories = optional + (112 if magic == 0x20B else 96)
        self.resource_rva, _ = struct.unpack_from("<II", data, directories + 8 * RESOURCE_DIRECTORY)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva: int) -> int:
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def resources(self) -> dict:
        """{(type, name): bytes} of the first language of every resource;
        numeric ids as ints, names as strings."""
        found = {}
        if self.resource_rva == 0:
            return found
        base = self.offset(self.resource_rva)
        for type_id, type_entry in self._directory(base, base):
            for name_id, name_entry in self._directory(base, base + type_entry):
                languages = self._directory(base, base + name_entry)
                if not languages:
                    continue
                data_rva, size, _, _ = struct.unpack_from("<IIII", self.data, base + languages[0][1])
                start = self.offset(data_rva)
                found[(type_id, name_id)] = self.data[start:start + size]
        return found

    def _directory(self, base: int, at: int) -> list:
        named, numbered = struct.unpack_from("<HH", self.data, at + 12)
        entries = []
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            if name & 0x80000000:
                (length,) = struct.unpack_from("<H", self.data, base + (name & 0x7FFFFFFF))
                start = base + (name & 0x7FFFFFFF) + 2
                name = self.data[start:start + 2 * length].decode("utf-16-le")
            entries.append((name, target & 0x7FFFFFFF))
        return entries


def version_info(block: bytes) -> dict:
    """The fixed file version and the strings of a VS_VERSIONINFO block."""
    result = {"strings": {}}

    def walk(at: int, end: int, depth: int) -> None:
        while at + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", block, at)
            if length == 0:
                return
            key_end = at + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[at + 6:key_end].decode("utf-16-le")
            value_at = (key_end + 2 + 3) & ~3
            if depth == 0:  # VS_VERSIONINFO: VS_FIXEDFILEINFO follows the key
                ms, ls = struct.unpack_from("<II", block, value_at + 8)
                result["file_version"] = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
                ms, ls = struct.unpack_from("<II", block, value_at + 16)
                result["product_version"] = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
                children = (value_at + value_length + 3) & ~3
            elif depth == 3:  # one String: the value is text of value_length characters
                text = block[value_at:value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
                result["strings"][key] = text
                children = at + length
            else:
                children = (value_at + (value_length * (2 if kind == 1 else 1)) + 3) & ~3
            if depth < 3 and not (depth == 1 and key == "VarFileInfo"):
                walk(children, at + length, depth + 1)
            at = (at + length + 3) & ~3

    walk(0, len(block), 0)
    return result


def icon_file(resources: dict, group) -> bytes:
    """The .ico file that an RT_GROUP_ICON and its RT_ICON images make up."""
    directory = resources[(RT_GROUP_ICON, group)]
    _, _, count = struct.unpack_from("<HHH", directory, 0)
    entries = [struct.unpack_from("<BBBBHHIH", directory, 6 + 14 * i) for i in range(count)]
    images = [resources[(RT_ICON, entry[7])] for entry in entries]
    header = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    table = b""
    for entry, image in zip(entries, images):
        table += struct.pack("<BBBBHHII", *entry[:6], len(image), offset)
        offset += len(image)
    return header + table + b"".join(images)


def ico_images(ico: bytes) -> list:
    """(width, height, bit count, image bytes) of each image of an .ico file."""
    _, _, count = struct.unpack_from("<HHH", ico, 0)
    images = []
    for i in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        images.append((width or 256, height or 256, bits, ico[offset:offset + size]))
    return images


def describe(path: str) -> dict:
    with open(path, "rb") as file:
        pe = PeFile(file.read())
    resources = pe.resources()
    groups = sorted(name for kind, name in resources if kind == RT_GROUP_ICON)
    description = {"timestamp": pe.timestamp, "version": None, "icon_sizes": [], "manifest": None}
    if (RT_VERSION, 1) in resources:
        description["version"] = version_info(resources[(RT_VERSION, 1)])
    if groups:
        description["icon_sizes"] = [image[0] for image in ico_images(icon_file(resources, groups[0]))]
    if (RT_MANIFEST, 1) in resources:
        description["manifest"] = resources[(RT_MANIFEST, 1)].decode("utf-8")
    return description


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    print(json.dumps(describe(sys.argv[1]), indent=2, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
