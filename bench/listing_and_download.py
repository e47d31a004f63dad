"""Benchmark: list and download a large demo album through the real program, side by side with aria2c and curl.

Prints one table: the listing's time against the network-bound ideal for ten parallel fetches, and the
download's files per second against `aria2c -j10` and `curl --parallel --parallel-max 10` on the same
addresses, at the given latencies. Every downloaded file is checked byte for byte against the service.
Usage: python3 bench/listing_and_download.py [pictures] [latency_ms ...]
"""
import hashlib
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Service, Session, check, q, to_windows_path  # noqa: E402

PICTURES = int(sys.argv[1]) if len(sys.argv) > 1 else 2500
LATENCIES = [int(x) for x in sys.argv[2:]] or [0, 20]
PER_PAGE = 24


def verify(folder, expected):
    got = set()
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            got.add(hashlib.sha256(f.read()).hexdigest())
    check(got == expected, "%s: %d files, %d expected, %d equal" % (folder, len(got), len(expected),
                                                                 len(got & expected)))


def peer(command, urls, folder):
    start = time.time()
    subprocess.run(command(urls, folder), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.time() - start


def aria2(urls, folder):
    listing = os.path.join(folder, "..", os.path.basename(folder) + ".txt")
    with open(listing, "w") as f:
        f.write("\n".join(urls) + "\n")
    return ["aria2c", "-j10", "-x1", "-q", "--allow-overwrite=true", "-d", folder, "-i", listing]


def curl(urls, folder):
    command = ["curl", "--parallel", "--parallel-max", "10", "-s", "--output-dir", folder]
    for url in urls:
        command += ["-o", url.rsplit("/", 1)[1], url]
    return command


def run(latency):
    s = Session("--big", str(PICTURES), "--latency", str(latency))
    work = tempfile.mkdtemp(prefix="pexo-bench-")
    try:
        d = s.driver
        d.ok("type 0x0047 %s" % q("bench"))
        d.ok("press 0x004a")
        d.ok("wait-enabled 0x004c 120000")
        d.ok("combo-select 0x004b %s" % q("大相册(%d)" % PICTURES))
        start = time.time()
        d.ok("press 0x004c")
        d.ok("wait-enabled 0x004d 900000")
        listing = time.time() - start
        pages = math.ceil(PICTURES / PER_PAGE)
        ideal = (1 + math.ceil(pages / 10) + math.ceil(PICTURES / 10)) * latency / 1000.0

        manifest = s.service.manifest()
        pictures = [p for p in manifest["pictures"] if p["album"] == 1013]
        expected = {p["sha256"] for p in pictures}
        urls = [s.service.root.rstrip("/") + p["full"] for p in pictures]

        ours = os.path.join(work, "pexo")
        os.makedirs(ours)
        d.ok("press 0x004e")
        d.ok("folder 60000")
        d.ok("folder-choose %s" % q(to_windows_path(ours)))
        start = time.time()
        d.ok("folder-ok")
        box = d.ok("msgbox 900000")
        download = time.time() - start
        d.ok("msgbox-press 1")
        check("已成功下载%d张图片。" % PICTURES in box, box)
        verify(ours, expected)

        times = {}
        for name, command in (("aria2c -j10", aria2), ("curl --parallel 10", curl)):
            folder = os.path.join(work, name.split()[0])
            os.makedirs(folder)
            times[name] = peer(command, urls, folder)
            verify(folder, expected)
        return listing, ideal, download, times
    finally:
        s.close()
        shutil.rmtree(work, ignore_errors=True)


def main():
    print("%d pictures, %d per index page" % (PICTURES, PER_PAGE))
    print("%-8s %-28s %-34s %s" % ("latency", "listing (s) / ideal", "download all: pexo files/s", "peers files/s (pexo ratio)"))
    for latency in LATENCIES:
        listing, ideal, download, times = run(latency)
        ratio = "%.2f x ideal" % (listing / ideal) if ideal else "ideal 0"
        peers = ", ".join("%s %.0f (%.2f)" % (n, PICTURES / t, t / download) for n, t in times.items())
        print("%-8s %-28s %-34s %s" % ("%d ms" % latency, "%.2f / %.2f (%s)" % (listing, ideal, ratio),
                                        "%.0f (%.2f s)" % (PICTURES / download, download), peers))


if __name__ == "__main__":
    main()
