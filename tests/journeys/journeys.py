#!/usr/bin/python3
"""Journeys: the built program on a desktop of its own, driven from outside
with real clicks and read as a user, a screen reader and a bus client would.

    journeys.py NAME BUILD_DIR      NAME: one of JOURNEYS below
    QM482_JOURNEY_SEED=N            replays the random frames of bus_values

Started as root, it runs itself (and so everything it starts) as nobody:
a pty the program leaves locked, a file it cannot write, show up only then."""

import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True  # the source tree may be read-only to us
HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from desktop import Desktop, JourneyFailure, wait_for  # noqa: E402

NOBODY = 65534
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


def fingerprint(path):
    st = path.stat()
    return st.st_ino, st.st_mtime_ns, path.read_bytes()


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
        code, text = self.bus_get("Temperatura")
        if code != 0 or not text.endswith(" °C"):
            self.fail(f"{where}: the bus gave exit code {code} and {text!r} for the temperature")

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


# --- 1. start, pick the port, restart -----------------------------------------


def journey_start(j):
    d, s = j.d, j.s
    d.start_sim()
    d.install_program(ini_text())
    previous = previous_values = None
    geometry = None
    for run in (1, 2, 3):
        where = f"start {run}"
        d.start_program()
        j.wait_main(where)
        j.expect_readings(where)
        status = s.find(s.main(), "text")
        if status.name != "Stan":
            j.fail(f"the status line's accessible name is {status.name!r}, not 'Stan'")
        wids = d.window_ids("QM482")
        if len(wids) != 1:
            j.fail(f"{where}: {len(wids)} windows named QM482 on the screen")
        j.shot(f"main-{run}")
        now = d.window_geometry(wids[0])
        client = d.client_rect(wids[0])
        if client != tuple(RECT.values()):
            j.fail(f"{where}: the window is at {client} (left, top, right, bottom), "
                   f"the settings say {tuple(RECT.values())}")
        if geometry is None:
            geometry = now
        elif now != geometry:
            j.fail(f"{where}: the window sits at {now} (x, y, width, height), "
                   f"at the first start it was at {geometry}")
        if run == 1:
            pick_port(j)
            j.expect_readings("after choosing COM7")
        j.close_by_menu()
        saved = {k: int(v) for k, v in ini_values(d.ini).items() if k in RECT}
        if saved != RECT:
            raise JourneyFailure(f"{where}: the window was at {RECT}, the settings now say "
                                 f"{saved}")
        if previous is not None and fingerprint(d.ini) != previous:
            was, now_values = previous_values, ini_values(d.ini)
            changed = {k: (was.get(k), v) for k, v in now_values.items() if was.get(k) != v}
            raise JourneyFailure(f"{where}: nothing changed, yet the settings file was "
                                 f"rewritten ({changed or 'same values'})")
        previous_values = ini_values(d.ini)
        previous = fingerprint(d.ini)


def pick_port(j):
    d, s = j.d, j.s
    s.command("Ustawienia", "Port szeregowy")
    dialog = s.window("Porty")
    combo = wait_for("the port list", lambda: s.find(dialog, "combo box"), timeout=5)
    j.shot("port-dialog")
    # Nothing in the dialog may lie under the drop-down list.
    from screen import extents, overlap, text_of
    box = extents(combo)
    for role in ("label", "push button"):
        for a in s.find_all(dialog, role):
            if a.name or text_of(a):
                if overlap(box, extents(a)):
                    j.fail(f"the port list {box} covers {a.name or text_of(a)!r} "
                           f"{extents(a)} in the port dialog")
    s.click(combo)
    entry = wait_for("COM7 in the open port list", lambda: s._placed(s.find(
        combo, "list item", pred=lambda a: a.name.startswith("COM7"))), timeout=5)
    j.shot("port-list")
    s.click(entry)
    wait_for("COM7 chosen", lambda: combo.name.startswith("COM7")
             or (text_of(combo) or "").startswith("COM7"), timeout=5)
    s.click(s.find(dialog, "push button", "OK"))
    wait_for("the port dialog closes", lambda: "Porty" not in s.windows(), timeout=5)


# --- 2. every menu command ----------------------------------------------------

# The main menu as the window must show it, in order; "-" a separator.
MAIN_MENU = [("Program", ["Uruchom Plotan", "-", "Zamknij"]),
             ("Widok", ["Kolory", "Czcionki", "Zawsze na wierzchu"]),
             # MQTT publishing comes after the meter's own settings.
             ("Ustawienia", ["Port szeregowy", "Rejestracja do pliku", "Ustawienia dodatkowe",
                             "Publikowanie MQTT"]),
             ("Pomoc", ["Pomoc", "Program Varda", "O programie"])]
MUST_BE_ENABLED = {("Program", "Zamknij"), ("Widok", "Zawsze na wierzchu"),
                   ("Ustawienia", "Port szeregowy")}
# The window each command opens, where it is known.
OPENS = {("Ustawienia", "Port szeregowy"): "Porty"}


def journey_menus(j):
    import pyatspi
    d, s = j.d, j.s
    j.start_beside_the_meter()
    enabled = []
    bar = s.find(s.main(), "menu bar")
    menus = [bar.getChildAtIndex(i).name for i in range(bar.childCount)]
    if menus != [m for m, _ in MAIN_MENU]:
        j.fail(f"the menu bar reads {menus}, not {[m for m, _ in MAIN_MENU]}")
    for menu, expected_items in MAIN_MENU:
        _, popup = s.open_menu(menu)
        j.shot(f"menu-{menu}")
        shown = []
        for i in range(popup.childCount):
            child = popup.getChildAtIndex(i)
            shown.append("-" if child.getRoleName() == "separator" else child.name)
        if shown != expected_items:
            j.fail(f"the menu '{menu}' reads {shown}, not {expected_items}")
        for item in s.find_all(popup, "menu item"):
            if pyatspi.STATE_ENABLED in item.getState().getStates():
                enabled.append((menu, item.name))
        d.key("Escape")
        wait_for(f"the menu '{menu}' closes", lambda: s._shown_popup(
            s.find(bar, "menu item", menu)) is None, timeout=5)
    missing = MUST_BE_ENABLED - set(enabled)
    if missing:
        j.fail(f"commands shown disabled: {sorted(missing)}")
    print("enabled commands:", enabled)

    for menu, item in enabled:
        if (menu, item) in MUST_BE_ENABLED - set(OPENS):
            continue
        s.command(menu, item)
        open_and_close(j, menu, item)
        j.expect_running(f"'{menu} → {item}' was opened and closed")
        j.expect_readings(f"after '{menu} → {item}'")

    for expected in (True, False, True):
        j.toggle_topmost(expected)
    j.shot("topmost")
    j.close_by_menu()
    topmost = ini_values(d.ini).get("TOPMOST")
    if topmost != "1":
        raise JourneyFailure(f"'Zawsze na wierzchu' was on at the end, the settings say "
                             f"TOPMOST={topmost}")


def open_and_close(j, menu, item):
    d, s = j.d, j.s
    title = OPENS.get((menu, item))
    if title is not None:
        w = s.window(title)
    else:
        w = wait_for(f"'{menu} → {item}' opens a window", lambda: next(
            (w for n, w in s.windows().items() if n and n != "QM482"), None), timeout=10)
        title = w.name
    j.shot(f"{menu}-{item}".replace(" ", "_"))
    cancel = s.find(w, "push button", "Anuluj")
    if cancel is not None:
        s.click(cancel)
    else:
        d.key("Escape")
    wait_for(f"the window '{title}' closes", lambda: title not in s.windows(), timeout=5)


# --- 3. the meter goes away and comes back; a logout --------------------------


def journey_link(j):
    d, s = j.d, j.s
    j.start_beside_the_meter()

    d.kill_sim()
    lost = time.monotonic()
    try:
        wait_for("link lost", lambda: s.status() == STATUS_LOST, timeout=6.5)
    except JourneyFailure:
        j.fail(f"the meter was gone {time.monotonic() - lost:.1f} s and the status line "
               f"still says {s.status()!r}")
    j.shot("no-link")
    panels = s.panels()
    if set(panels.values()) != {NO_READING}:
        j.fail(f"without the meter the panels read {panels}")
    code, text = j.bus_get("Temperatura")
    if code != 3:
        j.fail(f"without the meter the bus still answers ({code}, {text!r})")

    d.start_sim()
    j.expect_readings("after the meter came back", timeout=15)

    # The user moves the window by its title bar; the new place must be kept.
    wid = d.window_ids("QM482")[0]
    before = d.frame_rect(wid)
    d.drag(before[0] + 200, before[1] + 8, before[0] + 260, before[1] + 48)
    moved = wait_for("the window follows the mouse", lambda: (
        lambda r: r if r[:2] == (before[0] + 60, before[1] + 40) else None)(d.frame_rect(wid)),
        timeout=5)
    moved = d.client_rect(wid)
    s.command("Ustawienia", "Port szeregowy")
    s.window("Porty")
    j.shot("port-dialog-before-logout")
    known = set(title_of_windows(d))
    d.program.send_signal(signal.SIGTERM)
    seen = set()
    deadline = time.monotonic() + 10
    while d.program.poll() is None and time.monotonic() < deadline:
        seen |= set(title_of_windows(d))
        time.sleep(0.05)
    code = d.wait_program_end(timeout=1)
    if code != 0:
        raise JourneyFailure(f"SIGTERM with the port dialog open ended the program with "
                             f"exit code {code}")
    flashed = seen - known
    if flashed:
        raise JourneyFailure(f"while ending on SIGTERM the program showed {sorted(flashed)}")
    saved = ini_values(d.ini)
    place = (int(saved.get("WINDOW_LEFT", -1)), int(saved.get("WINDOW_TOP", -1)))
    if place != moved[:2]:
        raise JourneyFailure(f"the window was moved to {moved[:2]}, after SIGTERM the settings "
                             f"say {place}")


