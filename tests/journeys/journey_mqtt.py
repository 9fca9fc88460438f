"""MQTT: set up through the dialog, readings at a subscriber."""

import os
import signal

from desktop import JourneyFailure, wait_for
from driver import SERIAL, free_port, ini_values, start_broker


def journey_mqtt(j):
    import json
    import pyatspi
    from screen import text_of
    d, s = j.d, j.s
    port = free_port()
    broker = start_broker(d, port)
    heard = d.tmp / "mosquitto_sub.txt"
    with open(heard, "wb") as out:
        d.spawn(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-q", "1", "-v",
                 "-t", "qm482/#", "-t", "homeassistant/#"], stdout=out)
    j.start_beside_the_meter()

    s.command("Ustawienia", "Publikowanie MQTT")
    dialog = s.window("Publikowanie MQTT")
    j.shot("mqtt-dialog-off")

    def edit(name, typed):
        field = s.find(dialog, "text", name) or s.find(dialog, "password text", name)
        if field is None:
            j.fail(f"no field '{name}' in the MQTT dialog")
        s.click(field)
        d.key("ctrl+a")
        d.xdotool("type", "--delay", "20", typed)
        return field

    s.click(s.find(dialog, "check box", "Publikuj pomiary na serwerze MQTT"))
    edit("Serwer", "127.0.0.1")
    edit("Port", str(port))
    edit("Użytkownik", "hala")
    password = edit("Hasło", "tajne")
    if "tajne" in (text_of(password) or ""):
        j.fail("the password is readable on the screen")
    j.shot("mqtt-dialog-filled")
    s.click(s.find(dialog, "push button", "OK"))
    wait_for("the dialog closes", lambda: "Publikowanie MQTT" not in s.windows(), timeout=5)

    def state_message():
        for line in heard.read_text(encoding="utf-8", errors="replace").splitlines():
            topic, _, payload = line.partition(" ")
            if topic == f"qm482/{SERIAL}/state":
                message = json.loads(payload)
                if message.get("temperature") == 21.5:
                    return message
        return None
    try:
        message = wait_for("a reading at mosquitto_sub", state_message, timeout=15)
    except JourneyFailure:
        j.fail(f"mosquitto_sub heard {heard.read_text(errors='replace')!r}")
    want = {"serial": SERIAL, "temperature": 21.5, "temperature_valid": True, "humidity": 45,
            "humidity_valid": True, "pressure": 1013.2, "pressure_valid": True}
    if {k: message.get(k) for k in want} != want:
        j.fail(f"the state message is {message}")
    text = heard.read_text(encoding="utf-8")
    for expected in (f"qm482/{SERIAL}/availability online",
                     f"homeassistant/sensor/qm482_{SERIAL}/temperature/config "):
        if expected not in text:
            j.fail(f"mosquitto_sub did not hear {expected!r}: {text!r}")
    print("journey mqtt: mosquitto_sub heard", message)

    # The dialog's state line follows the connection while it is open.
    s.command("Ustawienia", "Publikowanie MQTT")
    dialog = s.window("Publikowanie MQTT")

    def state_line(prefix):
        return s.find(dialog, "label", pred=lambda a: (a.name or "").startswith(prefix))
    try:
        wait_for("connected", lambda: state_line(f"Połączono z 127.0.0.1:{port}"), timeout=5)
    except JourneyFailure:
        j.fail("the state line does not say 'Połączono z'")
    j.shot("mqtt-dialog-connected")
    os.killpg(broker.pid, signal.SIGTERM)
    broker.wait(timeout=10)
    try:
        wait_for("the state line tells", lambda: state_line("Brak połączenia: "), timeout=10)
    except JourneyFailure:
        j.fail("with the broker gone the state line does not say 'Brak połączenia'")
    j.shot("mqtt-dialog-broker-gone")
    if "qm482" in s.windows():
        j.fail("a message box came up for the broker that went away")
    s.click(s.find(dialog, "push button", "Anuluj"))
    j.expect_readings("with the broker gone")
    j.close_by_menu()

    saved = ini_values(d.ini)
    expected = {"ENABLED": "1", "HOST": "127.0.0.1", "PORT": str(port), "USER": "hala",
                "PASSWORD": "tajne"}
    wrong = {k: saved.get(k) for k, v in expected.items() if saved.get(k) != v}
    if wrong:
        raise JourneyFailure(f"the settings file says {wrong}")
    mode = d.ini.stat().st_mode & 0o777
    if mode != 0o600:
        raise JourneyFailure(f"the settings file with the password has mode {mode:o}")
