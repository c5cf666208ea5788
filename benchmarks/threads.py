"""detect_mime calls per second with 1 and with 2 threads.

Usage: python benchmarks/threads.py [--seconds S] [--repeat N] [--threads 1,2]
                                    [--registered] [--shared-buffer]

Each thread calls taxon.detect_mime on its own copy of the buffer (as each
thread of a scan reads its own files; --shared-buffer passes all threads the
one object) in a loop for S seconds; the total of all threads is reported, best of N runs, with the
speed-up over one thread. Next to it, calls per CPU-second of the threads
(time.thread_time) and their ratio: contention between threads (shared
reference counts, locks) shows as more CPU per call, even on a loaded
machine where the wall-clock figures mostly tell how much CPU it gave. On a free-threaded interpreter with the GIL off
the calls run in parallel; with the GIL they take turns (speed-up near 1).
--registered adds a magic registration that does not match, so each call
also walks the registration list. Load from other processes skews the
figures: the load average is printed with them.
"""
import argparse
import os
import sys
import threading
import time

import taxon

PNG = (b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\rIHDR" + (640).to_bytes(4, "big")
       + (480).to_bytes(4, "big") + b"\x08\x06\x00\x00\x00" + b"\x00" * 4)
_LINE = "Grüße aus Köln — naïve café, 東京 and Ελλάδα: 3 × 4 = 12.\n"
TEXT = (_LINE * (3072 // len(_LINE.encode()) + 1)).encode()[:3072]
TEXT = TEXT.decode("utf-8", "ignore").encode()  # cut on a character boundary

CASES = {"png header": PNG, "3 KB UTF-8 text": TEXT}


def calls_per_second(data, threads, seconds, shared, func=None):
    """Total calls per second of all threads, and calls per CPU-second."""
    barrier = threading.Barrier(threads)
    counts, walls, cpus = [0] * threads, [0.0] * threads, [0.0] * threads

    def work(slot):
        detect = func or taxon.detect_mime
        mine = data if shared else data[:1] + data[1:]  # a distinct, equal object
        n = 0
        barrier.wait()
        # Each thread times itself, so that no other thread has to be
        # scheduled to stop it.
        began, began_cpu = time.perf_counter(), time.thread_time()
        end = began + seconds
        while time.perf_counter() < end:
            for _ in range(200):
                detect(mine)
            n += 200
        walls[slot] = time.perf_counter() - began
        cpus[slot] = time.thread_time() - began_cpu
        counts[slot] = n

    pool = [threading.Thread(target=work, args=(i,)) for i in range(threads)]
    for t in pool:
        t.start()
    for t in pool:
        t.join()
    return sum(n / w for n, w in zip(counts, walls)), sum(counts) / sum(cpus)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=1.0)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--threads", default="1,2")
    parser.add_argument("--registered", action="store_true")
    parser.add_argument("--shared-buffer", action="store_true")
    args = parser.parse_args()
    counts = [int(n) for n in args.threads.split(",")]

    taxon.clear_registrations()
    if args.registered:
        taxon.register("x/never", ".never", magic=b"NEVER")
    gil = sys._is_gil_enabled() if hasattr(sys, "_is_gil_enabled") else True
    print(f"python {sys.version.split()[0]}, GIL {'on' if gil else 'off'}, "
          f"{os.cpu_count()} CPUs, load {os.getloadavg()[0]:.2f}"
          f"{', one registration' if args.registered else ''}"
          f"{', one shared buffer' if args.shared_buffer else ''}")
    print(f"{'case':<16}" + "".join(f"{f'{n} thr calls/s':>16}" for n in counts) + f"{'speed-up':>10}"
          + "".join(f"{f'{n} thr /CPU-s':>16}" for n in counts) + f"{'ratio':>8}")
    cases = [(name, data, None) for name, data in CASES.items()]
    # The same loop around a builtin that does nothing: the most this
    # interpreter's calls can scale on this machine.
    cases.append(("len(b), floor", PNG, len))
    for name, data, func in cases:
        runs = [[calls_per_second(data, n, args.seconds, args.shared_buffer, func) for _ in range(args.repeat)]
                for n in counts]
        rates = [max(wall for wall, _ in r) for r in runs]
        per_cpu = [max(c for _, c in r) for r in runs]
        print(f"{name:<16}" + "".join(f"{r:>16,.0f}" for r in rates) + f"{rates[-1] / rates[0]:>9.2f}x"
              + "".join(f"{c:>16,.0f}" for c in per_cpu) + f"{per_cpu[-1] / per_cpu[0]:>8.2f}")
    print(f"load after: {os.getloadavg()[0]:.2f}")
    taxon.clear_registrations()


if __name__ == "__main__":
    main()
