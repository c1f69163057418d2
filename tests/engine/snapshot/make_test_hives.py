#!/usr/bin/python3
"""Builds a binary registry hive with hivex and writes what hivex reads back.

    make_test_hives.py OUT_FOLDER [VALUE_COUNT]

Writes OUT_FOLDER/generated.hiv and OUT_FOLDER/generated.txt, the keys and
values hivex enumerates, one a line, depth first, names and data in hex;
and big_data.hiv with big_data.txt, a hive made here whose one value is
split into segments as Windows writes large values:
    K <depth> <name as UTF-8>
    V <name as UTF-8> <type> <data>
Text-type data (types 1, 2, 7) is given as the registry's W functions deliver
it after conversion to UTF-8 (UTF-16 units, an odd last byte dropped, a lone
surrogate in its three-byte form).
"""
import os
import struct
import sys

import hivex

TEXT_TYPES = (1, 2, 7)


def write_hive(path, root_at, cells):
    """A hive file: the base block, then one bin holding `cells` (offsets
    count from the bin's start, past its 32-byte header) and a free cell."""
    bin_size = (32 + len(cells) + 4095) // 4096 * 4096
    free = bin_size - 32 - len(cells)
    header = struct.pack("<4sIIQI", b"hbin", 0, bin_size, 0, 0).ljust(32, b"\0")
    hbin = header + cells + struct.pack("<i", free).ljust(free, b"\0")
    base = bytearray(4096)
    struct.pack_into("<4sIIQIIIIIII", base, 0, b"regf", 1, 1, 0, 1, 5, 0, 1, root_at, bin_size, 1)
    checksum = 0
    for at in range(0, 508, 4):
        checksum ^= struct.unpack_from("<I", base, at)[0]
    struct.pack_into("<I", base, 508, checksum)
    with open(path, "wb") as f:
        f.write(bytes(base) + hbin)


def empty_hive(path):
    """A hive with a root key and nothing else, for hivex to fill."""
    root_at, sk_at = 0x20, 0x20 + 88
    name = b"ROOT"
    nk = struct.pack(
        "<2sHQIIIIIIIIIIIIIIIHH",
        b"nk", 0x2C, 0, 0, 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF,
        sk_at, 0xFFFFFFFF, 0, 0, 0, 0, 0, len(name), 0) + name
    nk_cell = struct.pack("<i", -88) + nk.ljust(84, b"\0")
    descriptor = struct.pack("<BBHIIII", 1, 0, 0x8004, 0, 0, 0, 0)
    sk = struct.pack("<2sHIIII", b"sk", 0, sk_at, sk_at, 1, len(descriptor)) + descriptor
    sk_size = (4 + len(sk) + 7) // 8 * 8
    sk_cell = struct.pack("<i", -sk_size) + sk.ljust(sk_size - 4, b"\0")
    write_hive(path, root_at, nk_cell + sk_cell)


def utf16(text, terminators=1):
    return text.encode("utf-16-le", "surrogatepass") + b"\0\0" * terminators


KEY_NAMES = ["Plain", "Schlüssel", "日本語のキー", "Ключ", "Emoji😀", "Ελληνικά", "a b.c-d_e"]


def generated_values(count):
    """`count` values of every type and size, with names outside ASCII."""
    fixed = [
        ("", 1, utf16("default")),
        ("sz", 1, utf16("Wert mit Umlaut ä ö ü € 日本")),
        ("expand", 2, utf16("%SystemRoot%\\system32")),
        ("multi", 7, utf16("one") + utf16("two") + b"\0\0"),
        ("binary", 3, bytes(range(256))),
        ("dword", 4, struct.pack("<I", 0xDEADBEEF)),
        ("dword big endian", 5, struct.pack(">I", 7)),
        ("link", 6, utf16("\\Registry\\Machine\\Software", 0)),
        ("qword", 11, struct.pack("<Q", 0x0123456789ABCDEF)),
        ("none", 0, b""),
        ("empty sz", 1, b""),
        ("odd sz", 1, b"a\0b"),
        ("unterminated sz", 1, utf16("abc", 0)),
        ("lone surrogate", 1, b"\x00\xd8a\x00\x00\x00"),
        ("pair", 1, utf16("😀")),
        ("resource list", 8, b"\1\2\3"),
        ("unusual type", 0x12345, b"xyz"),
        ("huge", 3, bytes(i * 7 % 251 for i in range(100_000))),
        ("huge text", 1, utf16("Ü" * 20_000)),
        ("Név ő", 4, struct.pack("<I", 1)),
        ("名前", 1, utf16("値")),
    ]
    values = fixed[:count]
    for i in range(len(values), count):
        kind = i % 5
        name = f"v{i}" + ("é" if i % 3 == 0 else "")
        if kind == 0:
            values.append((name, 1, utf16(f"text {i}")))
        elif kind == 1:
            values.append((name, 4, struct.pack("<I", i)))
        elif kind == 2:
            values.append((name, 3, bytes([i % 256]) * (i % 40)))
        elif kind == 3:
            values.append((name, 11, struct.pack("<Q", i * 1000003)))
        else:
            values.append((name, 7, utf16(f"a{i}") + utf16("b") + b"\0\0"))
    return values


