#!/usr/bin/env python3
"""Checks that every theme under a themes folder is complete and usable.

    scripts/check_theme.py <themes-folder>

For each theme (a folder holding qvga, vga and square) and each of its resolution folders:
- skin.xml parses and holds the window element of every orientation the program reads on that
  screen class (qvga and vga: portrait and landscape; square: square);
- each window element has its background, bottom text, both bars with the children the bar kind
  reads, and every button id with the attributes and children its kind reads; colours and fonts
  carry all their attributes;
- everything lies on the screen: panel, texts and bars stay clear of the rows of status buttons
  that the window lays out from the bottom left, and each button's image fits inside the button;
- every image the skin names, every image the buttons and the window fall back to, and the image
  of every place a new installation creates exists in every resolution folder, is a real PNG or
  JPEG, and has the size the skin draws it at.
Exit status 1 and one line per fault when anything is wrong.
"""
import glob
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

RESOLUTIONS = {
    # folder: (orientation ids read, screens of that class as (orientation, width, height))
    "qvga": (["portrait", "landscape"], [("portrait", 240, 320), ("landscape", 320, 240)]),
    "vga": (["portrait", "landscape"], [("portrait", 480, 640), ("landscape", 640, 480)]),
    "square": (["square"], [("square", 240, 240), ("square", 480, 480)]),
}
BUTTON_IDS = ["place", "places", "connections", "band", "hide", "refresh", "wifi", "bt", "speaker", "phone",
              "settings", "add_place", "assign_place", "schedule", "actions", "lock", "unlock",
              "time_limit_none", "time_limit_1", "time_limit_5", "time_limit_10", "time_limit_30",
              "time_limit_60", "time_limit_120", "time_limit_custom", "cancel", "action_delete", "action_edit"]
# Status buttons laid out by the window, in its creation order.
FLOW = ["connections", "band", "hide", "refresh", "wifi", "bt", "speaker", "phone"]
IMAGE_KINDS = ["on_pressed", "on_unpressed", "off_pressed", "off_unpressed", "disabled", "overlay"]
THIRD_STATE = {"band": "auto", "bt": "discoverable", "speaker": "vibrate"}
# Files the program loads by name when the skin gives none, or as a fallback.
DEFAULT_FILES = [
    "connection.png", "connection_dis.png", "connection_des.png",
    "2g.png", "2g_dis.png", "3g.png", "auto.png", "hide.png", "refresh.png",
    "wifi.png", "wifi_dis.png", "wifi_des.png",
    "bluetooth.png", "bluetooth_dis.png", "bluetooth_des.png", "bluetooth_discoverable.png",
    "speaker.png", "speaker_dis.png", "speaker_des.png", "speaker_vibrate.png",
    "mobilephone.png", "mobilephone_dis.png", "mobilephone_des.png",
    "battery.png", "signal.png", "question.png", "unknown.png", "place_unknown.png", "mainwindow_bg.jpg",
]


class Checker:
    def __init__(self):
        self.faults = []

    def fault(self, where, msg):
        self.faults.append(f"{where}: {msg}")


