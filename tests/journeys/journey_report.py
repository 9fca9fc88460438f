"""The chart viewer's "Plik → Raport PDF..." on a recording of two days."""

import datetime
import subprocess

from desktop import JourneyFailure, wait_for
from screen import extents

SERIAL = 4821


def record(when, temperature):
    """One binary record as the program writes it: the groups, a checksum,
    every byte negated."""
    text = when.strftime("%Y%m%d%H%M%S") + "$"
    for code, value in ((25, temperature), (26, 45.0), (27, 1013.2)):
        text += f"19,{SERIAL},{code},{value:.1f},1$"
    raw = text.encode()
    total = sum(raw)
    raw += b"@" + bytes([total % 253 + 1, total % 251 + 1])
    return bytes((-c) & 0xFF for c in raw)


def journey_report(j):
    """A report of the whole view, chosen from the menu and named in the
    chooser, holds the title, the meter and each day's figures."""
    d, s = j.d, j.s
    recording = d.tmp / "sala.qmg"
    start = datetime.datetime(2026, 11, 2)
    # A minute apart; the temperature climbs 20.0 … 25.9 within each hour.
    recording.write_bytes(b"".join(
        record(start + datetime.timedelta(minutes=k), 20 + (k % 60) / 10)
        for k in range(2 * 1440)))
    env = dict(d.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1", TZ="Europe/Warsaw")
    d.program = d.spawn([str(d.build / "qm482-chart"), str(recording)], env=env)
    window = s.window("sala.qmg – qm482-chart", timeout=20)

    bar = s.find(window, "menu bar")
    top = s.find(bar, "menu item", "Plik")
    if top is None:
        j.fail("the chart viewer has no menu 'Plik'")
    s.click(top)
    entry = wait_for("'Raport PDF...' is shown", lambda: (
        e := s.find(top, "menu item", "Raport PDF...")) is not None and extents(e)[2] > 0 and e,
        timeout=10)
    s.click(entry)
    s.window("Zapisz raport PDF", timeout=10)
    j.shot("report-chooser")
    target = d.tmp / "raport-sala.pdf"
    # The chooser starts with its name field in focus.
    d.key("ctrl+a")
    d.xdotool("type", "--delay", "15", str(target))
    d.key("Return")
    wait_for("the report is written", target.exists, timeout=20)

    text = subprocess.run(["pdftotext", "-layout", str(target), "-"], capture_output=True,
                          text=True, timeout=30).stdout
    flat = " ".join(text.split())
    expected = ["Raport warunków – sala.qmg", f"QM-482 nr {SERIAL}",
                "Temperatura [°C] – wartości dzienne", "strona 1 z "]
    # Each day: 20.0 at the full hour first, 25.9 a minute before the next,
    # 22.95 on average, 1440 valid records of 1440.
    for day in ("02.11.2026", "03.11.2026"):
        expected.append(f"{day} 20.0 00:00:00 25.9 00:59:00 22.95 1440 / 1440")
    missing = [e for e in expected if e not in flat]
    if missing:
        raise JourneyFailure(f"the report lacks {missing}; it reads: {flat[:600]!r}")
    d.program.terminate()
    d.program.wait(timeout=10)
    print(f"journey report: {target.stat().st_size} bytes, found {len(expected)} texts")
