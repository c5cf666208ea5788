"""Watching memory while a code path is looped."""
import gc
import tracemalloc


def assert_does_not_leak(path, name, runs=3000):
    """Loops `path` under tracemalloc after a warm-up (caches, free lists);
    a leak of one small object per call would be far over the bound."""
    for _ in range(200):
        path()
    gc.collect()
    tracemalloc.start()
    try:
        for _ in range(100):
            path()
        gc.collect()
        start, _ = tracemalloc.get_traced_memory()
        for _ in range(runs):
            path()
        gc.collect()
        end, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert end - start < 16 * 1024, f"{name}: grew by {end - start} bytes"
