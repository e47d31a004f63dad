"""What a restless user does while the program works: clicks on every control during a listing and during a
download, closing at each stage, and a second instance of the program downloading into the same folder."""
import collections
import os
import re
import shutil
import sys
import tempfile
import time

from harness import PEXO, Program, Session, check, q, run_tests, to_windows_path
from test_download import digests, download, pictures_of, tick
from test_listing import (COMBO, CONTAINER, DOWNLOAD_ALL, DOWNLOAD_CHECKED, EDIT, LIST_ALBUMS, LIST_PICTURES, PROGRESS,
                          QUIT, SCROLL, list_album, listed_demo)

BUTTONS = (LIST_ALBUMS, LIST_PICTURES, DOWNLOAD_CHECKED, DOWNLOAD_ALL)


def running(d, control):
    """True while the control that a running job disabled stays disabled."""
    return d.ok("state %s" % control) == "1 0"


def told_busy(d, text, stage):
    """The program answered the last action with its busy box saying text; the box is closed afterwards."""
    box = d.ok("msgbox 20000")
    check(box.startswith('"提示" "%s"' % text), "%s: %s" % (stage, box))
    d.ok("msgbox-press 1")


def close_is_refused(d, stage):
    d.ok("close")
    told_busy(d, "程序正忙，请稍后再关闭。", stage)


def holds_the_album(s, album, folder):
    pictures = pictures_of(s.service.manifest(), album)
    check(sorted(digests(folder).values()) == sorted(p["sha256"] for p in pictures.values()),
          "the files in %s are album %d's %d pictures" % (folder, album, len(pictures)))


def no_menu(d):
    line = d("menu 1500")
    check(line.startswith("error"), "a menu opened while the program was busy: " + line)


