# SPDX-License-Identifier: MIT
"""examples/dask_annotate.py against a scheduler and two workers in their own
processes, compared byte for byte with the same table annotated in one process."""
import os
import subprocess
import sys
import time
from pathlib import Path

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
distributed = pytest.importorskip("distributed")

import sheetfind  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
EXAMPLE = ROOT / "examples" / "dask_annotate.py"
ROWS = int(os.environ.get("SHEETFIND_DASK_ROWS", "2000000"))
SEED = 86


def _module_path():
    return str(Path(sheetfind.__file__).resolve().parents[1])


def _environment():
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [_module_path(), env.get("PYTHONPATH")]))
    return env


def _stop(processes):
    for process in processes:
        if process.poll() is None:
            process.terminate()
    for process in processes:
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@pytest.fixture
def cluster(tmp_path):
    """The scheduler's address, with the scheduler and two workers running."""
    scheduler_file = tmp_path / "scheduler.json"
    processes = []
    logs = []
    try:
        def start(*args, name):
            log = open(tmp_path / f"{name}.log", "w")
            logs.append(log)
            processes.append(
                subprocess.Popen(
                    [sys.executable, "-m", *args], env=_environment(), stdout=log, stderr=log
                )
            )

        start("distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0",
              "--no-dashboard", "--scheduler-file", str(scheduler_file), name="scheduler")
        for number in range(2):
            start("distributed.cli.dask_worker", "--scheduler-file", str(scheduler_file),
                  "--nthreads", "1", "--no-dashboard", "--local-directory", str(tmp_path),
                  name=f"worker{number}")
        with distributed.Client(scheduler_file=str(scheduler_file), timeout=60) as client:
            client.wait_for_workers(2, timeout=120)
            address = client.scheduler.address
        yield address
    finally:
        _stop(processes)
        for log in logs:
            log.close()


@pytest.mark.slow
def test_two_workers_write_what_one_process_writes(cluster, tmp_path):
    print(f"seed {SEED}, {ROWS} rows")
    generator = np.random.default_rng(SEED)
    source = tmp_path / "points.csv"
    table = pd.DataFrame(
        {
            "id": np.arange(ROWS),
            "lat": np.round(generator.uniform(38.0, 90.0, ROWS), 6),
            "lon": np.round(generator.uniform(-150.0, -40.0, ROWS), 6),
        }
    )
    # Some rows on 15' edges, and some with no coordinates at all.
    table.loc[::7, "lat"] = np.round(table.loc[::7, "lat"] * 4) / 4
    table.loc[::1000, "lon"] = np.nan
    table.to_csv(source, index=False)

    output = tmp_path / "annotated.csv"
    done = subprocess.run(
        [sys.executable, str(EXAMPLE), str(source), str(output), "--scheduler", cluster,
         "--blocksize", "4MB"],
        env=_environment(), capture_output=True, text=True, timeout=900,
    )
    assert done.returncode == 0, done.stdout + done.stderr
    assert "100% Completed" in done.stdout

    expected = tmp_path / "single.csv"
    single = pd.read_csv(source)
    single["nts_50k"] = sheetfind.locate(single["lat"], single["lon"]).astype(object)
    single.to_csv(expected, index=False)
    assert output.read_bytes() == expected.read_bytes()
