#!/usr/bin/env python3
"""compare_plot_test.py TARQUEL_CLI: --compare --plot SVGs parsed back (panels in the ranked order, each
family's data along its line, gaps counted), one rendered; a comparison stopped by a time-out: exit 4, no ranking."""
import json
import math
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # importing the plot test writes nothing into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from plot_svg_test import FIT_COLOUR, NS, POINT_COLOUR, finish, png_colours  # noqa: E402

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
ROWS = [(family, 400, str(1 + k % 4), 1.5) for k, family in enumerate(FAMILIES)]


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
    ranked = [entry['distribution'] for entry in json.loads(result.stdout)['compare']]
    panels = panels_of(svg)
    failures = [] if list(panels) == ranked else [f'panels {list(panels)}, ranking {ranked}']
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


def main():
    cli, work, failures = sys.argv[1], tempfile.mkdtemp(), []
    try:
        for row in ROWS:
            failures += [f'{row[:3]}: {failure}' for failure in check_row(cli, work, *row)]
        png = os.path.join(work, 'compare.png')
        subprocess.run(['rsvg-convert', '-o', png, os.path.join(work, 'compare.svg')], check=True)
        width, height, colours = png_colours(png)
        if (width, height) != (1200, 660) or not {POINT_COLOUR, FIT_COLOUR} <= colours:
            failures.append(f'PNG {width}x{height} without the point or line colour')
        failures += check_stopped(cli, work)
    finally:
        shutil.rmtree(work)
    return finish(failures, f'{len(ROWS)} comparison plots and a stopped comparison checked')


if __name__ == '__main__':
    sys.exit(main())
