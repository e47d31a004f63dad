"""Runs end-to-end suites N times in a row and prints how often each case passed, to check a suite for
flakiness in one command. Arguments: N, then suite names (user_faults or test_user_faults.py; none: all)."""
import collections
import glob
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
# A round with a failed case keeps its log and artefacts here, so a flake can be read afterwards.
KEPT = os.path.join(HERE, "..", "..", "build", "test-results", "repeat")


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
            results = os.path.abspath(os.path.join(KEPT, "%s-round-%d" % (os.path.basename(suite)[:-3], n)))
            shutil.rmtree(results, ignore_errors=True)
            os.makedirs(results)
            with open(os.path.join(results, "output.log"), "w") as log:
                subprocess.run([sys.executable, suite, results], stdout=log, stderr=subprocess.STDOUT)
            reports = glob.glob(os.path.join(results, "*.xml"))
            failed = not reports
            if not reports:
                runs[os.path.basename(suite) + " (no report)"] += 1
            for report in reports:
                for case in ET.parse(report).getroot().iter("testcase"):
                    name = "%s.%s" % (case.get("classname"), case.get("name"))
                    runs[name] += 1
                    passes[name] += case.find("failure") is None
                    failed = failed or case.find("failure") is not None
            if failed:
                print("%s: round %d of %d failed, kept in %s" % (os.path.basename(suite), n, rounds,
                                                                 os.path.normpath(results)), flush=True)
            else:
                shutil.rmtree(results, ignore_errors=True)
                print("%s: round %d of %d done" % (os.path.basename(suite), n, rounds), flush=True)
    width = max(len(name) for name in runs)
    for name in runs:
        print("%-*s %d/%d" % (width, name, passes[name], runs[name]))
    failed = sum(runs.values()) - sum(passes.values())
    print("%d passed, %d failed" % (sum(passes.values()), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
