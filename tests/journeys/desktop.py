"""A throwaway desktop for one journey: Xvfb with openbox, a private session
bus with the accessibility bus on it, the simulated meter, and the program
copied beside its own settings file. Everything started here runs in its own
process group and is killed when the desktop closes, also after a failure."""

import ctypes
import os
import pathlib
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36
_libc = ctypes.CDLL(None, use_errno=True)


class JourneyFailure(AssertionError):
    """What a user would have seen go wrong, in one line."""


def wait_for(what, probe, timeout=10.0, interval=0.1):
    """Polls probe() until it returns something true; fails with `what`."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            last = probe()
        except Exception as e:  # a widget that is just going away
            last = None
            err = e
        else:
            err = None
        if last:
            return last
        if time.monotonic() >= deadline:
            extra = f" ({err})" if err else ""
            raise JourneyFailure(f"after {timeout:.0f} s: {what}{extra}")
        time.sleep(interval)


def _die_with_parent():
    # A driver killed outright still takes its direct children along.
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class Desktop:
    def __init__(self, build_dir, name, width=1024, height=768):
        self.build = pathlib.Path(build_dir)
        self.name = name
        self.shots = self.build / "journeys"
        self.tmp = pathlib.Path(tempfile.mkdtemp(prefix=f"qm482-{name}-"))
        self.ports = self.tmp / "ports"
        self.ports.mkdir()
        self.app_dir = self.tmp / "app"
        self.app_dir.mkdir()
        self.ini = self.app_dir / "qm480cfg.ini"
        self.groups = []  # process groups to kill at the end
        self.program = None
        self.sim = None
        self.weston = None
        self.size = (width, height)
        # Orphans of what we start (bus daemons' children) stay ours to reap.
        _libc.prctl(PR_SET_CHILD_SUBREAPER, 1)
        home = self.tmp / "home"
        for sub in ("", ".config", ".cache", ".local/share", "runtime"):
            (home / sub).mkdir(parents=True, exist_ok=True)
        os.chmod(home / "runtime", 0o700)
        self.env = {
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "HOME": str(home),
            "XDG_CONFIG_HOME": str(home / ".config"),
            "XDG_CACHE_HOME": str(home / ".cache"),
            "XDG_DATA_HOME": str(home / ".local/share"),
            "XDG_RUNTIME_DIR": str(home / "runtime"),
            "LANG": "C.UTF-8",
            "QM482_PORTS_DIR": str(self.ports),
            "NO_AT_BRIDGE": "0",
        }
        for k in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if k in os.environ:
                self.env[k] = os.environ[k]
        try:
            self._start_display()
            self._start_buses()
        except BaseException:
            self.close()
            raise

    # --- processes -------------------------------------------------------

    def spawn(self, argv, env=None, stdout=subprocess.DEVNULL, pass_fds=(),
              stdin=subprocess.DEVNULL):
        p = subprocess.Popen(argv, env=env or self.env, stdout=stdout,
                             stderr=subprocess.DEVNULL if stdout == subprocess.DEVNULL
                             else subprocess.STDOUT,
                             stdin=stdin, start_new_session=True,
                             preexec_fn=_die_with_parent, pass_fds=pass_fds)
        self.groups.append(p.pid)
        return p

    def _start_display(self):
        xvfb = shutil.which("Xvfb")
        if not xvfb:
            raise JourneyFailure("cannot start the virtual screen: Xvfb is not installed")
        r, w = os.pipe()
        w_, h_ = self.size
        self.xvfb = self.spawn([xvfb, "-displayfd", str(w), "-nolisten", "tcp",
                                "-screen", "0", f"{w_}x{h_}x24"], pass_fds=(w,))
        os.close(w)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([r], [], [], left)[0]:
                raise JourneyFailure("the virtual screen did not start within 15 s")
            chunk = os.read(r, 16)
            if not chunk:
                raise JourneyFailure("the virtual screen ended at start")
            number += chunk
        os.close(r)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        for tool in ("openbox", "xdotool", "import"):
            if not shutil.which(tool):
                raise JourneyFailure(f"cannot drive the desktop: {tool} is not installed")
        # openbox owns the screen's window-manager selection once it runs. On
        # a loaded machine (the sanitizer run) it can be slow, or lose a race
        # with the new screen and end: it is started once more then.
        log = self.tmp / "openbox.log"
        for attempt in (1, 2):
            with open(log, "w") as out:
                wm = self.spawn(["openbox", "--sm-disable"], stdout=out)
            try:
                wait_for("the window manager starts", lambda: _wm_running(self.env) or
                         wm.poll() is not None, timeout=30)
            except JourneyFailure:
                raise JourneyFailure("the window manager did not start within 30 s") from None
            if wm.poll() is None:
                # A Polish keymap, as the program's users have: "ó" is then a
                # key of the map, not one xdotool remaps just before it sends
                # it, which a program that has not yet taken the new map drops.
                subprocess.run(["setxkbmap", "pl"], env=self.env, check=True, timeout=10)
                return
        said = log.read_text(errors="replace").strip()[-300:]
        raise JourneyFailure(f"the window manager ended at start (exit code {wm.poll()}): {said}")

    def _start_buses(self):
        conf = self.tmp / "session.conf"
        # No service folders: nothing is started on the bus behind our back.
        conf.write_text(
            '<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"'
            ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
            f"<busconfig><type>session</type><listen>unix:dir={self.tmp}</listen>"
            "<auth>EXTERNAL</auth><policy context=\"default\">"
            '<allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>'
            '<allow own="*"/></policy></busconfig>\n')
        bus = self.spawn(["dbus-daemon", f"--config-file={conf}", "--nofork",
                          "--print-address=1"], stdout=subprocess.PIPE)
        if not select.select([bus.stdout], [], [], 15)[0]:
            raise JourneyFailure("the session bus did not start within 15 s")
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise JourneyFailure("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.access(launcher, os.X_OK):
            raise JourneyFailure("no accessibility bus: at-spi2-core is not installed")
        self.spawn([launcher, "--launch-immediately"])
        wait_for("the accessibility bus starts", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True,
            timeout=5).returncode == 0, timeout=15)

    def start_sim(self, *args, pace=("--fast",), scripted=False, port=7):
        """The meter on COM7 (or COM`port`); `pace` () sends at the real
        meter's pace. `scripted`: it sends what send() tells it, repeating
        the last frame. A second meter on another port leaves self.sim to
        the first."""
        sim = self.spawn([str(self.build / "qm482-sim"), "--port", str(port), *pace,
                          "--quiet", *(("--script", "-") if scripted else ()), *args],
                         stdin=subprocess.PIPE if scripted else subprocess.DEVNULL)
        if self.sim is None:
            self.sim = sim
        wait_for(f"the simulated meter links COM{port}",
                 lambda: (self.ports / f"COM{port}").exists())
        return sim

    def send(self, *lines):
        """Lines for the scripted meter: "SERIAL T RH P [FLAGS]", "raw HEX...",
        "silence"."""
        self.sim.stdin.write("".join(f"{line}\n" for line in lines).encode())
        self.sim.stdin.flush()

    def kill_sim(self):
        if self.sim is not None:
            try:
                os.killpg(self.sim.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.sim.wait(timeout=10)
            self.groups.remove(self.sim.pid)
            self.sim = None
            # A killed simulator leaves its link behind, and pty numbers are
            # reused: the link would soon lead to another journey's meter.
            (self.ports / "COM7").unlink(missing_ok=True)

    def install_program(self, ini_text, chart=False):
        """The program beside its settings and its manual; with the chart
        viewer too when asked (without it "Uruchom Plotan" says it finds no
        companion program)."""
        shutil.copy2(self.build / "qm482", self.app_dir / "qm482")
        for beside in ("qm482.html", "qm482-chart") if chart else ("qm482.html",):
            if (self.build / beside).exists():
                shutil.copy2(self.build / beside, self.app_dir / beside)
        self.ini.write_bytes(ini_text.encode())

    def start_program(self, locale=None, session=None, args=()):
        """The program (with `args` on its command line); with `locale`
        (e.g. "pl_PL.UTF-8") as a desktop in that language runs it, the
        locale made here if the system lacks it. `session`: variables to set
        instead (None: to remove), e.g. for a Wayland desktop. The process
        becomes self.program; an earlier one keeps running."""
        env = dict(self.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1")
        for k, v in (session or {}).items():
            if v is None:
                env.pop(k, None)
            else:
                env[k] = v
        if locale is not None:
            env.update(LC_ALL=locale, LANG=locale, LOCPATH=str(self._make_locale(locale)))
        # Under AddressSanitizer: what Qt's libraries keep until exit is not
        # this program's leak, and would change its exit code.
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"),
                                                     "detect_leaks=0"]))
        self.program = self.spawn([str(self.app_dir / "qm482"), *args], env=env)
        return self.program

    def _make_locale(self, locale):
        folder = self.tmp / "locales"
        if not (folder / locale / "LC_NUMERIC").exists():
            language, _, charset = locale.partition(".")
            folder.mkdir(exist_ok=True)
            r = subprocess.run(["localedef", "-i", language, "-f", charset,
                                str(folder / locale)], capture_output=True, text=True,
                               timeout=60)
            if not (folder / locale / "LC_NUMERIC").exists():
                raise JourneyFailure(f"cannot make the locale {locale} (install 'locales'): "
                                     f"{r.stderr.strip()[-200:]}")
        return folder

    def wait_program_end(self, timeout=10):
        try:
            code = self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise JourneyFailure(f"the program did not end within {timeout} s") from None
        self.groups.remove(self.program.pid)
        self.program = None
        return code

    def program_running(self):
        return self.program is not None and self.program.poll() is None

    # --- a Wayland desktop beside the X one ------------------------------

    def start_weston(self, xwayland=False):
        """weston on a memory screen of the desktop's size (its headless
        backend, drawn by pixman so that it can be photographed), with X
        clients served by XWayland when asked. Returns the Wayland socket's
        name and XWayland's display (None without it)."""
        if not shutil.which("weston"):
            raise JourneyFailure("cannot start a Wayland desktop: weston is not installed")
        log = self.tmp / "weston.log"
        socket = "qm482-wayland"
        w_, h_ = self.size
        argv = ["weston", "--backend=headless-backend.so", "--use-pixman", f"--width={w_}",
                f"--height={h_}", "--no-config", "--idle-time=0", f"--socket={socket}",
                f"--log={log}", "--debug"]  # --debug: the screenshooter's protocol
        if xwayland:
            argv.append("--xwayland")
        env = dict(self.env)
        env.pop("DISPLAY", None)
        self.weston = self.spawn(argv, env=env)
        runtime = pathlib.Path(self.env["XDG_RUNTIME_DIR"])

        def said():
            return log.read_text(errors="replace") if log.exists() else ""
        wait_for("the Wayland compositor starts", lambda: (runtime / socket).exists() or
                 self.weston.poll() is not None, timeout=20)
        if self.weston.poll() is not None:
            raise JourneyFailure(f"weston ended at start (exit code {self.weston.poll()}): "
                                 f"{said().strip()[-300:]}")
        self.wayland = socket
        display = None
        if xwayland:
            display = wait_for("XWayland listens", lambda: (re.findall(
                r"xserver listening on display (:\d+)", said()) or [None])[-1], timeout=20)
        return socket, display

    def stop_weston(self):
        """weston ended as a session ends it, so that it takes XWayland with
        it and removes its sockets and X lock file."""
        if self.weston is None:
            return None
        self.weston.terminate()
        try:
            code = self.weston.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.weston.kill()
            code = self.weston.wait(timeout=5)
        self.groups.remove(self.weston.pid)
        self.weston = None
        return code

    def wayland_screenshot(self, what):
        """The Wayland screen through weston's screenshooter, which writes a
        picture of its own naming into its current folder."""
        self.shots.mkdir(parents=True, exist_ok=True)
        folder = self.tmp / "wayland-shots"
        folder.mkdir(exist_ok=True)
        for old in folder.glob("*.png"):
            old.unlink()
        env = dict(self.env, WAYLAND_DISPLAY=self.wayland)
        env.pop("DISPLAY", None)
        subprocess.run(["weston-screenshooter"], cwd=folder, env=env, capture_output=True,
                       timeout=20)
        taken = list(folder.glob("*.png"))
        if not taken:
            raise JourneyFailure("weston's screenshooter left no picture")
        path = self.shots / f"{self.name}-{what}.png"
        shutil.move(str(taken[0]), path)
        return path

    # --- input and output ------------------------------------------------

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                           timeout=10)
        if r.returncode != 0:
            if check:
                raise JourneyFailure(f"xdotool {' '.join(args)}: {r.stderr.strip()}")
            return None
        return r.stdout

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", str(int(x)), str(int(y)), "click", "1")

    def key(self, *keys):
        self.xdotool("key", *keys)

    def window_ids(self, name):
        out = self.xdotool("search", "--onlyvisible", "--name", f"^{name}$", check=False)
        return out.split() if out else []

    def window_geometry(self, wid):
        """The client area's position and size on the screen."""
        r = subprocess.run(["xwininfo", "-id", wid], env=self.env, capture_output=True,
                           text=True, timeout=5)
        v = {}
        for line in r.stdout.splitlines():
            k, _, val = line.strip().partition(":")
            v[k] = val.strip()
        try:
            return (int(v["Absolute upper-left X"]), int(v["Absolute upper-left Y"]),
                    int(v["Width"]), int(v["Height"]))
        except (KeyError, ValueError):
            raise JourneyFailure(f"the window {wid} went away") from None

    def client_rect(self, wid):
        """The window without its frame as left, top, right, bottom: the
        rectangle the settings keep (the frame is the window manager's)."""
        x, y, w, h = self.window_geometry(wid)
        return x, y, x + w, y + h

    def frame_rect(self, wid):
        """The window with its frame as left, top, right, bottom."""
        x, y, w, h = self.window_geometry(wid)
        r = subprocess.run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"], env=self.env,
                           capture_output=True, text=True, timeout=5)
        try:
            left, right, top, bottom = (int(v) for v in r.stdout.split("=")[1].split(","))
        except (IndexError, ValueError):
            raise JourneyFailure(f"the window manager gives no frame for {wid}") from None
        return x - left, y - top, x + w + right, y + h + bottom

    def drag(self, x0, y0, x1, y1):
        self.xdotool("mousemove", "--sync", str(x0), str(y0), "mousedown", "1")
        # A few steps, as a hand moves: the window manager starts a move on motion.
        for i in range(1, 6):
            self.xdotool("mousemove", "--sync", str(x0 + (x1 - x0) * i // 5),
                         str(y0 + (y1 - y0) * i // 5))
        self.xdotool("mouseup", "1")

    def screenshot(self, what):
        self.shots.mkdir(parents=True, exist_ok=True)
        path = self.shots / f"{self.name}-{what}.png"
        subprocess.run(["import", "-window", "root", str(path)], env=self.env,
                       capture_output=True, timeout=20)
        return path

    # --- the end ---------------------------------------------------------

    def close(self):
        # The screens last and with SIGTERM, so they remove their sockets and
        # lock files: stale ones would trouble the next screen of that number.
        try:
            self.stop_weston()
        except (subprocess.TimeoutExpired, ValueError):
            pass
        screen = getattr(self, "xvfb", None)
        for pgid in reversed(self.groups):
            if screen is None or pgid != screen.pid:
                try:
                    os.killpg(pgid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if screen is not None and screen.pid in self.groups:
            try:
                screen.terminate()
                screen.wait(timeout=5)
            except subprocess.TimeoutExpired:
                screen.kill()
        self.groups.clear()
        # Whatever re-parented itself to us (bus children) goes too.
        for _ in range(50):
            kids = _children(os.getpid())
            if not kids:
                break
            for pid in kids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            for pid in kids:
                try:
                    os.waitpid(pid, 0)
                except ChildProcessError:
                    pass
        shutil.rmtree(self.tmp, ignore_errors=True)


def _wm_running(env):
    r = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                       capture_output=True, text=True, timeout=5)
    return r.returncode == 0 and "window id" in r.stdout


def _children(ppid):
    kids = []
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        try:
            stat = pathlib.Path(f"/proc/{d}/stat").read_text()
        except OSError:
            continue
        fields = stat.rsplit(")", 1)[1].split()
        if int(fields[1]) == ppid:
            kids.append(int(d))
    return kids
