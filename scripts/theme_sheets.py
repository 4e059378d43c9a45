#!/usr/bin/env python3
"""Contact sheets and panel mock-ups of a theme, for looking at it as a whole.

    scripts/theme_sheets.py [theme-folder] [output-folder]

For each resolution folder it writes theme_<folder>.png: every image of the folder, grouped by
device with its states side by side, each shown on a button cell of the size the panel gives it.
It also composites mock_<folder>_<orientation>.png: the window as the skin lays it out (background,
current-place panel, bars with a sample level, status buttons in the flow from the bottom left,
texts) at the screen sizes of each folder. Drawing is done by composing an SVG of the images and
rendering it with rsvg-convert.
"""
import base64
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

GROUPS = [
    ("Wi-Fi", ["wifi", "wifi_des", "wifi_dis"]),
    ("Bluetooth", ["bluetooth", "bluetooth_discoverable", "bluetooth_des", "bluetooth_dis"]),
    ("Speaker", ["speaker", "speaker_vibrate", "speaker_des", "speaker_dis"]),
    ("Phone", ["mobilephone", "mobilephone_des", "mobilephone_dis"]),
    ("Data", ["connection", "connection_des", "connection_dis"]),
    ("Band", ["3g", "2g", "auto", "2g_dis"]),
    ("Panel", ["hide", "refresh", "question"]),
    ("Place menu", ["places", "settings", "add_place", "assign_place", "schedule", "actions", "lock", "unlock"]),
    ("Time limit", ["time_none", "time_1", "time_5", "time_10", "time_30", "time_60", "time_120", "time_custom"]),
    ("Popup", ["cancel", "action_edit", "action_delete"]),
    ("Places", None),  # every place_*.png plus unknown.png
    ("Bars", ["battery", "battery_ac", "battery_bar", "signal", "signal_bar"]),
]
BG = "#0F1724"
CELL_BRUSH, CELL_LINE = "#152033", "#24324A"


def data_uri(path):
    kind = "jpeg" if path.endswith(".jpg") else "png"
    with open(path, "rb") as f:
        return f"data:image/{kind};base64," + base64.b64encode(f.read()).decode()


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] == b"\x89PNG\r\n\x1a\n":
        return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
    return None


def render(svg_text, out_png):
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False) as f:
        f.write(svg_text)
        name = f.name
    try:
        subprocess.run(["rsvg-convert", "-f", "png", "-o", out_png, name], check=True)
    finally:
        os.unlink(name)


def text(x, y, s, size=11, color="#CBD5E1", weight="normal", anchor="start"):
    return (f'<text x="{x}" y="{y}" font-family="DejaVu Sans" font-size="{size}" font-weight="{weight}" '
            f'fill="{color}" text-anchor="{anchor}">{escape(s)}</text>')


def image(path, x, y, w=None, h=None):
    if w is None:
        w, h = png_size(path)
    return f'<image x="{x}" y="{y}" width="{w}" height="{h}" preserveAspectRatio="none" href="{data_uri(path)}"/>'


def contact_sheet(folder, out_png):
    files = sorted(os.listdir(folder))
    places = ["unknown"] + sorted(f[:-4] for f in files if f.startswith("place_") and f.endswith(".png"))
    small = any(f.startswith("small_") for f in files)
    cell_w = 112
    parts, y = [], 36
    parts.append(text(12, 24, f"theme: {os.path.basename(folder)}", 16, "#F8FAFC", "bold"))
    for title, names in GROUPS:
        if names is None:
            names = places
        parts.append(text(12, y + 14, title, 12, "#F8FAFC", "bold"))
        y += 22
        row_h = 0
        x = 12
        for n in names:
            path = os.path.join(folder, n + ".png")
            if not os.path.exists(path):
                parts.append(text(x, y + 20, f"MISSING {n}", 11, "#F87171"))
                x += cell_w
                continue
            w, h = png_size(path)
            cw, ch = max(w + 16, 60), h + 16
            parts.append(f'<rect x="{x}" y="{y}" width="{cw}" height="{ch}" rx="4" fill="{CELL_BRUSH}" stroke="{CELL_LINE}"/>')
            parts.append(image(path, x + (cw - w) / 2, y + 8))
            sx = x + cw + 4
            if small and os.path.exists(os.path.join(folder, "small_" + n + ".png")):
                sp = os.path.join(folder, "small_" + n + ".png")
                sw, sh = png_size(sp)
                parts.append(f'<rect x="{sx}" y="{y}" width="{sw + 10}" height="{sh + 10}" rx="4" fill="{CELL_BRUSH}" stroke="{CELL_LINE}"/>')
                parts.append(image(sp, sx + 5, y + 5))
            parts.append(text(x, y + ch + 13, n, 9, "#94A3B8"))
            row_h = max(row_h, ch + 18)
            x += max(cell_w, cw + 50 if small else cw + 8)
            if x > 900:
                x, y = 12, y + row_h + 6
                row_h = 0
        y += row_h + 10
    width = 1000
    svg = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{y + 10}">'
           f'<rect width="100%" height="100%" fill="{BG}"/>' + "".join(parts) + "</svg>")
    render(svg, out_png)