def title_of_windows(d):
    out = d.xdotool("search", "--onlyvisible", "--pid", str(d.program.pid),
                    "getwindowname", "%@", check=False)
    return [line for line in (out or "").splitlines()]


# --- 4. a day's recording: the report and the binary file read back ----------

RECORDING = "Rejestracja do pliku co 00:00:01. "
FULL = ("21.5", "45.0", "1013.2")
HUMIDITY_IN_ERROR = ("21.5", "???", "1013.2")
NOTHING = ("???", "???", "???")


def journey_recording(j):
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    # A ';' in a name must survive the settings file (the format cuts a
    # value at its last ';', so the program writes one more).
    report, binary = data / "hala;2.csv", data / "hala.qmg"
    d.start_sim()
    d.install_program(ini_text() + "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {
        "FILE_NAME": f"{report};", "FILE_NAME_BIN": binary, "FILE_LOG": 1, "FILE_LOG_BIN": 1,
        "FILE_INTERVAL": 1, "FILE_SEP_FORMAT": 2, "FILE_TEMP": 1, "FILE_RH": 1,
        "FILE_PRESSURE": 1}.items()))
    # On a Polish desktop: its decimal comma must reach no panel, file or bus text.
    d.start_program(locale="pl_PL.UTF-8")
    j.wait_main("start")
    j.expect_readings("start")
    try:
        wait_for("recording starts", lambda: s.status() == STATUS_OK + RECORDING, timeout=16)
    except JourneyFailure:
        j.fail(f"12 s after the start the status line says {s.status()!r}")
    j.shot("recording")

    def rows():
        return report_rows(report) if report.exists() else []

    def recorded(kind, n):
        wait_for(f"{n} rows {kind}", lambda: sum(r[1:] == kind for r in rows()) >= n, timeout=10)

    recorded(FULL, 3)
    d.kill_sim()
    d.start_sim("--error", "humidity")
    wait_for("the humidity error", lambda: "Błąd wartości wilgotności" in (s.status() or ""),
             timeout=10)
    recorded(HUMIDITY_IN_ERROR, 3)
    d.kill_sim()
    wait_for("the link lost", lambda: s.status() == STATUS_LOST + RECORDING, timeout=8)
    recorded(NOTHING, 3)
    j.close_by_menu()

    got = rows()
    kinds = [r[1:] for r in got]
    if kinds[-1] != NOTHING or FULL not in kinds or HUMIDITY_IN_ERROR not in kinds:
        raise JourneyFailure(f"the report's rows are {kinds}")
    if kinds.index(HUMIDITY_IN_ERROR) < len(kinds) - kinds[::-1].index(FULL):
        raise JourneyFailure("the report mixes rows of the error with those before it")
    times = [r[0] for r in got]
    if times != sorted(times):
        raise JourneyFailure(f"the report's times go backwards: {times}")

    # The binary file holds the same ticks: every record whole, the values
    # those of the report's row of the same second.
    dump = subprocess.run([str(d.build / "qmg-dump"), "--csv", str(binary)],
                          capture_output=True, text=True, timeout=30)
    if dump.returncode != 0:
        raise JourneyFailure(f"qmg-dump finds the binary file damaged: {dump.stderr.strip()}")
    records = binary_rows(dump.stdout)
    expected = [tuple(v if v != "???" else "" for v in values) for _, *values in got]
    if [values for _, *values in records] != [list(v) for v in expected]:
        raise JourneyFailure(f"the binary file says {records[:4]}…, the report {got[:4]}…")
    # Each file reads the clock for itself: the same tick, or the next second.
    for (row_time, *_), (record_time, *_) in zip(got, records):
        if not 0 <= seconds(record_time) - seconds(row_time) <= 1:
            raise JourneyFailure(f"a row of {row_time} has its record at {record_time}")
    print(f"journey recording: {len(got)} rows and records read back")


def journey_chart(j):
    """"Uruchom Plotan" without the maker's program opens qm482-chart on the
    binary file the program records into at 1 s from a drifting meter, and
    new points arrive while it is open."""
    import pyatspi
    from screen import _walk
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    binary = data / "hala.qmg"
    # A drifting meter at its own pace: at a hundred times that, every frame
    # repaints the panels and the desktop has no time left to answer.
    d.start_sim("--drift", pace=())
    d.install_program(ini_text() + "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {
        "FILE_NAME": data / "hala.txt", "FILE_NAME_BIN": binary, "FILE_LOG": 1,
        "FILE_LOG_BIN": 1, "FILE_INTERVAL": 1, "FILE_SEP_FORMAT": 2, "FILE_TEMP": 1,
        "FILE_RH": 1, "FILE_PRESSURE": 1}.items()), chart=True)
    d.start_program()
    j.wait_main("start")
    wait_for("the first records", lambda: binary.exists() and binary.stat().st_size > 200,
             timeout=20)
    s.command("Program", "Uruchom Plotan")

    def chart_app():
        reg = pyatspi.Registry.getDesktop(0)
        for i in range(reg.childCount):
            app = reg.getChildAtIndex(i)
            if app is not None and app.name == "qm482-chart":
                return app
        return None

    app = wait_for("'Uruchom Plotan' opens the chart viewer", chart_app, timeout=15)

    def status():
        for a in _walk(app):
            if a.getRoleName() == "label" and (a.name or "").startswith("Rekordy:"):
                return a.name
        return None

    def records():
        m = re.match(r"Rekordy: (\d+)\s+Uszkodzone: (\d+)", status() or "")
        return (int(m.group(1)), int(m.group(2))) if m else None

    first, damaged = wait_for("the chart shows how many records it read", records, timeout=15)
    if first < 3 or damaged != 0:
        j.fail(f"the chart's status bar says {status()!r}")
    time.sleep(1)  # the first draw
    j.shot("chart-opened")
    later = wait_for("new records reach the chart",
                     lambda: (r := records()) is not None and r[0] >= first + 4 and r, timeout=10)
    time.sleep(1)
    j.shot("chart-later")
    if later[1] != 0:
        j.fail(f"the chart counts damaged records: {status()!r}")
    os.kill(app.get_process_id(), signal.SIGTERM)
    # Closed as a person closes it: the main window is clicked only once the
    # viewer's window has gone and the window manager has given back the focus.
    wait_for("the chart viewer closes", lambda: not d.window_ids(".*qm482-chart"), timeout=10)
    wait_for("the main window has the focus", lambda: d.xdotool(
        "getactivewindow", check=False) is not None and
        d.xdotool("getactivewindow").strip() in d.window_ids("QM482"), timeout=10)
    j.close_by_menu()
    print(f"journey chart: {first} records at the start, {later[0]} a few seconds later")


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


def journey_recording_setup(j):
    """Recording set up from the menu: the dialog, the file choosers, the
    question about a file that exists, and both files read back."""
    import pyatspi
    from screen import text_of
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    (data / "hala.csv").write_bytes(b"stare dane\r\n")
    d.start_sim()
    d.install_program(ini_text() + "[LOG]\r\nFILE_INTERVAL=1\r\n")
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")
    dialog = j.open_recording_dialog()
    j.shot("dialog-nothing")

    def box(name, role="check box"):
        found = s.find(dialog, role, name)
        if found is None:
            j.fail(f"no '{name}' in the recording dialog")
        return found

    def choose_file(button, title, typed, filter_down=0):
        s.click(button)
        chooser = s.window(title)
        j.shot(title.replace(" ", "_"))
        if filter_down:
            s.click(s.find(chooser, "combo box", pred=lambda a: "(*." in a.name))
            for _ in range(filter_down):
                d.key("Down")
            d.key("Return")
        s.click(s.find(chooser, "text", "Nazwa pliku:"))
        d.xdotool("type", "--delay", "20", typed)
        d.key("Return")
        wait_for(f"'{title}' closes", lambda: title not in s.windows(), timeout=5)

    names = sorted(s.find_all(dialog, "text"), key=lambda a: a.queryComponent().getExtents(
        pyatspi.DESKTOP_COORDS).y)
    report_name, comment, binary_name = names[0], names[1], names[2]
    dots = [a for a in s.find_all(dialog, "push button") if a.name == "..."]
    s.click(box("Rejestruj wyniki pomiarów"))
    j.shot("dialog-report")
    # No extension typed: the chosen kind of file gives it.
    choose_file(dots[0], "Wybierz plik raportu", str(data / "hala"), filter_down=1)
    if text_of(report_name) != str(data / "hala.csv"):
        j.fail(f"the report chooser gave {text_of(report_name)!r}")
    s.click(box("Średnik", "radio button"))
    s.click(box("Dodaj komentarz przy rozpoczęciu rejestracji:"))
    s.click(comment)
    d.xdotool("type", "--delay", "20", "Hala 2 próba")
    s.click(box("Dodaj numer seryjny urządzenia do komentarza"))
    j.shot("dialog-comment")
    s.click(box("Rejestruj do pliku binarnego (używany przez program Plotan)"))
    choose_file(dots[1], "Wybierz plik binarny", str(data / "hala"))
    if text_of(binary_name) != str(data / "hala.qmg"):
        j.fail(f"the binary file chooser gave {text_of(binary_name)!r}")
    j.shot("dialog-everything")
    s.click(s.find(dialog, "push button", "OK"))

    question = wait_for("the question about the existing report", lambda: next(
        (w for n, w in s.windows().items() if n == "qm482"), None), timeout=10)
    shown = " ".join(text_of(a) or a.name for a in s.find_all(question, "label"))
    if "Plik rejestracji pomiarów już istnieje." not in shown:
        j.fail(f"the program asks {shown!r}")
    j.shot("question")
    s.click(s.find(question, "push button", "Nie"))
    try:
        wait_for("recording", lambda: s.status() == STATUS_OK + RECORDING, timeout=5)
    except JourneyFailure:
        j.fail(f"after OK the status line says {s.status()!r}")
    report = data / "hala.csv"
    comment_lines = ("Hala 2 próba", f"QM-482 nr {SERIAL}")
    wait_for("three rows", lambda: len(report_rows(report, comment_lines)) >= 3, timeout=10)
    j.close_by_menu()

    rows = report_rows(report, comment_lines)  # "Nie": the old content is gone
    if any(row[1:] != FULL for row in rows):
        raise JourneyFailure(f"the report's rows are {rows}")
    dump = subprocess.run([str(d.build / "qmg-dump"), "--csv", str(data / "hala.qmg")],
                          capture_output=True, text=True, timeout=30)
    records = binary_rows(dump.stdout)
    if dump.returncode != 0 or len(records) != len(rows):
        raise JourneyFailure(f"{len(rows)} report rows, but the binary file gives "
                             f"{len(records)} records ({dump.stderr.strip()})")
    saved = ini_values(d.ini)
    expected = {"FILE_LOG": "1", "FILE_LOG_BIN": "1", "FILE_SEP_FORMAT": "2",
                "FILE_CHECK_COMMENT": "1", "FILE_CHECK_COMMENT_SN": "1",
                "FILE_NAME": str(report), "FILE_NAME_BIN": str(data / "hala.qmg")}
    wrong = {k: saved.get(k) for k, v in expected.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"the settings file says {wrong}")


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


