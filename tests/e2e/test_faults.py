"""Listings against a misbehaving album service (resets, hangs, cut and trickling answers, error statuses) and
against pages that lie (huge pages, broken data blocks, absurd page counts, bad addresses, names and bytes)."""
import os
import re
import shutil
import socket
import sys
import tempfile
import threading
import time

from harness import Session, check, q, run_tests, to_windows_path
from test_listing import (COMBO, DOWNLOAD_ALL, DOWNLOAD_CHECKED, EDIT, LIST_ALBUMS, LIST_PICTURES, PROGRESS,
                          list_albums)

# The wait of a page fetch: 90 s of silence.
PAGE_TIMEOUT = 90


def thumbnails_requested(s, album):
    """The distinct thumbnail paths of an album that the program asked for, in the service's log."""
    return set(re.findall(r"GET (/abpic/%d/\S*) HTTP" % album, s.service.requests()))


def picture_numbers(paths):
    return sorted(int(re.search(r"IMG_(\d+)", p).group(1)) for p in paths)


def requested(s, path):
    return ("GET %s HTTP" % path) in s.service.requests()


def wait_for_request(s, path, timeout):
    """Waits, without touching the program's window, until the service has seen a request for path; returns the
    seconds waited."""
    start = time.time()
    while not requested(s, path):
        check(time.time() - start < timeout, "no request for %s within %d s" % (path, timeout))
        time.sleep(0.2)
    return time.time() - start


def responsive_until(d, state, timeout_ms, pinged=True):
    """Waits until 按钮2 reaches the state; returns the seconds waited. Pinged: the window is sent a message every
    10 ms and must answer each within 2 s. A page fetched on the window thread sleeps until input, a posted
    message or the fetch's end, so a sent message waits for the fetch: such a wait is not pinged."""
    start = time.time()
    if pinged:
        line = d.ok("responsiveness %s %s%d" % (LIST_PICTURES, "disabled " if state == "disabled" else "", timeout_ms))
        longest = float(line.split()[1])
        check(longest < 2000, "the window answered every ping within 2 s (longest %.0f ms)" % longest)
    else:
        d.ok("wait-%s %s %d" % (state, LIST_PICTURES, timeout_ms))
    return time.time() - start


def start_album(d, item):
    d.ok("combo-select %s %s" % (COMBO, q(item)))
    d.ok("press %s" % LIST_PICTURES)


def list_album_responsively(d, item, timeout_ms=120000, pinged=True):
    start_album(d, item)
    return responsive_until(d, "enabled", timeout_ms, pinged)


def combo_items(d):
    return d.ok("combo-items %s" % COMBO)


def new_user(d, user):
    d.ok("clear %s" % EDIT)
    list_albums(d, user)


DEMO_FIRST_PAGE = ('8 "空相册(0)" "单张(1)" "三行(15)" "四行(16)" "旅行(50)" "满一框(600)" "多一张(601)" '
                   '"文件名(8)"')
DEMO_ALL = DEMO_FIRST_PAGE.replace("8 ", "10 ", 1) + ' "家庭(24)" "夕阳(25)"'


# --- Server faults ---------------------------------------------------------------------------------------------

def album_index_page_faults(artefacts):
    s = Session("--fault", "trickle:3=/demo/album", "--fault", "reset=/demo/album/index/1",
                "--fault", "cut=/小明/album*", "--fault", "503=/newbie/album*", artefacts=artefacts)
    try:
        d = s.driver
        # demo: the first page trickles in (1.4 KB, 3 ms a byte), the second page is reset: the first page's
        # eight albums are listed.
        list_albums(d, "demo")
        seconds = responsive_until(d, "enabled", 60000, pinged=False)
        check(seconds > 3, "the first page trickled (%.1f s)" % seconds)
        check(requested(s, "/demo/album/index/1"), "the second page was asked for")
        check(combo_items(d) == DEMO_FIRST_PAGE, combo_items(d))
        # 小明: every page is cut in half, before the end of its data block: nothing is listed, 按钮2 goes off.
        new_user(d, "小明")
        responsive_until(d, "disabled", 30000)
        check(combo_items(d) == "0", "a cut page lists nothing: %s" % combo_items(d))
        # newbie: 503 on every page: nothing listed, no message box, the program answers.
        new_user(d, "newbie")
        wait_for_request(s, "/newbie/album/index/0", 30000)
        d.ok("sleep 1000")
        check(combo_items(d) == "0", combo_items(d))
        check(d.ok("state %s" % LIST_PICTURES) == "1 0", "按钮2 stays disabled")
        check(d("msgbox 500").startswith("error"), "no message box")
        # And demo lists again, the same eight albums, then an album of them.
        new_user(d, "demo")
        responsive_until(d, "enabled", 60000, pinged=False)
        check(combo_items(d) == DEMO_FIRST_PAGE, combo_items(d))
        list_album_responsively(d, "三行(15)")
        check(len(thumbnails_requested(s, 1003)) == 15, "the album lists afterwards")
    finally:
        s.close()


