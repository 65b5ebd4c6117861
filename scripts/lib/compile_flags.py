#!/usr/bin/env python3
"""compile_flags.py COMPILE_COMMANDS FILE: prints, one a line, the include, define, language and
warning flags the build compiles FILE with, as recorded in compile_commands.json."""
import json
import shlex
import sys

# Linux's qplatformdefs.h lives here; a file compiled for Windows must not find it.
LINUX_ONLY = "/mkspecs/linux-"
WITH_VALUE = ("-I", "-isystem")
KEPT_PREFIXES = ("-I", "-D", "-std=", "-W")


def kept_flags(arguments):
    flags = []
    index = 1
    while index < len(arguments):
        argument = arguments[index]
        if argument in WITH_VALUE and index + 1 < len(arguments):
            if LINUX_ONLY not in arguments[index + 1]:
                flags += [argument, arguments[index + 1]]
            index += 2
            continue
        if argument.startswith(KEPT_PREFIXES) and LINUX_ONLY not in argument:
            flags.append(argument)
        index += 1
    return flags


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    database, wanted = sys.argv[1:]
    with open(database, encoding="utf-8") as file:
        entries = json.load(file)
    for entry in entries:
        if entry["file"] == wanted:
            arguments = entry.get("arguments") or shlex.split(entry["command"])
            print("\n".join(kept_flags(arguments)))
            return
    sys.exit(f"{wanted} is not in {database}")


main()