def clicks_on_every_control_while_listing(artefacts):
    s = Session("--latency", "40", artefacts=artefacts)
    target = tempfile.mkdtemp(prefix="pexo-clicks-")
    try:
        d = s.driver
        listed_demo(d)
        items = d.ok("combo-items %s" % COMBO)
        d.ok("combo-select %s %s" % (COMBO, q("满一框(600)")))
        d.press(LIST_PICTURES)
        for button in BUTTONS:
            check(d.ok("state %s" % button) == "1 0", "%s is disabled during the listing" % button)
            check(d("press %s" % button).startswith("error"), "a disabled button cannot be pressed")
        # Enter in the user-name box would list albums; another album chosen; the grid clicked, wheeled and
        # right-clicked (no menu while listing); closing refused.
        d.ok("key %s enter" % EDIT)
        told_busy(d, "程序正忙，请稍后再列出。", "Enter during the listing")
        d.ok("type %s %s" % (EDIT, q("x")))
        d.ok("combo-select %s %s" % (COMBO, q("旅行(50)")))
        d.ok("click %s 80 80" % CONTAINER)
        d.ok("click %s 30 170" % CONTAINER)
        d.ok("wheel %s -120" % SCROLL)
        d.ok("rclick %s 80 80" % CONTAINER)
        no_menu(d)
        close_is_refused(d, "listing")
        check(running(d, DOWNLOAD_ALL), "the pokes ended before the listing did; make the listing slower")

        d.ok("wait-enabled %s 300000" % LIST_PICTURES)
        check(d.ok("combo-items %s" % COMBO) == items, "Enter during the listing listed no albums")
        check(d.ok("progress %s" % PROGRESS).split()[0] == "0", "the bar is back at 0")
        for button in BUTTONS:
            check(d.ok("state %s" % button) == "1 1", "%s is enabled again" % button)
        # The grid is whole: all 600 pictures download, each equal to the service's.
        download(d, DOWNLOAD_ALL, target, "已成功下载600张图片。")
        holds_the_album(s, 1006, target)
        d.ok("close")
        check(d.ok("wait-exit 30000") == "0", "closing afterwards ends the program")
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def clicks_on_every_control_while_downloading(artefacts):
    # Each picture takes a quarter of a second, so the 600 last about 15 s: every poke below, the close last of
    # all, lands while the download runs. (At the download's full speed the pokes could outlast it, and the close
    # then met the report box instead of the busy one.)
    s = Session("--latency", "30", "--fault", "delay:220=/pic/*", artefacts=artefacts)
    target = tempfile.mkdtemp(prefix="pexo-clicks-")
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "满一框(600)", timeout=300000)
        d.ok("rclick %s 5 5" % CONTAINER)
        d.ok("menu-pick %s" % q("全选"))
        d.press(DOWNLOAD_CHECKED)
        d.ok("folder 60000")
        close_is_refused(d, "the folder browser")
        d.ok("folder-choose %s" % q(to_windows_path(target)))
        d.ok("folder-ok")
        for button in (LIST_PICTURES, DOWNLOAD_CHECKED, DOWNLOAD_ALL):
            check(d.ok("state %s" % button) == "1 0", "%s is disabled during the download" % button)
        # 按钮1 stays enabled but lists nothing while pictures download, and says why; Enter too.
        items = d.ok("combo-items %s" % COMBO)
        d.press(LIST_ALBUMS)
        told_busy(d, "程序正忙，请稍后再列出。", "按钮1 during the download")
        d.ok("key %s enter" % EDIT)
        told_busy(d, "程序正忙，请稍后再列出。", "Enter during the download")
        # The menu works during a download: unticking everything does not shrink the running download, and
        # 刷新 does not relist under it but says why.
        d.ok("rclick %s 5 5" % CONTAINER)
        d.ok("menu-pick %s" % q("全不选"))
        d.ok("rclick %s 5 5" % CONTAINER)
        d.ok("menu-pick %s" % q("刷新"))
        told_busy(d, "程序正忙，请稍后再刷新。", "刷新 during the download")
        tick(d, 1, 2)
        d.ok("wheel %s -360" % SCROLL)
        close_is_refused(d, "download")
        check(running(d, DOWNLOAD_ALL), "the pokes ended before the download did; make it slower")
        box = d.ok("msgbox 300000")
        d.ok("msgbox-press 1")
        check(box.startswith('"提示" "已成功下载600张图片。"'), box)
        check(d.ok("combo-items %s" % COMBO) == items, "no album listing ran")
        holds_the_album(s, 1006, target)
        # What was ticked during the download counts now: the two pictures ticked after 全不选.
        second = tempfile.mkdtemp(prefix="pexo-clicks-", dir=target)
        download(d, DOWNLOAD_CHECKED, second, "已成功下载2张图片。")
        check(sorted(digests(second)) == ["IMG_0001.jpg", "IMG_0002.jpg"], sorted(digests(second)))
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def closing_at_each_stage(artefacts):
    s = Session("--fault", "delay:3000=/demo/album", "--fault", "delay:3000=/demo/album/1005",
                "--fault", "delay:6000=/abpic/1005/IMG_0050.jpg", artefacts=artefacts)
    target = tempfile.mkdtemp(prefix="pexo-close-")
    try:
        d = s.driver

        d.ok("type %s %s" % (EDIT, q("demo")))
        d.press(LIST_ALBUMS)
        close_is_refused(d, "the user's album page")
        d.ok("wait-enabled %s 60000" % LIST_PICTURES)
        d.ok("combo-select %s %s" % (COMBO, q("旅行(50)")))
        d.press(LIST_PICTURES)
        close_is_refused(d, "the album's first page")
        time.sleep(3.5)
        check(running(d, LIST_PICTURES), "the last thumbnail is still on its way")
        close_is_refused(d, "the thumbnails")
        d.ok("wait-enabled %s 60000" % LIST_PICTURES)
        # Closing while the download's report is shown: the program ends once the box is answered, and
        # every picture is in the folder.
        tick(d, 1, 2, 3)
        d.press(DOWNLOAD_CHECKED)
        d.ok("folder 60000")
        d.ok("folder-choose %s" % q(to_windows_path(target)))
        d.ok("folder-ok")
        box = d.ok("msgbox 60000")
        check(box.startswith('"提示" "已成功下载3张图片。"'), box)
        d.ok("close")
        line = d("msgbox-press 1")
        code = d.ok("wait-exit 30000")
        check(code == "0", "exit code %s (box answer: %s)" % (code, line))
        check(len(os.listdir(target)) == 3, "the three pictures stay: %s" % os.listdir(target))
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def download_clicked_right_after_each_listing(artefacts):
    """50 rounds of: choose an album, click 列出图片 and at once 下载该相册所有图片 (still enabled from the round
    before), as a quick person clicks ahead of the program. The download click reaches the program while the
    listing runs; it must be carried out when the listing ends, never dropped."""
    s = Session(artefacts=artefacts)
    root = tempfile.mkdtemp(prefix="pexo-quick-")
    albums = (("三行(15)", 15), ("单张(1)", 1), ("四行(16)", 16), ("家庭(24)", 24), ("夕阳(25)", 25))
    try:
        d = s.driver
        listed_demo(d)
        list_album(d, "三行(15)")
        for round in range(50):
            name, count = albums[round % len(albums)]
            target = os.path.join(root, str(round))
            os.mkdir(target)
            d.ok("combo-select %s %s" % (COMBO, q(name)))
            d.press(LIST_PICTURES, DOWNLOAD_ALL)
            line = d("folder 60000")
            check(line.startswith("ok"), "round %d (%s): the download click brought no folder browser: %s, %s" %
                  (round, name, line, d("msgbox 1000")))
            d.ok("folder-choose %s" % q(to_windows_path(target)))
            d.ok("folder-ok")
            box = d.ok("msgbox 120000")
            d.ok("msgbox-press 1")
            check(box.startswith('"提示" "已成功下载%d张图片。"' % count), "round %d (%s): %s" % (round, name, box))
            check(len(os.listdir(target)) == count, "round %d: %d files" % (round, len(os.listdir(target))))
    finally:
        s.close()
        shutil.rmtree(root, ignore_errors=True)


