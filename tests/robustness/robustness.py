#!/usr/bin/python3
"""Bad inputs tried on the built program, each on a desktop of its own
(Xvfb, openbox, a private session bus) beside a simulated meter, observed
from outside: the status line and any box over AT-SPI, standard error, the
exit status and the bytes of the files afterwards. Prints one table row per
input (docs/robustness.md holds a run's table).

    robustness.py BUILD_DIR [CASE...]      (as root: some cases mount file systems)

Not part of ./check: it needs root, takes minutes and mounts file systems."""

import os
import pathlib
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import traceback
import tty

sys.dont_write_bytecode = True
HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "journeys"))

from desktop import Desktop, JourneyFailure, wait_for  # noqa: E402

SERIAL = 4660
STATUS_OK = f"QM-482 nr {SERIAL}. Pomiar prawidłowy. "
STATUS_LOST = "Brak komunikacji z urządzeniem. "
# The worked example frame: meter 4660, 21.5 °C, 45.0 %, 1013.2 hPa (as the simulator's defaults).
FRAME = bytes([0x40, 0x70, 0x73, 0x34, 0x31, 0x32, 0x34, 0x75, 0x76, 0x70, 0x32, 0x73, 0x34,
               0x31, 0x70, 0x31, 0x73, 0x32, 0x0D])
GENERAL = {"PORT_NR": 7, "WINDOW_LEFT": 120, "WINDOW_TOP": 90, "WINDOW_RIGHT": 720,
           "WINDOW_BOTTOM": 510, "TOPMOST": 0, "SHOW_ADV": 0}
KEYS = {
    "TEMP": ["BACKGROUND_TEMP", "TEXT_TEMP", "FONT_HEIGHT_TEMP", "FONT_NAME_TEMP",
             "FONT_ITALIC_TEMP", "FONT_WEIGHT_TEMP"],
    "RH": ["BACKGROUND_RH", "TEXT_RH", "FONT_HEIGHT_RH", "FONT_NAME_RH", "FONT_ITALIC_RH",
           "FONT_WEIGHT_RH"],
    "PRESSURE": ["BACKGROUND_PRESSURE", "TEXT_PRESSURE", "FONT_HEIGHT_PRESSURE",
                 "FONT_NAME_PRESSURE", "FONT_ITALIC_PRESSURE", "FONT_WEIGHT_PRESSURE"],
    "GENERAL": ["PORT_NR", "WINDOW_TOP", "WINDOW_BOTTOM", "WINDOW_LEFT", "WINDOW_RIGHT",
                "TOPMOST", "SHOW_ADV"],
    "LOG": ["FILE_NAME", "FILE_NAME_BIN", "FILE_LOG", "FILE_LOG_BIN", "FILE_SEP_FORMAT",
            "FILE_INTERVAL", "FILE_TEMP", "FILE_RH", "FILE_PRESSURE", "FILE_CHECK_COMMENT",
            "FILE_CHECK_COMMENT_SN"],
}
ROW = re.compile(rb"^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d(;[^;\r\n]*){1,3}\r$")


def ini(general=None, log=None):
    text = "[GENERAL]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {**GENERAL,
                                                                   **(general or {})}.items())
    if log:
        text += "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in log.items())
    return text


def recording(report=None, binary=None, interval=1):
    log = {"FILE_INTERVAL": interval, "FILE_SEP_FORMAT": 2, "FILE_TEMP": 1, "FILE_RH": 1,
           "FILE_PRESSURE": 1}
    if report is not None:
        log.update(FILE_NAME=f"{report};", FILE_LOG=1)
    if binary is not None:
        log.update(FILE_NAME_BIN=f"{binary};", FILE_LOG_BIN=1)
    return log