# --- 5. colours and fonts of the panels ----------------------------------------

PANEL_BACKGROUND = "#cae4ff"  # the temperature panel's own background
CHOSEN = "#ff8000"
COLOUR_LABELS = {"Tło", "Tekst", "Temperatura", "Wilg. względna", "Ciśnienie"}


def journey_styles(j):
    from screen import extents
    s = j.s
    j.start_beside_the_meter()
    x, y, w, h = extents(s.find(s.main(), "filler", "Temperatura"))
    # Bottom left of the temperature panel: background, left of any dialog.
    spot = (x + 4, y + h - 4)
    seen = j.pixel("main", spot)
    if seen != PANEL_BACKGROUND:
        j.fail(f"the temperature panel shows {seen} at {spot}, not {PANEL_BACKGROUND}")

    colours = open_styles(j, "Kolory", COLOUR_LABELS)
    j.shot("colours")
    swatch = s.find(colours, "push button", "Tło: Temperatura")
    if swatch is None or swatch.description != PANEL_BACKGROUND:
        j.fail("no swatch 'Tło: Temperatura' in the panel's colour for a screen reader")
    choose_colour(j, swatch)
    seen = j.pixel("colours-changed", spot)
    if seen != CHOSEN:
        j.fail(f"with the dialog open the panel shows {seen}, not the chosen {CHOSEN}")
    s.click(s.find(colours, "push button", "Anuluj"))
    wait_for("'Kolory' closes", lambda: "Kolory" not in s.windows(), timeout=5)
    try:
        wait_for("the old colour back", lambda: j.pixel("colours-cancelled", spot)
                 == PANEL_BACKGROUND, timeout=5)
    except JourneyFailure:
        j.fail(f"after 'Anuluj' the panel shows {j.pixel('colours-cancelled', spot)}, "
               f"not its old {PANEL_BACKGROUND}")

    fonts = open_styles(j, "Czcionki", COLOUR_LABELS - {"Tło", "Tekst"})
    previews = [s.find(fonts, "push button", f"Czcionka: {n}")
                for n in ("Temperatura", "Wilgotność względna", "Ciśnienie")]
    if None in previews:
        j.fail("the fonts dialog lacks a preview a screen reader can find")
    j.shot("fonts")
    s.click(previews[0])
    chooser = wait_for("the font chooser opens", lambda: next(
        (w for n, w in s.windows().items() if n not in ("QM482", "Czcionki")), None), timeout=10)
    j.shot("font-chooser")
    s.click(s.find(chooser, "push button", "Anuluj"))
    wait_for("the font chooser closes", lambda: chooser.name not in s.windows(), timeout=5)
    s.click(s.find(fonts, "push button", "Anuluj"))
    wait_for("'Czcionki' closes", lambda: "Czcionki" not in s.windows(), timeout=5)
    j.expect_readings("after the colours and fonts")

    j.close_by_menu()


def open_styles(j, title, labels):
    from screen import text_of
    s = j.s
    s.command("Widok", title)
    w = s.window(title)
    shown = {text_of(a) or a.name for a in s.find_all(w, "label")}
    if not labels <= shown:
        j.fail(f"'{title}' lacks the labels {sorted(labels - shown)}")
    return w


def choose_colour(j, swatch):
    """Picks CHOSEN in the colour chooser as a person types it: the HTML box."""
    from screen import text_of
    d, s = j.d, j.s
    s.click(swatch)
    chooser = wait_for("the colour chooser opens", lambda: next(
        (w for n, w in s.windows().items() if n not in ("QM482", "Kolory")), None), timeout=10)
    html = wait_for("the chooser's HTML box", lambda: s.find(
        chooser, "text", pred=lambda a: (text_of(a) or "").startswith("#")), timeout=5)
    j.shot("colour-chooser")
    s.click(html)
    d.key("ctrl+a")
    d.xdotool("type", "--delay", "30", CHOSEN)
    d.key("Return")
    wait_for("the colour chooser closes", lambda: chooser.name not in s.windows(), timeout=5)
    try:
        wait_for("the swatch takes the colour", lambda: swatch.description == CHOSEN, timeout=5)
    except JourneyFailure:
        j.fail(f"the swatch '{swatch.name}' shows {swatch.description} after choosing {CHOSEN}")


# --- the auxiliary windows: about, promotion, settings, help, Plotan ---------


