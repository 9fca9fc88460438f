"""An alarm on a Wayland desktop with no notification server at all: the
window says it, a screen reader's user acknowledges it from the menu."""

import signal

from desktop import JourneyFailure, wait_for
from driver import SERIAL, STATUS_OK, ini_text
from journey_wayland import act

ALARM = "Alarm: wilgotność powyżej 40.0 %"


def journey_alarms_wayland(j):
    import pyatspi
    d, s = j.d, j.s
    wayland, _ = d.start_weston()
    d.start_sim(scripted=True)
    d.send(f"{SERIAL} 21.5 45.0 1013.2")
    d.install_program(ini_text() + "[ALARMS]\r\nRH_HIGH_ON=1\r\nRH_HIGH=40\r\nRH_HYST=1\r\n"
                      "NOTIFY=1\r\nSOUND=1\r\n")
    d.start_program(session={"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": wayland,
                             "DISPLAY": None, "XDG_SESSION_TYPE": "wayland"})
    j.wait_main("start on Wayland")
    try:
        wait_for("the alarm", lambda: s.status() == f"{STATUS_OK}{ALARM}. ", timeout=15)
    except JourneyFailure:
        j.fail(f"the status line says {s.status()!r}")
    said = s.panels().get("Wilgotność względna")
    if said != f"45.0 %; alarm: {ALARM[len('Alarm: '):]}":
        j.fail(f"a screen reader reads the humidity panel as {said!r}")
    d.wayland_screenshot("alarm")
    _, item = s.menu_item("Program", "Potwierdź alarmy")
    wait_for("'Potwierdź alarmy' is enabled",
             lambda: pyatspi.STATE_ENABLED in item.getState().getStates(), timeout=5)
    act(item, "press", "click", "toggle")
    try:
        wait_for("acknowledged", lambda: s.status().endswith(" (potwierdzony). "), timeout=5)
    except JourneyFailure:
        j.fail(f"after 'Potwierdź alarmy' the status line says {s.status()!r}")
    if "qm482" in s.windows():
        j.fail("a box came up for the missing notification server")
    d.send(f"{SERIAL} 21.5 38.5 1013.2")
    try:
        wait_for("the alarm's end", lambda: s.status() == STATUS_OK, timeout=10)
    except JourneyFailure:
        j.fail(f"under the band the status line says {s.status()!r}")
    d.program.send_signal(signal.SIGTERM)
    if d.wait_program_end() != 0:
        raise JourneyFailure("SIGTERM on Wayland did not end the program with 0")
    if d.stop_weston() not in (0, -signal.SIGTERM):
        raise JourneyFailure("weston did not end cleanly")
