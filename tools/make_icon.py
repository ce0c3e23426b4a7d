#!/usr/bin/env python3
"""Builds the program's icon from its text source (src/app/icon.txt).

    make_icon.py ICON_TXT OUT_ICO OUT_PNG OUT_CPP
    make_icon.py --hicolor ICON_TXT OUT_DIR NAME SIZE...

OUT_ICO: a Windows icon of one 32 x 32 image in 16 colours with its mask.
OUT_PNG: the same picture as 32 x 32 RGBA, for the Linux desktop entry.
OUT_CPP: the same picture as ARGB pixels for the backends to paint.
--hicolor: the picture at each SIZE as OUT_DIR/SIZExSIZE/apps/NAME.png, for
the icon theme; scaled nearest neighbour, so every pixel stays one of the
palette's colours or transparent, as crisp as the original.
"""
import os
import struct
import sys
import zlib

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
SIZE = 32


def read_pixels(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if len(line) != SIZE:
                sys.exit(f"{path}: row {len(rows) + 1} has {len(line)} pixels, not {SIZE}")
            rows.append([None if c == "." else int(c, 16) for c in line])
    if len(rows) != SIZE:
        sys.exit(f"{path}: {len(rows)} rows, not {SIZE}")
    return rows


def ico(rows):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 0, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        for x in range(0, SIZE, 2):
            hi, lo = row[x] or 0, row[x + 1] or 0
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)  # rows of 32 pixels are already 4-byte aligned
    image = header + palette + bytes(xor) + bytes(mask)
    assert len(image) == 744
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def argb(pixel):
    if pixel is None:
        return 0
    r, g, b = PALETTE[pixel]
    return 0xFF000000 | (r << 16) | (g << 8) | b


def scaled(rows, size):
    """Nearest neighbour: each pixel takes the source pixel under its centre."""
    pick = [(2 * i + 1) * SIZE // (2 * size) for i in range(size)]
    return [[rows[y][x] for x in pick] for y in pick]


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + b"".join(struct.pack(">I", argb(p))[1:] + struct.pack("B", argb(p) >> 24)
                                   for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def cpp(rows):
    lines = ["// Generated from icon.txt by tools/make_icon.py; edit the text, not this file.",
             '#include "app/Icon.h"', "", "namespace quintarel {", "", "namespace {",
             f"constexpr std::uint32_t kPixels[{SIZE * SIZE}] = {{"]
    for row in rows:
        lines.append("    " + ", ".join(f"0x{argb(p):08X}u" for p in row) + ",")
    lines += ["};", "}  // namespace", "",
              f"IconImage ProgramIcon() {{ return {{{SIZE}, {SIZE}, kPixels}}; }}", "",
              "}  // namespace quintarel", ""]
    return "\n".join(lines)


def hicolor(rows, out_dir, name, sizes):
    for size in sizes:
        folder = os.path.join(out_dir, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"{name}.png"), "wb") as f:
            f.write(png(scaled(rows, size)))


def main():
    if len(sys.argv) >= 6 and sys.argv[1] == "--hicolor":
        hicolor(read_pixels(sys.argv[2]), sys.argv[3], sys.argv[4], [int(s) for s in sys.argv[5:]])
        return
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    rows = read_pixels(sys.argv[1])
    with open(sys.argv[2], "wb") as f:
        f.write(ico(rows))
    with open(sys.argv[3], "wb") as f:
        f.write(png(rows))
    with open(sys.argv[4], "w", encoding="utf-8") as f:
        f.write(cpp(rows))


if __name__ == "__main__":
    main()
