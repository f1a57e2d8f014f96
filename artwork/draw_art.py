#!/usr/bin/env python3
"""Writes the SVG of one interface image from a recipe.

Usage: draw_art.py RECIPE OUT.svg

A recipe is "kind:arg:arg...", for example "round:play:84:pressed".  The
build renders the SVG with rsvg-convert; the list of images and their
recipes lives in artwork/CMakeLists.txt.  Every drawing here is sized in
output pixels so that strokes land on whole pixels at the size used.
"""
import math
import sys

# One dark palette with one accent colour.
ACCENT = "#E04F0F"
ACCENT_HI = "#F57A3C"
ACCENT_DEEP = "#A93A08"
INK = "#EEF0F3"          # icon strokes on dark surfaces (never pure white)
MUTED = "#9AA0A9"
CARD_TOP = "#272A31"
CARD_BOTTOM = "#1E2025"
DIALOG = "#E9EAED"       # light card: dialog text is black
FIELD = "#FAFAFB"
FIELD_EDGE = "#7C818A"


def svg(width, height, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">\n<defs>{defs}</defs>\n{body}\n</svg>\n')


def vgrad(gid, top, bottom, top_opacity=1, bottom_opacity=1):
    return (f'<linearGradient id="{gid}" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{top}" stop-opacity="{top_opacity}"/>'
            f'<stop offset="1" stop-color="{bottom}" stop-opacity="{bottom_opacity}"/></linearGradient>')


def rglow(gid, colour, opacity):
    return (f'<radialGradient id="{gid}"><stop offset="0" stop-color="{colour}" stop-opacity="{opacity}"/>'
            f'<stop offset="1" stop-color="{colour}" stop-opacity="0"/></radialGradient>')


# --- glyphs: drawn on a 24 x 24 grid, stroked with round caps and joins ---

def star_path(cx, cy, outer, inner, points=5):
    pts = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / points
        pts.append(f"{cx + r * math.cos(a):.2f} {cy + r * math.sin(a):.2f}")
    return "M" + " L".join(pts) + " Z"


def gear_path(cx, cy, outer, inner, teeth=8):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step
        for da, r in ((-0.20, inner), (-0.11, outer), (0.11, outer), (0.20, inner)):
            pts.append((cx + r * math.cos(a + da * step * 1.9), cy + r * math.sin(a + da * step * 1.9)))
    return "M" + " L".join(f"{x:.2f} {y:.2f}" for x, y in pts) + " Z"


def mirror(body):
    return f'<g transform="translate(24 0) scale(-1 1)">{body}</g>'


def glyph(name, ink, accent):
    """Elements of one glyph: strokes use `ink`, highlights `accent`."""
    s = f'stroke="{ink}"'
    f = f'fill="{ink}"'
    a = f'fill="{accent}"'
    tri = '<path d="M8.6 6.2 C8.6 5.2 9.6 4.7 10.4 5.2 L18.2 10.9 C19 11.5 19 12.5 18.2 13.1 L10.4 18.8 C9.6 19.3 8.6 18.8 8.6 17.8 Z" '
    jump = (f'<path d="M18.93 8 A8 8 0 1 1 12 4" fill="none" {s}/>'
            f'<path d="M9.4 1.4 L12.1 4 L9.4 6.6" fill="none" {s}/>'
            f'<path d="M7.9 9.3 L12 12.2 L7.9 15.1 Z M12 9.3 L16.1 12.2 L12 15.1 Z" {f} stroke="none"/>')
    skip = (f'<path d="M6 6.6 C6 5.9 6.8 5.5 7.4 5.9 L14.6 11.2 C15.2 11.6 15.2 12.4 14.6 12.8 '
            f'L7.4 18.1 C6.8 18.5 6 18.1 6 17.4 Z" {f} stroke="none"/>'
            f'<rect x="16.6" y="5.8" width="2.6" height="12.4" rx="1.3" {f} stroke="none"/>')
    speaker = f'<path d="M3.5 9.6 V14.4 H7 L11.5 18.3 V5.7 L7 9.6 Z" {f} {s}/>'
    doc = {
        "play": tri + f'{f} stroke="none"/>',
        "pause": (f'<rect x="6.8" y="5.2" width="3.8" height="13.6" rx="1.3" {f} stroke="none"/>'
                  f'<rect x="13.4" y="5.2" width="3.8" height="13.6" rx="1.3" {f} stroke="none"/>'),
        "stop": f'<rect x="6.5" y="6.5" width="11" height="11" rx="2.2" {f} stroke="none"/>',
        "skipfwd": skip,
        "skipback": mirror(skip),
        "jumpfwd": jump,
        "jumpback": mirror(jump),
        "shuffle": (f'<path d="M3.5 7 H7 C10.5 7 13.5 17 17 17 H20 M3.5 17 H7 C10.5 17 13.5 7 17 7 H20" fill="none" {s}/>'
                    f'<path d="M17.6 4.6 L20 7 L17.6 9.4 M17.6 14.6 L20 17 L17.6 19.4" fill="none" {s}/>'),
        "repeat": (f'<path d="M4.5 11.5 V9.5 A2.5 2.5 0 0 1 7 7 H19 M19.5 12.5 V14.5 A2.5 2.5 0 0 1 17 17 H5" fill="none" {s}/>'
                   f'<path d="M16.6 4.6 L19 7 L16.6 9.4 M7.4 14.6 L5 17 L7.4 19.4" fill="none" {s}/>'),
        "ordered": (f'<path d="M3.5 6.5 H12.5 M3.5 12 H12.5 M3.5 17.5 H9.5 M17.5 5.5 V18.5" fill="none" {s}/>'
                    f'<path d="M14.8 15.8 L17.5 18.5 L20.2 15.8" fill="none" {s}/>'),
        "lock": (f'<path d="M8.4 10.5 V8 A3.6 3.6 0 0 1 15.6 8 V10.5" fill="none" {s}/>'
                 f'<rect x="5.5" y="10.5" width="13" height="9.5" rx="2" fill="none" {s}/>'
                 f'<circle cx="12" cy="15.2" r="1.3" {f} stroke="none"/>'),
        "ar": (f'<rect x="3" y="5.5" width="18" height="13" rx="2.2" fill="none" {s}/>'
               f'<path d="M6.8 12 V9.3 H9.6 M17.2 12 V14.7 H14.4" fill="none" {s}/>'),
        "fullscreen": (f'<path d="M4 9 V5.6 A1.6 1.6 0 0 1 5.6 4 H9 M15 4 H18.4 A1.6 1.6 0 0 1 20 5.6 V9 '
                       f'M20 15 V18.4 A1.6 1.6 0 0 1 18.4 20 H15 M9 20 H5.6 A1.6 1.6 0 0 1 4 18.4 V15" fill="none" {s}/>'),
        "library": ("".join(f'<rect x="3.6" y="{y}" width="3.8" height="3.8" rx="0.9" {f} stroke="none"/>'
                            for y in (4.7, 10.1, 15.5))
                    + f'<path d="M10.8 6.6 H20.4 M10.8 12 H20.4 M10.8 17.4 H17" fill="none" {s}/>'),
        "record": f'<circle cx="12" cy="12" r="6" {a} stroke="none"/>',
        "stoprec": (f'<circle cx="12" cy="12" r="7.6" fill="none" {s}/>'
                    f'<rect x="8.6" y="8.6" width="6.8" height="6.8" rx="1.4" {a} stroke="none"/>'),
        "volon": speaker + (f'<path d="M14.8 9.2 A4 4 0 0 1 14.8 14.8 M17.4 6.6 A7.6 7.6 0 0 1 17.4 17.4" fill="none" {s}/>'),
        "voloff": speaker + f'<path d="M14.8 9 L20.8 15 M20.8 9 L14.8 15" fill="none" {s}/>',
        "help": (f'<path d="M9.1 9.3 A2.95 2.95 0 1 1 13.3 12 C12.5 12.4 12 13 12 13.9 V14.4" fill="none" {s}/>'
                 f'<circle cx="12" cy="17.7" r="1.15" {f} stroke="none"/>'),
        "standby": f'<path d="M12 3.6 V11.2 M7.5 6.8 A7.2 7.2 0 1 0 16.5 6.8" fill="none" {s}/>',
        "up": f'<path d="M12 19.5 V5 M6 10.8 L12 4.8 L18 10.8" fill="none" {s}/>',
        "down": f'<path d="M12 4.5 V19 M6 13.2 L12 19.2 L18 13.2" fill="none" {s}/>',
        # home screen pictures
        "movie": (f'<rect x="2.8" y="4.6" width="18.4" height="14.8" rx="2.6" fill="none" {s}/>'
                  f'<path d="M6.4 4.8 V19.2 M17.6 4.8 V19.2" fill="none" {s} stroke-width="0.9"/>'
                  + "".join(f'<circle cx="{x}" cy="{y}" r="0.62" {f} stroke="none"/>'
                            for x in (4.6, 19.4) for y in (7.6, 10.6, 13.6, 16.6))
                  + '<path d="M10.2 9.3 C10.2 8.7 10.8 8.4 11.3 8.7 L15.1 11.3 C15.6 11.6 15.6 12.4 15.1 12.7 '
                    f'L11.3 15.3 C10.8 15.6 10.2 15.3 10.2 14.7 Z" {a} stroke="none"/>'),
        "remote": (f'<rect x="2.6" y="3.6" width="18.8" height="12.8" rx="2.2" fill="none" {s}/>'
                   f'<path d="M8.5 20.4 H15.5 M12 16.6 V20.2" fill="none" {s}/>'
                   f'<path d="M9.4 10.2 A3.7 3.7 0 0 1 14.6 10.2 M7.4 8.2 A6.5 6.5 0 0 1 16.6 8.2" fill="none" '
                   f'stroke="{accent}"/>'
                   f'<circle cx="12" cy="12.7" r="1.15" {a} stroke="none"/>'),
        "upnp": (f'<path d="M12 8.2 V12 M4.6 15.6 V12 H19.4 V15.6 M12 12 V15.6" fill="none" {s}/>'
                 f'<rect x="8.6" y="2.4" width="6.8" height="5.8" rx="1.4" {a} stroke="none"/>'
                 + "".join(f'<rect x="{x - 2.3}" y="15.6" width="4.6" height="4.6" rx="1.2" fill="none" {s}/>'
                           for x in (4.6, 12, 19.4))),
        "settings": (f'<path d="{gear_path(12, 12, 9.6, 7.2)}" fill="none" {s}/>'
                     f'<circle cx="12" cy="12" r="3.1" fill="none" stroke="{accent}"/>'),
        "tv": (f'<rect x="2.6" y="7" width="18.8" height="13.2" rx="2.3" fill="none" {s}/>'
               f'<path d="M8.2 2.6 L12 6.6 L15.8 2.6" fill="none" {s}/>'
               f'<circle cx="12" cy="13.6" r="1.7" {a} stroke="none"/>'
               f'<path d="M8.9 10.5 A4.4 4.4 0 0 0 8.9 16.7 M15.1 10.5 A4.4 4.4 0 0 1 15.1 16.7" fill="none" '
               f'stroke="{accent}"/>'),
        "favs": (f'<path d="M3.2 5.5 H15.5 M3.2 10.5 H12 M3.2 15.5 H8.5" fill="none" {s}/>'
                 f'<path d="{star_path(16.4, 16.2, 6.2, 2.7)}" {a} stroke="{accent}" stroke-width="1"/>'),
        "note": (f'<path d="M9 17.2 V6.2 L18.6 4.2 V15.2" fill="none" {s}/>'
                 f'<ellipse cx="6.7" cy="17.4" rx="2.6" ry="2.2" {f} stroke="none"/>'
                 f'<ellipse cx="16.3" cy="15.4" rx="2.6" ry="2.2" {f} stroke="none"/>'),
    }
    return doc[name]


def place_glyph(name, box_x, box_y, box, stroke_px, ink=INK, accent=ACCENT):
    """The glyph scaled so that its 24-unit grid fills `box` pixels."""
    k = box / 24.0
    return (f'<g transform="translate({box_x:.3f} {box_y:.3f}) scale({k:.5f})" stroke-width="{stroke_px / k:.4f}" '
            f'stroke-linecap="round" stroke-linejoin="round">{glyph(name, ink, accent)}</g>')


# --- image kinds ---

def background(w, h, variant):
    w, h = int(w), int(h)
    if variant == "overlay":
        defs = vgrad("base", "#131418", "#0B0C0E") + rglow("glow", "#FFFFFF", 0.045)
        body = (f'<rect width="{w}" height="{h}" fill="url(#base)"/>'
                f'<ellipse cx="{w / 2}" cy="{h * 0.42}" rx="{w * 0.55}" ry="{h * 0.55}" fill="url(#glow)"/>')
        return svg(w, h, body, defs)
    defs = (vgrad("base", "#1A1C21", "#0E0F12") + rglow("warm", ACCENT, 0.13) + rglow("cool", "#FFFFFF", 0.035))
    big = max(w, h)
    body = (f'<rect width="{w}" height="{h}" fill="url(#base)"/>'
            f'<circle cx="{w * 0.86}" cy="{h * 0.02}" r="{big * 0.55}" fill="url(#warm)"/>'
            f'<circle cx="{w * 0.08}" cy="{h * 0.98}" r="{big * 0.6}" fill="url(#cool)"/>')
    # a few faint concentric arcs give the surface some depth without noise
    for i, r in enumerate((0.30, 0.42, 0.54)):
        body += (f'<circle cx="{w * 0.86}" cy="{h * 0.02}" r="{big * r}" fill="none" stroke="#FFFFFF" '
                 f'stroke-opacity="{0.028 - i * 0.006:.3f}" stroke-width="1.5"/>')
    return svg(w, h, body, defs)


def square_button(size, state):
    n = int(size)
    r = 22
    if state == "pressed":
        defs = vgrad("card", "#3A3129", "#2A231E") + rglow("glow", ACCENT, 0.35)
        body = (f'<rect x="1" y="1" width="{n - 2}" height="{n - 2}" rx="{r}" fill="url(#card)"/>'
                f'<ellipse cx="{n / 2}" cy="{n * 0.45}" rx="{n * 0.5}" ry="{n * 0.45}" fill="url(#glow)"/>'
                f'<rect x="2.5" y="2.5" width="{n - 5}" height="{n - 5}" rx="{r - 1.5}" fill="none" '
                f'stroke="{ACCENT}" stroke-width="3"/>')
    else:
        defs = vgrad("card", CARD_TOP, CARD_BOTTOM) + vgrad("edge", "#FFFFFF", "#FFFFFF", 0.16, 0.04)
        body = (f'<rect x="1" y="1" width="{n - 2}" height="{n - 2}" rx="{r}" fill="url(#card)"/>'
                f'<rect x="1.5" y="1.5" width="{n - 3}" height="{n - 3}" rx="{r - 0.5}" fill="none" '
                f'stroke="url(#edge)" stroke-width="1"/>')
    return svg(n, n, body, defs)


def home_icon(name, size):
    n = int(size)
    box = n * 0.92
    return svg(n, n, place_glyph(name, (n - box) / 2, (n - box) / 2, box, n * 0.05))


def round_button(name, size, state="normal", style="plain"):
    """A circular control with a glyph; `style` "solid" is the accent play button."""
    n = int(size)
    c = n / 2
    pressed = state == "pressed"
    defs = rglow("halo", ACCENT, 0.55)
    if style == "solid":
        fill = ACCENT_DEEP if pressed else ACCENT
        defs += vgrad("disc", ACCENT_HI if not pressed else ACCENT, fill)
        body = (f'<circle cx="{c}" cy="{c}" r="{c - 1}" fill="url(#halo)"/>' if pressed else "")
        body += f'<circle cx="{c}" cy="{c}" r="{c - (5 if pressed else 4)}" fill="url(#disc)"/>'
        if pressed:
            body += f'<circle cx="{c}" cy="{c}" r="{c - 5}" fill="none" stroke="#FFFFFF" stroke-opacity="0.55" stroke-width="2"/>'
        gl = n * 0.46
        body += place_glyph(name, c - gl / 2 + (n * 0.02 if name == "play" else 0), c - gl / 2, gl, n * 0.035,
                            ink="#FFFFFF")
        return svg(n, n, body, defs)
    if pressed:
        body = (f'<circle cx="{c}" cy="{c}" r="{c - 0.5}" fill="url(#halo)"/>'
                f'<circle cx="{c}" cy="{c}" r="{c - 4}" fill="{ACCENT}"/>'
                f'<circle cx="{c}" cy="{c}" r="{c - 4.75}" fill="none" stroke="{ACCENT_HI}" stroke-width="1.5"/>')
        ink, accent = "#FFFFFF", "#FFFFFF"
    else:
        body = (f'<circle cx="{c}" cy="{c}" r="{c - 4}" fill="#FFFFFF" fill-opacity="0.07"/>'
                f'<circle cx="{c}" cy="{c}" r="{c - 4.75}" fill="none" stroke="#FFFFFF" stroke-opacity="0.2" '
                f'stroke-width="1.5"/>')
        ink, accent = INK, ACCENT
    gl = n * 0.56
    body += place_glyph(name, c - gl / 2, c - gl / 2, gl, max(2.0, n * 0.042), ink=ink, accent=accent)
    return svg(n, n, body, defs)


def text_button(w, h, state="normal"):
    w, h = int(w), int(h)
    # gentle gradients: the frame is stretched by repeating its middle row
    if state == "pressed":
        defs = vgrad("face", "#EA5D1D", "#DA4A0C")
        edge = f'stroke="{ACCENT_DEEP}"'
    else:
        defs = vgrad("face", "#343841", "#272A31")
        edge = 'stroke="#000000" stroke-opacity="0.55"'
    body = (f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="10" fill="url(#face)" {edge} stroke-width="1.5"/>'
            f'<path d="M11 2.75 H{w - 11}" stroke="#FFFFFF" stroke-opacity="0.14" stroke-width="1.5"/>')
    return svg(w, h, body, defs)


def dialog(w, h):
    w, h = int(w), int(h)
    body = (f'<rect x="1" y="2" width="{w - 2}" height="{h - 3}" rx="14" fill="#000000" fill-opacity="0.35"/>'
            f'<rect x="2" y="1" width="{w - 4}" height="{h - 4}" rx="13" fill="{DIALOG}" stroke="#B9BDC4" stroke-width="1"/>'
            f'<rect x="14" y="1.5" width="{w - 28}" height="3" rx="1.5" fill="{ACCENT}"/>')
    return svg(w, h, body)


def panel(w, h):
    w, h = int(w), int(h)
    body = (f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="12" fill="#24272D" fill-opacity="0.94" '
            f'stroke="#3C4049" stroke-width="1.5"/>')
    return svg(w, h, body)


def editbox(w, h, state="normal"):
    w, h = int(w), int(h)
    # opaque: the widget redraws the screen background under itself first
    body = f'<rect width="{w}" height="{h}" fill="{DIALOG}"/>'
    if state == "focused":
        body += (f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="7" fill="{FIELD}" stroke="{ACCENT}" stroke-width="2"/>'
                 f'<rect x="3.5" y="3.5" width="{w - 7}" height="{h - 7}" rx="5" fill="none" stroke="{ACCENT}" '
                 f'stroke-opacity="0.22" stroke-width="3"/>')
    else:
        body += (f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="7" fill="{FIELD}" stroke="{FIELD_EDGE}" stroke-width="2"/>'
                 f'<path d="M8 3 H{w - 8}" stroke="#000000" stroke-opacity="0.07" stroke-width="2"/>')
    return svg(w, h, body)


def checkbox(size, state="clear"):
    n = int(size)
    if state == "ticked":
        body = (f'<rect x="1" y="1" width="{n - 2}" height="{n - 2}" rx="5" fill="{ACCENT}" stroke="{ACCENT_DEEP}" stroke-width="2"/>'
                + place_glyph_path(n, "M6.2 12.4 L10.2 16.4 L18 8.2", "#FFFFFF", n * 0.095))
    else:
        body = (f'<rect x="1" y="1" width="{n - 2}" height="{n - 2}" rx="5" fill="{FIELD}" stroke="#5C6069" stroke-width="2"/>'
                f'<path d="M7 3.2 H{n - 7}" stroke="#000000" stroke-opacity="0.08" stroke-width="2"/>')
    return svg(n, n, body)


def place_glyph_path(n, d, colour, stroke_px):
    k = n / 24.0
    return (f'<path transform="scale({k:.5f})" d="{d}" fill="none" stroke="{colour}" '
            f'stroke-width="{stroke_px / k:.4f}" stroke-linecap="round" stroke-linejoin="round"/>')


def selector(chosen, count, w, h):
    chosen, count, w, h = int(chosen), int(count), int(w), int(h)
    seg = (w - 2) / count
    x0 = 1 + (chosen - 1) * seg
    clip = f'<clipPath id="inside"><rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="8"/></clipPath>'
    defs = clip + vgrad("pick", ACCENT_HI, ACCENT)
    body = (f'<rect width="{w}" height="{h}" fill="{DIALOG}"/>'
            f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="8" fill="{FIELD}"/>'
            f'<g clip-path="url(#inside)"><rect x="{x0:.2f}" y="0" width="{seg:.2f}" height="{h}" fill="url(#pick)"/></g>')
    for i in range(1, count):
        if i not in (chosen - 1, chosen):
            x = round(1 + i * seg) + 0.5
            body += f'<path d="M{x} 9 V{h - 9}" stroke="#B4B8BF" stroke-width="1"/>'
    body += f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="8" fill="none" stroke="{FIELD_EDGE}" stroke-width="2"/>'
    return svg(w, h, body, defs)


def arrow(direction, size):
    n = int(size)
    return svg(n, n, place_glyph(direction, 0, 0, n, n * 0.12))


def list_icon(kind, size):
    n = int(size)
    k = n / 24.0
    sw = max(1.5, n * 0.045)
    if kind == "folder":
        defs = vgrad("front", ACCENT_HI, ACCENT)
        body = (f'<g transform="scale({k:.5f})">'
                '<path d="M2.5 6.2 A1.7 1.7 0 0 1 4.2 4.5 H9.3 L11.4 6.6 H19.8 A1.7 1.7 0 0 1 21.5 8.3 V18.3 '
                f'A1.7 1.7 0 0 1 19.8 20 H4.2 A1.7 1.7 0 0 1 2.5 18.3 Z" fill="{ACCENT_DEEP}"/>'
                '<path d="M2.5 10.4 A1.7 1.7 0 0 1 4.2 8.7 H19.8 A1.7 1.7 0 0 1 21.5 10.4 V18.3 '
                'A1.7 1.7 0 0 1 19.8 20 H4.2 A1.7 1.7 0 0 1 2.5 18.3 Z" fill="url(#front)"/>'
                '<path d="M4.4 9.7 H19.6" stroke="#FFFFFF" stroke-opacity="0.35" stroke-width="0.5" stroke-linecap="round"/>'
                '</g>')
        return svg(n, n, body, defs)
    page = ('<path d="M6.3 2.5 H14.2 L19.5 7.8 V19.8 A1.7 1.7 0 0 1 17.8 21.5 H6.3 A1.7 1.7 0 0 1 4.6 19.8 '
            'V4.2 A1.7 1.7 0 0 1 6.3 2.5 Z" fill="#2F333B" stroke="#C9CDD4"/>'
            '<path d="M14.2 2.7 V6.3 A1.5 1.5 0 0 0 15.7 7.8 H19.3" fill="none" stroke="#C9CDD4"/>')
    badge = {
        "video": ('<path d="M9.6 11.1 C9.6 10.4 10.3 10 10.9 10.4 L15.1 13.2 C15.7 13.6 15.7 14.4 15.1 14.8 '
                  f'L10.9 17.6 C10.3 18 9.6 17.6 9.6 16.9 Z" fill="{ACCENT}" stroke="none"/>'),
        "audio": ('<g transform="translate(6.6 8.6) scale(0.46)" stroke-width="2.8">'
                  + glyph("note", ACCENT, ACCENT) + '</g>'),
        "image": (f'<circle cx="14.6" cy="11.3" r="1.45" fill="{ACCENT}" stroke="none"/>'
                  '<path d="M7.6 18.2 L10.6 14.3 L12.7 16.6 L14.2 15.1 L16.6 18.2" fill="none" stroke="#C9CDD4"/>'),
        "file": '<path d="M8 11.5 H16 M8 14.5 H16 M8 17.5 H13" fill="none" stroke="#8F959E"/>',
    }[kind]
    body = (f'<g transform="scale({k:.5f})" stroke-width="{sw / k:.4f}" stroke-linecap="round" '
            f'stroke-linejoin="round">{page}{badge}</g>')
    return svg(n, n, body)


def placeholder(size):
    n = int(size)
    defs = vgrad("card", "#2C2F36", "#17191D") + rglow("glow", ACCENT, 0.30)
    gl = n * 0.5
    body = (f'<rect x="2" y="2" width="{n - 4}" height="{n - 4}" rx="{n * 0.06:.1f}" fill="url(#card)" '
            f'stroke="#FFFFFF" stroke-opacity="0.08" stroke-width="2"/>'
            f'<circle cx="{n * 0.5}" cy="{n * 0.5}" r="{n * 0.42}" fill="url(#glow)"/>'
            f'<circle cx="{n * 0.5}" cy="{n * 0.5}" r="{n * 0.34}" fill="none" stroke="#FFFFFF" stroke-opacity="0.07" '
            f'stroke-width="{n * 0.012:.1f}"/>'
            + place_glyph("note", n / 2 - gl / 2, n / 2 - gl / 2, gl, n * 0.03, ink="#D5D8DE", accent=ACCENT))
    return svg(n, n, body, defs)


def spinner(frame, size):
    n = int(size)
    c = n / 2
    head = (int(frame) - 1) % 8
    body = ""
    for i in range(8):
        behind = (head - i) % 8
        angle = -90 + i * 45
        colour, opacity = (ACCENT, 1.0) if behind == 0 else (MUTED, max(0.16, 0.85 - 0.13 * behind))
        a = math.radians(angle)
        x1, y1 = c + n * 0.22 * math.cos(a), c + n * 0.22 * math.sin(a)
        x2, y2 = c + n * 0.39 * math.cos(a), c + n * 0.39 * math.sin(a)
        body += (f'<path d="M{x1:.2f} {y1:.2f} L{x2:.2f} {y2:.2f}" stroke="{colour}" stroke-opacity="{opacity:.2f}" '
                 f'stroke-width="{n * 0.09:.2f}" stroke-linecap="round"/>')
    return svg(n, n, body)


def player_bar(w, h):
    w, h = int(w), int(h)
    defs = (vgrad("bar", "#0F1013", "#08090B", 0.78, 0.93) +
            '<linearGradient id="line" x1="0" y1="0" x2="1" y2="0">'
            f'<stop offset="0" stop-color="{ACCENT}" stop-opacity="0"/>'
            f'<stop offset="0.5" stop-color="{ACCENT}" stop-opacity="0.8"/>'
            f'<stop offset="1" stop-color="{ACCENT}" stop-opacity="0"/></linearGradient>')
    body = (f'<rect width="{w}" height="{h}" fill="url(#bar)"/>'
            f'<rect width="{w}" height="1" fill="#FFFFFF" fill-opacity="0.12"/>'
            f'<rect width="{w}" height="1" y="1" fill="url(#line)" fill-opacity="0.5"/>')
    return svg(w, h, body, defs)


def slider_piece(part, w, h):
    w, h = int(w), int(h)
    groove = 6
    y = (h - groove) / 2
    if part == "left":
        shape = f'<rect x="2" y="{y}" width="{w + 10}" height="{groove}" rx="{groove / 2}" fill="#5B606A"/>'
    elif part == "right":
        shape = f'<rect x="-10" y="{y}" width="{w + 8}" height="{groove}" rx="{groove / 2}" fill="#5B606A"/>'
    else:
        shape = f'<rect x="0" y="{y}" width="{w}" height="{groove}" fill="#5B606A"/>'
    return svg(w, h, shape)


def thumb(w, h, state="normal"):
    w, h = int(w), int(h)
    cx, cy = w / 2, h / 2
    defs = rglow("halo", ACCENT, 0.6) + vgrad("knob", "#FFFFFF", "#D9DCE1")
    if state == "pressed":
        body = (f'<circle cx="{cx}" cy="{cy}" r="19" fill="url(#halo)"/>'
                f'<circle cx="{cx}" cy="{cy}" r="14" fill="{ACCENT}" stroke="#FFFFFF" stroke-width="3"/>')
    else:
        body = (f'<circle cx="{cx}" cy="{cy + 1.5}" r="14" fill="#000000" fill-opacity="0.35"/>'
                f'<circle cx="{cx}" cy="{cy}" r="13" fill="url(#knob)"/>'
                f'<circle cx="{cx}" cy="{cy}" r="5" fill="{ACCENT}"/>')
    return svg(w, h, body, defs)


def app_icon(size):
    n = int(size)
    defs = vgrad("face", ACCENT_HI, ACCENT_DEEP)
    gl = n * 0.62
    body = (f'<rect x="1" y="1" width="{n - 2}" height="{n - 2}" rx="{n * 0.22:.1f}" fill="url(#face)"/>'
            + place_glyph("play", n / 2 - gl / 2 + n * 0.02, n / 2 - gl / 2, gl, 1, ink="#F4F4F4"))
    return svg(n, n, body, defs)


KINDS = {
    "background": background, "square": square_button, "home": home_icon, "round": round_button,
    "button": text_button, "dialog": dialog, "panel": panel, "editbox": editbox, "checkbox": checkbox,
    "selector": selector, "arrow": arrow, "listicon": list_icon, "placeholder": placeholder,
    "spinner": spinner, "bar": player_bar, "slider": slider_piece, "thumb": thumb, "appicon": app_icon,
}


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    kind, *args = argv[1].split(":")
    if kind not in KINDS:
        sys.stderr.write(f"unknown image kind '{kind}'\n")
        return 2
    text = KINDS[kind](*args)
    with open(argv[2], "w", encoding="utf-8") as out:
        out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
