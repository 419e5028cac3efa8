#!/usr/bin/python3
"""Writes the sample capture files in samples/ byte by byte.

samples/modem-session.ksf  a current capture: a host dialling out through an
                           AT modem, with control-line changes, time stamps and
                           start/stop date-times.
samples/old-format.df      the same kind of dialogue in the older read-only
                           file type.

The files are generated rather than recorded so that every byte can be traced
to the header and record layouts below. Run: /usr/bin/python3 tools/samples/make_samples.py
"""
import calendar
import os
import struct
import sys

# Display settings in header order. Colours are 0x00BBGGRR in decimal.
DEFAULTS = dict(Data=1, DataMode=0, crDataTXD=16711680, crDataRXD=4236, crSpecChar=25856,
                Error=1, crErrFrame=8421631, crErrParity=65535, Status=0, Stamp=0, StampMode=0,
                DateTime=1, crStampFore=12801315, crStampBack=8629910, NoDisplay=0,
                crBkColor=16777215)

# Control-line bits of a status byte; a set bit is the inactive (low) level.
CTS, RTS, DSR, DTR, CD = 0x10, 0x08, 0x04, 0x02, 0x01
ALL_INACTIVE = CTS | RTS | DSR | DTR | CD


def current_header(settings, cx_line):
    s = dict(DEFAULTS, **settings)
    text = ("%01d%01d%010d%010d%010d%01d%010d%010d%01d%01d%01d%01d%010d%010d%01d%010d%04d" % (
        s["Data"], s["DataMode"], s["crDataTXD"], s["crDataRXD"], s["crSpecChar"], s["Error"],
        s["crErrFrame"], s["crErrParity"], s["Status"], s["Stamp"], s["StampMode"], s["DateTime"],
        s["crStampFore"], s["crStampBack"], s["NoDisplay"], s["crBkColor"], cx_line)).encode("ascii")
    assert len(text) == 92, "a setting does not fit its field"
    # 46 little-endian words summed modulo 2^16, complemented, high byte first.
    total = sum(struct.unpack("<46H", text)) & 0xFFFF
    return text + struct.pack(">H", ~total & 0xFFFF)


def old_header(settings, cx_line):
    s = dict(DEFAULTS, **settings)
    text = ("%01d%01d%010d%010d%010d%01d%010d%010d%01d%01d%01d%010d%010d%01d%010d%04d" % (
        s["Data"], s["DataMode"], s["crDataTXD"], s["crDataRXD"], s["crSpecChar"], s["Error"],
        s["crErrFrame"], s["crErrParity"], s["Status"], s["Stamp"], s["StampMode"],
        s["crStampFore"], s["crStampBack"], s["NoDisplay"], s["crBkColor"], cx_line)).encode("ascii")
    assert len(text) == 91
    return text


class StoredStream:
    """The record area of a current file, built with a running clock."""

    def __init__(self, start_time):
        self.out = bytearray()
        self.clock_ms = start_time * 1000

    def now(self):
        return self.clock_ms // 1000

    def date_time(self):
        t = self.now() & 0xFFFFFFFF
        self.out += bytes(b for byte in struct.pack(">I", t) for b in (0xA0, byte))

    def stamp(self, ms):
        """Silence of `ms` milliseconds: one stamp group with the time it ended."""
        self.clock_ms += ms
        m = struct.pack(">I", ms)
        t = struct.pack(">I", self.now() & 0xFFFFFFFF)
        self.out += bytes(b for byte in m for b in (0x80, byte))
        self.out += bytes(b for byte in t for b in (0xC0, byte))

    def status(self, inactive_bits):
        b0 = 0x40 | inactive_bits
        self.out += bytes((b0, b0))

    def send(self, text, rxd=False):
        for ch in text.encode("latin-1"):
            self.out += bytes((0x28 if rxd else 0x20, ch))
        # About one millisecond per character at 9600 baud.
        self.clock_ms += len(text)

    def receive(self, text):
        self.send(text, rxd=True)

    def error_char(self, ch, framing):
        # RXD with the error bit; bit 1 tells a framing error from a parity error.
        self.out += bytes((0x3A if framing else 0x38, ch))


