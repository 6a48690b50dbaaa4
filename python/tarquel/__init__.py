"""Three-parameter Weibull fits with Tarquel's engine.

    F(t) = 1 - exp(-(t - gamma)^m / t0)

``fit`` fits one sample (times, with optional suspension marks and counts,
or a data file); ``fit_groups`` fits one sample per group of a pandas
DataFrame; ``read`` reads a data file with the command line's reader;
``tarquel.dask.fit_groups`` fits the groups of a Dask DataFrame on a
cluster. The results are the command line's (``tarquel-cli --format json``):
the same keys and the same values, bit for bit.

A fit that the run refuses raises ``DataError`` (caption "Read data error")
or ``ParameterError`` (caption "Parameter error"), carrying the run's own
caption and text and the cause in words. A fit holds no lock on Python while
it runs, so threads can fit several samples at once; Ctrl-C stops a running
fit as the desktop program's Stop does and raises KeyboardInterrupt.
"""

import copy
import json
import math
import operator
import os
from collections import namedtuple

import numpy as np

from . import _tarquel

__all__ = ["Fit", "Error", "DataError", "ParameterError", "Data", "fit", "read", "fit_groups", "columns"]

_DATA_CAPTION = "Read data error"
_DATA_TEXT = "Invalid data type"
_PARAMETER_CAPTION = "Parameter error"
_SOLVERS = ("damped", "newton")


class Error(ValueError):
    """A refused fit: ``caption`` and ``text`` as the run shows them, ``cause`` in words."""

    def __init__(self, caption, text, cause=""):
        super().__init__(caption, text)
        self.caption = caption
        self.text = text
        self.cause = cause

    def __str__(self):
        return f"{self.caption}: {self.text}" + (f": {self.cause}" if self.cause else "")


class DataError(Error):
    """The data cannot be fitted: unreadable, too few values or failures, a
    value that is not a finite number, every failure at one time."""


class ParameterError(Error):
    """An option is refused: a location gamma not below the smallest time,
    or an option value outside its range."""


def _refusal(caption, text, cause):
    kind = ParameterError if caption == _PARAMETER_CAPTION else DataError
    return kind(caption, text, cause)


class Fit:
    """One fitted sample. Its attributes are the command line's JSON keys
    (``m``, ``t0``, ``gamma``, ``eta``, ``b_lives``, ``bounds``, ``warnings``,
    ...) with the same values; ``to_dict()`` gives the whole object."""

    __slots__ = ("_values",)

    def __init__(self, values):
        object.__setattr__(self, "_values", values)

    def __getattr__(self, name):
        try:
            return self._values[name]
        except KeyError:
            raise AttributeError(name) from None

    def __setattr__(self, name, value):
        raise AttributeError("a Fit cannot be changed")

    def __dir__(self):
        return list(self._values)

    def to_dict(self):
        """The JSON object as a dict, keys in the command line's order."""
        return copy.deepcopy(self._values)

    def __repr__(self):
        v = self._values
        return f"Fit(m={v['m']!r}, t0={v['t0']!r}, gamma={v['gamma']!r}, n={v['n']}, ending={v['ending']!r})"


Data = namedtuple("Data", ["times", "suspended"])
Data.__doc__ = """A data file's values in file order (float64) and, read as
censored, their suspension marks (bool, True for a status word S or s),
else None."""


def read(path, censored=False):
    """Reads a data file with the command line's reader (``--censored``:
    status words S/F mark suspensions). Raises DataError when it cannot be
    read."""
    times, suspended, _ = _tarquel.read(os.fspath(path), bool(censored))
    if times is None:
        raise DataError(_DATA_CAPTION, _DATA_TEXT, "cannot open the data file")
    return Data(times, suspended)


def _number(value, what):
    try:
        return float(value)
    except (TypeError, ValueError):
        raise ParameterError(_PARAMETER_CAPTION, f"Invalid {what}", f"{what} {value!r} is not a number") from None