def picture_index_page_faults(artefacts):
    s = Session("--fault", "reset=/demo/album/1005/index/1", "--fault", "trickle:1=/demo/album/1005/index/2",
                "--fault", "cut=/demo/album/1010/index/1", "--fault", "cut=/demo/album/1004",
                "--fault", "trickle:1=/demo/album/1003", "--fault", "reset=/demo/album/1009*",
                "--fault", "404=/demo/album/1002*", "--fault", "503=/demo/album/1008/index/0",
                artefacts=artefacts)
    try:
        d = s.driver
        list_albums(d, "demo")
        d.ok("wait-enabled %s 60000" % LIST_PICTURES)
        check(combo_items(d) == DEMO_ALL, combo_items(d))

        # Later pages: page 1 of 旅行 is reset, page 2 trickles; pages 0 and 2 are listed.
        list_album_responsively(d, "旅行(50)")
        check(picture_numbers(thumbnails_requested(s, 1005)) == list(range(1, 25)) + [49, 50],
              "pictures of pages 0 and 2: %s" % picture_numbers(thumbnails_requested(s, 1005)))
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 1", "按钮4 enabled")
        # Page 1 of 夕阳 is cut: page 0's 24 pictures.
        list_album_responsively(d, "夕阳(25)")
        check(picture_numbers(thumbnails_requested(s, 1010)) == list(range(1, 25)),
              "%s" % picture_numbers(thumbnails_requested(s, 1010)))
        # First pages: cut (四行) and trickling (三行); the page is fetched again as page 0, which answers.
        list_album_responsively(d, "四行(16)")
        check(len(thumbnails_requested(s, 1004)) == 16, "四行 lists")
        seconds = list_album_responsively(d, "三行(15)", pinged=False)
        check(seconds > 3, "the first page trickled (%.1f s)" % seconds)
        check(len(thumbnails_requested(s, 1003)) == 15, "三行 lists")
        # Every page reset (家庭), 404 (单张), 503 on page 0 only (文件名): an empty grid, 按钮2 back, 按钮3 and 按钮4
        # off since there is nothing to download.
        for item in ("家庭(24)", "单张(1)", "文件名(8)"):
            list_album_responsively(d, item)
            check(d.ok("state %s" % DOWNLOAD_ALL) == "1 0", "%s: 按钮4 disabled" % item)
            check(d.ok("state %s" % DOWNLOAD_CHECKED) == "1 0", "%s: 按钮3 disabled" % item)
        for album in (1009, 1002, 1008):
            check(not thumbnails_requested(s, album), "album %d: no pictures" % album)
        # Still usable: 旅行 once more.
        list_album_responsively(d, "旅行(50)")
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 1", "按钮4 enabled again")
    finally:
        s.close()


def thumbnail_faults(artefacts):
    faults = {2: "reset", 3: "cut", 4: "trickle:2", 5: "hang", 6: "500", 7: "503", 8: "403"}
    options = []
    for n, kind in faults.items():
        options += ["--fault", "%s=/abpic/1003/IMG_%04d.jpg" % (kind, n)]
    s = Session(*options, artefacts=artefacts)
    try:
        d = s.driver
        list_albums(d, "demo")
        d.ok("wait-enabled %s 60000" % LIST_PICTURES)
        # The hung thumbnail holds its worker until 30 s of silence end it; the window answers meanwhile, the
        # other fourteen thumbnails are fetched, and 按钮2 comes back.
        seconds = list_album_responsively(d, "三行(15)", 120000)
        print("hung thumbnail: the listing took %.1f s" % seconds)
        check(28 <= seconds <= 60, "the listing ended %.1f s after it started" % seconds)
        check(len(thumbnails_requested(s, 1003)) == 15, "every thumbnail was asked for")
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 1", "按钮4 enabled")
        s.screenshot("thumbnail-faults")
        # The next listing works and is quick.
        seconds = list_album_responsively(d, "四行(16)")
        check(seconds < 20, "the next listing took %.1f s" % seconds)
        check(len(thumbnails_requested(s, 1004)) == 16, "四行 lists")
    finally:
        s.close()


