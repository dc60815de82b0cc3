#!/usr/bin/env python3
"""Draws the skin of TSY-Player.

Writes every drawing as SVG and renders the pictures the program needs as bitmaps:

  art/<name>.svg     the drawing of each picture in images/ (kept for review and other tools)
  images/<name>.png  rendered from art/ with rsvg-convert (librsvg2-bin)
  images/logo.jpg    rendered from art/logo.svg, converted by ImageMagick's /usr/bin/convert
  vector/<name>.svg  the vector drawings the program draws itself (JUCE's SVG reader)

The build packs images/ and vector/ as committed; run this script only after changing the artwork
here (edit this file, not its outputs), then commit all three folders.

Design rules: one dark slate ink for glyphs, light blue-grey glass for button bodies (the program's
panels are 0xe6e9ec), fills on whole pixels so bitmap glyphs stay crisp, and in every "-down"
picture a darker, inset body with a darker glyph, so the pressed state reads at a glance.
"""

import math
import pathlib
import shutil
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
ART, IMAGES, VECTOR = HERE / "art", HERE / "images", HERE / "vector"

INK = "#3a4450"
INK_PRESSED = "#1c232c"
HEADER = "<!-- Drawn by kit/skin/draw-skin.py: edit the script, not this file. -->"


# ---------------------------------------------------------------------------------------------
# helpers

def svg(width, height, body, view=None):
    view = view or f"0 0 {width} {height}"
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n{HEADER}\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" viewBox="{view}">\n'
            f'{body}\n</svg>\n')


def linear(ident, y1, y2, *stops, x1=0, x2=0):
    """A vertical (or, with x1/x2, slanted) gradient in user space; stops are (offset, colour[, opacity])."""
    parts = []
    for stop in stops:
        offset, colour = stop[0], stop[1]
        opacity = f' stop-opacity="{stop[2]}"' if len(stop) > 2 else ""
        parts.append(f'<stop offset="{offset}" stop-color="{colour}"{opacity}/>')
    return (f'<linearGradient id="{ident}" gradientUnits="userSpaceOnUse" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}">'
            + "".join(parts) + "</linearGradient>")


def radial(ident, cx, cy, r, *stops):
    parts = []
    for stop in stops:
        offset, colour = stop[0], stop[1]
        opacity = f' stop-opacity="{stop[2]}"' if len(stop) > 2 else ""
        parts.append(f'<stop offset="{offset}" stop-color="{colour}"{opacity}/>')
    return (f'<radialGradient id="{ident}" gradientUnits="userSpaceOnUse" cx="{cx}" cy="{cy}" r="{r}">'
            + "".join(parts) + "</radialGradient>")


def polygon(points):
    return "M" + " L".join(f"{x:g} {y:g}" for x, y in points) + " Z"


def star(cx, cy, outer, inner, points=5):
    corners = []
    for i in range(points * 2):
        radius = outer if i % 2 == 0 else inner
        angle = math.pi * i / points - math.pi / 2
        corners.append((round(cx + radius * math.cos(angle), 3), round(cy + radius * math.sin(angle), 3)))
    return polygon(corners)


def gear(cx, cy, outer, inner, hole, teeth):
    """A toothed wheel with a round hole, for fill-rule evenodd."""
    corners = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        base = i * step - math.pi / 2
        for angle, radius in ((base - 0.30 * step, inner), (base - 0.17 * step, outer),
                              (base + 0.17 * step, outer), (base + 0.30 * step, inner)):
            corners.append((round(cx + radius * math.cos(angle), 3), round(cy + radius * math.sin(angle), 3)))
    return (polygon(corners)
            + f" M{cx + hole:g} {cy:g} A{hole:g} {hole:g} 0 1 0 {cx - hole:g} {cy:g}"
            + f" A{hole:g} {hole:g} 0 1 0 {cx + hole:g} {cy:g} Z")


def octagon(cx, cy, r):
    return polygon([(round(cx + r * math.cos(math.pi / 8 + i * math.pi / 4), 3),
                     round(cy + r * math.sin(math.pi / 8 + i * math.pi / 4), 3)) for i in range(8)])


