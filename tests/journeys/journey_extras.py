"""The auxiliary windows: about, promotion, settings, help, Plotan."""

import time

from desktop import JourneyFailure, wait_for
from driver import ini_text, ini_values


def journey_extras(j):
    from screen import extents, text_of
    d, s = j.d, j.s
    d.start_sim()
    d.install_program(ini_text(SHOW_ADV=1))
    d.start_program()
    # Shown at the start: the promotion window, over the main window.
    promo = s.window("Orlent - promocja Varda", timeout=15)
    j.shot("promotion")
    link = s.find(promo, "label", "Kliknij, aby uzyskać więcej informacji w internecie")
    if link is None:
        j.fail("the promotion window lacks its link")
    s.click(s.find(promo, "push button", "Zamknij"))
    wait_for("the promotion window closes",
             lambda: "Orlent - promocja Varda" not in s.windows(), timeout=5)
    j.expect_readings("after the promotion window")

    for menu, item, title in (("Pomoc", "O programie", "O programie"),
                              ("Pomoc", "Program Varda", "Orlent - promocja Varda")):
        s.command(menu, item)
        w = s.window(title)
        j.shot(title.replace(" ", "_"))
        if title == "O programie":
            labels = {text_of(a) or a.name for a in s.find_all(w, "label")}
            for wanted in ("QM482 Wersja 3.07", "email: biuro@orlent.example.com"):
                if wanted not in labels:
                    j.fail(f"the about box lacks {wanted!r}: {sorted(labels)}")
            s.click(s.find(w, "push button", "OK"))
        else:
            s.click(s.find(w, "push button", "Zamknij"))
        wait_for(f"'{title}' closes", lambda: title not in s.windows(), timeout=5)

    # The window's own about item, from its context menu.
    x, y, w_, h = extents(s.find(s.main(), "filler", "Temperatura"))
    d.xdotool("mousemove", "--sync", str(x + w_ // 2), str(y + h // 2), "click", "3")
    time.sleep(0.5)
    j.shot("context-menu")
    # The menu's one item, chosen from the keyboard as its window is not
    # among the program's accessible windows.
    d.key("Down")
    d.key("Return")
    about = s.window("O programie")
    s.click(s.find(about, "push button", "OK"))
    wait_for("'O programie' closes", lambda: "O programie" not in s.windows(), timeout=5)

    # The additional settings: the promotion window off from the next start.
    s.command("Ustawienia", "Ustawienia dodatkowe")
    settings = s.window("Ustawienia dodatkowe")
    box = s.find(settings, "check box",
                 "Nie pokazu informacji o oprogramowaniu Varda przy starcie")
    if box is None:
        j.fail("the additional settings lack their check box")
    s.click(box)
    j.shot("additional-settings")
    s.click(s.find(settings, "push button", "OK"))
    wait_for("'Ustawienia dodatkowe' closes",
             lambda: "Ustawienia dodatkowe" not in s.windows(), timeout=5)

    # No companion program anywhere: the program says so.
    s.command("Program", "Uruchom Plotan")
    box = wait_for("the message box", lambda: next(
        (w for n, w in s.windows().items() if n == "qm482"), None), timeout=10)
    said = [text_of(a) or a.name for a in s.find_all(box, "label")]
    j.shot("plotan")
    if "Nie można odnaleźć programu Plotan.exe" not in said:
        j.fail(f"'Uruchom Plotan' said {said}")
    s.click(s.find(box, "push button", "OK"))
    wait_for("the box closes", lambda: "qm482" not in s.windows(), timeout=5)

    # Help from the menu, then from F1.
    s.command("Pomoc", "Pomoc")
    help_window = s.window("QM482 - Pomoc")
    j.shot("help")
    d.key("Escape")
    wait_for("help closes", lambda: "QM482 - Pomoc" not in s.windows(), timeout=5)
    s.click(s.find(s.main(), "filler", "Temperatura"))
    d.key("F1")
    help_window = s.window("QM482 - Pomoc")
    if help_window is None:
        j.fail("F1 did not open help")
    j.expect_running("help")
    j.close_by_menu()
    if ini_values(d.ini).get("SHOW_ADV") != "0":
        raise JourneyFailure(f"the box was ticked, the settings say "
                             f"SHOW_ADV={ini_values(d.ini).get('SHOW_ADV')}")
