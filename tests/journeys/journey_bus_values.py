"""The readings as a bus client gets them, over the frame's whole range."""

import os
import subprocess
import time

from desktop import JourneyFailure, wait_for
from driver import SERIAL, ini_text
from frames import FLAG_BITS, Frame


def bus_frames(rng):
    """The edges of every field, every flag combination, then random frames
    over the whole range; serial numbers all different, so a frame's topics
    tell that it has arrived."""
    fixed = [
        Frame.of(0xABCD, -123, 456, 10132, ("humidity", "calibration")),
        Frame.of(0xFFFF, -999, 0, 0, ("temperature",)),
        Frame.of(1, 9999, 999, 99999, ("pressure",)),
        Frame.of(0x0A0B, 0, 10, 9, ("temperature", "humidity", "pressure", "calibration")),
        Frame.of(0xF00D, 10, 9, 13),
        Frame.of(0xC0DE, 13, 234, 1),
        Frame.of(0xBEEF, -1, 1, 99998, ("calibration",)),
        Frame(0xFACE, [0, 0, 0], [0, 0, 0, 0], [0] * 5, minus=True),  # minus zero
        # Digits above 9 (':' to '?') are taken at their value in any field.
        Frame(0xD00D, [15, 10, 9], [15, 15, 15, 15], [15] * 5, ("humidity",)),
    ]
    used = {f.serial for f in fixed} | {SERIAL, 0x1234}
    combos = [frozenset(f for f, bit in FLAG_BITS.items() if n & bit) for n in range(16)]
    random_frames = []
    for n in range(24):
        serial = next(s for s in iter(lambda: rng.randrange(1, 0x10000), None) if s not in used)
        used.add(serial)
        t = rng.randrange(-999, 10000) if n % 3 else rng.randrange(-999, 0)
        random_frames.append(Frame.of(serial, t, rng.randrange(1000), rng.randrange(100000),
                                      combos[n % 16]))
    return fixed + random_frames


def journey_bus_values(j):
    import random
    d, s = j.d, j.s
    seed = int(os.environ.get("QM482_JOURNEY_SEED") or time.time_ns() % 10 ** 6)
    print(f"journey bus_values: seed {seed} (QM482_JOURNEY_SEED={seed} replays it)")
    frames = bus_frames(random.Random(seed))
    d.start_sim(scripted=True)
    d.send(Frame.of(SERIAL, 215, 450, 10132).line())
    d.install_program(ini_text())

    heard = {}
    for locale, cases in ((None, frames), ("pl_PL.UTF-8", frames[:9] + frames[-6:])):
        d.start_program(locale=locale)
        j.wait_main(f"start ({locale or 'C'})")
        for n, frame in enumerate(cases):
            where = f"frame {n} ({frame}, {locale or 'C'} locale)"
            # A lone carriage return is a bad line: the link goes down and
            # the frame after it brings the service up under its own serial.
            d.send("raw 0D", frame.line())
            got = bus_frame(j, frame, where)
            if locale is None:
                heard[frame.serial] = got
            elif got != heard[frame.serial]:
                j.fail(f"{where}: the bus says {got}, in the C locale it said "
                       f"{heard[frame.serial]}")
            if n in (0, 1, 7, 8) and locale is None:
                j.shot(f"frame-{frame.serial:04x}")
        if locale is None:
            follow_on(j, frames)
        j.close_by_menu()
    j.shot("end")
    print(f"journey bus_values: {len(frames)} frames, {len(frames[:9] + frames[-6:])} of them "
          f"again in pl_PL")


def bus_frame(j, frame, where, topic_serial=None):
    """Waits for the frame on the bus and the status line; returns the raw
    bytes of every item as the client printed them."""
    d, s = j.d, j.s
    topics = frame.topics(topic_serial)
    try:
        wait_for("the frame's topics", lambda: bus_call(d, "topics")[1].decode().split()
                 == topics, timeout=5)
    except JourneyFailure:
        j.fail(f"{where}: the bus lists {bus_call(d, 'topics')}, not {topics}")
    expected = frame.items()
    got = {}
    for (i, item), text in expected.items():
        code, out = bus_call(d, "get", topics[i], item)
        got[i, item] = out
        if code != 0 or out != (text + "\n").encode():
            j.fail(f"{where}: 'get {topics[i]} {item}' gave exit code {code} and {out!r}, "
                   f"expected {text!r}")
    status = s.status()
    if status != frame.status_line():
        j.fail(f"{where}: the status line says {status!r}, not {frame.status_line()!r}")
    return got


def bus_call(d, *args):
    r = subprocess.run([str(d.build / "qm482-dde"), *args], env=d.env, capture_output=True,
                       timeout=10)
    return r.returncode, r.stdout


def follow_on(j, frames):
    """Good frames that follow a good frame keep the topics of the serial
    that brought the link up, with the new frame's values."""
    d = j.d
    first, then = frames[2], Frame.of(0x1234, -456, 789, 9876, ("pressure",))
    d.send("raw 0D", first.line())
    bus_frame(j, first, "before the follow-on frame")
    d.send(then.line())
    wait_for("the follow-on frame's values", lambda: bus_call(
        d, "get", first.topics()[1], "Wynik")[1] == (then.items()[1, "Wynik"] + "\n").encode(),
        timeout=5)
    bus_frame(j, then, "a follow-on frame with another serial", topic_serial=first.serial)
    # A good frame with serial 0 shows its values, but publishes nothing.
    zero = Frame.of(0, 215, 450, 10132)
    d.send("raw 0D", zero.line())
    wait_for("serial 0 on the status line", lambda: j.s.status() == zero.status_line(),
             timeout=5)
    code, out = bus_call(d, "topics")
    if code != 3:
        j.fail(f"with serial 0 the bus answers {code} {out!r}")