def mirrored(path_points, width):
    return [(width - x, y) for x, y in path_points]


# ---------------------------------------------------------------------------------------------
# media buttons, 28 by 28, on the grey bottom bar

def triangle_right(x, top, bottom, tip):
    return [(x, top), (tip, (top + bottom) / 2), (x, bottom)]


MEDIA_GLYPHS = {
    "play": polygon(triangle_right(11, 8.5, 19.5, 20.5)),
    "pause": "M10 9 H13 V19 H10 Z M15 9 H18 V19 H15 Z",
    "next": polygon(triangle_right(9, 9, 19, 17)) + " M17 9 H19 V19 H17 Z",
    "prev": polygon(mirrored(triangle_right(9, 9, 19, 17), 28)) + " M9 9 H11 V19 H9 Z",
    "ffwd": polygon(triangle_right(7, 9, 19, 14)) + " " + polygon(triangle_right(14, 9, 19, 21)),
    "rwnd": polygon(mirrored(triangle_right(7, 9, 19, 14), 28)) + " "
            + polygon(mirrored(triangle_right(14, 9, 19, 21), 28)),
    # a bookmark ribbon with a notch, as set along the position slider
    "marker": "M10 7 H18 V21 L14 17.5 L10 21 Z",
    # "1:1": the digits as stems with a flag, the colon as two squares
    "originalsize": ("M9 9 H11 V19 H9 V11.6 L7.4 12.4 V10.4 Z"
                     " M13 11 H15 V13 H13 Z M13 15 H15 V17 H13 Z"
                     " M19 9 H21 V19 H19 V11.6 L17.4 12.4 V10.4 Z"),
    # a window whose left pane is shown
    "toggletab": "M6 7 H22 V21 H6 Z M12 9 H20 V19 H12 Z",
}


def media_button(glyph, pressed, glyph_fill=None, glyph_stroke=None, outline=False):
    """A glass disc with a glyph. glyph_fill/glyph_stroke colour a filled glyph; outline strokes
    the glyph's path instead of filling it."""
    if pressed:
        body = linear("body", 1.5, 26.5, (0, "#a9b4c0"), (1, "#dfe4ea"))
        ring, ink = "#4b5663", INK_PRESSED
    else:
        body = linear("body", 1.5, 26.5, (0, "#ffffff"), (0.55, "#eef1f4"), (1, "#d3dae2"))
        ring, ink = "#6f7b88", INK

    defs = [body,
            linear("gloss", 2, 13, (0, "#ffffff", 0.95), (1, "#ffffff", 0.0)),
            linear("inset", 1.5, 12, (0, "#000000", 0.3), (1, "#000000", 0.0))]
    if glyph_fill and glyph_fill.startswith("url("):
        defs.append(linear("glyph", 6.5, 22, (0, "#ffe27a"), (1, "#f2a400")))

    parts = [f"<defs>{''.join(defs)}</defs>",
             # the bar's light catching the lower rim
             '<circle cx="14" cy="14.75" r="13" fill="#ffffff" fill-opacity="0.45"/>',
             f'<circle cx="14" cy="14" r="12.5" fill="url(#body)" stroke="{ring}" stroke-width="1"/>']

    if pressed:
        parts.append('<circle cx="14" cy="14" r="12" fill="url(#inset)"/>')

    if outline:
        paint = f'fill="none" stroke="{{}}" stroke-width="1.7" stroke-linejoin="round"'
    else:
        paint = 'fill="{}" fill-rule="evenodd"'
        if glyph_stroke:
            paint += f' stroke="{glyph_stroke}" stroke-width="1" stroke-linejoin="round"'

    if not pressed:
        parts.append('<ellipse cx="14" cy="8.6" rx="9.2" ry="5.6" fill="url(#gloss)"/>')
        # an engraved look: the glyph's edge catches light one pixel below
        emboss = paint.format("#ffffff").replace(f' stroke="{glyph_stroke}"', ' stroke="#ffffff"')
        parts.append(f'<path d="{glyph}" {emboss} fill-opacity="0.75" stroke-opacity="0.75" transform="translate(0 1)"/>')

    parts.append(f'<path d="{glyph}" {paint.format(glyph_fill or ink)}/>')
    return svg(28, 28, "\n".join(parts))


