#!/usr/bin/env python3
"""Writes bootstrapper.ico: a white shield with a keyhole on a blue rounded square.

Four images, 32x32 and 16x16, each in 256 and in 16 colours. Plain python3,
no imaging library, and deterministic: the same script always writes the same
bytes, so the committed icon can be regenerated and compared.

    python3 res/make_icon.py [output path]   (default: bootstrapper.ico beside this script)
"""

import struct
import sys
from pathlib import Path

# Colour roles. The 16-colour images map each role to one standard VGA colour;
# the 256-colour images use the true colours and anti-alias the edges.
TRANSPARENT, GROUND, FACE, FACE_SHADE, RIM, KEYHOLE = range(6)

GROUND_TOP = (46, 120, 214)
GROUND_BOTTOM = (14, 58, 136)
TRUE_COLOURS = {
    FACE: (246, 248, 252),
    FACE_SHADE: (206, 218, 236),
    RIM: (232, 178, 44),
    KEYHOLE: (12, 36, 88),
}

VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
VGA_INDEX = {TRANSPARENT: 0, GROUND: 4, FACE: 15, FACE_SHADE: 7, RIM: 11, KEYHOLE: 4}

SUPERSAMPLE = 4  # samples per pixel along each axis


# --- geometry, in unit coordinates (0..1 across the image, y downwards) ---

def in_rounded_square(x, y, margin, radius):
    cx = min(max(x, margin + radius), 1 - margin - radius)
    cy = min(max(y, margin + radius), 1 - margin - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_shield(x, y, inset=0.0):
    """A heater shield: straight top, straight sides, sides curving to a point."""
    top, shoulder, tip, half_width = 0.16 + inset, 0.50, 0.88 - 1.8 * inset, 0.31 - inset
    if y < top or y > tip:
        return False
    if y <= shoulder:
        reach = half_width
    else:
        t = (y - shoulder) / (tip - shoulder)
        reach = half_width * (1 - t ** 1.8)
    return abs(x - 0.5) <= reach


def in_keyhole(x, y, bold):
    """Bold (for 16 pixels) widens the hole so that it still reads as one."""
    radius, stem = (0.13, 0.055) if bold else (0.095, 0.035)
    if (x - 0.5) ** 2 + (y - 0.43) ** 2 <= radius ** 2:
        return True
    if 0.45 <= y <= 0.72:
        t = (y - 0.45) / 0.27
        return abs(x - 0.5) <= stem * (1 + t)
    return False


def role_at(x, y, size):
    """The colour role of one sample; the gold rim only where it is wide enough to read."""
    if not in_rounded_square(x, y, margin=0.5 / size, radius=0.2):
        return TRANSPARENT
    if not in_shield(x, y):
        return GROUND
    if in_keyhole(x, y, bold=size < 32):
        return KEYHOLE
    rim = 1.6 / size if size >= 32 else 0.0
    if rim and not in_shield(x, y, inset=rim):
        return RIM
    return FACE if x < 0.5 else FACE_SHADE


def ground_colour(y):
    return tuple(round(a + (b - a) * y) for a, b in zip(GROUND_TOP, GROUND_BOTTOM))


def true_colour(role, y):
    return ground_colour(y) if role == GROUND else TRUE_COLOURS[role]


def pixel_samples(px, py, size):
    """(role, unit y) of each sample of one pixel, on a fixed grid."""
    step = 1.0 / SUPERSAMPLE
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            x = (px + (sx + 0.5) * step) / size
            y = (py + (sy + 0.5) * step) / size
            yield role_at(x, y, size), y


# --- palettes and colour reduction ---

def palette_256():
    """VGA colours first, then the ground ramp, then blends between the roles for anti-aliasing."""
    colours = list(VGA_PALETTE)
    colours += [ground_colour(i / 31) for i in range(32)]
    anchors = [GROUND_TOP, ground_colour(0.5), GROUND_BOTTOM] + list(TRUE_COLOURS.values())
    for i, a in enumerate(anchors):
        for b in anchors[i + 1:]:
            for k in range(1, 8):
                colours.append(tuple(round(p + (q - p) * k / 8) for p, q in zip(a, b)))
    unique = list(dict.fromkeys(colours))
    unique += [(0, 0, 0)] * (256 - len(unique))
    assert len(unique) == 256, len(unique)
    return unique


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((p - c) ** 2 for p, c in zip(palette[i], colour)))


def render(size, bits):
    """Returns (palette, rows of palette indices top-down, rows of transparency flags)."""
    palette = palette_256() if bits == 8 else VGA_PALETTE
    indices, transparent = [], []
    for py in range(size):
        index_row, mask_row = [], []
        for px in range(size):
            samples = list(pixel_samples(px, py, size))
            opaque = [(r, y) for r, y in samples if r != TRANSPARENT]
            if len(opaque) * 2 < len(samples):
                index_row.append(0)
                mask_row.append(True)
                continue
            mask_row.append(False)
            if bits == 8:
                colours = [true_colour(r, y) for r, y in opaque]
                mean = tuple(sum(c[i] for c in colours) / len(colours) for i in range(3))
                index_row.append(nearest(palette, mean))
            else:
                roles = [r for r, _ in opaque]
                # The most frequent role wins; ties go to the later (inner) role.
                index_row.append(VGA_INDEX[max(sorted(set(roles)), key=roles.count)])
        indices.append(index_row)
        transparent.append(mask_row)
    return palette, indices, transparent


# --- file format ---

def pack_rows(rows, bits):
    """Bottom-up DIB rows, each padded to a multiple of four bytes."""
    out = bytearray()
    for row in reversed(rows):
        acc, nbits, line = 0, 0, bytearray()
        for value in row:
            acc = (acc << bits) | int(value)
            nbits += bits
            if nbits == 8:
                line.append(acc)
                acc, nbits = 0, 0
        if nbits:
            line.append(acc << (8 - nbits))
        line += bytes(-len(line) % 4)
        out += line
    return bytes(out)


def icon_image(size, bits):
    palette, indices, transparent = render(size, bits)
    xor = pack_rows(indices, bits)
    and_mask = pack_rows(transparent, 1)
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, bits, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    rgbquads = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + rgbquads + xor + and_mask


IMAGES = [(32, 8), (16, 8), (32, 4), (16, 4)]


def build_ico():
    images = [(size, bits, icon_image(size, bits)) for size, bits in IMAGES]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colour_count = 1 << bits if bits < 8 else 0
        out += struct.pack('<BBBBHHII', size, size, colour_count, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main(argv):
    target = Path(argv[1]) if len(argv) > 1 else Path(__file__).with_name('bootstrapper.ico')
    target.write_bytes(build_ico())
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
