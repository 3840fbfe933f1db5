#!/usr/bin/env python3
"""Draws every icon, cursor and bitmap of the theme library and writes the resource script.

    make_art.py OUTDIR                 icons (.ico), cursor images, bitmaps (.bmp), art.rc
    make_art.py --sheet FILE.png       one contact sheet of all of them, for review

Standard library only. The resource ids are the interface with the utility
(common/theme_resources.h names them).
"""
import math
import os
import struct
import sys

from draw import Canvas, rgb, mix, bmp_bytes, ico_bytes, dib_image, png_bytes
import glyphs as g
from glyphs import Pen, render

SIZES = (16, 32, 48)


# Icons ------------------------------------------------------------------------------------
def with_badge(fn, col, mark):
    def draw(p):
        fn(p)
        g.badge(p, col, mark)
    return draw


def class_page(fn):
    # The option-page twin of a class icon carries a small gear.
    return with_badge(fn, g.BLUE, "gear")


def still_icons():
    icons = {
        101: g.app, 103: g.about,
        104: g.state_free, 105: g.connect_glyph, 106: g.disconnect_glyph, 107: g.state_other,
        108: g.state_server_error, 109: g.state_connected, 110: g.printer_without,
        111: g.state_device_error, 112: g.request, 113: g.refresh, 114: g.missing_file,
        115: g.help_glyph, 116: g.broadcast,
        133: lambda p: g.sort_arrow(p, False), 134: lambda p: g.sort_arrow(p, True),
        135: g.receiving, 136: g.display_options, 137: g.general_options,
        205: lambda p: g.server_box(p, rgb(0xA7AFB9), g.GREY_DARK),
        207: lambda p: g.server_box(p, rgb(0x4A8FE6), g.BLUE_DARK),
        209: lambda p: g.server_box(p, rgb(0x52BE68), rgb(0x1F6E32)),
        211: lambda p: g.expand_button(p, False), 212: lambda p: g.expand_button(p, True),
    }
    for base in (205, 207, 209):
        icons[base + 1] = with_badge(icons[base], g.RED, "bang")
    classes = [(117, "image"), (119, "audio"), (121, "hid"), (123, "mfp"), (125, "printer"),
               (127, "storage"), (129, "other"), (131, "video")]
    for icon_id, name in classes:
        icons[icon_id] = g.CLASS_GLYPHS[name]
        icons[icon_id + 1] = class_page(g.CLASS_GLYPHS[name])
    return icons


def progress_frame(p, t, connecting):
    """A PC on the left, the device server on the right, a packet travelling on the cable."""
    p.rrect(1, 8, 11, 17, 1.5, g.GREY_DARK)
    p.rrect(2.3, 9.3, 9.7, 15.7, 0.8, g.BLUE_LIGHT)
    p.line(6, 17, 6, 20, 1.6, g.GREY_DARK)
    p.line(3, 20.5, 9, 20.5, 1.6, g.GREY_DARK)
    p.rrect(21, 9, 31, 20, 2, g.BLUE)
    p.circle(28.5, 17.5, 1.1, rgb(0x7CF08E))
    col = g.GREEN if connecting else g.RED
    if connecting:
        p.line(11, 14, 21, 14, 1.6, g.GREY)
        x = 11.5 + 9 * t
    else:
        p.line(11, 14, 14.5, 14, 1.6, g.GREY)
        p.line(17.5, 14, 21, 14, 1.6, g.GREY)
        x = 20.5 - 9 * t
    p.circle(x, 14, 2.3, col)
    # A bar that fills below the pair says how far the step has gone.
    p.rrect(3, 25, 29, 28.5, 1.7, g.GREY_LIGHT)
    p.rrect(3, 25, 3 + 26 * max(t, 0.08), 28.5, 1.7, col)


def tray_frame(p, t, error):
    g.app(p)
    col = g.RED if error else g.ORANGE
    r = 7.5 * (0.35 + 0.65 * t)
    p.circle(24, 24, r, g.WHITE)
    p.circle(24, 24, r * 0.83, col)
    if t > 0.6:
        if error:
            p.line(24, 20.3, 24, 25, 2.3, g.WHITE)
            p.circle(24, 27.6, 1.25, g.WHITE)
        else:
            for dx in (-3, 0, 3):
                p.circle(24 + dx, 24, 1.25, g.WHITE)


