#!/usr/bin/env python3
"""Times scipy.stats.weibull_min.fit on a data file for scripts/bench.sh.

Usage: scipy_fit.py FILE COUNT REPEATS
Loads the file (not timed), fits all three parameters REPEATS times and
prints one line: shape location scale median-seconds.
"""
import statistics
import sys
import time

import numpy as np
from scipy.stats import weibull_min


def main():
    path, count, repeats = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    data = np.fromfile(path, sep="\n")
    if data.size != count:
        sys.exit(f"scipy_fit.py: {path} holds {data.size} values, expected {count}")
    seconds = []
    for _ in range(repeats):
        start = time.perf_counter()
        shape, location, scale = weibull_min.fit(data)
        seconds.append(time.perf_counter() - start)
    print(f"{shape:.17g} {location:.17g} {scale:.17g} {statistics.median(seconds):.6f}")


if __name__ == "__main__":
    main()