def modem_session():
    s = StoredStream(calendar.timegm((2024, 3, 12, 9, 30, 0)))
    lines = ALL_INACTIVE
    s.date_time()
    # The host opens the port: DTR, then the modem answers with DSR.
    s.stamp(35)
    lines &= ~DTR; s.status(lines)
    s.stamp(4)
    lines &= ~DSR; s.status(lines)
    s.stamp(120)
    lines &= ~RTS; s.status(lines)
    s.stamp(2)
    lines &= ~CTS; s.status(lines)
    # Wake-up and reset, with the modem's echo still on.
    s.stamp(850)
    s.send("AT\r"); s.stamp(6); s.receive("AT\r\r\nOK\r\n")
    s.stamp(1500)
    s.send("ATZ\r"); s.stamp(180); s.receive("ATZ\r\r\nOK\r\n")
    s.stamp(640)
    s.send("ATE0\r"); s.stamp(7); s.receive("ATE0\r\r\nOK\r\n")
    s.stamp(900)
    s.send("ATI3\r"); s.stamp(9); s.receive("\r\nV.34 28800 rev 2.1\r\n\r\nOK\r\n")
    # Dial out; the carrier comes up after the handshake.
    s.stamp(2200)
    s.send("ATDT5551234\r")
    s.stamp(18250)
    lines &= ~CD; s.status(lines)
    s.stamp(40)
    s.receive("\r\nCONNECT 9600\r\n")
    s.stamp(1300)
    s.receive("\r\nlogin: ")
    s.stamp(2750)
    s.send("bench\r")
    s.stamp(25)
    # Line noise during the password prompt.
    s.receive("\r\npass")
    s.error_char(0xF8, framing=True)
    s.error_char(0x77, framing=False)
    s.receive("ord: ")
    s.stamp(3100)
    s.send("********\r")
    s.stamp(480)
    s.receive("\r\nWelcome.\r\n$ ")
    # Flow control: the modem holds the host off for a moment.
    s.stamp(5200)
    s.send("cat log.txt\r")
    s.stamp(30)
    s.receive("boot ok\r\nsensor 1: 21.5 C\r\n")
    lines |= CTS; s.status(lines)
    s.stamp(75)
    lines &= ~CTS; s.status(lines)
    s.receive("sensor 2: 19.0 C\r\n$ ")
    # Escape to command mode and hang up.
    s.stamp(1000)
    s.send("+++")
    s.stamp(1000)
    s.receive("\r\nOK\r\n")
    s.stamp(420)
    s.send("ATH0\r")
    s.stamp(260)
    lines |= CD; s.status(lines)
    s.stamp(15)
    s.receive("\r\nOK\r\n")
    # The host closes the port.
    s.stamp(700)
    lines |= RTS; s.status(lines)
    lines |= DTR; s.status(lines)
    s.stamp(3)
    lines |= DSR | CTS; s.status(lines)
    s.stamp(10)
    s.date_time()
    settings = dict(Status=1, Stamp=1, StampMode=0, DateTime=1)
    return current_header(settings, 770) + bytes(s.out)


def old_session():
    """An old file: characters carry the line levels, ticks come in 10 ms units."""
    out = bytearray()
    t = calendar.timegm((2009, 6, 2, 14, 5, 0))
    lines = ALL_INACTIVE

    def status(bits):
        out.extend((0x60 | bits, 0))

    def chars(text, rxd=False):
        for ch in text.encode("latin-1"):
            out.extend(((0x40 if rxd else 0x20) | lines, ch))

    def tick(ms):
        nonlocal t
        units = ms // 10
        t += ms // 1000
        out.extend((0x80, 0, 0x80, (units >> 8) & 0x1F, 0x80, units & 0xFF))
        out.extend(b for byte in struct.pack(">I", t) for b in (0xA0, byte))

    lines &= ~(DTR | RTS); status(lines)
    tick(50)
    lines &= ~(DSR | CTS); status(lines)
    tick(600)
    chars("AT\r")
    tick(20)
    chars("AT\r\r\nOK\r\n", rxd=True)
    tick(1200)
    chars("ATDT5550199\r")
    tick(21000)
    lines &= ~CD; status(lines)
    chars("\r\nCONNECT 2400\r\n", rxd=True)
    tick(800)
    chars("HELLO\r")
    tick(90)
    chars("\r\nREADY", rxd=True)
    # A character with a parity error on RXD: type 7 with D set, F clear.
    out.extend((0xE0 | 0x08, 0x3E))
    tick(2500)
    lines |= CD; status(lines)
    chars("\r\nNO CARRIER\r\n", rxd=True)
    tick(300)
    lines = ALL_INACTIVE; status(lines)
    return old_header(dict(Status=1, Stamp=1, StampMode=0), 770) + bytes(out)


def main():
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "samples")
    os.makedirs(target, exist_ok=True)
    for name, data in (("modem-session.ksf", modem_session()), ("old-format.df", old_session())):
        path = os.path.join(target, name)
        with open(path, "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (path, len(data)))


if __name__ == "__main__":
    main()