class Case:
    """One input on a desktop of its own; collects what was seen."""

    def __init__(self, build, name):
        self.d = Desktop(build, f"robust-{name}")
        os.environ.update(self.d.env)
        from screen import Screen
        self.s = Screen(self.d)
        self.stderr = self.d.tmp / "stderr.txt"
        self.mounts = []

    # --- the program ---

    def install(self, ini_text=None, ini_bytes=None):
        shutil.copy2(self.d.build / "qm482", self.d.app_dir / "qm482")
        if ini_bytes is not None:
            self.d.ini.write_bytes(ini_bytes)
        elif ini_text is not None:
            self.d.ini.write_bytes(ini_text.encode())

    def start(self, env=None, drop=(), app_dir=None):
        e = dict(self.d.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                 QT_ACCESSIBILITY="1")
        for k in drop:
            e.pop(k, None)
        e.update(env or {})
        out = open(self.stderr, "ab")
        p = self.d.spawn([str((app_dir or self.d.app_dir) / "qm482")], env=e, stdout=out)
        out.close()
        self.d.program = p
        return p

    def main_shown(self, timeout=20):
        try:
            self.s.main(timeout=timeout)
            return True
        except JourneyFailure:
            return False

    def status(self):
        try:
            return self.s.status()
        except Exception:
            return None

    def boxes(self):
        """The texts of the program's windows other than the main one."""
        try:
            out = []
            for name, w in self.s.windows().items():
                if name == "QM482":
                    continue
                from screen import _walk, text_of
                texts = [t for t in (text_of(a) or a.name for a in _walk(w)
                                     if a.getRoleName() in ("label", "text")) if t]
                out.append(f"box '{name}': " + " / ".join(texts))
            return out
        except Exception as e:
            return [f"(unreadable: {e})"]

    def wait_status(self, want, timeout=15):
        try:
            wait_for(f"status {want!r}", lambda: (self.status() or "").startswith(want),
                     timeout=timeout)
            return True
        except JourneyFailure:
            return False

    def rss_kib(self, p=None):
        p = p or self.d.program
        try:
            for line in pathlib.Path(f"/proc/{p.pid}/status").read_text().splitlines():
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        except OSError:
            pass
        return None

    def alive(self, p=None):
        p = p or self.d.program
        return p is not None and p.poll() is None

    def stop(self, p=None, sig=signal.SIGTERM, timeout=15):
        """Ends the program as a logout does; its exit code, or 'hung'."""
        p = p or self.d.program
        if p.poll() is not None:
            return p.returncode
        p.send_signal(sig)
        try:
            return p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            return "hung (killed after %d s)" % timeout

    def err(self):
        try:
            text = self.stderr.read_text(errors="replace")
        except OSError:
            return ""
        # Qt's own chatter about the accessibility bus and fonts is not the program's.
        lines = [ln for ln in text.splitlines() if ln.strip() and not ln.startswith("qt.")]
        return " ".join(lines)[:300]

    def close(self):
        for m in self.mounts:
            subprocess.run(["umount", "-l", str(m)], check=False)
        self.d.close()


# --- a meter of our own on a pty, for raw bytes ------------------------------


class RawMeter:
    """A pty linked as COM7 whose bytes we write ourselves."""

    def __init__(self, case):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.link = case.d.ports / "COM7"
        self.link.unlink(missing_ok=True)
        self.link.symlink_to(os.ttyname(self.slave))
        os.set_blocking(self.master, False)

    def write(self, data, deadline):
        """Writes as much of data as the reader takes before deadline."""
        view = memoryview(data)
        sent = 0
        while sent < len(data) and time.monotonic() < deadline:
            if not select.select([], [self.master], [], 0.2)[1]:
                continue
            try:
                sent += os.write(self.master, view[sent:sent + 65536])
            except BlockingIOError:
                pass
            except OSError:
                break
        return sent

    def frames(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.write(FRAME, end)
            time.sleep(0.05)

    def pull(self):
        """The adapter goes away: the pty's both ends close, the link goes."""
        self.link.unlink(missing_ok=True)
        for fd in (self.slave, self.master):
            try:
                os.close(fd)
            except OSError:
                pass


# --- file checks ----------------------------------------------------------------


def report_state(path):
    """Rows, and lines that are not whole rows (header and comments aside)."""
    try:
        data = pathlib.Path(path).read_bytes()
    except OSError as e:
        return 0, [f"unreadable: {e.strerror}"]
    rows, bad = 0, []
    lines = data.split(b"\n")
    if lines and lines[-1] != b"":
        bad.append(f"unended last line {lines[-1][:40]!r}")
    for line in lines[:-1]:
        if ROW.match(line):
            rows += 1
        elif not line.startswith(b"Data i Godzina") and line.strip(b"\r"):
            bad.append(repr(line[:40]))
    return rows, bad


def qmg_state(build, path):
    r = subprocess.run([str(pathlib.Path(build) / "qmg-dump"), "--check", str(path)],
                       capture_output=True, text=True, timeout=60)
    return r.returncode, (r.stdout + r.stderr).strip().replace("\n", " ")


def run_case(build, name, fn):
    c = Case(build, name)
    try:
        return fn(c)
    except Exception:
        return [name, "", "DRIVER FAILED: " + traceback.format_exc().splitlines()[-1], ""]
    finally:
        c.close()


def did(c, code, extra=""):
    parts = []
    if extra:
        parts.append(extra)
    b = c.boxes() if c.alive() else []
    if b:
        parts.append("; ".join(b))
    e = c.err()
    if e:
        parts.append(f"stderr: {e}")
    parts.append(f"exit {code}")
    return "; ".join(parts)


# --- the cases ------------------------------------------------------------------


def case_noise(build):
    def fn(c):
        c.d.start_sim("--noise", "1")
        c.install(ini())
        c.start()
        shown = c.main_shown()
        time.sleep(8)
        st = c.status()
        rss = c.rss_kib()
        cpu = _cpu_seconds(c.d.program.pid)
        code = c.stop()
        return ["noise at full speed (every frame noise)", "`qm482-sim --noise 1 --fast`",
                did(c, code, f"window shown {shown}; after 8 s status {st!r}; RSS {rss} KiB; "
                             f"CPU {cpu:.1f} s"),
                "nothing (no frame was good)"]
    return run_case(build, "noise", fn)


def _cpu_seconds(pid):
    try:
        f = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(f[11]) + int(f[12])) / os.sysconf("SC_CLK_TCK")
    except OSError:
        return float("nan")


