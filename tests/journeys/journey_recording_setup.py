"""Recording set up from the menu, both files read back."""

import subprocess

from desktop import JourneyFailure, wait_for
from driver import (FULL, RECORDING, SERIAL, STATUS_OK, binary_rows, ini_text, ini_values,
                    report_rows)


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
