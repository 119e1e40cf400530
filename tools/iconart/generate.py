#!/usr/bin/env python3
"""Builds the band's 32 icon bitmaps and the contact sheet from the SVG art.

    python3 tools/iconart/generate.py

Each agent portrait (art/agent<N>.svg) is rendered with the badge
(art/badge.svg) on top at 8 times the final size by rsvg-convert, averaged
down to 32 x 32 and turned into four pictures:

  normal, alpha    32 bpp, premultiplied; the figure opaque, edged by a one
                   pixel, partly transparent grey-white outline
  hot, alpha       the figure lightened, surrounded by a soft white glow
  normal, keyed    8 bpp palette, hard edges, RGB(255,0,255) everywhere else
  hot, keyed       as the normal keyed picture plus a solid white outline

The results are written to deskband/res/bitmaps/icon<ID>.bmp and the contact
sheet to docs/icons.png. The output depends only on the art, so running the
script twice gives identical files.
"""

import io
import math
import struct
import subprocess
import sys
from pathlib import Path

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:  # e.g. a private Python first on PATH
    sys.exit("generate.py needs Pillow: apt-get install python3-pil, then run it with /usr/bin/python3")

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
ART = HERE / "art"
BITMAP_DIR = ROOT / "deskband" / "res" / "bitmaps"
SHEET = ROOT / "docs" / "icons.png"

SIZE = 32
OVERSAMPLE = 8
KEY = (255, 0, 255)
STYLES = range(1, 9)
FORMS = ("normal32", "hot32", "normalkey", "hotkey")
FORM_LABELS = {
    "normal32": "normal, alpha",
    "hot32": "hot, alpha",
    "normalkey": "normal, keyed",
    "hotkey": "hot, keyed",
}

# How far the hot glow reaches beyond the silhouette, in pixels. The man in
# the dark suit gets a wider halo so that he still lifts off a dark taskbar.
GLOW_REACH = {8: 8}
DEFAULT_GLOW_REACH = 4
GLOW_PEAK = 146
# Average lightening of the hot figure, in levels of 0..255.
HOT_LIFT = 14.0
# Palette sizes of the keyed pictures (key colour included); style 6's normal
# keyed picture has a smaller table. Style 5's normal keyed picture is stored
# at 24 bpp instead. The drawing takes any of these alike.
PALETTE_ENTRIES = 102
PALETTE_ENTRIES_BY_ID = {131: 100}
TRUE_COLOUR_IDS = {127}
# Cream mixed into the hot keyed outline of style 1.
CREAM = (255, 244, 214)
# Taskbar colours the contact sheet shows the pictures on.
LIGHT_BAR = (238, 238, 238)
DARK_BAR = (32, 32, 36)


def resource_id(style, form):
    """Each style owns four consecutive ids; style 3 holds its four reversed."""
    first = 109 + 4 * (style - 1)
    index = FORMS.index(form)
    return first + (3 - index if style == 3 else index)


def near_key(rgb):
    """True for colours that TransparentBlt might confuse with the key."""
    r, g, b = rgb
    return max(255 - r, g, 255 - b) < 64


def render_svg(path):
    px = SIZE * OVERSAMPLE
    png = subprocess.run(
        ["rsvg-convert", "-w", str(px), "-h", str(px), str(path)],
        check=True,
        capture_output=True,
    ).stdout
    return Image.open(io.BytesIO(png)).convert("RGBA")


def downsample(image):
    """Box-averages the oversampled render to 32 x 32.

    Returns (coverage, colour) per pixel, row-major from the top: coverage in
    0..1 and the colour averaged over the covered part only, so that edge
    pixels keep the figure's colour instead of fading towards black.
    """
    data = list(image.getdata())
    width = SIZE * OVERSAMPLE
    n = OVERSAMPLE * OVERSAMPLE
    result = []
    for y in range(SIZE):
        for x in range(SIZE):
            sa = sr = sg = sb = 0
            for dy in range(OVERSAMPLE):
                row = (y * OVERSAMPLE + dy) * width + x * OVERSAMPLE
                for r, g, b, a in data[row : row + OVERSAMPLE]:
                    sa += a
                    sr += r * a
                    sg += g * a
                    sb += b * a
            if sa == 0:
                result.append((0.0, (0, 0, 0)))
            else:
                colour = tuple(int(s / sa + 0.5) for s in (sr, sg, sb))
                result.append((sa / (255.0 * n), colour))
    return result