def case_burst(build):
    def fn(c):
        c.install(ini())
        m = RawMeter(c)
        c.start()
        shown = c.main_shown()
        m.frames(3)
        before = c.status()
        rss0 = c.rss_kib()
        t0 = time.monotonic()
        size = 100 * 1024 * 1024
        sent = m.write(b"A" * size, t0 + 240)
        took = time.monotonic() - t0
        during = c.status()
        rss1 = c.rss_kib()
        m.frames(4)
        after = c.status()
        code = c.stop()
        m.pull()
        return ["100 MB without a carriage return", "raw pty writer: 'A' × 100 MiB, "
                "good frames before and after",
                did(c, code, f"shown {shown}; before {before!r}; {sent / 1e6:.0f} MB taken in "
                             f"{took:.0f} s; status at the end of the burst {during!r}; "
                             f"after 4 s of frames {after!r}; RSS {rss0}→{rss1} KiB"),
                "nothing" if after == STATUS_OK else "readings did not come back"]
    return run_case(build, "burst", fn)


def settings_case(build, name, how, make, expect_kept=True):
    def fn(c):
        c.d.start_sim()
        c.install()
        before = make(c.d.ini)
        p = c.start()
        shown = c.main_shown()
        ok = c.wait_status(STATUS_OK, 10)
        st = c.status()
        code = c.stop()
        after = _fingerprint(c.d.ini)
        kept = "file unchanged" if after == before else "file rewritten"
        if after is not None and isinstance(after, tuple) and after[0] == "file":
            kept += f" ({after[1]} bytes)"
        return [name, how, did(c, code, f"window shown {shown}; readings {ok} ({st!r}); {kept}"),
                "nothing" if shown and ok else "see result"]
    return run_case(build, f"ini-{re.sub('[^a-z0-9]+', '-', name.lower())[:20]}", fn)


def _fingerprint(path):
    try:
        st = os.lstat(path)
    except OSError:
        return None
    import stat as S
    if S.S_ISREG(st.st_mode):
        if st.st_size > 2 * 1024 * 1024:
            return ("file", st.st_size, st.st_mtime_ns)
        return ("file", st.st_size, pathlib.Path(path).read_bytes())
    return ("other", st.st_mode, st.st_mtime_ns)


def _random_bytes(p):
    p.write_bytes(random.Random(7).randbytes(65536))
    return _fingerprint(p)


def _sparse(p):
    with open(p, "wb") as f:
        f.truncate(1 << 30)
    return _fingerprint(p)


def _fifo(p):
    os.mkfifo(p)
    return _fingerprint(p)


def _directory(p):
    p.mkdir()
    return _fingerprint(p)


def _keyed(value_of):
    def make(p):
        text = ""
        for section, keys in KEYS.items():
            text += f"[{section}]\r\n"
            for k in keys:
                v = GENERAL["PORT_NR"] if k == "PORT_NR" else value_of(k)
                text += f"{k}={v}\r\n"
        p.write_bytes(text.encode())
        return _fingerprint(p)
    return make


def _long_line(p):
    p.write_bytes(ini().encode() + b"[LOG]\r\nFILE_NAME=" + b"x" * (900 * 1024) + b"\r\n")
    return _fingerprint(p)


SETTINGS = {
    "ini-random": ("settings file of random bytes", "64 KiB from a seeded PRNG", _random_bytes),
    "ini-1g": ("settings file of 1 GB", "sparse file (`truncate`)", _sparse),
    "ini-fifo": ("settings file is a FIFO", "`mkfifo`, no writer", _fifo),
    "ini-dir": ("settings file is a directory", "`mkdir`", _directory),
    "ini-text": ("every key non-numeric", "every value `abc` (port kept 7)",
                 _keyed(lambda k: "abc")),
    "ini-min": ("every key INT_MIN", "every value -2147483648", _keyed(lambda k: "-2147483648")),
    "ini-max": ("every key INT_MAX", "every value 2147483647", _keyed(lambda k: "2147483647")),
    "ini-huge": ("every key a 400-digit number", "every value 9×400",
                 _keyed(lambda k: "9" * 400)),
    "ini-long": ("a 900 KiB value", "FILE_NAME of 900 KiB 'x'", _long_line),
}


