"""The program as a user first meets it: the main window's controls, the server version, closing."""
import sys

from harness import Session, check, run_tests


def controls_and_states_at_start(artefacts):
    s = Session(artefacts=artefacts)
    try:
        d = s.driver
        for control, caption in (("0x004a", "列出相册"), ("0x004c", "列出图片"), ("0x004d", "下载选中图片"),
                                 ("0x004e", "下载该相册所有图片"), ("0x0052", "退出")):
            check(d.ok("text %s" % control) == '"%s"' % caption, "caption of %s" % control)
        check(d.ok("state 0x004a") == "1 1", "按钮1 visible and enabled")
        for disabled in ("0x004c", "0x004d", "0x004e"):
            check(d.ok("state %s" % disabled) == "1 0", "%s starts disabled" % disabled)
        # The hidden labels hold the two version texts.
        check(d.ok("text 0x045f") == '"V1.0"', "本地 caption")
        check(d.ok("text 0x0460") == '"V1.0"', "服务器 caption is the service's version text")
        check(d.ok("state 0x0460").startswith("0"), "服务器 is hidden")
        s.screenshot("startup")
        d.press("0x0052")
        check(d.ok("wait-exit 20000") == "0", "按钮6 closes the program with exit code 0")
    finally:
        s.close()


def closing_while_idle_ends_with_zero(artefacts):
    s = Session(artefacts=artefacts)
    try:
        s.driver.ok("close")
        check(s.driver.ok("wait-exit 20000") == "0", "closing while idle ends with exit code 0")
    finally:
        s.close()


if __name__ == "__main__":
    sys.exit(1 if run_tests([
        ("ControlsAndStatesAtStart", controls_and_states_at_start),
        ("ClosingWhileIdleEndsWithZero", closing_while_idle_ends_with_zero),
    ], sys.argv[1], suite="e2e_startup") else 0)
