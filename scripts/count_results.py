#!/usr/bin/env python3
"""Prints "<passed> <failed> <skipped>" for a GoogleTest or JUnit XML report, counted test by test."""
import sys
import xml.etree.ElementTree as ElementTree


def counts(path):
    passed = failed = skipped = 0
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.find("skipped") is not None or case.get("result") == "skipped":
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


if __name__ == "__main__":
    try:
        print(*counts(sys.argv[1]))
    except (OSError, ElementTree.ParseError):
        print(0, 0, 0)