def animation_icons():
    icons = {}
    for k in range(22):
        t = k / 21
        icons[138 + k] = (lambda p, t=t: progress_frame(p, t, True), (32,))
        icons[160 + k] = (lambda p, t=t: progress_frame(p, t, False), (32,))
    for k in range(10):
        # Grows in, then pulses once before it settles.
        t = [0.1, 0.3, 0.5, 0.7, 0.9, 1.0, 0.8, 0.9, 1.0, 1.0][k]
        icons[182 + k] = (lambda p, t=t: tray_frame(p, t, True), (16, 32))
        icons[192 + k] = (lambda p, t=t: tray_frame(p, t, False), (16, 32))
    return icons


def all_icons():
    icons = {i: (fn, SIZES) for i, fn in still_icons().items()}
    icons.update(animation_icons())
    return icons


# Cursor (group 102, images 182 and 183) --------------------------------------------------
def cursor_canvas(size, pressed):
    c = Canvas(size, size)
    p = Pen(c)
    pts = [(2, 1), (2, 24), (8, 18.5), (12, 27), (15.5, 25.5), (11.5, 17.5), (19, 17.5)]
    p.poly(pts, g.WHITE)
    p.polyline(pts + [pts[0]], 1.6, g.INK)
    if pressed:
        p.circle(24, 24, 5.5, g.BLUE)
    return c


# Bitmaps ------------------------------------------------------------------------------------
MAIN_TOP = (0x2B6CD4, 0x123E80)
BOTTOM_BAND = (0xF3F6FA, 0xD6DEE8)


def vertical(w, h, top, bottom):
    c = Canvas(w, h)
    p_top, p_bot = rgb(top), rgb(bottom)
    c.shape(lambda x, y: -1, lambda x, y: mix(p_top, p_bot, y / h))
    return c


def logo():
    c = vertical(180, 44, *MAIN_TOP)
    c.px = [list(px) for px in vertical(180, 44, *MAIN_TOP).px]
    icon = render(g.app, 40)
    c.paste(icon, 2, 2)
    c.text(50, 9, "QUELBO", 2, g.WHITE)
    c.text(50, 27, "PLUS", 1, rgb(0xBFD6F6))
    return c


def main_frame_pieces():
    top_h, bottom_h = 70, 99
    pieces = {}
    tl = vertical(220, top_h, *MAIN_TOP)
    tl.rect(0, top_h - 3, 220, top_h, rgb(0x0D2C5C))
    pieces[237] = tl
    tr = vertical(10, top_h, *MAIN_TOP)
    tr.rect(0, top_h - 3, 10, top_h, rgb(0x0D2C5C))
    pieces[238] = tr
    top = vertical(1, top_h, *MAIN_TOP)
    top.rect(0, top_h - 3, 1, top_h, rgb(0x0D2C5C))
    pieces[219] = top
    for piece_id, w in ((239, 10), (240, 10), (218, 1)):
        b = vertical(w, bottom_h, *BOTTOM_BAND)
        b.rect(0, 0, w, 2, rgb(0xAFBCCB))
        pieces[piece_id] = b
    pieces[216] = vertical(2, 1, 0xAFBCCB, 0xAFBCCB)
    pieces[217] = vertical(10, 1, 0xE4E9F0, 0xE4E9F0)
    pieces[217].rect(0, 0, 2, 1, rgb(0xAFBCCB))
    pieces[241] = logo()
    return pieces


def button_strip(w, h, draw_face, kind):
    """Four frames, left to right: normal, pressed, disabled, focused/hot."""
    strip = Canvas(w * 4, h)
    for frame in range(4):
        face = Canvas(w, h)
        draw_face(face, frame, kind)
        strip.paste(face, frame * w, 0)
    return strip


FACE_COLOURS = {  # (top, bottom) per frame
    "dark": [(0x3D7FE0, 0x1A4FA0), (0x163F82, 0x245CB5), (0x9CA6B3, 0x7D8794), (0x5A98F0, 0x2563C4)],
    "light": [(0xFDFEFF, 0xDCE6F2), (0xC9D6E6, 0xE9F0F8), (0xF1F3F6, 0xE3E7EC), (0xFFFFFF, 0xE6F0FF)],
}