def favourite_button(on, pressed):
    shape = star(14, 14.6, 7.8, 3.4)

    if on:
        return media_button(shape, pressed, glyph_fill="url(#glyph)", glyph_stroke="#9a6500")

    return media_button(star(14, 14.7, 7.2, 3.1), pressed, outline=True)


# ---------------------------------------------------------------------------------------------
# 16-pixel icons of the tree's special rows, and the small pictures

def icon_home():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("roof", 2, 9, (0, "#e8705a"), (1, "#b73b27"))
        + linear("wall", 7, 15, (0, "#ffffff"), (1, "#dde3e9")) + "</defs>",
        '<rect x="3.5" y="7.5" width="9" height="7" fill="url(#wall)" stroke="#5f6b78"/>',
        '<rect x="7" y="10" width="2" height="4.5" fill="#8a5a2b"/>',
        '<rect x="10.5" y="2.5" width="2" height="4" fill="#8f2a1c"/>',
        '<path d="M1.5 8.5 L8 2 L14.5 8.5" fill="url(#roof)" stroke="#8f2a1c" stroke-linejoin="round"'
        ' stroke-linecap="round"/>',
    ]))


def icon_close():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("box", 2, 14, (0, "#ffffff"), (1, "#d3dae2")) + "</defs>",
        '<rect x="2.5" y="2.5" width="11" height="11" rx="1.5" fill="url(#box)" stroke="#5f6b78"/>',
        f'<rect x="5" y="7" width="6" height="2" fill="{INK}"/>',
    ]))


def icon_download():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("arrow", 1, 11, (0, "#9be05a"), (1, "#4e9a06")) + "</defs>",
        f'<path d="M3 10 V13 H13 V10" fill="none" stroke="{INK}" stroke-width="2"/>',
        '<path d="M6.5 1.5 H9.5 V6.5 H12.5 L8 11 L3.5 6.5 H6.5 Z" fill="url(#arrow)" stroke="#2f6b04"'
        ' stroke-linejoin="round"/>',
    ]))


def icon_favorites():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("gold", 1, 15, (0, "#ffe27a"), (1, "#f2a400")) + "</defs>",
        f'<path d="{star(8, 8.6, 7, 2.95)}" fill="url(#gold)" stroke="#9a6500" stroke-linejoin="round"/>',
    ]))


def icon_manual():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("cover", 1, 15, (0, "#6f9bd6"), (1, "#2f5f9e")) + "</defs>",
        '<rect x="4.5" y="2.5" width="9" height="12" fill="#ffffff" stroke="#8a96a3"/>',
        '<rect x="2.5" y="1.5" width="9" height="12" rx="1" fill="url(#cover)" stroke="#234a7d"/>',
        '<rect x="4" y="2" width="1" height="11" fill="#234a7d" fill-opacity="0.6"/>',
        '<rect x="6" y="4" width="4" height="1" fill="#ffffff"/>',
        '<rect x="6" y="6" width="4" height="1" fill="#ffffff" fill-opacity="0.7"/>',
    ]))


def icon_preferences():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("steel", 1, 15, (0, "#b4bec9"), (1, "#5f6b78")) + "</defs>",
        f'<path d="{gear(8, 8, 7, 5.2, 2.2, 8)}" fill="url(#steel)" fill-rule="evenodd" stroke="#3d4752"'
        ' stroke-width="0.9" stroke-linejoin="round"/>',
    ]))


