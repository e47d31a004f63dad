"""Downloading ticked pictures and whole albums through the folder browser, checked byte for byte."""
import hashlib
import os
import shutil
import sys
import tempfile
import time

from harness import Session, box_says, check, q, run_tests, to_windows_path
from test_listing import (CONTAINER, DOWNLOAD_ALL, DOWNLOAD_CHECKED, LIST_PICTURES, list_album, listed_demo)


def tick(d, *numbers):
    for n in numbers:
        column, row = (n - 1) % 5, (n - 1) // 5
        d.ok("click %s %d %d" % (CONTAINER, 12 + 166 * column + 20, 12 + 179 * row + 143 + 10))


def download(d, button, folder, expect, opens_there=False):
    """Downloads into folder. With opens_there, the browser opens with that folder selected, or with nothing
    selected when Wine's tree cannot find it (a folder on its path changed since the tree listed it), and OK
    alone takes it."""
    d.press(button)
    shown = d.ok("folder 60000")
    if opens_there:
        check(shown.endswith(" " + q(os.path.basename(folder))) or shown.endswith(' ""'),
              "the browser opened at %s" % shown)
    else:
        d.ok("folder-choose %s" % q(to_windows_path(folder)))
    d.ok("folder-ok")
    box = d.ok("msgbox 300000")
    d.ok("msgbox-press 1")
    check(box_says(box, expect), "report %s, expected %s" % (box, expect))
    d.ok("wait-enabled %s 30000" % button)


def cancel(d, button):
    """Presses the button, cancels the folder browser and answers the program's "没有选择保存路径！"."""
    d.press(button)
    d.ok("folder 60000")
    d.ok("folder-cancel")
    box = d.ok("msgbox 20000")
    d.ok("msgbox-press 1")
    check(box_says(box, "没有选择保存路径！"), box)


def digests(folder):
    result = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = hashlib.sha256(f.read()).hexdigest()
    return result


def pictures_of(manifest, album):
    return {p["number"]: p for p in manifest["pictures"] if p["album"] == album}


def folder():
    return tempfile.mkdtemp(prefix="pexo-download-")


def selection_is_saved_exactly(artefacts):
    s = Session(artefacts=artefacts)
    target = folder()
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        tick(d, 3, 7, 12)
        download(d, DOWNLOAD_CHECKED, target, "已成功下载3张图片。")
        album = pictures_of(s.service.manifest(), 1005)
        expected = {os.path.basename(album[n]["full"]): album[n]["sha256"] for n in (3, 7, 12)}
        check(digests(target) == expected, "files %s" % sorted(digests(target)))
        # The same selection twice more, pressing only OK in the browser, which opens at the last folder: the
        # pictures are there already, so nothing is saved again and nothing is overwritten.
        download(d, DOWNLOAD_CHECKED, target, "已成功下载0张图片，3张已存在。", opens_there=True)
        download(d, DOWNLOAD_CHECKED, target, "已成功下载0张图片，3张已存在。", opens_there=True)
        check(digests(target) == expected, "files %s" % sorted(digests(target)))
        # Cancelling still chooses nothing.
        cancel(d, DOWNLOAD_CHECKED)
        check(len(os.listdir(target)) == 3, "cancelling saved nothing")
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def only_the_failed_pictures_are_missing(s, target, failed):
    files = digests(target)
    album = pictures_of(s.service.manifest(), 1005)
    check(len(files) == len(album) - len(failed), "%d files: %s" % (len(files), sorted(files)))
    for n, p in album.items():
        name = os.path.basename(p["full"])
        if n in failed:
            check(name not in files, "%s failed and must leave no file" % name)
        else:
            check(files.get(name) == p["sha256"], "%s differs from the service's picture" % name)


