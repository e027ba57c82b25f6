#!/usr/bin/env python3
"""Writes the seed corpora under tests/fuzz/corpus/. The files are committed;
run this again only to renew them. Reproducers of findings are kept beside
the seeds under their own names (finding-*) and are not touched here."""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def write(target: str, name: str, data) -> None:
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data.encode() if isinstance(data, str) else bytes(data))


def put(buffer: bytearray, at: int, fmt: str, *values) -> None:
    struct.pack_into("<" + fmt, buffer, at, *values)


def pe_image(wide: bool) -> bytes:
    """A DLL with one code and one data section, an export table with names
    a and b, imports by name and by ordinal, and base relocations."""
    nt = 0x40
    optional_size = 240 if wide else 224
    sections = nt + 24 + optional_size
    image = bytearray(0x200)  # the headers (SizeOfHeaders)
    image[0:2] = b"MZ"
    put(image, 0x3C, "I", nt)
    image[nt:nt + 4] = b"PE\0\0"
    put(image, nt + 4, "HH", 0x8664 if wide else 0x14C, 2)
    put(image, nt + 20, "H", optional_size)
    put(image, nt + 24, "H", 0x20B if wide else 0x10B)
    put(image, nt + 40, "I", 0x1000)  # entry point
    if wide:
        put(image, nt + 48, "Q", 0x180000000)
    else:
        put(image, nt + 52, "I", 0x10000000)
    put(image, nt + 80, "II", 0x3000, 0x200)  # SizeOfImage, SizeOfHeaders
    directories = nt + (136 if wide else 120)
    put(image, directories - 4, "I", 16)
    put(image, directories + 0, "II", 0x2000, 40)  # exports
    put(image, directories + 8, "II", 0x2100, 40)  # imports
    put(image, directories + 40, "II", 0x2200, 12)  # relocations

    def section(index, name, rva, size, raw, characteristics):
        at = sections + 40 * index
        image[at:at + 8] = name.ljust(8, b"\0")
        put(image, at + 8, "IIII", size, rva, 0x100, raw)
        put(image, at + 36, "I", characteristics)

    section(0, b".text", 0x1000, 0x100, 0x200, 0x60000020)
    section(1, b".data", 0x2000, 0x300, 0x300, 0xC0000040)
    text = bytearray(0x100)
    text[0:3] = b"\x31\xc0\xc3"
    data = bytearray(0x100)  # raw data of the second section, at RVA 0x2000

    # Export directory at 0x2000: functions 0x2040, names 0x2048, ordinals 0x2050.
    put(data, 0x00, "I", 0)
    put(data, 0x10, "II", 1, 2)  # ordinal base, function count
    put(data, 0x18, "IIII", 2, 0x2040, 0x2048, 0x2050)
    put(data, 0x40, "II", 0x1000, 0x1002)
    put(data, 0x48, "II", 0x2060, 0x2062)
    put(data, 0x50, "HH", 0, 1)
    data[0x60:0x64] = b"a\0b\0"
    image += text + data
    # The import directory, thunks and relocations live past the raw data
    # (virtual size 0x300): keep them inside by growing the raw size.
    put(image, sections + 40 + 16, "I", 0x300)
    more = bytearray(0x200)
    # Import descriptor at 0x2100: thunks 0x2140, name 0x2130, slots 0x2160.
    put(more, 0x00, "IIIII", 0x2140, 0, 0, 0x2130, 0x2160)
    more[0x30:0x3D] = b"kernel32.dll\0"
    slot = 8 if wide else 4
    ordinal_flag = (1 << 63) if wide else (1 << 31)
    fmt = "Q" if wide else "I"
    put(more, 0x40, fmt, 0x2180)
    put(more, 0x40 + slot, fmt, ordinal_flag | 7)
    put(more, 0x60, fmt, 0x2180)
    put(more, 0x60 + slot, fmt, ordinal_flag | 7)
    more[0x80:0x8F] = b"\0\0GetTickCount\0"
    # One relocation block for page 0x1000: one entry of the image's width and padding.
    put(more, 0x100, "IIHH", 0x1000, 12, ((10 if wide else 3) << 12) | 0x10, 0)
    image += more
    return bytes(image)


