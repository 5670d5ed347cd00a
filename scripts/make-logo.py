#!/usr/bin/env python3
"""Draws the Quarrow Tools mark: a bold cream "Q" with a sideways-slipped (glitched) slice, on an orange
rounded badge with a dark rim, transparent outside the badge. 512 x 512 RGBA PNG; the editor shows it at
44 x 44 on a dark header, so the shapes are few and thick.

Regenerate:  python3 scripts/make-logo.py [output.png]   (default Resources/QuarrowLogo.png)

Standard library only and deterministic: the same bytes on every run. Every shape is a signed distance
field in pixels, so edge coverage comes out analytically (anti-aliased without supersampling).
"""
import math
import os
import struct
import sys
import zlib

SIZE = 512
CENTRE = SIZE / 2

ORANGE_TOP = (0xff, 0x8e, 0x4a)     # lit top edge of the badge
ORANGE = (0xff, 0x7a, 0x2f)         # the accent, reached at the badge's middle
ORANGE_BOTTOM = (0xe8, 0x62, 0x1c)  # shaded bottom edge
CREAM = (0xe8, 0xe4, 0xdc)
DARK = (0x17, 0x17, 0x1b)

BADGE_HALF, BADGE_RADIUS = 244.0, 116.0  # outer edge of the dark rim
RIM = 16.0                               # rim thickness
Q_CENTRE = (CENTRE, 246.0)
Q_RING_MID, Q_RING_HALF = 122.0, 32.0    # ring centre-line radius and half its stroke
TAIL_FROM, TAIL_TO, TAIL_HALF = (318.0, 314.0), (394.0, 404.0), 30.0
Q_OUTLINE = 11.0                         # dark keyline around the letter, for contrast on the orange
# The glitch: a horizontal slice of the letter slips right; every piece keeps its own keyline.
GLITCH_TOP, GLITCH_BOTTOM, GLITCH_SHIFT = 204.0, 238.0, 40.0


def rounded_square(x, y, half, radius):
    qx = abs(x - CENTRE) - (half - radius)
    qy = abs(y - CENTRE) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def capsule(x, y, a, b, half):
    abx, aby = b[0] - a[0], b[1] - a[1]
    t = ((x - a[0]) * abx + (y - a[1]) * aby) / (abx * abx + aby * aby)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - a[0] - t * abx, y - a[1] - t * aby) - half


def ring(x, y):
    return abs(math.hypot(x - Q_CENTRE[0], y - Q_CENTRE[1]) - Q_RING_MID) - Q_RING_HALF


def tail(x, y):
    return capsule(x, y, TAIL_FROM, TAIL_TO, TAIL_HALF)


def coverage(distance):
    return min(max(0.5 - distance, 0.0), 1.0)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def badge_colour(y):
    top, bottom = CENTRE - BADGE_HALF + RIM, CENTRE + BADGE_HALF - RIM
    t = (y - top) / (bottom - top)
    return mix(ORANGE_TOP, ORANGE, t * 2) if t < 0.5 else mix(ORANGE, ORANGE_BOTTOM, t * 2 - 1)


def over(dst, colour, alpha):
    """Source-over on a premultiplied (r, g, b, a) pixel."""
    k = 1.0 - alpha
    return (colour[0] * alpha + dst[0] * k, colour[1] * alpha + dst[1] * k,
            colour[2] * alpha + dst[2] * k, alpha + dst[3] * k)


def pixel(px, py):
    x, y = px + 0.5, py + 0.5
    rim = coverage(rounded_square(x, y, BADGE_HALF, BADGE_RADIUS))
    if rim == 0.0:
        return (0, 0, 0, 0)
    out = over((0.0, 0.0, 0.0, 0.0), DARK, rim)
    out = over(out, badge_colour(y), coverage(rounded_square(x, y, BADGE_HALF - RIM, BADGE_RADIUS - RIM)))
    band = max(GLITCH_TOP - y, y - GLITCH_BOTTOM)
    ring_rest = max(ring(x, y), -band)
    slice_ = max(ring(x - GLITCH_SHIFT, y), band)
    # The tail's keyline is drawn over the ring, cutting a dark gap where the two cross.
    for shape in (ring_rest, slice_, tail(x, y)):
        out = over(out, DARK, coverage(shape - Q_OUTLINE))
        out = over(out, CREAM, coverage(shape))
    a = out[3]
    return tuple(int(round(c / a)) for c in out[:3]) + (int(round(a * 255)),)


def png_bytes(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)  # filter type 0 on every row
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "Resources", "QuarrowLogo.png")
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            row.extend(pixel(px, py))
        rows.append(row)
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    with open(out_path, "wb") as f:
        f.write(png_bytes(rows))


if __name__ == "__main__":
    main()
