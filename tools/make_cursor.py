#!/usr/bin/env python3
"""Write Orvalle's hand pointer, a 32x32 Windows cursor (.cur) file.

The hand is drawn from a few rounded shapes, each painted as a white shape
with a one-pixel black rim, later shapes over earlier ones so the rims mark
the fingers. The hotspot is the tip of the raised index finger.

    python3 tools/make_cursor.py assets/HAND-M.CUR

Only the Python standard library is used.
"""

import argparse
import math
import pathlib
import struct

SIZE = 32
SUBSAMPLES = 4
RIM = 1.1
TRANSPARENT, BLACK, WHITE = 0, 1, 2


def rounded_box(x0, y0, x1, y1, radius):
    """Signed distance to a box with rounded corners (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return distance


def capsule(ax, ay, bx, by, radius):
    """Signed distance to a segment thickened by radius."""
    def distance(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) - radius
    return distance


# Back to front: thumb, palm, then the raised index finger and the three
# folded fingers whose tips show above the palm.
SHAPES = [
    capsule(4.5, 17.0, 10.5, 24.0, 2.6),
    rounded_box(8.5, 15.0, 28.5, 30.0, 4.0),
    rounded_box(8.5, 1.0, 14.5, 20.0, 3.0),
    rounded_box(14.5, 10.0, 19.5, 19.0, 2.5),
    rounded_box(19.5, 11.0, 24.5, 20.0, 2.5),
    rounded_box(24.5, 13.0, 28.5, 21.0, 2.0),
]


def paint(x, y):
    """What the shapes leave at one point: TRANSPARENT, BLACK or WHITE."""
    colour = TRANSPARENT
    for shape in SHAPES:
        d = shape(x, y)
        if d <= 0.0:
            colour = WHITE
        elif d <= RIM:
            colour = BLACK
    return colour


def draw():
    """Rows of (grey, alpha) pairs, smoothed by sampling each pixel on a grid."""
    steps = [(i + 0.5) / SUBSAMPLES for i in range(SUBSAMPLES)]
    pixels = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            samples = [paint(x + sx, y + sy) for sy in steps for sx in steps]
            covered = sum(s != TRANSPARENT for s in samples)
            whites = samples.count(WHITE)
            grey = round(255 * whites / covered) if covered else 0
            row.append((grey, round(255 * covered / len(samples))))
        pixels.append(row)
    return pixels


def hotspot(pixels):
    """The middle of the topmost drawn row: the tip of the index finger."""
    for y, row in enumerate(pixels):
        drawn = [x for x, (_, alpha) in enumerate(row) if alpha >= 128]
        if drawn:
            return (drawn[0] + drawn[-1]) // 2, y
    raise ValueError("empty cursor")


def cursor_file(pixels):
    hot_x, hot_y = hotspot(pixels)
    # Bitmaps are stored bottom-up as BGRA; the AND mask has 1 where the
    # screen shows through, for readers that ignore the alpha channel.
    xor = b"".join(bytes((grey, grey, grey, alpha))
                   for row in reversed(pixels) for grey, alpha in row)
    mask = bytearray()
    for row in reversed(pixels):
        bits = 0
        for _, alpha in row:
            bits = (bits << 1) | (alpha < 128)
        mask += bits.to_bytes(SIZE // 8, "big")
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, hot_x, hot_y,
                        len(image), len(directory) + 16)
    return directory + entry + image


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", type=pathlib.Path, help="e.g. assets/HAND-M.CUR")
    output = parser.parse_args().output
    output.write_bytes(cursor_file(draw()))


if __name__ == "__main__":
    main()
