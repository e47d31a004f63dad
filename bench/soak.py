"""Benchmark: the main job again and again in one program run. Lists the demo user `bench`'s album of N
pictures and downloads all of it, R times, checking every file and the report; prints per round the stages'
times, the pictures that failed, the program's windows, handles, threads and open file descriptors, its
private memory after the round and at the peak of the listing, and each count's ratio to the first round's.

The program runs in a private copy of the Wine prefix with an empty URL cache, as in the listing benchmark.

Usage: python3 bench/soak.py [pictures] [rounds]
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import WINESERVER, Session, private_prefix, wine_env  # noqa: E402
import soak_rounds  # noqa: E402

PICTURES = int(sys.argv[1]) if len(sys.argv) > 1 else 2500
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
COLUMNS = ("windows", "handles", "threads", "fds", "private_mib", "peak_mib")


def main():
    work = tempfile.mkdtemp(prefix="pexo-soak-")
    os.environ["PEXO_WINEPREFIX"] = private_prefix(work)
    s = Session("--big", str(PICTURES))
    try:
        digests, pid, before = soak_rounds.start(s)
        print("%d pictures, %d rounds of listing and downloading all in one program run" % (PICTURES, ROUNDS))
        print("before the first round: " + ", ".join(
            "%s %s" % (k, round(before[k], 1) if isinstance(before[k], float) else before[k]) for k in COLUMNS[:-1]))
        print("round   list s  download s  failed  " + "  ".join("%11s" % c for c in COLUMNS))
        first = None
        for n in range(1, ROUNDS + 1):
            folder = os.path.join(work, "round%d" % n)
            row = soak_rounds.one_round(s, PICTURES, folder, digests)
            row.update(soak_rounds.resources(s, pid))
            shutil.rmtree(folder)
            first = first or row
            cells = []
            for c in COLUMNS:
                value = row[c]
                if value == "n/a":
                    cells.append("%11s" % value)
                else:
                    cells.append("%6.0f %4.2fx" % (float(value), float(value) / float(first[c])))
            print("%5d  %7.2f  %10.2f  %6d  %s" % (n, row["list_s"], row["download_s"], row["failed"],
                                                  "  ".join(cells)), flush=True)
        last = row
        print("from round 1 to round %d: private memory %+.1f MiB (%+.2f MiB a round), handles %+d, threads %+d"
              % (ROUNDS, last["private_mib"] - first["private_mib"],
                 (last["private_mib"] - first["private_mib"]) / max(1, ROUNDS - 1),
                 int(last["handles"]) - int(first["handles"]) if first["handles"] != "n/a" else 0,
                 int(last["threads"]) - int(first["threads"])))
    finally:
        s.close()
        subprocess.run([WINESERVER, "-w"], env=wine_env(s.display.name), check=False)
        del os.environ["PEXO_WINEPREFIX"]
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
