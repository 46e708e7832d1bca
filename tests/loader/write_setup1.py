#!/usr/bin/env python3
"""An archive and self-extracting file writer of its own (struct + zlib), so
the loader is checked against bytes that our C++ writer did not make.

  write_setup1.py reference OUTDIR
      OUTDIR/reference.1: a small archive of known texts and dates.
  write_setup1.py scenario OUTDIR FAKE_SETUP_EXE LOADER_EXE
      OUTDIR/setup.1 (the fake setup program first, then pre-setup files) and
      OUTDIR/setup.exe: the loader, setup.1, a files.1 and the trailer.

Layout: archive = count (int32) + flag (byte 0), then per entry a 164-byte
header followed by its zlib stream; positions count from the archive's first
byte. Trailer (56 bytes): length byte 14, "SELFEXTRACTING", a zero byte, four
int32 offsets (setup.1 first/last byte, files.1 first/last byte), 24 zeros.
"""
import datetime
import os
import struct
import sys
import zlib

EPOCH = datetime.datetime(1899, 12, 30)


def date_value(text):
    """'YYYY-MM-DDTHH:MM:SS' -> days since 1899-12-30 with the time as fraction."""
    d = datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S")
    return (d - EPOCH).total_seconds() / 86400.0


def short_string(text, width):
    raw = text.encode("latin-1")[:width]
    return bytes([len(raw)]) + raw + b"\0" * (width - len(raw))


def header(order, date, name, start, end, next_header, normal_size, packed_size, version=""):
    h = struct.pack("<i", order)
    h += struct.pack("<d", date)
    h += bytes([0]) + b"\0" * 3          # EndDisk, padding
    h += struct.pack("<i", end)
    h += short_string(name, 100) + b"\0" * 3
    h += struct.pack("<iiii", next_header, normal_size, start, packed_size)
    h += bytes([0])                      # StartDisk
    h += short_string(version, 20) + b"\0" * 2
    assert len(h) == 164
    return h


def archive(entries):
    """entries: list of (stored name, data bytes, date text)."""
    out = bytearray(struct.pack("<iB", len(entries), 0))
    for order, (name, data, when) in enumerate(entries, 1):
        packed = zlib.compress(data, 9)
        start = len(out) + 164
        end = start + len(packed) - 1
        out += header(order, date_value(when), name, start, end, end + 1, len(data), len(packed))
        out += packed
    return bytes(out)


def trailer(s1_start, s1_end, f1_start, f1_end):
    t = bytes([14]) + b"SELFEXTRACTING" + b"\0"
    t += struct.pack("<iiii", s1_start, s1_end, f1_start, f1_end)
    t += b"\0" * 24
    assert len(t) == 56
    return t


def reference(outdir):
    entries = [
        ("C:\\Build\\First.txt", b"the first entry\r\n" * 3, "2001-02-03T04:05:06"),
        ("D:/other/Second.bin", bytes(range(256)) * 40, "1999-12-31T23:59:58"),
        ("Empty.txt", b"", "2010-06-15T12:00:00"),
        ("X:\\later\\First.txt", b"the later entry of the same name wins\r\n", "2005-05-05T05:05:04"),
    ]
    with open(os.path.join(outdir, "reference.1"), "wb") as f:
        f.write(archive(entries))


def scenario(outdir, fake_setup, loader):
    with open(fake_setup, "rb") as f:
        setup_program = f.read()
    entries = [
        ("C:\\Build\\Output\\Quillant20.exe", setup_program, "2001-02-03T04:05:06"),
        ("C:\\Build\\PreSetup\\ReadMe.txt", b"read me\r\n", "1999-12-31T23:59:58"),
        ("Empty.dat", b"", "2010-06-15T12:00:00"),
    ]
    setup1 = archive(entries)
    with open(os.path.join(outdir, "setup.1"), "wb") as f:
        f.write(setup1)
    with open(loader, "rb") as f:
        head = f.read()
    files1 = archive([("C:\\Product\\Product.dll", b"product" * 100, "2002-02-02T02:02:02")])
    s1_start = len(head)
    f1_start = s1_start + len(setup1)
    with open(os.path.join(outdir, "setup.exe"), "wb") as f:
        f.write(head + setup1 + files1)
        f.write(trailer(s1_start, f1_start - 1, f1_start, f1_start + len(files1) - 1))


def main(argv):
    if len(argv) == 3 and argv[1] == "reference":
        os.makedirs(argv[2], exist_ok=True)
        reference(argv[2])
    elif len(argv) == 5 and argv[1] == "scenario":
        os.makedirs(argv[2], exist_ok=True)
        scenario(argv[2], argv[3], argv[4])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
