#!/usr/bin/python3
"""Draws every picture of the program: the skin pictures that the program swaps at run time
(resources/skin), the main window's own pictures (resources/form), the three tray images
(resources/tray) and the program icon (resources/lagvane.ico).

The committed files are what the build uses; rerun this only to change a picture:

    apt-get install python3-pil fonts-nanum zopfli
    /usr/bin/python3 tools/draw_skin.py            # writes into resources/
    /usr/bin/python3 tools/draw_skin.py OUT_DIR    # or somewhere else, to compare

Shapes are drawn eight times larger and averaged down, so every edge is anti-aliased and
lands on the pixel columns and rows that the layout fixes (the bubbles' tails and buttons, the
lettering's box). Each PNG is then packed by pack_png.py (zopfli, the same pixels in fewer bytes),
which takes some minutes. Output is deterministic: the same fonts give the same bytes."""

import io
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

from pack_png import pack

S = 8  # supersampling factor

FONT_DIR = "/usr/share/fonts/truetype/nanum"
ROUND_BOLD = os.path.join(FONT_DIR, "NanumSquareRoundB.ttf")
GOTHIC = os.path.join(FONT_DIR, "NanumGothic.ttf")
GOTHIC_BOLD = os.path.join(FONT_DIR, "NanumGothicBold.ttf")

MAGENTA = (232, 0, 221)
PALE_PINK = (255, 214, 250)
LIGHT_BLUE = (86, 167, 239)
TRAY_BLUE = (0, 8, 232)
TRAY_GREY = (125, 125, 125)
DARK_GREY = (94, 94, 94)
TEXT_GREY = (58, 58, 58)


# ---------------------------------------------------------------------------------------------
# Small compositing kit: coverage masks drawn large and averaged down, painted in straight alpha.

def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def mask(w, h, draw):
    """Coverage (mode L, w x h) of what `draw(d)` paints white on a canvas S times larger.
    `d` takes coordinates in picture pixels: (0, 0) is the top-left corner of pixel 0."""
    big = Image.new("L", (w * S, h * S), 0)
    draw(Scaled(ImageDraw.Draw(big)))
    return big.resize((w, h), Image.BOX)


class Scaled:
    """ImageDraw in picture pixels on the large canvas."""

    def __init__(self, d):
        self.d = d

    @staticmethod
    def _box(box):
        return [round(v * S) for v in box]

    def rect(self, box, radius=0):
        x0, y0, x1, y1 = self._box(box)
        if radius:
            self.d.rounded_rectangle([x0, y0, x1 - 1, y1 - 1], round(radius * S), fill=255)
        else:
            self.d.rectangle([x0, y0, x1 - 1, y1 - 1], fill=255)

    def ellipse(self, box):
        x0, y0, x1, y1 = self._box(box)
        self.d.ellipse([x0, y0, x1 - 1, y1 - 1], fill=255)

    def polygon(self, points, fill=255):
        self.d.polygon([(round(x * S), round(y * S)) for x, y in points], fill=fill)

    def line(self, points, width):
        self.d.line([(round(x * S), round(y * S)) for x, y in points], fill=255,
                    width=round(width * S), joint="curve")


def scale_mask(m, factor):
    return m.point(lambda v: round(v * factor))


def multiply(a, b):
    return ImageChops.multiply(a, b)


def subtract(a, b):
    return ImageChops.subtract(a, b)


def vertical(w, h, stops):
    """An RGB picture whose rows run through the colour stops [(row, colour), ...]."""
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        c = y + 0.5
        if c <= stops[0][0]:
            colour = stops[0][1]
        elif c >= stops[-1][0]:
            colour = stops[-1][1]
        else:
            for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
                if y0 <= c <= y1:
                    colour = mix(c0, c1, (c - y0) / (y1 - y0))
                    break
        for x in range(w):
            px[x, y] = colour
    return img


def flat(w, h, colour):
    return Image.new("RGB", (w, h), colour)


def paint(canvas, colour_img, coverage, opacity=1.0):
    """Paints `colour_img` through `coverage` over `canvas` (both w x h), source-over."""
    if opacity != 1.0:
        coverage = scale_mask(coverage, opacity)
    layer = colour_img.convert("RGBA")
    layer.putalpha(coverage)
    return Image.alpha_composite(canvas, layer)