def journey_extras(j):
    from screen import extents, text_of
    d, s = j.d, j.s
    d.start_sim()
    d.install_program(ini_text(SHOW_ADV=1))
    d.start_program()
    # Shown at the start: the promotion window, over the main window.
    promo = s.window("Orlent - promocja Varda", timeout=15)
    j.shot("promotion")
    link = s.find(promo, "label", "Kliknij, aby uzyskać więcej informacji w internecie")
    if link is None:
        j.fail("the promotion window lacks its link")
    s.click(s.find(promo, "push button", "Zamknij"))
    wait_for("the promotion window closes",
             lambda: "Orlent - promocja Varda" not in s.windows(), timeout=5)
    j.expect_readings("after the promotion window")

    for menu, item, title in (("Pomoc", "O programie", "O programie"),
                              ("Pomoc", "Program Varda", "Orlent - promocja Varda")):
        s.command(menu, item)
        w = s.window(title)
        j.shot(title.replace(" ", "_"))
        if title == "O programie":
            labels = {text_of(a) or a.name for a in s.find_all(w, "label")}
            for wanted in ("QM482 Wersja 3.07", "email: biuro@orlent.example.com"):
                if wanted not in labels:
                    j.fail(f"the about box lacks {wanted!r}: {sorted(labels)}")
            s.click(s.find(w, "push button", "OK"))
        else:
            s.click(s.find(w, "push button", "Zamknij"))
        wait_for(f"'{title}' closes", lambda: title not in s.windows(), timeout=5)

    # The window's own about item, from its context menu.
    x, y, w_, h = extents(s.find(s.main(), "filler", "Temperatura"))
    d.xdotool("mousemove", "--sync", str(x + w_ // 2), str(y + h // 2), "click", "3")
    time.sleep(0.5)
    j.shot("context-menu")
    # The menu's one item, chosen from the keyboard as its window is not
    # among the program's accessible windows.
    d.key("Down")
    d.key("Return")
    about = s.window("O programie")
    s.click(s.find(about, "push button", "OK"))
    wait_for("'O programie' closes", lambda: "O programie" not in s.windows(), timeout=5)

    # The additional settings: the promotion window off from the next start.
    s.command("Ustawienia", "Ustawienia dodatkowe")
    settings = s.window("Ustawienia dodatkowe")
    box = s.find(settings, "check box",
                 "Nie pokazu informacji o oprogramowaniu Varda przy starcie")
    if box is None:
        j.fail("the additional settings lack their check box")
    s.click(box)
    j.shot("additional-settings")
    s.click(s.find(settings, "push button", "OK"))
    wait_for("'Ustawienia dodatkowe' closes",
             lambda: "Ustawienia dodatkowe" not in s.windows(), timeout=5)

    # No companion program anywhere: the program says so.
    s.command("Program", "Uruchom Plotan")
    box = wait_for("the message box", lambda: next(
        (w for n, w in s.windows().items() if n == "qm482"), None), timeout=10)
    said = [text_of(a) or a.name for a in s.find_all(box, "label")]
    j.shot("plotan")
    if "Nie można odnaleźć programu Plotan.exe" not in said:
        j.fail(f"'Uruchom Plotan' said {said}")
    s.click(s.find(box, "push button", "OK"))
    wait_for("the box closes", lambda: "qm482" not in s.windows(), timeout=5)

    # Help from the menu, then from F1.
    s.command("Pomoc", "Pomoc")
    help_window = s.window("QM482 - Pomoc")
    j.shot("help")
    d.key("Escape")
    wait_for("help closes", lambda: "QM482 - Pomoc" not in s.windows(), timeout=5)
    s.click(s.find(s.main(), "filler", "Temperatura"))
    d.key("F1")
    help_window = s.window("QM482 - Pomoc")
    if help_window is None:
        j.fail("F1 did not open help")
    j.expect_running("help")
    j.close_by_menu()
    if ini_values(d.ini).get("SHOW_ADV") != "0":
        raise JourneyFailure(f"the box was ticked, the settings say "
                             f"SHOW_ADV={ini_values(d.ini).get('SHOW_ADV')}")


# --- MQTT: set up through the dialog, readings at a subscriber ---------------


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


def journey_mqtt(j):
    import json
    import pyatspi
    from screen import text_of
    d, s = j.d, j.s
    port = free_port()
    broker = start_broker(d, port)
    heard = d.tmp / "mosquitto_sub.txt"
    with open(heard, "wb") as out:
        d.spawn(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-q", "1", "-v",
                 "-t", "qm482/#", "-t", "homeassistant/#"], stdout=out)
    j.start_beside_the_meter()

    s.command("Ustawienia", "Publikowanie MQTT")
    dialog = s.window("Publikowanie MQTT")
    j.shot("mqtt-dialog-off")

    def edit(name, typed):
        field = s.find(dialog, "text", name) or s.find(dialog, "password text", name)
        if field is None:
            j.fail(f"no field '{name}' in the MQTT dialog")
        s.click(field)
        d.key("ctrl+a")
        d.xdotool("type", "--delay", "20", typed)
        return field

    s.click(s.find(dialog, "check box", "Publikuj pomiary na serwerze MQTT"))
    edit("Serwer", "127.0.0.1")
    edit("Port", str(port))
    edit("Użytkownik", "hala")
    password = edit("Hasło", "tajne")
    if "tajne" in (text_of(password) or ""):
        j.fail("the password is readable on the screen")
    j.shot("mqtt-dialog-filled")
    s.click(s.find(dialog, "push button", "OK"))
    wait_for("the dialog closes", lambda: "Publikowanie MQTT" not in s.windows(), timeout=5)

    def state_message():
        for line in heard.read_text(encoding="utf-8", errors="replace").splitlines():
            topic, _, payload = line.partition(" ")
            if topic == f"qm482/{SERIAL}/state":
                message = json.loads(payload)
                if message.get("temperature") == 21.5:
                    return message
        return None
    try:
        message = wait_for("a reading at mosquitto_sub", state_message, timeout=15)
    except JourneyFailure:
        j.fail(f"mosquitto_sub heard {heard.read_text(errors='replace')!r}")
    want = {"serial": SERIAL, "temperature": 21.5, "temperature_valid": True, "humidity": 45,
            "humidity_valid": True, "pressure": 1013.2, "pressure_valid": True}
    if {k: message.get(k) for k in want} != want:
        j.fail(f"the state message is {message}")
    text = heard.read_text(encoding="utf-8")
    for expected in (f"qm482/{SERIAL}/availability online",
                     f"homeassistant/sensor/qm482_{SERIAL}/temperature/config "):
        if expected not in text:
            j.fail(f"mosquitto_sub did not hear {expected!r}: {text!r}")
    print("journey mqtt: mosquitto_sub heard", message)

    # The dialog's state line follows the connection while it is open.
    s.command("Ustawienia", "Publikowanie MQTT")
    dialog = s.window("Publikowanie MQTT")

    def state_line(prefix):
        return s.find(dialog, "label", pred=lambda a: (a.name or "").startswith(prefix))
    try:
        wait_for("connected", lambda: state_line(f"Połączono z 127.0.0.1:{port}"), timeout=5)
    except JourneyFailure:
        j.fail("the state line does not say 'Połączono z'")
    j.shot("mqtt-dialog-connected")
    os.killpg(broker.pid, signal.SIGTERM)
    broker.wait(timeout=10)
    try:
        wait_for("the state line tells", lambda: state_line("Brak połączenia: "), timeout=10)
    except JourneyFailure:
        j.fail("with the broker gone the state line does not say 'Brak połączenia'")
    j.shot("mqtt-dialog-broker-gone")
    if "qm482" in s.windows():
        j.fail("a message box came up for the broker that went away")
    s.click(s.find(dialog, "push button", "Anuluj"))
    j.expect_readings("with the broker gone")
    j.close_by_menu()

    saved = ini_values(d.ini)
    expected = {"ENABLED": "1", "HOST": "127.0.0.1", "PORT": str(port), "USER": "hala",
                "PASSWORD": "tajne"}
    wrong = {k: saved.get(k) for k, v in expected.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"the settings file says {wrong}")
    mode = d.ini.stat().st_mode & 0o777
    if mode != 0o600:
        raise JourneyFailure(f"the settings file with the password has mode {mode:o}")


# --- the readings as a bus client gets them, over the frame's whole range ----

TOPICS = ("Temperatura", "Wilgotność", "Ciśnienie")
UNITS = (" °C", " %", " hPa")
# The status character's flag bits, and the topics each one puts in error.
FLAG_BITS = {"humidity": 0x01, "temperature": 0x02, "calibration": 0x04, "pressure": 0x08}
IN_ERROR = {"temperature": {0}, "humidity": {1}, "pressure": {2}, "calibration": {0, 1, 2}}
FLAG_TEXTS = (("temperature", "Błąd wartości temperatury. "),
              ("humidity", "Błąd wartości wilgotności względnej. "),
              ("pressure", "Błąd wartości ciśnienia. "), ("calibration", "Błąd kalibracji. "))


def with_parity(payload):
    payload &= 0x3F
    return payload | (0x40 if bin(payload).count("1") % 2 == 0 else 0)


class Frame:
    """One meter frame built here from its digits, so that what the bus
    should say follows from the bytes, not from the program's own code.
    Digits are 0-15 (10-15 travel as ':' to '?'); `minus` sends the
    temperature's sign character in place of its thousands digit."""

    def __init__(self, serial, humidity, temperature, pressure, flags=(), minus=False):
        self.serial, self.flags, self.minus = serial, frozenset(flags), minus
        self.digits = {"h": humidity, "t": temperature, "p": pressure}

    @staticmethod
    def of(serial, t, rh, p, flags=()):
        """From values in tenths, as a meter sends them."""
        digits = lambda v, n: [v // 10 ** k % 10 for k in reversed(range(n))]  # noqa: E731
        return Frame(serial, digits(rh, 3), digits(abs(t), 4), digits(p, 5), flags, t < 0)

    def bytes(self):
        status = 0x30 | sum(FLAG_BITS[f] for f in self.flags)
        s = self.serial
        chars = [status, *(0x30 + n for n in (s >> 4 & 15, s & 15, s >> 12 & 15, s >> 8 & 15))]
        chars += [0x30 + d for d in self.digits["h"]]
        t = [0x30 + d for d in self.digits["t"]]
        if self.minus:
            t[0] = 0x2D
        chars += t + [0x30 + d for d in self.digits["p"]]
        return bytes([0x40, *(with_parity(c) for c in chars), 0x0D])

    def line(self):
        return "raw " + " ".join(f"{b:02X}" for b in self.bytes())

    def values(self):
        """Temperature, humidity, pressure as the meter means them: the
        integer of tenths times the double 0.1."""
        number = lambda ds: sum(d * 10 ** k for k, d in enumerate(reversed(ds)))  # noqa: E731
        t = self.digits["t"]
        temperature = -number(t[1:]) * 0.1 if self.minus else number(t) * 0.1
        return temperature, number(self.digits["h"]) * 0.1, number(self.digits["p"]) * 0.1

    def topics(self, serial=None):
        return [f"{name}#{self.serial if serial is None else serial}" for name in TOPICS]

    def items(self):
        """(topic index, item) -> the text a client must get."""
        out = {}
        for i, v in enumerate(self.values()):
            wynik = bus_number(v)
            bad = any(i in IN_ERROR[f] for f in self.flags)
            out[i, "Wynik"] = wynik
            out[i, "Pomiar"] = wynik + UNITS[i]
            out[i, "Status"] = "Błąd pomiaru" if bad else "Pomiar OK"
        return out

    def status_line(self):
        text = f"QM-482 nr {self.serial}. "
        if not self.flags:
            text += "Pomiar prawidłowy. "
        return text + "".join(t for f, t in FLAG_TEXTS if f in self.flags)

    def __str__(self):
        t, h, p = self.values()
        return (f"serial {self.serial:#06x} T {t!r} RH {h!r} P {p!r} "
                f"flags {','.join(sorted(self.flags)) or '-'}")


def bus_number(v):
    """The bus's number: the value moved 0.05 toward zero, then the exact
    double rounded to a tenth, a half away from zero."""
    from decimal import ROUND_HALF_UP, Decimal
    shifted = v - 0.05 if v >= 0 else v + 0.05
    return str(Decimal(shifted).quantize(Decimal("0.1"), rounding=ROUND_HALF_UP))


def bus_frames(rng):
    """The edges of every field, every flag combination, then random frames
    over the whole range; serial numbers all different, so a frame's topics
    tell that it has arrived."""
    fixed = [
        Frame.of(0xABCD, -123, 456, 10132, ("humidity", "calibration")),
        Frame.of(0xFFFF, -999, 0, 0, ("temperature",)),
        Frame.of(1, 9999, 999, 99999, ("pressure",)),
        Frame.of(0x0A0B, 0, 10, 9, ("temperature", "humidity", "pressure", "calibration")),
        Frame.of(0xF00D, 10, 9, 13),
        Frame.of(0xC0DE, 13, 234, 1),
        Frame.of(0xBEEF, -1, 1, 99998, ("calibration",)),
        Frame(0xFACE, [0, 0, 0], [0, 0, 0, 0], [0] * 5, minus=True),  # minus zero
        # Digits above 9 (':' to '?') are taken at their value in any field.
        Frame(0xD00D, [15, 10, 9], [15, 15, 15, 15], [15] * 5, ("humidity",)),
    ]
    used = {f.serial for f in fixed} | {SERIAL, 0x1234}
    combos = [frozenset(f for f, bit in FLAG_BITS.items() if n & bit) for n in range(16)]
    random_frames = []
    for n in range(24):
        serial = next(s for s in iter(lambda: rng.randrange(1, 0x10000), None) if s not in used)
        used.add(serial)
        t = rng.randrange(-999, 10000) if n % 3 else rng.randrange(-999, 0)
        random_frames.append(Frame.of(serial, t, rng.randrange(1000), rng.randrange(100000),
                                      combos[n % 16]))
    return fixed + random_frames


def journey_bus_values(j):
    import random
    d, s = j.d, j.s
    seed = int(os.environ.get("QM482_JOURNEY_SEED") or time.time_ns() % 10 ** 6)
    print(f"journey bus_values: seed {seed} (QM482_JOURNEY_SEED={seed} replays it)")
    frames = bus_frames(random.Random(seed))
    d.start_sim(scripted=True)
    d.send(Frame.of(SERIAL, 215, 450, 10132).line())
    d.install_program(ini_text())

    heard = {}
    for locale, cases in ((None, frames), ("pl_PL.UTF-8", frames[:9] + frames[-6:])):
        d.start_program(locale=locale)
        j.wait_main(f"start ({locale or 'C'})")
        for n, frame in enumerate(cases):
            where = f"frame {n} ({frame}, {locale or 'C'} locale)"
            # A lone carriage return is a bad line: the link goes down and
            # the frame after it brings the service up under its own serial.
            d.send("raw 0D", frame.line())
            got = bus_frame(j, frame, where)
            if locale is None:
                heard[frame.serial] = got
            elif got != heard[frame.serial]:
                j.fail(f"{where}: the bus says {got}, in the C locale it said "
                       f"{heard[frame.serial]}")
            if n in (0, 1, 7, 8) and locale is None:
                j.shot(f"frame-{frame.serial:04x}")
        if locale is None:
            follow_on(j, frames)
        j.close_by_menu()
    j.shot("end")
    print(f"journey bus_values: {len(frames)} frames, {len(frames[:9] + frames[-6:])} of them "
          f"again in pl_PL")


def bus_frame(j, frame, where, topic_serial=None):
    """Waits for the frame on the bus and the status line; returns the raw
    bytes of every item as the client printed them."""
    d, s = j.d, j.s
    topics = frame.topics(topic_serial)
    try:
        wait_for("the frame's topics", lambda: bus_call(d, "topics")[1].decode().split()
                 == topics, timeout=5)
    except JourneyFailure:
        j.fail(f"{where}: the bus lists {bus_call(d, 'topics')}, not {topics}")
    expected = frame.items()
    got = {}
    for (i, item), text in expected.items():
        code, out = bus_call(d, "get", topics[i], item)
        got[i, item] = out
        if code != 0 or out != (text + "\n").encode():
            j.fail(f"{where}: 'get {topics[i]} {item}' gave exit code {code} and {out!r}, "
                   f"expected {text!r}")
    status = s.status()
    if status != frame.status_line():
        j.fail(f"{where}: the status line says {status!r}, not {frame.status_line()!r}")
    return got


def bus_call(d, *args):
    r = subprocess.run([str(d.build / "qm482-dde"), *args], env=d.env, capture_output=True,
                       timeout=10)
    return r.returncode, r.stdout


def follow_on(j, frames):
    """Good frames that follow a good frame keep the topics of the serial
    that brought the link up, with the new frame's values."""
    d = j.d
    first, then = frames[2], Frame.of(0x1234, -456, 789, 9876, ("pressure",))
    d.send("raw 0D", first.line())
    bus_frame(j, first, "before the follow-on frame")
    d.send(then.line())
    wait_for("the follow-on frame's values", lambda: bus_call(
        d, "get", first.topics()[1], "Wynik")[1] == (then.items()[1, "Wynik"] + "\n").encode(),
        timeout=5)
    bus_frame(j, then, "a follow-on frame with another serial", topic_serial=first.serial)
    # A good frame with serial 0 shows its values, but publishes nothing.
    zero = Frame.of(0, 215, 450, 10132)
    d.send("raw 0D", zero.line())
    wait_for("serial 0 on the status line", lambda: j.s.status() == zero.status_line(),
             timeout=5)
    code, out = bus_call(d, "topics")
    if code != 3:
        j.fail(f"with serial 0 the bus answers {code} {out!r}")


# --- the link lost three ways, and back by itself ------------------------------


def journey_link_loss(j):
    d, s = j.d, j.s
    good = Frame.of(SERIAL, 215, 450, 10132)
    d.start_sim(scripted=True)
    d.send(good.line())
    d.install_program(ini_text())
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")

    # Silent with the line still open: only the watchdog can tell, 5 s on.
    d.send("silence")
    link_lost(j, "the meter fell silent", 4.5, 7.0)
    j.shot("silent")
    d.send(good.line())
    j.expect_readings("frames again after the silence", timeout=3)

    # One stray byte spoils one line: the service goes at once, and the next
    # frame brings it back. A client watching an item sees it go.
    watch = subprocess.Popen([str(d.build / "qm482-dde"), "watch", f"Temperatura#{SERIAL}",
                              "Status"], env=d.env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    try:
        wait_for("the watch's first text", lambda: watch.stdout.readline(), timeout=5)
        d.send("raw 55", good.line())
        try:
            code = watch.wait(timeout=3)
        except subprocess.TimeoutExpired:
            j.fail("a line with a stray byte did not take the bus service away")
    finally:
        if watch.poll() is None:
            watch.kill()
        watch.wait()
    if code != 3:
        j.fail(f"the watch ended with exit code {code} when the service went, not 3")
    j.expect_readings("the frame after the stray byte", timeout=3)

    # A stray byte before every frame: every line is bad, and the link stays
    # down without waiting for the watchdog.
    d.send("raw 55 " + good.line()[4:])
    link_lost(j, "a stray byte came before every frame", 0, 3.0)
    time.sleep(5.5)  # a watchdog expiry on top changes nothing
    link_lost(j, "a stray byte came before every frame for 5 s", 0, 0.5)
    d.send(good.line())
    j.expect_readings("clean frames again", timeout=3)

    # The meter's program ends: its pty goes. The program tries the port
    # again every 2 s and takes up the new pty under the same name.
    d.kill_sim()
    link_lost(j, "the meter's pty went away", 0, 7.0)
    j.shot("pty-gone")
    time.sleep(4.5)
    d.start_sim(scripted=True)
    back = time.monotonic()
    d.send(good.line())
    j.expect_readings("the meter came back", timeout=8)
    took = time.monotonic() - back
    if took > 4.5:
        j.fail(f"the meter was back, but the readings took {took:.1f} s to return")
    j.shot("back")
    j.close_by_menu()
    print(f"journey link_loss: readings back {took:.1f} s after the meter returned")


def link_lost(j, what, earliest, latest):
    """The status line, the panels and the bus all say the link is lost,
    between `earliest` and `latest` seconds from now."""
    d, s = j.d, j.s
    start = time.monotonic()
    try:
        wait_for("link lost", lambda: s.status() == STATUS_LOST, timeout=latest, interval=0.05)
    except JourneyFailure:
        j.fail(f"{what}: after {time.monotonic() - start:.1f} s the status line still says "
               f"{s.status()!r}")
    took = time.monotonic() - start
    if took < earliest:
        j.fail(f"{what}: the link was given up after {took:.1f} s, not {earliest} s")
    panels = s.panels()
    if set(panels.values()) != {NO_READING}:
        j.fail(f"{what}: the panels read {panels}")
    code, text = j.bus_get("Temperatura")
    if code != 3:
        j.fail(f"{what}: the bus still answers ({code}, {text!r})")
    print(f"{what}: link lost after {took:.1f} s")


# --- recording across a restart ------------------------------------------------


def journey_restart(j):
    """Recording at 1 s, settings changed from the menu and by moving the
    window, SIGTERM, a second start: every setting kept, both files resumed
    and read back row by row."""
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    report, binary = data / "hala.csv", data / "hala.qmg"
    cold = Frame.of(SERIAL, -34, 812, 9874)
    humid = Frame.of(SERIAL, 215, 450, 10132, ("humidity",))
    warm = Frame.of(SERIAL, 1005, 0, 10001)
    d.start_sim(scripted=True)
    d.send(cold.line())
    # The comment options are on: a start-up never writes the comment block.
    d.install_program(ini_text() + "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {
        "FILE_NAME": report, "FILE_NAME_BIN": binary, "FILE_LOG": 1, "FILE_LOG_BIN": 1,
        "FILE_INTERVAL": 1, "FILE_SEP_FORMAT": 2, "FILE_TEMP": 1, "FILE_RH": 1,
        "FILE_PRESSURE": 1, "FILE_CHECK_COMMENT": 1, "FILE_CHECK_COMMENT_SN": 1}.items()))

    def rows():
        return restart_report(report)[1] if report.exists() else []

    def recorded(frame, n):
        kind = report_kind(frame)
        try:
            # Recording starts 10 s after the program.
            wait_for(f"{n} rows of {kind}", lambda: sum(r[1:] == kind for r in rows()) >= n,
                     timeout=20)
        except JourneyFailure:
            j.fail(f"the report has no {n} rows {kind}: {[r[1:] for r in rows()]}")

    d.start_program()
    j.wait_main("first start")
    recorded(cold, 2)
    j.toggle_topmost(True)
    wid = d.window_ids("QM482")[0]
    before = d.frame_rect(wid)
    d.drag(before[0] + 200, before[1] + 8, before[0] + 250, before[1] + 38)
    wait_for("the window follows the mouse", lambda: d.frame_rect(wid)[:2] ==
             (before[0] + 50, before[1] + 30), timeout=5)
    moved = d.client_rect(wid)
    d.send("silence")
    recorded(None, 3)
    j.shot("silent")
    d.send(humid.line())
    recorded(humid, 2)
    d.program.send_signal(signal.SIGTERM)
    code = d.wait_program_end()
    if code != 0:
        raise JourneyFailure(f"SIGTERM while recording ended the program with exit code {code}")
    saved = ini_values(d.ini)
    wanted = {"TOPMOST": "1", "WINDOW_LEFT": str(moved[0]), "WINDOW_TOP": str(moved[1]),
              "WINDOW_RIGHT": str(moved[2]), "WINDOW_BOTTOM": str(moved[3]), "FILE_LOG": "1",
              "FILE_LOG_BIN": "1", "FILE_NAME": str(report), "FILE_NAME_BIN": str(binary)}
    wrong = {k: (saved.get(k), v) for k, v in wanted.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"after SIGTERM the settings file says (saved, changed): {wrong}")
    first_report, first_binary = report.read_bytes(), binary.read_bytes()

    d.send(warm.line())
    d.start_program()
    j.wait_main("second start")
    try:
        wait_for("the window where it was left", lambda: d.client_rect(
            d.window_ids("QM482")[0]) == moved, timeout=5)
    except JourneyFailure:
        j.fail(f"the second start puts the window at "
               f"{d.client_rect(d.window_ids('QM482')[0])}, it was moved to {moved}")
    if j._above(d.window_ids("QM482")) != "above":
        j.fail("'Zawsze na wierzchu' was on at the end, the second start is not on top")
    recorded(warm, 3)
    j.shot("second-run")
    j.close_by_menu()

    now_report, now_binary = report.read_bytes(), binary.read_bytes()
    if not now_report.startswith(first_report) or len(now_report) == len(first_report):
        raise JourneyFailure("the second run did not append to the report")
    if not now_binary.startswith(first_binary) or len(now_binary) == len(first_binary):
        raise JourneyFailure("the second run did not append to the binary file")
    headers, got = restart_report(report)
    if headers != 2:
        raise JourneyFailure(f"the report of two runs has {headers} header lines, not 2")
    kinds = squeeze(r[1:] for r in got)
    want = [report_kind(f) for f in (cold, None, humid, warm)]
    if kinds != want:
        raise JourneyFailure(f"the report's rows run {kinds}, not {want}")
    check = subprocess.run([str(d.build / "qmg-dump"), "--check", str(binary)],
                           capture_output=True, text=True, timeout=30)
    if check.returncode != 0:
        raise JourneyFailure(f"qmg-dump --check: {check.stdout.strip()} {check.stderr.strip()}")
    dump = subprocess.run([str(d.build / "qmg-dump"), "--csv", str(binary)],
                          capture_output=True, text=True, timeout=30)
    records = binary_rows(dump.stdout)
    expected = [[v if v != "???" else "" for v in row[1:]] for row in got]
    if [list(r[1:]) for r in records] != expected:
        raise JourneyFailure(f"the binary file's records {records} differ from the report's "
                             f"rows {got}")
    for (row_time, *_), (record_time, *_) in zip(got, records):
        if not 0 <= seconds(record_time) - seconds(row_time) <= 1:
            raise JourneyFailure(f"a row of {row_time} has its record at {record_time}")
    print(f"journey restart: {len(got)} rows and records over two runs")


def report_kind(frame):
    """The values of a report row for a frame; None: the link is down."""
    if frame is None:
        return NOTHING
    bad = set().union(*(IN_ERROR[f] for f in frame.flags))
    return tuple("???" if i in bad else "%.1f" % v for i, v in enumerate(frame.values()))


def squeeze(items):
    out = []
    for item in items:
        if not out or out[-1] != item:
            out.append(item)
    return out


def restart_report(path, raw=None):
    """(number of header lines, rows) of a report with no comment block;
    a header line may stand before any row."""
    raw = path.read_bytes() if raw is None else raw
    if not raw.endswith(b"\r\n"):
        raise JourneyFailure("the report ends in the middle of a line")
    header = "Data i Godzina;Temperatura °C;Wilgotność %;Ciśnienie hPa"
    lines = raw.decode("cp1250").split("\r\n")[:-1]
    if lines[:1] != [header]:
        raise JourneyFailure(f"the report starts with {lines[:1]}, not the header")
    headers, rows = 0, []
    for line in lines:
        if line == header:
            headers += 1
            continue
        fields = line.split(";")
        if len(fields) != 4 or not re.fullmatch(r"\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d", fields[0]):
            raise JourneyFailure(f"a broken report line: {line!r}")
        rows.append(tuple(fields))
    return headers, rows


def journey_accessible_recording(j):
    """Recording set up by a screen reader's actions alone: the controls tell
    their real roles, and what OK takes is what they show."""
    import pyatspi
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    report = data / "dostepny.csv"
    d.start_sim()
    d.install_program(ini_text() + "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {
        "FILE_NAME": report, "FILE_INTERVAL": 1, "FILE_SEP_FORMAT": 0, "FILE_TEMP": 1,
        "FILE_RH": 1, "FILE_PRESSURE": 1}.items()))
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")
    dialog = j.open_recording_dialog()

    radios = {a.name: a for a in s.find_all(dialog, "radio button")}
    if sorted(radios) != ["Przecinek", "Tabulator", "Średnik"]:
        boxes = [a.name for a in s.find_all(dialog, "check box")]
        j.fail(f"the separators read as radio buttons {sorted(radios)}, check boxes {boxes}")

    def control(role, name):
        found = s.find(dialog, role, name)
        if found is None:
            j.fail(f"no {role} '{name}' in the recording dialog")
        return found

    def act(acc, *names):
        """The control's own accessible action; no mouse, no keyboard."""
        action = acc.queryAction()
        offered = [action.getName(i) for i in range(action.nActions)]
        for i, offer in enumerate(offered):
            if offer.lower() in names:
                action.doAction(i)
                return
        j.fail(f"'{acc.name}' offers only the actions {offered}")

    def checked(acc):
        return pyatspi.STATE_CHECKED in acc.getState().getStates()

    report_box = control("check box", "Rejestruj wyniki pomiarów")
    report_name = control("text", "W pliku")
    j.shot("a11y-dialog-before")
    if not checked(radios["Tabulator"]) or checked(report_box):
        j.fail("the dialog does not show the settings of the file")
    act(report_box, "toggle")
    # The report's own controls come on only when the program saw the change.
    wait_for("the report's name enabled", lambda: pyatspi.STATE_ENABLED in
             report_name.getState().getStates(), timeout=5)
    act(radios["Przecinek"], "toggle", "press")
    wait_for("'Przecinek' chosen", lambda: checked(radios["Przecinek"]), timeout=5)
    if checked(radios["Tabulator"]):
        j.fail("'Tabulator' stays chosen beside 'Przecinek'")
    pressure = control("check box", "Ciśnienie")
    act(pressure, "toggle")
    wait_for("'Ciśnienie' cleared", lambda: not checked(pressure), timeout=5)
    j.shot("a11y-dialog-after")
    act(control("push button", "OK"), "press")
    wait_for("the dialog closes", lambda: "Rejestracja do pliku" not in s.windows(), timeout=5)
    try:
        wait_for("recording", lambda: s.status() == STATUS_OK + RECORDING, timeout=5)
    except JourneyFailure:
        j.fail(f"after OK the status line says {s.status()!r}")
    j.shot("a11y-recording")

    def lines():
        return report.read_bytes().decode("cp1250").split("\r\n")[:-1] if report.exists() else []

    wait_for("two rows", lambda: len(lines()) >= 3, timeout=10)
    j.close_by_menu()
    got = lines()
    if got[0] != "Data i Godzina,Temperatura °C,Wilgotność %":
        j.fail(f"the report's header is {got[0]!r}")
    for line in got[1:]:
        fields = line.split(",")
        if len(fields) != 3 or tuple(fields[1:]) != FULL[:2]:
            raise JourneyFailure(f"a report line {line!r} is not time,temperature,humidity")
    saved = ini_values(d.ini)
    expected = {"FILE_LOG": "1", "FILE_SEP_FORMAT": "1", "FILE_PRESSURE": "0", "FILE_TEMP": "1"}
    wrong = {k: saved.get(k) for k, v in expected.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"the settings file says {wrong}")
    print(f"journey accessible_recording: {len(got) - 1} rows with ',' and no pressure")
