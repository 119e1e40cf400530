"""Reading the band off a screenshot: the square it paints, which agent it
shows, and the summary sheet of a run."""

import numpy as np
from PIL import Image, ImageDraw

import agent_pictures


def load(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.int32)


def icon_square(band_rect):
    """Where the band draws its icon inside its window: centred, at most 32."""
    left, top, right, bottom = band_rect
    width, height = right - left, bottom - top
    side = max(0, min(32, width, height))
    return left + (width - side) // 2, top + (height - side) // 2, side


def background_of(pixels, band_rect):
    """The taskbar colour the band paints its picture over, taken from the
    band window's corner, which the picture never reaches."""
    left, top, _, _ = band_rect
    return tuple(int(c) for c in pixels[top, left])


def expected_square(resource_id, background, side):
    picture = np.asarray(agent_pictures.drawn_over(resource_id, background), dtype=np.uint8)
    if side != 32:
        picture = np.asarray(Image.fromarray(picture).resize((side, side), Image.BILINEAR))
    return picture.astype(np.int32)


def square_difference(pixels, band_rect, resource_id):
    """Mean difference, in levels, between the band's square on screen and the
    picture drawn over the band's background."""
    x, y, side = icon_square(band_rect)
    if side == 0:
        return 255.0
    shown = pixels[y:y + side, x:x + side]
    want = expected_square(resource_id, background_of(pixels, band_rect), side)
    if shown.shape != want.shape:
        return 255.0
    return float(np.abs(shown - want).mean())


def best_match(pixels, band_rect, candidates):
    """The candidate resource id the band's square is closest to, with every
    candidate's difference."""
    scores = {rid: square_difference(pixels, band_rect, rid) for rid in candidates}
    return min(scores, key=scores.get), scores


def has_colour(pixels, rect, colour, tolerance=8):
    left, top, right, bottom = rect
    area = pixels[max(0, top):bottom, max(0, left):right]
    if area.size == 0:
        return False
    return bool((np.abs(area - np.asarray(colour)).max(axis=2) <= tolerance).any())


def region_changed(before, after, rect, threshold=20):
    left, top, right, bottom = rect
    a = before[max(0, top):bottom, max(0, left):right]
    b = after[max(0, top):bottom, max(0, left):right]
    if a.size == 0:
        return 0
    return int((np.abs(a - b).max(axis=2) > threshold).sum())


def _tile(shot_path, focus, size=(400, 220), zoom=4):
    """The part of a screenshot around the band, with the band itself
    enlarged in the tile's corner, so a sheet of many steps stays readable."""
    img = Image.open(shot_path).convert("RGB")
    w, h = size
    if focus is None:
        return img.resize((w, int(img.height * w / img.width)), Image.LANCZOS)
    fl, ft, fr, fb = focus
    cx, cy = (fl + fr) // 2, (ft + fb) // 2
    left = min(max(0, cx - w // 2), img.width - w)
    top = min(max(0, cy - h // 2), img.height - h)
    if fb >= img.height - 2:
        top = img.height - h
    if fr >= img.width - 2:
        left = img.width - w
    tile = img.crop((left, top, left + w, top + h))
    band = img.crop((fl, ft, fr, fb))
    inset = band.resize((band.width * zoom, band.height * zoom), Image.NEAREST)
    ix = 4 if cx - left > w // 2 else w - inset.width - 4
    tile.paste((255, 255, 255), (ix - 2, 2, ix + inset.width + 2, 6 + inset.height))
    tile.paste(inset, (ix, 4))
    return tile


def summary_sheet(shots, path, columns=3):
    """Tiles the steps' screenshots, each with its caption, into one picture."""
    tiles = [(_tile(shot, focus), caption) for shot, caption, focus in shots]
    if not tiles:
        return None
    tw = max(t.width for t, _ in tiles)
    th = max(t.height for t, _ in tiles)
    caption_h = 18
    rows = (len(tiles) + columns - 1) // columns
    sheet = Image.new("RGB", (columns * (tw + 10) + 10, rows * (th + caption_h + 10) + 10), (245, 245, 245))
    draw = ImageDraw.Draw(sheet)
    for i, (img, caption) in enumerate(tiles):
        x = 10 + (i % columns) * (tw + 10)
        y = 10 + (i // columns) * (th + caption_h + 10)
        draw.text((x, y + 2), caption, fill=(20, 20, 20))
        sheet.paste(img, (x, y + caption_h))
    sheet.save(path)
    return path
