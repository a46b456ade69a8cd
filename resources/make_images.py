#!/usr/bin/env python3
"""Draws Corvalin's menu/toolbar bitmaps and program icon.

Writes, next to this script:
  clear_log.xpm, about.xpm, hide.xpm, exit.xpm   16x16 menu/toolbar images
  clear_log_32.xpm, about_32.xpm, ...            the same drawn at 32x32, for 2x screens
  main_16.xpm, main_32.xpm                        program icon for X11
  main.ico                                        program icon for Windows

Plain Python 3, no imaging library: every picture is a stack of simple
shapes, rendered with 8x8 supersampling so edges come out anti-aliased.
XPM has only on/off transparency, so a pixel is kept when at least half
of it is covered; the .ico keeps the real alpha in its 32-bit images.
"""

import math
import os
import struct

SUPERSAMPLE = 8


# ---------------------------------------------------------------- shapes
# A shape is a function (x, y) -> bool telling whether a point is inside.

def circle(cx, cy, r):
    r2 = r * r
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def capsule(ax, ay, bx, by, width):
    """A thick line from a to b with round ends."""
    vx, vy = bx - ax, by - ay
    length2 = vx * vx + vy * vy
    h2 = (width / 2.0) ** 2

    def inside(x, y):
        t = ((x - ax) * vx + (y - ay) * vy) / length2
        t = min(1.0, max(0.0, t))
        px, py = ax + t * vx - x, ay + t * vy - y
        return px * px + py * py <= h2
    return inside


def polygon(points):
    """Even-odd fill of an arbitrary polygon."""
    n = len(points)

    def inside(x, y):
        result = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y):
                cross = xi + (y - yi) * (xj - xi) / (yj - yi)
                if x < cross:
                    result = not result
            j = i
        return result
    return inside


def rotated_rect(cx, cy, length, width, angle_deg):
    """A rectangle centred on (cx, cy), its long side turned by angle."""
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)
    hl, hw = length / 2.0, width / 2.0

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return -hl <= u <= hl and -hw <= v <= hw
    return inside


