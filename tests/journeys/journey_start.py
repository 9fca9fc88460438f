"""The first start: the port picked in its dialog, the settings written, a
second start."""

from desktop import JourneyFailure, wait_for
from driver import RECT, ini_text, ini_values


def fingerprint(path):
    st = path.stat()
    return st.st_ino, st.st_mtime_ns, path.read_bytes()


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
