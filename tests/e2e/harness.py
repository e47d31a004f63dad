"""End-to-end harness: the demo album service, pexo.exe under Wine in a virtual desktop, and the UI driver.

A test gets a Session: session.service (the running album service), session.program (pexo.exe started with
PEXO_ALBUM_ROOT and PEXO_UPDATE_ROOT pointing at the service) and session.driver (one ui-driver.exe in
script mode: session.driver("attach") sends one command and returns its result line).
"""
import atexit
import bisect
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import urllib.request
import sys
import tempfile
import threading
import time
import traceback
import xml.sax.saxutils as sax

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVICE = os.path.join(ROOT, "build/native/tools/album-service/album-service")
PEXO = os.path.join(ROOT, "build/windows/pexo.exe")
DRIVER = os.path.join(ROOT, "build/windows/ui-driver.exe")
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
TITLE = "Quen - Pexo相册图片批量下载"

# Everything temporary of this process (the programs' folders, download folders, logs) goes into one folder of
# its own, removed when the process ends. The folder browser looks into every entry of each folder it opens, so
# hundreds of folders left in /tmp by earlier runs made choosing a download folder slower for every later run;
# and runs side by side no longer work in one shared folder.
PRIVATE_TEMP = tempfile.mkdtemp(prefix="pexo-e2e-")
tempfile.tempdir = PRIVATE_TEMP
atexit.register(shutil.rmtree, PRIVATE_TEMP, True)


def wine_env(display):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": os.environ.get("PEXO_WINEPREFIX", os.path.join(ROOT, ".cache/wineprefix")),
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": "zh_CN.UTF-8",
        "LC_ALL": "zh_CN.UTF-8",
        "DISPLAY": display,
    })
    return env


def to_windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def q(text):
    """A text as the driver's command language quotes it."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def private_prefix(work):
    """A copy of the test prefix sharing its files by hard links (Wine replaces the registry files it saves
    rather than writing into them), without the URL cache and cookie store."""
    source = os.environ.get("PEXO_WINEPREFIX", os.path.join(ROOT, ".cache/wineprefix"))
    prefix = os.path.join(work, "wineprefix")
    subprocess.run(["cp", "-al", source, prefix], check=True)
    for user in os.listdir(os.path.join(prefix, "drive_c", "users")):
        windows = os.path.join(prefix, "drive_c", "users", user, "AppData", "Local", "Microsoft", "Windows")
        for store in ("INetCache", "INetCookies"):
            shutil.rmtree(os.path.join(windows, store), ignore_errors=True)
    return prefix


def process_of(command_part):
    """The Linux process id of the Wine process whose command line holds this text (not the explorer that
    started it); None when there is none."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read().decode("utf-8", "replace")
        except OSError:
            continue
        if command_part in cmdline and "explorer" not in cmdline:
            return int(pid)
    return None


def private_mib(pid):
    """The process's private memory (clean and dirty pages) in MiB."""
    total = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total / 1024


