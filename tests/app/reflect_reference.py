#!/usr/bin/python3
"""Independent reference of the reflection picture (Pillow + numpy), computed from the formulas.

Usage:
  reflect_reference.py INPUT OUTPUT.png [options]
  reflect_reference.py --batch JOBS      one run per line of JOBS (the arguments above, split as
                                         a shell would split them), the imports paid once

INPUT is any picture Pillow reads (its first frame); OUTPUT.png receives the composed result:
  - alpha kept (the default): RGBA, layer 0 and the reflection merged with Pillow's
    alpha_composite (colours under alpha 0 are 0);
  - --remove-alpha: RGB, every pixel the (flattened) colour of the topmost layer covering it, the
    background colour where no layer covers it.
The output spans the union of both layers; its top-left corner is the smaller of the two layers'
positions (layer 0 lies at 0, 0), printed on stdout as "origin X Y".

Options (the pipeline's values; the main window's controls map to them as noted):
  --position N       1 left, 2 top, 3 right, 4 bottom (default), 0 none
  --spacing N        pixels, -500..500 (default 0)
  --size N           per cent 0..100 (default 100) = 100 - size track bar
  --alpha-begin N    0..255 (default 255) = rnd((100 - t) * 255 / 100) of the first transparency t
  --alpha-end N      0..255 (default 0)   = the same of 100 - the second transparency
  --tran-begin T / --tran-end T   the two transparency track bars in per cent instead
  --colour-mode N    0 colour (default), 1 grey, 2 black and white
  --wave             apply the wave, with --amplitude N (10), --wave-length N (30), --phase N (0)
  --background RRGGBB   the swatch colour that --remove-alpha flattens onto (default FFFFFF)
  --remove-alpha     flatten both layers onto the background (alpha kept off)
  --view-background RRGGBB   the display view's background, which fills the widened canvas
                             under alpha 0 (default D4D0C8, the button face)
  --layers PREFIX    also write PREFIX0.png (layer 0) and PREFIX1.png (the reflection), both
                     RGBA, and PREFIX.txt with "x y" of each layer, one line each

Rounding: rnd is round half to even (Python's round); "div" is integer division.
"""

import argparse
import math
import sys

import numpy as np
from PIL import Image

# Ordered dither matrix, indexed [x mod 8][y mod 8].
DITHER = np.array([
    [0, 32, 8, 40, 2, 34, 10, 42],
    [48, 16, 56, 24, 50, 18, 58, 26],
    [12, 44, 4, 36, 14, 46, 6, 38],
    [60, 28, 52, 20, 62, 30, 54, 22],
    [3, 35, 11, 43, 1, 33, 9, 41],
    [51, 19, 59, 27, 49, 17, 57, 25],
    [15, 47, 7, 39, 13, 45, 5, 37],
    [63, 31, 55, 23, 61, 29, 53, 21],
], dtype=np.int32)

GREY_WEIGHTS = (21, 71, 8)  # red, green, blue per cent


def load(path):
    """The picture as (H x W x 3 uint8 colours, H x W uint8 alpha or None)."""
    img = Image.open(path)
    img.seek(0)
    has_alpha = img.mode in ("RGBA", "LA", "PA", "RGBa", "La") or "transparency" in img.info
    rgba = np.array(img.convert("RGBA"), dtype=np.uint8)
    return rgba[:, :, :3].copy(), (rgba[:, :, 3].copy() if has_alpha else None)


def transparency_to_alpha(t):
    return min(max(round((100 - t) * 255 / 100), 0), 255)


def resize_canvas(colour, alpha, position, spacing, view_bg):
    """Step 2: the widened (or cropped) canvas of layer 0."""
    h, w = colour.shape[:2]
    if position in (1, 3):
        nw, nh = 2 * w + spacing, h
    elif position in (2, 4):
        nw, nh = w, 2 * h + spacing
    else:
        return colour, alpha
    if nw <= 0 or nh <= 0 or (nw == w and nh == h):
        return colour, alpha
    # Left and top place the picture at the right or bottom, right and bottom at the left or top.
    ox = nw - w if position in (1, 2) else 0
    oy = nh - h if position in (1, 2) else 0
    out = np.empty((nh, nw, 3), dtype=np.uint8)
    out[:, :] = view_bg
    out_a = np.zeros((nh, nw), dtype=np.uint8)
    src_a = alpha if alpha is not None else np.full((h, w), 255, dtype=np.uint8)
    # The overlap of the picture placed at (ox, oy) with the new canvas.
    x0, y0 = max(ox, 0), max(oy, 0)
    x1, y1 = min(ox + w, nw), min(oy + h, nh)
    if x1 > x0 and y1 > y0:
        out[y0:y1, x0:x1] = colour[y0 - oy:y1 - oy, x0 - ox:x1 - ox]
        out_a[y0:y1, x0:x1] = src_a[y0 - oy:y1 - oy, x0 - ox:x1 - ox]
    return out, out_a