def _options(gamma=None, rank=1, m0=1.0, solver="damped", confidence=0.9, timeout=None):
    """The options as the native fit takes them, checked as the command line
    checks its own; raises ParameterError."""
    def refuse(what, cause):
        raise ParameterError(_PARAMETER_CAPTION, f"Invalid {what}", cause)

    try:
        rank_number = operator.index(rank)
    except TypeError:
        rank_number = 0
    if isinstance(rank, bool) or not 1 <= rank_number <= 4:
        refuse("rank", f"rank {rank!r} is not a plotting position 1, 2, 3 or 4")
    if gamma is not None:
        gamma = _number(gamma, "gamma")
        if not math.isfinite(gamma):
            refuse("gamma", f"gamma {gamma!r} is not a finite number")
    m0 = _number(m0, "initial m")
    if not (math.isfinite(m0) and m0 > 0):
        refuse("initial m", f"m0 {m0!r} is not above 0")
    if solver not in _SOLVERS:
        refuse("solver", f"solver {solver!r} is not damped or newton")
    confidence = _number(confidence, "confidence")
    if not 0 < confidence < 1:
        refuse("confidence", f"confidence {confidence!r} is not between 0 and 1")
    seconds = 0.0
    if timeout is not None:
        seconds = _number(timeout, "timeout")
        if not seconds > 0:
            refuse("timeout", f"timeout {timeout!r} is not a number of seconds above 0")
    return dict(rank=rank_number, gamma=gamma, initial_m=m0, solver=solver, confidence=confidence, timeout=seconds)


def _array(values, dtype, what):
    try:
        return np.asarray(values, dtype=dtype)
    except (TypeError, ValueError) as e:
        raise DataError(_DATA_CAPTION, _DATA_TEXT, f"{what}: {e}") from None


def _counts(counts):
    c = np.asarray(counts)
    if c.dtype.kind in "iub":
        return c.astype(np.int64, copy=False)
    whole = _array(c, np.float64, "counts")
    if not np.all(np.isfinite(whole)) or not np.array_equal(whole, np.floor(whole)):
        raise DataError(_DATA_CAPTION, _DATA_TEXT, "counts: not every count is a whole number")
    return whole.astype(np.int64)


def _run(times, suspended, counts, path, censored, name, options):
    caption, text, cause, result = _tarquel.fit(times, suspended, counts, path, censored, name=name, **options)
    if caption:
        raise _refusal(caption, text, cause)
    return _floats(json.loads(result, parse_int=_json_int))


def _json_int(text):
    # A double prints as its shortest text, which for whole values has no
    # point ("0", "-0", "150"): "-0" must stay the double -0.0.
    return -0.0 if text == "-0" else int(text)


def _floats(values):
    """The JSON object with every number field a float, also where its
    shortest text was a whole number."""
    for _, kind, group, key in _tarquel.fields():
        where = values[group] if group else values
        if kind == "number" and where[key] is not None:
            where[key] = float(where[key])
        elif kind == "interval":
            where[key] = [None if v is None else float(v) for v in where[key]]
    return values


def _sample(times, suspended, counts):
    t = _array(times, np.float64, "times")
    if t.ndim != 1:
        raise DataError(_DATA_CAPTION, _DATA_TEXT, f"times: {t.ndim} dimensions, not 1")
    marks = None if suspended is None else _array(suspended, np.bool_, "suspended")
    return t, marks, None if counts is None else _counts(counts)


def fit(times, suspended=None, counts=None, *, gamma=None, rank=1, m0=1.0, solver="damped", confidence=0.9,
        timeout=None, censored=False, name=""):
    """Fits a three-parameter Weibull distribution.

    times       the times: any sequence or array of numbers (float64; a
                contiguous float64 array is read without a copy), or a data
                file's path (str or os.PathLike), read as the command line reads it
    suspended   per time: true for a suspension (a unit still running when
                observation ended), false for a failure; None: all failures
    counts      per time: how many units had it (each time counts as if
                written that often); None: one each
    gamma       the location, typed; None: searched (-g)
    rank        the plotting position 1..4 (-r)
    m0          the start value of the shape iteration, above 0 (-m)
    solver      "damped" (the desktop program's iteration) or "newton" (--solver)
    confidence  the level of the two-sided bounds, 0 < C < 1 (--confidence)
    timeout     stop the iteration after this many seconds (-t); None: never
    censored    for a data file: status words S/F mark suspensions (-c)
    name        for given times: the "file" the results name

    Returns a Fit. Raises DataError or ParameterError when the run refuses
    the data or an option, KeyboardInterrupt when Ctrl-C stopped the fit.
    """
    options = _options(gamma, rank, m0, solver, confidence, timeout)
    if isinstance(times, (str, os.PathLike)):
        if suspended is not None or counts is not None:
            raise TypeError("suspended and counts are for given times; a data file marks its own")
        return Fit(_run(None, None, None, os.fspath(times), bool(censored), "", options))
    t, marks, c = _sample(times, suspended, counts)
    return Fit(_run(t, marks, c, None, False, str(name), options))


