"""The glyphs of the theme's icons, drawn on a 32-unit grid and scaled to any size."""
import math

from draw import Canvas, rgb, mix

BLUE = rgb(0x1E63C6)
BLUE_DARK = rgb(0x123E80)
BLUE_LIGHT = rgb(0x8DB8F0)
GREEN = rgb(0x2E9E44)
RED = rgb(0xD23B30)
ORANGE = rgb(0xE8890C)
YELLOW = rgb(0xF2C02E)
GREY = rgb(0x8A929C)
GREY_DARK = rgb(0x4C535C)
GREY_LIGHT = rgb(0xD9DEE4)
WHITE = rgb(0xFFFFFF)
INK = rgb(0x2B2F36)


class Pen:
    """Draws on a canvas in 32-unit coordinates."""

    def __init__(self, canvas):
        self.c = canvas
        self.u = canvas.w / 32.0

    def _p(self, *v):
        return [x * self.u for x in v]

    def circle(self, cx, cy, r, col):
        self.c.circle(*self._p(cx, cy, r), col)

    def ring(self, cx, cy, r, w, col):
        self.c.ring(*self._p(cx, cy, r), max(w * self.u, 1.0), col)

    def rrect(self, x0, y0, x1, y1, rad, col):
        self.c.rrect(*self._p(x0, y0, x1, y1, rad), col)

    def line(self, ax, ay, bx, by, w, col):
        self.c.line(*self._p(ax, ay, bx, by), max(w * self.u, 1.0), col)

    def poly(self, pts, col):
        self.c.polygon([(x * self.u, y * self.u) for x, y in pts], col)

    def polyline(self, pts, w, col):
        self.c.polyline([(x * self.u, y * self.u) for x, y in pts], max(w * self.u, 1.0), col)

    def arc(self, cx, cy, r, w, a0, a1, col):
        self.c.arc(*self._p(cx, cy, r), max(w * self.u, 1.0), a0, a1, col)

    def vgrad(self, y0, y1, top, bottom):
        return lambda x, y: mix(top, bottom, max(0.0, min(1.0, (y / self.u - y0) / ((y1 - y0) or 1))))


# Badges, laid over the lower right corner of a glyph ----------------------------------------
def badge(p, col, mark):
    p.circle(24, 24, 7.5, WHITE)
    p.circle(24, 24, 6.2, col)
    if mark == "check":
        p.polyline([(20.5, 24), (23, 26.8), (27.5, 21)], 2.2, WHITE)
    elif mark == "cross":
        p.line(21.2, 21.2, 26.8, 26.8, 2.2, WHITE)
        p.line(26.8, 21.2, 21.2, 26.8, 2.2, WHITE)
    elif mark == "bang":
        p.line(24, 20.3, 24, 25, 2.3, WHITE)
        p.circle(24, 27.6, 1.25, WHITE)
    elif mark == "dot":
        p.circle(24, 24, 2.6, WHITE)
    elif mark == "gear":
        gear(p, 24, 24, 4.6, WHITE, col)
    elif mark == "person":
        p.circle(24, 21.6, 2.0, WHITE)
        p.rrect(20.4, 24.4, 27.6, 28.4, 2.0, WHITE)
    elif mark == "dots":
        for dx in (-3, 0, 3):
            p.circle(24 + dx, 24, 1.25, WHITE)


def gear(p, cx, cy, r, col, hole):
    for k in range(8):
        a = math.radians(k * 45)
        p.line(cx + math.cos(a) * r * 0.55, cy + math.sin(a) * r * 0.55,
               cx + math.cos(a) * r * 1.05, cy + math.sin(a) * r * 1.05, r * 0.42, col)
    p.circle(cx, cy, r * 0.78, col)
    p.circle(cx, cy, r * 0.33, hole)


