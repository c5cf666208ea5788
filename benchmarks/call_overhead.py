"""Cost of one detection call next to the cheapest builtin call.

Usage: python benchmarks/call_overhead.py
Prints nanoseconds per call (best of several repeats) and the ratio to len(b).
"""
import timeit

import taxon

CASES = {
    "empty": b"",
    "png": b"\x89PNG\r\n\x1a\n" + bytes(64),
    "3072 x 0xff": b"\xff" * 3072,
}


def per_call(stmt, data, number=200_000, repeat=7):
    env = {"taxon": taxon, "b": data}
    times = timeit.repeat(stmt, globals=env, number=number, repeat=repeat)
    return min(times) / number * 1e9


def main():
    taxon.clear_registrations()
    floor = per_call("len(b)", b"x")
    print(f"{'case':<16}{'ns/call':>10}{'x len(b)':>10}")
    print(f"{'len(b)':<16}{floor:>10.1f}{1:>10.2f}")
    for name, data in CASES.items():
        for func in ("detect_mime", "detect_type"):
            ns = per_call(f"taxon.{func}(b)", data)
            print(f"{name + ' ' + func[7:]:<16}{ns:>10.1f}{ns / floor:>10.2f}")


if __name__ == "__main__":
    main()