def fill(h, value_count):
    root = h.root()
    per_key = max(1, value_count // 40)
    values = generated_values(value_count)
    keys = []
    for top in KEY_NAMES:
        node = h.node_add_child(root, top)
        keys.append(node)
        for sub in KEY_NAMES[:3]:
            child = h.node_add_child(node, sub + " " + top)
            keys.append(child)
            keys.append(h.node_add_child(child, "Leaf"))
    h.node_add_child(root, "Empty")
    for k, node in enumerate(keys):
        chunk = values[k * per_key:(k + 1) * per_key] if k + 1 < len(keys) else values[k * per_key:]
        if chunk:
            h.node_set_values(node, [{"key": n, "t": t, "value": v} for n, t, v in chunk])


def delivered(value_type, data):
    if value_type not in TEXT_TYPES:
        return data
    even = data[: len(data) // 2 * 2]
    return even.decode("utf-16-le", "surrogatepass").encode("utf-8", "surrogatepass")


def dump(h, node, depth, out):
    name = "" if depth == 0 else h.node_name(node)
    out.append(f"K {depth} {name.encode('utf-8', 'surrogatepass').hex()}")
    for v in h.node_values(node):
        value_type, data = h.value_value(v)
        out.append(f"V {h.value_key(v).encode('utf-8', 'surrogatepass').hex()} {value_type} "
                   f"{delivered(value_type, data).hex()}")
    for child in h.node_children(node):
        dump(h, child, depth + 1, out)


def big_data_hive(path, size):
    """A hive whose root holds one value of `size` bytes split into "db"
    segments, as Windows writes values over 16,344 bytes (hivex never does)."""
    cells = bytearray()

    def cell(data):
        at = len(cells) + 32  # offsets count from the bin's start, past its header
        length = (4 + len(data) + 7) // 8 * 8
        cells.extend(struct.pack("<i", -length) + data.ljust(length - 4, b"\0"))
        return at

    data = bytes(i * 13 % 256 for i in range(size))
    segments = [data[i:i + 16344] for i in range(0, size, 16344)]
    segment_cells = [cell(segment) for segment in segments]
    segment_list = cell(b"".join(struct.pack("<I", c) for c in segment_cells))
    db = cell(struct.pack("<2sHI", b"db", len(segments), segment_list))
    name = b"big"
    vk = cell(struct.pack("<2sHIIIHH", b"vk", len(name), size, db, 3, 1, 0) + name)
    value_list = cell(struct.pack("<I", vk))
    root_name = b"ROOT"
    root = cell(struct.pack(
        "<2sHQIIIIIIIIIIIIIIIHH", b"nk", 0x2C, 0, 0, 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF,
        1, value_list, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, len(name), size, 0, len(root_name), 0)
        + root_name)
    write_hive(path, root, bytes(cells))


def main():
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 400
    os.makedirs(folder, exist_ok=True)
    empty = os.path.join(folder, "empty.hiv")
    hive = os.path.join(folder, "generated.hiv")
    empty_hive(empty)
    h = hivex.Hivex(empty, write=True)
    fill(h, count)
    h.commit(hive)
    out = []
    saved = hivex.Hivex(hive)
    dump(saved, saved.root(), 0, out)
    with open(os.path.join(folder, "generated.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    big = os.path.join(folder, "big_data.hiv")
    big_data_hive(big, 40_000)
    out = []
    saved = hivex.Hivex(big)
    dump(saved, saved.root(), 0, out)
    with open(os.path.join(folder, "big_data.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
