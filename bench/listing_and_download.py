"""Benchmark: list and download a large demo album through the real program, side by side with aria2c and curl.

Prints one table per latency: the listing's time against the network-bound ideal for ten parallel fetches, the
download's files per second against `aria2c -j10` and `curl --parallel --parallel-max 10` on the same
addresses, and for both the window thread's CPU time, the Wine server's CPU time, and the longest time the
window took to answer a message sent every 10 ms. Every downloaded file is checked byte for byte against the
service. In the same run, bench/fetch_rates_bench_win.cpp measures what the platform's own calls manage on the
same addresses with ten threads (HttpReadFile and the thumbnail stage's fetch for the thumbnails,
URLDownloadToFileA and SavePicture for the pictures) and how fast ten threads create and write files of the
pictures' sizes with no network: the platform's ceiling for new files, which the download is measured against.

The program runs in a private copy of the Wine prefix, once with an empty URL cache and once with one that holds
115 MB (bench/fill_url_cache_win.cpp), as a used machine's does: WinINet under Wine slows down as its cache index
grows, and a benchmark should neither measure what earlier runs left behind nor only the best case.

The listing's stages are timed by the program itself (PEXO_STAGE_TIMES) and printed under its row, with the
stage in which the window took longest to answer. The service sets two cookies on every HTML page, as album
sites do, so the index pages fill the platform's cookie store and every thumbnail carries the cookies.

Usage: python3 bench/listing_and_download.py [--no-platform] [pictures] [latency_ms ...]
"""
import hashlib
import math
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import (ROOT, TITLE, WINE, WINESERVER, Driver, Session, check, private_mib,  # noqa: E402
                     private_prefix, process_of, q, to_windows_path, wine_env)