def open_fds(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def box_says(box, text, title="提示"):
    """True when a message box, as the driver's msgbox quotes it, has the title and starts with the lines of
    text (the report of a download with failures has a second line)."""
    return box.startswith('"%s" "%s"' % (title, text)) or box.startswith('"%s" "%s\\n' % (title, text))


class Service:
    """The demo album service on a free port."""

    def __init__(self, *options):
        self.log = tempfile.NamedTemporaryFile(prefix="album-service-", suffix=".log", delete=False).name
        self.process = subprocess.Popen([SERVICE, "--port", "0", "--log", self.log, *options],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.process.stdout.readline().strip()
        check(line.startswith("listening on 127.0.0.1:"), "album service did not start: %r" % line)
        self.port = int(line.rsplit(":", 1)[1])
        self.root = "http://127.0.0.1:%d/" % self.port
        self.options = options

    def manifest(self, *extra):
        """The site as JSON; extra options (such as --grown) describe another state of the same site."""
        out = subprocess.run([SERVICE, *self.options, *extra, "--dump-manifest"], capture_output=True, text=True,
                             check=True).stdout
        return json.loads(out)

    def grow(self):
        """Grows the site as its --grow option says (the service's /_control/grow)."""
        with urllib.request.urlopen(self.root + "_control/grow", timeout=10) as answer:
            check(answer.read() == b"grown", "the service grew")

    def requests(self):
        with open(self.log, "rb") as f:
            return f.read().decode("gbk", "replace")

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
        os.unlink(self.log)


class Display:
    """A private Xvfb. Xvfb picks a free display number itself and writes it to a pipe once it listens, so
    harnesses running side by side never race for one number."""

    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                         "-nolisten", "tcp"], pass_fds=(write,),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def stop(self):
        self.process.terminate()
        self.process.wait()


class Driver:
    """One ui-driver.exe in script mode; each call sends a command line and returns the result line."""

    made = []  # the drivers of the running case, whose transcripts a failure reports

    def __init__(self, display, desktop, timeout_ms=20000):
        Driver.made.append(self)
        self.errors = tempfile.TemporaryFile()
        self.process = subprocess.Popen([WINE, DRIVER, "--utf8", "--desktop", desktop, "--timeout", str(timeout_ms)],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.errors,
                                        env=wine_env(display), text=True, encoding="utf-8", bufsize=1)
        self.transcript = []
        # A reader thread hands over the driver's lines, so that a driver stuck inside a dying program fails
        # the step after a deadline instead of holding the whole suite.
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line)
        self.lines.put(None)

    @staticmethod
    def deadline(command):
        """Seconds to wait for the answer: the command's own longest time-out (a number of milliseconds) and a
        minute more, at least two minutes."""
        waits = [int(word) for word in command.split() if word.isdigit() and int(word) >= 1000]
        return max(120, max(waits, default=0) / 1000 + 60)

    def __call__(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        try:
            line = self.lines.get(timeout=self.deadline(command))
        except queue.Empty:
            self.process.kill()
            line = "error the driver gave no answer within %d s" % self.deadline(command)
        line = "error the driver ended (%s)" % self.last_errors() if line is None else line.rstrip("\r\n")
        self.transcript.append((command, line))
        return line

    def last_errors(self):
        """The end of what the driver (and Wine for it) wrote to its error output."""
        self.errors.seek(0)
        return self.errors.read().decode("utf-8", "replace").strip().replace("\n", " | ")[-400:]

    def ok(self, command):
        line = self(command)
        check(line.startswith("ok"), "%s -> %s" % (command, line))
        return line[3:]

    def press(self, *buttons, timeout=60000):
        """Clicks the buttons as a person does: each once it is enabled, never one that a job still holds. The
        driver returns once the program has taken the clicks."""
        for button in buttons:
            self.ok("wait-enabled %s %d" % (button, timeout))
        return self.ok("press " + " ".join(buttons))

    def stop(self):
        try:
            self.process.stdin.close()
            self.process.wait(10)
        except Exception:
            self.process.kill()


class Program:
    """pexo.exe in a Wine virtual desktop, pointed at the service."""

    def __init__(self, display, service, desktop="pexo", workdir=None, extra_env=None):
        self.workdir = workdir or tempfile.mkdtemp(prefix="pexo-run-")
        exe = os.path.join(self.workdir, "pexo.exe")
        if not os.path.exists(exe):
            shutil.copy(PEXO, exe)
        env = wine_env(display)
        env["PEXO_ALBUM_ROOT"] = service.root
        env["PEXO_UPDATE_ROOT"] = service.root.rstrip("/")
        env.update(extra_env or {})
        # What the program and Wine write, a crash's backtrace included, for a failure's report; kept outside
        # the program's folder, whose contents some tests check.
        handle, self.log = tempfile.mkstemp(prefix="pexo-output-", suffix=".txt")
        with os.fdopen(handle, "ab") as log:
            self.process = subprocess.Popen([WINE, "explorer", "/desktop=%s,1024x768" % desktop, exe],
                                            env=env, stdout=log, stderr=log)

    def unix_pid(self):
        """The Linux process id of this pexo.exe (its folder's name is unique to it); None before it runs."""
        folder = os.path.basename(self.workdir)
        return process_of(folder + "\\pexo.exe") or process_of(folder + "/pexo.exe")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if os.path.exists(self.log):
            os.unlink(self.log)
        # pexo.exe is a process of its own beside the desktop's explorer; one that hangs must not outlive its test.
        pid = self.unix_pid()
        if pid:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


class Session:
    post_mortems = []  # what the running case's failed sessions found, for the failure's report

    def __init__(self, *service_options, artefacts=None, desktop=None):
        self.display = Display()
        self.service = Service(*service_options)
        # Sessions that run at the same time share the Wine server, so each needs a desktop name of its own.
        self.desktop = desktop or "pexo%d" % os.getpid()
        self.others = []
        self.desktops = 0
        self.program, self.driver = self.start(self.desktop)
        self.artefacts = artefacts

    def start(self, desktop, workdir=None, program=None):
        """pexo.exe in a virtual desktop and a driver attached to it. The desktop exists only once Wine has made
        it; when Wine has not made it by the time the program should long be up (it refused the name, seen on a
        loaded machine), the program starts again under a fresh name. A program that ended by itself is a fault
        and fails the step. `program`, when given, is one already started in this desktop."""
        deadline = time.time() + 240
        while True:
            program = program or Program(self.display.name, self.service, desktop, workdir=workdir)
            given_up = time.time() + 60
            while True:
                driver = Driver(self.display.name, desktop)
                line = driver("attach \"%s\" 60000" % TITLE)
                if line.startswith("ok"):
                    return program, driver
                driver.stop()
                # Wine may refuse a desktop name, or end a driver started while it makes the desktop: both are
                # the platform's, not the program's, and the next driver tries again.
                check("cannot use desktop" in line or "the driver ended" in line, "attach: " + line)
                check(program.process.poll() is None, "the program ended before its window showed: " + line)
                check(time.time() < deadline, "attach: " + line)
                if time.time() > given_up:
                    break
                time.sleep(0.5)
            program.stop()
            program = None
            self.desktops += 1
            desktop = "%s-again%d" % (desktop, self.desktops)

    def another_instance(self, workdir=None, desktop=None):
        """A further pexo.exe in a virtual desktop of its own (the same program file when workdir is the
        first one's); returns its Program and a driver attached to it."""
        program, driver = self.start(desktop or "%s-%d" % (self.desktop, len(self.others) + 2), workdir=workdir)
        self.others += [program, driver]
        return program, driver

    def screenshot(self, name):
        """Writes a PNG of the main window into the artefacts folder; returns its path."""
        if not self.artefacts:
            return None
        bmp = os.path.join(self.artefacts, name + ".bmp")
        self.driver.ok("screenshot main %s" % q(to_windows_path(bmp)))
        png = bmp[:-4] + ".png"
        subprocess.run(["convert", bmp, png], check=False)
        if os.path.exists(png):
            os.unlink(bmp)
        return png

    def close(self):
        # Closed while a step's failure is on its way up: first note what the program was doing.
        if sys.exc_info()[0] is not None:
            bar = self.driver("progress msctls_progress32") if self.driver.process.poll() is None else "no driver"
            programs = [self.program] + [p for p in self.others if isinstance(p, Program)]
            Session.post_mortems.append("progress bar: %s\n" % bar +
                                        post_mortem(self.display.name, programs, self.artefacts))
        for part in (*self.others, self.driver, self.program, self.service, self.display):
            try:
                part.stop()
            except Exception:
                pass


def program_frames(backtrace):
    """Names pexo.exe's own frames in a winedbg backtrace ("in pexo (+0x...)") by the nearest symbol below each."""
    addresses = sorted(set(int(a, 16) for a in re.findall(r"0x([0-9a-f]+) in pexo \(", backtrace)))
    if not addresses:
        return backtrace
    symbols = []
    nm = subprocess.run(["x86_64-w64-mingw32-nm", "-C", "--defined-only", PEXO], capture_output=True, text=True,
                        timeout=60).stdout
    for line in nm.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] in "tT":
            symbols.append((int(parts[0], 16), parts[2].split("(")[0]))
    symbols.sort()
    starts = [address for address, _ in symbols]
    for address in addresses:
        below = bisect.bisect_right(starts, address) - 1
        name = symbols[below][1] if below >= 0 else "?"
        offset = address - symbols[below][0] if below >= 0 else 0
        backtrace = re.sub(r"0x0*%x in pexo \(\+0x[0-9a-f]+\)" % address,
                           "0x%x in pexo %s+0x%x" % (address, name, offset), backtrace)
    return backtrace


