#!/usr/bin/env python3
"""Sums up a test run: every GoogleTest case of every preset, and each ctest test that is not a
GoogleTest program (or that died before writing its cases) as one case of its own.

  summarize.py [--build-failures N] [--check NAME:passed|failed ...] BUILD_DIR ...
prints 'tests: N passed, N failed, N skipped'. A check is a step of scripts/test outside ctest
(the reproducible release), counted as one case.
A build that failed counts as one failure, so a run that could not build never reads as green."""

import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    total = int(root.get("tests", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = int(root.get("skipped", 0)) + int(root.get("disabled", 0))
    return total - failed - skipped, failed, skipped


def main():
    args = sys.argv[1:]
    passed = failed = skipped = 0
    if args[:1] == ["--build-failures"]:
        failed, args = int(args[1]), args[2:]
    while args[:1] == ["--check"]:
        if args[1].rsplit(":", 1)[-1] == "passed":
            passed += 1
        else:
            failed += 1
        args = args[2:]
    for build in args:
        junit = os.path.join(build, "ctest-junit.xml")
        if not os.path.exists(junit):
            continue
        for case in ET.parse(junit).getroot().iter("testcase"):
            name = case.get("name")
            ok = case.get("status") == "run"
            not_run = case.get("status") in ("disabled", "notrun")
            gtest = os.path.join(build, "test-results", f"{name}.xml")
            if os.path.exists(gtest):
                p, f, s = gtest_counts(gtest)
                if not ok and f == 0:
                    f = 1  # the program failed (crashed, timed out) beyond its recorded cases
                passed, failed, skipped = passed + p, failed + f, skipped + s
            elif not_run:
                skipped += 1
            elif ok:
                passed += 1
            else:
                failed += 1
    print(f"tests: {passed} passed, {failed} failed, {skipped} skipped")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