def face_base(c, frame, scheme, radius):
    top, bottom = (rgb(v) for v in FACE_COLOURS[scheme][frame])
    w, h = c.w, c.h
    c.rrect(0.5, 0.5, w - 0.5, h - 0.5, radius,
            lambda x, y: mix(top, bottom, y / h))
    edge = rgb(0x0D2C5C) if scheme == "dark" else rgb(0x8FA2B8)
    if frame == 3:
        edge = rgb(0xFFD24A)
    c.shape(lambda x, y: abs(_rr(x, y, w, h, radius)) - 0.6, edge)


def _rr(x, y, w, h, rad):
    qx, qy = abs(x - w / 2) - w / 2 + 0.5 + rad, abs(y - h / 2) - h / 2 + 0.5 + rad
    return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - rad


def image_button(glyph):
    """An image-only button: the glyph centred on the face, no text (the tooltip names it)."""
    def draw(c, frame, kind):
        face_base(c, frame, kind, 6)
        size = min(c.h - 10, 40)
        icon = render(glyph, size)
        if frame == 2:
            for px in icon.px:
                lum = 0.3 * px[0] + 0.59 * px[1] + 0.11 * px[2]
                px[0] = px[1] = px[2] = 200 + lum * 0.2
                px[3] *= 0.6
        off = 1 if frame == 1 else 0
        c.paste(icon, (c.w - size) // 2 + off, (c.h - size) // 2 + off)
    return draw


def text_button(c, frame, kind):
    face_base(c, frame, kind, 5)
    if frame != 1:
        c.rrect(2, 2, c.w - 2, c.h / 2, 4, rgb(0xFFFFFF, 0.10))


def bitmaps():
    out = main_frame_pieces()
    # Main dialog buttons: four on the title band, four on the bottom band.
    out[215] = button_strip(76, 50, image_button(g.refresh), "dark")
    out[228] = button_strip(76, 50, image_button(g.display_options), "dark")
    out[231] = button_strip(76, 50, image_button(g.general_options), "dark")
    out[232] = button_strip(76, 50, image_button(g.help_glyph), "dark")
    out[233] = button_strip(64, 56, image_button(g.connect_glyph), "light")
    out[234] = button_strip(64, 56, image_button(g.disconnect_glyph), "light")
    out[235] = button_strip(48, 48, image_button(class_page(g.other_usb)), "light")
    out[244] = button_strip(48, 48, image_button(g.request), "light")
    # Text buttons of the progress and request dialogs (white text on blue).
    for bid in (225, 226, 227):
        out[bid] = button_strip(88, 26, text_button, "dark")
    # List header: pressed, normal, sorted; two-pixel edges around one stretched column.
    for bid, (top, bottom) in ((220, (0xC9D3DF, 0xE6ECF3)), (221, (0xFBFCFD, 0xE3E8EE)),
                               (222, (0xEAF2FD, 0xC8DBF5))):
        h = vertical(5, 24, top, bottom)
        h.rect(0, 23, 5, 24, rgb(0xAFBCCB))
        h.rect(4, 3, 5, 21, rgb(0xC3CDD9))
        h.rect(0, 3, 1, 21, rgb(0xFFFFFF))
        out[bid] = h
    # Selection bars: 66 columns of rounded start, one stretched column, two end columns.
    for bid, h, focused in ((223, 58, True), (224, 58, False), (242, 34, True), (243, 34, False)):
        out[bid] = selection_bar(h, focused)
    out[229] = progress_background(360, 84, False)
    out[230] = progress_background(400, 170, True)
    out[236] = toast_background(342, 245)
    return out


def selection_bar(h, focused):
    top, bottom = (0xD6E6FC, 0xA9C9F4) if focused else (0xEEF1F5, 0xD9DFE7)
    edge = rgb(0x5D8FD8) if focused else rgb(0xB6C0CC)
    w = 69
    c = Canvas(w, h, rgb(0xFFFFFF))
    # Rounded on the left, open to the right: the 67th column is stretched along the row.
    c.rrect(0.5, 0.5, w + 8, h - 0.5, 4, lambda x, y: mix(rgb(top), rgb(bottom), y / h))
    c.shape(lambda x, y: abs(_rr(x, y, w + 16, h, 4)) - 0.6, edge)
    c.rect(w - 2, 0, w, h, rgb(0xFFFFFF))
    c.rect(w - 2, 1, w - 1, h - 1, edge)
    return c


def progress_background(w, h, with_buttons):
    c = vertical(w, h, 0xFFFFFF, 0xE9EFF6)
    c.rect(0, 0, w, 4, rgb(0x2B6CD4))
    c.rrect(8, 10, 56 if not with_buttons else 64, 10 + 46, 8, rgb(0xDCE8F8))
    if with_buttons:
        c.rect(0, h - 46, w, h, rgb(0xDDE5EF))
        c.rect(0, h - 46, w, h - 45, rgb(0xB9C6D6))
    c.shape(lambda x, y: abs(_rr(x, y, w, h, 0)) - 0.6, rgb(0x7F93AD))
    return c


def toast_background(w, h):
    c = vertical(w, h, 0xFFFFFF, 0xE6EEF8)
    c.rect(0, 0, w, 27, rgb(0x1E63C6))
    c.rect(0, 27, w, 29, rgb(0x123E80))
    c.circle(50, 82, 30, rgb(0xDCE8F8))
    c.paste(render(g.request, 40), 30, 62)
    c.rect(0, 198, w, h, rgb(0xDDE5EF))
    c.rect(0, 198, w, 199, rgb(0xB9C6D6))
    c.shape(lambda x, y: abs(_rr(x, y, w, h, 0)) - 0.6, rgb(0x7F93AD))
    return c


# Output --------------------------------------------------------------------------------------
def write_all(outdir):
    os.makedirs(outdir, exist_ok=True)
    rc = ["// Generated by theme/art/make_art.py: every icon, cursor and bitmap of the theme.", ""]
    for icon_id, (fn, sizes) in sorted(all_icons().items()):
        name = f"icon{icon_id}.ico"
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(ico_bytes([render(fn, s) for s in sizes]))
        rc.append(f'{icon_id} ICON "{name}"')
    # The cursor group names its images by id, so the images are written as raw resources.
    images = {182: cursor_canvas(32, False), 183: cursor_canvas(32, True)}
    entries = b""
    for img_id, canvas in images.items():
        data = struct.pack("<HH", 0, 0) + dib_image(canvas)  # hotspot (0, 0), then the image
        with open(os.path.join(outdir, f"cursor{img_id}.bin"), "wb") as f:
            f.write(data)
        rc.append(f'{img_id} 1 "cursor{img_id}.bin"')
        entries += struct.pack("<HHHHIH", canvas.w, canvas.h * 2, 1, 32, len(data), img_id)
    with open(os.path.join(outdir, "cursor102.bin"), "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, len(images)) + entries)
    rc.append('102 12 "cursor102.bin"')
    for bmp_id, canvas in sorted(bitmaps().items()):
        name = f"bitmap{bmp_id}.bmp"
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(bmp_bytes(canvas))
        rc.append(f'{bmp_id} BITMAP "{name}"')
    with open(os.path.join(outdir, "art.rc"), "w") as f:
        f.write("\n".join(rc) + "\n")


def contact_sheet(path):
    cell = 56
    icons = sorted(all_icons().items())
    cols = 16
    rows = (len(icons) + cols - 1) // cols
    bmps = sorted(bitmaps().items())
    # Bitmaps are laid out in shelves below the icons.
    width = cols * cell + 16
    shelves, x, y, shelf_h = [], 8, 0, 0
    for bmp_id, c in bmps:
        if x + c.w + 8 > width:
            x, y, shelf_h = 8, y + shelf_h + 22, 0
        shelves.append((bmp_id, c, x, y))
        x += max(c.w, 30) + 12
        shelf_h = max(shelf_h, c.h)
    icon_h = rows * (cell + 12) + 16
    sheet = Canvas(width, icon_h + y + shelf_h + 40, rgb(0xF4F5F7))
    for k, (icon_id, (fn, sizes)) in enumerate(icons):
        cx, cy = 8 + (k % cols) * cell, 8 + (k // cols) * (cell + 12)
        big = max(sizes)
        sheet.paste(render(fn, min(big, 32)), cx, cy)
        if 16 in sizes and big > 16:
            sheet.paste(render(fn, 16), cx + 34, cy)
        sheet.text(cx, cy + 36, str(icon_id), 1, g.INK)
    for bmp_id, c, bx, by in shelves:
        oy = icon_h + by
        sheet.paste(c.flattened(rgb(0xFFFFFF)), bx, oy + 10)
        sheet.text(bx, oy, str(bmp_id), 1, g.INK)
    with open(path, "wb") as f:
        f.write(png_bytes(sheet))


def main(argv):
    if len(argv) == 3 and argv[1] == "--sheet":
        contact_sheet(argv[2])
    elif len(argv) == 2:
        write_all(argv[1])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