def present():
    return svg(16, 16, "\n".join([
        "<defs>" + linear("box", 5, 15, (0, "#ec6a5a"), (1, "#b8322a")) + "</defs>",
        '<rect x="2.5" y="7.5" width="11" height="7" fill="url(#box)" stroke="#86231b"/>',
        '<rect x="1.5" y="5.5" width="13" height="3" fill="#e85c4d" stroke="#86231b"/>',
        '<rect x="7" y="6" width="2" height="8" fill="#f8d35e"/>',
        '<path d="M8 5.5 C6.5 2 3.5 2.2 4 4 C4.3 5.1 6.3 5.5 8 5.5 C9.7 5.5 11.7 5.1 12 4'
        ' C12.5 2.2 9.5 2 8 5.5 Z" fill="#f8d35e" stroke="#b98a10" stroke-width="0.9"'
        ' stroke-linejoin="round"/>',
    ]))


def play_small():
    return svg(15, 15, "\n".join([
        "<defs>" + linear("disc", 1, 14, (0, "#79a8e0"), (1, "#2f63a6")) + "</defs>",
        '<circle cx="7.5" cy="7.5" r="6.5" fill="url(#disc)" stroke="#22508a"/>',
        '<path d="M6 4.5 L10.8 7.5 L6 10.5 Z" fill="#ffffff"/>',
    ]))


def tag_free_video():
    return svg(91, 14, "\n".join([
        "<defs>" + linear("tag", 0, 14, (0, "#ffbb5c"), (1, "#ee8616")) + "</defs>",
        '<path d="M7 0.5 H88.5 Q90.5 0.5 90.5 2.5 V11.5 Q90.5 13.5 88.5 13.5 H7 L0.8 7 Z"'
        ' fill="url(#tag)" stroke="#b85f08" stroke-linejoin="round"/>',
        '<circle cx="6.5" cy="7" r="1.4" fill="#ffffff" stroke="#b85f08" stroke-width="0.8"/>',
        '<text x="49.5" y="10.6" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold"'
        ' font-size="8.6" letter-spacing="0.9" fill="#ffffff">FREE VIDEO</text>',
    ]))


def title_button(kind, over):
    """The close, minimise and maximise balls of the title bar; the glyph shows under the mouse."""
    colours = {"close": ("#ff8a80", "#e8392c", "#b3261b", "#5a0b05"),
               "minimise": ("#ffe08a", "#f2b01e", "#b98208", "#5a3c00"),
               "maximise": ("#8fe39a", "#2fb547", "#1c8a30", "#0b4014")}
    light, base, ring, mark = colours[kind]
    glyphs = {"close": "M5 6 L9 10 M9 6 L5 10",
              "minimise": "M4.6 8 H9.4",
              "maximise": "M4.6 8 H9.4 M7 5.6 V10.4"}
    parts = ["<defs>" + radial("ball", 7, 10, 6.5, (0, light), (1, base))
             + linear("gloss", 2.5, 7, (0, "#ffffff", 0.9), (1, "#ffffff", 0.0)) + "</defs>",
             '<circle cx="7" cy="8.6" r="6" fill="#ffffff" fill-opacity="0.5"/>',
             f'<circle cx="7" cy="8" r="5.5" fill="url(#ball)" stroke="{ring}"/>',
             '<ellipse cx="7" cy="5.6" rx="3.6" ry="2.2" fill="url(#gloss)"/>']
    if over:
        parts.append(f'<path d="{glyphs[kind]}" fill="none" stroke="{mark}" stroke-width="1.4"'
                     ' stroke-linecap="round"/>')
    return svg(14, 16, "\n".join(parts))


