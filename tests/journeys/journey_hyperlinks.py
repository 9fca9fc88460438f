"""Links that open, and links whose handler fails."""

import re
import subprocess
import time

from desktop import JourneyFailure, wait_for

VARDA_PAGE = "https://www.orlent.example.com/varda/"
LINK_COLOUR, VISITED_COLOUR = "0000ee", "551a8b"
OPEN_FAILED = {
    3: "There is no application associated\nwith the given filename extension.",
    4: "The filename association is\nincomplete or invalid.",
}


def colours_in(j, what, box):
    """The colours drawn in a screen rectangle, as rrggbb, from a new screenshot."""
    x, y, w, h = box
    path = j.d.screenshot(what)
    r = subprocess.run(["convert", str(path), "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                        "-unique-colors", "txt:-"], capture_output=True, text=True, timeout=20)
    return set(m.lower() for m in re.findall(r"#([0-9A-Fa-f]{6})", r.stdout))


def journey_hyperlinks(j):
    """A desktop whose xdg-open fails (no handler, a handler that breaks),
    then works: the box names the failure, only success marks the link."""
    from screen import extents, text_of
    d, s = j.d, j.s
    desktop_bin = d.tmp / "desktop-bin"
    desktop_bin.mkdir()
    calls, code = d.tmp / "xdg-open.calls", d.tmp / "xdg-open.code"
    opener = desktop_bin / "xdg-open"
    opener.write_text(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{calls}'\nsleep 0.2\n"
                      f"exit $(cat '{code}')\n")
    opener.chmod(0o755)
    d.env["PATH"] = f"{desktop_bin}:{d.env['PATH']}"
    j.start_beside_the_meter()
    # SHOW_ADV=0: no promotion window at the start, now or a moment later.
    time.sleep(1.5)
    if set(s.windows()) != {"QM482"}:
        j.fail(f"with SHOW_ADV=0 the start showed {sorted(s.windows())}")

    s.command("Pomoc", "Program Varda")
    promo = s.window("Orlent - promocja Varda")
    link = s.find(promo, "label", "Kliknij, aby uzyskać więcej informacji w internecie")
    if link is None:
        j.fail("the promotion window lacks its link")
    box = extents(link)
    for exit_code, dismiss in ((3, "Escape"), (4, "OK")):
        code.write_text(f"{exit_code}\n")
        s.click(link)
        shown = wait_for(f"the box after xdg-open exits {exit_code}", lambda: next(
            (w for n, w in s.windows().items() if n == "qm482"), None), timeout=10)
        said = "\n".join(text_of(a) or a.name for a in s.find_all(shown, "label"))
        j.shot(f"open-failed-{exit_code}")
        wanted = "Unable to open hyperlink:\n\n" + OPEN_FAILED[exit_code]
        if " ".join(said.split()) != " ".join(wanted.split()):
            j.fail(f"xdg-open exited {exit_code}; the box says {said!r}, not {wanted!r}")
        if dismiss == "Escape":
            d.key("Escape")
        else:
            s.click(s.find(shown, "push button", "OK"))
        wait_for("the box closes", lambda: "qm482" not in s.windows(), timeout=5)
        d.xdotool("mousemove", "--sync", "5", "5")
        seen = colours_in(j, f"after-failure-{exit_code}", box)
        if VISITED_COLOUR in seen or LINK_COLOUR not in seen:
            j.fail(f"after xdg-open exited {exit_code} the link is drawn in {sorted(seen)[:8]}, "
                   f"not as a link not yet followed (#{LINK_COLOUR})")

    code.write_text("0\n")
    s.click(link)
    d.xdotool("mousemove", "--sync", "5", "5")
    try:
        wait_for("the link drawn as followed",
                 lambda: VISITED_COLOUR in colours_in(j, "opened", box), timeout=5)
    except JourneyFailure:
        j.fail("xdg-open opened the page and the link is not drawn as followed")
    time.sleep(0.5)
    if "qm482" in s.windows():
        j.fail(f"xdg-open opened the page and a box says: {s.describe()}")
    asked = calls.read_text().splitlines()
    if asked != [VARDA_PAGE] * 3:
        j.fail(f"xdg-open was given {asked}, three times only {VARDA_PAGE!r} expected")
    s.click(s.find(promo, "push button", "Zamknij"))
    wait_for("the promotion window closes",
             lambda: "Orlent - promocja Varda" not in s.windows(), timeout=5)
    j.expect_readings("after the links")
    j.close_by_menu()
