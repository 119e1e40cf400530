"""The band's agent pictures, read from the committed bitmaps, and what they
look like once drawn over a taskbar (premultiplied alpha or colour key)."""

import os
import struct

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BITMAPS = os.path.join(ROOT, "deskband", "res", "bitmaps")
FIRST_ID = 109
KEY = (255, 0, 255)


def icon_id(style, hot, alpha):
    """The resource id of a style's picture; style 3 holds its four in reverse."""
    slot = (0 if alpha else 2) + (1 if hot else 0)
    if style == 3:
        slot = 3 - slot
    return FIRST_ID + 4 * (style - 1) + slot


def read_bitmap(resource_id):
    """Rows top-down of (r, g, b, a) for a 32 x 32 picture; a is 255 for
    colour-keyed pictures, except for key-coloured pixels, which get 0."""
    with open(os.path.join(BITMAPS, "icon%d.bmp" % resource_id), "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    header = 14
    width, height, _, bpp, _, _, _, _, colours, _ = struct.unpack_from("<iiHHIIiiII", data, header + 4)
    table = []
    if bpp <= 8:
        count = colours or (1 << bpp)
        base = header + 40
        table = [struct.unpack_from("<BBBB", data, base + 4 * i) for i in range(count)]
    stride = ((width * bpp + 31) // 32) * 4
    rows = []
    for y in range(abs(height)):
        src_row = (height - 1 - y) if height > 0 else y
        row = []
        start = offset + src_row * stride
        for x in range(width):
            if bpp == 32:
                b, g, r, a = struct.unpack_from("<BBBB", data, start + 4 * x)
            elif bpp == 24:
                b, g, r = struct.unpack_from("<BBB", data, start + 3 * x)
                a = 0 if (r, g, b) == KEY else 255
            else:
                b, g, r, _ = table[data[start + x]]
                a = 0 if (r, g, b) == KEY else 255
            row.append((r, g, b, a))
        rows.append(row)
    return rows


def drawn_over(resource_id, background):
    """The 32 x 32 picture as the band draws it over a plain background."""
    out = []
    for row in read_bitmap(resource_id):
        line = []
        for r, g, b, a in row:
            if a == 0 and (r, g, b) in (KEY, (0, 0, 0)):
                line.append(tuple(background))
                continue
            # Premultiplied for alpha pictures; opaque figure pixels for keyed ones.
            line.append(tuple(min(255, c + (bg * (255 - a) + 127) // 255) for c, bg in zip((r, g, b), background)))
        out.append(line)
    return out
