#!/usr/bin/python3
"""Draws every picture the tray companion loads from assets/.

Run from anywhere: python3 tools/make_pictures.py
Output is byte-for-byte stable, so regenerated files only show up in git
when a drawing actually changed.
"""
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "assets")

BLUE = "#2E83C3"
TILE = "#1F5F91"
TILE_HOVER = "#3C8FD0"
LIGHT_BLUE = "#7FB6E0"
BUTTON = "#4A97D1"
DARK = "#1A1A1A"
WHITE = "#FFFFFF"
BLACK = "#000000"
VERSION = "v1.4"

_fonts = {}


def font(px):
    if px not in _fonts:
        _fonts[px] = ImageFont.truetype(FONT_PATH, px)
    return _fonts[px]


def canvas(w, h, bg=BLUE):
    im = Image.new("RGB", (w, h), bg)
    return im, ImageDraw.Draw(im)


def text(d, xy, s, px, fill=WHITE, bold=False):
    # The font has no bold face; a 1 px stroke in the same colour stands in.
    d.text(xy, s, font=font(px), fill=fill,
           stroke_width=1 if bold else 0, stroke_fill=fill)


def centred(d, box, lines, px, fill=WHITE, bold=False, gap=2):
    """Centre one or more lines inside box by their inked extent."""
    x0, y0, x1, y1 = box
    f = font(px)
    sw = 1 if bold else 0
    boxes = [d.textbbox((0, 0), s, font=f, stroke_width=sw) for s in lines]
    # Line height from the font, not the ink, so "打开" and "计算器" line up.
    asc, desc = f.getmetrics()
    step = asc + desc + gap
    ink_top = min(b[1] for b in boxes)
    ink_bottom = (len(lines) - 1) * step + max(b[3] for b in boxes)
    top = y0 + ((y1 - y0) - (ink_bottom - ink_top)) / 2 - ink_top
    for i, (s, b) in enumerate(zip(lines, boxes)):
        left = x0 + ((x1 - x0) - (b[2] - b[0])) / 2 - b[0]
        text(d, (round(left), round(top + i * step)), s, px, fill, bold)


def save_jpg(im, name):
    # 4:4:4 keeps thin white strokes on blue free of colour fringes.
    im.save(os.path.join(OUT, name), "JPEG", quality=90, subsampling=0)


# ---- simple pictures ------------------------------------------------------

def label(w, h, s, px, fg, bg=BLUE, bold=False):
    im, d = canvas(w, h, bg)
    centred(d, (0, 0, w, h), s.split("\n"), px, fg, bold)
    return im


