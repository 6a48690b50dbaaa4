"""Tests of the Python module against the command line (TARQUEL_CLI, else
build/native's tarquel-cli). Runs under pytest or unittest."""

import json
import math
import os
import signal
import subprocess
import tempfile
import threading
import unittest
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pandas as pd

import tarquel

ROOT = Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
CLI = os.environ.get("TARQUEL_CLI", str(ROOT / "build/native/cli/tarquel-cli"))


COUNTS = {"n", "rank", "failures", "suspensions"}


def cli_json(path, *args):
    """The command line's JSON object with every number kept as its text
    (with the module's default solver unless the arguments name one)."""
    solver = [] if "--solver" in args else ["--solver", "damped"]
    out = subprocess.run([CLI, "--format", "json", *solver, *args, str(path)], capture_output=True, text=True)
    return json.loads(out.stdout, parse_int=str, parse_float=str)


def same(c, p, key=""):
    """The command line's object c against a Fit's dict p: the same keys in
    the same order, counts as ints, every other number a float of the same bits."""
    if isinstance(p, dict):
        return list(c) == list(p) and all(same(c[k], p[k], k) for k in p)
    if isinstance(p, list):
        return len(c) == len(p) and all(same(x, y, key) for x, y in zip(c, p))
    if isinstance(p, bool):
        return c is p
    if isinstance(p, float):
        return key not in COUNTS and float(c).hex() == p.hex()
    if isinstance(p, int):
        return key in COUNTS and c == str(p)
    return c == p


def weibull(n, m, eta, gamma, seed):
    return gamma + eta * np.random.default_rng(seed).weibull(m, n)


def bits_equal(a, b):
    """Frames equal column by column, doubles bit for bit (NaN included): the same columns and types, and the
    same hash of every row (pandas hashes a number by its bits, the columns in order)."""
    hashes = pd.util.hash_pandas_object
    return (list(a.columns), list(a.dtypes)) == (list(b.columns), list(b.dtypes)) and hashes(a).equals(hashes(b))


class FitAgainstCommandLine(unittest.TestCase):
    # (data file, command line options, fit keywords, also via read())
    ROWS = [
        ("bearings.dat", [], {}, True),
        ("bearings.dat", ["-r", "2", "--confidence", "0.95"], {"rank": 2, "confidence": 0.95}, True),
        ("capacitors.dat", ["-r", "3", "--solver", "newton"], {"rank": 3, "solver": "newton"}, True),
        ("ceramic_strength.dat", ["-g", "100", "-m", "2"], {"gamma": 100, "m0": 2}, True),
        ("remission.dat", ["-c", "-r", "4"], {"censored": True, "rank": 4}, True),
        ("remission.dat", [], {}, False),  # status words read as failures: a warning the file alone carries
    ]

    def test_same_keys_and_bits(self):
        for name, args, options, via_read in self.ROWS:
            with self.subTest(file=name, args=args):
                expected = cli_json(EXAMPLES / name, *args)
                fitted = tarquel.fit(EXAMPLES / name, **options)
                self.assertTrue(same(expected, fitted.to_dict()), fitted.to_dict())
                if via_read:
                    data = tarquel.read(EXAMPLES / name, options.pop("censored", False))
                    given = tarquel.fit(data.times, data.suspended, name=str(EXAMPLES / name), **options)
                    self.assertTrue(same(expected, given.to_dict()), given.to_dict())
                    self.assertEqual((given.m, given.b_lives), (fitted.m, fitted.b_lives))

    def test_counts_equal_the_written_out_file(self):
        times, counts = [17.5, 30.0, 30.25, 41.0, 88.0], [2, 1, 3, 0, 4]
        with tempfile.TemporaryDirectory() as folder:
            path = Path(folder) / "counted.dat"
            path.write_text("".join(f"{t!r}\n" * c for t, c in zip(times, counts)))
            expected = cli_json(path)
            fitted = tarquel.fit(times, counts=np.array(counts), name=str(path))
        self.assertTrue(same(expected, fitted.to_dict()), fitted.to_dict())


class Refusals(unittest.TestCase):
    BEARINGS = EXAMPLES / "bearings.dat"
    # (arguments, keywords, exception, text)
    ROWS = [
        (([1.0, 2.0],), {}, tarquel.DataError, "Invalid data type"),
        (([1.0, 2.0, math.inf, 4.0],), {}, tarquel.DataError, "Invalid data type"),
        (([1.0, math.nan, 3.0, 4.0],), {}, tarquel.DataError, "Invalid data type"),
        (([5.0, 5.0, 5.0, 9.0], [0, 0, 0, 1]), {}, tarquel.DataError, "Invalid data type"),
        ((["a", "b", "c"],), {}, tarquel.DataError, "Invalid data type"),
        (([1.0, 2.0, 3.0],), {"counts": [1, -1, 2]}, tarquel.DataError, "Invalid data type"),
        (([1.0, 2.0, 3.0],), {"counts": [1, 1.5, 2]}, tarquel.DataError, "Invalid data type"),
        (([1.0, 2.0, 3.0], [0, 1]), {}, tarquel.DataError, "Invalid data type"),
        ((EXAMPLES / "no such file.dat",), {}, tarquel.DataError, "Invalid data type"),
        ((BEARINGS,), {"gamma": 17.88}, tarquel.ParameterError, "Invalid gamma"),
        (([1.0, 2.0, 3.0],), {"gamma": math.nan}, tarquel.ParameterError, "Invalid gamma"),
        (([-1.0, 2.0, 3.0],), {}, tarquel.ParameterError, "Invalid gamma"),
        ((BEARINGS,), {"rank": 5}, tarquel.ParameterError, "Invalid rank"),
        ((BEARINGS,), {"m0": 0}, tarquel.ParameterError, "Invalid initial m"),
        ((BEARINGS,), {"solver": "bisection"}, tarquel.ParameterError, "Invalid solver"),
        ((BEARINGS,), {"confidence": 1}, tarquel.ParameterError, "Invalid confidence"),
        ((BEARINGS,), {"timeout": 0}, tarquel.ParameterError, "Invalid timeout"),
    ]

    def test_each_refusal_raises_its_exception(self):
        for args, options, kind, text in self.ROWS:
            with self.subTest(args=args, options=options):
                with self.assertRaises(kind) as raised:
                    tarquel.fit(*args, **options)
                caption = "Read data error" if kind is tarquel.DataError else "Parameter error"
                self.assertEqual(raised.exception.args, (caption, text))
                self.assertTrue(raised.exception.cause)

    def test_read_refuses_an_unreadable_file(self):
        with self.assertRaises(tarquel.DataError):
            tarquel.read(EXAMPLES)


