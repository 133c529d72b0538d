#!/usr/bin/env python3
"""Draws the "Default" skin of Velmora and writes its theme.ini.

Every picture is drawn here from simple shapes (standard library only), so the skin can be
changed by code and reviewed by screenshot. Usage: make_skin.py <output folder>

A calm dark look for a market screen: slate caption and panels, one steel-blue accent, red for
rising and green for falling prices. The colours the tests probe are the constants below.
"""
import math
import os
import struct
import sys
import zlib

MAGENTA = (255, 0, 255)

# Colours the tests rely on (keep in step with tests/skin).
CAPTION = (34, 42, 54)          # caption body, active (upper row of Title.bmp)
CAPTION_INACTIVE = (44, 48, 54)  # lower row
CAPTION_LIGHT = (62, 74, 92)     # caption top line
CAPTION_DARK = (18, 22, 28)      # caption bottom line
BORDER = (40, 48, 60)            # side and bottom borders, active column/row
BORDER_INACTIVE = (50, 54, 60)
ACCENT = (58, 112, 176)          # hover look, selected tab
ACCENT_DARK = (34, 72, 128)      # pressed look
PANEL_TOP = (30, 38, 50)         # bg1.png top row
PANEL_BOTTOM = (18, 23, 31)      # bg1.png bottom rows
BAR_TOP = (44, 52, 64)           # Bar.png
BAR_BOTTOM = (30, 36, 46)
MENU_NORMAL = (206, 212, 220)    # menu.png frame 1 (black labels on it)
LIGHT_BAR = (222, 226, 232)      # status and link bars (black and blue text on them)
LIGHT_BAR_EDGE = (168, 176, 188)
UP = (226, 72, 64)
DOWN = (44, 170, 96)
TEXT = (226, 232, 240)
GREY = (120, 128, 140)
BARBUTTON_HOVER = (90, 140, 200, 140)   # barbutton_*.png frame 2 body (colour, alpha)


class Canvas:
    """RGBA picture with straight (not premultiplied) 8-bit channels kept as floats."""

    def __init__(self, w, h, color=(0, 0, 0, 0)):
        self.w, self.h = w, h
        c = tuple(color) + ((255,) if len(color) == 3 else ())
        self.px = [[list(map(float, c)) for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, color, cover=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or cover <= 0:
            return
        r, g, b = color[:3]
        a = (color[3] if len(color) > 3 else 255) / 255.0 * min(cover, 1.0)
        d = self.px[y][x]
        da = d[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            self.px[y][x] = [0.0, 0.0, 0.0, 0.0]
            return
        for i, s in enumerate((r, g, b)):
            d[i] = (s * a + d[i] * da * (1 - a)) / oa
        d[3] = oa * 255.0

    def set(self, x, y, color):
        if 0 <= x < self.w and 0 <= y < self.h:
            c = tuple(color) + ((255,) if len(color) == 3 else ())
            self.px[y][x] = list(map(float, c))

    def fill_rect(self, x0, y0, x1, y1, color, replace=False):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                if replace:
                    self.set(x, y, color)
                else:
                    self.blend(x, y, color)

    def vgradient(self, x0, y0, x1, y1, top, bottom, replace=True):
        n = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            t = (y - y0) / n
            c = tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(len(top)))
            self.fill_rect(x0, y, x1, y + 1, c, replace)

    def shape(self, bbox, inside, color, ss=3):
        """Fills the points where inside(x, y) holds, with coverage by supersampling."""
        x0, y0, x1, y1 = bbox
        for y in range(max(0, int(math.floor(y0))), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(math.floor(x0))), min(self.w, int(math.ceil(x1)))):
                n = 0
                for j in range(ss):
                    for i in range(ss):
                        if inside(x + (i + 0.5) / ss, y + (j + 0.5) / ss):
                            n += 1
                if n:
                    self.blend(x, y, color, n / (ss * ss))

    def round_rect(self, x0, y0, x1, y1, r, color):
        def inside(px, py):
            if not (x0 <= px <= x1 and y0 <= py <= y1):
                return False
            cx = min(max(px, x0 + r), x1 - r)
            cy = min(max(py, y0 + r), y1 - r)
            return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
        self.shape((x0, y0, x1, y1), inside, color)

    def polygon(self, pts, color):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]

        def inside(px, py):
            c = False
            n = len(pts)
            for i in range(n):
                ax, ay = pts[i]
                bx, by = pts[(i + 1) % n]
                if (ay > py) != (by > py) and px < (bx - ax) * (py - ay) / (by - ay) + ax:
                    c = not c
            return c
        self.shape((min(xs), min(ys), max(xs), max(ys)), inside, color)

    def line(self, ax, ay, bx, by, width, color):
        hw = width / 2.0
        dx, dy = bx - ax, by - ay
        ll = dx * dx + dy * dy or 1e-9

        def inside(px, py):
            t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / ll))
            qx, qy = ax + t * dx, ay + t * dy
            return (px - qx) ** 2 + (py - qy) ** 2 <= hw * hw
        self.shape((min(ax, bx) - hw, min(ay, by) - hw, max(ax, bx) + hw, max(ay, by) + hw), inside, color)

    def polyline(self, pts, width, color):
        for a, b in zip(pts, pts[1:]):
            self.line(a[0], a[1], b[0], b[1], width, color)

    def circle(self, cx, cy, r, color, ring=None):
        def inside(px, py):
            d = (px - cx) ** 2 + (py - cy) ** 2
            if ring is None:
                return d <= r * r
            return (r - ring) ** 2 <= d <= r * r
        self.shape((cx - r, cy - r, cx + r, cy + r), inside, color)

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                c = other.px[y][x]
                if c[3] > 0:
                    self.blend(ox + x, oy + y, c)

    def rows(self, alpha=True):
        for row in self.px:
            out = bytearray()
            for r, g, b, a in row:
                out += bytes((clamp(r), clamp(g), clamp(b)))
                if alpha:
                    out.append(clamp(a))
            yield bytes(out)


