"""Listing a user's albums and an album's pictures, as a person does it, against the demo album service."""
import sys
import time

from harness import Session, check, q, run_tests

EDIT, LIST_ALBUMS, COMBO, LIST_PICTURES, DOWNLOAD_CHECKED, DOWNLOAD_ALL, QUIT = (
    "0x0047", "0x004a", "0x004b", "0x004c", "0x004d", "0x004e", "0x0052")
SCROLL, CONTAINER, PROGRESS = "0x0061", "0x0312", "0x006c"


def list_albums(d, user, key=None):
    d.ok("type %s %s" % (EDIT, q(user)))
    if key:
        d.ok("key %s %s" % (EDIT, key))
    else:
        d.press(LIST_ALBUMS)


def listed_demo(d):
    """Lists the albums of `demo` and waits until they are there."""
    list_albums(d, "demo")
    d.ok("wait-enabled %s 60000" % LIST_PICTURES)


def list_album(d, item, timeout=120000):
    d.ok("combo-select %s %s" % (COMBO, q(item)))
    d.press(LIST_PICTURES)
    d.ok("wait-enabled %s %d" % (LIST_PICTURES, timeout))


def albums_of_ascii_and_chinese_users(artefacts):
    s = Session(artefacts=artefacts)
    try:
        d = s.driver
        listed_demo(d)
        items = d.ok("combo-items %s" % COMBO)
        check(items.startswith("10 ") and '"旅行(50)"' in items and '"多一张(601)"' in items, items)
        check(d.ok("combo-selected %s" % COMBO).startswith("0 "), "the first album is selected")
        d.ok("clear %s" % EDIT)
        list_albums(d, "小明", key="enter")
        d.ok("wait-text %s %s 60000" % (COMBO, q("风景(30)")))
        check(d.ok("combo-items %s" % COMBO) == '2 "风景(30)" "海滩(3)"', "albums of 小明")
        check("/%D0%A1%C3%F7/album" in s.service.requests() or "/小明/album" in s.service.requests(),
              "the Chinese user name went into the address")
    finally:
        s.close()


def unknown_user_and_other_keys(artefacts):
    s = Session(artefacts=artefacts)
    try:
        d = s.driver
        d.ok("type %s %s" % (EDIT, q("demo")))
        d.ok("key %s a" % EDIT)
        check(d.ok("combo-items %s" % COMBO) == "0", "a key other than Enter lists nothing")
        d.ok("clear %s" % EDIT)
        list_albums(d, "nobody-here")
        d.ok("sleep 1500")
        check(d.ok("combo-items %s" % COMBO) == "0", "an unknown user has no albums")
        check(d.ok("state %s" % LIST_PICTURES) == "1 0", "按钮2 stays disabled")
        d.ok("clear %s" % EDIT)
        d.press(LIST_ALBUMS)
        box = d.ok("msgbox 20000")
        check(box.startswith('"提示" "请输入Pexo用户名。"'), box)
        d.ok("msgbox-press 1")
    finally:
        s.close()


def albums_of_zero_one_sixteen_and_601_pictures(artefacts):
    s = Session(artefacts=artefacts)
    try:
        d = s.driver
        listed_demo(d)
        d.ok("combo-select %s %s" % (COMBO, q("空相册(0)")))
        d.press(LIST_PICTURES)
        box = d.ok("msgbox 20000")
        check(box.startswith('"提示" "该相册还没有图片。"'), box)
        d.ok("msgbox-press 1")

        list_album(d, "单张(1)")
        check(d.ok("state %s" % SCROLL) == "1 0", "one picture: the scroll bar stays disabled")
        check(d.ok("state %s" % DOWNLOAD_CHECKED) == "1 1", "按钮3 enabled after a listing")

        list_album(d, "四行(16)")
        check(d.ok("state %s" % SCROLL) == "1 1", "sixteen pictures: the scroll bar is enabled")
        before = d.ok("rect %s" % CONTAINER)
        d.ok("wheel %s -120" % SCROLL)
        d.ok("wheel %s -120" % SCROLL)
        after = d.ok("rect %s" % CONTAINER)
        check(int(after.split()[1]) < int(before.split()[1]), "the wheel moves the grid up: %s -> %s" % (before, after))

        list_album(d, "多一张(601)", timeout=300000)
        check(d.ok("state %s" % SCROLL) == "1 1", "601 pictures: the scroll bar is enabled")
        # Click the first thumbnail: it is framed; right-click it: the menu offers 重新载入.
        d.ok("click %s 80 80" % CONTAINER)
        s.screenshot("listed-601")
        d.ok("rclick %s 80 80" % CONTAINER)
        menu = d.ok("menu 10000")
        check('"重新载入"' in menu and '"全选"' in menu and '"刷新"' in menu, menu)
        d.ok("menu-close")
        # Right-clicking the container's empty space: no 重新载入.
        d.ok("rclick %s 5 5" % CONTAINER)
        menu = d.ok("menu 10000")
        check('"重新载入"' not in menu and '"全选"' in menu, menu)
        d.ok("menu-pick %s" % q("全选"))
    finally:
        s.close()


