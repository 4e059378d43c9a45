#!/usr/bin/env python3
"""Writes the skin.xml of each resolution folder of the default theme.

    scripts/make_skins.py [theme-folder]

The layout of each screen class lives in LAYOUTS below; the button looks (styles, fonts, image
names) are shared. Edit here and run again rather than editing the three skin.xml files by hand;
scripts/check_theme.py checks the result.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

FAMILY = "DejaVu Sans"
INK = (248, 250, 252)
MUTED = (148, 163, 184)
KEY = (255, 0, 255)  # transparent colour of button images: not used in any image

# Styles of a status button: (border width, border colour, brush colour)
STYLES = {
    ("focused", "pressed"): (2, (56, 189, 248), (44, 62, 88)),
    ("focused", "unpressed"): (2, (56, 189, 248), (28, 42, 64)),
    ("not_focused", "pressed"): (1, (100, 116, 139), (44, 62, 88)),
    ("not_focused", "unpressed"): (1, (36, 50, 74), (21, 32, 51)),
}
PLACE_STYLE = (0, (43, 59, 85), (22, 32, 51))

# Button id -> images per kind: (on, off, disabled, third-state kind, third image)
STATUS_IMAGES = {
    "connections": ("connection", "connection_des", "connection_dis", None, None),
    "band": ("3g", "2g", "2g_dis", "auto", "auto"),
    "hide": ("hide", "hide", "hide", None, None),
    "refresh": ("refresh", "refresh", "refresh", None, None),
    "wifi": ("wifi", "wifi_des", "wifi_dis", None, None),
    "bt": ("bluetooth", "bluetooth_des", "bluetooth_dis", "discoverable", "bluetooth_discoverable"),
    "speaker": ("speaker", "speaker_des", "speaker_dis", "vibrate", "speaker_vibrate"),
    "phone": ("mobilephone", "mobilephone_des", "mobilephone_dis", None, None),
}
# The buttons of the option popups show one image whatever their state.
FIXED_IMAGES = {
    "places": "places", "settings": "settings", "add_place": "add_place", "assign_place": "assign_place",
    "schedule": "schedule", "actions": "actions", "lock": "lock", "unlock": "unlock",
    "time_limit_none": "time_none", "time_limit_1": "time_1", "time_limit_5": "time_5",
    "time_limit_10": "time_10", "time_limit_30": "time_30", "time_limit_60": "time_60",
    "time_limit_120": "time_120", "time_limit_custom": "time_custom",
    "cancel": "cancel", "cancel_small": "cancel", "action_delete": "action_delete", "action_edit": "action_edit",
}
# Order of the status buttons in the flow from the bottom left (creation order of the window).
FLOW = ["connections", "band", "hide", "refresh", "wifi", "bt", "speaker", "phone"]
BUTTON_IDS = ["place", "places", "connections", "band", "hide", "refresh", "wifi", "bt", "speaker", "phone",
              "settings", "add_place", "assign_place", "schedule", "actions", "lock", "unlock",
              "time_limit_none", "time_limit_1", "time_limit_5", "time_limit_10", "time_limit_30",
              "time_limit_60", "time_limit_120", "time_limit_custom", "cancel", "action_delete", "action_edit",
              "cancel_small"]

# Inside a button: status text band at the top, the image below it.
BUTTON_60 = dict(w=60, h=65, text=(0, 2, 60, 14), text_size=10, image=(8, 18, 44, 44))
BUTTON_40 = dict(w=40, h=45, text=(0, 1, 40, 11), text_size=8, image=(5, 13, 30, 30))


def L(**kw):
    return kw


# Geometry per screen class. Everything in window pixels except the place panel's parts, which are
# relative to the panel. "bars" gives the top-left of each bar symbol; the symbol is sym_w x sym_h
# and the fill sits inside it.
LAYOUTS = {
    "qvga": {
        "portrait": L(screen=(240, 320), button=BUTTON_60, small="", baseline=25,
                      background=("mainwindow_bg.jpg", 240, 320),
                      panel=(4, 4, 232, 88), panel_image="panel_place.png", place=(10, 20, 48),
                      title=(66, 8, 162, 18, 13), infos=[(66, 30), (66, 46), (150, 30), (150, 46)], info=(80, 14, 10),
                      down=(40, 96, 160, 18, 12), scale=1, battery=(10, 97), signal=(210, 97),
                      battery_pct=(32, 117, 40, 18), signal_pct=(168, 117, 40, 18), mode="image"),
        "landscape": L(screen=(320, 240), button=BUTTON_40, small="small_", baseline=25,
                       background=("mainwindow_bg_landscape.jpg", 320, 240),
                       panel=(4, 4, 312, 80), panel_image="panel_place_landscape.png", place=(10, 16, 48),
                       title=(66, 6, 240, 18, 13), infos=[(66, 28), (66, 44), (190, 28), (190, 44)], info=(116, 14, 10),
                       down=(40, 88, 240, 18, 12), scale=1, battery=(10, 92), signal=(290, 92),
                       battery_pct=(32, 110, 40, 18), signal_pct=(248, 110, 40, 18), mode="image"),
    },
    "vga": {
        "portrait": L(screen=(480, 640), button=BUTTON_60, small="", baseline=50,
                      background=("mainwindow_bg.jpg", 480, 640),
                      panel=(8, 8, 464, 150), panel_image="panel_place.png", place=(16, 27, 96),
                      title=(126, 14, 326, 30, 22), infos=[(126, 58), (126, 90), (300, 58), (300, 90)], info=(160, 26, 17),
                      down=(16, 170, 448, 30, 20), scale=2, battery=(20, 218), signal=(420, 218),
                      battery_pct=(66, 240, 80, 30), signal_pct=(334, 240, 80, 30), mode="image"),
        "landscape": L(screen=(640, 480), button=BUTTON_60, small="", baseline=50,
                       background=("mainwindow_bg_landscape.jpg", 640, 480),
                       panel=(8, 8, 624, 130), panel_image="panel_place_landscape.png", place=(16, 17, 96),
                       title=(126, 12, 480, 30, 22), infos=[(126, 52), (126, 84), (360, 52), (360, 84)], info=(220, 26, 17),
                       down=(16, 148, 608, 30, 20), scale=2, battery=(20, 200), signal=(580, 200),
                       battery_pct=(66, 222, 80, 30), signal_pct=(494, 222, 80, 30), mode="image"),
    },
    "square": {
        "square": L(screen=(240, 240), button=BUTTON_40, small="", baseline=25,
                    background=("mainwindow_bg.jpg", 480, 480),
                    panel=(4, 4, 232, 66), panel_image="panel_place.png", place=(9, 9, 48),
                    title=(64, 6, 164, 16, 12), infos=[(64, 26), (64, 42), (150, 26), (150, 42)], info=(82, 13, 9),
                    down=(8, 73, 224, 16, 11), scale=1, battery=(96, 100), signal=(206, 100),
                    battery_pct=(118, 110, 36, 18), signal_pct=(166, 110, 36, 18), mode="gradient"),
    },
}


def rgb(c, indent):
    return f'{indent}<rgb r="{c[0]}" g="{c[1]}" b="{c[2]}"/>\n'


def font(size, bold, colour, indent):
    return (f'{indent}<font family="{FAMILY}" fontsize="{size}" fontbold="{700 if bold else 400}">\n'
            + rgb(colour, indent + "  ") + f"{indent}</font>\n")


def position(x, y, w, h, indent):
    return f'{indent}<position x="{x}" y="{y}" cx="{w}" cy="{h}"/>\n'


def image(kind, name, rect, indent, key=True):
    attrs = "".join(f' {a}="{v}"' for a, v in zip(("x", "y", "cx", "cy"), rect))
    if key:
        attrs += f' r="{KEY[0]}" g="{KEY[1]}" b="{KEY[2]}"'
    return f'{indent}<image id="{kind}"{attrs}>{name}</image>\n'


def states(style_of, indent):
    out = ""
    for focus in ("focused", "not_focused"):
        out += f'{indent}<state id="{focus}">\n'
        for press in ("pressed", "unpressed"):
            width, border, brush = style_of(focus, press)
            out += (f'{indent}  <border_color id="{press}" width="{width}">\n' + rgb(border, indent + "    ")
                    + f'{indent}  </border_color>\n')
        for press in ("pressed", "unpressed"):
            out += f'{indent}  <brush id="{press}">\n' + rgb(style_of(focus, press)[2], indent + "    ") + f"{indent}  </brush>\n"
        out += f"{indent}</state>\n"
    return out


def button(bid, x, y, geo, images, autolocate, indent, border=True, style_of=lambda f, p: STYLES[(f, p)]):
    i2 = indent + "  "
    out = (f'{indent}<button id="{bid}" border="{"yes" if border else "no"}" text="no" '
           f'autolocate="{"yes" if autolocate else "no"}" transparent="yes">\n')
    out += position(x, y, geo["w"], geo["h"], i2)
    tx, ty, tw, th = geo["text"]
    out += f"{i2}<TopTextSate>\n" + position(tx, ty, tw, th, i2 + "  ") + font(geo["text_size"], True, MUTED, i2 + "  ") + f"{i2}</TopTextSate>\n"
    for kind, name in images:
        out += image(kind, name, geo["image"] if name else (-1, -1, -1, -1), i2) if name else f'{i2}<image id="{kind}"></image>\n'
    out += states(style_of, i2)
    out += font(geo["text_size"], True, INK, i2)
    return out + f"{indent}</button>\n"


def status_images(bid, prefix):
    on, off, dis, third, third_image = STATUS_IMAGES[bid]
    p = lambda n: f"{prefix}{n}.png"
    imgs = [("on_pressed", p(on)), ("on_unpressed", p(on)), ("off_pressed", p(off)), ("off_unpressed", p(off)),
            ("disabled", p(dis)), ("overlay", "")]
    if third:
        imgs += [(f"{third}_pressed", p(third_image)), (f"{third}_unpressed", p(third_image))]
    return imgs


def place_button(lay, indent):
    i2, i3 = indent + "  ", indent + "    "
    px, py, pw, ph = lay["panel"]
    ix, iy, isz = lay["place"]
    tx, ty, tw, th, ts = lay["title"]
    iw, ih, isize = lay["info"]
    out = f'{indent}<button id="place" border="no" text="no" autolocate="no" transparent="yes">\n'
    out += position(px, py, pw, ph, i2)
    out += f"{i2}<TopTextSate>\n" + position(tx, ty, tw, th, i3) + font(ts, True, INK, i3) + f"{i2}</TopTextSate>\n"
    for kind in ("on_pressed", "on_unpressed", "off_pressed", "off_unpressed", "disabled"):
        out += image(kind, lay["panel_image"], (0, 0, pw, ph), i2)
    out += f'{i2}<image id="overlay"></image>\n'
    out += image("place", "unknown.png", (ix, iy, isz, isz), i2)
    out += image("background", lay["panel_image"], (0, 0, pw, ph), i2)
    for tid, (x, y) in zip(("lac_id", "cell_id", "mode", "lock"), lay["infos"]):
        out += (f'{i2}<ButtonText id="{tid}">\n' + position(x, y, iw, ih, i3)
                + font(isize, False, MUTED, i3) + f"{i2}</ButtonText>\n")
    out += states(lambda f, p: PLACE_STYLE, i2)
    out += font(ts, True, INK, i2)
    return out + f"{indent}</button>\n"


def bar(bid, lay, indent):
    i2, i3 = indent + "  ", indent + "    "
    s = lay["scale"]
    sx, sy = lay[bid]
    sym = (sx, sy, 20 * s, 38 * s)
    if bid == "battery":
        fill = (sx + 4 * s, sy + 7 * s, 12 * s, 28 * s)
        begin, end = (134, 239, 172), (22, 163, 74)
    else:
        fill = (sx + 4 * s, sy + 16 * s, 12 * s, 19 * s)
        begin, end = (125, 211, 252), (2, 132, 199)
    px, py, pw, ph = lay[bid + "_pct"]
    out = f'{indent}<bar id="{bid}" border="no" autolocate="no" mode="{lay["mode"]}">\n'
    out += position(*fill, i2)
    out += f'{i2}<border_color width="0">\n' + rgb((203, 213, 225), i3) + f"{i2}</border_color>\n"
    out += f'{i2}<gradient id="begin">\n' + rgb(begin, i3) + f"{i2}</gradient>\n"
    out += f'{i2}<gradient id="end">\n' + rgb(end, i3) + f"{i2}</gradient>\n"
    out += font(12 * s, True, INK, i2)
    out += image("bar", f"{bid}_bar.png", fill, i2, key=False)
    out += (f'{i2}<ButtonText id="percentage">\n' + position(px, py, pw, ph, i3)
            + font(12 * s, True, INK, i3) + f"{i2}</ButtonText>\n")
    if bid == "battery":
        out += image("AC", "battery_ac.png", sym, i2, key=False)
        out += image("battery", "battery.png", sym, i2, key=False)
    else:
        out += image("signal", "signal.png", sym, i2, key=False)
    return out + f"{indent}</bar>\n"


def orientation(oid, lay, indent):
    i2, i3 = indent + "  ", indent + "    "
    width, height = lay["screen"]
    geo = lay["button"]
    out = f'{indent}<orientation id="{oid}">\n'
    name, bw, bh = lay["background"]
    out += f'{i2}<image id="background" x="0" y="0" cx="{bw}" cy="{bh}">{name}</image>\n'
    dx, dy, dw, dh, ds = lay["down"]
    out += f"{i2}<DownTextSate>\n" + position(dx, dy, dw, dh, i3) + font(ds, True, (226, 232, 240), i3) + f"{i2}</DownTextSate>\n"
    out += bar("battery", lay, i2) + bar("signal", lay, i2)
    out += place_button(lay, i2)
    # the slots the flow layout gives the status buttons on this screen
    baseline, x = height - lay["baseline"], 0
    for bid in FLOW:
        if x > width - geo["w"]:
            baseline -= geo["h"]
            x = 0
        out += button(bid, x, baseline - geo["h"], geo, status_images(bid, lay["small"]), True, i2)
        x += geo["w"]
    # the popup buttons are 60 x 65 on every screen
    for bid in BUTTON_IDS:
        if bid in FIXED_IMAGES:
            img = f"{FIXED_IMAGES[bid]}.png"
            imgs = [(k, img) for k in ("on_pressed", "on_unpressed", "off_pressed", "off_unpressed", "disabled")]
            out += button(bid, 0, 0, BUTTON_60, imgs + [("overlay", "")], False, i2)
    return out + f"{indent}</orientation>\n"


def main():
    theme = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "resources", "themes", "default")
    for res, orients in LAYOUTS.items():
        out = '<?xml version="1.0" encoding="utf-8"?>\n<zentrova>\n'
        out += f'  <resolution id="{res}">\n'
        for oid, lay in orients.items():
            out += orientation(oid, lay, "    ")
        out += "  </resolution>\n</zentrova>\n"
        with open(os.path.join(theme, res, "skin.xml"), "w", encoding="utf-8", newline="\n") as f:
            f.write(out)
    print("skins written to", theme)


if __name__ == "__main__":
    main()