def hung_index_pages(artefacts):
    """Three programs at once, each waiting out one hung page: the user's album index page and the album's first
    picture index page (both fetched on the window thread, whose wait every window message restarts, so the
    window is left alone until the next request shows in the service's log), and a later picture index page
    (fetched by a page worker; the window is pinged throughout)."""
    errors = {}

    def run(name, case):
        try:
            case()
        except Exception as error:  # reported below, with the case's name
            errors[name] = error

    def user_page():
        s = Session("--fault", "hang=/demo/album", artefacts=artefacts, desktop="pexo%d-a" % os.getpid())
        try:
            d = s.driver
            list_albums(d, "demo")
            wait_for_request(s, "/demo/album", 30)
            seconds = wait_for_request(s, "/demo/album/index/0", PAGE_TIMEOUT + 30)
            print("hung user's album index page: the wait ended after %.1f s" % seconds)
            check(PAGE_TIMEOUT - 5 <= seconds <= PAGE_TIMEOUT + 10, "the wait ended after %.1f s" % seconds)
            d.ok("wait-enabled %s 30000" % LIST_PICTURES)
            # Without the first page the page count is unknown: page 0 is fetched again and listed.
            check(combo_items(d) == DEMO_FIRST_PAGE, combo_items(d))
            list_album_responsively(d, "三行(15)")
            check(len(thumbnails_requested(s, 1003)) == 15, "the album lists afterwards")
        finally:
            s.close()

    def first_picture_page():
        s = Session("--fault", "hang=/demo/album/1005", artefacts=artefacts, desktop="pexo%d-b" % os.getpid())
        try:
            d = s.driver
            list_albums(d, "demo")
            d.ok("wait-enabled %s 60000" % LIST_PICTURES)
            start_album(d, "旅行(50)")
            wait_for_request(s, "/demo/album/1005", 30)
            seconds = wait_for_request(s, "/demo/album/1005/index/0", PAGE_TIMEOUT + 30)
            print("hung first picture index page: the wait ended after %.1f s" % seconds)
            check(PAGE_TIMEOUT - 5 <= seconds <= PAGE_TIMEOUT + 10, "the wait ended after %.1f s" % seconds)
            responsive_until(d, "enabled", 60000)
            check(picture_numbers(thumbnails_requested(s, 1005)) == list(range(1, 25)),
                  "page 0 listed: %s" % picture_numbers(thumbnails_requested(s, 1005)))
            list_album_responsively(d, "三行(15)")
            check(len(thumbnails_requested(s, 1003)) == 15, "the next album lists")
        finally:
            s.close()

    def later_picture_page():
        s = Session("--fault", "hang=/demo/album/1005/index/1", artefacts=artefacts,
                    desktop="pexo%d-c" % os.getpid())
        try:
            d = s.driver
            list_albums(d, "demo")
            d.ok("wait-enabled %s 60000" % LIST_PICTURES)
            seconds = list_album_responsively(d, "旅行(50)", 150000)
            print("hung later picture index page: the listing took %.1f s" % seconds)
            check(PAGE_TIMEOUT - 5 <= seconds <= PAGE_TIMEOUT + 20, "the listing took %.1f s" % seconds)
            check(picture_numbers(thumbnails_requested(s, 1005)) == list(range(1, 25)) + [49, 50],
                  "pages 0 and 2 listed: %s" % picture_numbers(thumbnails_requested(s, 1005)))
            seconds = list_album_responsively(d, "三行(15)")
            check(len(thumbnails_requested(s, 1003)) == 15 and seconds < 20, "the next album lists")
        finally:
            s.close()

    threads = [threading.Thread(target=run, args=(name, case)) for name, case in
               (("user's album index page", user_page), ("first picture index page", first_picture_page),
                ("later picture index page", later_picture_page))]
    for t in threads:
        t.start()
        time.sleep(3)  # the Wine starts one after another
    for t in threads:
        t.join()
    check(not errors, "; ".join("%s: %s" % item for item in errors.items()))


# --- Pages that lie -------------------------------------------------------------------------------------------

def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def gbk(text):
    return text.encode("gbk") if isinstance(text, str) else text


def index_page(kind, entries, last_link=None, inside_block=b"", close_block=True, tail=b""):
    """An index page in the service's layout. kind: "albums" (entries of purl, pname, pnum) or "pictures"
    (entries of psrc, pname); values are texts (GBK on the wire) or raw bytes."""
    keys = ("purl", "pname", "pnum") if kind == "albums" else ("psrc", "pname")
    page = gbk('<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv="Content-Type" content="text/html; charset=gbk">\n'
               '<title>demo的相册 - Pexo相册</title>\n</head>\n<body>\n<div class="nav"><a href="/">Pexo相册</a></div>\n'
               '<div id="forimgs">\n<script type="text/javascript">\nvar %s = [\n' % kind)
    page += b",\n".join(b"{" + b",".join(gbk(k) + b':"' + gbk(v) + b'"' for k, v in zip(keys, e)) + b"}"
                        for e in entries)
    page += b"\n];\n</script>\n" + inside_block + (b"</div>\n" if close_block else b"")
    if last_link:
        page += gbk('<div class="pages">共几页 <a href="%s">[尾页]</a></div>\n' % last_link)
    return page + b"</body>\n</html>\n" + tail


