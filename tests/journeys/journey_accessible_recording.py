"""Recording set up by a screen reader's actions alone."""

from desktop import JourneyFailure, wait_for
from driver import FULL, RECORDING, STATUS_OK, ini_text, ini_values


def journey_accessible_recording(j):
    """Recording set up by a screen reader's actions alone: the controls tell
    their real roles, and what OK takes is what they show."""
    import pyatspi
    d, s = j.d, j.s
    data = d.tmp / "pomiary"
    data.mkdir()
    report = data / "dostepny.csv"
    d.start_sim()
    d.install_program(ini_text() + "[LOG]\r\n" + "".join(f"{k}={v}\r\n" for k, v in {
        "FILE_NAME": report, "FILE_INTERVAL": 1, "FILE_SEP_FORMAT": 0, "FILE_TEMP": 1,
        "FILE_RH": 1, "FILE_PRESSURE": 1}.items()))
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")
    dialog = j.open_recording_dialog()

    radios = {a.name: a for a in s.find_all(dialog, "radio button")}
    if sorted(radios) != ["Przecinek", "Tabulator", "Średnik"]:
        boxes = [a.name for a in s.find_all(dialog, "check box")]
        j.fail(f"the separators read as radio buttons {sorted(radios)}, check boxes {boxes}")

    def control(role, name):
        found = s.find(dialog, role, name)
        if found is None:
            j.fail(f"no {role} '{name}' in the recording dialog")
        return found

    def act(acc, *names):
        """The control's own accessible action; no mouse, no keyboard."""
        action = acc.queryAction()
        offered = [action.getName(i) for i in range(action.nActions)]
        for i, offer in enumerate(offered):
            if offer.lower() in names:
                action.doAction(i)
                return
        j.fail(f"'{acc.name}' offers only the actions {offered}")

    def checked(acc):
        return pyatspi.STATE_CHECKED in acc.getState().getStates()

    report_box = control("check box", "Rejestruj wyniki pomiarów")
    report_name = control("text", "W pliku")
    j.shot("a11y-dialog-before")
    if not checked(radios["Tabulator"]) or checked(report_box):
        j.fail("the dialog does not show the settings of the file")
    act(report_box, "toggle")
    # The report's own controls come on only when the program saw the change.
    wait_for("the report's name enabled", lambda: pyatspi.STATE_ENABLED in
             report_name.getState().getStates(), timeout=5)
    act(radios["Przecinek"], "toggle", "press")
    wait_for("'Przecinek' chosen", lambda: checked(radios["Przecinek"]), timeout=5)
    if checked(radios["Tabulator"]):
        j.fail("'Tabulator' stays chosen beside 'Przecinek'")
    pressure = control("check box", "Ciśnienie")
    act(pressure, "toggle")
    wait_for("'Ciśnienie' cleared", lambda: not checked(pressure), timeout=5)
    j.shot("a11y-dialog-after")
    act(control("push button", "OK"), "press")
    wait_for("the dialog closes", lambda: "Rejestracja do pliku" not in s.windows(), timeout=5)
    try:
        wait_for("recording", lambda: s.status() == STATUS_OK + RECORDING, timeout=5)
    except JourneyFailure:
        j.fail(f"after OK the status line says {s.status()!r}")
    j.shot("a11y-recording")

    def lines():
        return report.read_bytes().decode("cp1250").split("\r\n")[:-1] if report.exists() else []

    wait_for("two rows", lambda: len(lines()) >= 3, timeout=10)
    j.close_by_menu()
    got = lines()
    if got[0] != "Data i Godzina,Temperatura °C,Wilgotność %":
        j.fail(f"the report's header is {got[0]!r}")
    for line in got[1:]:
        fields = line.split(",")
        if len(fields) != 3 or tuple(fields[1:]) != FULL[:2]:
            raise JourneyFailure(f"a report line {line!r} is not time,temperature,humidity")
    saved = ini_values(d.ini)
    expected = {"FILE_LOG": "1", "FILE_SEP_FORMAT": "1", "FILE_PRESSURE": "0", "FILE_TEMP": "1"}
    wrong = {k: saved.get(k) for k, v in expected.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"the settings file says {wrong}")
    print(f"journey accessible_recording: {len(got) - 1} rows with ',' and no pressure")
