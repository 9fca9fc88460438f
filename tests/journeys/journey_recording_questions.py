"""The question about a file that exists, dismissed."""

import time

from desktop import JourneyFailure, wait_for
from driver import FULL, RECORDING, STATUS_OK, ini_text, ini_values, report_rows


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
