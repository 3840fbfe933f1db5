"""A tiny anti-aliased raster: shapes are signed-distance functions, painted with coverage.

Standard library only, so the artwork builds on a fresh machine with nothing but Python 3.
Coordinates are in pixels of the canvas, y downwards.
"""
import math
import struct
import zlib


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def rgb(hexcode, a=1.0):
    return ((hexcode >> 16) & 255, (hexcode >> 8) & 255, hexcode & 255, a)


def mix(c1, c2, t):
    return tuple(c1[i] + (c2[i] - c1[i]) * t for i in range(4))


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0.0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, color, cover):
        if cover <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        a = color[3] * cover
        out_a = a + p[3] * (1 - a)
        if out_a <= 0:
            return
        for i in range(3):
            p[i] = (color[i] * a + p[i] * p[3] * (1 - a)) / out_a
        p[3] = out_a

    def shape(self, sdf, color, box=None):
        """Paints every pixel whose centre lies inside sdf (negative distance), anti-aliased.
        color may be a function of (x, y) for gradients."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        for y in range(y0, y1):
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                cover = clamp(0.5 - sdf(cx, cy))
                if cover > 0:
                    self.blend(x, y, color(cx, cy) if callable(color) else color, cover)

    # Shapes -----------------------------------------------------------------------------
    def circle(self, cx, cy, r, color):
        self.shape(lambda x, y: math.hypot(x - cx, y - cy) - r, color,
                   (cx - r, cy - r, cx + r, cy + r))

    def ring(self, cx, cy, r, width, color):
        self.shape(lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2, color,
                   (cx - r - width, cy - r - width, cx + r + width, cy + r + width))

    def rrect(self, x0, y0, x1, y1, radius, color):
        hx, hy = (x1 - x0) / 2, (y1 - y0) / 2
        mx, my = x0 + hx, y0 + hy
        rad = min(radius, hx, hy)

        def sdf(x, y):
            qx, qy = abs(x - mx) - hx + rad, abs(y - my) - hy + rad
            return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - rad
        self.shape(sdf, color, (x0, y0, x1, y1))

    def rect(self, x0, y0, x1, y1, color):
        self.rrect(x0, y0, x1, y1, 0, color)

    def line(self, ax, ay, bx, by, width, color):
        def sdf(x, y):
            dx, dy = bx - ax, by - ay
            t = clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1))
            return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2
        pad = width
        self.shape(sdf, color, (min(ax, bx) - pad, min(ay, by) - pad,
                                max(ax, bx) + pad, max(ay, by) + pad))

    def polyline(self, pts, width, color):
        for a, b in zip(pts, pts[1:]):
            self.line(a[0], a[1], b[0], b[1], width, color)

    def polygon(self, pts, color):
        n = len(pts)

        def sdf(x, y):
            d = float("inf")
            inside = False
            for i in range(n):
                ax, ay = pts[i]
                bx, by = pts[(i + 1) % n]
                dx, dy = bx - ax, by - ay
                t = clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1))
                d = min(d, math.hypot(x - ax - t * dx, y - ay - t * dy))
                if (ay > y) != (by > y) and x < ax + (y - ay) * dx / (dy or 1e-9):
                    inside = not inside
            return -d if inside else d
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        self.shape(sdf, color, (min(xs), min(ys), max(xs), max(ys)))

    def arc(self, cx, cy, r, width, a0, a1, color):
        """An arc from angle a0 to a1 (degrees, clockwise on screen from 3 o'clock)."""
        def sdf(x, y):
            ang = math.degrees(math.atan2(y - cy, x - cx)) % 360
            span = (a1 - a0) % 360
            if (ang - a0) % 360 <= span:
                return abs(math.hypot(x - cx, y - cy) - r) - width / 2
            best = float("inf")
            for a in (a0, a1):
                px = cx + r * math.cos(math.radians(a))
                py = cy + r * math.sin(math.radians(a))
                best = min(best, math.hypot(x - px, y - py) - width / 2)
            return best
        self.shape(sdf, color, (cx - r - width, cy - r - width, cx + r + width, cy + r + width))

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                p = other.px[y * other.w + x]
                self.blend(ox + x, oy + y, (p[0], p[1], p[2], 1.0), p[3])

    def text(self, x, y, s, scale, color):
        """Block capitals and digits of the 5x7 font below; returns the advance."""
        cx = x
        for ch in s:
            glyph = FONT.get(ch.upper())
            if glyph is None:
                cx += 4 * scale
                continue
            for row, bits in enumerate(glyph):
                for col in range(5):
                    if bits & (0x10 >> col):
                        self.rect(cx + col * scale, y + row * scale,
                                  cx + (col + 1) * scale, y + (row + 1) * scale, color)
            cx += 6 * scale
        return cx - x

    # Output -----------------------------------------------------------------------------
    def bgra_rows_bottom_up(self):
        for y in range(self.h - 1, -1, -1):
            row = bytearray()
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                row += bytes((int(round(b)) & 255, int(round(g)) & 255, int(round(r)) & 255,
                              int(round(a * 255)) & 255))
            yield row

    def flattened(self, background):
        out = Canvas(self.w, self.h, background)
        out.paste(self, 0, 0)
        return out


def bmp_bytes(canvas, background=(255, 255, 255, 1.0)):
    """A 24-bit bottom-up Windows bitmap file."""
    flat = canvas.flattened(background)
    stride = (flat.w * 3 + 3) & ~3
    pixels = bytearray()
    for row in flat.bgra_rows_bottom_up():
        line = bytearray()
        for i in range(0, len(row), 4):
            line += row[i:i + 3]
        pixels += line + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, flat.w, flat.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def dib_image(canvas, with_mask=True):
    """One 32-bit icon or cursor image: info header of double height, BGRA rows, AND mask."""
    xor = b"".join(canvas.bgra_rows_bottom_up())
    mask_stride = ((canvas.w + 31) // 32) * 4
    mask = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(canvas.w):
            if canvas.px[y * canvas.w + x][3] < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + (mask if with_mask else b"")


def ico_bytes(canvases):
    images = [dib_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w & 255, c.h & 255, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


def png_bytes(canvas, background=(255, 255, 255, 1.0)):
    flat = canvas.flattened(background)
    raw = bytearray()
    for y in range(flat.h):
        raw.append(0)
        for x in range(flat.w):
            r, g, b, _ = flat.px[y * flat.w + x]
            raw += bytes((int(round(r)), int(round(g)), int(round(b))))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", flat.w, flat.h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


FONT = {
    "A": (0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11), "B": (0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E),
    "C": (0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E), "D": (0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E),
    "E": (0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F), "F": (0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10),
    "G": (0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F), "H": (0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11),
    "I": (0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E), "J": (0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C),
    "K": (0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11), "L": (0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F),
    "M": (0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11), "N": (0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11),
    "O": (0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E), "P": (0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10),
    "Q": (0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D), "R": (0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11),
    "S": (0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E), "T": (0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04),
    "U": (0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E), "V": (0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04),
    "W": (0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A), "X": (0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11),
    "Y": (0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04), "Z": (0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F),
    "0": (0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E), "1": (0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E),
    "2": (0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F), "3": (0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E),
    "4": (0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02), "5": (0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E),
    "6": (0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E), "7": (0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08),
    "8": (0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E), "9": (0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C),
    "-": (0, 0, 0, 0x1F, 0, 0, 0), "?": (0x0E, 0x11, 0x01, 0x02, 0x04, 0, 0x04),
}
