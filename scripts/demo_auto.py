"""Runs the program's main job on the demo album service, as a person would, through the UI driver.

With --interactive it only starts the service and the program on the current display and prints the demo
user names to type.
"""
import hashlib
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import ROOT, PEXO, Service, Session, check, q, to_windows_path, wine_env  # noqa: E402

OUT = os.path.join(ROOT, "build", "demo")


def interactive():
    service = Service()
    env = wine_env(os.environ["DISPLAY"])
    env["PEXO_ALBUM_ROOT"] = service.root
    env["PEXO_UPDATE_ROOT"] = service.root.rstrip("/")
    print("demo album service: %s" % service.root)
    print("type one of these user names into the program and press 列出相册: demo, 小明, newbie")
    try:
        subprocess.run(["/usr/lib/wine/wine64", PEXO], env=env)
    finally:
        service.stop()


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def expect_box(d, text_prefix, said):
    line = d.ok("msgbox 120000")
    said.append(line)
    check(text_prefix in line, "message box %s, expected %s" % (line, text_prefix))
    d.ok("msgbox-press 1")
    return line


def auto():
    shutil.rmtree(OUT, ignore_errors=True)
    os.makedirs(OUT)
    selected_dir, all_dir = os.path.join(OUT, "selected"), os.path.join(OUT, "all")
    os.makedirs(selected_dir)
    os.makedirs(all_dir)
    boxes = []
    session = Session(artefacts=OUT)
    d = session.driver
    try:
        print("1. list the albums of user demo")
        d.ok("type 0x0047 %s" % q("demo"))
        d.press("0x004a")
        d.ok("wait-enabled 0x004c 60000")
        albums = d.ok("combo-items 0x004b")
        print("   albums: %s" % albums)

        print("2. list album 旅行(50)")
        d.ok("combo-select 0x004b %s" % q("旅行(50)"))
        d.press("0x004c")
        d.ok("wait-enabled 0x004d 120000")
        print("   grid listed; screenshot: %s" % session.screenshot("listed"))

        print("3. tick pictures 1, 2 and 7 and download them")
        for number in (1, 2, 7):
            column, row = (number - 1) % 5, (number - 1) // 5
            d.ok("click 0x0312 %d %d" % (12 + 166 * column + 20, 12 + 179 * row + 143 + 10))
        d.press("0x004d")
        d.ok("folder 60000")
        d.ok("folder-choose %s" % q(to_windows_path(selected_dir)))
        d.ok("folder-ok")
        print("   " + expect_box(d, "已成功下载3张图片。", boxes))

        print("4. download all pictures of the album")
        d.press("0x004e")
        d.ok("folder 60000")
        d.ok("folder-choose %s" % q(to_windows_path(all_dir)))
        d.ok("folder-ok")
        print("   " + expect_box(d, "已成功下载50张图片。", boxes))
        session.screenshot("downloaded")

        print("5. check every file against the service")
        manifest = session.service.manifest()
        expected = {p["sha256"] for p in manifest["pictures"] if p["album"] == 1005}
        for folder, count in ((selected_dir, 3), (all_dir, 50)):
            files = sorted(os.listdir(folder))
            check(len(files) == count, "%s holds %d files, expected %d" % (folder, len(files), count))
            for name in files:
                check(sha256(os.path.join(folder, name)) in expected, "%s is not a picture of the album" % name)
        print("   %d + %d files, all byte for byte equal to the service's pictures" % (3, 50))
        d.ok("close")
        d.ok("wait-exit 20000")
    finally:
        session.close()
    print("message boxes answered:")
    for line in boxes:
        print("   " + line)
    print("files: %s and %s; screenshots in %s" % (selected_dir, all_dir, OUT))
    print("demo passed")


if __name__ == "__main__":
    try:
        interactive() if "--interactive" in sys.argv else auto()
    except Exception as error:
        print("demo failed: %s" % error)
        sys.exit(1)
