#!/usr/bin/env python3
"""Draws Corvalin's program icon for the Linux desktop.

Writes, under dist/icons/ of the source tree:
  example.pellowen.Corvalin.svg                  scalable icon
  NxN/example.pellowen.Corvalin.png              N = 16 32 48 64 128 256

The picture is the one make_images.py draws for main_16.xpm/main_32.xpm: a
small window with a blue title bar and six coloured tiles.  Here it is kept
as a list of plain primitives, so that the SVG and the PNGs come from the
same numbers; the PNGs are rendered with make_images.py's own renderer and
written with zlib, no imaging library needed.  Before writing anything the
script renders its primitives at 16 and 32 px and compares them with
make_images.py's pictures, so a change to one design without the other is
caught here.  Sizes above 32 are the 32 px design scaled up.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import make_images as mi  # noqa: E402  (beside this script)

APP_ID = 'example.pellowen.Corvalin'
PNG_SIZES = (16, 32, 48, 64, 128, 256)

# ---------------------------------------------------------------- design
# Shapes: ('rect', x0, y0, x1, y1)
#         ('ring', x0, y0, x1, y1, width)    rectangle minus its inside
#         ('polygon', [(x, y), ...])
# Paints: ('solid', colour, alpha)
#         ('linear', x0, y0, colour0, x1, y1, colour1)


def cross_arms(cx, cy, half, band):
    """The two bars of an X inside a square of side 2*half, as polygons.

    A point belongs to a bar when |dx - dy| (or |dx + dy|) is below band.
    """
    h, b = half, band
    one = [(-h, -h), (-h + b, -h), (h, h - b), (h, h), (h - b, h), (-h, -h + b)]
    other = [(-x, y) for x, y in one]
    return [[(cx + x, cy + y) for x, y in arm] for arm in (one, other)]


def window_icon(size):
    """Primitives of the icon drawn on a size x size grid (16 or 32)."""
    if size == 16:
        items = [
            (('rect', 1, 1, 16, 16), ('solid', '#000000', 0.30)),
            (('rect', 0, 0, 15, 15), ('solid', '#3A4350', 1.0)),
            (('rect', 1, 1, 14, 5), ('linear', 1, 1, '#1A4FA8', 14, 4, '#5C9AE8')),
            (('rect', 1, 5, 14, 14), ('solid', '#FAFBFC', 1.0)),
        ]
        cols, rows = [(2, 5), (6, 9), (10, 13)], [(6, 9), (10, 13)]
        rim = 0
    else:
        items = [
            (('rect', 2, 2, 32, 32), ('solid', '#000000', 0.30)),
            (('rect', 0, 0, 30, 30), ('solid', '#3A4350', 1.0)),
            (('rect', 1, 1, 29, 8), ('linear', 1, 1, '#173F94', 29, 7, '#5C9AE8')),
            (('rect', 1, 1, 29, 4), ('solid', '#FFFFFF', 0.18)),
            (('rect', 1, 8, 29, 29), ('linear', 1, 8, '#FFFFFF', 29, 29, '#E4E8EE')),
            # Caption text and the close box on the title bar.
            (('rect', 4, 4, 13, 5), ('solid', '#FFFFFF', 0.85)),
            (('rect', 23, 2, 28, 7), ('solid', '#E2483C', 1.0)),
        ]
        for arm in cross_arms(25.5, 4.5, 2.0, 0.55):
            items.append((('polygon', arm), ('solid', '#FFFFFF', 1.0)))
        cols, rows = [(3, 9), (12, 18), (21, 27)], [(10, 17), (20, 27)]
        rim = 1
    for i, (light, dark) in enumerate(mi.TILE_COLOURS):
        x0, x1 = cols[i % 3]
        y0, y1 = rows[i // 3]
        items.append((('rect', x0, y0, x1, y1),
                      ('linear', x0, y0, light, x1, y1, dark)))
        if rim:
            # Thin dark rim so the tiles read as raised squares.
            items.append((('ring', x0, y0, x1, y1, rim),
                          ('solid', '#000000', 0.28)))
    return items


# ---------------------------------------------------------------- raster

def to_layers(items, scale=1.0):
    """make_images layers for the primitives drawn `scale` times larger."""
    def shape_of(s):
        kind = s[0]
        if kind == 'rect':
            return mi.rect(*s[1:])
        if kind == 'ring':
            x0, y0, x1, y1, w = s[1:]
            return mi.subtract(mi.rect(x0, y0, x1, y1),
                               mi.rect(x0 + w, y0 + w, x1 - w, y1 - w))
        if kind == 'polygon':
            return mi.polygon(s[1])
        raise ValueError(kind)

    def paint_of(p):
        if p[0] == 'solid':
            return mi.solid(p[1], p[2])
        if p[0] == 'linear':
            return mi.linear(*p[1:])
        raise ValueError(p[0])

    def scaled(f):
        return lambda x, y: f(x / scale, y / scale)

    return [(scaled(shape_of(s)), scaled(paint_of(p))) for s, p in items]


def render_png_pixels(n):
    design = 16 if n < 32 else 32
    # Edges at larger sizes fall on whole pixels (or halves at 48), so
    # fewer samples give the same picture much faster.
    mi.SUPERSAMPLE = 8 if n <= 64 else 4
    return mi.render(n, n, to_layers(window_icon(design), n / design))


def same_as_make_images():
    """Fails loudly when the primitives no longer draw make_images' icon."""
    for size in (16, 32):
        mi.SUPERSAMPLE = 8
        ours = mi.render(size, size, to_layers(window_icon(size)))
        theirs = mi.render(size, size, mi.main_layers(size))
        for y in range(size):
            for x in range(size):
                a, b = ours[y][x], theirs[y][x]
                # Premultiplied, so invisible pixels compare equal.
                if any(abs(a[i] * a[3] - b[i] * b[3]) > 1.0 / 255 for i in range(3)) \
                        or abs(a[3] - b[3]) > 1.0 / 255:
                    raise SystemExit('make_icons.py: the %d px icon differs from '
                                     'make_images.py at (%d, %d): %r vs %r; update '
                                     'window_icon() to match' % (size, x, y, a, b))