def crash_report(log):
    """The crash Wine's debugger wrote into the program's output, if it crashed: the exception and its backtrace,
    the program's own frames named."""
    try:
        with open(log, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return ""
    start = text.find("Unhandled exception")
    if start < 0:
        return ""
    lines = text[start:].splitlines()
    backtrace = [line for line in lines if re.match(r"^\s*=?>?\d+ 0x", line)]
    return "  crashed: %s\n%s" % (lines[0], program_frames("\n".join("    " + line for line in backtrace[:12]) + "\n"))


def post_mortem(display, programs, artefacts):
    """Whether each pexo.exe still runs and, for those that do, every thread's frames as winedbg sees them: a
    step that timed out says what the program was doing. The whole backtrace goes into the artefacts; the
    report gets, a thread a line, the frames of the program's own code."""
    report = ""
    try:
        running = [p for p in programs if p.unix_pid()]
        for p in programs:
            report += "pexo.exe in %s: %s\n" % (os.path.basename(p.workdir), "running" if p in running else
                                                 "not running (it ended)")
            report += crash_report(p.log)
        if not running:
            return report
        dump = subprocess.run([WINE, "winedbg", "--command", "bt all"], env=wine_env(display),
                              capture_output=True, encoding="utf-8", errors="replace", timeout=120).stdout
        for p in running:
            folder = os.path.basename(p.workdir)
            threads = [t for t in dump.split("Backtracing for thread ")[1:]
                       if folder + "\\pexo.exe" in t.split("\n")[0]]
            frames = program_frames("".join("thread " + t for t in threads))
            if artefacts:
                with open(os.path.join(artefacts, "backtrace-%s.txt" % folder), "w", encoding="utf-8") as out:
                    out.write(frames)
            for thread in frames.split("thread ")[1:]:
                own = re.findall(r"in pexo (.+?)\+0x[0-9a-f]+ \(", thread)
                waits = re.findall(r"^\s*=?>?\d+ 0x[0-9a-f]+ (\w+)\+0x", thread, re.M)
                report += "  thread %s: %s\n" % (thread.split()[0], " < ".join((waits[:1] + own)[:6]) or "?")
    except Exception as error:  # the report must not hide the failure it explains
        report += "post-mortem failed: %s\n" % error
    return report


def transcripts(drivers, path):
    """Writes every command the case's drivers sent and what each answered; returns the last few of each,
    for the failure's report."""
    tail = ""
    with open(path, "w", encoding="utf-8") as out:
        for number, driver in enumerate(drivers, 1):
            out.write("# driver %d\n" % number)
            for command, line in driver.transcript:
                out.write("%s -> %s\n" % (command, line))
            if driver.transcript:
                tail += "driver %d, last commands:\n" % number
                tail += "".join("  %s -> %s\n" % step for step in driver.transcript[-8:])
    return tail + "(whole transcript: %s)\n" % path


def run_tests(tests, results_dir, suite="e2e"):
    """Runs (name, function) pairs, each with a fresh Session made by the function itself; writes a
    GoogleTest-style XML report so that scripts/test counts the cases."""
    artefacts = os.path.join(results_dir, "e2e-artefacts")
    os.makedirs(artefacts, exist_ok=True)
    cases = []
    for name, function in tests:
        start = time.time()
        print("[ RUN      ] %s.%s" % (suite, name), flush=True)
        Driver.made = []
        Session.post_mortems = []
        try:
            function(artefacts)
            cases.append((name, time.time() - start, None))
            print("[       OK ] %s.%s (%.1f s)" % (suite, name, time.time() - start), flush=True)
        except Exception as error:
            detail = "".join(traceback.format_exception(type(error), error, error.__traceback__))
            detail += transcripts(Driver.made, os.path.join(artefacts, "%s.%s.transcript.txt" % (suite, name)))
            detail += "".join(Session.post_mortems)
            cases.append((name, time.time() - start, detail))
            print("[  FAILED  ] %s.%s\n%s" % (suite, name, detail), flush=True)
    failures = sum(1 for c in cases if c[2])
    with open(os.path.join(results_dir, suite + ".xml"), "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="%d" failures="%d">\n'
                  '<testsuite name="%s" tests="%d" failures="%d">\n' % (len(cases), failures, suite, len(cases),
                                                                        failures))
        for name, seconds, detail in cases:
            out.write('<testcase name="%s" classname="%s" time="%.2f">' % (name, suite, seconds))
            if detail:
                out.write('<failure message="%s"/>' % sax.escape(detail, {'"': "&quot;"}))
            out.write("</testcase>\n")
        out.write("</testsuite>\n</testsuites>\n")
    return failures
