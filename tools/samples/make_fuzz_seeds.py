#!/usr/bin/python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small, well-formed example (or a deliberately broken one) so
that the fuzzer starts from the shapes the readers expect: record groups,
headers with a good check word, settings files as the program writes them.
The stream targets take two leading bytes that choose the display options
(bit 0 Data, 1 Status, 2 Stamp, 3 DateTime, 4-6 StampMode, 7 Error) and the
layout (bits 0-1 DataMode, the rest the line width in 16-pixel steps).
Run: /usr/bin/python3 tools/samples/make_fuzz_seeds.py
"""
import os
import shutil
import struct

import make_samples as ms

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
ALL_ON = 0x8F          # Data, Status, Stamp, DateTime, Error; 1 ms stamps
WIDTH_770 = (770 // 16 + 1) << 2


def seeds_stored_stream():
    body = ms.modem_session()[94:]
    s = ms.StoredStream(1710235800)
    s.date_time(); s.status(0x07); s.stamp(5000); s.send("AT\r"); s.receive("OK\r\n", )
    s.error_char(0x41, True); s.error_char(0x42, False); s.date_time()
    return {
        "modem-session": bytes((ALL_ON, WIDTH_770)) + body[:600],
        "every-kind": bytes((ALL_ON, WIDTH_770)) + bytes(s.out),
        "narrow-lines": bytes((ALL_ON, 0x08)) + bytes(s.out),
        "options-off": bytes((0x00, WIDTH_770)) + bytes(s.out),
        "stamp-1000ms-hexv": bytes((0x37, WIDTH_770 | 2)) + bytes(s.out),
        # A stamp group broken by a data record, then one cut at the end.
        "broken-groups": bytes((ALL_ON, WIDTH_770)) + bytes((0x80, 0x01, 0x21, 0x41, 0xA0, 0x65, 0x80, 0x00)),
    }


def seeds_old_stream():
    body = ms.old_session()[91:]
    return {
        "old-session": bytes((0x87, WIDTH_770)) + body,
        "old-options-off": bytes((0x00, WIDTH_770)) + body[:120],
        "count-group-max": bytes((0x87, WIDTH_770)) + bytes((0x80, 0, 0x80, 0x1F, 0x80, 0xFF,
                                                               0xA0, 1, 0xA0, 2, 0xA0, 3, 0xA0, 4)),
        "status-and-chars": bytes((0x83, 0x10)) + bytes((0x28, 0x41, 0x48, 0x42, 0x7F, 0, 0xEA, 0x43)),
    }


def seeds_current_header():
    return {
        "defaults": ms.current_header({}, -1),
        "sample": ms.modem_session()[:94],
        "all-set": ms.current_header(dict(Data=1, DataMode=2, Status=1, Stamp=1, StampMode=4,
                                          DateTime=0, NoDisplay=1, crBkColor=0), 1234),
        "bad-check": ms.current_header({}, 770)[:93] + b"\x00",
        "short": ms.current_header({}, 770)[:60],
    }


def seeds_old_header():
    good = ms.old_header(dict(Status=1, Stamp=1, StampMode=3), 770)
    return {
        "sample": ms.old_session()[:91],
        "stamp-1000ms": good,
        "zero-byte": good[:40] + b"\x00" + good[41:],
        "stamp-mode-too-high": good[:55] + b"4" + good[56:],
    }


def seeds_ini():
    written = ("[DisplayMode]\nData=1\nDataMode=0\ncrDataTXD=16711680\ncrDataRXD=4236\n"
               "crSpecChar=25856\nError=1\ncrErrFrame=8421631\ncrErrParity=65535\nStatus=0\n"
               "Stamp=0\nStampMode=0\nDateTime=1\ncrStampBack=8629910\ncrStampFore=12801315\n"
               "NoDisplay=0\ncrBkColor=16777215\ncxLine=770\n[COM]\nBaudrate=10\nDatabit=1\n"
               "Stopbit=0\nParity=0\n[BufSetting]\nFileSize=2\nOverWrite=0\nFileNum=999999\n"
               "DesPath=/home/bench/captures\n")
    return {
        "as-written": written.encode(),
        "crlf-no-final-newline": written.replace("\n", "\r\n").rstrip().encode(),
        "garbage-values": b"[displaymode]\n DATA = -x7\nStampMode=99999999999999\ncxLine=\n"
                          b"[COM]\nBaudrate=40\n[COM]\nBaudrate=3\n; comment=1\n[Find\nFindStr=\"a b\"\n",
        "long-line": b"[BufSetting]\nDesPath=" + b"p" * 1500 + b"\n[DisplayMode]\nData=0",
        "keys-before-sections": b"Data=5\n=7\n[]\n[DisplayMode]]\nData=0\n",
    }


def seeds_frames():
    """The conversations of the decoder's reference fixture as live records,
    behind the byte that chooses protocol and master and the block size."""
    seeds = {}
    protocol = {"rtu": 0, "ascii": 1}
    master = {"txd": 0, "rxd": 1, "auto": 2, "bus": 3}
    records = bytearray()
    with open(os.path.join(ROOT, "tests", "decode", "modbus_reference.txt")) as f:
        for line in f:
            words = line.split()
            if words[0] == "scenario":
                name, choice, records = words[1], protocol[words[2]] | master[words[3]] << 2, bytearray()
            elif words[0] in ("T", "R"):
                for b in bytes.fromhex(words[1]):
                    records += bytes((0x20 if words[0] == "T" else 0x28, b))
            elif words[0] == "G":
                ms = int(words[1])
                records += bytes((0x80 | ms >> 8, ms & 0xFF))
            elif words[0] == "end":
                seeds[name] = bytes((choice, 15)) + bytes(records)
    text = b"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\nATI\r"
    seeds["lines"] = bytes((2, 3)) + b"".join(bytes((0x20, c)) for c in text) + bytes((0x28, 0x4F, 0x38, 0x4B, 0x28, 13))
    return seeds


def remote_frame(kind, payload=b""):
    return kind + struct.pack("<I", len(payload)) + payload


def seeds_remote_frames():
    hello = remote_frame(b"H", b"KSRP" + struct.pack("<H", 1))
    records = remote_frame(b"R", bytes([0x20, 0x41, 0x28, 0x42]))
    return {
        "hello-open": hello + remote_frame(b"O", b"tap"),
        "session": hello + remote_frame(b"A", b"O" + struct.pack("<i", 1)) +
                   remote_frame(b"A", b"F" + struct.pack("<i", 9) + b"Firmware\0") + records * 3 +
                   remote_frame(b"N", b"records lost") + remote_frame(b"L", b"is gone"),
        "odd-records": hello + remote_frame(b"R", b"\x20\x41\x28"),
        "too-long": b"R" + struct.pack("<I", 70000) + b"\0" * 16,
        "unknown-type": hello + b"Z\0\0\0\0",
        "cut": hello + remote_frame(b"P", bytes(8))[:7],
    }


def main():
    corpus = os.path.join(ROOT, "fuzz", "corpus")
    for target, seeds in (("stored_stream", seeds_stored_stream()), ("old_stream", seeds_old_stream()),
                          ("current_header", seeds_current_header()), ("old_header", seeds_old_header()),
                          ("ini", seeds_ini()), ("frames", seeds_frames()),
                          ("remote_frames", seeds_remote_frames())):
        folder = os.path.join(corpus, target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        print("%s: %d seeds" % (folder, len(seeds)))


if __name__ == "__main__":
    main()
