"""What the journeys share: the settings a start is given, the Journey with
the steps several of them take, and the recorded files read back."""

import re
import subprocess
import time

from desktop import JourneyFailure, wait_for

SERIAL = 4660
READINGS = {"Temperatura": "21.5 °C", "Wilgotność względna": "45.0 %",
            "Ciśnienie": "1013.2 hPa"}
STATUS_OK = f"QM-482 nr {SERIAL}. Pomiar prawidłowy. "
STATUS_LOST = "Brak komunikacji z urządzeniem. "
NO_READING = "brak pomiaru"
RECT = {"WINDOW_LEFT": 120, "WINDOW_TOP": 90, "WINDOW_RIGHT": 720, "WINDOW_BOTTOM": 510}


def ini_text(**extra):
    values = {"PORT_NR": 7, **RECT, "TOPMOST": 0, "SHOW_ADV": 0, **extra}
    return "[GENERAL]\r\n" + "".join(f"{k}={v}\r\n" for k, v in values.items())


def ini_values(path):
    out = {}
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
        if "=" in line and not line.startswith(";"):
            k, v = line.split("=", 1)
            out[k.strip().upper()] = v.split(";")[0].strip()
    return out


class Journey:
    def __init__(self, desktop):
        self.d = desktop
        from screen import Screen  # needs the desktop's bus in the environment
        self.s = Screen(desktop)

    def fail(self, what):
        raise JourneyFailure(f"{what}; on screen: {self.s.describe()}")

    def shot(self, what):
        self.d.screenshot(what)

    def pixel(self, what, spot):
        """The colour at a screen point, as #rrggbb, from a new screenshot."""
        path = self.d.screenshot(what)
        r = subprocess.run(["convert", str(path), "-format", f"%[hex:p{{{spot[0]},{spot[1]}}}]",
                            "info:"], capture_output=True, text=True, timeout=20)
        return "#" + r.stdout.strip()[:6].lower()

    def bus_get(self, topic, item="Pomiar"):
        r = subprocess.run([str(self.d.build / "qm482-dde"), "get", f"{topic}#{SERIAL}", item],
                           env=self.d.env, capture_output=True, text=True, timeout=10)
        self.bus_said = r.stderr.strip()
        return r.returncode, r.stdout.strip()

    def expect_readings(self, where, timeout=15):
        try:
            wait_for("readings", lambda: self.s.status() == STATUS_OK, timeout=timeout)
        except JourneyFailure:
            self.fail(f"{where}: the status line says {self.s.status()!r}, "
                      f"not {STATUS_OK!r}")
        panels = self.s.panels()
        if not panels:
            self.fail(f"{where}: a screen reader finds no value panels (no accessible names)")
        if panels != READINGS:
            self.fail(f"{where}: the panels read {panels}, expected {READINGS}")
        # The service comes with the link: a client may ask just as it returns.
        try:
            wait_for("the temperature on the bus", lambda: (lambda r: r[0] == 0 and
                     r[1].endswith(" °C"))(self.bus_get("Temperatura")), timeout=5)
        except JourneyFailure:
            code, text = self.bus_get("Temperatura")
            self.fail(f"{where}: the bus gave exit code {code} and {text!r} for the "
                      f"temperature ({self.bus_said!r})")

    def start_beside_the_meter(self):
        """The meter on COM7, the program set to it, readings on screen."""
        self.d.start_sim()
        self.d.install_program(ini_text())
        self.d.start_program()
        self.wait_main("start")
        self.expect_readings("start")

    def wait_main(self, where):
        try:
            return self.s.main()
        except JourneyFailure:
            self.fail(f"{where}: the main window did not appear")

    def expect_running(self, after):
        if not self.d.program_running():
            code = self.d.program.poll()
            raise JourneyFailure(f"the program ended (exit code {code}) after {after}")

    def open_recording_dialog(self):
        """"Rejestracja do pliku", once it is enabled 10 s after the start."""
        import pyatspi
        _, item = self.s.menu_item("Ustawienia", "Rejestracja do pliku")
        wait_for("'Rejestracja do pliku' is enabled 10 s after the start",
                 lambda: pyatspi.STATE_ENABLED in item.getState().getStates(), timeout=16)
        self.s.command("Ustawienia", "Rejestracja do pliku")
        return self.s.window("Rejestracja do pliku")

    def close_by_menu(self):
        self.s.command("Program", "Zamknij")
        code = self.d.wait_program_end()
        if code != 0:
            raise JourneyFailure(f"'Program → Zamknij' ended the program with exit code {code}")

    def toggle_topmost(self, expected):
        _, item = self.s.menu_item("Widok", "Zawsze na wierzchu")
        self.s.command("Widok", "Zawsze na wierzchu")
        import pyatspi
        try:
            wait_for("the check mark", lambda: not self.d.program_running() or
                     (pyatspi.STATE_CHECKED in item.getState().getStates()) == expected,
                     timeout=5)
        except JourneyFailure:
            pass
        self.expect_running("clicking 'Widok → Zawsze na wierzchu'")
        checked = pyatspi.STATE_CHECKED in item.getState().getStates()
        if checked != expected:
            self.fail(f"'Zawsze na wierzchu' is {'checked' if checked else 'unchecked'} "
                      f"after the click")
        wid = self.d.window_ids("QM482")
        above = wait_for("the window manager's state", lambda: self._above(wid), timeout=5)
        if (above == "above") != expected:
            self.fail(f"the window manager keeps the window {above} after the click")

    def _above(self, wids):
        for wid in wids:
            r = subprocess.run(["xprop", "-id", wid, "_NET_WM_STATE"], env=self.d.env,
                               capture_output=True, text=True, timeout=5)
            if r.returncode == 0:
                return "above" if "_NET_WM_STATE_ABOVE" in r.stdout else "not above"
        return None


