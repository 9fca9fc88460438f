"""Alarms: a temperature crosses its limit and comes back through the
hysteresis band; a person sees it, hears of it from the desktop, acknowledges
it, and the log and the site's command have every step."""

import json
import os
import signal
import subprocess

from desktop import JourneyFailure, wait_for
from driver import SERIAL, STATUS_OK, free_port, ini_text, ini_values, start_broker
from notifications import NotificationServer

LIMIT = "Alarm: temperatura powyżej 25.0 °C. "
ACKNOWLEDGED = "Alarm: temperatura powyżej 25.0 °C (potwierdzony). "
SUMMARY = f"QM-482 nr {SERIAL}: alarm"


def frame(t):
    return f"{SERIAL} {t} 45.0 1013.2"


def readings_property(d, name):
    """A property of org.qm482.Readings1, as a bus client reads it."""
    r = subprocess.run(["gdbus", "call", "--session", "-d", "org.qm482.QM482", "-o",
                        "/org/qm482/QM482", "-m", "org.freedesktop.DBus.Properties.Get",
                        "org.qm482.Readings1", name], env=d.env, capture_output=True,
                       text=True, timeout=10)
    return r.stdout.strip()


def journey_alarms(j):
    d, s = j.d, j.s
    server = NotificationServer(d)
    port = free_port()
    start_broker(d, port)
    heard = d.tmp / "mosquitto_sub.txt"
    with open(heard, "wb") as out:
        d.spawn(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-v", "-t",
                 f"qm482/{SERIAL}/alarm", "-t", "homeassistant/binary_sensor/#"], stdout=out)

    def alarm_topic():
        said = [line.partition(" ")[2] for line in
                heard.read_text(encoding="utf-8", errors="replace").splitlines()
                if line.startswith(f"qm482/{SERIAL}/alarm ")]
        return json.loads(said[-1]) if said else None
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
    mqtt = {"ENABLED": 1, "HOST": "127.0.0.1", "PORT": port}
    d.install_program(ini_text() + "".join(
        f"[{name}]\r\n" + "".join(f"{k}={v}\r\n" for k, v in values.items())
        for name, values in (("ALARMS", alarms), ("MQTT", mqtt))))
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

    # The same alarm for programs: on the bus and at the broker.
    on_bus = readings_property(d, "ActiveAlarms")
    if "TEMP_HIGH" not in on_bus:
        j.fail(f"Readings1.ActiveAlarms is {on_bus!r}")
    if readings_property(d, "DewPointValid") != "(<true>,)":
        j.fail(f"Readings1.DewPointValid is {readings_property(d, 'DewPointValid')!r}")
    try:
        wait_for("the broker's alarm topic", lambda: alarm_topic() == {"active": ["TEMP_HIGH"]},
                 timeout=15)
    except JourneyFailure:
        j.fail(f"mosquitto_sub heard {heard.read_text(errors='replace')!r}")
    configs = heard.read_text(encoding="utf-8")
    if f"homeassistant/binary_sensor/qm482_{SERIAL}/alarm_temp_high/config {{" not in configs:
        j.fail(f"no binary_sensor for the temperature's alarm: {configs!r}")

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
    wait_for("the broker hears the end", lambda: alarm_topic() == {"active": []}, timeout=10)

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
    d.program.send_signal(signal.SIGTERM)
    if d.wait_program_end() != 0:
        raise JourneyFailure("SIGTERM did not end the program with 0")
    # Not confirmed with OK: the section stays as its author wrote it.
    section = d.ini.read_text(encoding="utf-8").split("[ALARMS]")[1].split("[")[0]
    written = "".join(f"{k}={v}\r\n" for k, v in alarms.items())
    if section.replace("\r\n", "\n").strip() != written.replace("\r\n", "\n").strip():
        raise JourneyFailure(f"the [ALARMS] section became {section!r}")

    # Confirmed: it applies at once and is written at the end.
    d.start_program()
    j.expect_readings("the second start")
    s.command("Ustawienia", "Alarmy")
    dialog = s.window("Alarmy")
    s.click(s.find(dialog, "check box", "Pokazuj punkt rosy"))
    s.click(s.find(dialog, "push button", "OK"))
    wait_for("OK closes the dialog", lambda: "Alarmy" not in s.windows(), timeout=5)
    status_is(STATUS_OK + "Punkt rosy 9.1 °C. ", "the dew point asked for")
    j.close_by_menu()
    if ini_values(d.ini).get("SHOW_DEWPOINT") != "1":
        raise JourneyFailure("the confirmed dialog's settings were not written")

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