def png_bytes(pixels):
    """8-bit RGBA PNG, straight alpha; invisible pixels are stored as 0."""
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for p in row:
            a = int(round(min(1.0, max(0.0, p[3])) * 255))
            raw += bytes(mi.to_rgb8(p) + (a,)) if a else b'\0\0\0\0'

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + \
            struct.pack('>I', zlib.crc32(body) & 0xffffffff)

    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


# ---------------------------------------------------------------- SVG

def fmt(v):
    return ('%.4f' % v).rstrip('0').rstrip('.')


def svg_text(items, design, pixels):
    defs, body = [], []
    for index, (shape, paint) in enumerate(items):
        attrs = []
        if paint[0] == 'solid':
            attrs.append('fill="%s"' % paint[1].lower())
            if paint[2] < 1.0:
                attrs.append('fill-opacity="%s"' % fmt(paint[2]))
        else:
            _, x0, y0, c0, x1, y1, c1 = paint
            gid = 'g%d' % index
            defs.append(
                '    <linearGradient id="%s" gradientUnits="userSpaceOnUse" '
                'x1="%s" y1="%s" x2="%s" y2="%s">\n'
                '      <stop offset="0" stop-color="%s"/>\n'
                '      <stop offset="1" stop-color="%s"/>\n'
                '    </linearGradient>'
                % (gid, fmt(x0), fmt(y0), fmt(x1), fmt(y1), c0.lower(), c1.lower()))
            attrs.append('fill="url(#%s)"' % gid)
        attrs = ' '.join(attrs)
        kind = shape[0]
        if kind == 'rect':
            x0, y0, x1, y1 = shape[1:]
            body.append('  <rect x="%s" y="%s" width="%s" height="%s" %s/>'
                        % (fmt(x0), fmt(y0), fmt(x1 - x0), fmt(y1 - y0), attrs))
        elif kind == 'ring':
            x0, y0, x1, y1, w = shape[1:]
            d = ('M%s %sH%sV%sH%sZM%s %sV%sH%sV%sZ'
                 % (fmt(x0), fmt(y0), fmt(x1), fmt(y1), fmt(x0),
                    fmt(x0 + w), fmt(y0 + w), fmt(y1 - w), fmt(x1 - w), fmt(y0 + w)))
            body.append('  <path fill-rule="evenodd" d="%s" %s/>' % (d, attrs))
        elif kind == 'polygon':
            points = ' '.join('%s,%s' % (fmt(x), fmt(y)) for x, y in shape[1])
            body.append('  <polygon points="%s" %s/>' % (points, attrs))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
            'width="%d" height="%d" viewBox="0 0 %d %d">\n'
            '  <title>Corvalin</title>\n'
            '  <defs>\n%s\n  </defs>\n%s\n</svg>\n'
            % (pixels, pixels, design, design, '\n'.join(defs), '\n'.join(body)))


# ---------------------------------------------------------------- main

def main():
    out_dir = os.path.join(os.path.dirname(HERE), 'dist', 'icons')
    same_as_make_images()

    svg_path = os.path.join(out_dir, APP_ID + '.svg')
    os.makedirs(out_dir, exist_ok=True)
    with open(svg_path, 'w', newline='\n') as f:
        f.write(svg_text(window_icon(32), 32, 256))
    print(os.path.relpath(svg_path, os.path.dirname(HERE)))

    for n in PNG_SIZES:
        folder = os.path.join(out_dir, '%dx%d' % (n, n))
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, APP_ID + '.png')
        with open(path, 'wb') as f:
            f.write(png_bytes(render_png_pixels(n)))
        print(os.path.relpath(path, os.path.dirname(HERE)))


if __name__ == '__main__':
    main()
