"""The meter goes away and comes back; a logout."""

import signal
import time

from desktop import JourneyFailure, wait_for
from driver import NO_READING, STATUS_LOST, ini_values


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
