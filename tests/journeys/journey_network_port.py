"""The meter behind a serial device server: a real ser2net in front of the
simulated meter, COM7 a tcp:// link to it; ser2net stopped and started."""

import os
import shutil
import socket
import subprocess
import time

from desktop import JourneyFailure, wait_for
from driver import STATUS_LOST, ini_text


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# Debian puts it in /usr/sbin, which a user's PATH may lack.
SER2NET = shutil.which("ser2net") or "/usr/sbin/ser2net"


def listening(port):
    """A socket listens on the port (from the kernel's tables: a trial connection would make
    ser2net open the pty and be busy with it for a moment after)."""
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                fields = line.split()
                if fields[3] == "0A" and fields[1].endswith(f":{port:04X}"):
                    return True
    return False


class Ser2net:
    def __init__(self, d, pty, port):
        self.d, self.port, self.process = d, port, None
        self.config = d.tmp / "ser2net.yaml"
        self.config.write_text(
            "connection: &meter\n"
            f"  accepter: tcp,127.0.0.1,{port}\n"
            f"  connector: serialdev,{pty},300n71,local\n"
            "  options:\n    kickolduser: true\n")

    def start(self):
        self.process = self.d.spawn([SER2NET, "-n", "-u", "-P", str(self.d.tmp / "ser2net.pid"),
                                     "-c", str(self.config)])
        wait_for("ser2net listens", lambda: listening(self.port), timeout=10)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.d.groups.remove(self.process.pid)
        self.process = None


def only_the_main_window(j, what):
    shown = set(j.s.windows())
    if shown != {"QM482"}:
        j.fail(f"{what}: the windows shown are {sorted(shown)}, not the main window alone")


def journey_network_port(j):
    d, s = j.d, j.s
    # The meter on COM8; ser2net needs its device, not the link.
    d.spawn([str(d.build / "qm482-sim"), "--port", "8", "--fast", "--quiet"])
    wait_for("the simulated meter links COM8", lambda: (d.ports / "COM8").exists())
    pty = os.readlink(d.ports / "COM8")
    port = free_port()
    server = Ser2net(d, pty, port)
    server.start()
    address = f"tcp://127.0.0.1:{port}"
    os.symlink(address, d.ports / "COM7")

    d.install_program(ini_text())
    d.start_program()
    j.wait_main("start")
    j.expect_readings("through the device server")

    # The port dialog names the server.
    s.command("Ustawienia", "Port szeregowy")
    dialog = s.window("Porty")
    combo = wait_for("the port list", lambda: s.find(dialog, "combo box"), timeout=5)
    s.click(combo)
    wanted = f"COM7 ({address})"
    entry = wait_for(f"{wanted} in the port list", lambda: s._placed(s.find(
        combo, "list item", pred=lambda a: a.name == wanted)), timeout=5)
    j.shot("port-list")
    s.click(entry)
    s.click(s.find(dialog, "push button", "OK"))
    wait_for("the port dialog closes", lambda: "Porty" not in s.windows(), timeout=5)

    # ser2net ends: the connection drops, the link is lost, no box.
    server.stop()
    try:
        wait_for("link lost", lambda: s.status() == STATUS_LOST, timeout=7)
    except JourneyFailure:
        j.fail(f"ser2net ended and the status line still says {s.status()!r}")
    only_the_main_window(j, "ser2net ended")
    # Refused every 2 s meanwhile; the window keeps answering its menu.
    started = time.monotonic()
    s.command("Ustawienia", "Port szeregowy")
    s.window("Porty")
    s.click(s.find(s.window("Porty"), "push button", "Anuluj"))
    wait_for("the port dialog closes", lambda: "Porty" not in s.windows(), timeout=5)
    answered = time.monotonic() - started
    if answered > 5:
        j.fail(f"with the server refusing, the port dialog took {answered:.1f} s")
    time.sleep(3)
    if s.status() != STATUS_LOST:
        j.fail(f"with the server refusing, the status line says {s.status()!r}")
    only_the_main_window(j, "the server refused for a while")
    j.shot("refused")

    server.start()
    back = time.monotonic()
    j.expect_readings("ser2net started again", timeout=5)
    took = time.monotonic() - back
    only_the_main_window(j, "ser2net started again")
    j.shot("back")
    j.close_by_menu()
    print(f"journey network_port: readings back {took:.1f} s after ser2net started again")
