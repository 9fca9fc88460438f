"""Recording across a restart."""

import re
import signal
import subprocess

from desktop import JourneyFailure, wait_for
from driver import NOTHING, SERIAL, binary_rows, ini_text, ini_values, seconds
from frames import Frame, IN_ERROR


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
