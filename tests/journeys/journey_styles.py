"""Colours and fonts of the panels."""

from desktop import JourneyFailure, wait_for

PANEL_BACKGROUND = "#cae4ff"  # the temperature panel's own background
CHOSEN = "#ff8000"
COLOUR_LABELS = {"Tło", "Tekst", "Temperatura", "Wilg. względna", "Ciśnienie"}


def journey_styles(j):
    from screen import extents
    s = j.s
    j.start_beside_the_meter()
    x, y, w, h = extents(s.find(s.main(), "filler", "Temperatura"))
    # Bottom left of the temperature panel: background, left of any dialog.
    spot = (x + 4, y + h - 4)
    seen = j.pixel("main", spot)
    if seen != PANEL_BACKGROUND:
        j.fail(f"the temperature panel shows {seen} at {spot}, not {PANEL_BACKGROUND}")

    colours = open_styles(j, "Kolory", COLOUR_LABELS)
    j.shot("colours")
    swatch = s.find(colours, "push button", "Tło: Temperatura")
    if swatch is None or swatch.description != PANEL_BACKGROUND:
        j.fail("no swatch 'Tło: Temperatura' in the panel's colour for a screen reader")
    choose_colour(j, swatch)
    seen = j.pixel("colours-changed", spot)
    if seen != CHOSEN:
        j.fail(f"with the dialog open the panel shows {seen}, not the chosen {CHOSEN}")
    s.click(s.find(colours, "push button", "Anuluj"))
    wait_for("'Kolory' closes", lambda: "Kolory" not in s.windows(), timeout=5)
    try:
        wait_for("the old colour back", lambda: j.pixel("colours-cancelled", spot)
                 == PANEL_BACKGROUND, timeout=5)
    except JourneyFailure:
        j.fail(f"after 'Anuluj' the panel shows {j.pixel('colours-cancelled', spot)}, "
               f"not its old {PANEL_BACKGROUND}")

    fonts = open_styles(j, "Czcionki", COLOUR_LABELS - {"Tło", "Tekst"})
    previews = [s.find(fonts, "push button", f"Czcionka: {n}")
                for n in ("Temperatura", "Wilgotność względna", "Ciśnienie")]
    if None in previews:
        j.fail("the fonts dialog lacks a preview a screen reader can find")
    j.shot("fonts")
    s.click(previews[0])
    chooser = wait_for("the font chooser opens", lambda: next(
        (w for n, w in s.windows().items() if n not in ("QM482", "Czcionki")), None), timeout=10)
    j.shot("font-chooser")
    s.click(s.find(chooser, "push button", "Anuluj"))
    wait_for("the font chooser closes", lambda: chooser.name not in s.windows(), timeout=5)
    s.click(s.find(fonts, "push button", "Anuluj"))
    wait_for("'Czcionki' closes", lambda: "Czcionki" not in s.windows(), timeout=5)
    j.expect_readings("after the colours and fonts")

    j.close_by_menu()


def open_styles(j, title, labels):
    from screen import text_of
    s = j.s
    s.command("Widok", title)
    w = s.window(title)
    shown = {text_of(a) or a.name for a in s.find_all(w, "label")}
    if not labels <= shown:
        j.fail(f"'{title}' lacks the labels {sorted(labels - shown)}")
    return w


def choose_colour(j, swatch):
    """Picks CHOSEN in the colour chooser as a person types it: the HTML box."""
    from screen import text_of
    d, s = j.d, j.s
    s.click(swatch)
    chooser = wait_for("the colour chooser opens", lambda: next(
        (w for n, w in s.windows().items() if n not in ("QM482", "Kolory")), None), timeout=10)
    html = wait_for("the chooser's HTML box", lambda: s.find(
        chooser, "text", pred=lambda a: (text_of(a) or "").startswith("#")), timeout=5)
    j.shot("colour-chooser")
    s.click(html)
    d.key("ctrl+a")
    d.xdotool("type", "--delay", "30", CHOSEN)
    d.key("Return")
    wait_for("the colour chooser closes", lambda: chooser.name not in s.windows(), timeout=5)
    try:
        wait_for("the swatch takes the colour", lambda: swatch.description == CHOSEN, timeout=5)
    except JourneyFailure:
        j.fail(f"the swatch '{swatch.name}' shows {swatch.description} after choosing {CHOSEN}")
