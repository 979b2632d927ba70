#!/usr/bin/env python3
"""Contrast of each text of a window on its screenshot.

    contrast.py SHOT.png CAPTION < SHOWN_LOG

Reads the program's "layout<TAB>CAPTION<TAB>X Y W H<TAB>NEED_W NEED_H<TAB>TEXT"
lines for window CAPTION (client-area pixels, as the screenshot of that
window has them) and, in each text's rectangle, takes the most common colour
as what is behind the text and the text's colour as the ink that stands out
most from it (the 8th strongest pixel, so that a stray pixel does not
count). Prints one line per text with its contrast ratio (WCAG 2: relative
luminance, (L1 + 0.05) / (L2 + 0.05)); exits 1 when any is under 4.5.
"""
import collections
import subprocess
import sys


def read_ppm(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    fields, pos = [], 0
    while len(fields) < 4:  # P6 W H MAX, with comments skipped
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


def luminance(rgb):
    def channel(v):
        v /= 255
        return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(v) for v in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def ratio(a, b):
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def main():
    shot, caption = sys.argv[1], sys.argv[2]
    width, height, pixels = read_ppm(shot)
    worst, seen = None, 0
    for line in sys.stdin:
        parts = line.rstrip("\n").split("\t")
        if len(parts) != 5 or parts[0] != "layout" or parts[1] != caption:
            continue
        x, y, w, h = (int(v) for v in parts[2].split())
        need_h = int(parts[3].split()[1])
        text = parts[4]
        # Inside a control's frame and focus ring; a label is its text.
        inset = 5 if h >= need_h + 8 else 0
        if h > 2 * need_h + 16:  # a group box: its label at the top
            box = (x, y, x + int(parts[3].split()[0]), y + need_h + 2)
        else:
            box = (x + inset, y + inset, x + w - inset, y + h - inset)
        colours = collections.Counter()
        for py in range(max(box[1], 0), min(box[3], height)):
            row = py * width * 3
            for px in range(max(box[0], 0), min(box[2], width)):
                i = row + px * 3
                colours[(pixels[i], pixels[i + 1], pixels[i + 2])] += 1
        if not colours:
            print(f"{text!r}: outside the screenshot", file=sys.stderr)
            return 1
        back = colours.most_common(1)[0][0]
        ink = sorted((ratio(back, c) for c in colours.elements()), reverse=True)
        r = ink[min(7, len(ink) - 1)]
        print(f"{r:5.2f}  #{back[0]:02x}{back[1]:02x}{back[2]:02x} behind {text!r}")
        seen += 1
        worst = r if worst is None else min(worst, r)
    if seen == 0:
        print(f"no layout lines for {caption!r}", file=sys.stderr)
        return 1
    return 0 if worst >= 4.5 else 1


if __name__ == "__main__":
    sys.exit(main())
