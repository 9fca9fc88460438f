"""Alarms: a temperature crosses its limit and comes back through the
hysteresis band; a person sees it, hears of it from the desktop, acknowledges
it, and the log and the site's command have every step."""

import os

from desktop import JourneyFailure, wait_for
from driver import SERIAL, STATUS_OK, ini_text
from notifications import NotificationServer

LIMIT = "Alarm: temperatura powyżej 25.0 °C. "
ACKNOWLEDGED = "Alarm: temperatura powyżej 25.0 °C (potwierdzony). "
SUMMARY = f"QM-482 nr {SERIAL}: alarm"


def frame(t):
    return f"{SERIAL} {t} 45.0 1013.2"


def journey_alarms(j):
    d, s = j.d, j.s
    server = NotificationServer(d)
    log = d.tmp / "alarmy.log"
    told = d.tmp / "told"
    told.mkdir()
    os.chmod(told, 0o777)
    command = d.tmp / "sms"
    command.write_text("#!/bin/sh\nenv | grep '^QM482_' | sort > \"$1/$QM482_STATE-$$\"\n")
    command.chmod(0o755)
    alarms = {"TEMP_HIGH_ON": 1, "TEMP_HIGH": "25", "TEMP_HYST": "0.5", "DELAY": 0,
              "NOTIFY": 1, "SOUND": 1, "LOG_FILE": log, "COMMAND": f"{command} {told}"}
    d.sim = d.start_sim(scripted=True)
    d.send(frame(21.5))
    d.install_program(ini_text() + "[ALARMS]\r\n"
                      + "".join(f"{k}={v}\r\n" for k, v in alarms.items()))
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")

    def status_is(text, where):
        try:
            wait_for(where, lambda: s.status() == text, timeout=10)
        except JourneyFailure:
            j.fail(f"{where}: the status line says {s.status()!r}, not {text!r}")

    # Above the limit: status line, panel, one critical notification.
    d.send(frame(25.6))
    status_is(STATUS_OK + LIMIT, "the temperature above its limit")
    panel = s.panels().get("Temperatura")
    if panel != "25.6 °C; alarm: temperatura powyżej 25.0 °C":
        j.fail(f"a screen reader reads the temperature panel as {panel!r}")
    if s.panels().get("Ciśnienie") != "1013.2 hPa":
        j.fail(f"the pressure panel reads {s.panels().get('Ciśnienie')!r} in a temperature alarm")
    j.shot("alarm-temperature")
    first = wait_for("a notification", lambda: server.notifies(), timeout=10)[0]
    if (first["replaces"], first["summary"]) != (0, SUMMARY) or "25.6" not in first["body"]:
        j.fail(f"the first notification was {first}")
    if first["actions"] != ["acknowledge", "Potwierdź"]:
        j.fail(f"the notification offers {first['actions']}")
    wait_for("dunst shows it", lambda: server.displayed() == 1, timeout=5)
    d.screenshot("alarm-notification")

    # Back inside the hysteresis band: still on, and the notification follows
    # the value in place.
    d.send(frame(24.8))
    try:
        wait_for("the notification follows the value", lambda: any(
            "24.8" in n["body"] for n in server.notifies()), timeout=15)
    except JourneyFailure:
        j.fail(f"the notifications were {server.notifies()}")
    if s.status() != STATUS_OK + LIMIT:
        j.fail(f"inside the band the status line says {s.status()!r}")
    ids = {n["id"] for n in server.notifies()}
    replaced = {n["replaces"] for n in server.notifies()[1:]}
    if len(ids) != 1 or replaced != ids:
        j.fail(f"the updates did not replace the first notification: {server.notifies()}")

    # A click on the panel acknowledges; the alarm stays shown.
    s.click(s.find(s.main(), "filler", "Temperatura"))
    status_is(STATUS_OK + ACKNOWLEDGED, "a click on the panel in alarm")
    _, item = s.menu_item("Program", "Potwierdź alarmy")
    import pyatspi
    if pyatspi.STATE_ENABLED in item.getState().getStates():
        j.fail("'Potwierdź alarmy' stays enabled with nothing left to acknowledge")

    # Below the band: the alarm ends and its notification goes.
    d.send(frame(24.4))
    status_is(STATUS_OK, "the temperature back under the band")
    if s.panels().get("Temperatura") != "24.4 °C":
        j.fail(f"after the alarm the panel reads {s.panels().get('Temperatura')!r}")
    (the_id,) = ids
    wait_for("the notification is closed", lambda: ("close", {"id": the_id}) in server.calls(),
             timeout=5)
    wait_for("dunst shows nothing", lambda: server.displayed() == 0, timeout=5)

    # Once more, acknowledged from the notification itself.
    d.send(frame(26.0))
    status_is(STATUS_OK + LIMIT, "a second alarm")
    wait_for("its notification", lambda: server.displayed() == 1, timeout=10)
    news = [n for n in server.notifies() if n["replaces"] == 0]
    if len(news) != 2:
        j.fail(f"two alarms made {len(news)} new notifications: {server.notifies()}")
    server.invoke_action()
    status_is(STATUS_OK + ACKNOWLEDGED, "'Potwierdź' in the notification")
    d.send(frame(21.5))
    status_is(STATUS_OK, "the second alarm's end")

    # The dialog shows what is set; Escape leaves it as it was.
    s.command("Ustawienia", "Alarmy")
    dialog = s.window("Alarmy")
    j.shot("alarm-dialog")
    d.key("Escape")
    wait_for("Escape closes the dialog", lambda: "Alarmy" not in s.windows(), timeout=5)
    j.close_by_menu()

    lines = [line.split("\t") for line in log.read_text().splitlines()]
    events = [(f[1], f[2], f[3], f[4], f[5]) for f in lines]
    expected = [(str(SERIAL), "TEMP_HIGH", "begin", "25.6", "25"),
                (str(SERIAL), "TEMP_HIGH", "ack", "24.8", "25"),
                (str(SERIAL), "TEMP_HIGH", "end", "24.4", "25"),
                (str(SERIAL), "TEMP_HIGH", "begin", "26", "25"),
                (str(SERIAL), "TEMP_HIGH", "ack", "26", "25"),
                (str(SERIAL), "TEMP_HIGH", "end", "21.5", "25")]
    if events != expected:
        raise JourneyFailure(f"the alarm log has {events}")
    runs = sorted(p.name.split("-")[0] for p in told.iterdir())
    if runs != ["begin", "begin", "end", "end"]:
        raise JourneyFailure(f"the command ran for {runs}")
    begun = next(p for p in sorted(told.iterdir()) if p.name.startswith("begin"))
    env = dict(line.split("=", 1) for line in begun.read_text().splitlines())
    want = {"QM482_SERIAL": str(SERIAL), "QM482_ALARM": "TEMP_HIGH", "QM482_STATE": "begin",
            "QM482_LIMIT": "25"}
    if {k: env.get(k) for k in want} != want or env.get("QM482_VALUE") not in ("25.6", "26"):
        raise JourneyFailure(f"the command's environment was {env}")
    if len(env.get("QM482_TIME", "")) != 19:
        raise JourneyFailure(f"QM482_TIME was {env.get('QM482_TIME')!r}")
