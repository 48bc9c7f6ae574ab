#!/usr/bin/env python3
"""Counts test cases over the JUnit-style XML results of one test run.

Usage: summarize.py RESULTS_DIR
  RESULTS_DIR/<tree>/ctest.xml       ctest's own record of each executable
  RESULTS_DIR/<tree>/gtest/*.xml     one GoogleTest report per executable
  RESULTS_DIR/steps/*.xml            scripted steps (fuzzing, scenarios)
An executable that failed without writing its report (a crash, a time-out)
counts as one failed test. Prints the failed cases, then one summary line;
exits 1 when anything failed or nothing ran.
"""
import pathlib
import sys
import xml.etree.ElementTree as ET


def cases(path):
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError) as e:
        yield (f"{path.name} (unreadable report: {e})", "failed")
        return
    for case in root.iter("testcase"):
        name = f"{case.get('classname', '')}.{case.get('name', '')}".strip(".")
        if case.find("failure") is not None or case.find("error") is not None or \
                case.get("status") == "fail":
            yield name, "failed"
        elif case.find("skipped") is not None or case.get("result") == "skipped" or \
                case.get("status") in ("notrun", "disabled"):
            yield name, "skipped"
        else:
            yield name, "passed"


def main(results):
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    failed = []
    for tree in sorted(p for p in results.iterdir() if p.is_dir()):
        reports = {p.stem: p for p in (tree / "gtest").glob("*.xml")} if (tree / "gtest").is_dir() else {}
        for report in reports.values():
            for name, outcome in cases(report):
                counts[outcome] += 1
                if outcome == "failed":
                    failed.append(f"{tree.name}: {name}")
        ctest = tree / "ctest.xml"
        if ctest.exists():
            for name, outcome in cases(ctest):
                executable = name.split(".")[-1]
                if outcome == "failed" and executable not in reports:
                    counts["failed"] += 1
                    failed.append(f"{tree.name}: {executable} (ended without a report)")
        for report in sorted(tree.glob("*.xml")) if tree.name == "steps" else []:
            for name, outcome in cases(report):
                counts[outcome] += 1
                if outcome == "failed":
                    failed.append(f"steps: {name}")
    for line in failed:
        print(f"FAILED {line}")
    total = sum(counts.values())
    print(f"Summary: {counts['passed']} passed, {counts['failed']} failed, "
          f"{counts['skipped']} skipped, {total} in all")
    return 1 if counts["failed"] or counts["passed"] == 0 else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