def elf_image(gnu: bool) -> bytes:
    """A loaded x86-64 shared object: a PT_DYNAMIC header, string and symbol
    tables and one hash table. alpha and beta are defined, undef is not,
    gamma is an IFUNC."""
    image = bytearray(0x840)
    image[0:7] = bytes([0x7F]) + b"ELF" + bytes([2, 1, 1])
    put(image, 16, "HH", 3, 62)
    put(image, 32, "Q", 64)
    put(image, 54, "HH", 56, 1)
    put(image, 64, "I", 2)
    put(image, 64 + 16, "Q", 0x100)
    put(image, 64 + 40, "Q", 4 * 16)
    put(image, 0x100, "qQqQqQ", 5, 0x200, 6, 0x300, 0x6FFFFEF5 if gnu else 4, 0x400)
    strings = b"\0undef\0alpha\0beta\0gamma\0"
    image[0x200:0x200 + len(strings)] = strings
    for index, (name, info, section, value) in enumerate(
            [(1, 0x12, 0, 0), (7, 0x12, 12, 0x800), (13, 0x12, 12, 0x810), (18, 0x1A, 12, 0x820)], start=1):
        put(image, 0x300 + 24 * index, "IBBHQ", name, info, 0, section, value)
    names = [b"undef", b"alpha", b"beta", b"gamma"]
    if gnu:
        def gnu_hash(name):
            h = 5381
            for c in name:
                h = (h * 33 + c) & 0xFFFFFFFF
            return h
        put(image, 0x400, "IIII", 1, 1, 1, 6)
        put(image, 0x418, "I", 1)
        for i, name in enumerate(names):
            put(image, 0x41C + 4 * i, "I", (gnu_hash(name) & ~1) | (1 if i == 3 else 0))
    else:
        put(image, 0x400, "III", 1, 5, 4)
        for i in range(2, 5):
            put(image, 0x40C + 4 * i, "I", i - 1)
    return bytes(image)


def main() -> None:
    settings = ('{\n  "title": "Quarvel: Origins, Deluxe",\n  "productid": "quarvel-game",\n'
                '  "sandboxid": "sandbox1",\n  "deploymentid": "live-01",\n'
                '  "executable": "Bin\\\\Win64\\\\game.exe",\n  "wait_for_game_process_exit": "1",\n'
                '  "use_gamedev_cdn": "false"\n}\n')
    write("json_reader", "settings", settings)
    write("json_reader", "unquoted", '{"a": true, "b":"x", "n": 5, "o": {"k": "v"}}')
    write("json_reader", "backslash_quote", '{"p":"C:\\\\x\\"", "q":"1"}')
    write("json_reader", "control", 'tab\there \x01 quote " slash \\ / \xc3\xa4')
    write("json_reader", "single", "{")

    cfg = ("# comment\n// comment\nlauncher:\n{\n  btn_exit = \"Exit\";\n"
           "  loading = \"LOADING[...]\";\n  spaced   =   \"two   words\" ;\n}\n"
           "launcher_error:\r\n{\r\n  error_module_loading = \"Failed to load {0}.\";\r\n}\r\n")
    write("cfg_parser", "catalogue", cfg)
    write("cfg_parser", "missing_brace", "s:\n  k = \"v\";\n")
    write("cfg_parser", "bad_entry", "s:\n{\n  k \"v\";\n}\n")
    write("cfg_parser", "bom_no_final_feed", "\xef\xbb\xbf  indented :\n{\nk = v\n}")

    write("settings_switch", "plain", "-v\n-anticheat_settings=Dev.json\ngame-arg")
    write("settings_switch", "two_hyphens", "--anticheat_settings=Dev.json\n--anticheat_settings=Dev.json\n-x")
    write("settings_switch", "quoted", '"-anticheat_settings=My Dev.json"\n-anticheat_settings="My Dev.json"')
    write("settings_switch", "ignored", "x-anticheat_settings=Dev.json\n-anticheat_settings=\n'-anticheat_settings='")

    write("command_line", "quoted_program", '"C:\\Games\\Quarvel Game\\game.exe" -v "-anticheat_settings=My Dev.json"')
    write("command_line", "backslashes", 'game.exe a\\\\"b c" \\"d e\\" ""  \t tail')
    write("command_line", "unterminated", '"game.exe -x "open quote')

    write("pe_image", "dll64", pe_image(True))
    write("pe_image", "dll32", pe_image(False))
    write("elf_symbols", "gnu_hash", elf_image(True))
    write("elf_symbols", "sysv_hash", elf_image(False))

    write("http_header", "response", 'HTTP/1.1 200 OK\r\nETag: "6b19f140-6"\r\nContent-Length: 4097\r\n'
                                     'X-Padded:    value  \r\nLocation: https://h/a:b\r\n\r\n')
    write("http_header", "odd", "Content-Length: -1\r\nContent-Length: 99999999999999999999999\n: v\r\nX:\r\nA: b")

    write("proxy_list", "host_port", "https://cdn.example/m\nproxy.example:8080\nlocal;*.intra\n")
    write("proxy_list", "per_protocol", "https://cdn.example/m\nhttp=a:1;https=b:2\n\nwpad1:3128;wpad2:3128;\n")
    write("proxy_list", "socks", "http://x/\nsocks=s:1080\n<local>\n;only;\n")
    write("proxy_list", "ftp_only", "https://x/\nftp=f:21\n\nsingle:1")

    def wrap(width: int, text: str) -> bytes:
        return struct.pack("<i", width) + text.encode()

    write("text_wrap", "path", wrap(1100, "Could not open: C:\\Games\\Quarvel\\Bin\\Win64\\game.exe (file not found)"))
    write("text_wrap", "cycling", wrap(300, "LOADING[...]"))
    write("text_wrap", "utf8", wrap(1600, "Überprüfung läuft – бутстрапер загружает модуль античита, подождите"))
    write("text_wrap", "no_breaks", wrap(521, "x" * 40 + "/" + "y" * 40))


if __name__ == "__main__":
    main()