def reflection_position(position, spacing, w, h):
    """Step 3."""
    x = spacing + w if position in (0, 3) else 0
    y = spacing + h if position in (0, 4) else 0
    return x, y


def grey(colour):
    c = colour.astype(np.int32)
    wr, wg, wb = GREY_WEIGHTS
    return (wr * c[:, :, 0] + wg * c[:, :, 1] + wb * c[:, :, 2]) // 100


def to_grey(colour):
    g = grey(colour).astype(np.uint8)
    return np.repeat(g[:, :, None], 3, axis=2)


def to_black_and_white(colour):
    h, w = colour.shape[:2]
    level = grey(colour) >> 2
    near_white = (colour >= 251).all(axis=2)
    level = np.where(near_white, 64, level)
    ys, xs = np.mgrid[0:h, 0:w]
    white = level > DITHER[xs & 7, ys & 7]
    v = np.where(white, 255, 0).astype(np.uint8)
    return np.repeat(v[:, :, None], 3, axis=2)


def wave(channels, amplitude, wave_length, phase):
    """The ripple from the picture's centre (not reflective), on an H x W x C uint8 array."""
    if amplitude == 0 or wave_length == 0:
        return channels
    h, w = channels.shape[:2]
    phi = phase * math.pi / 180
    cx, cy = (w - 1) / 2, (h - 1) / 2
    hw, hh = w / 2, h / 2
    sx = sy = 1.0
    if hw < hh:
        sx = hh / hw
    elif hw > hh:
        sy = hw / hh
    ys, xs = np.mgrid[0:h, 0:w].astype(np.float64)
    dx = (xs - cx) * sx
    dy = (ys - cy) * sy
    r = np.sqrt(dx * dx + dy * dy)
    t = r / (2 * wave_length) * 2 * math.pi + phi
    d = amplitude * np.sin(t)
    u = (d + dx) / sx + cx
    v = (d + dy) / sy + cy
    i = np.clip(np.trunc(u), 0, max(w - 2, 0)).astype(np.int64)
    j = np.clip(np.trunc(v), 0, max(h - 2, 0)).astype(np.int64)
    fx = (u - np.floor(u))[:, :, None]
    fy = (v - np.floor(v))[:, :, None]
    src = channels.astype(np.float64)
    i1 = np.minimum(i + 1, w - 1)
    j1 = np.minimum(j + 1, h - 1)
    p00, p10 = src[j, i], src[j, i1]
    p01, p11 = src[j1, i], src[j1, i1]
    out = (1 - fy) * ((1 - fx) * p00 + fx * p10) + fy * ((1 - fx) * p01 + fx * p11)
    return np.trunc(out).astype(np.uint8)


def fade(alpha, position, a, b, z):
    """The linear fade of the reflection's alpha, lines nearest the picture kept."""
    h, w = alpha.shape
    if position not in (1, 2, 3, 4):
        return alpha
    length = w if position in (1, 3) else h
    s = (a - b) / (z * length / 100) if length != 0 and z != 0 else 0.0
    g = a + s
    loss = np.full(length, 255, dtype=np.int32)
    if position in (1, 2):
        cut = round((100 - z) * length / 100)
        order = [i for i in range(length - 1, -1, -1) if i >= cut]
    else:
        cut = round(z * length / 100)
        order = [i for i in range(length) if i <= cut]
    for i in order:
        g -= s
        loss[i] = 255 - min(max(round(g), 0), 255)
    k = loss[None, :] if position in (1, 3) else loss[:, None]
    return np.maximum(alpha.astype(np.int32) - k, 0).astype(np.uint8)