def distances_to(mask):
    """Euclidean distance from each pixel centre to the nearest figure pixel."""
    figure = [(i % SIZE, i // SIZE) for i, inside in enumerate(mask) if inside]
    out = []
    for i in range(SIZE * SIZE):
        if mask[i]:
            out.append(0.0)
            continue
        x, y = i % SIZE, i // SIZE
        out.append(math.sqrt(min((x - fx) ** 2 + (y - fy) ** 2 for fx, fy in figure)))
    return out


def neighbours(i):
    x, y = i % SIZE, i // SIZE
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            if (dx or dy) and 0 <= x + dx < SIZE and 0 <= y + dy < SIZE:
                yield (y + dy) * SIZE + x + dx, dx == 0 or dy == 0


class Portrait:
    def __init__(self, style, badge):
        render = render_svg(ART / f"agent{style}.svg")
        render.alpha_composite(badge)
        samples = downsample(render)
        self.style = style
        self.coverage = [c for c, _ in samples]
        # The figure is opaque with hard edges: a pixel belongs to it when the
        # art covers at least half of it.
        self.mask = [c >= 0.5 for c in self.coverage]
        self.colour = [rgb for _, rgb in samples]
        self.distance = distances_to(self.mask)

    def normal_alpha(self):
        """Premultiplied BGRA-ready (r, g, b, a) tuples for the normal form."""
        out = []
        for i in range(SIZE * SIZE):
            if self.mask[i]:
                out.append(self.colour[i] + (255,))
                continue
            edge = [straight for j, straight in neighbours(i) if self.mask[j]]
            if not edge:
                out.append((0, 0, 0, 0))
                continue
            # Pixels beside an edge get a firmer line than those touching the
            # figure only at a corner; art that almost covers the pixel firms
            # it up further, which keeps curves smooth.
            alpha = (72 if any(edge) else 44) + int(self.coverage[i] * 120)
            grey = min(255, alpha + 20)
            out.append((grey, grey, grey, alpha))
        return out

    def hot_colours(self):
        """The figure lightened towards white by HOT_LIFT levels on average."""
        inside = [self.colour[i] for i in range(SIZE * SIZE) if self.mask[i]]
        headroom = sum(255 - c for rgb in inside for c in rgb) / (3 * len(inside))
        lift = min(0.5, HOT_LIFT / headroom)
        out = []
        for rgb in self.colour:
            out.append(tuple(min(255, int(c + (255 - c) * lift + 0.5)) for c in rgb))
        return out

    def hot_alpha(self):
        reach = GLOW_REACH.get(self.style, DEFAULT_GLOW_REACH)
        lit = self.hot_colours()
        out = []
        for i in range(SIZE * SIZE):
            if self.mask[i]:
                out.append(lit[i] + (255,))
                continue
            t = (self.distance[i] - 1.0) / reach
            if t >= 1.0:
                out.append((0, 0, 0, 0))
                continue
            alpha = int(GLOW_PEAK * (1.0 - t) ** 2 + 0.5)
            if alpha == 0:
                out.append((0, 0, 0, 0))
                continue
            # A touch lighter than plain coverage would give: the glow should
            # read as light, not as a grey haze.
            grey = min(255, alpha + 12)
            out.append((grey, grey, grey, alpha))
        return out

    def normal_keyed(self):
        return [self.colour[i] if self.mask[i] else KEY for i in range(SIZE * SIZE)]

    def hot_keyed(self):
        out = []
        for i in range(SIZE * SIZE):
            d = self.distance[i]
            if self.mask[i]:
                out.append(self.colour[i])
            elif d <= 2.0:
                out.append(CREAM if self.style == 1 and d > 1.5 else (255, 255, 255))
            else:
                out.append(KEY)
        return out


def quantise(pixels, entries):
    """Palette of `entries` colours, the key first, and one index per pixel."""
    figure = [p for p in pixels if p != KEY]
    strip = Image.new("RGB", (len(figure), 1))
    strip.putdata(figure)
    q = strip.quantize(colors=entries - 1, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    used = len(set(q.getdata()))
    raw = q.getpalette()[: 3 * (entries - 1)]
    colours = [tuple(raw[k : k + 3]) for k in range(0, len(raw), 3)]
    # Unused slots (art with few colours) repeat the first figure colour, so
    # the key stays the table's only magenta.
    colours += [colours[0]] * (entries - 1 - len(colours))
    assert used <= entries - 1
    for c in colours:
        assert c != KEY and not near_key(c), f"figure colour {c} too close to the key"
    indices = iter(q.getdata())
    out = [0 if p == KEY else 1 + next(indices) for p in pixels]
    return [KEY] + colours, out


def bmp(bits, pixels, palette=None, indices=None):
    """A BMP file: 40-byte BITMAPINFOHEADER, bottom-up rows, BI_RGB."""
    stride = (SIZE * bits // 8 + 3) & ~3
    rows = []
    for y in reversed(range(SIZE)):
        row = bytearray()
        for x in range(SIZE):
            i = y * SIZE + x
            if bits == 8:
                row.append(indices[i])
            elif bits == 24:
                r, g, b = pixels[i]
                row += bytes((b, g, r))
            else:
                r, g, b, a = pixels[i]
                row += bytes((b, g, r, a))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) if palette else b""
    image = b"".join(rows)
    colours_used = len(palette) if palette else 0
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, bits, 0, len(image), 0, 0, colours_used, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return header + info + table + image


def check_alpha(pixels):
    for r, g, b, a in pixels:
        if a == 0:
            assert (r, g, b) == (0, 0, 0)
        elif r == g == b:
            assert r <= a + 23
        else:
            assert max(r, g, b) <= a


def build():
    badge = render_svg(ART / "badge.svg")
    BITMAP_DIR.mkdir(parents=True, exist_ok=True)
    pictures = {}
    for style in STYLES:
        portrait = Portrait(style, badge)
        forms = {
            "normal32": portrait.normal_alpha(),
            "hot32": portrait.hot_alpha(),
            "normalkey": portrait.normal_keyed(),
            "hotkey": portrait.hot_keyed(),
        }
        for form, pixels in forms.items():
            rid = resource_id(style, form)
            if form.endswith("32"):
                check_alpha(pixels)
                data = bmp(32, pixels)
                shown = pixels
            elif rid in TRUE_COLOUR_IDS:
                data = bmp(24, pixels)
                shown = pixels
            else:
                entries = PALETTE_ENTRIES_BY_ID.get(rid, PALETTE_ENTRIES)
                palette, indices = quantise(pixels, entries)
                data = bmp(8, None, palette, indices)
                shown = [palette[k] for k in indices]
            (BITMAP_DIR / f"icon{rid}.bmp").write_bytes(data)
            pictures[(style, form)] = (rid, shown)
    write_sheet(pictures)


def composed(pixels, background):
    """The picture as the band draws it over a taskbar of the given colour."""
    img = Image.new("RGB", (SIZE, SIZE))
    out = []
    for p in pixels:
        if len(p) == 4:  # premultiplied alpha, blended like AlphaBlend
            a = p[3]
            out.append(tuple(min(255, p[k] + background[k] * (255 - a) // 255) for k in range(3)))
        else:  # colour key left out, like TransparentBlt
            out.append(background if p == KEY else p)
    img.putdata(out)
    return img


def write_sheet(pictures):
    font = ImageFont.load_default()
    zoom = 4
    gap = 6
    big = SIZE * zoom
    cell_w = 2 * big + 2 * (SIZE + 8) + 6 * gap
    cell_h = big + 16 + 2 * gap
    left = 64
    top = 22
    sheet = Image.new("RGB", (left + 4 * cell_w, top + 8 * cell_h), (255, 255, 255))
    draw = ImageDraw.Draw(sheet)
    for col, form in enumerate(FORMS):
        draw.text((left + col * cell_w + gap, 6), FORM_LABELS[form], fill=(0, 0, 0), font=font)
    for row, style in enumerate(STYLES):
        y0 = top + row * cell_h
        draw.text((6, y0 + cell_h // 2 - 6), f"style {style}", fill=(0, 0, 0), font=font)
        for col, form in enumerate(FORMS):
            rid, pixels = pictures[(style, form)]
            x0 = left + col * cell_w
            draw.text((x0 + gap, y0 + 2), f"id {rid}", fill=(90, 90, 90), font=font)
            light = composed(pixels, LIGHT_BAR)
            dark = composed(pixels, DARK_BAR)
            x = x0 + gap
            y = y0 + 16
            for tile in (light, dark):
                sheet.paste(tile.resize((big, big), Image.NEAREST), (x, y))
                x += big + gap
            for tile, bar in ((light, LIGHT_BAR), (dark, DARK_BAR)):
                sheet.paste(Image.new("RGB", (SIZE + 8, SIZE + 8), bar), (x - 4, y - 4))
                sheet.paste(tile, (x, y))
                x += SIZE + gap + 8
    SHEET.parent.mkdir(parents=True, exist_ok=True)
    sheet.save(SHEET, optimize=False)


if __name__ == "__main__":
    build()
    sys.exit(0)
