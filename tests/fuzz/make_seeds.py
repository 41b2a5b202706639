#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: corpus/<target>/<case>.

The join seeds use the encoding described at the top of join_case.cpp, the
others that of their targets. Run again after changing an encoding; it
replaces the seeds it writes and keeps other files (regression inputs).

    python3 tests/fuzz/make_seeds.py
"""
import os
import random
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def header(name, size, header_size=284, whole=1, magic=b"@PARVEX "):
    h = bytearray(284)
    h[0:8] = magic
    h[8:10] = struct.pack("<H", header_size)
    h[10:13] = bytes([2, whole, 0xFF])
    h[16:20] = struct.pack("<I", size)
    h[20:20 + len(name)] = name
    return bytes(h) + bytes(max(0, header_size - 284))


def with_record(name, size, exact=b""):
    """A header whose FileName name is followed by a PVXE record; from
    4 GiB on under "@PARVEX+"."""
    h = bytearray(header(name, size & 0xFFFFFFFF,
                         magic=b"@PARVEX+" if size >> 32 else b"@PARVEX "))
    r = b"PVXE\x01" + struct.pack("<QB", size, len(exact)) + exact
    r += struct.pack("<I", zlib.crc32(r))
    at = 20 + len(name) + 1
    h[at:at + len(r)] = r
    return bytes(h)


def stub(sections=3, dotted=True):
    """A PE32 image whose section walk ends at its last byte."""
    pe, raw, each = 0x80, 0x200, 0x100
    img = bytearray(raw) + random.Random(7).randbytes(sections * each)
    img[0:2] = b"MZ"
    img[0x3C] = pe
    img[pe:pe + 8] = b"PE\0\0\x4c\x01" + struct.pack("<H", sections)
    for s in range(sections):
        e = pe + 248 + 40 * s
        img[e:e + 8] = (b"." if dotted else b"_") + b"sec%d\0\0\0" % s
        img[e + 16:e + 24] = struct.pack("<II", each, raw + s * each)
    return bytes(img)


def case(pieces, dest=0, pause=0, no_window=0, walk=0, read_limit=0,
         answers=0xFF, cancel_at=0, fail_read_at=0, room=0, stub_size=0,
         existing=None):
    """pieces: bytes, None (absent) or "folder"."""
    out = bytes([dest | pause << 2 | no_window << 3 | walk << 4 |
                 read_limit << 5, answers, cancel_at, fail_read_at])
    out += struct.pack("<HHB", room, stub_size, len(pieces))
    for p in pieces:
        if p is None:
            out += b"\x01"
        elif p == "folder":
            out += b"\x02"
        else:
            out += b"\x00" + struct.pack("<H", len(p)) + p
    if existing:
        out += bytes([len(existing[0])]) + existing[0] + existing[1]
    return out


def cut(whole, size):
    return [whole[i:i + size] for i in range(0, len(whole), size)]


def join_seeds(head, prefix, walk):
    """The seeds of one join target; head goes in front of the header."""
    data = random.Random(1).randbytes(5000)

    def pieces(name=b"report.txt", size=len(data), **kw):
        return cut(head + header(name, size, **kw) + data, 2000)

    def c(p, **kw):
        return case(p, walk=walk, stub_size=len(head), **kw)

    def replace(p, k, what):
        return p[:k] + [what] + p[k + 1:]

    return {
        "valid": c(pieces()),
        "valid_next_to_pieces_paused": c(pieces(), dest=1, pause=1,
                                         read_limit=2),
        "valid_deep_destination": c(pieces(), dest=3),
        "valid_empty_source": c([head + header(b"e.txt", 0)]),
        "valid_name_not_whole": c(pieces(name=b".txt", whole=0)),
        "valid_longer_header": c(pieces(header_size=300)),
        "valid_cp932_name": c(pieces(name="報告.txt".encode("cp932"))),
        "valid_overwrite": c(pieces(), existing=(b"report.txt", b"old")),
        "not_a_piece_set": c(pieces(magic=b"@PARVEXX")),
        "shorter_than_header": c([(head + header(b"x", 0))[:-1]]),
        "header_size_too_small": c(pieces(header_size=200)),
        "header_size_past_piece0": c([head + header(b"x", 0,
                                                    header_size=9000)[:284]]),
        "missing_piece": c(replace(pieces(), 1, None)),
        "piece_is_a_folder": c(replace(pieces(), 1, "folder")),
        "name_climbs_out": c(pieces(name=b"../evil")),
        "name_with_folder": c(pieces(name=b"sub/evil")),
        "name_not_cp932": c(pieces(name=b"bad\x81\x7f")),
        "name_is_a_piece": c(pieces(name=prefix + b".c01"), dest=1),
        "too_much_data": c(pieces(size=3000)),
        "too_little_data": c(pieces(size=9000)),
        "overwrite_cancelled": c(pieces(), answers=0,
                                 existing=(b"report.txt", b"keep")),
        "cancel": c(pieces(), cancel_at=1),
        "no_progress_window": c(pieces(), no_window=1),
        "disk_full": c(pieces(), room=10),
        "read_error": c(pieces(), fail_read_at=3),
    }


def self_join_seeds():
    s = join_seeds(stub(), b"_sSet", 1)
    given = bytes([s["valid"][0] & ~16]) + s["valid"][1:6]  # no walk
    s["stub_size_wrong"] = given + b"\x04\0" + s["valid"][8:]
    s["stub_size_past_the_file"] = given + b"\xff\xff" + s["valid"][8:]
    s["stub_without_header"] = case([stub()], walk=1)
    return s


def read_header_seeds():
    return {
        "valid": b"\x00" + header(b"report.txt", 12345) + b"data",
        "valid_byte_by_byte": b"\x01" + header(b"a.txt", 1),
        "valid_name_fills_the_field": b"\x00" + header(b"", 7)[:20] +
        b"n" * 264,
        "bad_magic": b"\x00" + header(b"x", 1, magic=b"@PARVEX_"),
        "too_short": b"\x00" + header(b"x", 1)[:283],
        "read_error": b"\x45" + header(b"x", 1),
        "record_stand_in": b"\x00" + with_record(
            b"caf_.bin", 5000, "café.bin".encode()),
        "record_large": b"\x03" + with_record(b"big.iso", 5 << 30),
    }


def stub_image_size_seeds():
    img = stub()

    def patch(at, value):
        return img[:at] + value + img[at + len(value):]

    last = 0x80 + 248 + 40 * 2
    return {
        "valid_three_sections": img,
        "valid_one_section": stub(1),
        "names_without_dots": stub(3, dotted=False),
        "zero_sections": patch(0x86, b"\0\0"),
        "huge_number_of_sections": patch(0x86, b"\xff\xff"),
        "huge_e_lfanew": patch(0x3C, b"\xff\xff"),
        "raw_data_past_4gib": patch(last + 16, b"\xff" * 8),
        "table_past_the_end": img[:last + 20],
        "truncated_pe_header": img[:0x84],
        "shorter_than_dos_header": img[:0x3D],
    }


def main():
    for target, seeds in {
        "join": join_seeds(b"", b"set", 0),
        "self_join": self_join_seeds(),
        "read_header": read_header_seeds(),
        "stub_image_size": stub_image_size_seeds(),
    }.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, content in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(content)


if __name__ == "__main__":
    main()
