#!/usr/bin/env python3
"""Checks that a sample module exports its entries where the bootstrapper
looks for them.

    check_module_exports.py windows <objdump> <module.dll>
    check_module_exports.py linux <nm> <module.so>

Windows: export address table positions (ordinal base not applied) 0, 1, 2
and 4 hold initialize, shutdown, the reserved entry and set-language.
Linux: the dynamic symbols a, b, c and d are defined functions, and no other
function is exported."""
import re
import subprocess
import sys

WINDOWS_ENTRIES = {0: "SampleInitialize", 1: "SampleShutdown", 2: "SampleReserved", 4: "SampleSetLanguage"}
LINUX_ENTRIES = {"a", "b", "c", "d"}


def check_windows(objdump, module):
    text = subprocess.run([objdump, "-p", module], check=True, capture_output=True, text=True).stdout
    addresses = {int(position): int(rva, 16)
                 for position, rva in re.findall(r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA", text, re.M)}
    names_part = text.split("[Ordinal/Name Pointer] Table", 1)[-1]
    names = {int(position): name for position, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)\s*$", names_part, re.M)}
    problems = []
    for position, name in WINDOWS_ENTRIES.items():
        if not addresses.get(position):
            problems.append(f"export position {position} is empty")
        if names.get(position) != name:
            problems.append(f"export position {position} is {names.get(position)!r}, expected {name!r}")
    return problems


def check_linux(nm, module):
    text = subprocess.run([nm, "-D", "--defined-only", module], check=True, capture_output=True, text=True).stdout
    functions = {fields[2] for fields in (line.split() for line in text.splitlines())
                 if len(fields) == 3 and fields[1] in ("T", "W", "i")}
    problems = [f"symbol {name!r} is not exported" for name in sorted(LINUX_ENTRIES - functions)]
    problems += [f"unexpected exported function {name!r}" for name in sorted(functions - LINUX_ENTRIES)]
    return problems


def main():
    kind, tool, module = sys.argv[1:4]
    problems = check_windows(tool, module) if kind == "windows" else check_linux(tool, module)
    for problem in problems:
        print(f"{module}: {problem}")
    if problems:
        return 1
    print(f"{module}: entries where the bootstrapper looks for them")
    return 0


if __name__ == "__main__":
    sys.exit(main())
