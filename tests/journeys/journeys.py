#!/usr/bin/python3
"""Journeys: the built program on a desktop of its own, driven from outside
with real clicks and read as a user, a screen reader and a bus client would.

    journeys.py NAME BUILD_DIR      NAME: a journey_NAME.py beside this file
    QM482_JOURNEY_SEED=N            replays the random frames of bus_values

Each journey_NAME.py holds the function journey_NAME(j), given a Journey
(driver.py) on a fresh desktop (desktop.py) read through screen.py.

Started as root, it runs itself (and so everything it starts) as nobody:
a pty the program leaves locked, a file it cannot write, show up only then."""

import importlib
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import traceback

sys.dont_write_bytecode = True  # the source tree may be read-only to us
HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from desktop import Desktop, JourneyFailure  # noqa: E402
from driver import Journey  # noqa: E402

NOBODY = 65534
JOURNEYS = sorted(p.stem[len("journey_"):] for p in HERE.glob("journey_*.py"))


# --- running ------------------------------------------------------------------


def run_as_nobody(name, build):
    """As root: runs this journey again as nobody, from a copy of the driver
    and the programs in a folder of its own (no part of the checkout has to
    be open to other users), and brings its pictures back."""
    stage = pathlib.Path(tempfile.mkdtemp(prefix=f"qm482-journey-{name}-"))
    staged = stage / "build"
    try:
        (staged / "journeys").mkdir(parents=True)
        for tool in ("qm482", "qm482-sim", "qm482-dde", "qmg-dump", "qm482.html"):
            shutil.copy2(build / tool, staged / tool)
        if (build / "qm482-chart").exists():
            shutil.copy2(build / "qm482-chart", staged / "qm482-chart")
        driver = stage / "driver"
        shutil.copytree(HERE, driver, ignore=shutil.ignore_patterns("__pycache__", "*.txt"))
        os.chmod(stage, 0o755)
        for path in [stage, *stage.rglob("*")]:
            os.chown(path, NOBODY, NOBODY)
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": "/tmp"}
        for k in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "QM482_JOURNEY_SEED"):
            if k in os.environ:
                env[k] = os.environ[k]
        argv = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                "--reset-env", "/usr/bin/env", *[f"{k}={v}" for k, v in env.items()],
                sys.executable, str(driver / "journeys.py"), name, str(staged)]
        child = subprocess.Popen(argv, start_new_session=True)
        try:
            return child.wait(timeout=270)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.wait()
            print(f"JOURNEY {name} FAILED: the driver did not end within 270 s",
                  file=sys.stderr)
            return 1
    finally:
        shots = build / "journeys"
        shots.mkdir(exist_ok=True)
        for picture in (staged / "journeys").glob("*.png"):
            shutil.copy(picture, shots / picture.name)
        shutil.rmtree(stage, ignore_errors=True)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in JOURNEYS:
        print(__doc__, file=sys.stderr)
        return 2
    name, build = sys.argv[1], pathlib.Path(sys.argv[2]).resolve()
    if os.geteuid() == 0:
        return run_as_nobody(name, build)
    # Well inside CTest's limit, so the teardown below always runs.
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(
        JourneyFailure("the journey took longer than 240 s")))
    signal.alarm(240)
    desktop = None
    try:
        desktop = Desktop(build, name)
        os.environ.update(desktop.env)
        journey = Journey(desktop)
        module = importlib.import_module(f"journey_{name}")
        getattr(module, f"journey_{name}")(journey)
        print(f"journey {name}: passed")
        return 0
    except JourneyFailure as e:
        if desktop is not None:
            desktop.screenshot("failure")
        print(f"JOURNEY {name} FAILED: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        if desktop is not None:
            desktop.screenshot("failure")
        print(f"JOURNEY {name} FAILED: the driver broke (see above)", file=sys.stderr)
        return 1
    finally:
        signal.alarm(0)
        if desktop is not None:
            desktop.close()


if __name__ == "__main__":
    sys.exit(main())