def two_instances_download_into_one_folder(artefacts):
    s = Session("--latency", "10", artefacts=artefacts)
    target = tempfile.mkdtemp(prefix="pexo-two-")
    try:
        # The same pexo.exe started a second time: a second window in a second process.
        program, other = s.another_instance(workdir=s.program.workdir)
        first_pid = s.driver.ok("attach").split()[1]
        second_pid = other.ok("attach").split()[1]
        check(first_pid != second_pid, "two processes: %s and %s" % (first_pid, second_pid))
        for d in (s.driver, other):
            listed_demo(d)
            list_album(d, "旅行(50)")
            d.press(DOWNLOAD_ALL)
            d.ok("folder 60000")
            d.ok("folder-choose %s" % q(to_windows_path(target)))
        # Both start at once.
        s.driver.ok("folder-ok")
        other.ok("folder-ok")
        # Each instance compares with what the folder held when it began and with what it saved itself: a picture
        # the other instance had saved by then is already there, any other is saved by both.
        saved = 0
        present = 0
        for d in (s.driver, other):
            box = d.ok("msgbox 300000")
            d.ok("msgbox-press 1")
            report = re.match(r'"提示" "已成功下载(\d+)张图片(?:，(\d+)张已存在)?。"', box)
            check(report and int(report.group(1)) + int(report.group(2) or 0) == 50, box)
            saved += int(report.group(1))
            present += int(report.group(2) or 0)
        # Every picture once or twice, under its name and then its numbered name, nothing overwritten.
        files = digests(target)
        album = pictures_of(s.service.manifest(), 1005)
        check(len(files) == saved == 100 - present, "%d files, %d saved, %d already there" % (len(files), saved,
                                                                                            present))
        count = collections.Counter(files.values())
        check(all(count[p["sha256"]] in (1, 2) for p in album.values()), "every picture once or twice")
        for p in album.values():
            base = os.path.basename(p["full"])
            numbered = base.replace(".jpg", "(1).jpg")
            check(files.get(base) == p["sha256"] and files.get(numbered) in (None, p["sha256"]),
                  "%s and %s hold picture %d" % (base, numbered, p["number"]))
        for d in (s.driver, other):
            d.press(QUIT)
            check(d.ok("wait-exit 20000") == "0", "each instance ends on its own")
    finally:
        s.close()
        shutil.rmtree(target, ignore_errors=True)


def two_instances_started_at_once_in_a_fresh_folder(artefacts):
    """Both write the skin engine beside the program on their first start; both must come up."""
    s = Session(artefacts=artefacts)
    try:
        for attempt in range(2):
            work = tempfile.mkdtemp(prefix="pexo-fresh-")
            shutil.copy(PEXO, os.path.join(work, "pexo.exe"))
            desktops = ["%s-fresh%d-%d" % (s.desktop, attempt, n) for n in range(2)]
            programs = [Program(s.display.name, s.service, desktop, workdir=work) for desktop in desktops]
            drivers = []
            for desktop, program in zip(desktops, programs):
                program, driver = s.start(desktop, workdir=work, program=program)
                s.others += [program, driver]
                drivers.append(driver)
            pids = {d.ok("attach").split()[1] for d in drivers}
            check(len(pids) == 2, "two processes: %s" % pids)
            for d in drivers:
                d.ok("close")
                check(d.ok("wait-exit 20000") == "0", "each instance closes with exit code 0")
            check(sorted(os.listdir(work)) == ["SkinH_EL.dll", "pexo.exe"], sorted(os.listdir(work)))
            shutil.rmtree(work, ignore_errors=True)
    finally:
        s.close()


if __name__ == "__main__":
    sys.exit(1 if run_tests([
        ("ClicksOnEveryControlWhileListing", clicks_on_every_control_while_listing),
        ("ClicksOnEveryControlWhileDownloading", clicks_on_every_control_while_downloading),
        ("ClosingAtEachStage", closing_at_each_stage),
        ("DownloadClickedRightAfterEachListing", download_clicked_right_after_each_listing),
        ("TwoInstancesDownloadIntoOneFolder", two_instances_download_into_one_folder),
        ("TwoInstancesStartedAtOnceInAFreshFolder", two_instances_started_at_once_in_a_fresh_folder),
    ], sys.argv[1], suite="e2e_user_faults") else 0)
