"""The link lost three ways, and back by itself."""

import subprocess
import time

from desktop import JourneyFailure, wait_for
from driver import NO_READING, SERIAL, STATUS_LOST, ini_text
from frames import Frame


def journey_link_loss(j):
    d, s = j.d, j.s
    good = Frame.of(SERIAL, 215, 450, 10132)
    d.start_sim(scripted=True)
    d.send(good.line())
    d.install_program(ini_text())
    d.start_program()
    j.wait_main("start")
    j.expect_readings("start")

    # Silent with the line still open: only the watchdog can tell, 5 s on.
    d.send("silence")
    link_lost(j, "the meter fell silent", 4.5, 7.0)
    j.shot("silent")
    d.send(good.line())
    j.expect_readings("frames again after the silence", timeout=3)

    # One stray byte spoils one line: the service goes at once, and the next
    # frame brings it back. A client watching an item sees it go.
    watch = subprocess.Popen([str(d.build / "qm482-dde"), "watch", f"Temperatura#{SERIAL}",
                              "Status"], env=d.env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    try:
        wait_for("the watch's first text", lambda: watch.stdout.readline(), timeout=5)
        d.send("raw 55", good.line())
        try:
            code = watch.wait(timeout=3)
        except subprocess.TimeoutExpired:
            j.fail("a line with a stray byte did not take the bus service away")
    finally:
        if watch.poll() is None:
            watch.kill()
        watch.wait()
    if code != 3:
        j.fail(f"the watch ended with exit code {code} when the service went, not 3")
    j.expect_readings("the frame after the stray byte", timeout=3)

    # A stray byte before every frame: every line is bad, and the link stays
    # down without waiting for the watchdog.
    d.send("raw 55 " + good.line()[4:])
    link_lost(j, "a stray byte came before every frame", 0, 3.0)
    time.sleep(5.5)  # a watchdog expiry on top changes nothing
    link_lost(j, "a stray byte came before every frame for 5 s", 0, 0.5)
    d.send(good.line())
    j.expect_readings("clean frames again", timeout=3)

    # The meter's program ends: its pty goes. The program tries the port
    # again every 2 s and takes up the new pty under the same name.
    d.kill_sim()
    link_lost(j, "the meter's pty went away", 0, 7.0)
    j.shot("pty-gone")
    time.sleep(4.5)
    d.start_sim(scripted=True)
    back = time.monotonic()
    d.send(good.line())
    j.expect_readings("the meter came back", timeout=8)
    took = time.monotonic() - back
    if took > 4.5:
        j.fail(f"the meter was back, but the readings took {took:.1f} s to return")
    j.shot("back")
    j.close_by_menu()
    print(f"journey link_loss: readings back {took:.1f} s after the meter returned")


def link_lost(j, what, earliest, latest):
    """The status line, the panels and the bus all say the link is lost,
    between `earliest` and `latest` seconds from now."""
    d, s = j.d, j.s
    start = time.monotonic()
    try:
        wait_for("link lost", lambda: s.status() == STATUS_LOST, timeout=latest, interval=0.05)
    except JourneyFailure:
        j.fail(f"{what}: after {time.monotonic() - start:.1f} s the status line still says "
               f"{s.status()!r}")
    took = time.monotonic() - start
    if took < earliest:
        j.fail(f"{what}: the link was given up after {took:.1f} s, not {earliest} s")
    panels = s.panels()
    if set(panels.values()) != {NO_READING}:
        j.fail(f"{what}: the panels read {panels}")
    code, text = j.bus_get("Temperatura")
    if code != 3:
        j.fail(f"{what}: the bus still answers ({code}, {text!r})")
    print(f"{what}: link lost after {took:.1f} s")