# ---- Panel mock-up from the skin

def num(el, attr):
    v = el.get(attr) if el is not None else None
    m = re.match(r"\s*(\d+)", v or "")
    return int(m.group(1)) if m else -1


def rgb(el, default="#FFFFFF"):
    if el is None:
        return default
    return "#%02X%02X%02X" % (num(el, "r"), num(el, "g"), num(el, "b"))


FLOW = ["connections", "band", "hide", "refresh", "wifi", "bt", "speaker", "phone"]
SAMPLE_STATUS = {"connections": "on_unpressed", "band": "on_unpressed", "wifi": "on_unpressed",
                 "bt": "discoverable_unpressed", "speaker": "vibrate_unpressed", "phone": "off_unpressed",
                 "hide": "on_unpressed", "refresh": "on_unpressed"}
SAMPLE_TEXT = {"connections": "ON", "band": "3G", "wifi": "ON", "bt": "DISC.", "speaker": "VIBRATE", "phone": "OFF"}


def font_attrs(font):
    if font is None:
        return 12, "bold", "#FFFFFF"
    return num(font, "fontsize"), "bold" if num(font, "fontbold") >= 700 else "normal", rgb(font.find("rgb"))


def text_in(rect, s, font, anchor="middle"):
    x, y, w, h = rect
    size, weight, color = font_attrs(font)
    tx = x + w / 2 if anchor == "middle" else x
    return text(tx, y + h / 2 + size * 0.36, s, size, color, weight, anchor)


def pos(el):
    return tuple(num(el, a) for a in ("x", "y", "cx", "cy"))


