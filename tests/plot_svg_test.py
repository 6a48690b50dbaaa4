#!/usr/bin/env python3
"""The plot SVGs the command line writes, read back by an XML parser. The Weibull
plot of whole runs: well formed, one class="point" element per drawn point and
one class="fit", the bounds band as two class="band" polylines (the lower left
of the upper), the title escaped, nothing that loads or runs anything. The
comparison (--compare --plot): panels in the ranked order, each family's data
along its line, gaps counted; a comparison stopped by a time-out: exit 4, no
ranking. One plot of each kind rendered to PNG by rsvg-convert must show the
data and line colours (read back by netpbm's pngtopnm).

Usage: plot_svg_test.py TARQUEL_CLI TESTS_DATA_DIR EXAMPLES_DIR
"""
import json
import math
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

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


FAMILIES = ['weibull2', 'weibull3', 'exponential', 'lognormal', 'loglogistic', 'normal', 'sev', 'gamma']
DRAW = {  # one draw of each family from a uniform u and a generator r
    'weibull2': lambda u, r: r.weibullvariate(100, 1.7),
    'weibull3': lambda u, r: 200 + r.weibullvariate(100, 2.5),
    'exponential': lambda u, r: r.expovariate(1 / 50),
    'lognormal': lambda u, r: r.lognormvariate(3, 0.8),
    'loglogistic': lambda u, r: math.exp(3 + 0.4 * math.log(u / (1 - u))),
    'normal': lambda u, r: r.normalvariate(100, 15),
    'sev': lambda u, r: 500 + 10 * math.log(-math.log(1 - u)),
    'gamma': lambda u, r: r.gammavariate(3, 20),
}
# family drawn, n, rank, the largest median distance (px) of its points from its line.
COMPARISON_ROWS = [(family, 400, str(1 + k % 4), 1.5) for k, family in enumerate(FAMILIES)]


def run(cli, args):
    return subprocess.run([cli, '-q'] + args, capture_output=True, text=True)


def distance(point, line):
    (x, y), (x1, y1, x2, y2) = point, line
    return abs((x2 - x1) * (y1 - y) - (x1 - x) * (y2 - y1)) / math.hypot(x2 - x1, y2 - y1)


def panels_of(svg):
    """{family: (caption, points, fitted line or None, gap notes)} in document order."""
    panels = {}
    for g in (g for g in ET.parse(svg).getroot().iter(NS + 'g') if g.get('class') == 'panel'):
        of = lambda role: [e for e in g if e.get('class') == role]  # noqa: E731
        points = [(float(e.get('cx')), float(e.get('cy'))) for e in of('point')]
        fits = [tuple(float(e.get(a)) for a in ('x1', 'y1', 'x2', 'y2')) for e in of('fit')]
        x, y, w, h = (float(of('frame')[0].get(a)) for a in ('x', 'y', 'width', 'height'))
        inside = 0 <= x and x + w <= 1200 and 0 <= y and y + h <= 660  # the frame on the canvas, the points in it
        inside = inside and all(x <= px <= x + w and y <= py <= y + h for px, py in points)
        panels[g.get('id')[6:]] = (of('caption')[0].text, points if inside else [], (fits or [None])[0],
                                   [e.text for e in of('gap-note')])
    return panels


def check_row(cli, work, family, n, rank, limit):
    r = random.Random(f'{family} {n}')
    data, svg = os.path.join(work, 'sample.dat'), os.path.join(work, 'compare.svg')
    with open(data, 'w') as f:
        f.write(''.join(f'{DRAW[family](r.random(), r):.9g}\n' for _ in range(n)))
    result = run(cli, ['-r', rank, '--compare', '--format', 'json', '--plot', svg, data])
    assert result.returncode in (0, 6), result.stderr
    compare = json.loads(result.stdout)['compare']
    ranked, aicc = [e['distribution'] for e in compare], [e['aicc'] for e in compare if 'error' not in e]
    panels = panels_of(svg)
    failures = [] if list(panels) == ranked else [f'panels {list(panels)}, ranking {ranked}']
    if ranked[0] != family or aicc != sorted(aicc):  # the family drawn ranks first, by AICc
        failures.append(f'ranking {ranked} by AICc {aicc}')
    for place, name in enumerate(ranked):
        caption, points, line, gaps = panels[name]
        if not caption.startswith(f'{place + 1}. {name}  AICc = ') or line is None:
            failures.append(f'{name}: caption {caption!r} with line {line}')
        off = 2 if rank == '2' else 0  # F = 0 and 1 (positive times: every paper draws every other point)
        if len(points) != n - off or gaps != ([f'{off} off the paper'] if off else []):
            failures.append(f'{name}: {len(points)} points, notes {gaps}, expected {n - off}')
    if not statistics.median([distance(p, panels[family][2]) for p in panels[family][1]] or [math.inf]) <= limit:
        failures.append(f'{family}: its points lie far from its line')
    return failures


