#!/usr/bin/env python3
"""The comparison's small multiples of whole command-line runs, parsed back as
XML: one panel per family in the ranked order of the JSON, each family's own
data lying along its fitted line on its paper, units off a paper counted and
not drawn; one rendered to PNG by rsvg-convert. Then a comparison stopped by
a tiny time-out on a larger sample: exit status 4 and no ranking printed.

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


def draw(family, r):
    """One draw from a family (the parameters of each row are fixed here)."""
    u = r.random()
    return {
        'weibull2': lambda: r.weibullvariate(100, 1.7),
        'weibull3': lambda: 200 + r.weibullvariate(100, 2.5),
        'exponential': lambda: r.expovariate(1 / 50),
        'lognormal': lambda: r.lognormvariate(3, 0.8),
        'loglogistic': lambda: math.exp(3 + 0.4 * math.log(u / (1 - u))),
        'normal': lambda: r.normalvariate(100, 15),
        'sev': lambda: 500 + 10 * math.log(-math.log(1 - u)),
        'gamma': lambda: r.gammavariate(3, 20),
    }[family]()


# family the data are drawn from (None: normal data with two zeros), n,
# rank method, the largest median distance in pixels of that family's points
# from its fitted line, further options (a zero needs a typed gamma).
ROWS = [(family, 400, str(1 + k % 4), 1.5, []) for k, family in enumerate(FAMILIES)]
ROWS += [(None, 60, '1', None, ['-g', '-1'])]


def run(cli, args):
    return subprocess.run([cli, '-q'] + args, capture_output=True, text=True)


def distance(point, line):
    """Pixels from a point to the infinite line through the fit's ends."""
    (x, y), (x1, y1, x2, y2) = point, line
    return abs((x2 - x1) * (y1 - y) - (x1 - x) * (y2 - y1)) / math.hypot(x2 - x1, y2 - y1)


def panels_of(svg):
    """{family: (caption, points, fitted line or None, gap note)} in document order."""
    panels = {}
    for g in ET.parse(svg).getroot().iter(NS + 'g'):
        if g.get('class') != 'panel':
            continue
        kids = list(g)
        caption = [e.text for e in kids if e.get('class') == 'caption']
        points = [(float(e.get('cx')), float(e.get('cy'))) for e in kids if e.get('class') == 'point']
        fits = [tuple(float(e.get(a)) for a in ('x1', 'y1', 'x2', 'y2')) for e in kids if e.get('class') == 'fit']
        gaps = [e.text for e in kids if e.get('class') == 'gap-note']
        panels[g.get('id')[len('panel-'):]] = (caption[0], points, fits[0] if fits else None, gaps)
    return panels


def check_row(cli, work, row):
    family, n, rank, limit, options = row
    r = random.Random(f'{family} {n}')
    # The reader passes over negative values; zeros it keeps.
    times = [draw(family, r) for _ in range(n)] if family else [0, 0] + [abs(r.normalvariate(10, 5)) for _ in range(n - 2)]
    data, svg = os.path.join(work, 'sample.dat'), os.path.join(work, 'compare.svg')
    with open(data, 'w') as f:
        f.write(''.join(f'{t:.9g}\n' for t in times))
    result = run(cli, options + ['-r', rank, '--compare', '--format', 'json', '--plot', svg, data])
    if result.returncode not in (0, 6):
        return [f'exit status {result.returncode}: {result.stderr}']
    ranked = [entry['distribution'] for entry in json.loads(result.stdout)['compare']]
    panels = panels_of(svg)
    failures = []
    if list(panels) != ranked:
        failures.append(f'panels {list(panels)}, ranking {ranked}')
    for place, name in enumerate(ranked):
        caption, points, line, gaps = panels[name]
        fitted = not caption.startswith(f'{place + 1}. {name}  no fit')
        if not caption.startswith(f'{place + 1}. {name}  ') or fitted != (line is not None):
            failures.append(f'{name}: caption {caption!r} with line {line}')
        # Log papers leave out t <= 0; every other paper draws each point.
        off = sum(t <= 0 for t in times) if name in ('weibull2', 'lognormal', 'loglogistic') else 0
        if name in ('weibull3', 'gamma') and not fitted:
            off = sum(t <= 0 for t in times) if name == 'weibull3' else 0
        failures_at_0_or_1 = 2 if rank == '2' else 0  # position 2 puts the ends at F = 0 and 1
        off += failures_at_0_or_1
        if len(points) != n - off or (gaps != [f'{off} off the paper'] if off else gaps):
            failures.append(f'{name}: {len(points)} points, notes {gaps}, expected {n - off}')
    if family:
        caption, points, line, _ = panels[family]
        spread = statistics.median(distance(p, line) for p in points)
        if not spread <= limit:
            failures.append(f'{family}: median distance {spread:.2f} px from its line')
    return failures


def check_stopped(cli, work):
    """A tiny time-out on 20000 units: the comparison ends stopped, never ranked."""
    r = random.Random('stopped')
    data, svg = os.path.join(work, 'large.dat'), os.path.join(work, 'stopped.svg')
    with open(data, 'w') as f:
        f.write(''.join(f'{50 + r.weibullvariate(100, 2):.9g}\n' for _ in range(20000)))
    failures = []
    for args in (['--compare'], ['--compare', '--gamma-method', 'mle']):
        text = run(cli, args + ['-t', '1e-6', '--plot', svg, data])
        answer = run(cli, args + ['-t', '1e-6', '--format', 'json', data])
        record = json.loads(answer.stdout)
        notes = [e.text for e in ET.parse(svg).getroot().iter() if e.get('class') == 'note']
        checks = [
            (text.returncode == 4 and answer.returncode == 4, f'exit {text.returncode}, {answer.returncode}'),
            ('ranked' not in text.stdout, 'a ranking printed'),
            ('no ranking' in text.stderr, f'no warning: {text.stderr}'),
            (record.get('compare_ending') == 'time-out' and 'compare' not in record, 'JSON compare keys'),
            (notes == ['the comparison was stopped: not ranked, in family order'], f'plot note {notes}'),
            (list(panels_of(svg)) == FAMILIES, 'panels not in family order'),
        ]
        if 'mle' in args:
            checks.append((record['gamma_source'] == 'curvature (likelihood search stopped)', record['gamma_source']))
        failures += [f'{args}: {what}' for ok, what in checks if not ok]
    return failures


def main():
    cli = sys.argv[1]
    work = tempfile.mkdtemp()
    failures = []
    try:
        for row in ROWS:
            failures += [f'{row[0]} n={row[1]} rank {row[2]}: {f}' for f in check_row(cli, work, row)]
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
