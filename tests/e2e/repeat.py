"""Runs end-to-end suites N times in a row and prints how often each case passed, to check a suite for
flakiness in one command. Arguments: N, then suite names (user_faults or test_user_faults.py; none: all)."""
import collections
import glob
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))


def suites(names):
    if not names:
        return sorted(glob.glob(os.path.join(HERE, "test_*.py")))
    found = []
    for name in names:
        base = os.path.basename(name)
        base = base if base.startswith("test_") else "test_" + base
        base = base if base.endswith(".py") else base + ".py"
        path = os.path.join(HERE, base)
        if not os.path.exists(path):
            sys.exit("no suite %s" % name)
        found.append(path)
    return found


def main():
    rounds = int(sys.argv[1])
    passes, runs = collections.Counter(), collections.Counter()
    for suite in suites(sys.argv[2:]):
        for n in range(1, rounds + 1):
            with tempfile.TemporaryDirectory(prefix="pexo-repeat-") as results:
                subprocess.run([sys.executable, suite, results], stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
                reports = glob.glob(os.path.join(results, "*.xml"))
                if not reports:
                    runs[os.path.basename(suite) + " (no report)"] += 1
                for report in reports:
                    for case in ET.parse(report).getroot().iter("testcase"):
                        name = "%s.%s" % (case.get("classname"), case.get("name"))
                        runs[name] += 1
                        passes[name] += case.find("failure") is None
            print("%s: round %d of %d done" % (os.path.basename(suite), n, rounds), flush=True)
    width = max(len(name) for name in runs)
    for name in runs:
        print("%-*s %d/%d" % (width, name, passes[name], runs[name]))
    failed = sum(runs.values()) - sum(passes.values())
    print("%d passed, %d failed" % (sum(passes.values()), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
