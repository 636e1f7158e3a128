"""calorix.dask on a local Dask cluster of two worker processes (loopback only): the values of
2,000 fluids equal those of one process and calorix-host batch's, bit for bit."""

import dask.dataframe as dd
import pandas as pd
from distributed import Client, LocalCluster, get_task_stream

import calorix
import calorix.dask
from host_batch import assert_frame_equals_host, gas_frame, host_batch


def test_two_worker_processes_give_the_values_of_one_process(tmp_path):
    frame = gas_frame(2000, seed=2)
    frame.loc[7, "pressure_bar"] = -1.0   # a bad row gives its status on the cluster too
    fluids = dd.from_pandas(frame, npartitions=8)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        with get_task_stream(client) as tasks:
            spread = calorix.dask.evaluate(fluids, correlations="iso6976").compute()
        mapped = fluids.map_partitions(calorix.evaluate_frame, correlations="iso6976", threads=1,
                                       meta=calorix.dask.meta(fluids, correlations="iso6976")).compute()
        workers = {t["worker"] for t in tasks.data}
        assert workers and workers <= set(cluster.scheduler_info["workers"])
    single = calorix.evaluate_frame(frame, "iso6976")
    pd.testing.assert_frame_equal(spread, single, check_exact=True)
    pd.testing.assert_frame_equal(mapped, single, check_exact=True)
    assert spread.loc[7, "status"].startswith("input error: row 7: pressure_bar:")
    assert_frame_equals_host(spread, frame, host_batch(frame, tmp_path, "--correlations", "iso6976"), phases=False)
