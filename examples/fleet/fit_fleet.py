"""Fits one Weibull per part number of a fleet CSV (generate_fleet.py) on a
Dask cluster, checks the result against the in-process fits bit for bit, and
prints what it measured.

    python3 fit_fleet.py [FILE] [--scheduler ADDRESS] [--workers 2] [--blocksize 16MB]

Without --scheduler it starts a LocalCluster of --workers worker processes
with one thread each on this machine. With --scheduler tcp://HOST:8786 it
uses that cluster: every worker must have tarquel installed and read FILE
at the same path (a shared folder or an object store URL Dask can read).
"""

import argparse
import resource
import time

import dask.dataframe as dd
import numpy as np
import pandas as pd
from distributed import Client, LocalCluster

import tarquel
import tarquel.dask

COLUMNS = {"part": "object", "time": "float64", "status": "object"}
OPTIONS = {"solver": "newton"}  # the solver for batch work: the same root in a handful of passes


def peak_memory_mb():
    """The peak resident memory of this process in MB (Linux counts kB)."""
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def same_bits(a, b):
    """True when the frames hold the same columns, types and values, doubles bit for bit."""
    if list(a.columns) != list(b.columns) or list(a.dtypes) != list(b.dtypes) or len(a) != len(b):
        return False
    for c in a.columns:
        x, y = a[c].to_numpy(), b[c].to_numpy()
        if x.dtype == np.float64 and not np.array_equal(x.view(np.uint64), y.view(np.uint64)):
            return False
        if x.dtype != np.float64 and not a[c].equals(b[c]):
            return False
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file", nargs="?", default="fleet.csv")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler (default: a LocalCluster)")
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--blocksize", default="16MB")
    args = parser.parse_args()

    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, dashboard_address=None)
        client = Client(cluster)
    print("cluster:", client)

    start = time.perf_counter()
    ddf = dd.read_csv(args.file, dtype=COLUMNS, blocksize=args.blocksize)
    rows = len(ddf)
    fitted = tarquel.dask.fit_groups(ddf, "part", status="status", **OPTIONS).compute()
    on_cluster = time.perf_counter() - start
    fitted = fitted.sort_values("part", ignore_index=True)
    worker_memory = client.run(peak_memory_mb)
    groups = len(fitted)
    print(f"Dask: {rows} rows, {ddf.npartitions} partitions, {groups} groups in {on_cluster:.1f} s "
          f"(reading, shuffle and fits): {groups / on_cluster:.0f} groups/s, {rows / on_cluster:.0f} rows/s")
    for worker, mb in sorted(worker_memory.items()):
        print(f"  peak memory of worker {worker}: {mb:.0f} MB")
    print(f"  refused groups: {int(fitted.error.notna().sum())}")
    client.close()

    start = time.perf_counter()
    frame = pd.read_csv(args.file, dtype=COLUMNS)
    expected = tarquel.fit_groups(frame, "part", status="status", **OPTIONS)
    in_process = time.perf_counter() - start
    print(f"in process: {len(frame)} rows, {len(expected)} groups in {in_process:.1f} s "
          f"(reading and fits): {len(expected) / in_process:.0f} groups/s, {len(frame) / in_process:.0f} rows/s; "
          f"peak memory {peak_memory_mb():.0f} MB")
    same = same_bits(fitted, expected)
    print("Dask result equals the in-process result bit for bit:", same)
    raise SystemExit(0 if same else 1)


if __name__ == "__main__":
    main()