class Overrides:
    """Files in a temporary folder served at given paths: service options "--override PATH=FILE"."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="pexo-lying-")
        self.options = []

    def add(self, body, *paths):
        name = os.path.join(self.folder, "page%d.html" % len(self.options))
        with open(name, "wb") as f:
            f.write(body)
        for path in paths:
            self.options += ["--override", "%s=%s" % (path, name)]

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def thumb(port, album, n):
    return "http://127.0.0.1:%d/abpic/%d/IMG_%04d.jpg" % (port, album, n)


def download_all(d, folder):
    d.ok("press %s" % DOWNLOAD_ALL)
    d.ok("folder 60000")
    d.ok("folder-choose %s" % q(to_windows_path(folder)))
    d.ok("folder-ok")
    box = d.ok("msgbox 300000")
    d.ok("msgbox-press 1")
    d.ok("wait-enabled %s 30000" % DOWNLOAD_ALL)
    return box


def lying_entries_and_bytes(artefacts):
    """An album index page with lying counts and bad names, and a picture index page with addresses that are not
    http addresses and names with NUL bytes, invalid GBK and a lone lead byte; both pages end in a lone lead byte."""
    port = free_port()
    pages = Overrides()
    albums = [
        ("/demo/album/1003", "三行", "-5"),
        ("/demo/album/1004", "四行", "abc"),
        ("/demo/album/1005", b"\xc2\xc3\x00\xd0\xd0", "50"),     # 旅 NUL 行
        ("/demo/album/1010", b"\x80\xff\x81\x20x", "25"),        # no GBK character at all
        ("/demo/album/1009", b"abc\xb0", "24"),                  # a lead byte before the closing quote
        ("/demo/album/1002", "单张", "99999999999999999999"),
        ("/demo/album/1008", "文件名", ""),
    ]
    pages.add(index_page("albums", albums, tail=b"\xb0"), "/demo/album", "/demo/album/index/0")
    pictures = [
        ("", "空地址"),
        ("javascript:alert(1)", "脚本"),
        ("ftp://127.0.0.1:%d/abpic/1003/IMG_0003.jpg" % port, "文件传输"),
        ("/abpic/1003/IMG_0004.jpg", "相对"),
        ("http://127.0.0.1:%d/abpic/1003/%s.jpg" % (port, "a" * 5000), "很长"),
        (thumb(port, 1003, 1), b"\xc3\xfb\x00\xd7\xd6"),                # 名 NUL 字
        (thumb(port, 1003, 2), b"\x80\xff\x81"),
        (thumb(port, 1003, 5), b"x\xb0"),
    ]
    pages.add(index_page("pictures", pictures, tail=b"\xb0"), "/demo/album/1002", "/demo/album/1002/index/0")
    s = Session("--port", str(port), *pages.options, artefacts=artefacts)
    target = tempfile.mkdtemp(prefix="pexo-download-")
    try:
        d = s.driver
        list_albums(d, "demo")
        d.ok("wait-enabled %s 60000" % LIST_PICTURES)
        items = combo_items(d)
        print("albums:", items)
        check(items.startswith("7 "), "seven albums: %s" % items)
        # Whatever the counts say, the album's pages decide how many pictures are listed.
        list_album_responsively(d, "三行(-5)")
        check(len(thumbnails_requested(s, 1003)) == 15, "三行 lists its 15 pictures")
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 1", "按钮4 enabled")
        # A count that is no number is taken as an empty album.
        start_album(d, "四行(abc)")
        box = d.ok("msgbox 20000")
        check(box.startswith('"提示" "该相册还没有图片。"'), box)
        d.ok("msgbox-press 1")
        for index, album in ((2, 1005), (3, 1010), (4, 1009)):
            d.ok("combo-select %s %d" % (COMBO, index))
            d.ok("press %s" % LIST_PICTURES)
            responsive_until(d, "enabled", 120000)
            check(thumbnails_requested(s, album), "album %d lists" % album)
        check(len(thumbnails_requested(s, 1005)) == 50, "旅行 whole")

        # The picture page: eight records, three of them fetchable thumbnails (the very long one is asked for
        # and answers 404).
        d.ok("combo-select %s 5" % COMBO)
        d.ok("press %s" % LIST_PICTURES)
        responsive_until(d, "enabled", 120000)
        asked = thumbnails_requested(s, 1003)
        check(any(len(p) > 5000 for p in asked), "the long address was asked for")
        box = download_all(d, target)
        print("download:", box)
        check(sorted(os.listdir(target)) == ["IMG_0001.jpg", "IMG_0002.jpg", "IMG_0005.jpg"],
              "files %s" % sorted(os.listdir(target)))
        check(box.startswith('"提示" "已成功下载3张图片，5张下载失败。"'), box)
        # Still usable.
        list_album_responsively(d, "三行(-5)")
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 1", "按钮4 enabled")
    finally:
        s.close()
        pages.remove()
        shutil.rmtree(target, ignore_errors=True)


def huge_broken_and_endless_index_pages(artefacts):
    """A 50 MB picture index page, a data block without its end, a last-page link to page 999999, and an album of
    2,000 real index pages."""
    port = free_port()
    pages = Overrides()
    # 四行: 16 real pictures, then 50 MB of GBK text inside the data block.
    padding = ("<!-- " + "相册图片" * 64 + " -->\n").encode("gbk")
    padding = padding * (50 * 1024 * 1024 // len(padding))
    pages.add(index_page("pictures", [(thumb(port, 1004, n), "图%d" % n) for n in range(1, 17)],
                         inside_block=padding), "/demo/album/1004", "/demo/album/1004/index/0")
    # 三行: its 15 pictures in a data block that never ends.
    pages.add(index_page("pictures", [(thumb(port, 1003, n), "图%d" % n) for n in range(1, 16)], close_block=False),
              "/demo/album/1003", "/demo/album/1003/index/0")
    # 夕阳: the first page claims 1,000,000 pages; with one picture a page the service has 25 real ones.
    pages.add(index_page("pictures", [(thumb(port, 1010, 1), "夕阳1")], last_link="/demo/album/1010/index/999999"),
              "/demo/album/1010")
    s = Session("--port", str(port), "--pictures-per-page", "1", "--big", "2000", *pages.options,
                artefacts=artefacts)
    try:
        d = s.driver
        list_albums(d, "demo")
        d.ok("wait-enabled %s 60000" % LIST_PICTURES)
        seconds = list_album_responsively(d, "四行(16)", 300000)
        print("50 MB page: %.1f s" % seconds)
        check(len(thumbnails_requested(s, 1004)) == 16, "the 50 MB page lists its 16 pictures")
        list_album_responsively(d, "三行(15)")
        check(not thumbnails_requested(s, 1003), "a data block without its end lists nothing")
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 0", "按钮4 disabled")
        start = time.time()
        start_album(d, "夕阳(25)")
        maximum = 0
        while time.time() - start < 30 and not maximum:
            maximum = int(d.ok("progress %s" % PROGRESS).split()[2])
            time.sleep(0.1)
        check(maximum == 10000 + 2 * 25, "the page count is held at 10,000: bar maximum %d" % maximum)
        seconds = responsive_until(d, "enabled", 300000)
        print("10,000 pages: %.1f s" % (time.time() - start))
        check(picture_numbers(thumbnails_requested(s, 1010)) == list(range(1, 26)), "the 25 real pages listed")
        check(requested(s, "/demo/album/1010/index/9999") and not requested(s, "/demo/album/1010/index/10000"),
              "pages 0 .. 9,999 asked for")
        new_user(d, "bench")
        d.ok("wait-text %s %s 60000" % (COMBO, q("大相册(2000)")))
        start = time.time()
        responsive_until_listed = list_album_responsively(d, "大相册(2000)", 600000)
        print("2,000 pages: %.1f s" % responsive_until_listed)
        check(len(thumbnails_requested(s, 1013)) == 2000, "2,000 pictures")
    finally:
        s.close()
        pages.remove()


if __name__ == "__main__":
    cases = [
        ("AlbumIndexPageFaults", album_index_page_faults),
        ("PictureIndexPageFaults", picture_index_page_faults),
        ("ThumbnailFaults", thumbnail_faults),
        ("HungIndexPages", hung_index_pages),
        ("LyingEntriesAndBytes", lying_entries_and_bytes),
        ("HugeBrokenAndEndlessIndexPages", huge_broken_and_endless_index_pages),
    ]
    chosen = sys.argv[2:]
    sys.exit(1 if run_tests([c for c in cases if not chosen or c[0] in chosen], sys.argv[1],
                            suite="e2e_faults") else 0)
