"""Per-group fits of a Dask DataFrame, on whatever cluster Dask runs on.

``fit_groups(ddf, by, ...)`` is ``tarquel.fit_groups`` for a Dask DataFrame:
Dask's groupby-apply first shuffles the rows on ``by``, so that the rows of
a group spread over several partitions come together in one, then each
partition's groups are fitted on the worker that holds it. A fit depends
only on the set of a group's rows, not on their order, so the rows equal
the in-process ``tarquel.fit_groups`` bit for bit.
"""

import dask.dataframe  # noqa: F401  (the groupby-apply of Dask DataFrames)

import tarquel


def _fit_group(group, keys, time, status, options):
    """The one-row frame of one group: its keys and its fit or refusal."""
    marks = None if status is None else tarquel._marks(group[status])
    row = tarquel._group_row(group[time].to_numpy(dtype="float64"), marks, options)
    row.update((k, group[k].iloc[0]) for k in keys)
    return tarquel._frame([row], keys, {k: group[k].dtype for k in keys})


def fit_groups(ddf, by, time="time", status=None, **options):
    """Fits one sample per group of a Dask DataFrame.

    Arguments as for tarquel.fit_groups. Returns a lazy Dask DataFrame of
    one row per group (the key columns, then tarquel.columns()); its rows
    come in partition order: ``.compute().sort_values(by, ignore_index=True)``
    gives the in-process result. The options are checked at once
    (ParameterError); refused groups carry their error in "error".
    """
    checked = tarquel._options(**options)
    keys = tarquel._keys(by)
    used = list(dict.fromkeys(keys + [time] + ([] if status is None else [status])))
    meta = tarquel._frame([], keys, {k: ddf._meta[k].dtype for k in keys})
    return ddf[used].groupby(keys, group_keys=False).apply(
        _fit_group, keys, time, status, checked, meta=meta)


__all__ = ["fit_groups"]
