# SPDX-License-Identifier: MIT
"""The array loop keeps no memory: 20 calls on a million points after a warm-up."""
import resource
import tracemalloc

import numpy as np

import sheetfind

POINTS = 1_000_000
CALLS = 20


def _resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize()


def test_repeated_vector_calls_keep_memory_flat():
    generator = np.random.default_rng(7)
    lat = generator.uniform(40.0, 88.0, POINTS)
    lon = generator.uniform(-144.0, -48.0, POINTS)
    # Warm-up: the first allocations and caches. The C library's allocator settles
    # after a few calls: once an array of this size has been freed it keeps the next
    # one's memory on its heap, resident, for reuse, one array and no more.
    for _ in range(3):
        answers = sheetfind.locate(lat, lon)
        del answers
    tracemalloc.start()
    resident_before = _resident_bytes()
    traced_before = tracemalloc.get_traced_memory()[0]
    for _ in range(CALLS):
        answers = sheetfind.locate(lat, lon)
        del answers
    traced_after = tracemalloc.get_traced_memory()[0]
    resident_after = _resident_bytes()
    tracemalloc.stop()
    one_answer = POINTS * np.dtype("<U6").itemsize
    print(f"traced {traced_after - traced_before} B, resident {resident_after - resident_before} B")
    # A leak of one answer array per call would be 20 x 24 MB; allow a fraction of one.
    assert traced_after - traced_before < one_answer // 10
    assert resident_after - resident_before < one_answer // 2