def record_case(build, name, how, prepare, seconds=6):
    """Recording at 1 s into paths `prepare` makes; observe the status line,
    any box, and the files."""
    def fn(c):
        c.d.start_sim()
        report, binary, note = prepare(c)
        c.install(ini(log=recording(report, binary)))
        c.start()
        shown = c.main_shown()
        c.wait_status(STATUS_OK, 10)
        # Recording starts 10 s after the start.
        time.sleep(11 + seconds)
        st = c.status()
        bx = c.boxes()
        code = c.stop()
        files = []
        for p in (report, binary):
            if p is None:
                continue
            if str(p).endswith(".qmg") and os.path.isfile(p):
                rc, text = qmg_state(build, p)
                files.append(f"{os.path.basename(p)}: qmg-dump --check {rc}: {text[:120]}")
            elif os.path.isfile(p):
                rows, bad = report_state(p)
                files.append(f"{os.path.basename(p)}: {rows} rows, "
                             f"{'no broken line' if not bad else 'BROKEN ' + ', '.join(bad[:3])}")
            else:
                files.append(f"{p}: absent")
        if note:
            files.append(note() if callable(note) else note)
        err = c.err()
        return [name, how, f"status {st!r}; {'; '.join(bx) or 'no box'}; "
                           f"{('stderr: ' + err + '; ') if err else ''}exit {code}",
                "; ".join(files)]
    return run_case(build, f"rec-{re.sub('[^a-z0-9]+', '-', name.lower())[:20]}", fn)


def _mount(kind, where, *opts):
    where.mkdir(parents=True, exist_ok=True)
    subprocess.run(["mount", "-t", kind, *opts, kind, str(where)], check=True)


def _missing(c):
    return c.d.tmp / "nie" / "ma" / "r.txt", c.d.tmp / "r.qmg", None


def _ro(c):
    m = c.d.tmp / "ro"
    _mount("tmpfs", m, "-o", "size=1m")
    (m / "r.txt").write_bytes(b"")
    subprocess.run(["mount", "-o", "remount,ro", str(m)], check=True)
    c.mounts.append(m)
    return m / "r.txt", c.d.tmp / "r.qmg", None


def _full(c):
    m = c.d.tmp / "full"
    _mount("tmpfs", m, "-o", "size=1m")
    c.mounts.append(m)
    subprocess.run(["dd", "if=/dev/zero", f"of={m}/filler", "bs=4k", "count=1000"],
                   capture_output=True)
    # A 1 MiB tmpfs has room for some rows; it is filled to the last few pages.
    return m / "r.txt", m / "r.qmg", lambda: f"free at the end: {shutil.disk_usage(m).free} B"


def _bin_dir(c):
    (c.d.tmp / "b.qmg").mkdir()
    return c.d.tmp / "r.txt", c.d.tmp / "b.qmg", None


def _report_fifo(c):
    os.mkfifo(c.d.tmp / "r.txt")
    return c.d.tmp / "r.txt", c.d.tmp / "r.qmg", None


def _dev_full(c):
    return pathlib.Path("/dev/full"), c.d.tmp / "r.qmg", None


RECORDING = {
    "rec-missing": ("report in a missing folder", "FILE_NAME=<tmp>/nie/ma/r.txt", _missing),
    "rec-ro": ("report on a read-only mount", "tmpfs remounted `-o ro`, report file present",
               _ro),
    "rec-full": ("report and binary file on a full disk",
                 "1 MiB tmpfs filled with `dd` to the last pages", _full),
    "rec-bindir": ("binary file path is a directory", "`mkdir b.qmg`", _bin_dir),
    "rec-fifo": ("report path is a FIFO", "`mkfifo r.txt`, no reader", _report_fifo),
    "rec-devfull": ("report path is /dev/full", "FILE_NAME=/dev/full", _dev_full),
}


def case_two_on_port(build):
    def fn(c):
        c.d.start_sim()
        c.install(ini())
        second_dir = c.d.tmp / "app2"
        second_dir.mkdir()
        shutil.copy2(c.d.app_dir / "qm482", second_dir / "qm482")
        (second_dir / "qm480cfg.ini").write_bytes(ini().encode())
        a = c.start()
        c.main_shown()
        c.wait_status(STATUS_OK, 10)
        b = c.start(app_dir=second_dir)
        time.sleep(6)
        first = None
        c.d.program = a
        first = c.status()
        c.d.program = b
        second_boxes = c.boxes()
        second_status = c.status()
        code_b = c.stop(b)
        c.d.program = a
        code_a = c.stop(a)
        return ["two instances on one port", "two copies in two folders, both PORT_NR=7",
                f"first: {first!r}, exit {code_a}; second: status {second_status!r}; "
                f"{'; '.join(second_boxes) or 'no box'}; exit {code_b}; stderr: {c.err() or '-'}",
                "nothing: the first keeps its readings"]
    return run_case(build, "two-port", fn)


