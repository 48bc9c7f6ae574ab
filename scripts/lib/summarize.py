#!/usr/bin/env python3
"""Counts test cases over the JUnit-style XML results of one test run.

Usage: summarize.py RESULTS_DIR
  RESULTS_DIR/<tree>/ctest.xml       ctest's own record of each executable
  RESULTS_DIR/<tree>/gtest/*.xml     one GoogleTest report per executable
  RESULTS_DIR/<tree>/e2e/*.xml       the end-to-end scenarios run on that tree's build
  RESULTS_DIR/steps/*.xml            scripted steps (builds, fuzzing, skipped steps)
An executable that failed without writing its report (a crash, a time-out)
counts as one failed test. Prints the failed cases, the skipped ones with
their reasons, one line per tree that says what it ran on, then one summary
line; exits 1 when anything failed or nothing ran.
"""
import pathlib
import sys
import xml.etree.ElementTree as ET

# What each tree's tests ran as; the Windows trees by architecture.
RAN_AS = {
    "host": "host tests, native",
    "core32": "the pure core as 32-bit x86 Linux programs, native",
    "win32": "PE32 under 32-bit Wine",
    "win64": "PE32+ under wine64",
    "steps": "scripted steps",
}


def cases(path):
    """(name, outcome, reason) per test case of one report."""
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError) as e:
        yield (f"{path.name} (unreadable report: {e})", "failed", "")
        return
    for case in root.iter("testcase"):
        name = f"{case.get('classname', '')}.{case.get('name', '')}".strip(".")
        skipped = case.find("skipped")
        if case.find("failure") is not None or case.find("error") is not None or \
                case.get("status") == "fail":
            yield name, "failed", ""
        elif skipped is not None or case.get("result") == "skipped" or \
                case.get("status") in ("notrun", "disabled"):
            yield name, "skipped", skipped.get("message", "") if skipped is not None else ""
        else:
            yield name, "passed", ""


def tree_cases(tree):
    """(name, outcome, reason) over every report of one tree."""
    gtest = tree / "gtest"
    reports = {p.stem: p for p in gtest.glob("*.xml")} if gtest.is_dir() else {}
    for report in reports.values():
        yield from cases(report)
    ctest = tree / "ctest.xml"
    if ctest.exists():
        for name, outcome, _ in cases(ctest):
            executable = name.split(".")[-1]
            if outcome == "failed" and executable not in reports:
                yield f"{executable} (ended without a report)", "failed", ""
    for folder in (tree / "e2e", tree if tree.name == "steps" else None):
        if folder is not None and folder.is_dir():
            for report in sorted(folder.glob("*.xml")):
                yield from cases(report)


def main(results):
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    failed, skipped, per_tree = [], [], []
    for tree in sorted(p for p in results.iterdir() if p.is_dir()):
        here = {"passed": 0, "failed": 0, "skipped": 0}
        for name, outcome, reason in tree_cases(tree):
            here[outcome] += 1
            if outcome == "failed":
                failed.append(f"{tree.name}: {name}")
            elif outcome == "skipped" and reason:
                skipped.append(f"{tree.name}: {name}: {reason}")
        for outcome, number in here.items():
            counts[outcome] += number
        per_tree.append(f"  {tree.name} ({RAN_AS.get(tree.name, 'other')}): {here['passed']} passed, "
                        f"{here['failed']} failed, {here['skipped']} skipped")
    for line in failed:
        print(f"FAILED {line}")
    for line in skipped:
        print(f"SKIPPED {line}")
    for line in per_tree:
        print(line)
    total = sum(counts.values())
    print(f"Summary: {counts['passed']} passed, {counts['failed']} failed, "
          f"{counts['skipped']} skipped, {total} in all")
    return 1 if counts["failed"] or counts["passed"] == 0 else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
