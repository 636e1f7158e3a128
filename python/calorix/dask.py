"""Fluids of a Dask DataFrame, evaluated partition by partition on a Dask cluster's workers.

Each partition is a pandas DataFrame that a worker evaluates with calorix.evaluate_frame; the
result is a Dask DataFrame with the same partitions and index. Every worker needs the package
calorix (and the correlation module beside it) installed. Nothing is computed until the result
is (``.compute()``, ``.to_parquet(...)``, ...).

    import dask.dataframe as dd
    from distributed import Client
    import calorix.dask

    client = Client("tcp://scheduler:8786")
    fluids = dd.read_csv("analyses-*.csv")
    values = calorix.dask.evaluate(fluids, correlations="iso6976").compute()
"""

import calorix


def evaluate(ddf, correlations="all", flash=False, edition=1995, ref=None, methane_origin="fossil", model="gerg2008",
             threads=1, units="si", percent=False, normalise=False, phases=False, strict=False):
    """calorix.evaluate_frame on every partition of a Dask DataFrame; a Dask DataFrame.

    The arguments are those of calorix.evaluate_frame, except ``threads``: threads per partition
    (default 1, since Dask runs one partition per worker thread at a time; a worker of one thread
    per machine can take None, every core). The same as
    ``ddf.map_partitions(calorix.evaluate_frame, ..., meta=calorix.dask.meta(ddf, ...))``.
    """
    options = dict(correlations=correlations, flash=flash, edition=edition, ref=ref, methane_origin=methane_origin,
                   model=model, threads=threads, units=units, percent=percent, normalise=normalise, phases=phases, strict=strict)
    return ddf.map_partitions(calorix.evaluate_frame, meta=meta(ddf, **options), **options)


def meta(ddf, **options):
    """The empty DataFrame that evaluate_frame gives for ddf's columns with these options: the
    ``meta`` of ``ddf.map_partitions(calorix.evaluate_frame, ...)``. Raises ValueError, on the
    client, for columns that would refuse every row."""
    return calorix.evaluate_frame(ddf._meta, **options)