def case_two_on_report(build):
    def fn(c):
        c.d.start_sim()
        report = c.d.tmp / "r.txt"
        binary = c.d.tmp / "r.qmg"
        c.install(ini(log=recording(report, binary)))
        second_dir = c.d.tmp / "app2"
        second_dir.mkdir()
        shutil.copy2(c.d.app_dir / "qm482", second_dir / "qm482")
        (second_dir / "qm480cfg.ini").write_bytes(ini(general={"PORT_NR": 8},
                                                      log=recording(report, binary)).encode())
        a = c.start()
        c.main_shown()
        b = c.start(app_dir=second_dir)
        time.sleep(17)
        c.d.program = b
        second = c.boxes()
        code_b = c.stop(b)
        c.d.program = a
        first = c.status()
        code_a = c.stop(a)
        rows, bad = report_state(report)
        rc, text = qmg_state(build, binary)
        return ["two instances on one report file", "two copies, same FILE_NAME and "
                "FILE_NAME_BIN, both recording at 1 s",
                f"first: {first!r}, exit {code_a}; second: {'; '.join(second) or 'no box'}, "
                f"exit {code_b}",
                f"report {rows} rows, {'no broken line' if not bad else 'BROKEN ' + str(bad[:2])}"
                f"; binary: qmg-dump --check {rc}: {text[:100]}"]
    return run_case(build, "two-report", fn)


def case_no_bus(build):
    def fn(c):
        c.d.start_sim()
        c.install(ini())
        # The accessibility bus is found through the session bus: read the
        # screen through X instead, by its status in a screenshot-free way.
        c.start(drop=("DBUS_SESSION_BUS_ADDRESS",),
                env={"DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent/bus"})
        time.sleep(8)
        alive = c.alive()
        shot = c.d.screenshot("no-bus")
        # The box is answered as a user would; the screen then shows what follows.
        c.d.key("Return")
        time.sleep(4)
        shot2 = c.d.screenshot("no-bus-answered")
        code = c.stop()
        return ["session bus missing", "DBUS_SESSION_BUS_ADDRESS pointing at no socket",
                f"running after 8 s: {alive}; stderr: {c.err() or '-'}; exit {code} "
                f"(screens: {shot.name}, {shot2.name})", "see the screens"]
    return run_case(build, "no-bus", fn)


def case_bus_restart(build):
    def fn(c):
        c.d.start_sim()
        c.install(ini())
        c.start()
        c.main_shown()
        c.wait_status(STATUS_OK, 10)
        addr = c.d.env["DBUS_SESSION_BUS_ADDRESS"]
        dde = str(c.d.build / "qm482-dde")
        r0 = subprocess.run([dde, "get", f"Temperatura#{SERIAL}", "Pomiar"], env=c.d.env,
                            capture_output=True, text=True, timeout=10)
        # The session bus daemon is the first dbus-daemon we started.
        bus_pid = _find_child(c.d, "dbus-daemon")
        os.kill(bus_pid, signal.SIGKILL)
        time.sleep(2)
        path = re.search(r"path=([^,]+)", addr)
        sock = path.group(1) if path else None
        conf = c.d.tmp / "session2.conf"
        conf.write_text((c.d.tmp / "session.conf").read_text().replace(
            f"<listen>unix:dir={c.d.tmp}</listen>", f"<listen>unix:path={sock}</listen>"))
        if sock:
            pathlib.Path(sock).unlink(missing_ok=True)
        c.d.spawn(["dbus-daemon", f"--config-file={conf}", "--nofork"])
        time.sleep(8)
        alive = c.alive()
        # The new daemon has a new identity: a client asks by the socket alone.
        env1 = dict(c.d.env, DBUS_SESSION_BUS_ADDRESS=re.sub(r",guid=[0-9a-f]+", "", addr))
        r1 = subprocess.run([dde, "get", f"Temperatura#{SERIAL}", "Pomiar"], env=env1,
                            capture_output=True, text=True, timeout=10)
        code = c.stop()
        return ["session bus restarted while the link is up",
                "private dbus-daemon killed (SIGKILL), another started on the same socket",
                f"before: bus gives {r0.stdout.strip()!r}; running after: {alive}; after: "
                f"qm482-dde exit {r1.returncode} {(r1.stdout + r1.stderr).strip()[:80]!r}; "
                f"stderr: {c.err() or '-'}; exit {code}",
                "screen and files: nothing; the bus stays without the readings until a restart"
                if r1.returncode != 0 else "nothing"]
    return run_case(build, "bus-restart", fn)


def _find_child(d, name):
    for pid in d.groups:
        try:
            if pathlib.Path(f"/proc/{pid}/comm").read_text().strip() == name:
                return pid
        except OSError:
            pass
    raise JourneyFailure(f"no {name}")