def blank(w, h):
    return Image.new("RGBA", (w, h), (0, 0, 0, 0))


def text_mask(w, h, text, font_path, size, x=None, y=None, anchor="ms"):
    """Hinted text coverage drawn at the picture's own size (crisper than averaging for small
    text). Centred on the picture's width when x is None."""
    m = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(m)
    font = ImageFont.truetype(font_path, size)
    if x is None:
        x = w / 2
        anchor = "m" + anchor[1]
    d.text((x, y), text, fill=255, font=font, anchor=anchor)
    return m


def fitted_text_mask(w, h, text, font_path, box):
    """Text scaled so that its ink fills exactly the box (x0, y0, x1, y1), right and bottom
    exclusive, drawn large and averaged down."""
    font = ImageFont.truetype(font_path, 40 * S)
    ink = Image.new("L", (40 * S * len(text), 80 * S), 0)
    ImageDraw.Draw(ink).text((10 * S, 10 * S), text, fill=255, font=font)
    ink = ink.crop(ink.getbbox())
    x0, y0, x1, y1 = box
    ink = ink.resize(((x1 - x0) * S, (y1 - y0) * S), Image.LANCZOS)
    big = Image.new("L", (w * S, h * S), 0)
    big.paste(ink, (x0 * S, y0 * S))
    return big.resize((w, h), Image.BOX)


def letter_mask(w, h, letter, font_path, height, centre_x, centre_y, weight=0):
    """One letter, its ink `height` pixels tall, its ink box centred on (centre_x, centre_y);
    `weight` thickens the strokes (in hundredths of the letter's height)."""
    font = ImageFont.truetype(font_path, 40 * S)
    ink = Image.new("L", (80 * S, 80 * S), 0)
    ImageDraw.Draw(ink).text((10 * S, 10 * S), letter, fill=255, font=font,
                             stroke_width=round(weight * 0.4 * S), stroke_fill=255)
    ink = ink.crop(ink.getbbox())
    iw = round(ink.width * height * S / ink.height)
    ink = ink.resize((iw, round(height * S)), Image.LANCZOS)
    big = Image.new("L", (w * S, h * S), 0)
    big.paste(ink, (round(centre_x * S - iw / 2), round(centre_y * S - height * S / 2)))
    return big.resize((w, h), Image.BOX)


# ---------------------------------------------------------------------------------------------
# The skin store

def progress_cell(base, highlight):
    """A 6 x 7 glossy rounded square: the body in rows 0-5, a soft partly transparent lower
    edge in row 6, a lighter highlight over the top half."""
    w, h = 6, 7
    body = mask(w, h, lambda d: d.rect((0, 0, 6, 6.4), radius=1.6))
    shade = vertical(w, h, [(0, mix(base, highlight, 0.55)), (2.6, mix(base, highlight, 0.25)),
                            (3.2, base), (6.5, mix(base, (0, 0, 0), 0.18))])
    img = paint(blank(w, h), shade, body)
    # The lower edge: a faint, half-transparent lip under the body.
    lip = mask(w, h, lambda d: d.rect((0.5, 5.6, 5.5, 7), radius=0.8))
    img = paint(img, flat(w, h, mix(base, (0, 0, 0), 0.45)), subtract(lip, body), 0.55)
    # Gloss: a pale band across the upper rows, inset from the sides.
    gloss = mask(w, h, lambda d: d.rect((0.9, 0.5, 5.1, 2.6), radius=0.9))
    img = paint(img, flat(w, h, highlight), gloss, 0.45)
    return img


def badge(size, disc_top, disc_bottom, letter_colour):
    """The round game badge: a glossy disc with a large L."""
    w = h = size
    r = size / 2 - 0.5
    c = size / 2
    disc = mask(w, h, lambda d: d.ellipse((c - r, c - r, c + r, c + r)))
    img = paint(blank(w, h), vertical(w, h, [(1, disc_top), (size - 2, disc_bottom)]), disc)
    # A thin darker rim gives the disc an edge on light and dark grounds alike.
    inner = mask(w, h, lambda d: d.ellipse((c - r + 1, c - r + 1, c + r - 1, c + r - 1)))
    img = paint(img, flat(w, h, mix(disc_bottom, (0, 0, 0), 0.25)), subtract(disc, inner), 0.6)
    # Gloss over the upper half.
    gloss = mask(w, h, lambda d: d.ellipse((c - r * 0.72, c - r * 0.92, c + r * 0.72, c + r * 0.02)))
    img = paint(img, flat(w, h, (255, 255, 255)), gloss, 0.22)
    letter = letter_mask(w, h, "L", ROUND_BOLD, size * 0.55, c + size * 0.03, c, weight=5)
    img = paint(img, flat(w, h, letter_colour), letter)
    return img


