#!/usr/bin/env python3
"""Measures the real program (build/qm482) beside qm482-sim on a pseudo-terminal.

  cpu      CPU per frame over N frames at the line pace (or --rate CPS); with --network
           COM7 is a tcp:// or rfc2217:// link to a ser2net in front of the simulator
  idle     CPU while the panels blink: the meter silent (--silent) or reporting errors
  soak     resident memory and open descriptors over N frames at a high rate
  cycles   resident memory and descriptors over N port pull/return cycles (simulator
           killed and started again; the program reopens the port itself)
  startup  exec to the first reading on the session bus (the service appears)
  peer     CPU per frame and resident memory of the program and of cutecom, side by side
           on one Xvfb screen, each fed the same frames on a pty of its own
  instances  --count N instances (default 8), each with --config FILE of its own and a
           meter of its own serial number on a pty of its own, at once on one screen:
           CPU per frame and resident memory of each, all together as a share of a core

Each run gets a folder of its own (ports, program with its settings, home) and a
private session bus; the screen is offscreen unless --xvfb (Xvfb and openbox).
CPU comes from /proc/PID/stat (utime + stime, clock ticks).
"""
import argparse
import os
import pathlib
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

TICK = os.sysconf("SC_CLK_TCK")
INI = "[GENERAL]\r\nPORT_NR=7\r\nTOPMOST=0\r\nSHOW_ADV=0\r\n"
# Every alarm on; the temperature's high limit below the simulator's 21.5 °C,
# so one alarm stays on (its notification rewritten, its sound repeated).
ALARMS = ("[ALARMS]\r\nTEMP_HIGH_ON=1\r\nTEMP_HIGH=20\r\nTEMP_LOW_ON=1\r\nTEMP_LOW=10\r\n"
          "RH_HIGH_ON=1\r\nRH_HIGH=90\r\nRH_LOW_ON=1\r\nRH_LOW=10\r\nPRESSURE_HIGH_ON=1\r\n"
          "PRESSURE_HIGH=1100\r\nPRESSURE_LOW_ON=1\r\nPRESSURE_LOW=900\r\n"
          "DEWPOINT_SPREAD_ON=1\r\nLINK_LOST_ON=1\r\nMETER_ERROR_ON=1\r\nNOTIFY=1\r\nSOUND=1\r\n")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def fd_count(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def wait_for(what, pred, timeout=20):
    deadline = time.monotonic() + timeout
    while not pred():
        if time.monotonic() > deadline:
            raise SystemExit(f"timed out: {what}")
        time.sleep(0.02)


class Rig:
    def __init__(self, build, program, xvfb, alarms=False):
        self.build = pathlib.Path(build)
        self.tmp = pathlib.Path(tempfile.mkdtemp(prefix="qm482-measure-"))
        self.ports = self.tmp / "ports"
        self.ports.mkdir()
        app = self.tmp / "app"
        app.mkdir()
        self.program_path = app / "qm482"
        shutil.copy2(program or self.build / "qm482", self.program_path)
        (app / "qm480cfg.ini").write_bytes((INI + (ALARMS if alarms else "")).encode())
        home = self.tmp / "home"
        (home / "runtime").mkdir(parents=True)
        os.chmod(home / "runtime", 0o700)
        self.env = dict(PATH="/usr/local/bin:/usr/bin:/bin", HOME=str(home), LANG="C.UTF-8",
                        XDG_RUNTIME_DIR=str(home / "runtime"), QM482_PORTS_DIR=str(self.ports),
                        QT_QPA_PLATFORM="offscreen")
        self.procs = []
        self.counts = {}
        if xvfb:
            r, w = os.pipe()
            self.spawn([ "Xvfb", "-displayfd", str(w), "-nolisten", "tcp", "-screen", "0",
                        "1024x768x24"], pass_fds=(w,))
            os.close(w)
            number = b""
            while not number.endswith(b"\n"):
                number += os.read(r, 16)
            os.close(r)
            self.env["DISPLAY"] = ":" + number.decode().strip()
            self.env["QT_QPA_PLATFORM"] = "xcb"
            self.spawn(["openbox", "--sm-disable"])
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()

    def spawn(self, argv, stdout=subprocess.DEVNULL, **kw):
        p = subprocess.Popen(argv, env=self.env, stdout=stdout, stderr=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL, start_new_session=True, **kw)
        self.procs.append(p)
        return p

    def start_sim(self, port=7, *args):
        """A simulator that prints its frames; a thread counts them."""
        link = self.ports / f"COM{port}"
        link.unlink(missing_ok=True)
        sim = self.spawn([str(self.build / "qm482-sim"), "--port", str(port), *args],
                         stdout=subprocess.PIPE)
        self.counts[sim.pid] = 0

        def count():
            for line in sim.stdout:
                if line.startswith(b"frame "):
                    self.counts[sim.pid] += 1
        threading.Thread(target=count, daemon=True).start()
        wait_for(f"the simulator links COM{port}", link.exists)
        return sim

    def stop(self, p):
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        p.wait(timeout=10)
        self.procs.remove(p)

    def start_program(self):
        return self.spawn([str(self.program_path)])

    def close(self):
        for p in reversed(list(self.procs)):
            self.stop(p)
        shutil.rmtree(self.tmp, ignore_errors=True)


def start_ser2net(rig, pty, protocol):
    """ser2net on 127.0.0.1 serving `pty`; the link target of its accepter."""
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    accepter = ("telnet(rfc2217)," if protocol == "rfc2217" else "") + f"tcp,127.0.0.1,{port}"
    config = rig.tmp / "ser2net.yaml"
    config.write_text(f"connection: &meter\n  accepter: {accepter}\n"
                      f"  connector: serialdev,{pty},300n71,local\n")
    program = shutil.which("ser2net") or "/usr/sbin/ser2net"  # /usr/sbin may not be on PATH
    server = rig.spawn([program, "-n", "-u", "-P", str(rig.tmp / "ser2net.pid"), "-c", str(config)])

    def listening():
        # From the kernel's tables: a trial connection would keep ser2net busy with the pty.
        with open("/proc/net/tcp") as f:
            return any(line.split()[3] == "0A" and line.split()[1].endswith(f":{port:04X}")
                       for line in f.readlines()[1:])
    wait_for("ser2net listens", listening)
    return server, f"{'rfc2217' if protocol == 'rfc2217' else 'tcp'}://127.0.0.1:{port}"


def spread(values, unit, digits=2):
    if len(values) == 1:
        return f"{values[0]:.{digits}f} {unit}"
    return (f"median {statistics.median(values):.{digits}f} {unit}, "
            f"min {min(values):.{digits}f}, max {max(values):.{digits}f} (n={len(values)})")


def run_cpu(a):
    per_frame = []
    server_frame = []
    ends = []
    for run in range(a.runs):
        rig = Rig(a.build, a.program, a.xvfb, a.alarms)
        try:
            pace = ["--rate", str(a.rate)] if a.rate else []
            if a.silent_server:
                rig.spawn(["/usr/bin/python3",
                           str(pathlib.Path(__file__).with_name("silent_notification_server.py"))])
            server = None
            if a.network:
                sim = rig.start_sim(8, *pace)
                server, target = start_ser2net(rig, os.readlink(rig.ports / "COM8"), a.network)
                os.symlink(target, rig.ports / "COM7")
            else:
                sim = rig.start_sim(7, *pace)
            prog = rig.start_program()
            time.sleep(a.settle)
            s0 = cpu_seconds(server.pid) if server else 0
            c0, f0 = cpu_seconds(prog.pid), rig.counts[sim.pid]
            wait_for("the frames", lambda: rig.counts[sim.pid] - f0 >= a.frames,
                     timeout=a.frames * 5 + 60)
            c1, f1 = cpu_seconds(prog.pid), rig.counts[sim.pid]
            frames = f1 - f0
            per_frame.append((c1 - c0) / frames * 1000)
            line = f"run {run + 1}: {frames} frames, program {per_frame[-1]:.3f} ms/frame"
            if server:
                server_frame.append((cpu_seconds(server.pid) - s0) / frames * 1000)
                line += f", ser2net {server_frame[-1]:.3f} ms/frame"
            if a.alarms or a.silent_server:
                t0 = time.monotonic()
                prog.send_signal(signal.SIGTERM)
                prog.wait(timeout=30)
                ends.append(time.monotonic() - t0)
                line += f", SIGTERM to exit {ends[-1] * 1000:.0f} ms"
            print(line, flush=True)
        finally:
            rig.close()
    print("program CPU per frame:", spread(per_frame, "ms", 3))
    if server_frame:
        print("ser2net CPU per frame:", spread(server_frame, "ms", 3))
    if ends:
        print("SIGTERM to exit:", spread([e * 1000 for e in ends], "ms", 0))


def run_idle(a):
    shares = []
    for run in range(a.runs):
        rig = Rig(a.build, a.program, a.xvfb)
        try:
            if not a.silent:
                rig.start_sim(7, "--error", "temperature", "--error", "humidity",
                              "--error", "pressure")
            prog = rig.start_program()
            time.sleep(a.settle)
            c0, t0 = cpu_seconds(prog.pid), time.monotonic()
            time.sleep(a.seconds)
            shares.append((cpu_seconds(prog.pid) - c0) / (time.monotonic() - t0) * 100)
            print(f"run {run + 1}: {shares[-1]:.3f} % of a core", flush=True)
        finally:
            rig.close()
    print("idle CPU:", spread(shares, "% of a core", 3))


def holds(pid, path):
    """Whether the process has PATH open (a pty slave is named by its /dev/pts path)."""
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                return True
        except OSError:
            pass
    return False


def read_chars(pid):
    with open(f"/proc/{pid}/io") as f:
        for line in f:
            if line.startswith("rchar:"):
                return int(line.split()[1])
    return 0


CUTECOM_SESSION = """[sessions]
1\\BaudRate=300
1\\DataBits=8
1\\Device={device}
1\\FlowControl=1
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
size=1
"""


def xdotool(rig, *args):
    return subprocess.run(["xdotool", *args], env=rig.env, check=True, capture_output=True,
                          text=True, timeout=30).stdout.split()


def start_cutecom(rig, device, beside):
    """cutecom as its user leaves it: a saved session for the meter's line (the device box
    takes only a listed port or the session's, not a typed path), then Open pressed.
    300 baud; 8 data bits, because a pty always reports CS8 and cutecom, asked for 7, shows
    an error and closes the port once it is dismissed (the bytes are 7-bit either way).
    Hardware flow control, because with none cutecom sets DTR, the modem-line ioctl fails
    on a pty and it closes the port at once."""
    conf = pathlib.Path(rig.env["HOME"]) / ".config" / "CuteCom" / "CuteCom5.conf"
    conf.parent.mkdir(parents=True, exist_ok=True)
    conf.write_text(CUTECOM_SESSION.format(device=device))
    peer = rig.spawn(["cutecom"])
    window = xdotool(rig, "search", "--sync", "--all", "--pid", str(peer.pid),
                     "--name", "CuteCom -")[0]
    time.sleep(1)  # found is not yet mapped and drawn
    # Both windows in full view: the program's at the left, cutecom's beside it.
    ours = xdotool(rig, "search", "--sync", "--all", "--onlyvisible", "--pid", str(beside),
                   "--name", "QM")[0]
    xdotool(rig, "windowmove", ours, "0", "0")
    width = next(w for w in xdotool(rig, "getwindowgeometry", "--shell", ours)
                 if w.startswith("WIDTH="))
    xdotool(rig, "windowmove", window, str(int(width[6:]) + 4), "0")
    xdotool(rig, "windowactivate", "--sync", window)
    xdotool(rig, "key", "--window", window, "alt+o")  # the "Open" button
    wait_for("cutecom opens the port", lambda: holds(peer.pid, os.readlink(device)), 10)
    return peer


def run_peer(a):
    """The program and cutecom side by side on one Xvfb screen, each on a pty of its own fed
    the same frames by a simulator of its own."""
    a.xvfb = True
    ours, theirs, memory = [], [], []
    for run in range(a.runs):
        rig = Rig(a.build, a.program, True)
        try:
            pace = ["--rate", str(a.rate)] if a.rate else []
            same = ["--drift", "--seed", str(run + 1), *pace]
            sim = rig.start_sim(7, *same)
            peer_sim = rig.start_sim(8, *same)
            prog = rig.start_program()
            peer = start_cutecom(rig, str(rig.ports / "COM8"), prog.pid)
            time.sleep(a.settle)
            c0, p0 = cpu_seconds(prog.pid), cpu_seconds(peer.pid)
            f0, g0 = rig.counts[sim.pid], rig.counts[peer_sim.pid]
            wait_for("the frames", lambda: rig.counts[sim.pid] - f0 >= a.frames,
                     timeout=a.frames * 5 + 60)
            c1, p1 = cpu_seconds(prog.pid), cpu_seconds(peer.pid)
            f1, g1 = rig.counts[sim.pid], rig.counts[peer_sim.pid]
            if not holds(peer.pid, os.readlink(rig.ports / "COM8")):
                raise SystemExit("cutecom let go of its port during the run")
            if a.shots:
                shot = pathlib.Path(a.shots) / f"peer-run{run + 1}.png"
                subprocess.run(["import", "-window", "root", str(shot)], env=rig.env,
                               check=True, timeout=30)
            ours.append((c1 - c0) / (f1 - f0) * 1000)
            theirs.append((p1 - p0) / (g1 - g0) * 1000)
            memory.append((rss_kib(prog.pid), rss_kib(peer.pid)))
            print(f"run {run + 1}: {f1 - f0} frames; program {ours[-1]:.3f} ms/frame, "
                  f"resident {memory[-1][0]} KiB; cutecom {theirs[-1]:.3f} ms/frame, "
                  f"resident {memory[-1][1]} KiB; ratio {ours[-1] / theirs[-1]:.3f}",
                  flush=True)
        finally:
            rig.close()
    print("program CPU per frame:", spread(ours, "ms", 3))
    print("cutecom CPU per frame:", spread(theirs, "ms", 3))
    print("program / cutecom:", spread([o / t for o, t in zip(ours, theirs)], "", 3))
    print("resident, program:", spread([m[0] for m in memory], "KiB", 0))
    print("resident, cutecom:", spread([m[1] for m in memory], "KiB", 0))


def sample(prog, rows, label):
    rows.append((label, rss_kib(prog.pid), fd_count(prog.pid)))
    print(f"{label}: resident {rows[-1][1]} KiB, descriptors {rows[-1][2]}", flush=True)


def run_soak(a):
    rig = Rig(a.build, a.program, a.xvfb)
    rows = []
    try:
        sim = rig.start_sim(7, "--rate", str(a.rate))
        prog = rig.start_program()
        time.sleep(a.settle)
        sample(prog, rows, "frames 0")
        f0 = rig.counts[sim.pid]
        step = max(1, a.frames // 10)
        for k in range(1, 11):
            wait_for("the frames", lambda: rig.counts[sim.pid] - f0 >= k * step,
                     timeout=3600)
            sample(prog, rows, f"frames {rig.counts[sim.pid] - f0}")
    finally:
        rig.close()
    growth(rows)


def run_cycles(a):
    a.count = a.count or 1000
    rig = Rig(a.build, a.program, a.xvfb)
    rows = []
    link = rig.ports / "COM7"
    try:
        sim = rig.start_sim(7, "--fast")
        prog = rig.start_program()
        time.sleep(a.settle)
        sample(prog, rows, "cycle 0")
        marks = {1, 10} | set(range(50, a.count + 1, 50)) | {a.count}
        t0 = time.monotonic()
        for k in range(1, a.count + 1):
            rig.stop(sim)
            link.unlink(missing_ok=True)
            sim = rig.start_sim(7, "--fast")
            # Back once the program holds the new pty (its number differs from the old
            # one while the program still holds that) and has read a frame from it.
            slave = os.readlink(link)
            wait_for("the program reopens the port", lambda: holds(prog.pid, slave),
                     timeout=30)
            r0 = read_chars(prog.pid)
            wait_for("the program reads again", lambda: read_chars(prog.pid) - r0 >= 19,
                     timeout=30)
            if k in marks:
                sample(prog, rows, f"cycle {k} ({time.monotonic() - t0:.0f} s)")
    finally:
        rig.close()
    growth(rows)


def growth(rows):
    first, last = rows[1] if len(rows) > 2 else rows[0], rows[-1]
    print(f"resident {rows[0][1]} -> {last[1]} KiB (from the first step: "
          f"{last[1] - first[1]:+d} KiB); descriptors {rows[0][2]} -> {last[2]}")


def run_instances(a):
    """`a.count` instances of one installed program, each started with a settings file of
    its own for its own meter, their windows tiled on one screen."""
    count = a.count or 8
    rows, totals, servers = [], [], []
    for run in range(a.runs):
        rig = Rig(a.build, a.program, a.xvfb)
        try:
            config = pathlib.Path(rig.env["HOME"]) / ".config" / "qm482"
            config.mkdir(parents=True)
            pace = ["--rate", str(a.rate)] if a.rate else []
            sims, progs = [], []
            for i in range(count):
                port = 7 + i
                # Drifting readings: the panels repaint as a room's would make them.
                sims.append(rig.start_sim(port, "--serial", str(1000 + i), "--drift", "--seed",
                                          str(i + 1), *pace))
                left, top = (i % 4) * 256, (i // 4) * 384
                ini = config / f"meter{i + 1}.ini"
                ini.write_bytes((f"[GENERAL]\r\nPORT_NR={port}\r\nTOPMOST=0\r\nSHOW_ADV=0\r\n"
                                 f"WINDOW_LEFT={left}\r\nWINDOW_TOP={top}\r\n"
                                 f"WINDOW_RIGHT={left + 250}\r\nWINDOW_BOTTOM={top + 360}\r\n")
                                .encode())
                progs.append(rig.spawn([str(rig.program_path), "--config", str(ini)]))
            time.sleep(a.settle + count * 0.5)
            xserver = rig.procs[0] if a.xvfb else None
            c0 = [cpu_seconds(p.pid) for p in progs]
            f0 = [rig.counts[s.pid] for s in sims]
            x0 = cpu_seconds(xserver.pid) if xserver else 0.0
            t0 = time.monotonic()
            wait_for("the frames", lambda: min(rig.counts[s.pid] - f for s, f in zip(sims, f0))
                     >= a.frames, timeout=a.frames * 5 + 60)
            wall = time.monotonic() - t0
            c1 = [cpu_seconds(p.pid) for p in progs]
            f1 = [rig.counts[s.pid] for s in sims]
            x1 = cpu_seconds(xserver.pid) if xserver else 0.0
            if a.shots:
                subprocess.run(["import", "-window", "root",
                                str(pathlib.Path(a.shots) / f"instances-run{run + 1}.png")],
                               env=rig.env, check=True, timeout=30)
            for i, p in enumerate(progs):
                if p.poll() is not None:
                    raise SystemExit(f"instance {i + 1} ended (exit code {p.returncode})")
                per = (c1[i] - c0[i]) / (f1[i] - f0[i]) * 1000
                rows.append((per, rss_kib(p.pid)))
                print(f"run {run + 1}, instance {i + 1}: {f1[i] - f0[i]} frames, "
                      f"{per:.3f} ms/frame, resident {rows[-1][1]} KiB", flush=True)
            totals.append(sum(c1[i] - c0[i] for i in range(count)) / wall * 100)
            line = f"run {run + 1}: all {count} together {totals[-1]:.2f} % of a core"
            if xserver:
                servers.append((x1 - x0) / wall * 100)
                line += f", the X server {servers[-1]:.2f} %"
            print(line, flush=True)
        finally:
            rig.close()
    print("CPU per frame, each instance:", spread([r[0] for r in rows], "ms", 3))
    print("resident, each instance:", spread([r[1] for r in rows], "KiB", 0))
    print(f"all {count} instances:", spread(totals, "% of a core", 2))
    if servers:
        print("the X server:", spread(servers, "% of a core", 2))


def run_startup(a):
    times = []
    for run in range(a.runs):
        rig = Rig(a.build, a.program, a.xvfb)
        try:
            rig.start_sim(7, "--fast")
            monitor = rig.spawn(["dbus-monitor", "--session",
                                 "type='signal',member='NameOwnerChanged',"
                                 "arg0='org.qm482.QM482'"], stdout=subprocess.PIPE)
            time.sleep(0.5)
            t0 = time.monotonic()
            rig.start_program()
            got, named = None, False
            for line in monitor.stdout:
                # NameOwnerChanged: the name, the old owner (""), the new owner.
                named = named or b'"org.qm482.QM482"' in line
                if named and b'string ":' in line:
                    got = time.monotonic() - t0
                    break
            times.append(got * 1000)
            print(f"run {run + 1}: {times[-1]:.0f} ms", flush=True)
        finally:
            rig.close()
    print("start to first reading on the bus:", spread(times, "ms", 0))


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("what", choices=["cpu", "idle", "soak", "cycles", "startup", "peer",
                                          "instances"])
    p.add_argument("--build", default="build")
    p.add_argument("--program", help="program to measure (default BUILD/qm482)")
    p.add_argument("--runs", type=int, default=5)
    p.add_argument("--frames", type=int, default=100)
    p.add_argument("--rate", type=float, help="characters per second (default the meter's)")
    p.add_argument("--xvfb", action="store_true")
    p.add_argument("--silent", action="store_true", help="idle: no meter at all")
    p.add_argument("--alarms", action="store_true",
                   help="cpu: every alarm on, one of them raised")
    p.add_argument("--silent-server", action="store_true",
                   help="cpu: a notification server that never answers on the bus")
    p.add_argument("--network", choices=["raw", "rfc2217"],
                   help="cpu: COM7 a link to ser2net (raw TCP or RFC 2217) before the simulator")
    p.add_argument("--seconds", type=float, default=30)
    p.add_argument("--count", type=int,
                   help="cycles: pull/return cycles (1000); instances: instances (8)")
    p.add_argument("--settle", type=float, default=3.0)
    p.add_argument("--shots", help="peer: save a screenshot of each run in this folder")
    a = p.parse_args()
    globals()["run_" + a.what](a)


if __name__ == "__main__":
    main()