# --- 8. a Wayland desktop ------------------------------------------------------


def act(acc, *names):
    """Runs an accessible's action as assistive technology does: the only way
    to reach a Wayland client from outside, as it takes no synthetic input."""
    action = acc.queryAction()
    offered = [action.getName(i).lower() for i in range(action.nActions)]
    for name in names:
        if name in offered:
            action.doAction(offered.index(name))
            return
    raise JourneyFailure(f"'{acc.name}' offers the actions {offered}, none of {names}")


def journey_wayland(j):
    """The program on weston as a native Wayland client: readings, the box
    for "Zawsze na wierzchu" once, the saved position kept at a logout. Then,
    with XWayland there too and no platform chosen, it runs as an X client."""
    import pyatspi
    d, s = j.d, j.s
    told = "Ten pulpit nie pozwala programom utrzymywać okna na wierzchu."
    wayland, xdisplay = d.start_weston(xwayland=True)
    d.start_sim()
    # Chosen on X at an earlier run: kept for X, not shown as on here.
    d.install_program(ini_text(TOPMOST=1))
    d.start_program(session={"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": wayland,
                             "DISPLAY": None, "XDG_SESSION_TYPE": "wayland"})
    j.wait_main("start on Wayland")
    j.expect_readings("start on Wayland")
    _, item = s.menu_item("Widok", "Zawsze na wierzchu")
    if pyatspi.STATE_CHECKED in item.getState().getStates():
        j.fail("'Zawsze na wierzchu' is checked on a desktop that keeps nothing on top")
    for attempt in (1, 2):
        act(item, "press", "click", "toggle")
        if attempt == 1:
            box = s.window("qm482")
            said = [a.name for a in s.find_all(box, "label")]
            if told not in said:
                j.fail(f"the box says {said}, not {told!r}")
            d.wayland_screenshot("box")
            # No key reaches a Wayland client from outside: the box's button.
            act(s.find(box, "push button", "OK"), "press", "click")
            wait_for("the box closes", lambda: "qm482" not in s.windows(), timeout=5)
        else:
            time.sleep(1)
            if "qm482" in s.windows():
                j.fail("the box came again at the second choice")
        j.expect_running(f"choice {attempt} of 'Zawsze na wierzchu'")
        if pyatspi.STATE_CHECKED in item.getState().getStates():
            j.fail(f"'Zawsze na wierzchu' is checked after choice {attempt}, yet not on top")
    j.expect_readings("after the box")
    d.wayland_screenshot("running")
    d.program.send_signal(signal.SIGTERM)
    code = d.wait_program_end()
    if code != 0:
        raise JourneyFailure(f"SIGTERM on Wayland ended the program with exit code {code}")
    saved = ini_values(d.ini)
    wanted = {"WINDOW_LEFT": str(RECT["WINDOW_LEFT"]), "WINDOW_TOP": str(RECT["WINDOW_TOP"]),
              "TOPMOST": "1"}
    wrong = {k: (saved.get(k), v) for k, v in wanted.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"after a run on Wayland the settings say (saved, read): {wrong}")

    # A Wayland session that offers X too, nothing chosen: the program is
    # an X client, found by the X tools on XWayland's display.
    d.start_program(session={"QT_QPA_PLATFORM": None, "WAYLAND_DISPLAY": wayland,
                             "DISPLAY": xdisplay, "XDG_SESSION_TYPE": "wayland"})
    j.wait_main("start on a Wayland session with X")
    j.expect_readings("start on a Wayland session with X")
    found = wait_for("the window on XWayland's display", lambda: subprocess.run(
        ["xdotool", "search", "--name", "^QM482$"], env=dict(d.env, DISPLAY=xdisplay),
        capture_output=True, text=True, timeout=10).stdout.split(), timeout=10)
    d.wayland_screenshot("xwayland")
    d.program.send_signal(signal.SIGTERM)
    code = d.wait_program_end()
    if code != 0:
        raise JourneyFailure(f"SIGTERM on XWayland ended the program with exit code {code}")
    if d.stop_weston() not in (0, -signal.SIGTERM):
        raise JourneyFailure("weston did not end cleanly")
    print(f"journey wayland: settings kept {wanted}; X windows on {xdisplay}: {found}")
