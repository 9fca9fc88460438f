"""What a screen reader sees of the program, over AT-SPI, and clicks on it.
Import only after the desktop's environment is in os.environ."""

import pyatspi

from desktop import JourneyFailure, wait_for


def _walk(acc, depth=0):
    yield acc
    if depth > 12:
        return
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from _walk(child, depth + 1)


def states(acc):
    return set(acc.getState().getStates())


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def text_of(acc):
    try:
        t = acc.queryText()
    except NotImplementedError:
        return None
    return t.getText(0, t.characterCount)


def overlap(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    return ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah


class Screen:
    def __init__(self, desktop, program=None):
        """The desktop's current program, or the process `program`."""
        self.d = desktop
        self.program = program

    def app(self):
        pid = (self.program or self.d.program).pid
        reg = pyatspi.Registry.getDesktop(0)
        for i in range(reg.childCount):
            a = reg.getChildAtIndex(i)
            if a is not None and a.get_process_id() == pid:
                return a
        return None

    def windows(self):
        """The program's shown top-level windows: name -> accessible."""
        app = self.app()
        if app is None:
            return {}
        out = {}
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            if w is not None and pyatspi.STATE_SHOWING in states(w):
                out.setdefault(w.name, w)
        return out

    def window(self, name, timeout=10):
        return wait_for(f"a window '{name}' appears",
                        lambda: self.windows().get(name), timeout=timeout)

    def find(self, root, role, name=None, pred=None):
        for a in _walk(root):
            if a.getRoleName() == role and (name is None or a.name == name) \
                    and (pred is None or pred(a)):
                return a
        return None

    def find_all(self, root, role):
        return [a for a in _walk(root) if a.getRoleName() == role]

    def click(self, acc):
        x, y, w, h = extents(acc)
        if w <= 0 or h <= 0:
            raise JourneyFailure(f"'{acc.name}' is not on the screen")
        self.d.click(x + w // 2, y + h // 2)

    def describe(self):
        """One line of what the program shows now, for failure messages."""
        try:
            parts = []
            for name, w in self.windows().items():
                texts = [t for t in (text_of(a) or a.name for a in _walk(w)
                                     if a.getRoleName() in ("label", "text", "push button"))
                         if t]
                parts.append(f"window '{name}': " + " | ".join(texts))
            return "; ".join(parts) or "no window of the program"
        except Exception as e:
            return f"(screen unreadable: {e})"

    # --- the main window -------------------------------------------------

    def main(self, timeout=15):
        return self.window("QM482", timeout=timeout)

    def status(self):
        w = self.main()
        a = self.find(w, "text", "Stan") or self.find(w, "text")
        return text_of(a) if a is not None else None

    def panels(self):
        """Caption -> what the panel says, as read to a blind user."""
        w = self.main()
        return {a.name: a.description for a in self.find_all(w, "filler") if a.name}

    def menu_item(self, menu, item):
        bar = self.find(self.main(), "menu bar")
        top = self.find(bar, "menu item", menu)
        if top is None:
            raise JourneyFailure(f"no menu '{menu}' in the menu bar")
        found = self.find(top, "menu item", item)
        if found is None:
            raise JourneyFailure(f"no command '{item}' in the menu '{menu}'")
        return top, found

    def open_menu(self, menu):
        top = self.find(self.find(self.main(), "menu bar"), "menu item", menu)
        if top is None:
            raise JourneyFailure(f"no menu '{menu}' in the menu bar")
        self.click(top)
        # A machine busy with its first run (fonts, caches) can take seconds
        # to draw the first menu.
        popup = wait_for(f"the menu '{menu}' opens", lambda: self._shown_popup(top), timeout=12)
        return top, popup

    def _shown_popup(self, top):
        p = self.find(top, "popup menu")
        if p is not None and pyatspi.STATE_SHOWING in states(p) and extents(p)[2] > 0:
            return p
        return None

    def command(self, menu, item):
        """Clicks a menu command as a user does: the menu, then the item."""
        _, popup = self.open_menu(menu)
        entry = wait_for(f"'{item}' is shown in '{menu}'",
                         lambda: self._placed(self.find(popup, "menu item", item)), timeout=5)
        self.click(entry)

    @staticmethod
    def _placed(acc):
        return acc if acc is not None and extents(acc)[2] > 0 else None
