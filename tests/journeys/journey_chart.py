"""The chart viewer started from the menu on the file being recorded."""

import os
import re
import signal
import time

from desktop import wait_for
from driver import ini_text


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
