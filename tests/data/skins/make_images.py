#!/usr/bin/env python3
"""Writes the tiny images of the test skin (plain shapes in a few colours) into each resolution
folder. Run once; the PNGs are kept beside the skin files."""
import struct
import sys
import zlib
from pathlib import Path


def png(path, width, height, pixel):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y, width, height)) for x in range(width))
                    for y in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
                     + chunk(b"IEND", b""))


def disc(colour, ring=(255, 255, 255)):
    def pixel(x, y, w, h):
        dx, dy = x - w / 2 + 0.5, y - h / 2 + 0.5
        r2 = dx * dx + dy * dy
        edge = (min(w, h) / 2 - 2) ** 2
        if r2 > edge:
            return (255, 255, 255)
        if r2 > edge * 0.7:
            return ring if ring != (255, 255, 255) else tuple(max(c - 60, 0) for c in colour)
        return colour
    return pixel


def vertical(top, bottom):
    def pixel(x, y, w, h):
        t = y / max(h - 1, 1)
        return tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
    return pixel


def battery_symbol(plug):
    def pixel(x, y, w, h):
        body = 3 <= x < w - 3 and 4 <= y < h - 1
        cap = w // 2 - 3 <= x < w // 2 + 3 and 1 <= y < 4
        if plug and w // 2 - 2 <= x < w // 2 + 2 and h // 3 <= y < 2 * h // 3:
            return (250, 200, 0)
        return (60, 60, 60) if body or cap else (255, 255, 255)
    return pixel


def antenna(x, y, w, h):
    return (60, 60, 60) if (abs(x - w // 2) <= 1 and y > h // 3) or (y < h // 3 and abs(x - w // 2) <= (h // 3 - y)) \
        else (255, 255, 255)


def make(folder, button):
    folder.mkdir(parents=True, exist_ok=True)
    png(folder / "battery.png", 16, 64, vertical((40, 200, 40), (200, 40, 40)))
    png(folder / "signal.png", 16, 64, vertical((40, 120, 220), (40, 200, 200)))
    png(folder / "question.png", 16, 16, disc((200, 200, 40)))
    png(folder / "symbol_battery.png", 20, 28, battery_symbol(False))
    png(folder / "symbol_ac.png", 20, 28, battery_symbol(True))
    png(folder / "symbol_signal.png", 20, 28, antenna)
    png(folder / "background.png", 8, 32, vertical((235, 242, 255), (190, 210, 240)))
    png(folder / "unknown.png", 48, 48, disc((150, 150, 255)))
    states = {"": (40, 170, 60), "_des": (160, 160, 160), "_dis": (215, 215, 215)}
    for name in ("connection", "wifi", "bluetooth", "speaker", "mobilephone"):
        for suffix, colour in states.items():
            png(folder / f"{name}{suffix}.png", button, button, disc(colour))
    png(folder / "bluetooth_discoverable.png", button, button, disc((40, 120, 220)))
    png(folder / "speaker_vibrate.png", button, button, disc((220, 140, 40)))
    png(folder / "2g.png", button, button, disc((120, 80, 200)))
    png(folder / "3g.png", button, button, disc((200, 80, 160)))
    png(folder / "auto.png", button, button, disc((80, 160, 200)))
    png(folder / "2g_dis.png", button, button, disc((215, 215, 215)))
    png(folder / "hide.png", button, button, disc((90, 90, 120)))
    png(folder / "refresh.png", button, button, disc((60, 150, 150)))


if __name__ == "__main__":
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent / "default")
    make(root / "vga", 40)
    make(root / "qvga", 28)
    make(root / "square", 28)
