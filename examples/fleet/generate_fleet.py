"""Writes a fleet of field data as CSV: one row per unit, with its part
number, its time in hours and its status (F failed, S suspended).

Each of the 2,000 part numbers has its own three-parameter Weibull law
(shape m 0.7..4, scale eta 300..30,000 h, location gamma 0..20 % of eta)
and its own share of the rows; about 30 % of the units are suspended,
each removed from service at a uniform fraction of the life it would have
had. The seed is fixed: the same file every time.

    python3 generate_fleet.py [FILE] [--rows N] [--parts K]
"""

import argparse

import numpy as np
import pandas as pd

SEED = 20261207
SUSPENDED_SHARE = 0.3


def fleet(rows, parts, seed=SEED):
    rng = np.random.default_rng(seed)
    m = rng.uniform(0.7, 4.0, parts)
    eta = np.exp(rng.uniform(np.log(300.0), np.log(30000.0), parts))
    gamma = rng.uniform(0.0, 0.2, parts) * eta
    # Every part gets at least 20 units; the rest are shared out at random.
    share = rng.gamma(2.0, 1.0, parts)
    counts = 20 + rng.multinomial(rows - 20 * parts, share / share.sum())
    part = np.repeat(np.arange(parts), counts)
    life = gamma[part] + eta[part] * rng.weibull(m[part])
    suspended = rng.random(rows) < SUSPENDED_SHARE
    time = np.where(suspended, gamma[part] + (life - gamma[part]) * rng.random(rows), life)
    order = rng.permutation(rows)  # the rows of a part are spread over the file
    names = np.array([f"P{k:04d}" for k in range(parts)])
    return pd.DataFrame({"part": names[part[order]], "time": np.round(time[order], 2),
                         "status": np.where(suspended[order], "S", "F")})


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file", nargs="?", default="fleet.csv")
    parser.add_argument("--rows", type=int, default=5_000_000)
    parser.add_argument("--parts", type=int, default=2_000)
    args = parser.parse_args()
    frame = fleet(args.rows, args.parts)
    frame.to_csv(args.file, index=False, float_format="%.2f")
    print(f"{args.file}: {len(frame)} rows, {frame.part.nunique()} part numbers, "
          f"{(frame.status == 'S').mean():.1%} suspended")


if __name__ == "__main__":
    main()
