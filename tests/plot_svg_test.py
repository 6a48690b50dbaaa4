#!/usr/bin/env python3
"""The Weibull plot SVG of whole runs, read back by an XML parser: well formed,
one class="point" element per drawn point and one class="fit", the bounds
band as two class="band" polylines (the lower left of the upper), the title
escaped, nothing that loads or runs anything; one plot rendered to PNG by
rsvg-convert must show the data and line colours.

Usage: plot_svg_test.py PLOT_SVG_CASE TESTS_DATA_DIR EXAMPLES_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

NS = '{http://www.w3.org/2000/svg}'
POINT_COLOUR = (0x1f, 0x5f, 0xbf)
FIT_COLOUR = (0xc0, 0x39, 0x2b)
# Elements and attributes that would make the file depend on anything else.
FORBIDDEN_TAGS = {'script', 'image', 'use', 'foreignObject', 'style', 'a', 'iframe'}

# file (copied under this name into a fresh folder), source, rank, typed gamma
# or 'auto' for the search, censored reading, points drawn and suspensions
# marked: every value is a point, except that plotting position 2 puts the
# first and last of an uncensored sample at F = 0 and 1 (infinite ordinates).
ROWS = [
    (b'bearings.dat', 'examples/bearings.dat', '1', 'auto', False, 23, 0),
    (b'bearings.dat', 'examples/bearings.dat', '2', 'auto', False, 21, 0),
    (b'n3.dat', 'data/n3.dat', '2', 'auto', False, 1, 0),
    (b'n3.dat', 'data/n3.dat', '3', '5', False, 3, 0),
    (b'repeated.dat', 'data/repeated.dat', '4', 'auto', False, 16, 0),
    (b'zero_min.dat', 'data/zero_min.dat', '1', '-0.5', False, 8, 0),
    # 9 relapses (F) and 12 patients still in remission (S).
    (b'remission.dat', 'examples/remission.dat', '1', 'auto', True, 9, 12),
    (b'a&b <"c\'>.dat', 'data/n3.dat', '1', 'auto', False, 3, 0),
    (b'\xe9t\xe9 caf\xc3\xa9.dat', 'data/n3.dat', '1', 'auto', False, 3, 0),  # Latin-1, then UTF-8
    # The highest two-byte lead 0xDF: U+07FF, then before ASCII.
    (b'\xdf\xbf \xdf(.dat', 'data/n3.dat', '1', 'auto', False, 3, 0),
    (b'\xc2\xb5s \xc1\xbf.dat', 'data/n3.dat', '1', 'auto', False, 3, 0),  # the lowest lead 0xC2; 0xC1 none
]


def expected_title(name):
    """The name as text: invalid UTF-8 bytes and control characters as '?'."""
    text = name.decode('utf-8', errors='replace').replace('\ufffd', '?')
    return ''.join('?' if ord(c) < 0x20 or ord(c) == 0x7f else c for c in text)


def png_colours(path):
    """(width, height, set of RGB colours) of an 8-bit RGB or RGBA PNG."""
    with open(path, 'rb') as f:
        data = f.read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    pos, idat = 8, b''
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, 'unexpected PNG format'
        idat += body if kind == b'IDAT' else b''
        pos += 12 + length
    n, raw = 4 if colour == 6 else 3, zlib.decompress(idat)
    stride, colours, previous = width * n, set(), bytearray(width * n)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):  # undo the PNG filter of this row: none, sub, up, average, Paeth
            a, b, c = line[i - n] if i >= n else 0, previous[i], previous[i - n] if i >= n else 0
            p = a + b - c
            paeth = a if abs(p - a) <= min(abs(p - b), abs(p - c)) else b if abs(p - b) <= abs(p - c) else c
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth)[kind]) & 255
        colours.update(tuple(line[x:x + 3]) for x in range(0, stride, n))
        previous = line
    return width, height, colours


def main():
    case, data_dir, examples_dir = sys.argv[1:4]
    roots = {'data': data_dir, 'examples': examples_dir}
    failures = []
    work = tempfile.mkdtemp()
    try:
        for name, source, rank, gamma, censored, points, suspensions in ROWS:
            label = f'{name!r} rank {rank} gamma {gamma}'
            folder, file = source.split('/')
            data = os.path.join(work.encode(), name)
            shutil.copy(os.path.join(roots[folder], file), data)
            svg = os.path.join(work, 'plot.svg')
            args = [case, svg, data, rank, gamma] + (['censored'] if censored else [])
            subprocess.run(args, check=True)  # the SVG was written
            root = ET.parse(svg).getroot()  # raises unless well formed
            classes = [e.get('class') for e in root.iter()]
            tags = {e.tag.replace(NS, '') for e in root.iter()}
            attributes = {a for e in root.iter() for a in e.attrib}
            title = expected_title(data)
            bands = [[tuple(map(float, p.split(','))) for p in e.get('points').split()]
                     for e in root.iter() if e.get('class') == 'band']
            # The band over the points' F range: none with a single point.
            expected_bands = 2 if points >= 2 else 0
            checks = [
                (root.tag == NS + 'svg', 'root is an SVG element'),
                (classes.count('point') == points, f'{classes.count("point")} points, expected {points}'),
                (classes.count('fit') == 1, f'{classes.count("fit")} fitted lines'),
                (classes.count('suspension') == suspensions, f'{classes.count("suspension")} suspensions'),
                (len(bands) == expected_bands, f'{len(bands)} band curves, expected {expected_bands}'),
                (all(len(b) >= 2 and all(0 <= x <= 720 and 0 <= y <= 540 for x, y in b) for b in bands),
                 'a band curve off the canvas'),
                (len(bands) < 2 or all(lo[0] <= hi[0] and lo[1] == hi[1] for lo, hi in zip(*bands)),
                 'the lower band curve is not left of the upper one'),
                (not tags & FORBIDDEN_TAGS, f'forbidden elements {tags & FORBIDDEN_TAGS}'),
                (not any('href' in a for a in attributes), 'a reference attribute'),
                (root.find(NS + 'title').text == 'Weibull plot: ' + title, 'document title'),
                ([e.text for e in root.iter() if e.get('class') == 'title'] == [title], 'title text'),
            ]
            failures += [f'{label}: {what}' for ok, what in checks if not ok]

        # The last plot rendered: the canvas size, and the data and line colours in it.
        png = os.path.join(work, 'plot.png')
        subprocess.run(['rsvg-convert', '-o', png, svg], check=True)
        width, height, colours = png_colours(png)
        if (width, height) != (720, 540):
            failures.append(f'PNG is {width}x{height}, expected 720x540')
        for colour, what in ((POINT_COLOUR, 'point'), (FIT_COLOUR, 'fitted line')):
            if colour not in colours:
                failures.append(f'PNG lacks the {what} colour')
    finally:
        shutil.rmtree(work)
    return finish(failures, f'{len(ROWS)} plots checked')


def finish(failures, checked):
    """Prints each failure and a summary; the exit status."""
    for failure in failures:
        print('FAIL:', failure)
    print(f'{checked}, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