def case_pull_mid_frame(build):
    def fn(c):
        report = c.d.tmp / "r.txt"
        c.install(ini(log=recording(report, c.d.tmp / "r.qmg")))
        m = RawMeter(c)
        c.start()
        c.main_shown()
        m.frames(13)
        ok = c.status()
        m.write(FRAME[:9], time.monotonic() + 1)
        m.pull()
        time.sleep(7)
        st = c.status()
        # The adapter comes back: the program tries again every 2 s.
        m2 = RawMeter(c)
        m2.frames(6)
        back = c.status()
        code = c.stop()
        m2.pull()
        rows, bad = report_state(report)
        return ["adapter pulled mid-frame (during recording)",
                "own pty: 9 bytes of a frame, then both ends closed and the link removed; "
                "a new pty linked as COM7 7 s later",
                did(c, code, f"before {ok!r}; 7 s after the pull {st!r}; after the new adapter "
                             f"{back!r}"),
                f"report {rows} rows, {'no broken line' if not bad else 'BROKEN'}"]
    return run_case(build, "pull-frame", fn)


def case_kill_sim_recording(build):
    def fn(c):
        report = c.d.tmp / "r.txt"
        binary = c.d.tmp / "r.qmg"
        c.d.start_sim(pace=())
        c.install(ini(log=recording(report, binary)))
        c.start()
        c.main_shown()
        time.sleep(13)
        rows0, _ = report_state(report)
        c.d.kill_sim()  # mid-frame almost surely: a frame lasts 0.57 s at the real pace
        time.sleep(8)
        st = c.status()
        rows1, _ = report_state(report)
        code = c.stop()
        rows, bad = report_state(report)
        rc, text = qmg_state(build, binary)
        return ["meter (simulator) killed mid-frame while recording",
                "`qm482-sim` at the real pace, SIGKILL 13 s after the start",
                did(c, code, f"status 8 s later {st!r}; rows went on {rows0}→{rows1}"),
                f"report {rows} rows ('???' while down), "
                f"{'no broken line' if not bad else 'BROKEN'}; binary: --check {rc}: {text[:80]}"]
    return run_case(build, "kill-sim", fn)


def case_clock_back(build):
    def fn(c):
        lib = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"
        if not os.path.exists(lib):
            return ["clock stepped back", "", "SKIPPED: faketime not installed", ""]
        c.d.start_sim()
        report = c.d.tmp / "r.txt"
        binary = c.d.tmp / "r.qmg"
        c.install(ini(log=recording(report, binary)))
        stamp = c.d.tmp / "faketime"
        stamp.write_text("+0\n")
        c.start(env={"LD_PRELOAD": lib, "FAKETIME_TIMESTAMP_FILE": str(stamp),
                     "FAKETIME_NO_CACHE": "1", "FAKETIME_DONT_FAKE_MONOTONIC": "1",
                     "FAKETIME_DONT_RESET": "1"})
        c.main_shown()
        time.sleep(15)
        stamp.write_text("-3600\n")  # an hour back, as a time server or a user might
        time.sleep(6)
        st = c.status()
        code = c.stop()
        rows, bad = report_state(report)
        lines = [ln for ln in report.read_bytes().split(b"\r\n") if ROW.match(ln + b"\r")]
        times = [ln[:19].decode() for ln in lines]
        back = any(b < a for a, b in zip(times, times[1:]))
        rc, text = qmg_state(build, binary)
        return ["clock stepped back 1 h during recording",
                "libfaketime (LD_PRELOAD, FAKETIME_TIMESTAMP_FILE rewritten from +0 to -3600; "
                "monotonic clock untouched)",
                did(c, code, f"status {st!r}; rows went on at 1 s: {rows}"),
                f"{'times step back once, as the clock did' if back else 'no step seen'}; "
                f"{'no broken line' if not bad else 'BROKEN'}; binary --check {rc}: {text[:80]}"]
    return run_case(build, "clock", fn)


def case_kill_settings_save(build, runs=40):
    def fn(c):
        c.d.start_sim()
        # A window rectangle off the screen is pulled back at exit: a change, so a save.
        old = ini(general={"WINDOW_LEFT": 5000, "WINDOW_TOP": 5000, "WINDOW_RIGHT": 5600,
                           "WINDOW_BOTTOM": 5400}).encode()
        c.install(ini_bytes=old)
        seen = {"old": 0, "new": 0}
        other = []
        new = None
        rng = random.Random(3)
        for i in range(runs):
            c.d.ini.write_bytes(old)
            p = c.start()
            c.main_shown(20)
            p.send_signal(signal.SIGTERM)
            time.sleep(rng.uniform(0, 0.03))
            p.kill()
            p.wait()
            data = c.d.ini.read_bytes()
            if data == old:
                seen["old"] += 1
            elif new is None or data == new:
                new = data
                seen["new"] += 1
            else:
                other.append(data[:60])
            leftovers = [f.name for f in c.d.app_dir.iterdir()
                         if f.name not in ("qm482", "qm480cfg.ini")]
        good = new is not None and b"WINDOW_LEFT=5000" not in new
        return ["SIGKILL during the settings save",
                f"{runs} runs: window off the screen (so a save at exit), SIGTERM then SIGKILL "
                "0–30 ms later",
                f"old file {seen['old']}×, new file {seen['new']}× (new one valid: {good}); "
                f"mixed or cut: {len(other)}; left beside it: {leftovers or 'nothing'}",
                "nothing" if not other else "MIXED FILES"]
    return run_case(build, "kill-save", fn)