# Device classes ---------------------------------------------------------------------------
def printer(p):
    p.rrect(9, 3, 23, 12, 1, WHITE)
    p.rrect(9, 3, 23, 12, 1, rgb(0xB0B8C2, 0.35))
    p.rrect(3, 10, 29, 23, 3, p.vgrad(10, 23, rgb(0x6B7480), GREY_DARK))
    p.rrect(8, 18, 24, 29, 1, WHITE)
    p.line(11, 22, 21, 22, 1.2, GREY)
    p.line(11, 25, 18, 25, 1.2, GREY)
    p.circle(25, 14, 1.3, GREEN)


def mfp(p):
    p.rrect(4, 4, 28, 10, 2, BLUE_LIGHT)
    printer_body = p.vgrad(9, 24, rgb(0x6B7480), GREY_DARK)
    p.rrect(3, 9, 29, 24, 3, printer_body)
    p.line(6, 12.5, 26, 12.5, 1.0, GREY_LIGHT)
    p.rrect(8, 19, 24, 29, 1, WHITE)
    p.line(11, 23, 21, 23, 1.2, GREY)
    p.circle(25, 16, 1.3, GREEN)
    p.circle(21.5, 16, 1.3, ORANGE)


def scanner(p):
    p.rrect(3, 13, 29, 26, 3, p.vgrad(13, 26, rgb(0x6B7480), GREY_DARK))
    p.poly([(5, 13), (27, 13), (25, 6), (7, 6)], BLUE_LIGHT)
    p.line(6, 19, 26, 19, 2.0, rgb(0x9EE6A8))
    p.circle(25, 23, 1.2, GREEN)


def storage(p):
    p.rrect(4, 7, 28, 25, 3, p.vgrad(7, 25, rgb(0x9AA3AE), GREY_DARK))
    p.rrect(6, 9, 26, 17, 2, rgb(0xC6CDD5))
    p.circle(16, 13, 2.6, GREY)
    p.circle(16, 13, 0.9, GREY_LIGHT)
    p.line(7, 21, 20, 21, 1.4, GREY_LIGHT)
    p.circle(24.5, 21, 1.4, GREEN)


def audio(p):
    p.arc(16, 17, 10, 2.6, 180, 360, GREY_DARK)
    p.rrect(4, 16, 10, 27, 2.5, BLUE)
    p.rrect(22, 16, 28, 27, 2.5, BLUE)


def video(p):
    p.rrect(3, 9, 22, 24, 3, p.vgrad(9, 24, BLUE, BLUE_DARK))
    p.poly([(22, 14), (29, 10), (29, 23), (22, 19)], BLUE_DARK)
    p.circle(9, 16.5, 3, BLUE_LIGHT)


def hid(p):
    p.rrect(2, 15, 22, 27, 2, p.vgrad(15, 27, rgb(0x7A838E), GREY_DARK))
    for row, y in enumerate((18, 21)):
        for k in range(5):
            p.rrect(4 + k * 3.5, y, 6.5 + k * 3.5, y + 2, 0.4, GREY_LIGHT)
    p.rrect(7, 24, 17, 25.6, 0.4, GREY_LIGHT)
    p.rrect(20, 4, 30, 20, 5, WHITE)
    p.rrect(20, 4, 30, 20, 5, rgb(0x9AA3AE, 0.45))
    p.line(25, 4.5, 25, 10, 1.0, GREY_DARK)
    p.line(20.5, 10, 29.5, 10, 1.0, GREY_DARK)


def usb_plug(p, col=GREY_DARK):
    # The familiar trident: a stem with a circle, a square and an arrow.
    p.line(16, 5, 16, 25, 2.2, col)
    p.poly([(16, 2.5), (12.5, 8), (19.5, 8)], col)
    p.circle(16, 26.5, 3.2, col)
    p.polyline([(16, 19), (9, 14), (9, 11)], 2.0, col)
    p.circle(9, 10, 2.2, col)
    p.polyline([(16, 16), (23, 12), (23, 9)], 2.0, col)
    p.rrect(21, 6, 25, 10, 0.3, col)


