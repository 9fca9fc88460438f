"""Two meters on one desktop: the installed program started twice, each
with a settings file of its own."""

import signal
import subprocess
import time

from desktop import JourneyFailure, wait_for
from driver import READINGS, SERIAL, ini_text, ini_values
from frames import TOPICS, UNITS, bus_number
from screen import Screen

SECOND = 22136  # 0x5678
SECOND_READINGS = dict(READINGS, Temperatura="18.0 °C")


def journey_two_meters(j):
    """Two meters on COM7 and COM8, two instances from a folder they cannot
    write, one with hala1.ini and one with hala2.ini: each window shows its
    own meter, the bus serves them, SIGTERM leaves each file with its own
    port, and a second start on hala1.ini brings that window to the front
    and ends at once with 0."""
    d = j.d
    d.start_sim(port=7)
    d.start_sim("--serial", str(SECOND), "--temp", "18.0", port=8)
    d.install_program(ini_text())
    d.app_dir.chmod(0o555)  # installed: settings cannot go beside the program
    config = d.tmp / "home/.config/qm482"
    config.mkdir(parents=True, exist_ok=True)
    first_ini, second_ini = config / "hala1.ini", config / "hala2.ini"
    first_ini.write_bytes(ini_text().encode())
    second_ini.write_bytes(ini_text(PORT_NR=8, WINDOW_LEFT=380, WINDOW_TOP=300,
                                    WINDOW_RIGHT=980, WINDOW_BOTTOM=720).encode())

    first = d.start_program(args=("--config", str(first_ini)))
    first_screen = Screen(d, first)
    second = d.start_program(args=("--config", str(second_ini)))
    second_screen = Screen(d, second)
    expect_meter(j, first_screen, SERIAL, READINGS, "the first window")
    expect_meter(j, second_screen, SECOND, SECOND_READINGS, "the second window")
    j.shot("both")

    # --- the bus: both meters, each from its own instance ---
    expect_bus(d)

    # --- a second start on hala1.ini ---
    d.xdotool("windowactivate", window_of(d, second))
    try:
        wait_for("the second window is active", lambda: active_pid(d) == second.pid, timeout=5)
    except JourneyFailure:
        raise JourneyFailure(f"the second window ({second.pid}) is not made active: the "
                             f"active one is process {active_pid(d)}'s") from None
    started = time.monotonic()
    again = d.start_program(args=("--config", str(first_ini)))
    try:
        code = again.wait(timeout=5)
    except subprocess.TimeoutExpired:
        raise JourneyFailure("a second start on hala1.ini still runs after 5 s") from None
    took = time.monotonic() - started
    d.groups.remove(again.pid)
    if code != 0:
        raise JourneyFailure(f"a second start on hala1.ini ended with exit code {code}")
    try:
        wait_for("the first window comes to the front", lambda: active_pid(d) == first.pid,
                 timeout=5)
    except JourneyFailure:
        raise JourneyFailure(f"after a second start on hala1.ini the active window is "
                             f"process {active_pid(d)}'s, not the first instance's "
                             f"({first.pid})") from None
    # Each instance serves the bus: no "Błąd inicjalizacji DDE!" box
    # (titled qm482) for the second one.
    owners = {d.xdotool("getwindowpid", w, check=False).strip() for w in d.window_ids("QM482")}
    if owners != {str(first.pid), str(second.pid)}:
        raise JourneyFailure(f"after the second start the windows belong to processes "
                             f"{sorted(owners)}, not to {first.pid} and {second.pid} only")
    boxes = [n for screen in (first_screen, second_screen) for n in screen.windows()
             if n != "QM482"]
    if boxes:
        raise JourneyFailure(f"beside the two windows the programs show {boxes}")
    expect_meter(j, first_screen, SERIAL, READINGS, "the raised window")
    j.shot("raised")

    # --- SIGTERM both ---
    for p, name in ((first, "first"), (second, "second")):
        p.send_signal(signal.SIGTERM)
        try:
            code = p.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise JourneyFailure(f"the {name} instance did not end on SIGTERM") from None
        d.groups.remove(p.pid)
        if code != 0:
            raise JourneyFailure(f"SIGTERM ended the {name} instance with exit code {code}")
    d.program = None
    for path, port in ((first_ini, "7"), (second_ini, "8")):
        saved = ini_values(path)
        if saved.get("PORT_NR") != port:
            raise JourneyFailure(f"{path.name} says PORT_NR={saved.get('PORT_NR')} after "
                                 f"SIGTERM, not {port}")
    if (config / "qm480cfg.ini").exists():
        raise JourneyFailure("the program's own settings file was written beside hala1.ini")
    print(f"journey two_meters: second start answered in {took:.2f} s")


def expect_meter(j, screen, serial, readings, where):
    status = f"QM-482 nr {serial}. Pomiar prawidłowy. "
    try:
        screen.main()
        wait_for(f"{where} shows meter {serial}", lambda: screen.status() == status, timeout=15)
    except JourneyFailure:
        j.fail(f"{where}: the status line says {screen.status()!r}, not {status!r}")
    if screen.panels() != readings:
        j.fail(f"{where}: the panels read {screen.panels()}, not {readings}")


def expect_bus(d):
    """Both meters' topics, each instance under its own name
    org.qm482.QM482.Meter<serial>, and each meter's value from its own."""
    def topics():
        r = subprocess.run([str(d.build / "qm482-dde"), "topics"], env=d.env,
                           capture_output=True, text=True, timeout=10)
        return set(r.stdout.split()) if r.returncode == 0 else set()

    def meter_topics(serial):
        return {f"{name}#{serial}" for name in TOPICS}

    def served():
        listed = topics()
        return [s for s in (SERIAL, SECOND) if meter_topics(s) <= listed]

    try:
        got = wait_for("both meters' topics on the bus",
                       lambda: (lambda g: g if len(g) == 2 else None)(served()), timeout=15)
    except JourneyFailure:
        raise JourneyFailure(f"the bus lists {sorted(topics())}, not both meters") from None
    names = bus_names(d)
    missing = [s for s in (SERIAL, SECOND) if f'"org.qm482.QM482.Meter{s}"' not in names]
    if missing:
        raise JourneyFailure(f"no bus name of its own for meter(s) {missing}")
    # As the meter means them: tenths times 0.1.
    want = {SERIAL: bus_number(215 * 0.1) + UNITS[0], SECOND: bus_number(180 * 0.1) + UNITS[0]}
    for serial in got:
        r = subprocess.run([str(d.build / "qm482-dde"), "get", f"Temperatura#{serial}",
                            "Pomiar"], env=d.env, capture_output=True, text=True, timeout=10)
        if r.returncode != 0 or r.stdout.strip() != want[serial]:
            raise JourneyFailure(f"'get Temperatura#{serial} Pomiar' gave exit code "
                                 f"{r.returncode} and {r.stdout.strip()!r}")


def bus_names(d):
    r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                        "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"],
                       env=d.env, capture_output=True, text=True, timeout=10)
    return r.stdout


def window_of(d, program):
    ids = wait_for(f"a window of process {program.pid}", lambda: d.xdotool(
        "search", "--all", "--onlyvisible", "--pid", str(program.pid), "--name", "^QM482$",
        check=False), timeout=10).split()
    return ids[0]


def active_pid(d):
    out = d.xdotool("getactivewindow", "getwindowpid", check=False)
    return int(out.strip()) if out and out.strip().isdigit() else None