def logo():
    return svg(200, 45, "\n".join([
        "<defs>" + linear("ground", 0, 45, (0, "#ffffff"), (1, "#e6e9ec"))
        + linear("badge", 6, 39, (0, "#6b7c8e"), (1, "#2e3742"))
        + linear("shine", 6, 22, (0, "#ffffff", 0.45), (1, "#ffffff", 0.0)) + "</defs>",
        '<rect width="200" height="45" fill="url(#ground)"/>',
        '<rect x="6.5" y="6.5" width="32" height="32" rx="7" fill="url(#badge)" stroke="#262e37"/>',
        '<path d="M10 10 H35 Q35 18 22 21 Q13 23 10 30 Z" fill="url(#shine)"/>',
        '<path d="M18 14.5 L31 22.5 L18 30.5 Z" fill="#ffffff"/>',
        '<rect x="7" y="35" width="31" height="3" rx="1.5" fill="#f08a1c"/>',
        f'<text x="47" y="27" font-family="DejaVu Sans" font-weight="bold" font-size="21" fill="{INK}"'
        ' letter-spacing="-0.3">TSY<tspan fill="#f08a1c">-</tspan><tspan font-weight="normal">Player</tspan></text>',
        '<text x="48" y="38.5" font-family="DejaVu Sans" font-size="7.4" letter-spacing="2.2"'
        ' fill="#6f7b88">TESSALY VIDEO COURSES</text>',
    ]))


# ---------------------------------------------------------------------------------------------
# vector drawings, 48 by 48 units (the tick-box lights 32 by 32), read by JUCE at run time

def slate(ident, top, bottom):
    return linear(ident, top, bottom, (0, "#7c8a99"), (1, "#2c3540"))


def vector(body, size=48):
    return svg(size, size, body)


def go_bottom(light, dark, outline):
    return vector("\n".join([
        "<defs>" + linear("fill", 4, 44, (0, light), (1, dark))
        + linear("shine", 4, 30, (0, "#ffffff", 0.55), (1, "#ffffff", 0.0)) + "</defs>",
        f'<path d="M17 4 H31 V20 H41 L24 37 L7 20 H17 Z" fill="url(#fill)" stroke="{outline}"'
        ' stroke-width="2" stroke-linejoin="round"/>',
        '<path d="M19.5 6.5 H28.5 V21 H35 L24 32 Z" fill="url(#shine)"/>',
        f'<rect x="7" y="39" width="34" height="6" rx="2" fill="url(#fill)" stroke="{outline}" stroke-width="2"/>',
    ]))


def speaker(extra):
    return vector("\n".join([
        "<defs>" + slate("body", 8, 40) + "</defs>",
        '<path d="M5 18 H13 L24 8 V40 L13 30 H5 Z" fill="url(#body)" stroke="#232a33" stroke-width="2"'
        ' stroke-linejoin="round"/>',
        extra,
    ]))


def arc(cx, cy, r, start, end):
    """An SVG arc from angle start to end in degrees, clockwise from the positive x axis."""
    a, b = math.radians(start), math.radians(end)
    x1, y1 = cx + r * math.cos(a), cy + r * math.sin(a)
    x2, y2 = cx + r * math.cos(b), cy + r * math.sin(b)
    large = 1 if (end - start) % 360 > 180 else 0
    return f"M{x1:.3f} {y1:.3f} A{r} {r} 0 {large} 1 {x2:.3f} {y2:.3f}"


def media_vector(shape):
    return vector("\n".join([
        "<defs>" + slate("body", 6, 42) + linear("shine", 6, 26, (0, "#ffffff", 0.5), (1, "#ffffff", 0.0))
        + "</defs>",
        f'<path d="{shape}" fill="url(#body)" stroke="#232a33" stroke-width="2" stroke-linejoin="round"/>',
    ]))


def led(on):
    if on:
        body = radial("lamp", 16, 13, 14, (0, "#eaffc4"), (0.45, "#7fd627"), (1, "#2f7d05"))
        return vector("\n".join([
            f"<defs>{body}" + radial("glow", 16, 16, 16, (0.6, "#8ee03a", 0.45), (1, "#8ee03a", 0.0))
            + linear("gloss", 5, 15, (0, "#ffffff", 0.85), (1, "#ffffff", 0.0)) + "</defs>",
            '<circle cx="16" cy="16" r="16" fill="url(#glow)"/>',
            '<circle cx="16" cy="16" r="11" fill="url(#lamp)" stroke="#2b6a07" stroke-width="1.5"/>',
            '<ellipse cx="16" cy="11" rx="7" ry="4.2" fill="url(#gloss)"/>',
        ]), 32)
    body = radial("lamp", 16, 13, 14, (0, "#fbfcfd"), (0.5, "#d6dce2"), (1, "#8d99a6"))
    return vector("\n".join([
        f"<defs>{body}" + linear("gloss", 5, 15, (0, "#ffffff", 0.9), (1, "#ffffff", 0.0)) + "</defs>",
        '<circle cx="16" cy="16" r="11" fill="url(#lamp)" stroke="#5d6b7a" stroke-width="1.5"/>',
        '<ellipse cx="16" cy="11" rx="7" ry="4.2" fill="url(#gloss)"/>',
    ]), 32)