def flatten(colour, alpha, bg):
    """ch := bg + floor((ch - bg) * A / 256); nothing without alpha."""
    if alpha is None:
        return colour
    c = colour.astype(np.int32)
    bgv = np.array(bg, dtype=np.int32)[None, None, :]
    a = alpha.astype(np.int32)[:, :, None]
    return (bgv + ((c - bgv) * a) // 256).astype(np.uint8)


def build(colour, alpha, opts):
    """The two layers: [(x, y, colour, alpha or None)] for layer 0 and the reflection."""
    h, w = colour.shape[:2]
    base_c, base_a = resize_canvas(colour, alpha, opts.position, opts.spacing, opts.view_background)
    rx, ry = reflection_position(opts.position, opts.spacing, w, h)
    if opts.position in (1, 3):
        ref_c, ref_a = colour[:, ::-1], (alpha[:, ::-1] if alpha is not None else None)
    else:
        ref_c, ref_a = colour[::-1, :], (alpha[::-1, :] if alpha is not None else None)
    ref_c = np.ascontiguousarray(ref_c)
    if opts.colour_mode == 1:
        ref_c = to_grey(ref_c)
    elif opts.colour_mode == 2:
        ref_c = to_black_and_white(ref_c)
    if opts.wave:
        if ref_a is not None:
            ref_a = wave(np.ascontiguousarray(ref_a)[:, :, None], opts.amplitude, opts.wave_length, opts.phase)[:, :, 0]
        ref_c = wave(ref_c, opts.amplitude, opts.wave_length, opts.phase)
    if ref_a is None:
        ref_a = np.full((h, w), 255, dtype=np.uint8)
    ref_a = fade(np.ascontiguousarray(ref_a), opts.position, opts.alpha_begin, opts.alpha_end, opts.size)
    if opts.remove_alpha:
        base_c = flatten(base_c, base_a, opts.background)
        ref_c = flatten(ref_c, ref_a, opts.background)
    return [(0, 0, base_c, base_a), (rx, ry, ref_c, ref_a)]


def compose(layers, opts):
    """The merged picture over the union of the layers, and its origin."""
    left = min(x for x, _, _, _ in layers)
    top = min(y for _, y, _, _ in layers)
    right = max(x + c.shape[1] for x, _, c, _ in layers)
    bottom = max(y + c.shape[0] for _, y, c, _ in layers)
    size = (right - left, bottom - top)
    if opts.remove_alpha:
        out = np.empty((size[1], size[0], 3), dtype=np.uint8)
        out[:, :] = opts.background
        for x, y, c, _ in layers:
            out[y - top:y - top + c.shape[0], x - left:x - left + c.shape[1]] = c
        return Image.fromarray(out, "RGB"), (left, top)
    out = Image.new("RGBA", size, (0, 0, 0, 0))
    for x, y, c, a in layers:
        if a is None:
            a = np.full(c.shape[:2], 255, dtype=np.uint8)
        layer = Image.new("RGBA", size, (0, 0, 0, 0))
        layer.paste(Image.fromarray(np.dstack([c, a]), "RGBA"), (x - left, y - top))
        out = Image.alpha_composite(out, layer)
    return out, (left, top)


def colour_arg(text):
    v = int(text.lstrip("#$"), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def parse(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("input")
    p.add_argument("output")
    p.add_argument("--position", type=int, default=4)
    p.add_argument("--spacing", type=int, default=0)
    p.add_argument("--size", type=int, default=100)
    p.add_argument("--alpha-begin", type=int, default=255)
    p.add_argument("--alpha-end", type=int, default=0)
    p.add_argument("--tran-begin", type=int)
    p.add_argument("--tran-end", type=int)
    p.add_argument("--colour-mode", type=int, default=0, choices=(0, 1, 2))
    p.add_argument("--wave", action="store_true")
    p.add_argument("--amplitude", type=int, default=10)
    p.add_argument("--wave-length", type=int, default=30)
    p.add_argument("--phase", type=int, default=0)
    p.add_argument("--background", type=colour_arg, default=(255, 255, 255))
    p.add_argument("--remove-alpha", action="store_true")
    p.add_argument("--view-background", type=colour_arg, default=(212, 208, 200))
    p.add_argument("--layers")
    opts = p.parse_args(argv)
    if opts.tran_begin is not None:
        opts.alpha_begin = transparency_to_alpha(opts.tran_begin)
    if opts.tran_end is not None:
        opts.alpha_end = transparency_to_alpha(100 - opts.tran_end)
    return opts


def main(argv):
    if len(argv) == 2 and argv[0] == "--batch":
        import shlex
        with open(argv[1]) as jobs:
            for line in jobs:
                if line.strip():
                    run(shlex.split(line))
        return 0
    run(argv)
    return 0


def run(argv):
    opts = parse(argv)
    colour, alpha = load(opts.input)
    layers = build(colour, alpha, opts)
    picture, (left, top) = compose(layers, opts)
    picture.save(opts.output)
    if opts.layers:
        with open(opts.layers + ".txt", "w") as f:
            for n, (x, y, c, a) in enumerate(layers):
                if a is None:
                    a = np.full(c.shape[:2], 255, dtype=np.uint8)
                Image.fromarray(np.dstack([c, a]), "RGBA").save(f"{opts.layers}{n}.png")
                f.write(f"{x} {y}\n")
    print(f"origin {left} {top}")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
