"""Listing and downloading one album three times in one program run: the program's windows, handles,
threads and file descriptors return to their level after the first round, and a relisting does not hold two
grids of pictures at once."""
import os
import shutil
import sys
import tempfile

from harness import Session, check, run_tests
import soak_rounds

PICTURES = 480
# A round lists and downloads in a few seconds; a stage still running after five minutes is stuck.
STAGE_MS = 300000
# The yardstick for memory: the grid of 480 as bitmaps, 150 x 143 pixels of 3 bytes a cell (about 31 MiB). The
# grid holds far less: each thumbnail's file, and pixels only for the cells drawn last.
GRID_MIB = PICTURES * 150 * 143 * 3 / 2**20


def rounds_return_to_their_level(artefacts):
    s = Session("--big", str(PICTURES), artefacts=artefacts)
    work = tempfile.mkdtemp(prefix="pexo-soak-")
    try:
        digests, pid, baseline = soak_rounds.start(s)
        print("  before: %s" % baseline, flush=True)
        rows = []
        for n in range(3):
            stages = soak_rounds.one_round(s, PICTURES, os.path.join(work, "round%d" % n), digests, STAGE_MS)
            check(stages["failed"] == 0, "round %d: %d pictures failed" % (n + 1, stages["failed"]))
            rows.append(dict(stages, **soak_rounds.resources(s, pid)))
            print("  round %d: %s" % (n + 1, rows[-1]), flush=True)
        first, second, last = rows
        check(last["windows"] == first["windows"], "windows %s -> %s" % (first["windows"], last["windows"]))
        check(int(last["threads"]) <= int(first["threads"]) + 2, "threads %s -> %s" % (first["threads"],
                                                                                       last["threads"]))
        if first["handles"] != "n/a":
            check(int(last["handles"]) <= int(first["handles"]) + 30, "handles %s -> %s" % (first["handles"],
                                                                                          last["handles"]))
        check(last["fds"] <= first["fds"] + 5, "file descriptors %d -> %d" % (first["fds"], last["fds"]))
        # After the first round holds a grid, relisting replaces it, and the level stays where the first round
        # left it. The peak is sampled while the relisting runs: its pages, thumbnails in flight, the new grid's
        # controls and the heap's slack add 18-23 MiB (measured with bitmaps and with files in the cells alike),
        # and it stays below one more grid of bitmaps.
        check(second["peak_mib"] < first["private_mib"] + GRID_MIB,
              "relisting peaked at %.0f MiB over the %.0f MiB the first round left" % (second["peak_mib"],
                                                                                    first["private_mib"]))
        for before, after in ((first, second), (second, last)):
            check(after["private_mib"] < before["private_mib"] + GRID_MIB / 4,
                  "private memory grew from %.0f to %.0f MiB" % (before["private_mib"], after["private_mib"]))
    finally:
        s.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(1 if run_tests([
        ("RoundsReturnToTheirLevel", rounds_return_to_their_level),
    ], sys.argv[1], suite="e2e_soak") else 0)