def failures_are_reported_and_leave_no_file(artefacts):
    s = Session("--fault", "404=/pic/1005/IMG_0002.jpg", "--fault", "500=/pic/1005/IMG_0009.jpg",
                "--fault", "cut=/pic/1005/IMG_0010.jpg", "--fault", "cut-unsized=/pic/1005/IMG_0011.jpg",
                artefacts=artefacts)
    target = folder()
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        download(d, DOWNLOAD_ALL, target, "已成功下载46张图片，4张下载失败。")
        only_the_failed_pictures_are_missing(s, target, (2, 9, 10, 11))
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def failed_pictures_are_ticked_for_a_retry(artefacts):
    """Three pictures fail once each (two error statuses and a cut body; a reset the platform retries by itself):
    after downloading all, exactly those three are ticked, whatever was ticked before, so 下载选中图片 saves just
    them; a download without failures then leaves the ticks as they are."""
    failing = {4: "once+500", 17: "once+404", 33: "once+cut"}
    faults = []
    for number, kind in failing.items():
        faults += ["--fault", "%s=/pic/1005/IMG_%04d.jpg" % (kind, number)]
    s = Session(*faults, artefacts=artefacts)
    target, retry, again = folder(), folder(), folder()
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        tick(d, 1, 2)
        download(d, DOWNLOAD_ALL, target, "已成功下载47张图片，3张下载失败。\\n"
                 "下载失败的图片已勾选并标记[失败]，点击“下载选中图片”可以重试。")
        only_the_failed_pictures_are_missing(s, target, tuple(failing))
        album = pictures_of(s.service.manifest(), 1005)
        expected = {os.path.basename(album[n]["full"]): album[n]["sha256"] for n in failing}
        download(d, DOWNLOAD_CHECKED, retry, "已成功下载3张图片。")
        check(digests(retry) == expected, "the retry saved %s" % sorted(digests(retry)))
        download(d, DOWNLOAD_CHECKED, again, "已成功下载3张图片。")
        check(digests(again) == expected, "the ticks stayed: %s" % sorted(digests(again)))
    finally:
        s.close()
        for path in (target, retry, again):
            shutil.rmtree(path, ignore_errors=True)