def busy_listing_refuses_refresh_and_close(artefacts):
    s = Session("--latency", "150", artefacts=artefacts)
    try:
        d = s.driver
        listed_demo(d)
        d.ok("combo-select %s %s" % (COMBO, q("满一框(600)")))
        d.press(LIST_PICTURES)
        # The bar moves through the index pages, the records and the cells (25 pages + 2 x 600 steps), then
        # goes back to 0 while the thumbnails arrive.
        seen = set()
        for _ in range(60):
            position, low, high = (int(x) for x in d.ok("progress %s" % PROGRESS).split())
            check(low == 0 and 0 <= position <= high, "position %d in %d..%d" % (position, low, high))
            seen.add(position)
            time.sleep(0.03)
        check(high == 25 + 2 * 600, "range maximum %d" % high)
        check(len([p for p in seen if p > 0]) >= 3, "the bar moved: %s" % sorted(seen))
        d.ok("close")
        box = d.ok("msgbox 20000")
        check(box.startswith('"提示" "程序正忙，请稍后再关闭。"'), box)
        d.ok("msgbox-press 1")
        d.ok("wait-enabled %s 300000" % LIST_PICTURES)
        check(d.ok("progress %s" % PROGRESS).split()[0] == "0", "the bar is back at 0")
        d.ok("close")
        check(d.ok("wait-exit 30000") == "0", "after the listing, closing ends the program")
    finally:
        s.close()


def failing_index_page_and_thumbnail(artefacts):
    s = Session("--fault", "500=/demo/album/1005/index/1", "--fault", "404=/abpic/1005/IMG_0002.jpg",
                artefacts=artefacts)
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 1", "the rest of the album still lists")
        log = s.service.requests()
        check("/abpic/1005/IMG_0001.jpg" in log and "/abpic/1005/IMG_0003.jpg" in log, "other thumbnails fetched")
        check("/demo/album/1005/index/2" in log, "the pages after the failing one are fetched")
        s.screenshot("failing-page")
    finally:
        s.close()


def request_heads(log):
    """The request heads of the service's log, in the order they arrived."""
    return [part.split("\n", 1)[1] for part in log.split("=== request ")[1:]]


def cookies_of_pages_go_with_every_thumbnail(artefacts):
    # Every answer sets two cookies: one for the whole site, one for the album's thumbnails only.
    s = Session("--set-cookie", "visit=1; path=/", "--set-cookie", "thumbs=1; path=/abpic/1005/",
                artefacts=artefacts)
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        heads = request_heads(s.service.requests())
        thumbs = [h for h in heads if h.startswith("GET /abpic/")]
        check(len(thumbs) == 50, "%d thumbnail requests" % len(thumbs))
        # Byte for byte the request the platform sends with its own cookie store: the most specific path first.
        for n in range(1, 51):
            expected = ("GET /abpic/1005/IMG_%04d.jpg HTTP/1.0\r\nHost: 127.0.0.1:%d\r\n"
                        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\nAccept: */*\r\n"
                        "Cookie: thumbs=1; visit=1\r\n\r\n" % (n, s.service.port))
            check(expected in thumbs, "thumbnail %d sent as the platform would: %r" % (n, thumbs[:2]))
        pages = [h for h in heads if h.startswith("GET /demo/album/1005")]
        check(len(pages) >= 3, "%d index page requests" % len(pages))
        for page in pages[1:]:
            check("visit=1" in page and "thumbs=1" not in page, "the thumbnails' cookie stays with them: %r" % page)
    finally:
        s.close()


if __name__ == "__main__":
    sys.exit(1 if run_tests([
        ("AlbumsOfAsciiAndChineseUsers", albums_of_ascii_and_chinese_users),
        ("UnknownUserAndOtherKeys", unknown_user_and_other_keys),
        ("AlbumsOfZeroOneSixteenAnd601Pictures", albums_of_zero_one_sixteen_and_601_pictures),
        ("BusyListingRefusesClose", busy_listing_refuses_refresh_and_close),
        ("FailingIndexPageAndThumbnail", failing_index_page_and_thumbnail),
        ("CookiesOfPagesGoWithEveryThumbnail", cookies_of_pages_go_with_every_thumbnail),
    ], sys.argv[1], suite="e2e_listing") else 0)