def bar(w, h, fg):
    im, d = canvas(w, h)
    d.rectangle((7, h // 2 - 1, w - 8, h // 2), fill=fg)
    return im


def tile(caption, hover):
    im, d = canvas(70, 70, TILE_HOVER if hover else TILE)
    if hover:
        d.rectangle((0, 0, 69, 69), outline=WHITE, width=2)
    centred(d, (0, 0, 70, 70), caption.split("\n"), 15)
    return im


def button(s, fill, fg):
    im, d = canvas(136, 48)
    d.rounded_rectangle((4, 4, 131, 43), radius=10, fill=fill,
                        outline=WHITE, width=2)
    centred(d, (4, 4, 132, 44), [s], 18, fg)
    return im


# ---- backgrounds ----------------------------------------------------------

def toolbox_bg():
    im, d = canvas(380, 308)
    text(d, (12, 6), "Lumeno助手", 22, bold=True)
    return im


def about_bg():
    im, d = canvas(483, 247)
    text(d, (20, 14), "Lumeno", 48, bold=True)
    # Sit the slogan on the same baseline as the big name.
    name_w = d.textlength("Lumeno", font=font(48)) + 2
    base = 14 + font(48).getmetrics()[0]
    d.text((20 + name_w + 14, base), "一个全新的开始", font=font(22),
           fill=WHITE, anchor="ls")
    for i, s in enumerate(("版本：" + VERSION,
                           "官方网址：www.lumeno.example",
                           "联系邮箱：support@lumeno.example")):
        text(d, (20, 164 + i * 24), s, 16)
    return im


def update_bg():
    im, d = canvas(415, 250)
    text(d, (12, 8), "软件更新", 22)
    for x in range(0, 415, 10):
        d.line((x, 40, min(x + 5, 414), 40), fill=WHITE)
    d.text((405, 242), VERSION, font=font(12), fill=WHITE, anchor="rd")
    return im


def welcome_bg():
    im, d = canvas(300, 130)
    d.text((150, 20), "是否打开网址导航？", font=font(20), fill=WHITE, anchor="mt")
    return im


# ---- non-JPEG pictures ----------------------------------------------------

def ring_gif():
    # Draw 4x larger and threshold, so the one-colour edge is not jagged.
    k, size = 4, 400
    big = Image.new("L", (size * k, size * k), 0)
    d = ImageDraw.Draw(big)
    c, outer, thick, blob = 200 * k, 200 * k, 36 * k, 40 * k
    d.ellipse((c - outer, c - outer, c + outer - 1, c + outer - 1), fill=255)
    inner = outer - thick
    d.ellipse((c - inner, c - inner, c + inner - 1, c + inner - 1), fill=0)
    mid = (outer + inner) / 2 * 0.70710678
    for bx, by in ((c + mid, c - mid), (c - mid, c + mid)):
        d.ellipse((bx - blob, by - blob, bx + blob, by + blob), fill=255)
    mask = big.resize((size, size), Image.BOX).point(lambda v: 1 if v >= 128 else 0)
    im = mask.convert("P")
    im.putdata(list(mask.getdata()))
    # Entry 0 is the transparent key, 1 the ring colour, 2 and 3 spare.
    im.putpalette([255, 0, 255, 0xF9, 0xF9, 0xF9, 0, 0, 0, 0, 0, 0])
    im.save(os.path.join(OUT, "ring.gif"), "GIF", transparency=0, bits=2,
            optimize=False)


def tray_ico():
    im, d = canvas(64, 64)
    centred(d, (0, 0, 64, 64), ["L"], 48, bold=True)
    xor = bytearray()
    for y in range(63, -1, -1):          # DIB rows run bottom-up
        for x in range(64):
            r, g, b = im.getpixel((x, y))
            xor += bytes((b, g, r))
    and_mask = bytes(64 * 8)             # all zero: every pixel opaque
    header = struct.pack("<IiiHHIIiiII", 40, 64, 128, 1, 24, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    body = header + xor + and_mask
    data = (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", 64, 64, 0, 0, 1, 24, len(body), 22)
            + body)
    assert len(data) == 12862, len(data)
    with open(os.path.join(OUT, "tray.ico"), "wb") as f:
        f.write(data)


# ---- what goes where ------------------------------------------------------

TILES = {
    "calc": "打开\n计算器", "paint": "画图\n工具", "notepad": "打开\n记事本",
    "lookup": "手机\n归属地", "nav": "网址\n导航", "baidu": "百度\n一下",
    "pcapps": "电脑\n应用", "mobileapps": "手机\n应用",
}

JPEGS = {
    "toolbox_bg": toolbox_bg,
    "about_bg": about_bg,
    "update_bg": update_bg,
    "welcome_bg": welcome_bg,
    "welcome_yes": lambda: label(48, 32, "是", 18, WHITE),
    "welcome_yes_hover": lambda: label(48, 32, "是", 18, DARK, LIGHT_BLUE),
    "welcome_no": lambda: label(48, 32, "否", 18, WHITE),
    "welcome_no_hover": lambda: label(48, 32, "否", 18, DARK, LIGHT_BLUE),
    "close": lambda: label(36, 36, "X", 20, WHITE),
    "close_hover": lambda: label(36, 36, "X", 20, BLACK),
    "minimize": lambda: bar(28, 28, WHITE),
    "minimize_hover": lambda: bar(28, 28, BLACK),
    "back": lambda: label(56, 30, "返回", 16, WHITE),
    "back_hover": lambda: label(56, 30, "返回", 16, BLACK),
    "query": lambda: label(56, 30, "查询", 16, WHITE),
    "query_hover": lambda: label(56, 30, "查询", 16, BLACK),
    "check_update": lambda: button("检测更新", BUTTON, WHITE),
    "check_update_hover": lambda: button("检测更新", BUTTON, BLACK),
    "confirm_update": lambda: button("确定更新", BUTTON, WHITE),
    "confirm_update_hover": lambda: button("确定更新", TILE, WHITE),
}
for _key, _caption in TILES.items():
    JPEGS["tile_" + _key] = lambda c=_caption: tile(c, False)
    JPEGS["tile_%s_hover" % _key] = lambda c=_caption: tile(c, True)


def main():
    if not os.path.isfile(FONT_PATH):
        sys.stderr.write("make_pictures: font %s not found; install the "
                         "WenQuanYi Micro Hei font (fonts-wqy-microhei).\n"
                         % FONT_PATH)
        return 1
    os.makedirs(OUT, exist_ok=True)
    ring_gif()
    tray_ico()
    for name, draw in JPEGS.items():
        save_jpg(draw(), name + ".jpg")
    print("wrote %d pictures to %s" % (len(JPEGS) + 2, os.path.normpath(OUT)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
