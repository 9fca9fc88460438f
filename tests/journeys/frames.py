"""Meter frames built from their digits, and what the bus and the status
line must make of them."""

TOPICS = ("Temperatura", "Wilgotność", "Ciśnienie")
UNITS = (" °C", " %", " hPa")
# The status character's flag bits, and the topics each one puts in error.
FLAG_BITS = {"humidity": 0x01, "temperature": 0x02, "calibration": 0x04, "pressure": 0x08}
IN_ERROR = {"temperature": {0}, "humidity": {1}, "pressure": {2}, "calibration": {0, 1, 2}}
FLAG_TEXTS = (("temperature", "Błąd wartości temperatury. "),
              ("humidity", "Błąd wartości wilgotności względnej. "),
              ("pressure", "Błąd wartości ciśnienia. "), ("calibration", "Błąd kalibracji. "))


def with_parity(payload):
    payload &= 0x3F
    return payload | (0x40 if bin(payload).count("1") % 2 == 0 else 0)


class Frame:
    """One meter frame built here from its digits, so that what the bus
    should say follows from the bytes, not from the program's own code.
    Digits are 0-15 (10-15 travel as ':' to '?'); `minus` sends the
    temperature's sign character in place of its thousands digit."""

    def __init__(self, serial, humidity, temperature, pressure, flags=(), minus=False):
        self.serial, self.flags, self.minus = serial, frozenset(flags), minus
        self.digits = {"h": humidity, "t": temperature, "p": pressure}

    @staticmethod
    def of(serial, t, rh, p, flags=()):
        """From values in tenths, as a meter sends them."""
        digits = lambda v, n: [v // 10 ** k % 10 for k in reversed(range(n))]  # noqa: E731
        return Frame(serial, digits(rh, 3), digits(abs(t), 4), digits(p, 5), flags, t < 0)

    def bytes(self):
        status = 0x30 | sum(FLAG_BITS[f] for f in self.flags)
        s = self.serial
        chars = [status, *(0x30 + n for n in (s >> 4 & 15, s & 15, s >> 12 & 15, s >> 8 & 15))]
        chars += [0x30 + d for d in self.digits["h"]]
        t = [0x30 + d for d in self.digits["t"]]
        if self.minus:
            t[0] = 0x2D
        chars += t + [0x30 + d for d in self.digits["p"]]
        return bytes([0x40, *(with_parity(c) for c in chars), 0x0D])

    def line(self):
        return "raw " + " ".join(f"{b:02X}" for b in self.bytes())

    def values(self):
        """Temperature, humidity, pressure as the meter means them: the
        integer of tenths times the double 0.1."""
        number = lambda ds: sum(d * 10 ** k for k, d in enumerate(reversed(ds)))  # noqa: E731
        t = self.digits["t"]
        temperature = -number(t[1:]) * 0.1 if self.minus else number(t) * 0.1
        return temperature, number(self.digits["h"]) * 0.1, number(self.digits["p"]) * 0.1

    def topics(self, serial=None):
        return [f"{name}#{self.serial if serial is None else serial}" for name in TOPICS]

    def items(self):
        """(topic index, item) -> the text a client must get."""
        out = {}
        for i, v in enumerate(self.values()):
            wynik = bus_number(v)
            bad = any(i in IN_ERROR[f] for f in self.flags)
            out[i, "Wynik"] = wynik
            out[i, "Pomiar"] = wynik + UNITS[i]
            out[i, "Status"] = "Błąd pomiaru" if bad else "Pomiar OK"
        return out

    def status_line(self):
        text = f"QM-482 nr {self.serial}. "
        if not self.flags:
            text += "Pomiar prawidłowy. "
        return text + "".join(t for f, t in FLAG_TEXTS if f in self.flags)

    def __str__(self):
        t, h, p = self.values()
        return (f"serial {self.serial:#06x} T {t!r} RH {h!r} P {p!r} "
                f"flags {','.join(sorted(self.flags)) or '-'}")


def bus_number(v):
    """The bus's number: the value moved 0.05 toward zero, then the exact
    double rounded to a tenth, a half away from zero."""
    from decimal import ROUND_HALF_UP, Decimal
    shifted = v - 0.05 if v >= 0 else v + 0.05
    return str(Decimal(shifted).quantize(Decimal("0.1"), rounding=ROUND_HALF_UP))