VECTORS = {
    "go-bottom-green": lambda: go_bottom("#9be05a", "#4e9a06", "#2e5e04"),
    "go-bottom-blue": lambda: go_bottom("#93bdf0", "#3465a4", "#1f4a87"),
    "go-bottom-orange": lambda: go_bottom("#ffc865", "#e2780c", "#9c4a00"),

    "media-playback-start": lambda: media_vector("M12 6 L41 24 L12 42 Z"),
    "media-playback-pause": lambda: media_vector("M10 7 H20 V41 H10 Z M28 7 H38 V41 H28 Z"),
    "media-skip-forward": lambda: media_vector("M5 9 L21 24 L5 39 Z M21 9 L37 24 L21 39 Z M37 9 H43 V39 H37 Z"),
    "media-skip-backward": lambda: media_vector("M43 9 L27 24 L43 39 Z M27 9 L11 24 L27 39 Z M11 9 H5 V39 H11 Z"),

    "audio-volume-medium": lambda: speaker(
        f'<path d="{arc(24, 24, 8, -45, 45)} {arc(24, 24, 15, -45, 45)}" fill="none" stroke="{INK}"'
        ' stroke-width="3.5" stroke-linecap="round"/>'),
    "audio-volume-muted": lambda: speaker(
        '<path d="M31 18 L43 30 M43 18 L31 30" fill="none" stroke="#c8281c" stroke-width="4"'
        ' stroke-linecap="round"/>'),

    "process-stop": lambda: vector("\n".join([
        "<defs>" + linear("red", 3, 45, (0, "#f26d62"), (1, "#b3140f")) + "</defs>",
        f'<path d="{octagon(24, 24, 21)}" fill="url(#red)" stroke="#74100b" stroke-width="2" stroke-linejoin="round"/>',
        f'<path d="{octagon(24, 24, 17.5)}" fill="none" stroke="#ffffff" stroke-opacity="0.35" stroke-width="1.5"/>',
        '<path d="M16.5 16.5 L31.5 31.5 M31.5 16.5 L16.5 31.5" fill="none" stroke="#ffffff" stroke-width="5.5"'
        ' stroke-linecap="round"/>',
    ])),

    "list-remove": lambda: vector("\n".join([
        "<defs>" + linear("red", 18, 30, (0, "#f26d62"), (1, "#b3140f")) + "</defs>",
        '<rect x="6" y="18" width="36" height="12" rx="4" fill="url(#red)" stroke="#74100b" stroke-width="2"/>',
        '<rect x="9" y="20.5" width="30" height="3" rx="1.5" fill="#ffffff" fill-opacity="0.35"/>',
    ])),

    "system-search": lambda: vector("\n".join([
        "<defs>" + radial("lens", 17, 16, 15, (0, "#ffffff"), (1, "#b7cde6"))
        + linear("handle", 28, 44, (0, "#6b7785"), (1, "#232a33"), x1=28, x2=44) + "</defs>",
        '<path d="M28.5 28.5 L41 41" fill="none" stroke="url(#handle)" stroke-width="8" stroke-linecap="round"/>',
        '<circle cx="20" cy="20" r="14" fill="url(#lens)" stroke="#4d5966" stroke-width="4"/>',
        '<path d="M11.5 17 A9 9 0 0 1 19 11" fill="none" stroke="#ffffff" stroke-width="2.5" stroke-linecap="round"/>',
    ])),

    "go-home": lambda: vector("\n".join([
        "<defs>" + linear("roof", 5, 25, (0, "#ec7a62"), (1, "#b3361f"))
        + linear("wall", 20, 44, (0, "#ffffff"), (1, "#d6dde4")) + "</defs>",
        '<rect x="31" y="7" width="6" height="12" fill="#8f2a1c" stroke="#6b1c11" stroke-width="1.5"/>',
        '<rect x="10" y="21" width="28" height="22" fill="url(#wall)" stroke="#5f6b78" stroke-width="2"/>',
        '<rect x="20" y="29" width="9" height="14" fill="#9b6a3c" stroke="#6b4421" stroke-width="1.5"/>',
        '<path d="M3 25 L24 5 L45 25" fill="url(#roof)" stroke="#7d2315" stroke-width="2.5"'
        ' stroke-linejoin="round" stroke-linecap="round"/>',
    ])),

    "folder": lambda: vector("\n".join([
        "<defs>" + linear("back", 8, 42, (0, "#d9b25a"), (1, "#b38a2e"))
        + linear("front", 18, 42, (0, "#fbe29a"), (1, "#e0b24a")) + "</defs>",
        '<path d="M4 10 H18 L22 14 H44 V42 H4 Z" fill="url(#back)" stroke="#8a671c" stroke-width="2"'
        ' stroke-linejoin="round"/>',
        '<path d="M4 20 H44 V42 H4 Z" fill="url(#front)" stroke="#8a671c" stroke-width="2" stroke-linejoin="round"/>',
        '<path d="M6 22.5 H42" fill="none" stroke="#ffffff" stroke-opacity="0.6" stroke-width="1.5"/>',
    ])),

    "help-browser": lambda: vector("\n".join([
        "<defs>" + linear("disc", 4, 44, (0, "#84b2ea"), (1, "#2c5f9f")) + "</defs>",
        '<circle cx="24" cy="24" r="20" fill="url(#disc)" stroke="#1d4479" stroke-width="2"/>',
        '<path d="M17.5 18.5 A6.8 6.8 0 1 1 27.6 24.4 C25.3 25.7 24 27 24 30" fill="none" stroke="#ffffff"'
        ' stroke-width="5" stroke-linecap="round" stroke-linejoin="round"/>',
        '<circle cx="24" cy="37" r="3.2" fill="#ffffff"/>',
    ])),

    "applications-system": lambda: vector("\n".join([
        "<defs>" + linear("steel", 3, 45, (0, "#c9d1da"), (1, "#667382")) + "</defs>",
        f'<path d="{gear(24, 24, 21, 15.5, 6.5, 8)}" fill="url(#steel)" fill-rule="evenodd" stroke="#3d4752"'
        ' stroke-width="2" stroke-linejoin="round"/>',
        '<circle cx="24" cy="24" r="11" fill="none" stroke="#ffffff" stroke-opacity="0.4" stroke-width="2"/>',
    ])),

    "preferences-system": lambda: vector("\n".join([
        "<defs>" + linear("panel", 5, 43, (0, "#fbfcfd"), (1, "#cfd6de"))
        + linear("knob", 0, 1, (0, "#ffbf6b"), (1, "#e2780c")) + "</defs>",
        '<rect x="4" y="5" width="40" height="38" rx="4" fill="url(#panel)" stroke="#5f6b78" stroke-width="2"/>',
        f'<path d="M10 15 H38 M10 24 H38 M10 33 H38" fill="none" stroke="{INK}" stroke-width="2.5"'
        ' stroke-linecap="round"/>',
        '<circle cx="17" cy="15" r="4.5" fill="#f39a2e" stroke="#9c4a00" stroke-width="1.5"/>',
        '<circle cx="31" cy="24" r="4.5" fill="#f39a2e" stroke="#9c4a00" stroke-width="1.5"/>',
        '<circle cx="22" cy="33" r="4.5" fill="#f39a2e" stroke="#9c4a00" stroke-width="1.5"/>',
    ])),

    "document-save": lambda: vector("\n".join([
        "<defs>" + linear("disk", 5, 43, (0, "#6e98d4"), (1, "#2b5593")) + "</defs>",
        '<path d="M7 5 H37 L43 11 V41 Q43 43 41 43 H7 Q5 43 5 41 V7 Q5 5 7 5 Z" fill="url(#disk)"'
        ' stroke="#1c3d6e" stroke-width="2" stroke-linejoin="round"/>',
        '<rect x="13" y="5" width="20" height="13" fill="#d9dee4" stroke="#4d5966" stroke-width="1.5"/>',
        '<rect x="26" y="8" width="4" height="7" fill="#3a4450"/>',
        '<rect x="10" y="25" width="28" height="18" rx="1.5" fill="#ffffff" stroke="#9aa5b1" stroke-width="1.5"/>',
        '<path d="M14 31 H34 M14 36 H30" fill="none" stroke="#9aa5b1" stroke-width="1.5" stroke-linecap="round"/>',
    ])),

    "software-update-available": lambda: vector("\n".join([
        "<defs>" + linear("badge", 4, 44, (0, "#ffc865"), (1, "#e2780c")) + "</defs>",
        '<circle cx="24" cy="24" r="20" fill="url(#badge)" stroke="#9c4a00" stroke-width="2"/>',
        '<path d="M20.5 11 H27.5 V21 H33.5 L24 31 L14.5 21 H20.5 Z" fill="#ffffff" stroke-linejoin="round"/>',
        '<path d="M14 35 H34" fill="none" stroke="#ffffff" stroke-width="3.5" stroke-linecap="round"/>',
    ])),

    "led-on": lambda: led(True),
    "led-off": lambda: led(False),
}


