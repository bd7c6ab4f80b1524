#!/usr/bin/env python3
"""Checks that each DLL named exports exactly Relvia's ten functions under their plain names,
with rlvia_OpenDnBox and rlvia_CloseDnBox one routine (read from objdump's export tables)."""
import re
import subprocess
import sys

TEN = {"rlvia_" + name for name in ("TurnOn", "TurnOff", "SetRegRoot", "EnableJ2KTrans", "SetJ2KTransMode",
                                    "J2KTransEnabled", "GetJ2KTransMode", "GetAgentCount", "OpenDnBox", "CloseDnBox")}


def exports(dll: str) -> dict:
    """name: address"""
    table = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", dll], capture_output=True, text=True).stdout
    addresses = dict(re.findall(r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA", table, re.M))
    names = table.partition("[Ordinal/Name Pointer] Table")[2]
    return {name: addresses.get(index) for index, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)$", names, re.M)}


def main() -> int:
    bad = 0
    for dll in sys.argv[1:]:
        found = exports(dll)
        if set(found) != TEN or found["rlvia_OpenDnBox"] != found["rlvia_CloseDnBox"]:
            print("%s exports %s" % (dll, found))
            bad = 1
    return bad


if __name__ == "__main__":
    sys.exit(main())
