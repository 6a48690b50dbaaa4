#!/usr/bin/env python3
"""The --compare --plot SVG of whole runs, parsed back as XML: one panel per
family in the JSON's ranked order, each family's own data along its fitted
line, units off a paper counted; one rendered by rsvg-convert. Then a
comparison on a larger sample stopped by a tiny time-out: exit status 4, no
ranking.

Usage: compare_plot_test.py TARQUEL_CLI
"""
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
LOG_PAPERS = {'weibull2', 'lognormal', 'loglogistic'}
DRAW = {  # one draw of each family from a uniform u and a generator r
    'weibull2': lambda u, r: r.weibullvariate(100, 1.7),
    'weibull3': lambda u, r: 200 + r.weibullvariate(100, 2.5),
    'exponential': lambda u, r: r.expovariate(1 / 50),
    'lognormal': lambda u, r: r.lognormvariate(3, 0.8),
    'loglogistic': lambda u, r: math.exp(3 + 0.4 * math.log(u / (1 - u))),
    'normal': lambda u, r: r.normalvariate(100, 15),
    'sev': lambda u, r: 500 + 10 * math.log(-math.log(1 - u)),
    'gamma': lambda u, r: r.gammavariate(3, 20),
    None: lambda u, r: abs(r.normalvariate(10, 5)),  # with two zeros (the reader drops negative values)
}
# family drawn, n, rank method, the largest median distance in pixels of its
# points from its fitted line, options (zeros need a typed gamma).
ROWS = [(family, 400, str(1 + k % 4), 1.5, []) for k, family in enumerate(FAMILIES)]
ROWS += [(None, 60, '1', None, ['-g', '-1'])]


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
        panels[g.get('id')[6:]] = (of('caption')[0].text, points, (fits or [None])[0], [e.text for e in of('gap-note')])
    return panels


def check_row(cli, work, family, n, rank, limit, options):
    r = random.Random(f'{family} {n}')
    times = [DRAW[family](r.random(), r) for _ in range(n)]
    zeros = 0 if family else 2
    times[:zeros] = [0] * zeros
    data, svg = os.path.join(work, 'sample.dat'), os.path.join(work, 'compare.svg')
    with open(data, 'w') as f:
        f.write(''.join(f'{t:.9g}\n' for t in times))
    result = run(cli, options + ['-r', rank, '--compare', '--format', 'json', '--plot', svg, data])
    if result.returncode not in (0, 6):
        return [f'exit status {result.returncode}: {result.stderr}']
    ranked = [entry['distribution'] for entry in json.loads(result.stdout)['compare']]
    panels = panels_of(svg)
    failures = [] if list(panels) == ranked else [f'panels {list(panels)}, ranking {ranked}']
    for place, name in enumerate(ranked):
        caption, points, line, gaps = panels[name]
        fitted = not caption.startswith(f'{place + 1}. {name}  no fit')
        if not caption.startswith(f'{place + 1}. {name}  ') or fitted != (line is not None):
            failures.append(f'{name}: caption {caption!r} with line {line}')
        # Log papers (and weibull3's without a fit) leave out t <= 0; position 2 F = 0 and 1.
        off = (zeros if name in LOG_PAPERS or (name == 'weibull3' and not fitted) else 0) + (2 if rank == '2' else 0)
        if len(points) != n - off or gaps != ([f'{off} off the paper'] if off else []):
            failures.append(f'{name}: {len(points)} points, notes {gaps}, expected {n - off}')
    if family and not statistics.median(distance(p, panels[family][2]) for p in panels[family][1]) <= limit:
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
        notes = [e.text for e in ET.parse(svg).getroot().iter() if e.get('class') == 'note']
        checks = [
            (text.returncode == 4, f'exit status {text.returncode}'),
            ('ranked' not in text.stdout and 'no ranking' in text.stderr, 'a ranking printed'),
            (record.get('compare_ending') == 'time-out' and 'compare' not in record, 'JSON compare keys'),
            (notes == ['the comparison was stopped: not ranked, in family order'], f'plot note {notes}'),
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
