"""A day's recording: the report and the binary file read back."""

import subprocess

from desktop import JourneyFailure, wait_for
from driver import (FULL, NOTHING, RECORDING, STATUS_LOST, STATUS_OK, binary_rows, ini_text,
                    report_rows, seconds)

HUMIDITY_IN_ERROR = ("21.5", "???", "1013.2")


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