def other_usb(p):
    p.rrect(3, 3, 29, 29, 6, p.vgrad(3, 29, rgb(0xEEF2F6), rgb(0xC9D1DA)))
    usb_plug(p, BLUE_DARK)


CLASS_GLYPHS = {"mfp": mfp, "printer": printer, "image": scanner, "storage": storage,
                "audio": audio, "video": video, "hid": hid, "other": other_usb}


# Program, servers and state ----------------------------------------------------------------
def app(p):
    p.rrect(2, 2, 30, 30, 7, p.vgrad(2, 30, rgb(0x3B86E8), BLUE_DARK))
    p.rrect(2, 2, 30, 14, 7, rgb(0xFFFFFF, 0.12))
    usb_plug(p, WHITE)


def server_box(p, top, bottom):
    p.rrect(3, 6, 29, 26, 3, p.vgrad(6, 26, top, bottom))
    p.rrect(5, 8, 27, 13, 1.5, rgb(0xFFFFFF, 0.25))
    for k in range(4):
        p.rrect(6 + k * 5, 18, 9 + k * 5, 22, 0.5, rgb(0x1B1F24, 0.55))
    p.circle(25, 20, 1.4, rgb(0x7CF08E))
    p.line(8, 29, 24, 29, 1.6, GREY_DARK)
    p.line(16, 26, 16, 29, 1.6, GREY_DARK)


def about(p):
    app(p)
    badge(p, GREEN, "dot")


def refresh(p, col=GREEN):
    p.arc(16, 16, 10, 3.2, 200, 330, col)
    p.arc(16, 16, 10, 3.2, 20, 150, col)
    p.poly([(26.5, 8), (27.5, 16.5), (19.5, 13)], col)
    p.poly([(5.5, 24), (4.5, 15.5), (12.5, 19)], col)


def connect_glyph(p):
    p.rrect(3, 12, 13, 20, 2, GREY_DARK)
    p.line(13, 16, 19, 16, 3, GREY_DARK)
    p.rrect(19, 10, 29, 22, 3, GREEN)
    p.line(21, 13, 21, 19, 1.3, WHITE)
    p.line(26, 13, 26, 19, 1.3, WHITE)


def disconnect_glyph(p):
    p.rrect(3, 12, 11, 20, 2, GREY_DARK)
    p.line(11, 16, 14, 16, 3, GREY_DARK)
    p.rrect(21, 10, 29, 22, 3, RED)
    p.line(17, 7, 17, 11, 1.6, RED)
    p.line(13.5, 8.5, 15, 11.5, 1.6, RED)
    p.line(20.5, 8.5, 19, 11.5, 1.6, RED)
    p.line(17, 21, 17, 25, 1.6, RED)


def request(p):
    p.rrect(3, 4, 29, 22, 5, BLUE)
    p.poly([(9, 21), (8, 28), (16, 21)], BLUE)
    p.circle(10, 13, 1.8, WHITE)
    p.circle(16, 13, 1.8, WHITE)
    p.circle(22, 13, 1.8, WHITE)


def help_glyph(p):
    p.circle(16, 16, 13.5, p.vgrad(2, 30, rgb(0x3B86E8), BLUE_DARK))
    p.arc(16, 12.5, 4.6, 3, 180, 45, WHITE)
    p.line(19.2, 15.8, 16, 18.5, 3, WHITE)
    p.line(16, 18.5, 16, 20.2, 3, WHITE)
    p.circle(16, 24.5, 1.9, WHITE)


def missing_file(p):
    p.poly([(7, 3), (20, 3), (26, 9), (26, 29), (7, 29)], WHITE)
    p.polyline([(7, 3), (20, 3), (26, 9), (26, 29), (7, 29), (7, 3)], 1.4, GREY)
    p.poly([(20, 3), (20, 9), (26, 9)], GREY_LIGHT)
    p.arc(16.5, 14, 3.4, 2.4, 180, 45, RED)
    p.line(18.9, 16.4, 16.5, 18.6, 2.4, RED)
    p.circle(16.5, 23, 1.6, RED)