def image_size(path):
    """(width, height) of a PNG or baseline/progressive JPEG, or None when it is neither."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR":
        return struct.unpack(">II", data[16:24])
    if data[:2] == b"\xff\xd8":
        i = 2
        while i + 9 < len(data):
            if data[i] != 0xFF:
                return None
            marker = data[i + 1]
            length = struct.unpack(">H", data[i + 2:i + 4])[0]
            if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
                h, w = struct.unpack(">HH", data[i + 5:i + 9])
                return w, h
            i += 2 + length
    return None


def num(el, attr):
    m = re.match(r"\s*(-?\d+)", el.get(attr, "")) if el is not None else None
    return int(m.group(1)) if m else None


def rect(el):
    return tuple(num(el, a) for a in ("x", "y", "cx", "cy"))


def overlaps(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    return ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah


def flow_slots(orient, width, height):
    """Where the window puts the status buttons on this screen: (slots by id, top of the rows)."""
    if orient == "portrait":
        bw, bh, high = 60, 65, height == 640
    elif orient == "landscape":
        high = height == 480
        bw, bh = (60, 65) if high else (40, 45)
    else:
        bw, bh, high = 40, 45, False
    # The soft-key bar (26 px) takes the bottom of the screen; rows are counted from above it.
    baseline, x, slots = height - 26 - (50 if high else 25), 0, {}
    for bid in FLOW:
        if x > width - bw:
            baseline -= bh
            x = 0
        slots[bid] = (x, baseline - bh, bw, bh)
        x += bw
    return slots


class SkinCheck:
    def __init__(self, checker, folder, res):
        self.c, self.folder, self.res = checker, folder, res
        self.images = {}  # file name -> list of (where, (cx, cy))

    def need(self, el, path, where):
        found = el.find(path)
        if found is None:
            self.c.fault(where, f"missing {path}")
        return found

    def attrs(self, el, names, where):
        for a in names:
            if el.get(a) is None:
                self.c.fault(where, f'<{el.tag}> lacks attribute "{a}"')

    def colour(self, el, where):
        if el is None:
            return
        self.attrs(el, ("r", "g", "b"), where)
        for a in ("r", "g", "b"):
            v = num(el, a)
            if v is not None and not 0 <= v <= 255:
                self.c.fault(where, f'colour {a}="{el.get(a)}" out of 0-255')

    def font(self, el, where, required=True):
        if el is None:
            if required:
                self.c.fault(where, "missing font")
            return
        self.attrs(el, ("family", "fontsize", "fontbold"), where)
        if (num(el, "fontsize") or 0) <= 0:
            self.c.fault(where, "font size must be positive")
        self.colour(el.find("rgb"), where + " font")

    def image(self, el, where, required_name=True, size_exact=True):
        if el is None:
            return
        name = (el.text or "").strip()
        if not name:
            if required_name:
                self.c.fault(where, f'image "{el.get("id")}" has no file name')
            return
        if el.get("r") is not None or el.get("g") is not None or el.get("b") is not None:
            self.colour(el, where)
        r = rect(el)
        self.images.setdefault(name, []).append((where, r[2:] if size_exact and None not in r else None))

    def on_screen(self, r, where, w, h):
        if None in r or r[2] <= 0 or r[3] <= 0:
            self.c.fault(where, f"position {r} incomplete")
            return False
        if r[0] < 0 or r[1] < 0 or r[0] + r[2] > w or r[1] + r[3] > h:
            self.c.fault(where, f"position {r} leaves the {w}x{h} screen")
        return True

    def button(self, b, bid, where, slot=None):
        self.attrs(b, ("border", "text", "autolocate", "transparent"), where)
        pos = self.need(b, "position", where)
        if pos is not None:
            r = rect(pos)
            if None in r:
                self.c.fault(where, "position incomplete")
            elif slot is not None and r[2:] != slot[2:]:
                self.c.fault(where, f"size {r[2]}x{r[3]} differs from the {slot[2]}x{slot[3]} the window gives it")
        bw, bh = (slot[2], slot[3]) if slot else ((rect(pos)[2], rect(pos)[3]) if pos is not None else (0, 0))
        top = b.find("TopTextSate")
        if top is not None:
            self.font(top.find("font"), where + " TopTextSate", required=False)
        kinds = list(IMAGE_KINDS)
        if bid in THIRD_STATE:
            kinds += [THIRD_STATE[bid] + "_pressed", THIRD_STATE[bid] + "_unpressed"]
        if bid == "place":
            kinds += ["place", "background"]
        for kind in kinds:
            img = self.need(b, f"image[@id='{kind}']", where)
            self.image(img, f"{where} image {kind}", required_name=kind != "overlay")
            if img is not None and (img.text or "").strip():
                r = rect(img)
                if None in r:
                    self.c.fault(where, f"image {kind} lacks x, y, cx or cy")
                elif r[0] != -1 and (r[0] < 0 or r[1] < 0 or r[0] + r[2] > bw or r[1] + r[3] > bh):
                    self.c.fault(where, f"image {kind} {r} does not fit the {bw}x{bh} button")
        for focus in ("focused", "not_focused"):
            for press in ("pressed", "unpressed"):
                bc = self.need(b, f"state[@id='{focus}']/border_color[@id='{press}']", where)
                if bc is not None:
                    self.attrs(bc, ("width",), where)
                    self.colour(self.need(bc, "rgb", where), where)
                self.colour(self.need(b, f"state[@id='{focus}']/brush[@id='{press}']/rgb", where), where)
        self.font(b.find("font"), where)
        if bid == "place":
            for tid in ("lac_id", "cell_id", "mode", "lock"):
                t = self.need(b, f"ButtonText[@id='{tid}']", where)
                if t is not None:
                    self.need(t, "position", where + " " + tid)
                    self.font(t.find("font"), where + " " + tid, required=False)

    def clear_of(self, r, slots, where):
        for bid, slot in slots.items():
            if overlaps(r, slot):
                self.c.fault(where, f'overlaps the status button "{bid}" at {slot}')

    def bar(self, win, bid, where, screen, slots):
        bar = self.need(win, f"bar[@id='{bid}']", where)
        if bar is None:
            return
        where = f"{where} bar {bid}"
        self.attrs(bar, ("border", "autolocate", "mode"), where)
        pos = self.need(bar, "position", where)
        if pos is not None and self.on_screen(rect(pos), where, *screen):
            self.clear_of(rect(pos), slots, where)
        bc = bar.find("border_color")
        if bc is not None:
            self.attrs(bc, ("width",), where)
            self.colour(bc.find("rgb"), where)
        if bar.get("mode") == "gradient":
            for g in ("begin", "end"):
                self.colour(self.need(bar, f"gradient[@id='{g}']/rgb", where), where)
        else:
            self.image(self.need(bar, "image[@id='bar']", where), where + " image bar")
        pct = self.need(bar, "ButtonText[@id='percentage']", where)
        if pct is not None:
            p = self.need(pct, "position", where + " percentage")
            if p is not None:
                self.on_screen(rect(p), where + " percentage", *screen)
        for kind in (("AC", "battery") if bid == "battery" else ("signal",)):
            img = self.need(bar, f"image[@id='{kind}']", where)
            self.image(img, f"{where} image {kind}")
            if img is not None and self.on_screen(rect(img), f"{where} image {kind}", *screen):
                self.clear_of(rect(img), slots, f"{where} image {kind}")

    def window(self, win, orient, screens):
        where = f"{self.res}/{orient}"
        # The layout must suit the smallest screen of the class.
        _, width, height = min(s for s in screens if s[0] == orient)
        slots = flow_slots(orient, width, height)
        bg = self.need(win, "image[@id='background']", where)
        self.image(bg, where + " background", size_exact=False)
        if bg is not None and None in rect(bg):
            self.c.fault(where, "background lacks x, y, cx or cy")
        down = self.need(win, "DownTextSate", where)
        if down is not None:
            p = self.need(down, "position", where + " DownTextSate")
            if p is not None and self.on_screen(rect(p), where + " DownTextSate", width, height):
                self.clear_of(rect(p), slots, where + " DownTextSate")
            self.font(down.find("font"), where + " DownTextSate")
        for bid in ("battery", "signal"):
            self.bar(win, bid, where, (width, height), slots)
        for bid in BUTTON_IDS:
            found = win.findall(f"button[@id='{bid}']")
            if len(found) != 1:
                self.c.fault(where, f'button "{bid}" appears {len(found)} times')
                continue
            b = found[0]
            self.button(b, bid, f"{where} button {bid}", slots.get(bid))
            if bid in slots and b.get("autolocate") == "no":
                self.c.fault(where, f'button "{bid}" must be laid out by the window (autolocate)')
            if bid == "place":
                p = b.find("position")
                if p is not None and self.on_screen(rect(p), where + " place", width, height):
                    self.clear_of(rect(p), slots, where + " current-place panel")

    def run(self):
        path = os.path.join(self.folder, "skin.xml")
        if not os.path.exists(path):
            self.c.fault(self.folder, "no skin.xml")
            return
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError as e:
            self.c.fault(path, f"does not parse: {e}")
            return
        if root.tag != "zentrova":
            self.c.fault(path, f'root element is "{root.tag}", not "zentrova"')
            return
        res = root.findall(f"resolution[@id='{self.res}']")
        if len(res) != 1:
            self.c.fault(path, f'needs exactly one resolution "{self.res}", has {len(res)}')
            return
        orients, screens = RESOLUTIONS[self.res]
        for orient in orients:
            wins = res[0].findall(f"orientation[@id='{orient}']")
            if len(wins) != 1:
                self.c.fault(path, f'needs exactly one orientation "{orient}", has {len(wins)}')
                continue
            self.window(wins[0], orient, screens)


def included_place_images(source_root):
    """Image names of the places the program creates on a new installation."""
    names = set()
    for pattern in ("app/*.cpp", "store/*.cpp", "core/*.cpp"):
        for f in glob.glob(os.path.join(source_root, pattern)):
            with open(f, encoding="utf-8", errors="replace") as fh:
                names.update(re.findall(r'"(place_[^"/\\]*\.png)"', fh.read()))
    return names


def check_theme(c, theme, extra_files):
    skins = {}
    for res in RESOLUTIONS:
        folder = os.path.join(theme, res)
        if not os.path.isdir(folder):
            c.fault(theme, f"no {res} folder")
            continue
        s = SkinCheck(c, folder, res)
        s.run()
        skins[res] = s
    for res, s in skins.items():
        # a skin's own images in its folder; the fallbacks and the included places in every folder
        for name in sorted(set(DEFAULT_FILES) | set(extra_files) | set(s.images)):
            path = os.path.join(s.folder, name)
            if not os.path.exists(path):
                c.fault(f"{res}/{name}", "missing")
                continue
            size = image_size(path)
            if size is None:
                c.fault(f"{res}/{name}", "is not a PNG or JPEG image")
                continue
            if not (8 <= size[0] <= 640 and 8 <= size[1] <= 640):
                c.fault(f"{res}/{name}", f"unlikely size {size[0]}x{size[1]}")
            if name.endswith(".png") and os.path.getsize(path) > 64 * 1024:
                c.fault(f"{res}/{name}", f"{os.path.getsize(path)} bytes: too large for an icon")
            for where, want in s.images.get(name, []):
                if want is not None and tuple(want) != tuple(size):
                    c.fault(where, f"draws {name} at {want[0]}x{want[1]} but the file is {size[0]}x{size[1]}")
        # every place_*.png is offered as a place image, side by side: square, one size per folder
        places = sorted(glob.glob(os.path.join(s.folder, "place_*.png")))
        sizes = {image_size(p) for p in places}
        if len(sizes) > 1 or any(w != h for w, h in sizes if sizes and None not in sizes):
            c.fault(res, f"place images are not all square of one size: {sorted(map(str, sizes))}")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    themes = os.path.abspath(sys.argv[1])
    source_root = os.path.dirname(os.path.dirname(themes))
    places = included_place_images(source_root)
    c = Checker()
    found = [d for d in sorted(os.listdir(themes)) if os.path.isdir(os.path.join(themes, d, "qvga"))
             or os.path.isdir(os.path.join(themes, d, "vga")) or os.path.isdir(os.path.join(themes, d, "square"))]
    if not found:
        c.fault(themes, "holds no theme")
    if "default" not in found:
        c.fault(themes, 'no "default" theme')
    if not places:
        c.fault(source_root, "found no included place images in the sources")
    for d in found:
        check_theme(c, os.path.join(themes, d), places)
    for f in c.faults:
        print("FAULT", f)
    print(f"checked {len(found)} theme(s): {len(c.faults)} fault(s)")
    return 1 if c.faults else 0


if __name__ == "__main__":
    sys.exit(main())
