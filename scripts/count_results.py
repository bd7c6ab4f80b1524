#!/usr/bin/env python3
"""Prints "<passed> <failed>" for a GoogleTest or JUnit XML report."""
import sys
import xml.etree.ElementTree as ElementTree


def counts(path):
    root = ElementTree.parse(path).getroot()
    suites = [root] if root.get("tests") is not None else list(root.iter("testsuite"))
    total = failed = skipped = 0
    for suite in suites:
        total += int(suite.get("tests", 0))
        failed += int(suite.get("failures", 0)) + int(suite.get("errors", 0))
        skipped += int(suite.get("skipped", 0)) + int(suite.get("disabled", 0))
    return total - failed - skipped, failed


if __name__ == "__main__":
    try:
        passed, failed = counts(sys.argv[1])
    except (OSError, ElementTree.ParseError):
        passed, failed = 0, 0
    print(passed, failed)