def columns():
    """The result columns of ``fit_groups`` after the group keys, in order:
    the JSON keys (without "file"), the keys of "b_lives" and "bounds" by
    their field names (B1, B10, B50, confidence), each [lower, upper] bound
    as two columns NAME_lo and NAME_hi (as in the command line's CSV),
    "warnings" joined by "; ", and "error"."""
    return [name for name, _ in _column_kinds()]


def _column_kinds():
    kinds = []
    for name, kind, _, key in _tarquel.fields():
        if key == "file":
            continue
        if kind == "interval":
            kinds += [(name + "_lo", "number"), (name + "_hi", "number")]
        else:
            kinds.append((name, kind))
    return kinds + [("error", "text")]


def _flat_row(values):
    """A fit's JSON object as one row of columns()."""
    row = {}
    for name, kind, group, key in _tarquel.fields():
        if key == "file":
            continue
        value = values[group][key] if group else values[key]
        if kind == "interval":
            row[name + "_lo"], row[name + "_hi"] = (math.nan if v is None else v for v in value)
        elif kind == "list":
            row[name] = "; ".join(value)
        else:
            row[name] = math.nan if value is None else value
    row["error"] = None
    return row


def _group_row(times, marks, options):
    """The row of one group: its fit, or its refusal in "error"."""
    try:
        return _flat_row(_run(times, marks, None, None, False, "", options))
    except Error as e:
        return {"error": str(e)}


_DTYPES = {"text": object, "list": object, "count": "Int64", "number": np.float64, "flag": "boolean"}


def _frame(rows, keys, key_dtypes):
    """The result frame of these rows: the key columns, then columns()."""
    import pandas as pd

    kinds = _column_kinds()
    data = {k: pd.Series([r[k] for r in rows], dtype=key_dtypes[k]) for k in keys}
    for name, kind in kinds:
        missing = math.nan if kind == "number" else None
        data[name] = pd.Series([r.get(name, missing) for r in rows], dtype=_DTYPES[kind])
    return pd.DataFrame(data, columns=list(keys) + [name for name, _ in kinds])


def _marks(status):
    """Suspension marks from a status column: the status words S/F (any
    case) or true/1 for a suspension."""
    values = np.asarray(status)
    if values.dtype.kind in "biuf":
        return values != 0
    words = np.char.upper(values.astype(str))
    if not np.all((words == "S") | (words == "F")):
        raise DataError(_DATA_CAPTION, _DATA_TEXT, "status: a value that is neither S nor F")
    return words == "S"


def _keys(by):
    return [by] if isinstance(by, str) or not hasattr(by, "__iter__") else list(by)


def fit_groups(frame, by, time="time", status=None, **options):
    """Fits one sample per group of a pandas DataFrame.

    by          the column (or list of columns) whose values form the groups
    time        the column of the times
    status      None (every row a failure), or the column of the status:
                S/F (any case) or a boolean or 0/1 (1: suspended)
    options     as for fit (gamma, rank, m0, solver, confidence, timeout)

    Returns a DataFrame with one row per group in the order of the keys: the
    key columns, then columns(). A group that the run refuses has its error
    ("Read data error: Invalid data type: fewer than 3 failures ...") in
    "error" and no figures; the other groups go on.
    """
    checked = _options(**options)
    keys = _keys(by)
    times = _array(frame[time], np.float64, "times")
    marks = None if status is None else _marks(frame[status])
    rows = []
    for key, index in frame.groupby(keys, sort=True).indices.items():
        row = _group_row(times[index], None if marks is None else marks[index], checked)
        row.update(zip(keys, key if isinstance(key, tuple) else (key,)))
        rows.append(row)
    result = _frame(rows, keys, {k: frame[k].dtype for k in keys})
    return result.sort_values(keys, ignore_index=True, kind="stable")