def web_letter(colour):
    """The web-browser symbol: a bold lower-case e with a tilted ring around it, 16 x 15."""
    w, h = 16, 15
    e = letter_mask(w, h, "e", ROUND_BOLD, 10.5, 8, 7.8, weight=4)
    halo = letter_mask(w, h, "e", ROUND_BOLD, 10.5, 8, 7.8, weight=22)

    def ring(d, inset):
        big = Image.new("L", (w * S * 2, h * S * 2), 0)
        bd = ImageDraw.Draw(big)
        cx, cy = w * S, h * S
        rx, ry = (7.9 - inset) * S, (3.3 - inset) * S
        bd.ellipse([cx - rx, cy - ry, cx + rx, cy + ry], fill=255)
        big = big.rotate(28, resample=Image.BICUBIC, center=(cx, cy))
        d.d.bitmap((-w * S // 2, -h * S // 2 + round(0.3 * S)), big, fill=255)

    outer = mask(w, h, lambda d: ring(d, 0))
    inner = mask(w, h, lambda d: ring(d, 1.2))
    # The ring passes behind the letter, with a little air around the letter's strokes.
    orbit = subtract(subtract(outer, inner), halo)
    return paint(blank(w, h), flat(w, h, colour), ImageChops.lighter(e, orbit))


def bubble(name, under, tail_x0, tail_x1, tip_x, body_top, body_bottom, text_lines,
           yes_box, no_box):
    """A speech bubble, 321 x 89. Rows body_top..body_bottom hold the rounded body; the tail
    spans tail_x0..tail_x1 and ends in a point at tip_x in the first (under) or last row."""
    w, h = 321, 89
    radius = 7

    # The tail: a right triangle with its upright side at the tip's column, joined to the body.
    sign = 1 if tip_x == tail_x0 else -1           # towards the tail's far end
    # Edges on a right or bottom boundary stop one fine step short, so that the fill stays
    # inside the tail's last column and row.
    near_x = tip_x if sign == 1 else tip_x + 1 - 1 / S  # outer edge of the tip's column
    far_x = tail_x1 + 1 - 1 / S if sign == 1 else tail_x0
    vert = 1 if under else -1                        # from the tip towards the body
    base_y = body_top if under else body_bottom + 1
    tip_y = 0 if under else (h if body_bottom == 73 else h - 1) - 1 / S

    def tail(d, inset):
        if not inset:
            d.polygon([(near_x, base_y), (far_x, base_y), (near_x, tip_y)])
            return
        # The same triangle moved 1 pixel inwards on its two free sides, reaching into the body
        # so that the body's rim stays open where the tail joins it.
        x_in = near_x + sign * inset
        # The slanted side, from (far_x, base_y) to (near_x, tip_y), shifted along its normal.
        dx, dy = near_x - far_x, tip_y - base_y
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length, dx / length
        cx, cy = (2 * near_x + far_x) / 3, (2 * base_y + tip_y) / 3
        if (cx - far_x) * nx + (cy - base_y) * ny < 0:  # the normal must point into the triangle
            nx, ny = -nx, -ny
        ox, oy = far_x + nx * inset, base_y + ny * inset
        def x_at(y):
            return ox + dx * (y - oy) / dy
        def y_at(x):
            return oy + dy * (x - ox) / dx
        deep = base_y + vert * 3
        d.polygon([(x_in, deep), (x_at(deep), deep), (x_in, y_at(x_in))])

    def outline(d, inset=0.0):
        d.rect((inset, body_top + inset, w - inset, body_bottom + 1 - inset), radius=radius - inset)
        tail(d, inset)

    full = mask(w, h, lambda d: outline(d))
    inner = mask(w, h, lambda d: outline(d, 1.0))
    light, mid = (246, 246, 246), (196, 196, 196)
    grad = vertical(w, h, [(body_top, light), (body_bottom + 1, mid)])
    img = paint(blank(w, h), grad, full)
    img = paint(img, flat(w, h, (128, 128, 128)), subtract(full, inner))
    # A soft gloss along the body's top.
    gloss = mask(w, h, lambda d: d.rect((3, body_top + 1.5, w - 3, body_top + 12), radius=5))
    img = paint(img, flat(w, h, (255, 255, 255)), gloss, 0.35)

    offset = body_top if under else 0
    for text, baseline in text_lines:
        img = paint(img, flat(w, h, TEXT_GREY), text_mask(w, h, text, GOTHIC, 11, y=baseline + offset))

    def pill(box, fill_top, fill_bottom, rim, label, label_colour):
        nonlocal img
        x0, y0, x1, y1 = box  # inclusive pixel bounds
        body = mask(w, h, lambda d: d.rect((x0, y0, x1 + 1, y1 + 1), radius=(y1 - y0 + 1) / 2))
        core = mask(w, h, lambda d: d.rect((x0 + 1, y0 + 1, x1, y1), radius=(y1 - y0 - 1) / 2))
        img = paint(img, vertical(w, h, [(y0, fill_top), (y1 + 1, fill_bottom)]), body)
        img = paint(img, flat(w, h, rim), subtract(body, core))
        centre_y = (y0 + y1 + 1) / 2
        lm = text_mask(w, h, label, GOTHIC_BOLD, 11, x=(x0 + x1 + 1) / 2, y=centre_y + 0.5, anchor="mm")
        img = paint(img, flat(w, h, label_colour), lm)

    pill(yes_box, (104, 104, 104), (68, 68, 68), (56, 56, 56), "예", (255, 255, 255))
    pill(no_box, (252, 252, 252), (222, 222, 222), (140, 140, 140), "아니오", TEXT_GREY)
    return img


def msmq_bar(h, text):
    """A flat grey bar with rounded corners in rows 0-32 and a centred line of text."""
    w = 321
    body = mask(w, h, lambda d: d.rect((0, 0, w, 33), radius=6))
    inner = mask(w, h, lambda d: d.rect((1, 1, w - 1, 32), radius=5))
    img = paint(blank(w, h), vertical(w, h, [(0, (240, 240, 240)), (33, (200, 200, 200))]), body)
    img = paint(img, flat(w, h, (128, 128, 128)), subtract(body, inner))
    img = paint(img, flat(w, h, TEXT_GREY), text_mask(w, h, text, GOTHIC_BOLD, 12, y=21))
    return img


def skin_store():
    game_on = badge(31, mix(MAGENTA, (255, 255, 255), 0.38), mix(MAGENTA, (0, 0, 0), 0.08), PALE_PINK)
    game_off = badge(31, (104, 104, 104), (58, 58, 58), (200, 200, 200)).convert("LA")
    web_on = web_letter(LIGHT_BLUE)
    web_off = web_letter((255, 255, 255))

    game_lines = [("현재 인터넷 최적화 상태입니다.", 20),
                  ("인터넷 최적화 상태를 해제하고 게임 최적화를 진행하시겠습니까?", 37)]
    web_lines = [("현재 게임 최적화 상태입니다.", 20),
                 ("게임 최적화 상태를 해제하고 인터넷 최적화를 진행하시겠습니까?", 37)]
    yes, no = (98, 48, 152, 65), (164, 48, 217, 65)
    return {
        "PROGRESSBAR_BACKGROUND": progress_cell((124, 124, 124), (214, 214, 214)),
        "PROGRESSBAR_GAME": progress_cell(MAGENTA, (255, 196, 250)),
        "PROGRESSBAR_WEB": progress_cell(LIGHT_BLUE, (226, 242, 255)),
        "ButtonGame_ON": game_on,
        "ButtonGame_OFF": game_off,
        "ButtonWeb_ON": web_on,
        "ButtonWeb_OFF": web_off,
        "POPUP_GAME": bubble("POPUP_GAME", False, 41, 58, 41, 0, 73, game_lines, yes, no),
        "POPUP_WEB": bubble("POPUP_WEB", False, 261, 279, 279, 0, 72, web_lines, yes, no),
        "POPUP_GAME_UNDER": bubble("POPUP_GAME_UNDER", True, 41, 58, 41, 15, 88, game_lines,
                                   (98, 59, 151, 76), (164, 59, 215, 76)),
        "POPUP_WEB_UNDER": bubble("POPUP_WEB_UNDER", True, 261, 279, 279, 15, 87, web_lines,
                                  (98, 58, 152, 76), (164, 58, 217, 76)),
        "POPUP_MSMQ_INSTALL": msmq_bar(34, "MSMQ를 설치중입니다."),
        "POPUP_MSMQ_UNINSTALL": msmq_bar(33, "MSMQ를 삭제중입니다."),
    }


# ---------------------------------------------------------------------------------------------
# The main window's own pictures

def main_skin():
    w, h = 247, 42
    radius = 15

    def panel(d):
        d.rect((0, 0, w, h))
        # Cut the top-left corner away along a quarter circle.
        d.polygon([(0, 0), (radius, 0), (0, radius)], fill=0)
        d.d.pieslice([0, 0, 2 * radius * S - 1, 2 * radius * S - 1], 180, 270, fill=255)

    body = mask(w, h, panel)
    img = paint(blank(w, h), vertical(w, h, [(0, (214, 214, 214)), (h - 1, (82, 82, 82))]), body)
    # A lighter first row catches the light; the bottom row is a half-transparent dark line.
    top = mask(w, h, lambda d: d.rect((0, 0, w, 1)))
    img = paint(img, flat(w, h, (240, 240, 240)), multiply(top, body), 0.8)
    img = img.copy()
    px = img.load()
    for x in range(w):
        px[x, h - 1] = (40, 40, 40, 112)
    lettering = fitted_text_mask(w, h, "Lagvane", GOTHIC_BOLD, (45, 3, 92, 12))
    img = paint(img, flat(w, h, MAGENTA), lettering)
    return img


def close_cross():
    w, h = 9, 8
    m = mask(w, h, lambda d: (d.line([(1, 0.8), (8, 7.2)], 1.6), d.line([(8, 0.8), (1, 7.2)], 1.6)))
    return paint(blank(w, h), flat(w, h, DARK_GREY), m)


def minimise_bar():
    w, h = 10, 10
    m = mask(w, h, lambda d: d.rect((1, 6, 9, 8), radius=0.5))
    return paint(blank(w, h), flat(w, h, DARK_GREY), m)


def home_house():
    w, h = 15, 15
    roof = mask(w, h, lambda d: d.polygon([(0.5, 7.2), (7.5, 0.8), (14.5, 7.2)]))
    walls = mask(w, h, lambda d: d.rect((2.5, 6.5, 12.5, 14)))
    chimney = mask(w, h, lambda d: d.rect((10.3, 1.5, 12.1, 5)))
    door = mask(w, h, lambda d: d.rect((6, 9.5, 9, 14), radius=0.4))
    shape = subtract(ImageChops.lighter(ImageChops.lighter(roof, walls), chimney), door)
    return paint(blank(w, h), flat(w, h, (255, 255, 255)), shape)


def setup_cog():
    import math
    w, h = 10, 10
    c = 5.0

    def cog(d):
        teeth = 8
        points = []
        for i in range(teeth * 4):
            a = 2 * math.pi * i / (teeth * 4) - math.pi / 2
            r = 4.9 if (i % 4) in (0, 1) else 3.6
            points.append((c + r * math.cos(a), c + r * math.sin(a)))
        d.polygon(points)

    ring = subtract(mask(w, h, cog), mask(w, h, lambda d: d.ellipse((c - 1.5, c - 1.5, c + 1.5, c + 1.5))))
    return paint(blank(w, h), flat(w, h, DARK_GREY), ring)


def partner_mark():
    """The partner site's small logo mark: a leaf-shaped badge with a cut-out T."""
    w, h = 14, 15
    leaf = mask(w, h, lambda d: d.rect((0.5, 1, 13.5, 14), radius=5))
    bar = mask(w, h, lambda d: d.rect((3.5, 4, 10.5, 5.8)))
    stem = mask(w, h, lambda d: d.rect((6.1, 4, 7.9, 11.5)))
    shape = subtract(leaf, ImageChops.lighter(bar, stem))
    return paint(blank(w, h), flat(w, h, (255, 255, 255)), shape)


def divider():
    img = Image.new("RGB", (3, 18))
    px = img.load()
    for y in range(18):
        px[0, y] = DARK_GREY
        px[1, y] = (200, 200, 200)
        px[2, y] = DARK_GREY
    return img


def form_pictures(web_off):
    return {
        "SKIN": main_skin(),
        "CLOSE": close_cross(),
        "MINIMISE": minimise_bar(),
        "HOME": home_house(),
        "SETUP": setup_cog(),
        "PARTNER": partner_mark(),
        "DIVIDER": divider(),
    }


# ---------------------------------------------------------------------------------------------
# Tray images and the program icon

def tray_image(colour):
    """A 16 x 16 round badge with the letter in a light tint; its transparency is one bit."""
    w = h = 16
    disc = mask(w, h, lambda d: d.ellipse((0, 0, 16, 16)))
    hard = disc.point(lambda v: 255 if v >= 100 else 0)
    img = paint(blank(w, h), vertical(w, h, [(1, mix(colour, (255, 255, 255), 0.3)), (15, colour)]), hard)
    letter = letter_mask(w, h, "L", ROUND_BOLD, 9, 8.4, 8, weight=9)
    return paint(img, flat(w, h, mix(colour, (255, 255, 255), 0.82)), multiply(letter, hard))


def icon_image(size):
    """The program icon: the magenta badge, round with a pointed lower-left corner."""
    w = h = size
    c = size / 2
    r = size * 0.46

    def shape(d):
        d.ellipse((c - r, c - r, c + r, c + r))
        d.rect((c - r, c, c, c + r))

    body = mask(w, h, shape)
    inner_r = r - max(1, size / 32)

    def inner_shape(d):
        d.ellipse((c - inner_r, c - inner_r, c + inner_r, c + inner_r))
        d.rect((c - inner_r, c, c, c + inner_r))

    inner = mask(w, h, inner_shape)
    top, bottom = mix(MAGENTA, (255, 255, 255), 0.38), mix(MAGENTA, (0, 0, 0), 0.08)
    img = paint(blank(w, h), vertical(w, h, [(c - r, top), (c + r, bottom)]), body)
    img = paint(img, flat(w, h, mix(bottom, (0, 0, 0), 0.3)), subtract(body, inner), 0.6)
    gloss = mask(w, h, lambda d: d.ellipse((c - r * 0.72, c - r * 0.92, c + r * 0.72, c + r * 0.02)))
    img = paint(img, flat(w, h, (255, 255, 255)), gloss, 0.22)
    letter = letter_mask(w, h, "L", ROUND_BOLD, size * 0.5, c + size * 0.03, c, weight=5)
    return paint(img, flat(w, h, PALE_PINK), letter)


def ico_bytes(images):
    """An .ico of 32-bit DIB entries, each with its 1-bit AND mask, which every Windows reads."""
    entries = []
    for img in images:
        size = img.width
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        colour = bytearray()
        for y in reversed(range(size)):
            for x in range(size):
                r, g, b, a = img.getpixel((x, y))
                colour += bytes((b, g, r, a))
        stride = ((size + 31) // 32) * 4
        and_mask = bytearray()
        for y in reversed(range(size)):
            row = bytearray(stride)
            for x in range(size):
                if img.getpixel((x, y))[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            and_mask += row
        entries.append((size, header + bytes(colour) + bytes(and_mask)))
    data = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, entry in entries:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(entry), offset)
        offset += len(entry)
    return data + b"".join(e for _, e in entries)


# ---------------------------------------------------------------------------------------------

def png_bytes(img):
    out = io.BytesIO()
    img.save(out, "PNG", optimize=True)
    return pack(out.getvalue())


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                               "..", "resources")
    store = skin_store()
    for name, img in store.items():
        write(os.path.join(root, "skin", name + ".png"), png_bytes(img))
    # The over pictures repeat the on pictures byte for byte.
    for button in ("ButtonGame", "ButtonWeb"):
        write(os.path.join(root, "skin", button + "_OVER.png"), png_bytes(store[button + "_ON"]))
    for name, img in form_pictures(store["ButtonWeb_OFF"]).items():
        write(os.path.join(root, "form", name + ".png"), png_bytes(img))
    for name, colour in (("TRAY_NONE", TRAY_GREY), ("TRAY_GAME", MAGENTA), ("TRAY_WEB", TRAY_BLUE)):
        write(os.path.join(root, "tray", name + ".png"), png_bytes(tray_image(colour)))
    write(os.path.join(root, "lagvane.ico"), ico_bytes([icon_image(s) for s in (64, 48, 32)]))


if __name__ == "__main__":
    main()