def mock(folder, res_el, orient, width, height, out_png):
    win = res_el.find(f"orientation[@id='{orient}']")
    parts = []
    bg = win.find("image[@id='background']")
    parts.append(image(os.path.join(folder, bg.text.strip()), *pos(bg)))
    # buttons: standard size and baseline by screen class
    if orient == "portrait":
        bw, bh, kind2 = 60, 65, height == 640
    elif orient == "landscape":
        bw, bh, kind2 = (60, 65, True) if height == 480 else (40, 45, False)
        kind2 = height == 480
    else:
        bw, bh, kind2 = 40, 45, False
    baseline = height - (50 if kind2 else 25)
    x = 0
    placed = {}
    for bid in FLOW:
        if x > width - bw:
            baseline -= bh
            x = 0
        placed[bid] = (x, baseline - bh, bw, bh)
        x += bw
    top_of_rows = min(r[1] for r in placed.values())
    # current-place panel
    place = win.find("button[@id='place']")
    px, py, pw, ph = pos(place.find("position"))
    pbg = place.find("image[@id='background']")
    parts.append(image(os.path.join(folder, pbg.text.strip()), px + num(pbg, "x"), py + num(pbg, "y"), num(pbg, "cx"), num(pbg, "cy")))
    pim = place.find("image[@id='place']")
    parts.append(image(os.path.join(folder, "place_home.png"), px + num(pim, "x"), py + num(pim, "y"), num(pim, "cx"), num(pim, "cy")))
    top = place.find("TopTextSate")
    tx, ty, tw, th = pos(top.find("position"))
    parts.append(text_in((px + tx, py + ty, tw, th), "Home (08:00-18:00)", top.find("font"), "start"))
    for tid, s in [("lac_id", "LAC 1F2A"), ("cell_id", "CELL 0B7C41"), ("mode", "CELL MODE"), ("lock", "LOCK OFF")]:
        bt = place.find(f"ButtonText[@id='{tid}']")
        bx, by, bw2, bh2 = pos(bt.find("position"))
        parts.append(text_in((px + bx, py + by, bw2, bh2), s, bt.find("font"), "start"))
    down = win.find("DownTextSate")
    parts.append(text_in(pos(down.find("position")), "Week days: office hours", down.find("font"), "start"))
    # bars
    for bar_id, symbol_id, level in [("battery", "battery", 72), ("signal", "signal", 58)]:
        bar = win.find(f"bar[@id='{bar_id}']")
        sym = bar.find(f"image[@id='{symbol_id}']")
        parts.append(image(os.path.join(folder, sym.text.strip()), *pos(sym)))
        bx, by, bw2, bh2 = pos(bar.find("position"))
        fill_h = bh2 * level / 100
        if bar.get("mode") == "gradient":
            b = rgb(bar.find("gradient[@id='begin']/rgb"))
            e = rgb(bar.find("gradient[@id='end']/rgb"))
            gid = "g" + bar_id
            parts.append(f'<defs><linearGradient id="{gid}" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{b}"/><stop offset="1" stop-color="{e}"/></linearGradient></defs>')
            parts.append(f'<rect x="{bx + 1}" y="{by + bh2 - fill_h}" width="{bw2 - 2}" height="{fill_h - 1}" fill="url(#{gid})"/>')
        else:
            im = bar.find("image[@id='bar']")
            ix, iy, iw, ih = pos(im)
            clip = f"c{bar_id}"
            parts.append(f'<defs><clipPath id="{clip}"><rect x="{ix}" y="{iy + ih - ih * level / 100}" width="{iw}" height="{ih * level / 100}"/></clipPath></defs>')
            parts.append(f'<g clip-path="url(#{clip})">' + image(os.path.join(folder, im.text.strip()), ix, iy, iw, ih) + "</g>")
        pct = bar.find("ButtonText[@id='percentage']")
        parts.append(text_in(pos(pct.find("position")), str(level), pct.find("font")))
    # status buttons
    for bid, (x, y, w, h) in placed.items():
        b = win.find(f"button[@id='{bid}']")
        style = b.find("state[@id='not_focused']")
        focused = bid == "wifi"
        if focused:
            style = b.find("state[@id='focused']")
        border = style.find("border_color[@id='unpressed']")
        brush = rgb(style.find("brush[@id='unpressed']/rgb"))
        bwid = num(border, "width")
        parts.append(f'<rect x="{x + bwid / 2}" y="{y + bwid / 2}" width="{w - bwid}" height="{h - bwid}" fill="{brush}" stroke="{rgb(border.find("rgb"))}" stroke-width="{bwid}"/>')
        im = b.find(f"image[@id='{SAMPLE_STATUS[bid]}']")
        ix, iy, iw, ih = pos(im)
        parts.append(image(os.path.join(folder, im.text.strip()), x + ix, y + iy, iw, ih))
        if bid in SAMPLE_TEXT:
            tt = b.find("TopTextSate")
            tx, ty, tw, th = pos(tt.find("position"))
            parts.append(text_in((x + tx, y + ty, tw, th), SAMPLE_TEXT[bid], tt.find("font")))
    svg = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}">'
           + "".join(parts) + "</svg>")
    render(svg, out_png)
    return top_of_rows


SCREENS = {"qvga": [("portrait", 240, 320), ("landscape", 320, 240)],
           "vga": [("portrait", 480, 640), ("landscape", 640, 480)],
           "square": [("square", 240, 240), ("square", 480, 480)]}


def main():
    theme = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "resources", "themes", "default")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "docs", "screenshots")
    os.makedirs(out, exist_ok=True)
    for res in ("qvga", "vga", "square"):
        folder = os.path.join(theme, res)
        contact_sheet(folder, os.path.join(out, f"theme_{res}.png"))
        skin = os.path.join(folder, "skin.xml")
        if not os.path.exists(skin):
            continue
        res_el = ET.parse(skin).getroot().find(f"resolution[@id='{res}']")
        for orient, w, h in SCREENS[res]:
            mock(folder, res_el, orient, w, h, os.path.join(out, f"mock_{res}_{w}x{h}.png"))
    for f in sorted(os.listdir(out)):
        if f.endswith(".png") and (f.startswith("theme_") or f.startswith("mock_")):
            subprocess.run(["optipng", "-quiet", "-o1", "-strip", "all", os.path.join(out, f)], check=True)
    print("sheets written to", out)


if __name__ == "__main__":
    main()