def a_grown_album_downloaded_again_saves_only_what_is_new(artefacts):
    """旅行 is downloaded whole; then the service adds 30 pictures and gives picture 3 other bytes, and the album is
    listed and downloaded whole again into the same folder. Only the 30 new pictures and the changed one (as
    IMG_0003(1).jpg) are saved; the 49 others are already there, and every old file keeps its bytes and its
    modification time. One new picture fails once: it alone is ticked, the retry saves it alone, and a third
    download finds all 80 there."""
    s = Session("--grow", "1005:30:3", "--fault", "once+500=/pic/1005/IMG_0060.jpg", artefacts=artefacts)
    target = folder()
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        download(d, DOWNLOAD_ALL, target, "已成功下载50张图片。")
        old = pictures_of(s.service.manifest(), 1005)
        before = {name: os.stat(os.path.join(target, name)).st_mtime_ns for name in os.listdir(target)}
        check(digests(target) == {os.path.basename(p["full"]): p["sha256"] for p in old.values()}, "first download")

        s.service.grow()
        list_album(d, "旅行(50)")
        download(d, DOWNLOAD_ALL, target, "已成功下载30张图片，49张已存在，1张下载失败。\\n"
                 "下载失败的图片已勾选并标记[失败]，点击“下载选中图片”可以重试。")
        grown = pictures_of(s.service.manifest("--grown"), 1005)
        check(len(grown) == 80 and grown[3]["sha256"] != old[3]["sha256"], "the site grew")
        expected = {os.path.basename(p["full"]): p["sha256"] for p in old.values()}
        expected.update({os.path.basename(grown[n]["full"]): grown[n]["sha256"] for n in range(51, 81) if n != 60})
        expected["IMG_0003(1).jpg"] = grown[3]["sha256"]
        check(digests(target) == expected, "saved %s" % sorted(set(digests(target)) ^ set(expected)))
        touched = [name for name, mtime in before.items() if os.stat(os.path.join(target, name)).st_mtime_ns != mtime]
        check(not touched, "old files touched: %s" % touched)

        download(d, DOWNLOAD_CHECKED, target, "已成功下载1张图片。")
        expected["IMG_0060.jpg"] = grown[60]["sha256"]
        check(digests(target) == expected, "the retry saved %s" % sorted(set(digests(target)) ^ set(expected)))
        download(d, DOWNLOAD_ALL, target, "已成功下载0张图片，80张已存在。")
        check(digests(target) == expected, "nothing saved a third time")
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def hung_reset_and_trickling_pictures(artefacts):
    """A server that never answers one picture, resets another and sends a third a byte a millisecond: the
    download ends once the silent one has given no sign for a minute, and reports both failures."""
    s = Session("--fault", "hang=/pic/1005/IMG_0004.jpg", "--fault", "reset=/pic/1005/IMG_0005.jpg",
                "--fault", "trickle:1=/pic/1005/IMG_0008.jpg", artefacts=artefacts)
    target = folder()
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "旅行(50)")
        start = time.time()
        download(d, DOWNLOAD_ALL, target, "已成功下载48张图片，2张下载失败。")
        seconds = time.time() - start
        check(55 < seconds < 120, "the download ended after %.0f s" % seconds)
        # The silent picture's download is still held by the service; once the program ends nothing of it stays.
        d.ok("close")
        check(d.ok("wait-exit 30000") == "0", "closing after the download ends the program")
        only_the_failed_pictures_are_missing(s, target, (4, 5))
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def same_base_names_and_unsafe_names_are_all_kept(artefacts):
    s = Session(artefacts=artefacts)
    target = folder()
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "文件名(8)")
        download(d, DOWNLOAD_ALL, target, "已成功下载8张图片。")
        names = set(os.listdir(target))
        check(len(names) == 8, sorted(names))
        check({"photo.jpg", "photo(1).jpg", "photo(2).jpg", "_con.jpg", "img", "x_y.jpg"} <= names, sorted(names))
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def refusals_and_cancel(artefacts):
    s = Session(artefacts=artefacts)
    try:
        d = s.driver
        # Nothing listed yet: the buttons are disabled; the program says so if they are reached anyway.
        check(d.ok("state %s" % DOWNLOAD_ALL) == "1 0", "按钮4 disabled before any listing")
        listed_demo(d)
        list_album(d, "三行(15)")
        d.press(DOWNLOAD_CHECKED)
        box = d.ok("msgbox 20000")
        d.ok("msgbox-press 1")
        check(box.startswith('"提示" "没有选中的图片！"'), box)
        tick(d, 1)
        cancel(d, DOWNLOAD_CHECKED)
        for button in (LIST_PICTURES, DOWNLOAD_CHECKED, DOWNLOAD_ALL):
            d.ok("wait-enabled %s 10000" % button)
        # A folder so deep that no picture's name fits beside it (255 of the 259 bytes a path may take): said
        # once, and nothing is written.
        deep = folder()
        path = deep
        while len(to_windows_path(path)) < 255:
            path = os.path.join(path, "d" * min(60, 255 - len(to_windows_path(path)) - 1))
        os.makedirs(path)
        check(len(to_windows_path(path)) == 255, to_windows_path(path))
        download(d, DOWNLOAD_ALL, path, "保存路径太长，请选择较短的路径！")
        check(os.listdir(path) == [], "nothing was written: %s" % os.listdir(path))
        shutil.rmtree(deep, ignore_errors=True)
    finally:
        s.close()


if __name__ == "__main__":
    sys.exit(1 if run_tests([
        ("SelectionIsSavedExactly", selection_is_saved_exactly),
        ("FailuresAreReportedAndLeaveNoFile", failures_are_reported_and_leave_no_file),
        ("FailedPicturesAreTickedForARetry", failed_pictures_are_ticked_for_a_retry),
        ("AGrownAlbumDownloadedAgainSavesOnlyWhatIsNew", a_grown_album_downloaded_again_saves_only_what_is_new),
        ("HungResetAndTricklingPictures", hung_reset_and_trickling_pictures),
        ("SameBaseNamesAndUnsafeNamesAreAllKept", same_base_names_and_unsafe_names_are_all_kept),
        ("RefusalsAndCancel", refusals_and_cancel),
    ], sys.argv[1], suite="e2e_download") else 0)