def intersect(*shapes):
    return lambda x, y: all(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


# ---------------------------------------------------------------- paints
# A paint is a function (x, y) -> (r, g, b, a), components 0..1.

def hexrgb(h):
    h = h.lstrip('#')
    return tuple(int(h[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def solid(colour, alpha=1.0):
    r, g, b = hexrgb(colour)
    return lambda x, y: (r, g, b, alpha)


def mix(c0, c1, t):
    t = min(1.0, max(0.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def linear(x0, y0, c0, x1, y1, c1):
    a, b = hexrgb(c0), hexrgb(c1)
    vx, vy = x1 - x0, y1 - y0
    d2 = vx * vx + vy * vy

    def paint(x, y):
        t = ((x - x0) * vx + (y - y0) * vy) / d2
        return mix(a, b, t) + (1.0,)
    return paint


def fading(colour, y0, alpha0, y1):
    """Solid colour whose opacity falls from alpha0 at y0 to 0 at y1."""
    r, g, b = hexrgb(colour)
    return lambda x, y: (r, g, b,
                         alpha0 * min(1.0, max(0.0, (y1 - y) / (y1 - y0))))


def radial(cx, cy, r, c0, c1):
    a, b = hexrgb(c0), hexrgb(c1)

    def paint(x, y):
        t = math.hypot(x - cx, y - cy) / r
        return mix(a, b, t) + (1.0,)
    return paint


# ---------------------------------------------------------------- render

def render(width, height, layers):
    """Returns rows of (r, g, b, a) floats; colour is not premultiplied."""
    n = SUPERSAMPLE
    offsets = [(i + 0.5) / n for i in range(n)]
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc_r = acc_g = acc_b = acc_a = 0.0
            for oy in offsets:
                y = py + oy
                for ox in offsets:
                    x = px + ox
                    # Painter's algorithm with premultiplied "over".
                    r = g = b = a = 0.0
                    for shape, paint in layers:
                        if shape(x, y):
                            lr, lg, lb, la = paint(x, y)
                            k = 1.0 - la
                            r = lr * la + r * k
                            g = lg * la + g * k
                            b = lb * la + b * k
                            a = la + a * k
                    acc_r += r
                    acc_g += g
                    acc_b += b
                    acc_a += a
            count = float(n * n)
            a = acc_a / count
            if a > 0.0:
                row.append((acc_r / count / a, acc_g / count / a,
                            acc_b / count / a, a))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


def to_rgb8(c):
    return tuple(int(round(min(1.0, max(0.0, v)) * 255)) for v in c[:3])


# ---------------------------------------------------------------- colours

def reduce_colours(counts, target):
    """Ward-style merging of the two closest colours until `target` remain.

    counts: {(r, g, b): pixel count}.  Returns {original: kept colour}.
    Merging the pair that costs least (distance weighted by how many pixels
    move) keeps large flat areas exact and folds away edge tints first.
    """
    clusters = [[float(c[0]), float(c[1]), float(c[2]), n, [c]]
                for c, n in counts.items()]
    while len(clusters) > target:
        best = None
        for i in range(len(clusters)):
            ri, gi, bi, ni, _ = clusters[i]
            for j in range(i + 1, len(clusters)):
                rj, gj, bj, nj, _ = clusters[j]
                d = ((ri - rj) ** 2 + (gi - gj) ** 2 + (bi - bj) ** 2) \
                    * ni * nj / (ni + nj)
                if best is None or d < best[0]:
                    best = (d, i, j)
        _, i, j = best
        ci, cj = clusters[i], clusters[j]
        n = ci[3] + cj[3]
        merged = [(ci[k] * ci[3] + cj[k] * cj[3]) / n for k in range(3)]
        clusters[i] = merged + [n, ci[4] + cj[4]]
        del clusters[j]
    mapping = {}
    for r, g, b, _, members in clusters:
        kept = (int(round(r)), int(round(g)), int(round(b)))
        for m in members:
            mapping[m] = kept
    return mapping


def opaque_pixels(image, threshold=0.5):
    """Pixel grid of RGB tuples, None where the XPM shows the background."""
    return [[to_rgb8(p) if p[3] >= threshold else None for p in row]
            for row in image]


def quantise(pixels, target):
    counts = {}
    for row in pixels:
        for p in row:
            if p is not None:
                counts[p] = counts.get(p, 0) + 1
    if len(counts) > target:
        mapping = reduce_colours(counts, target)
        pixels = [[None if p is None else mapping[p] for p in row]
                  for row in pixels]
    return pixels


# ---------------------------------------------------------------- XPM

# Printable characters safe inside a C string; '?' is left out so no
# trigraph can ever appear, '/' so no comment opener either.
XPM_CHARS = (" .+@#$%&*=-;>,')!~{]^(_:<[}|"
             "0123456789abcdefghijklmnopqrstuvwxyz"
             "ABCDEFGHIJKLMNOPQRSTUVWXYZ`")


def write_xpm(path, name, pixels, cpp):
    height, width = len(pixels), len(pixels[0])
    colours = []
    seen = set()
    has_none = False
    for row in pixels:
        for p in row:
            if p is None:
                has_none = True
            elif p not in seen:
                seen.add(p)
                colours.append(p)
    # Frequent colours get the first (quietest) keys.
    freq = {}
    for row in pixels:
        for p in row:
            if p is not None:
                freq[p] = freq.get(p, 0) + 1
    colours.sort(key=lambda c: (-freq[c], c))

    def key(i):
        if cpp == 1:
            return XPM_CHARS[i]
        return XPM_CHARS[i // len(XPM_CHARS)] + XPM_CHARS[i % len(XPM_CHARS)]

    keys = {}
    index = 1  # key 0 (all blanks) is the transparent colour
    for c in colours:
        keys[c] = key(index)
        index += 1
    if index > len(XPM_CHARS) ** cpp:
        raise ValueError('%s: too many colours for %d char(s) per pixel'
                         % (name, cpp))
    none_key = key(0)
    ncolours = len(colours) + (1 if has_none else 0)

    lines = ['/* XPM */', 'static const char* %s[] = {' % name,
             '"%d %d %d %d",' % (width, height, ncolours, cpp)]
    if has_none:
        lines.append('"%s c None",' % none_key)
    for c in colours:
        lines.append('"%s c #%02X%02X%02X",' % ((keys[c],) + c))
    body = []
    for row in pixels:
        body.append('"' + ''.join(none_key if p is None else keys[p]
                                  for p in row) + '"')
    lines.append(',\n'.join(body))
    lines.append('};')
    with open(path, 'w', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')
    return ncolours


# ---------------------------------------------------------------- ICO

def _and_mask(opaque_rows, width):
    """1 bpp mask, bottom-up, rows padded to 32 bits; 1 = transparent."""
    stride = ((width + 31) // 32) * 4
    data = bytearray()
    for row in reversed(opaque_rows):
        bits = bytearray(stride)
        for x, opaque in enumerate(row):
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return bytes(data)


def _bitmap_header(width, height, bpp, image_size, colours_used):
    # Height counts the colour bitmap and the AND mask together.
    return struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bpp, 0,
                       image_size, 0, 0, colours_used, 0)


def ico_image_32(image):
    height, width = len(image), len(image[0])
    xor = bytearray()
    for row in reversed(image):
        for p in row:
            a = int(round(p[3] * 255))
            if a == 0:
                xor += b'\0\0\0\0'
            else:
                r, g, b = to_rgb8(p)
                xor += bytes((b, g, r, a))
    mask = _and_mask([[p[3] >= 0.5 for p in row] for row in image], width)
    header = _bitmap_header(width, height, 32, len(xor) + len(mask), 0)
    return header + bytes(xor) + mask


def ico_image_8(image):
    height, width = len(image), len(image[0])
    pixels = quantise(opaque_pixels(image), 255)
    # Entry 0 is black: transparent pixels must be black in the colour
    # bitmap so the screen shows through unchanged.
    palette = [(0, 0, 0)]
    index = {(0, 0, 0): 0}
    for row in pixels:
        for p in row:
            if p is not None and p not in index:
                index[p] = len(palette)
                palette.append(p)
    palette += [(0, 0, 0)] * (256 - len(palette))
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    stride = ((width + 3) // 4) * 4
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, p in enumerate(row):
            line[x] = 0 if p is None else index[p]
        xor += line
    mask = _and_mask([[p is not None for p in row] for row in pixels], width)
    header = _bitmap_header(width, height, 8, len(xor) + len(mask), 256)
    return header + pal + bytes(xor) + mask


def write_ico(path, entries):
    """entries: list of (width, height, bpp, image data)."""
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for w, h, bpp, data in entries:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    for _, _, _, data in entries:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------- pictures

def clear_log_layers():
    page = polygon([(2.5, 1.5), (10.0, 1.5), (13.0, 4.5), (13.0, 14.5),
                    (2.5, 14.5)])
    inner = polygon([(3.3, 2.3), (9.7, 2.3), (12.2, 4.8), (12.2, 13.7),
                     (3.3, 13.7)])
    fold = polygon([(9.6, 1.9), (9.6, 4.9), (12.6, 4.9)])
    layers = [
        (page, solid('#7C8088')),
        (inner, linear(3, 2, '#FFFFFF', 12, 14, '#D9DCE2')),
        (fold, linear(9.6, 4.9, '#F4F5F7', 11, 3.5, '#B4B8C0')),
    ]
    # Log lines of different lengths, thin enough to come out soft.
    for y, x1 in ((4.6, 8.6), (6.6, 10.9), (8.6, 9.8), (10.6, 7.2)):
        layers.append((capsule(4.6, y, x1, y, 0.95),
                       linear(4, 0, '#4A5A78', 11, 0, '#7E8BA6')))
    # Eraser across the lower right corner: red body, pale sleeve.
    cx, cy, angle = 11.0, 11.2, -45.0
    layers += [
        (rotated_rect(cx, cy, 8.0, 4.2, angle), solid('#7A1010')),
        (rotated_rect(cx, cy, 7.0, 3.2, angle),
         linear(9, 9, '#FF7A6E', 13.5, 13.5, '#C41E1E')),
        (rotated_rect(cx - 1.4, cy + 1.4, 2.2, 3.2, angle),
         linear(8.5, 11.5, '#FFE9E4', 11.0, 14.0, '#E9A59C')),
    ]
    return layers


def about_layers():
    return [
        (circle(8, 8, 7.4), linear(8, 0.6, '#4A86CC', 8, 15.4, '#1E4F96')),
        (circle(8, 8, 6.6), radial(5.6, 4.6, 11.0, '#F4FAFF', '#6FA7E4')),
        (intersect(circle(8, 8, 6.6), circle(8, 3.4, 5.2)),
         fading('#FFFFFF', 1.4, 0.45, 8.4)),
        # Letter i: dot and stem with a short foot.
        (circle(8.1, 4.3, 1.45), radial(7.6, 3.8, 2.2, '#3567C0', '#0D2A6E')),
        (rounded_rect(6.9, 6.4, 9.3, 12.3, 0.6),
         linear(7, 6.4, '#2B5CB8', 9, 12.3, '#0B2466')),
        (rounded_rect(5.9, 6.4, 9.3, 7.5, 0.4),
         linear(6, 6.4, '#2B5CB8', 9, 7.5, '#1A3F8F')),
        (rounded_rect(5.9, 11.2, 10.3, 12.4, 0.4),
         linear(6, 11.2, '#1A4496', 10, 12.4, '#0B2466')),
    ]


def hide_layers():
    arrow_head = polygon([(12.1, 12.1), (12.1, 6.3), (6.3, 12.1)])
    return [
        (circle(8, 8, 7.4), solid('#123E86')),
        (circle(8, 8, 6.6), radial(5.4, 4.4, 11.5, '#8CC4FF', '#1F5FC0')),
        # Soft highlight across the top of the button.
        (intersect(circle(8, 8, 6.6), circle(8, 3.2, 5.4)),
         fading('#FFFFFF', 1.2, 0.35, 8.6)),
        # White arrow towards the lower right, i.e. down into the tray.
        (capsule(4.4, 4.4, 9.6, 9.6, 2.3), solid('#FFFFFF')),
        (arrow_head, solid('#FFFFFF')),
    ]


def exit_layers():
    return [
        (circle(8, 8, 7.4), solid('#8C1010')),
        (circle(8, 8, 6.6), linear(8, 1.2, '#F25A4E', 8, 14.8, '#C21A14')),
        (capsule(5.2, 5.2, 10.8, 10.8, 2.3), solid('#FFFFFF')),
        (capsule(10.8, 5.2, 5.2, 10.8, 2.3), solid('#FFFFFF')),
    ]


TILE_COLOURS = [('#F0685A', '#C9362A'), ('#6CCB5F', '#34963A'),
                ('#5E9BEA', '#2F66BE'), ('#FAD55A', '#DCA414'),
                ('#FFA24A', '#D86A10'), ('#B77ED0', '#81439E')]


def main_layers(size):
    if size == 16:
        # Window 15x15 at the top left, shadow one pixel down and right.
        shadow = (rect(1, 1, 16, 16), solid('#000000', 0.30))
        frame = (rect(0, 0, 15, 15), solid('#3A4350'))
        title = (rect(1, 1, 14, 5), linear(1, 1, '#1A4FA8', 14, 4, '#5C9AE8'))
        client = (rect(1, 5, 14, 14), solid('#FAFBFC'))
        layers = [shadow, frame, title, client]
        cols, rows = [(2, 5), (6, 9), (10, 13)], [(6, 9), (10, 13)]
        bevel = 0
    else:
        shadow = (rect(2, 2, 32, 32), solid('#000000', 0.30))
        frame = (rect(0, 0, 30, 30), solid('#3A4350'))
        title = (rect(1, 1, 29, 8), linear(1, 1, '#173F94', 29, 7, '#5C9AE8'))
        gloss = (rect(1, 1, 29, 4), solid('#FFFFFF', 0.18))
        client = (rect(1, 8, 29, 29), linear(1, 8, '#FFFFFF', 29, 29, '#E4E8EE'))
        # Caption text and the close box on the title bar.
        caption = (rect(4, 4, 13, 5), solid('#FFFFFF', 0.85))
        close_box = (rect(23, 2, 28, 7), solid('#E2483C'))
        close_x = (lambda x, y: 23.5 <= x < 27.5 and 2.5 <= y < 6.5 and
                   (abs((x - 25.5) - (y - 4.5)) < 0.55 or
                    abs((x - 25.5) + (y - 4.5)) < 0.55), solid('#FFFFFF'))
        layers = [shadow, frame, title, gloss, client, caption, close_box,
                  close_x]
        cols, rows = [(3, 9), (12, 18), (21, 27)], [(10, 17), (20, 27)]
        bevel = 1
    for i, (light, dark) in enumerate(TILE_COLOURS):
        x0, x1 = cols[i % 3]
        y0, y1 = rows[i // 3]
        layers.append((rect(x0, y0, x1, y1), linear(x0, y0, light, x1, y1, dark)))
        if bevel:
            # Thin dark rim so the tiles read as raised squares.
            layers.append((subtract(rect(x0, y0, x1, y1),
                                    rect(x0 + bevel, y0 + bevel,
                                         x1 - bevel, y1 - bevel)),
                           solid('#000000', 0.28)))
    return layers


# ---------------------------------------------------------------- main

def scaled(layers, k):
    """The same picture drawn k times larger: shapes are in 16-unit space."""
    def shape_at(shape):
        return lambda x, y: shape(x / k, y / k)

    def paint_at(paint):
        return lambda x, y: paint(x / k, y / k)
    return [(shape_at(shape), paint_at(paint)) for shape, paint in layers]


def main():
    here = os.path.dirname(os.path.abspath(__file__))

    def out(name):
        return os.path.join(here, name)

    # (file, array name, layers, colours wanted incl. None, chars per pixel)
    menu_images = [
        ('clear_log.xpm', 'clear_log_xpm', clear_log_layers(), 73, 1),
        ('about.xpm', 'about_xpm', about_layers(), 158, 2),
        ('hide.xpm', 'hide_xpm', hide_layers(), 125, 2),
        ('exit.xpm', 'exit_xpm', exit_layers(), 19, 1),
    ]
    for filename, name, layers, wanted, cpp in menu_images:
        pixels = quantise(opaque_pixels(render(16, 16, layers)), wanted - 1)
        n = write_xpm(out(filename), name, pixels, cpp)
        print('%-14s %3d colours, %d char(s) per pixel' % (filename, n, cpp))
        big = filename.replace('.xpm', '_32.xpm')
        pixels = quantise(opaque_pixels(render(32, 32, scaled(layers, 2))), 255)
        n = write_xpm(out(big), name.replace('_xpm', '_32_xpm'), pixels, 2)
        print('%-14s %3d colours, 2 char(s) per pixel' % (big, n))

    icons = {}
    for size in (16, 32):
        icons[size] = render(size, size, main_layers(size))
        pixels = quantise(opaque_pixels(icons[size]), 88)
        filename = 'main_%d.xpm' % size
        n = write_xpm(out(filename), 'main_%d_xpm' % size, pixels, 1)
        print('%-14s %3d colours, 1 char(s) per pixel' % (filename, n))

    write_ico(out('main.ico'), [
        (16, 16, 32, ico_image_32(icons[16])),
        (32, 32, 32, ico_image_32(icons[32])),
        (16, 16, 8, ico_image_8(icons[16])),
        (32, 32, 8, ico_image_8(icons[32])),
    ])
    print('main.ico       16x16 and 32x32, 32-bit and 8-bit')


if __name__ == '__main__':
    main()