RECORDING = "Rejestracja do pliku co 00:00:01. "
FULL = ("21.5", "45.0", "1013.2")

NOTHING = ("???", "???", "???")


def report_rows(path, comment=()):
    """(time, temperature, humidity, pressure) of each data row; fails on
    anything that is not a whole, well-formed line, or on a file that does
    not start with the comment lines and the header."""
    raw = path.read_bytes()
    if not raw.endswith(b"\r\n"):
        raise JourneyFailure("the report ends in the middle of a line")
    lines = raw.decode("cp1250").split("\r\n")[:-1]
    header = "Data i Godzina;Temperatura °C;Wilgotność %;Ciśnienie hPa"
    start = [*comment, header]
    if lines[:len(start)] != start:
        raise JourneyFailure(f"the report starts with {lines[:len(start)]}, not {start}")
    rows = []
    for line in lines[len(start):]:
        fields = line.split(";")
        if len(fields) != 4 or not re.fullmatch(r"\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d", fields[0]):
            raise JourneyFailure(f"a broken report line: {line!r}")
        rows.append(tuple(fields))
    return rows


def seconds(text):
    return time.mktime(time.strptime(text, "%Y.%m.%d %H:%M:%S"))


def binary_rows(csv_text):
    """qmg-dump's CSV as (time, temperature, humidity, pressure), the time as
    the report writes it and an absent quantity empty."""
    out = []
    for line in csv_text.splitlines()[1:]:
        when, _serial, t, h, p = line.split(",")
        out.append((when.replace("-", "."), t, h, p))
    return out


def free_port():
    import socket
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


def start_broker(d, port):
    """A broker on loopback, started by the desktop so that it goes with it."""
    import socket
    conf = d.tmp / "mosquitto.conf"
    conf.write_text(f"listener {port} 127.0.0.1\nallow_anonymous true\npersistence false\n")
    broker = d.spawn(["/usr/sbin/mosquitto", "-c", str(conf)])

    def accepts():
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            return False
    wait_for("the broker listens", accepts, timeout=10)
    return broker
