"""Every menu command, in order, with what it opens."""

from desktop import JourneyFailure, wait_for
from driver import ini_values

# The main menu as the window must show it, in order; "-" a separator.
MAIN_MENU = [("Program", ["Uruchom Plotan", "-", "Potwierdź alarmy", "-", "Zamknij"]),
             ("Widok", ["Kolory", "Czcionki", "Zawsze na wierzchu"]),
             # MQTT publishing and alarms come after the meter's own settings.
             ("Ustawienia", ["Port szeregowy", "Rejestracja do pliku", "Ustawienia dodatkowe",
                             "Publikowanie MQTT", "Alarmy"]),
             ("Pomoc", ["Pomoc", "Program Varda", "O programie"])]
MUST_BE_ENABLED = {("Program", "Zamknij"), ("Widok", "Zawsze na wierzchu"),
                   ("Ustawienia", "Port szeregowy"), ("Ustawienia", "Alarmy")}
# Only while an alarm waits for its acknowledgement.
MUST_BE_DISABLED = {("Program", "Potwierdź alarmy")}
# The window each command opens, where it is known.
OPENS = {("Ustawienia", "Port szeregowy"): "Porty"}


def journey_menus(j):
    import pyatspi
    d, s = j.d, j.s
    j.start_beside_the_meter()
    enabled = []
    bar = s.find(s.main(), "menu bar")
    menus = [bar.getChildAtIndex(i).name for i in range(bar.childCount)]
    if menus != [m for m, _ in MAIN_MENU]:
        j.fail(f"the menu bar reads {menus}, not {[m for m, _ in MAIN_MENU]}")
    for menu, expected_items in MAIN_MENU:
        _, popup = s.open_menu(menu)
        j.shot(f"menu-{menu}")
        shown = []
        for i in range(popup.childCount):
            child = popup.getChildAtIndex(i)
            shown.append("-" if child.getRoleName() == "separator" else child.name)
        if shown != expected_items:
            j.fail(f"the menu '{menu}' reads {shown}, not {expected_items}")
        for item in s.find_all(popup, "menu item"):
            if pyatspi.STATE_ENABLED in item.getState().getStates():
                enabled.append((menu, item.name))
        d.key("Escape")
        wait_for(f"the menu '{menu}' closes", lambda: s._shown_popup(
            s.find(bar, "menu item", menu)) is None, timeout=5)
    missing = MUST_BE_ENABLED - set(enabled)
    if missing:
        j.fail(f"commands shown disabled: {sorted(missing)}")
    if MUST_BE_DISABLED & set(enabled):
        j.fail(f"commands shown enabled with nothing to do: {sorted(MUST_BE_DISABLED & set(enabled))}")
    print("enabled commands:", enabled)

    for menu, item in enabled:
        if (menu, item) in MUST_BE_ENABLED - set(OPENS):
            continue
        s.command(menu, item)
        open_and_close(j, menu, item)
        j.expect_running(f"'{menu} → {item}' was opened and closed")
        j.expect_readings(f"after '{menu} → {item}'")

    for expected in (True, False, True):
        j.toggle_topmost(expected)
    j.shot("topmost")
    j.close_by_menu()
    topmost = ini_values(d.ini).get("TOPMOST")
    if topmost != "1":
        raise JourneyFailure(f"'Zawsze na wierzchu' was on at the end, the settings say "
                             f"TOPMOST={topmost}")


def open_and_close(j, menu, item):
    d, s = j.d, j.s
    title = OPENS.get((menu, item))
    if title is not None:
        w = s.window(title)
    else:
        w = wait_for(f"'{menu} → {item}' opens a window", lambda: next(
            (w for n, w in s.windows().items() if n and n != "QM482"), None), timeout=10)
        title = w.name
    j.shot(f"{menu}-{item}".replace(" ", "_"))
    cancel = s.find(w, "push button", "Anuluj")
    if cancel is not None:
        s.click(cancel)
    else:
        d.key("Escape")
    wait_for(f"the window '{title}' closes", lambda: title not in s.windows(), timeout=5)