# --- links that open, and links whose handler fails -------------------------

VARDA_PAGE = "https://www.orlent.example.com/varda/"
LINK_COLOUR, VISITED_COLOUR = "0000ee", "551a8b"
OPEN_FAILED = {
    3: "There is no application associated\nwith the given filename extension.",
    4: "The filename association is\nincomplete or invalid.",
}


def colours_in(j, what, box):
    """The colours drawn in a screen rectangle, as rrggbb, from a new screenshot."""
    x, y, w, h = box
    path = j.d.screenshot(what)
    r = subprocess.run(["convert", str(path), "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                        "-unique-colors", "txt:-"], capture_output=True, text=True, timeout=20)
    return set(m.lower() for m in re.findall(r"#([0-9A-Fa-f]{6})", r.stdout))


def journey_hyperlinks(j):
    """A desktop whose xdg-open fails (no handler, a handler that breaks),
    then works: the box names the failure, only success marks the link."""
    from screen import extents, text_of
    d, s = j.d, j.s
    desktop_bin = d.tmp / "desktop-bin"
    desktop_bin.mkdir()
    calls, code = d.tmp / "xdg-open.calls", d.tmp / "xdg-open.code"
    opener = desktop_bin / "xdg-open"
    opener.write_text(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{calls}'\nsleep 0.2\n"
                      f"exit $(cat '{code}')\n")
    opener.chmod(0o755)
    d.env["PATH"] = f"{desktop_bin}:{d.env['PATH']}"
    j.start_beside_the_meter()
    # SHOW_ADV=0: no promotion window at the start, now or a moment later.
    time.sleep(1.5)
    if set(s.windows()) != {"QM482"}:
        j.fail(f"with SHOW_ADV=0 the start showed {sorted(s.windows())}")

    s.command("Pomoc", "Program Varda")
    promo = s.window("Orlent - promocja Varda")
    link = s.find(promo, "label", "Kliknij, aby uzyskać więcej informacji w internecie")
    if link is None:
        j.fail("the promotion window lacks its link")
    box = extents(link)
    for exit_code, dismiss in ((3, "Escape"), (4, "OK")):
        code.write_text(f"{exit_code}\n")
        s.click(link)
        shown = wait_for(f"the box after xdg-open exits {exit_code}", lambda: next(
            (w for n, w in s.windows().items() if n == "qm482"), None), timeout=10)
        said = "\n".join(text_of(a) or a.name for a in s.find_all(shown, "label"))
        j.shot(f"open-failed-{exit_code}")
        wanted = "Unable to open hyperlink:\n\n" + OPEN_FAILED[exit_code]
        if " ".join(said.split()) != " ".join(wanted.split()):
            j.fail(f"xdg-open exited {exit_code}; the box says {said!r}, not {wanted!r}")
        if dismiss == "Escape":
            d.key("Escape")
        else:
            s.click(s.find(shown, "push button", "OK"))
        wait_for("the box closes", lambda: "qm482" not in s.windows(), timeout=5)
        d.xdotool("mousemove", "--sync", "5", "5")
        seen = colours_in(j, f"after-failure-{exit_code}", box)
        if VISITED_COLOUR in seen or LINK_COLOUR not in seen:
            j.fail(f"after xdg-open exited {exit_code} the link is drawn in {sorted(seen)[:8]}, "
                   f"not as a link not yet followed (#{LINK_COLOUR})")

    code.write_text("0\n")
    s.click(link)
    d.xdotool("mousemove", "--sync", "5", "5")
    try:
        wait_for("the link drawn as followed",
                 lambda: VISITED_COLOUR in colours_in(j, "opened", box), timeout=5)
    except JourneyFailure:
        j.fail("xdg-open opened the page and the link is not drawn as followed")
    time.sleep(0.5)
    if "qm482" in s.windows():
        j.fail(f"xdg-open opened the page and a box says: {s.describe()}")
    asked = calls.read_text().splitlines()
    if asked != [VARDA_PAGE] * 3:
        j.fail(f"xdg-open was given {asked}, three times only {VARDA_PAGE!r} expected")
    s.click(s.find(promo, "push button", "Zamknij"))
    wait_for("the promotion window closes",
             lambda: "Orlent - promocja Varda" not in s.windows(), timeout=5)
    j.expect_readings("after the links")
    j.close_by_menu()
# --- the question about a file that exists, dismissed -------------------------

def journey_recording_questions(j):
    """The question about a file that exists, dismissed as people dismiss a
    box (Escape; the close button of its frame): the file keeps every byte,
    that kind stops and the status line says what still records. Only "Nie"
    empties a file."""
    import pyatspi
    from screen import text_of
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    report, binary, other = data / "hala.csv", data / "hala.qmg", data / "inny.qmg"
    report.write_bytes(b"stare dane\r\n")
    binary.write_bytes(b"stare rekordy")
    other.write_bytes(b"inne rekordy")
    d.start_sim()
    d.install_program(ini_text() + "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {
        "FILE_NAME": report, "FILE_NAME_BIN": binary, "FILE_LOG": 1, "FILE_LOG_BIN": 1,
        "FILE_INTERVAL": 1, "FILE_SEP_FORMAT": 2, "FILE_TEMP": 1, "FILE_RH": 1,
        "FILE_PRESSURE": 1}.items()))
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")
    try:
        wait_for("recording starts", lambda: s.status() == STATUS_OK + RECORDING, timeout=16)
    except JourneyFailure:
        j.fail(f"12 s after the start the status line says {s.status()!r}")
    # The start appends to both: the old bytes first.
    wait_for("two rows", lambda: len(report_rows(report, ("stare dane",))) >= 2, timeout=10)
    if not binary.read_bytes().startswith(b"stare rekordy"):
        raise JourneyFailure("the start did not append to the binary file")

    def dialog():
        s.command("Ustawienia", "Rejestracja do pliku")
        return s.window("Rejestracja do pliku")

    def control(window, name):
        found = next((a for a in s.find_all(window, "check box") + s.find_all(
            window, "radio button") if a.name == name), None)
        if found is None:
            j.fail(f"no '{name}' in the recording dialog")
        return found

    def question(text, what):
        s.click(s.find(s.window("Rejestracja do pliku"), "push button", "OK"))
        box = s.window("qm482")
        shown = " ".join(text_of(a) or a.name for a in s.find_all(box, "label"))
        if text not in shown:
            j.fail(f"the program asks {shown!r}")
        j.shot(what)
        return box

    def unchanged_for(path, seconds, since):
        time.sleep(seconds)
        now = path.read_bytes()
        if now != since:
            raise JourneyFailure(f"{path.name} changed after its question was dismissed: "
                                 f"{len(since)} bytes, then {len(now)}")

    def growing(path):
        size = path.stat().st_size
        wait_for(f"{path.name} grows", lambda: path.stat().st_size > size, timeout=5)

    # 1. A new separator; the question dismissed with Escape.
    window = dialog()
    s.click(control(window, "Przecinek"))
    before = report.read_bytes()
    question("Plik rejestracji pomiarów już istnieje.", "report-question")
    d.key("Escape")
    wait_for("the question closes", lambda: "qm482" not in s.windows(), timeout=5)
    report_kept = report.read_bytes()
    if not report_kept.startswith(before):
        raise JourneyFailure(f"Escape on the question cut the report: {len(before)} bytes "
                             f"before, {len(report_kept)} after")
    unchanged_for(report, 2.5, report_kept)
    growing(binary)
    if s.status() != STATUS_OK + RECORDING:
        j.fail(f"with the binary file recording the status line says {s.status()!r}")
    j.shot("report-dismissed")

    # 2. The binary file to another that exists; its question closed with
    # the close button of the box's frame.
    window = dialog()
    if pyatspi.STATE_CHECKED in control(window, "Rejestruj wyniki pomiarów").getState(
            ).getStates():
        j.fail("the dialog says the report records, though its question was dismissed")
    j.shot("dialog-after-escape")
    names = sorted(s.find_all(window, "text"), key=lambda a: a.queryComponent().getExtents(
        pyatspi.DESKTOP_COORDS).y)
    s.click(names[2])
    d.key("ctrl+a")
    d.xdotool("type", "--delay", "10", str(other))
    before = binary.read_bytes()
    question("Plik binarny już istnieje.", "binary-question")
    # The box has the focus; a search by name would find the main window too.
    wid = wait_for("the question's window", lambda: d.xdotool("getactivewindow"),
                   timeout=5).strip()
    _, top, right, _ = d.frame_rect(wid)
    title = d.window_geometry(wid)[1] - top
    d.click(right - title // 2 - 2, top + title // 2)
    wait_for("the question closes", lambda: "qm482" not in s.windows(), timeout=5)
    if other.read_bytes() != b"inne rekordy":
        raise JourneyFailure(f"closing the question changed {other.name}: "
                             f"{other.read_bytes()[:40]!r}")
    kept = binary.read_bytes()
    if not kept.startswith(before) or not kept.startswith(b"stare rekordy"):
        raise JourneyFailure("closing the question cut the binary file")
    unchanged_for(binary, 2.5, kept)
    if report.read_bytes() != report_kept:
        raise JourneyFailure("the report changed while it was not recorded")
    try:
        wait_for("the status line without recording", lambda: s.status() == STATUS_OK,
                 timeout=5)
    except JourneyFailure:
        j.fail(f"with nothing recording the status line says {s.status()!r}")
    j.shot("nothing-records")

    # 3. The report again; "Nie" empties it, and it records with commas.
    window = dialog()
    s.click(control(window, "Rejestruj wyniki pomiarów"))
    question("Plik rejestracji pomiarów już istnieje.", "report-question-again")
    s.click(s.find(s.window("qm482"), "push button", "Nie"))
    try:
        wait_for("recording", lambda: s.status() == STATUS_OK + RECORDING, timeout=5)
    except JourneyFailure:
        j.fail(f"after 'Nie' the status line says {s.status()!r}")
    header = "Data i Godzina,Temperatura °C,Wilgotność %,Ciśnienie hPa"
    wait_for("rows after 'Nie'", lambda: len(report.read_bytes().split(b"\r\n")) >= 4,
             timeout=10)
    lines = report.read_bytes().decode("cp1250").split("\r\n")
    if lines[0] != header or any(line.split(",")[1:] != list(FULL) for line in lines[1:-1]):
        raise JourneyFailure(f"after 'Nie' the report holds {lines[:4]}")
    j.shot("report-emptied")
    j.close_by_menu()
    if binary.read_bytes() != kept or other.read_bytes() != b"inne rekordy":
        raise JourneyFailure("a binary file changed while none recorded")
    saved = ini_values(d.ini)
    expected = {"FILE_LOG": "1", "FILE_LOG_BIN": "0", "FILE_SEP_FORMAT": "1",
                "FILE_NAME": str(report)}
    wrong = {k: saved.get(k) for k, v in expected.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"the settings file says {wrong}")


JOURNEYS = {"start": journey_start, "menus": journey_menus, "link": journey_link,
            "recording": journey_recording, "recording_setup": journey_recording_setup,
            "styles": journey_styles, "extras": journey_extras, "mqtt": journey_mqtt,
            "chart": journey_chart, "bus_values": journey_bus_values,
            "link_loss": journey_link_loss, "restart": journey_restart,
            "accessible_recording": journey_accessible_recording,
            "wayland": journey_wayland, "hyperlinks": journey_hyperlinks,
            "recording_questions": journey_recording_questions}


# --- running ------------------------------------------------------------------


def run_as_nobody(name, build):
    """As root: runs this journey again as nobody, from a copy of the driver
    and the programs in a folder of its own (no part of the checkout has to
    be open to other users), and brings its pictures back."""
    stage = pathlib.Path(tempfile.mkdtemp(prefix=f"qm482-journey-{name}-"))
    staged = stage / "build"
    try:
        (staged / "journeys").mkdir(parents=True)
        for tool in ("qm482", "qm482-sim", "qm482-dde", "qmg-dump", "qm482.html"):
            shutil.copy2(build / tool, staged / tool)
        if (build / "qm482-chart").exists():
            shutil.copy2(build / "qm482-chart", staged / "qm482-chart")
        driver = stage / "driver"
        shutil.copytree(HERE, driver, ignore=shutil.ignore_patterns("__pycache__", "*.txt"))
        os.chmod(stage, 0o755)
        for path in [stage, *stage.rglob("*")]:
            os.chown(path, NOBODY, NOBODY)
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": "/tmp"}
        for k in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "QM482_JOURNEY_SEED"):
            if k in os.environ:
                env[k] = os.environ[k]
        argv = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                "--reset-env", "/usr/bin/env", *[f"{k}={v}" for k, v in env.items()],
                sys.executable, str(driver / "journeys.py"), name, str(staged)]
        child = subprocess.Popen(argv, start_new_session=True)
        try:
            return child.wait(timeout=270)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.wait()
            print(f"JOURNEY {name} FAILED: the driver did not end within 270 s",
                  file=sys.stderr)
            return 1
    finally:
        shots = build / "journeys"
        shots.mkdir(exist_ok=True)
        for picture in (staged / "journeys").glob("*.png"):
            shutil.copy(picture, shots / picture.name)
        shutil.rmtree(stage, ignore_errors=True)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in JOURNEYS:
        print(__doc__, file=sys.stderr)
        return 2
    name, build = sys.argv[1], pathlib.Path(sys.argv[2]).resolve()
    if os.geteuid() == 0:
        return run_as_nobody(name, build)
    # Well inside CTest's limit, so the teardown below always runs.
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(
        JourneyFailure("the journey took longer than 240 s")))
    signal.alarm(240)
    desktop = None
    try:
        desktop = Desktop(build, name)
        os.environ.update(desktop.env)
        journey = Journey(desktop)
        JOURNEYS[name](journey)
        print(f"journey {name}: passed")
        return 0
    except JourneyFailure as e:
        if desktop is not None:
            desktop.screenshot("failure")
        print(f"JOURNEY {name} FAILED: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        if desktop is not None:
            desktop.screenshot("failure")
        print(f"JOURNEY {name} FAILED: the driver broke (see above)", file=sys.stderr)
        return 1
    finally:
        signal.alarm(0)
        if desktop is not None:
            desktop.close()


if __name__ == "__main__":
    sys.exit(main())
