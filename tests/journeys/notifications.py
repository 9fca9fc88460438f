"""A real notification server (dunst) on the journey's display and bus, and
what the program said to it, read off the bus by dbus-monitor."""

import re
import subprocess

from desktop import JourneyFailure, wait_for

NOTIFICATIONS = "org.freedesktop.Notifications"


class NotificationServer:
    def __init__(self, d):
        self.d = d
        conf = d.tmp / "dunstrc"
        conf.write_text("[global]\n    monitor = 0\n    follow = none\n    timeout = 0\n"
                        "    sticky_history = yes\n")
        self.capture = d.tmp / "notifications.txt"
        with open(self.capture, "wb") as out:
            d.spawn(["dbus-monitor", "--address", d.env["DBUS_SESSION_BUS_ADDRESS"],
                     f"interface='{NOTIFICATIONS}'", "type='method_return'"], stdout=out)
        d.spawn(["dunst", "-config", str(conf)])
        wait_for("dunst serves the notifications", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", f"--dest={NOTIFICATIONS}",
             "/org/freedesktop/Notifications", f"{NOTIFICATIONS}.GetServerInformation"],
            env=d.env, capture_output=True, timeout=5).returncode == 0, timeout=15)

    def _blocks(self):
        block = None
        for line in self.capture.read_text(encoding="utf-8", errors="replace").splitlines():
            if not line.startswith(" "):
                if block is not None:
                    yield block
                block = [line]
            elif block is not None:
                block.append(line.strip())
        if block is not None:
            yield block

    def calls(self):
        """[(what, fields)]: ("notify", {serial, replaces, summary, body, actions, id}),
        ("close", {id}), ("closed", {id, reason}), ("action", {id, key}) in bus order."""
        out, replies = [], {}
        for b in self._blocks():
            head = b[0]
            serial = re.search(r" serial=(\d+)", head)
            if head.startswith("method return"):
                reply = re.search(r"reply_serial=(\d+)", head)
                if reply and len(b) > 1 and b[1].startswith("uint32 "):
                    replies[reply.group(1)] = int(b[1].split()[1])
                continue
            values = [re.sub(r'^(string|uint32|int32) ', "", v).strip('"') for v in b[1:]]
            if "member=Notify" in head:
                actions = []
                if "array [" in values:
                    i = values.index("array [")
                    while i + 1 < len(values) and values[i + 1] != "]":
                        actions.append(values[i + 1])
                        i += 1
                out.append(("notify", {"serial": serial.group(1), "replaces": int(values[1]),
                                       "summary": values[3], "body": values[4],
                                       "actions": actions}))
            elif "member=CloseNotification" in head:
                out.append(("close", {"id": int(values[0])}))
            elif "member=NotificationClosed" in head:
                out.append(("closed", {"id": int(values[0]), "reason": int(values[1])}))
            elif "member=ActionInvoked" in head:
                out.append(("action", {"id": int(values[0]), "key": values[1]}))
        for what, f in out:
            if what == "notify":
                f["id"] = replies.get(f["serial"])
        return out

    def notifies(self):
        return [f for what, f in self.calls() if what == "notify"]

    def displayed(self):
        r = subprocess.run(["dunstctl", "count", "displayed"], env=self.d.env,
                           capture_output=True, text=True, timeout=5)
        if r.returncode != 0:
            raise JourneyFailure(f"dunstctl count failed: {r.stderr.strip()}")
        return int(r.stdout.strip())

    def invoke_action(self):
        """What a person does choosing the notification's action in dunst."""
        subprocess.run(["dunstctl", "action", "0"], env=self.d.env, check=True, timeout=5)