def case_kill_row_write(build, runs=6):
    def fn(c):
        c.d.start_sim()
        report = c.d.tmp / "r.txt"
        binary = c.d.tmp / "r.qmg"
        c.install(ini(log=recording(report, binary)))
        rng = random.Random(5)
        for i in range(runs):
            p = c.start()
            time.sleep(11 + rng.uniform(0, 3))
            p.kill()
            p.wait()
        rows, bad = report_state(report)
        rc, text = qmg_state(build, binary)
        return ["SIGKILL during row writes",
                f"{runs} runs recording at 1 s into the same files, each SIGKILLed 11–14 s "
                "after its start (a row and a record at 10 s, 11 s, …)",
                f"report {rows} rows; binary: qmg-dump --check {rc}: {text[:120]}",
                "nothing" if not bad and rc == 0 else f"BROKEN: {bad[:3]}"]
    return run_case(build, "kill-row", fn)


def case_port_regular_file(build):
    def fn(c):
        c.install(ini())
        target = c.d.tmp / "plik"
        target.write_bytes(FRAME * 10)
        (c.d.ports / "COM7").symlink_to(target)
        c.start()
        shown = c.main_shown()
        time.sleep(6)
        st = c.status()
        code = c.stop()
        return ["COM7 linked to a regular file", "`ln -s plik COM7`",
                did(c, code, f"window shown {shown}; status {st!r}"), "nothing"]
    return run_case(build, "port-file", fn)


def case_bad_parity(build):
    def fn(c):
        c.d.start_sim("--bad-parity", "2")
        c.install(ini())
        c.start()
        c.main_shown()
        samples = []
        for _ in range(8):
            time.sleep(1)
            samples.append(c.status())
        code = c.stop()
        return ["every second frame with a parity error", "`qm482-sim --bad-parity 2 --fast`",
                did(c, code, "statuses over 8 s: " + ", ".join(sorted(set(map(repr, samples))))),
                "the bad frames only"]
    return run_case(build, "parity", fn)


def case_sim_stopped(build):
    def fn(c):
        c.d.start_sim(pace=())
        c.install(ini())
        c.start()
        c.main_shown()
        c.wait_status(STATUS_OK, 10)
        os.kill(c.d.sim.pid, signal.SIGSTOP)
        time.sleep(7)
        st = c.status()
        os.kill(c.d.sim.pid, signal.SIGCONT)
        back = c.wait_status(STATUS_OK, 10)
        code = c.stop()
        return ["meter falls silent mid-frame", "SIGSTOP to `qm482-sim` for 7 s, then SIGCONT",
                did(c, code, f"silent: {st!r}; readings back {back}"), "nothing"]
    return run_case(build, "silent", fn)


# --- alarms ---------------------------------------------------------------------

ALARM_STATUS = "QM-482 nr 4660. Pomiar prawidłowy. Alarm: temperatura powyżej 20.0 °C. "


def alarms_ini(**extra):
    """The simulator's 21.5 °C is above this high limit: one alarm stays on."""
    values = {"TEMP_HIGH_ON": 1, "TEMP_HIGH": 20, "NOTIFY": 1, "SOUND": 1, **extra}
    return ini() + "[ALARMS]\r\n" + "".join(f"{k}={v}\r\n" for k, v in values.items())


def _timed_stop(c):
    t0 = time.monotonic()
    code = c.stop()
    return code, time.monotonic() - t0


def case_alarm_silent_server(build):
    def fn(c):
        held = c.d.tmp / "held.txt"
        with open(held, "wb") as out:
            c.d.spawn(["/usr/bin/python3", str(HERE.parent.parent / "bench"
                                                / "silent_notification_server.py")],
                      stdout=out)
        time.sleep(1)
        c.d.start_sim()
        c.install(alarms_ini())
        c.start()
        on = c.main_shown() and c.wait_status(ALARM_STATUS)
        time.sleep(25)
        answering = c.status() == ALARM_STATUS
        rss = c.rss_kib()
        code, took = _timed_stop(c)
        calls = held.read_text().strip().splitlines()
        return ["a notification server that never answers",
                "a server of our own owning org.freedesktop.Notifications that keeps every "
                "call unanswered; an alarm on for 25 s",
                did(c, code, f"alarm shown {on}; window answering AT-SPI after 25 s "
                             f"{answering}; RSS {rss} KiB; the server holds "
                             f"{calls[-1] if calls else 'no call'}; SIGTERM to exit "
                             f"{took * 1000:.0f} ms"),
                "nothing"]
    return run_case(build, "alarm-silent-server", fn)