def flatten_on_magenta(c):
    """For BMP pictures with magenta holes: mostly covered pixels become opaque in their own
    colour, the rest magenta, so that no pink fringe appears around the shapes."""
    for y in range(c.h):
        for x in range(c.w):
            p = c.px[y][x]
            c.set(x, y, (p[0], p[1], p[2]) if p[3] >= 128 else MAGENTA)
    return c


def clamp(v):
    return max(0, min(255, int(round(v))))


def write_png(path, canvas, alpha=True):
    raw = b"".join(b"\x00" + row for row in canvas.rows(alpha))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    color_type = 6 if alpha else 2
    head = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, color_type, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def write_bmp(path, canvas):
    """24-bit bottom-up BMP; alpha is dropped (BMP images here use magenta for transparency)."""
    stride = (canvas.w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray()
        for r, g, b, _ in canvas.px[y]:
            row += bytes((clamp(b), clamp(g), clamp(r)))
        row += b"\x00" * (stride - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


# ---- A tiny pixel font for the word mark ---------------------------------------------------
GLYPHS = {
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
}


def draw_word(c, text, x, y, scale, color):
    for ch in text:
        g = GLYPHS[ch]
        for j, row in enumerate(g):
            for i, bit in enumerate(row):
                if bit == "1":
                    c.fill_rect(x + i * scale, y + j * scale, x + (i + 1) * scale, y + (j + 1) * scale, color)
        x += 6 * scale
    return x


def word_width(text, scale):
    return len(text) * 6 * scale - scale


def draw_mark(c, x, y, size):
    """The logo mark: three candles over a rising line."""
    s = size / 40.0
    c.round_rect(x, y, x + size, y + size, 7 * s, ACCENT_DARK + (255,))
    for i, (cx, lo, hi, o, cl, col) in enumerate(((10, 24, 34, 27, 32, DOWN), (20, 14, 28, 18, 25, UP),
                                                  (30, 6, 20, 9, 16, UP))):
        c.line(x + cx * s, y + lo * s, x + cx * s, y + hi * s, 1.2 * s, TEXT + (220,))
        c.fill_rect(int(x + (cx - 3) * s), int(y + o * s), int(x + (cx + 3) * s), int(y + cl * s), col + (255,))
    c.polyline([(x + 5 * s, y + 33 * s), (x + 17 * s, y + 22 * s), (x + 24 * s, y + 25 * s), (x + 36 * s, y + 8 * s)],
               1.6 * s, TEXT + (255,))


# ---- Frame images (BMP, magenta holes) ------------------------------------------------------
def caption_row(c, y0, h, body, light, dark, corners):
    c.fill_rect(0, y0, c.w, y0 + h, body, replace=True)
    c.fill_rect(0, y0, c.w, y0 + 1, light, replace=True)
    c.fill_rect(0, y0 + h - 1, c.w, y0 + h, dark, replace=True)
    if corners:
        # Rounded top corners: the magenta pixels become holes in the window region.
        for (dx, dy) in ((0, 0), (1, 0), (2, 0), (0, 1), (0, 2), (1, 1)):
            c.set(dx, y0 + dy, MAGENTA)
            c.set(c.w - 1 - dx, y0 + dy, MAGENTA)


def make_title():
    c = Canvas(200, 60)
    caption_row(c, 0, 30, CAPTION, CAPTION_LIGHT, CAPTION_DARK, True)
    caption_row(c, 30, 30, CAPTION_INACTIVE, (66, 70, 78), (26, 28, 32), True)
    return c


def make_side(right=False):
    # Two columns: active and inactive. The head (caption height) continues the caption look; its
    # outer top corner is magenta, so that with the caption's own corner holes the window region
    # gets rounded top corners.
    c = Canvas(8, 200)
    for col, body, light in ((0, CAPTION, CAPTION_LIGHT), (4, CAPTION_INACTIVE, (66, 70, 78))):
        c.fill_rect(col, 0, col + 4, 30, body, replace=True)
        c.fill_rect(col, 0, col + 4, 1, light, replace=True)
    c.fill_rect(0, 30, 4, 200, BORDER, replace=True)
    c.fill_rect(4, 30, 8, 200, BORDER_INACTIVE, replace=True)
    for col in (0, 4):
        for dy, n in ((0, 4), (1, 4), (2, 4), (3, 2), (4, 1)):
            for dx in range(n):
                c.set(col + (3 - dx if right else dx), dy, MAGENTA)
    return c


def make_bottom():
    c = Canvas(200, 8)
    c.fill_rect(0, 0, 200, 4, BORDER, replace=True)
    c.fill_rect(0, 3, 200, 4, CAPTION_DARK, replace=True)
    c.fill_rect(0, 4, 200, 8, BORDER_INACTIVE, replace=True)
    return c


def make_frame_button(kind):
    """Three 28x20 frames (normal, pressed, hover); the lower half is the inactive look."""
    c = Canvas(84, 40)
    looks = ((None, TEXT), (ACCENT_DARK, TEXT), ((200, 64, 56) if kind == "close" else ACCENT, (255, 255, 255)))
    for half in (0, 1):
        for i, (back, fore) in enumerate(looks):
            x0, y0 = i * 28, half * 20
            body = CAPTION if half == 0 else CAPTION_INACTIVE
            # The face sits on the caption colour so that it blends in when transparency is off.
            c.round_rect(x0 + 1, y0 + 1, x0 + 27, y0 + 19, 4, body + (255,))
            if back:
                c.round_rect(x0 + 2, y0 + 2, x0 + 26, y0 + 18, 3.5, back + (255,))
            fg = fore if half == 0 else GREY
            cx, cy = x0 + 14, y0 + 10
            if kind == "close":
                c.line(cx - 4, cy - 4, cx + 4, cy + 4, 1.6, fg)
                c.line(cx - 4, cy + 4, cx + 4, cy - 4, 1.6, fg)
            elif kind == "max":
                for (a, b, d, e) in ((cx - 5, cy - 4, cx + 5, cy - 4), (cx - 5, cy + 4, cx + 5, cy + 4),
                                     (cx - 5, cy - 4, cx - 5, cy + 4), (cx + 5, cy - 4, cx + 5, cy + 4)):
                    c.line(a, b, d, e, 1.3, fg)
                c.line(cx - 5, cy - 3, cx + 5, cy - 3, 1.3, fg)
            elif kind == "restore":
                for (ox, oy) in ((2, -2), (-1, 1)):
                    for (a, b, d, e) in ((-4, -3, 4, -3), (-4, 3, 4, 3), (-4, -3, -4, 3), (4, -3, 4, 3)):
                        c.line(cx + ox + a, cy + oy + b, cx + ox + d, cy + oy + e, 1.2, fg)
            else:
                c.line(cx - 5, cy + 4, cx + 5, cy + 4, 1.8, fg)
    return flatten_on_magenta(c)


# ---- Window images (PNG) ---------------------------------------------------------------------
def make_menu():
    """Caption menu buttons: 4 frames of 64x22 (spare, normal, hover, pressed)."""
    c = Canvas(256, 22)
    for i, col in ((1, MENU_NORMAL), (2, ACCENT), (3, ACCENT_DARK)):
        c.round_rect(i * 64 + 2, 1, i * 64 + 62, 21, 5, col + (255,))
        if i == 1:
            c.round_rect(i * 64 + 2, 1, i * 64 + 62, 11, 5, (255, 255, 255, 40))
    return c


def make_bg1():
    c = Canvas(64, 80)
    c.vgradient(0, 0, 64, 78, PANEL_TOP, PANEL_BOTTOM)
    c.fill_rect(0, 78, 64, 79, (46, 56, 70), replace=True)
    c.fill_rect(0, 79, 64, 80, (12, 15, 20), replace=True)
    return c


def make_logo(w, h, scale):
    c = Canvas(w, h)
    size = h - 16
    draw_mark(c, 8, 8, size)
    draw_word(c, "VELMORA", 8 + size + 12, (h - 7 * scale) // 2, scale, TEXT + (255,))
    return c


def make_about():
    c = Canvas(400, 260)
    c.vgradient(0, 0, 400, 260, (34, 44, 60), (14, 18, 26))
    for x in range(20, 400, 40):
        c.fill_rect(x, 110, x + 1, 240, (255, 255, 255, 14))
    for y in range(120, 240, 24):
        c.fill_rect(20, y, 380, y + 1, (255, 255, 255, 14))
    pts = [(20 + i * 9, 200 - 40 * math.sin(i / 6.0) - i * 1.2) for i in range(41)]
    c.polyline(pts, 1.6, ACCENT + (255,))
    for i in range(0, 40, 3):
        x = 24 + i * 9
        up = (i // 3) % 3 != 1
        top = 150 + (i * 7) % 40
        c.fill_rect(x, top, x + 5, top + 18, (UP if up else DOWN) + (170,))
    draw_mark(c, 24, 24, 56)
    draw_word(c, "VELMORA", 96, 38, 4, TEXT + (255,))
    return c


def make_bar():
    c = Canvas(8, 32)
    c.vgradient(0, 0, 8, 31, BAR_TOP, BAR_BOTTOM)
    c.fill_rect(0, 31, 8, 32, CAPTION_DARK, replace=True)
    return c


def barbutton_looks():
    # disabled, normal, hover, pressed: (fill colour with alpha, edge colour with alpha)
    return [((0, 0, 0, 0), None), ((255, 255, 255, 18), (255, 255, 255, 40)),
            (BARBUTTON_HOVER, (150, 190, 240, 200)), (ACCENT_DARK + (220,), (20, 40, 70, 230))]


def make_barbutton(part):
    fw = {"left": 6, "middle": 122, "right": 6}[part]
    c = Canvas(fw * 4, 29)
    for i, (fill, edge) in enumerate(barbutton_looks()):
        x0 = i * fw
        # Draw a whole rounded button and keep the slice that belongs to this part.
        full = Canvas(40, 29)
        if edge:
            full.round_rect(0.5, 0.5, 39.5, 28.5, 4, edge)
            full.round_rect(1.5, 1.5, 38.5, 27.5, 3, (0, 0, 0, 0) if fill[3] == 0 else fill)
        src_x = {"left": 0, "middle": 17, "right": 34}[part]
        for y in range(29):
            for x in range(fw):
                sx = src_x + (x if part != "middle" else 0)
                col = full.px[y][sx]
                if edge and part == "middle":
                    col = full.px[y][20]
                if fill[3] and edge and 1 <= y <= 27 and (part == "middle" or (part == "left" and x >= 2) or
                                                          (part == "right" and x <= 3)):
                    col = list(fill)
                    if y in (1, 27):
                        col = list(edge)
                c.set(x0 + x, y, tuple(col))
    return c


def tool_glyph(c, kind, x0, y0, fg, up, down):
    cx, cy = x0 + 9, y0 + 9
    if kind == "kline":
        for i, (x, t, b, col) in enumerate(((4, 6, 13, down), (9, 3, 11, up), (14, 5, 14, up))):
            c.line(x0 + x, y0 + t - 2, x0 + x, y0 + b + 2, 1, fg)
            c.fill_rect(x0 + x - 2, y0 + t, x0 + x + 2, y0 + b, col)
    elif kind == "realtime":
        c.polyline([(x0 + 2, y0 + 12), (x0 + 6, y0 + 8), (x0 + 9, y0 + 11), (x0 + 12, y0 + 5), (x0 + 16, y0 + 7)], 1.5, up)
        c.line(x0 + 2, y0 + 15, x0 + 16, y0 + 15, 1, fg)
    elif kind == "shape":
        c.polyline([(x0 + 2, y0 + 14), (x0 + 6, y0 + 5), (x0 + 9, y0 + 11), (x0 + 12, y0 + 4), (x0 + 16, y0 + 14)], 1.5, fg)
        c.circle(x0 + 9, y0 + 11, 1.8, up)
    elif kind == "trend":
        c.line(x0 + 3, y0 + 14, x0 + 14, y0 + 4, 1.8, up)
        c.polygon([(x0 + 15.5, y0 + 2.5), (x0 + 15.5, y0 + 8.5), (x0 + 9.5, y0 + 2.5)], up)
    elif kind == "pool":
        for i, col in enumerate((fg, up, down)):
            c.round_rect(x0 + 3, y0 + 3 + i * 4.5, x0 + 15, y0 + 6.5 + i * 4.5, 1.2, col)
    elif kind == "buypoint":
        c.polyline([(x0 + 2, y0 + 6), (x0 + 7, y0 + 13), (x0 + 11, y0 + 9), (x0 + 16, y0 + 12)], 1.4, fg)
        c.polygon([(x0 + 7, y0 + 14), (x0 + 4, y0 + 17.5), (x0 + 10, y0 + 17.5)], up)
        c.circle(x0 + 7, y0 + 13, 1.8, up)
    elif kind == "stockowner":
        c.circle(cx, y0 + 6, 3, fg)
        c.round_rect(x0 + 4, y0 + 10, x0 + 14, y0 + 16, 3, fg)
    else:  # minute
        c.circle(cx, cy, 7, fg, ring=1.5)
        c.line(cx, cy, cx, cy - 4.5, 1.4, fg)
        c.line(cx, cy, cx + 3.5, cy, 1.4, up)


def make_tool(kind):
    c = Canvas(72, 18)
    for i in range(4):
        if i == 0:
            fg, up, down = (96, 102, 112, 255), (96, 102, 112, 255), (96, 102, 112, 255)
        elif i == 2:
            fg, up, down = (255, 255, 255, 255), (250, 110, 100, 255), (80, 210, 130, 255)
        else:
            fg, up, down = TEXT + (255,), UP + (255,), DOWN + (255,)
        x0 = i * 18 + (1 if i == 3 else 0)
        y0 = 1 if i == 3 else 0
        tool_glyph(c, kind, x0, y0, fg, up, down)
    return c


def make_light_bar(w, h):
    c = Canvas(w, h)
    c.vgradient(0, 0, w, h, (236, 239, 243), LIGHT_BAR)
    c.fill_rect(0, 0, w, 1, LIGHT_BAR_EDGE, replace=True)
    return c


def make_arrow(step):
    c = make_light_bar(12, 16)
    x = 2 + step * 2
    c.polygon([(x, 4), (x + 4, 8), (x, 12)], ACCENT + (255,))
    return c


def make_tabs():
    """5 frames of 40x28: normal, selected, (unused), hover, never drawn."""
    c = Canvas(200, 28)
    looks = {0: (255, 255, 255, 16), 1: ACCENT + (255,), 2: ACCENT_DARK + (200,), 3: (255, 255, 255, 48)}
    for i, col in looks.items():
        c.round_rect(i * 40 + 1, 2, i * 40 + 39, 34, 5, col)
        if i == 1:
            c.fill_rect(i * 40 + 4, 3, i * 40 + 36, 4, (140, 180, 230, 255))
    return c


def make_extra_close():
    c = Canvas(64, 16)
    for i in range(4):
        x0 = i * 16
        if i == 2:
            c.round_rect(x0 + 1, 1, x0 + 15, 15, 3, (200, 64, 56, 255))
        elif i == 3:
            c.round_rect(x0 + 1, 1, x0 + 15, 15, 3, (150, 40, 36, 255))
        fg = (110, 116, 126, 255) if i == 0 else (236, 240, 246, 255)
        c.line(x0 + 5, 5, x0 + 11, 11, 1.5, fg)
        c.line(x0 + 5, 11, x0 + 11, 5, 1.5, fg)
    return c


def make_list_items():
    """Six 16x16 cells on magenta: sort desc, sort asc, check clear, check ticked, >0, <0.
    The sort arrows sit at the top of their cells: the list draws them from 3 pixels above the
    header's middle."""
    c = Canvas(96, 16)
    grey = (90, 98, 110)
    c.polygon([(3, 0), (13, 0), (8, 6)], grey)        # descending
    c.polygon([(19, 6), (29, 6), (24, 0)], grey)      # ascending
    for x0 in (32, 48):
        c.fill_rect(x0 + 2, 2, x0 + 14, 14, (70, 78, 90, 255), replace=True)
        c.fill_rect(x0 + 3, 3, x0 + 13, 13, (250, 250, 252, 255), replace=True)
    c.polyline([(51.5, 8), (54.5, 11), (60.5, 5)], 1.8, ACCENT_DARK)
    c.polygon([(64 + 8, 3), (64 + 13, 9), (64 + 10, 9), (64 + 10, 13), (64 + 6, 13), (64 + 6, 9), (64 + 3, 9)], UP)
    c.polygon([(80 + 8, 13), (80 + 13, 7), (80 + 10, 7), (80 + 10, 3), (80 + 6, 3), (80 + 6, 7), (80 + 3, 7)], DOWN)
    return flatten_on_magenta(c)


THEME = """; Velmora "Default" skin (generated by tools/skin-generator/make_skin.py)
[General]
ColorMask=255,0,255
TextShift=34
TextShiftVert=8
EnableTransparency=1

[FrameParams]
Title=Title.bmp
LeftBorder=LeftBorder.bmp
RightBorder=RightBorder.bmp
BottomBorder=BottomBorder.bmp
TopTopHeight=40
TopBotHeight=40
LeftTopHeight=30
LeftBotHeight=8
RightTopHeight=30
RightBotHeight=8
BottomTopHeight=8
BottomBotHeight=8
ButtonCount=4
ButtonImgCount=3
TextColorActive=226,232,240
TextColorInactive=130,138,150

[FrameButton0]
ButtonImage=close.bmp
Type=0
XCoord=34
YCoord=5

[FrameButton1]
ButtonImage=max.bmp
Type=1
XCoord=63
YCoord=5

[FrameButton2]
ButtonImage=restore.bmp
Type=1
XCoord=63
YCoord=5

[FrameButton3]
ButtonImage=min.bmp
Type=2
XCoord=92
YCoord=5
"""


def main():
    if len(sys.argv) != 2:
        print("usage: make_skin.py <output folder>", file=sys.stderr)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    bmps = {
        "Title.bmp": make_title(),
        "LeftBorder.bmp": make_side(),
        "RightBorder.bmp": make_side(right=True),
        "BottomBorder.bmp": make_bottom(),
        "close.bmp": make_frame_button("close"),
        "max.bmp": make_frame_button("max"),
        "restore.bmp": make_frame_button("restore"),
        "min.bmp": make_frame_button("min"),
        "ListItems.bmp": make_list_items(),
    }
    pngs = {
        "menu.png": (make_menu(), True),
        "bg1.png": (make_bg1(), False),
        "Logo.png": (make_logo(220, 80, 3), True),
        "Logo_01.png": (make_logo(360, 90, 4), True),
        "about.png": (make_about(), False),
        "Bar.png": (make_bar(), False),
        "barbutton_left.png": (make_barbutton("left"), True),
        "barbutton_middle.png": (make_barbutton("middle"), True),
        "barbutton_right.png": (make_barbutton("right"), True),
        "statusbarbkgnd.png": (make_light_bar(64, 24), False),
        "scrollbarbkgnd.png": (make_light_bar(400, 28), False),
        "arrow1.png": (make_arrow(0), False),
        "arrow2.png": (make_arrow(1), False),
        "arrow3.png": (make_arrow(2), False),
        "Tabs.png": (make_tabs(), True),
        "TabRow.png": (Canvas(4, 4, (255, 255, 255, 0)), True),
        "ExtraClose.png": (make_extra_close(), True),
    }
    for kind in ("kline", "realtime", "shape", "trend", "pool", "buypoint", "stockowner", "minute"):
        pngs[kind + ".png"] = (make_tool(kind), True)
    for name, c in bmps.items():
        write_bmp(os.path.join(out, name), c)
    for name, (c, alpha) in pngs.items():
        write_png(os.path.join(out, name), c, alpha)
    with open(os.path.join(out, "theme.ini"), "w", newline="\r\n") as f:
        f.write(THEME)
    return 0


if __name__ == "__main__":
    sys.exit(main())