class Arrays(unittest.TestCase):
    def test_any_array_gives_the_list_fit(self):
        values = [17.0, 28.0, 33.0, 41.0, 42.0, 45.0, 48.0, 51.0, 54.0, 55.0, 68.0, 84.0, 93.0, 105.0]
        expected = repr(tarquel.fit(values).to_dict())
        wide = np.repeat(np.array(values), 3)
        rows = [np.array(values), wide[::3], np.array(values)[::-1], np.array(values, dtype=np.float32),
                np.array(values, dtype=np.int64), np.array(values, dtype=np.uint16), pd.Series(values), tuple(values)]
        for array in rows:
            with self.subTest(array=type(array).__name__, dtype=getattr(array, "dtype", None)):
                self.assertEqual(repr(tarquel.fit(array).to_dict()), expected)


class Threads(unittest.TestCase):
    def test_two_threads_give_the_bits_of_two_runs_in_turn(self):
        # Each solver in one of them: a run shares nothing with another.
        runs = [(weibull(5000, 1.7, 40.0, 3.0, 1), "damped"), (weibull(150000, 0.8, 40.0, 2.0, 2), "newton")]
        in_turn = [repr(tarquel.fit(s, solver=solver).to_dict()) for s, solver in runs]
        with ThreadPoolExecutor(2) as pool:
            at_once = list(pool.map(lambda run: repr(tarquel.fit(run[0], solver=run[1]).to_dict()), runs))
        self.assertEqual(at_once, in_turn)


class Interrupt(unittest.TestCase):
    def test_ctrl_c_stops_a_long_fit(self):
        # The damped iteration on two million times in the thousands takes
        # thousands of passes; a SIGINT a moment after the start stops it.
        times = weibull(2000000, 1.3, 5000.0, 0.0, 3)
        timer = threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT))
        timer.start()
        try:
            with self.assertRaises(KeyboardInterrupt):
                tarquel.fit(times, gamma=0)
        finally:
            timer.cancel()
        self.assertEqual(tarquel.fit(times[:1000], gamma=0, solver="newton").ending, "converged")


class Groups(unittest.TestCase):
    def test_groups_are_the_fits_of_their_rows(self):
        frame = pd.DataFrame({"part": ["b", "a", "b", "c", "a", "b", "a", "c", "b", "a"],
                              "time": [3.0, 10.0, 7.5, 4.0, 12.0, 9.0, 30.0, 5.0, 2.0, 11.0],
                              "status": ["F", "f", "s", "F", "F", "F", "S", "F", "F", "F"]})
        result = tarquel.fit_groups(frame, "part", status="status", rank=3)
        self.assertEqual(list(result.part), ["a", "b", "c"])
        for row in result.itertuples():
            group = frame[frame.part == row.part]
            with self.subTest(part=row.part):
                try:
                    fitted = tarquel.fit(group.time, group.status.str.upper() == "S", rank=3)
                except tarquel.Error as e:
                    self.assertEqual(row.error, str(e))
                    self.assertTrue(math.isnan(row.m))
                    continue
                self.assertIsNone(row.error)
                self.assertEqual((row.m, row.B10_lo, row.n), (fitted.m, fitted.bounds["B10"][0], fitted.n))
        self.assertEqual(list(result.error.notna()), [False, False, True])

    def test_dask_on_two_workers_equals_in_process(self):
        import dask.dataframe as dd
        from distributed import Client, LocalCluster

        import tarquel.dask

        rng = np.random.default_rng(18)
        parts = rng.integers(0, 200, 100000)
        frame = pd.DataFrame({"part": parts, "time": np.round(weibull(100000, 1.5, 400.0, 20.0, 4) + parts, 3),
                              "status": np.where(rng.random(100000) < 0.3, "S", "F")})
        frame.loc[frame.part == 7, "status"] = "S"  # a refused group
        expected = tarquel.fit_groups(frame, "part", status="status", solver="newton")
        with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, Client(cluster):
            lazy = tarquel.dask.fit_groups(dd.from_pandas(frame, npartitions=6), "part", status="status",
                                           solver="newton")
            result = lazy.compute().sort_values("part", ignore_index=True)
        self.assertEqual((len(result), int(result.error.notna().sum())), (200, 1))
        self.assertTrue(bits_equal(result, expected))


if __name__ == "__main__":
    unittest.main()