def broadcast(p):
    p.circle(16, 18, 3, BLUE)
    for r in (7, 11.5):
        p.arc(16, 18, r, 2.4, 215, 325, BLUE)
        p.arc(16, 18, r, 2.4, 35, 145, BLUE_LIGHT)
    p.line(16, 21, 16, 30, 2.4, GREY_DARK)


def display_options(p):
    p.rrect(3, 4, 29, 28, 3, WHITE)
    p.rrect(3, 4, 29, 28, 3, rgb(0x8A929C, 0.25))
    p.rrect(3, 4, 29, 9, 3, BLUE)
    for k, y in enumerate((13, 18, 23)):
        p.rrect(6, y - 1.5, 9, y + 1.5, 0.6, GREEN if k != 1 else GREY)
        p.line(12, y, 26 - k * 3, y, 1.6, GREY_DARK)


def general_options(p):
    gear(p, 16, 16, 12, GREY_DARK, WHITE)
    p.circle(16, 16, 4.2, BLUE)


def sort_arrow(p, up):
    pts = [(16, 9), (25, 22), (7, 22)] if up else [(16, 23), (25, 10), (7, 10)]
    p.poly(pts, GREY_DARK)


def receiving(p):
    p.ring(16, 16, 11, 3, GREY_LIGHT)
    p.arc(16, 16, 11, 3, 270, 30, BLUE)
    for dx in (-5, 0, 5):
        p.circle(16 + dx, 16, 1.7, BLUE)


def state_free(p):
    p.circle(16, 16, 12.5, p.vgrad(3, 29, rgb(0xB4BBC4), GREY))
    p.ring(16, 16, 6, 2.6, WHITE)


def state_connected(p):
    p.circle(16, 16, 12.5, p.vgrad(3, 29, rgb(0x4CC264), rgb(0x1F7A33)))
    p.polyline([(9.5, 16.5), (14, 21), (22.5, 11.5)], 3.4, WHITE)


def state_other(p):
    p.circle(16, 16, 12.5, p.vgrad(3, 29, rgb(0xF6A53A), rgb(0xC46E06)))
    p.circle(16, 12, 3.6, WHITE)
    p.rrect(9.5, 17, 22.5, 23.5, 3.2, WHITE)


def state_server_error(p):
    p.circle(16, 16, 12.5, p.vgrad(3, 29, rgb(0xE85A4E), rgb(0xA3241B)))
    p.line(11, 11, 21, 21, 3.4, WHITE)
    p.line(21, 11, 11, 21, 3.4, WHITE)


def state_device_error(p):
    p.poly([(16, 3), (30, 28), (2, 28)], p.vgrad(3, 28, rgb(0xF8D154), rgb(0xE0A010)))
    p.line(16, 11, 16, 19.5, 3.2, INK)
    p.circle(16, 24, 1.9, INK)


def printer_with(p):
    printer(p)
    badge(p, GREEN, "check")


def printer_without(p):
    printer(p)
    badge(p, GREY, "cross")


def expand_button(p, expanded):
    p.rrect(6, 6, 26, 26, 3, p.vgrad(6, 26, WHITE, GREY_LIGHT))
    p.rrect(6, 6, 26, 26, 3, rgb(0x8A929C, 0.0))
    p.polyline([(6.5, 8), (6.5, 24), (8, 25.5), (24, 25.5), (25.5, 24), (25.5, 8), (24, 6.5),
                (8, 6.5), (6.5, 8)], 1.2, GREY)
    p.line(11, 16, 21, 16, 2.6, BLUE_DARK)
    if not expanded:
        p.line(16, 11, 16, 21, 2.6, BLUE_DARK)


def render(fn, size, *args):
    c = Canvas(size, size)
    fn(Pen(c), *args)
    return c
