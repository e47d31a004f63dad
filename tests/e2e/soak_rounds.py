"""Rounds of the main job in one program run: list the big album of the demo user `bench`, download all of it
into a fresh folder, check every file, and read the program's resource counts. Shared by the soak test and
the soak benchmark."""
import hashlib
import os
import time

from harness import box_says, check, open_fds, private_mib, q, to_windows_path

EDIT, LIST_ALBUMS, COMBO, LIST_PICTURES, DOWNLOAD_CHECKED, DOWNLOAD_ALL = (
    "0x0047", "0x004a", "0x004b", "0x004c", "0x004d", "0x004e")
BIG_ALBUM = 1013


def start(session):
    """Lists the albums of `bench` once, for the rounds to list and download its one album. Returns the
    digests of the album's pictures, the program's Linux process id and its resource counts before the first
    round."""
    d = session.driver
    d.ok("type %s %s" % (EDIT, q("bench")))
    d.press(LIST_ALBUMS)
    d.ok("wait-enabled %s 120000" % LIST_PICTURES)
    digests = {p["sha256"] for p in session.service.manifest()["pictures"] if p["album"] == BIG_ALBUM}
    pid = session.program.unix_pid()
    check(pid is not None, "pexo.exe's process not found")
    return digests, pid, resources(session, pid)


def resources(session, pid):
    """The program's counts: windows, handles, threads and GDI objects as the UI driver reads them, open file
    descriptors and private memory of its Wine process."""
    counts = dict(word.split("=", 1) for word in session.driver.ok("stats").split())
    counts["fds"] = open_fds(pid)
    counts["private_mib"] = private_mib(pid)
    return counts


def one_round(session, pictures, folder, digests, timeout_ms=900000):
    """Lists the album, downloads all of it into `folder` and checks the files and the report; returns the two
    stages' seconds, the peak private memory seen during the listing and the number of failed pictures."""
    d = session.driver
    pid = session.program.unix_pid()
    d.ok("combo-select %s %s" % (COMBO, q("大相册(%d)" % pictures)))
    start = time.time()
    d.press(LIST_PICTURES)
    peak = private_mib(pid)
    # The state is read every 50 ms and the memory with it: a relisting that held the old grid's pictures
    # while building the new one shows in the peak.
    while d.ok("state %s" % DOWNLOAD_ALL) != "1 1":
        peak = max(peak, private_mib(pid))
        check(time.time() - start < timeout_ms / 1000, "the listing did not end")
        time.sleep(0.05)
    d.ok("wait-enabled %s %d" % (LIST_PICTURES, timeout_ms))
    listed = time.time() - start

    os.makedirs(folder, exist_ok=True)
    d.press(DOWNLOAD_ALL)
    d.ok("folder 60000")
    d.ok("folder-choose %s" % q(to_windows_path(folder)))
    start = time.time()
    d.ok("folder-ok")
    box = d.ok("msgbox %d" % timeout_ms)
    downloaded = time.time() - start
    d.ok("msgbox-press 1")
    # Every file in the folder is one of the service's pictures, byte for byte, and the report counts them
    # honestly; the pictures that failed (none in a sound run) are counted for the caller to judge.
    names = os.listdir(folder)
    got = set()
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            got.add(hashlib.sha256(f.read()).hexdigest())
    check(got <= digests and len(got) == len(names), "%d files, %d equal to the service's pictures" % (
        len(names), len(got & digests)))
    failed = pictures - len(names)
    expected = "已成功下载%d张图片。" % pictures if not failed else "已成功下载%d张图片，%d张下载失败。" % (len(names), failed)
    check(box_says(box, expected), "%s, %d files" % (box, len(names)))
    return {"list_s": listed, "download_s": downloaded, "peak_mib": peak, "failed": failed}