# ---------------------------------------------------------------------------------------------

def pictures():
    result = {}
    for name, glyph in MEDIA_GLYPHS.items():
        result[f"{name}-norm"] = media_button(glyph, False)
        result[f"{name}-down"] = media_button(glyph, True)
    result["favorites-norm"] = favourite_button(False, False)
    result["favorites-down"] = favourite_button(False, True)
    result["favorites-on-norm"] = favourite_button(True, False)
    result["favorites-on-down"] = favourite_button(True, True)
    result.update({
        "icon-home": icon_home(), "icon-close": icon_close(), "icon-download": icon_download(),
        "icon-favorites": icon_favorites(), "icon-manual": icon_manual(),
        "icon-preferences": icon_preferences(), "present": present(),
        "play-small": play_small(), "tag-free-video": tag_free_video(),
    })
    for kind in ("close", "minimise", "maximise"):
        result[f"mac-{kind}-normal"] = title_button(kind, False)
        result[f"mac-{kind}-over"] = title_button(kind, True)
    return result


def write(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text, encoding="utf-8")


def main():
    rsvg = shutil.which("rsvg-convert")
    convert = pathlib.Path("/usr/bin/convert")  # /usr/local/bin/convert may be a stand-in
    if rsvg is None or not convert.exists():
        sys.exit("draw-skin.py needs rsvg-convert (librsvg2-bin) and /usr/bin/convert (imagemagick)")

    IMAGES.mkdir(parents=True, exist_ok=True)
    for name, text in pictures().items():
        write(ART / f"{name}.svg", text)
        subprocess.run([rsvg, "-f", "png", "-o", str(IMAGES / f"{name}.png"), str(ART / f"{name}.svg")], check=True)

    write(ART / "logo.svg", logo())
    flat = ART / "logo.tmp.png"
    subprocess.run([rsvg, "-f", "png", "-b", "#ffffff", "-o", str(flat), str(ART / "logo.svg")], check=True)
    subprocess.run([str(convert), str(flat), "-strip", "-quality", "93", "-sampling-factor", "1x1",
                    str(IMAGES / "logo.jpg")], check=True)
    flat.unlink()

    for name, draw in VECTORS.items():
        write(VECTOR / f"{name}.svg", draw())

    print(f"drew {len(pictures()) + 1} pictures and {len(VECTORS)} drawings in {HERE}")


if __name__ == "__main__":
    main()