def check_stopped(cli, work):
    r = random.Random('stopped')
    data, svg = os.path.join(work, 'large.dat'), os.path.join(work, 'stopped.svg')
    with open(data, 'w') as f:
        f.write(''.join(f'{50 + r.weibullvariate(100, 2):.9g}\n' for _ in range(20000)))
    failures = []
    for args in (['--compare'], ['--compare', '--gamma-method', 'mle']):
        text = run(cli, args + ['-t', '1e-6', '--plot', svg, data])
        record = json.loads(run(cli, args + ['-t', '1e-6', '--format', 'json', data]).stdout)
        checks = [
            (text.returncode == 4, f'exit status {text.returncode}'),
            ('ranked' not in text.stdout and 'no ranking' in text.stderr, 'a ranking printed'),
            (record.get('compare_ending') == 'time-out' and 'compare' not in record, 'JSON compare keys'),
            ('the comparison was stopped: not ranked' in open(svg).read(), 'plot note'),
            (list(panels_of(svg)) == FAMILIES, 'panels not in family order'),
            ('mle' not in args or record['gamma_source'] == 'curvature (likelihood search stopped)', 'gamma source'),
        ]
        failures += [f'{args}: {what}' for ok, what in checks if not ok]
    return failures


def expected_title(name):
    """The name as text: invalid UTF-8 bytes and control characters as '?'."""
    text = name.decode('utf-8', errors='replace').replace('\ufffd', '?')
    return ''.join('?' if ord(c) < 0x20 or ord(c) == 0x7f else c for c in text)


def rendered_colours(svg):
    """(width, height, set of RGB colours) of the SVG rendered to PNG by
    rsvg-convert, read back through netpbm's pngtopnm (a binary PPM)."""
    png = subprocess.run(['rsvg-convert', svg], check=True, capture_output=True).stdout
    ppm = subprocess.run(['pngtopnm'], input=png, check=True, capture_output=True).stdout
    header = re.match(rb'P6\s+(\d+)\s+(\d+)\s+255\s', ppm)
    pixels = ppm[header.end():]
    return int(header[1]), int(header[2]), {tuple(pixels[i:i + 3]) for i in range(0, len(pixels), 3)}


def main():
    cli, data_dir, examples_dir = sys.argv[1:4]
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
            args = [cli, '-q', '-r', rank, '--plot', svg, data] + (['-c'] if censored else [])
            subprocess.run(args + ([] if gamma == 'auto' else ['-g', gamma]), check=True, capture_output=True)
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

        for row in COMPARISON_ROWS:
            failures += [f'{row[:3]}: {failure}' for failure in check_row(cli, work, *row)]
        # The last plot of each kind rendered: the canvas size, and the data and line colours in it.
        for name, size in (('plot.svg', (720, 540)), ('compare.svg', (1200, 660))):
            width, height, colours = rendered_colours(os.path.join(work, name))
            if (width, height) != size or not {POINT_COLOUR, FIT_COLOUR} <= colours:
                failures.append(f'{name}: PNG {width}x{height} without the point or line colour')
        failures += check_stopped(cli, work)
    finally:
        shutil.rmtree(work)
    for failure in failures:
        print('FAIL:', failure)
    print(f'{len(ROWS)} plots, {len(COMPARISON_ROWS)} comparison plots and a stopped comparison checked, '
          f'{len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