def case_alarm_hanging_command(build):
    def fn(c):
        c.d.start_sim()
        c.install(alarms_ini(COMMAND="/bin/sleep 4660"))
        c.start()
        on = c.main_shown() and c.wait_status(ALARM_STATUS)
        time.sleep(3)
        code, took = _timed_stop(c)
        sleeping = subprocess.run(["pgrep", "-f", "sleep 4660"], capture_output=True,
                                  text=True).stdout.split()
        for pid in sleeping:
            os.kill(int(pid), signal.SIGKILL)
        return ["an alarm command that never ends", "`COMMAND=/bin/sleep 4660`",
                did(c, code, f"alarm shown {on}; SIGTERM to exit {took * 1000:.0f} ms; "
                             f"the command still running after the exit: {bool(sleeping)}"),
                "nothing"]
    return run_case(build, "alarm-hanging-command", fn)


def case_alarm_log_full(build):
    def fn(c):
        m = c.d.tmp / "full"
        _mount("tmpfs", m, "-o", "size=64k")
        c.mounts.append(m)
        subprocess.run(["dd", "if=/dev/zero", f"of={m}/filler", "bs=4k", "count=16"],
                       capture_output=True)
        log = m / "alarmy.log"
        c.d.start_sim()
        c.install(alarms_ini(LOG_FILE=log))
        c.start()
        on = c.main_shown() and c.wait_status(ALARM_STATUS)
        time.sleep(3)
        (m / "filler").unlink()
        time.sleep(1)
        code = c.stop()
        lines = log.read_bytes().split(b"\n") if log.exists() else []
        whole = all(line.count(b"\t") == 5 for line in lines[:-1]) and lines[-1:] == [b""]
        return ["the alarm log on a full filesystem", "`LOG_FILE` on a 64 KiB tmpfs filled to "
                "the last byte, room made 3 s after the alarm began",
                did(c, code, f"alarm shown {on}; log lines {len(lines) - 1}, all whole {whole}"),
                "nothing: the line waited for room"]
    return run_case(build, "alarm-log-full", fn)


def case_alarm_garbage(build):
    def fn(c):
        c.d.start_sim()
        c.install(ini() + "[ALARMS]\r\nTEMP_HIGH_ON=tak\r\nTEMP_HIGH=dwadzieścia\r\n"
                  "RH_HIGH_ON=1\r\nRH_HIGH=40,5\r\nRH_HYST=-3\r\nDELAY=-9\r\n"
                  "COMMAND=\"/bin/true\r\nLOG_FILE=/nie/ma/takiego/katalogu/a.log\r\n")
        def section():
            return c.d.ini.read_bytes().split(b"[ALARMS]")[1].split(b"\n[")[0].strip()
        before = section()
        c.start()
        shown = c.main_shown()
        time.sleep(4)
        st = c.status()
        code = c.stop()
        kept = section() == before
        return ["a hand-edited [ALARMS] section", "words for numbers, a comma, negative "
                "hysteresis and delay, an unbalanced quote in COMMAND, a log in no folder",
                did(c, code, f"window shown {shown}; status {st!r}"),
                f"nothing; the section kept byte for byte: {kept}"]
    return run_case(build, "alarm-garbage", fn)


CASES = {
    "noise": case_noise,
    "burst": case_burst,
    **{k: (lambda b, v=v: settings_case(b, *v)) for k, v in SETTINGS.items()},
    **{k: (lambda b, v=v, k=k: record_case(b, *v, seconds=8 if k == "rec-full" else 6))
       for k, v in RECORDING.items()},
    "two-port": case_two_on_port,
    "two-report": case_two_on_report,
    "no-bus": case_no_bus,
    "bus-restart": case_bus_restart,
    "pull": case_pull_mid_frame,
    "kill-sim": case_kill_sim_recording,
    "clock": case_clock_back,
    "kill-save": case_kill_settings_save,
    "kill-row": case_kill_row_write,
    "port-file": case_port_regular_file,
    "parity": case_bad_parity,
    "silent": case_sim_stopped,
    "alarm-silent-server": case_alarm_silent_server,
    "alarm-hanging-command": case_alarm_hanging_command,
    "alarm-log-full": case_alarm_log_full,
    "alarm-garbage": case_alarm_garbage,
}


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = pathlib.Path(sys.argv[1]).resolve()
    if len(sys.argv) == 4 and sys.argv[2] == "--one":
        # The accessibility library keeps the first bus it met: one process per case.
        row = CASES[sys.argv[3]](build)
        print("| " + " | ".join(str(x).replace("|", "\\|").replace("\n", " ")
                                for x in row) + " |", flush=True)
        return 0
    names = sys.argv[2:] or list(CASES)
    print("| input | how it was made | what the program did | what was lost |")
    print("|---|---|---|---|", flush=True)
    for name in names:
        r = subprocess.run([sys.executable, __file__, str(build), "--one", name],
                           stdout=subprocess.PIPE, text=True, timeout=900)
        print(r.stdout.strip() or f"| {name} | | DRIVER FAILED (exit {r.returncode}) | |",
              flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