# --no-platform leaves out the platform's calls alone (their single-thread passes take minutes at 12,000).
PLATFORM = "--no-platform" not in sys.argv
ARGS = [a for a in sys.argv[1:] if a != "--no-platform"]
PICTURES = int(ARGS[0]) if ARGS else 2500
LATENCIES = [int(x) for x in ARGS[1:]] or [0, 20]
PER_PAGE = 24
# As an album site does, every HTML page sets two cookies: each index page's go into the platform's store, and
# from there with every thumbnail.
PAGE_COOKIES = ["--page-cookie", "visit=1; path=/", "--page-cookie", "sid=5f1c0a9e; path=/"]
# A used machine's URL cache: this many entries of 96 KB.
USED_CACHE_ENTRIES = 1200
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid, task=None):
    """User and system CPU time of a process (its live and ended threads) or of one of its threads."""
    path = "/proc/%d/task/%d/stat" % (pid, task) if task else "/proc/%d/stat" % pid
    with open(path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def wineserver_of(prefix):
    """The Wine server process of this prefix (others may run beside it): a server works in a directory named
    after the prefix's device and inode."""
    st = os.stat(prefix)
    name = "server-%x-%x" % (st.st_dev, st.st_ino)
    for pid in subprocess.run(["pgrep", "-f", WINESERVER], capture_output=True, text=True).stdout.split():
        try:
            if os.path.basename(os.readlink("/proc/%s/cwd" % pid)) == name:
                return int(pid)
        except OSError:
            pass
    return None


class Watch:
    """CPU of the window thread (the Wine process's first thread, which made the main window) and of the Wine
    server, and the window's answers to a ping every 10 ms from a second driver, over one stage."""

    def __init__(self, session, pid, until):
        self.pid, self.server = pid, wineserver_of(os.environ["PEXO_WINEPREFIX"])
        self.pinger = Driver(session.display.name, session.desktop, timeout_ms=900000)
        self.pinger.ok('attach "%s" 60000' % TITLE)
        self.until = until
        self.answer = None

    def __enter__(self):
        self.thread0 = cpu_seconds(self.pid, self.pid)
        self.server0 = cpu_seconds(self.server) if self.server else 0
        self.start = time.time()
        return self

    def ping(self):
        """Starts pinging; the pings end when the control named by `until` changes state."""
        self.runner = threading.Thread(target=lambda: setattr(self, "answer", self.pinger(
            "responsiveness %s" % self.until)))
        self.runner.start()

    def __exit__(self, *error):
        self.wall = time.time() - self.start
        self.window_cpu = cpu_seconds(self.pid, self.pid) - self.thread0
        self.server_cpu = (cpu_seconds(self.server) if self.server else 0) - self.server0
        self.runner.join()
        self.pinger.stop()
        answered = self.answer.split() if self.answer and self.answer.startswith("ok") else []
        self.longest = float(answered[2]) if answered else None
        self.longest_at = float(answered[4]) / 1000 if len(answered) > 4 else None


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


def fill_url_cache(prefix, display):
    """Leaves the prefix's URL cache as a used machine has it: USED_CACHE_ENTRIES entries of 96 KB (115 MB)."""
    env = wine_env(display)
    env["WINEPREFIX"] = prefix
    out = subprocess.run([WINE, os.path.join(ROOT, "build/windows/fill_url_cache_win.exe"), str(USED_CACHE_ENTRIES),
                          "96000"], env=env, capture_output=True, text=True, check=False)
    check(out.returncode == 0, "filling the URL cache: " + out.stdout + out.stderr)
    subprocess.run([WINESERVER, "-w"], env=env, check=False)
    return out.stdout.strip()


def run(latency, used):
    work = tempfile.mkdtemp(prefix="pexo-bench-")
    os.environ["PEXO_WINEPREFIX"] = private_prefix(work)
    cache = fill_url_cache(os.environ["PEXO_WINEPREFIX"], os.environ.get("DISPLAY", ":0")) if used else "empty"
    times = os.path.join(work, "stage-times.txt")
    os.environ["PEXO_STAGE_TIMES"] = to_windows_path(times)
    s = Session("--big", str(PICTURES), "--latency", str(latency), *PAGE_COOKIES)
    try:
        d = s.driver
        pid = process_of(s.program.workdir + "/pexo.exe") or process_of("pexo.exe")
        check(pid is not None, "pexo.exe not found")
        d.ok("type 0x0047 %s" % q("bench"))
        d.ok("press 0x004a")
        d.ok("wait-enabled 0x004c 120000")
        d.ok("combo-select 0x004b %s" % q("大相册(%d)" % PICTURES))
        with Watch(s, pid, "0x004d 900000") as listing:
            d.ok("press 0x004c")
            listing.ping()
            d.ok("wait-enabled 0x004d 900000")
        memory = private_mib(pid)
        stages = read_stage_times(times)
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
        with Watch(s, pid, "0x004e 900000") as download:
            d.ok("folder-ok")
            download.ping()
            box = d.ok("msgbox 900000")
            d.ok("msgbox-press 1")
        check("已成功下载%d张图片。" % PICTURES in box, box)
        verify(ours, expected)

        peers = {}
        for name, command in (("aria2c -j10", aria2), ("curl --parallel 10", curl)):
            folder = os.path.join(work, name.split()[0])
            os.makedirs(folder)
            peers[name] = peer(command, urls, folder)
            verify(folder, expected)
        platform = platform_rates(s, pictures, work) if PLATFORM else []
        return cache, listing, ideal, memory, stages, download, peers, platform
    finally:
        s.close()
        subprocess.run([WINESERVER, "-w"], env=wine_env(s.display.name), check=False)
        del os.environ["PEXO_WINEPREFIX"]
        del os.environ["PEXO_STAGE_TIMES"]
        shutil.rmtree(work, ignore_errors=True)


def read_stage_times(path):
    """The listing's stages as the program timed them (PEXO_STAGE_TIMES): (stage, milliseconds) in order, the
    last listing's only."""
    with open(path) as f:
        lines = [line.split() for line in f if line.strip()]
    last = max(i for i, (stage, _) in enumerate(lines) if stage == "old-grid")
    return [(stage, float(ms)) for stage, ms in lines[last:]]


def platform_rates(session, pictures, work):
    """The platform calls alone on the same addresses: the fetch-rates benchmark's lines."""
    lists = []
    root = session.service.root.rstrip("/")
    for kind, line in (("thumb", lambda p: root + p["thumb"]), ("full", lambda p: "%s%s %d" % (root, p["full"],
                                                                                              p["size"]))):
        path = os.path.join(work, kind + "s.txt")
        with open(path, "w") as f:
            f.write("\n".join(line(p) for p in pictures) + "\n")
        lists.append(to_windows_path(path))
    folder = os.path.join(work, "platform")
    os.makedirs(folder)
    bench = os.path.join(ROOT, "build/windows/fetch_rates_bench_win.exe")
    out = subprocess.run([WINE, bench, *lists, to_windows_path(folder)], env=wine_env(session.display.name),
                         capture_output=True, text=True, check=False).stdout
    return [line.strip() for line in out.splitlines()[1:]]


def stage_at(stages, seconds):
    """The stage running the given seconds after the listing began (the hand-off runs inside the thumbnails)."""
    end = 0.0
    for stage, ms in stages:
        if stage.endswith("-hand-off"):
            continue
        end += ms / 1000
        if seconds < end:
            return stage
    return "the end of the listing"


def stage_row(name, watch, extra):
    longest = "%.0f ms" % watch.longest if watch.longest is not None else "n/a"
    print("  %-9s %7.2f s   window thread CPU %5.2f s (%3.0f%%)   Wine server CPU %5.2f s   longest answer %7s   %s"
          % (name, watch.wall, watch.window_cpu, 100 * watch.window_cpu / watch.wall, watch.server_cpu, longest,
             extra))


def main():
    print("%d pictures, %d per index page, ten workers per stage" % (PICTURES, PER_PAGE))
    for latency, used in [(latency, used) for latency in LATENCIES for used in (False, True)]:
        cache, listing, ideal, memory, stages, download, peers, platform = run(latency, used)
        print("latency %d ms, %s prefix (URL cache: %s)" % (latency, "used" if used else "clean", cache))
        ratio = "%.2f x the ideal %.2f s" % (listing.wall / ideal, ideal) if ideal else "ideal 0 s"
        stage_row("listing", listing, "%s; private memory after it %.0f MiB" % (ratio, memory))
        print("    its stages: " + ", ".join("%s %.2f s" % (stage, ms / 1000) for stage, ms in stages))
        if listing.longest_at is not None:
            print("    the longest answer was to a ping sent %.2f s in, during %s"
                  % (listing.longest_at, stage_at(stages, listing.longest_at)))
        rate = PICTURES / download.wall
        against = ", ".join("%s %.0f files/s (pexo %.2f x)" % (n, PICTURES / t, rate / (PICTURES / t))
                            for n, t in peers.items())
        stage_row("download", download, "%.0f files/s; %s" % (rate, against))
        if platform:
            print("  the platform's calls alone, ten threads, same addresses and latency:")
        for line in platform:
            print("    " + line)
        ceiling = [float(line.split()[-6].rstrip("/s")) for line in platform if line.startswith("new files")]
        if ceiling:
            print("  pexo's download %.2f x the platform's ceiling for new files (%.0f files/s)"
                  % (rate / ceiling[0], ceiling[0]))


if __name__ == "__main__":
    main()
