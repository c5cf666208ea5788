"""Objects per second of examples/object_store_scan.py against moto's S3
server on 127.0.0.1, with 1, 8 and 64 ranged reads in flight, as the server
answers and with a delay added to every object GET (as a real store's time
to first byte: the requests in flight hide it).

    pip install '.[s3]'
    python benchmarks/object_store.py [--objects 2000] [--latency-ms 0,5,20] [--repeat 1]

The example runs in a process of its own (the server has this one); the
time is its scan alone, listing included, without the interpreter's start.
The server counts what each run cost: GETs of objects, the most body bytes
sent for one object, and the peak of GETs being answered at once; the
client's CPU time per object shows what the scan costs apart from the
server, which shares this machine's cores with it. Every number moves with
the machine's load, which is printed with the table.
"""

import argparse
import logging
import os
import platform
import random
import subprocess
import sys
import threading
import time
from collections import Counter

EXAMPLES = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
BUCKET = "taxon-bench"


class Server:
    """WSGI middleware in front of moto's application: sleeps `delay`
    seconds in each object GET and counts, per key, GETs and body bytes,
    and the peak of object GETs being answered at once (a GET stops
    counting once its body is made, before it is sent)."""

    def __init__(self, app):
        self.app, self.lock, self.delay = app, threading.Lock(), 0.0
        self.reset()

    def reset(self):
        self.gets, self.bytes, self.active, self.peak = Counter(), Counter(), 0, 0

    def __call__(self, environ, start_response):
        key = environ["PATH_INFO"].lstrip("/").partition("/")[2]
        if environ["REQUEST_METHOD"] != "GET" or not key:
            return self.app(environ, start_response)
        with self.lock:
            self.active += 1
            self.peak = max(self.peak, self.active)
        try:
            time.sleep(self.delay)
            result = self.app(environ, start_response)
            try:
                body = list(result)
            finally:
                getattr(result, "close", lambda: None)()
            with self.lock:
                self.gets[key] += 1
                self.bytes[key] += sum(map(len, body))
            return body
        finally:
            with self.lock:
                self.active -= 1


def contents(rng):
    """Heads of several kinds; one in 50 objects is empty, one in 10 is
    larger than the 3072 bytes read."""
    kinds = [
        b"\x89PNG\r\n\x1a\n" + bytes(200),
        b"%PDF-1.7\n" + rng.randbytes(5000),
        b'{"k": [' + b", ".join(b"%d" % i for i in range(400)) + b"]}",
        b"plain text line\n" * 100,
        b"<!DOCTYPE html><html><head><title>t</title></head><body>" + b"<p>x</p>" * 50,
        b"PK\x03\x04" + rng.randbytes(2000),
        rng.randbytes(1500),
    ]
    return lambda i: b"" if i % 50 == 49 else kinds[i % len(kinds)]


SCAN = """
import io, sys, time
sys.path.insert(0, sys.argv[1])
import object_store_scan
out, err = io.StringIO(), io.StringIO()
start, cpu = time.perf_counter(), time.process_time()
ok = object_store_scan.scan(sys.argv[2], out, err, in_flight=int(sys.argv[3]))
print(time.perf_counter() - start, time.process_time() - cpu, len(out.getvalue().splitlines()), ok,
      repr(err.getvalue()[:200]))
"""


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--objects", type=int, default=2000)
    ap.add_argument("--latency-ms", default="0,5,20", help="delays added to each object GET (comma-separated)")
    ap.add_argument("--in-flight", default="1,8,64")
    ap.add_argument("--repeat", type=int, default=1, help="runs of each case; the fastest counts")
    args = ap.parse_args()

    import boto3
    from moto.server import ThreadedMotoServer
    logging.getLogger("werkzeug").setLevel(logging.ERROR)
    moto = ThreadedMotoServer(ip_address="127.0.0.1", port=0, verbose=False)
    moto.start()
    server = moto._server.app = Server(moto._server.app)  # what ThreadedMotoServer's werkzeug server calls
    host, port = moto.get_host_and_port()
    endpoint = f"http://{host}:{port}"
    env = dict(os.environ, AWS_ENDPOINT_URL=endpoint, AWS_ACCESS_KEY_ID="bench", AWS_SECRET_ACCESS_KEY="bench",
               AWS_DEFAULT_REGION="us-east-1", AWS_EC2_METADATA_DISABLED="true", NO_PROXY="127.0.0.1,localhost")
    client = boto3.client("s3", endpoint_url=endpoint, region_name="us-east-1",
                          aws_access_key_id="bench", aws_secret_access_key="bench")
    client.create_bucket(Bucket=BUCKET)
    content = contents(random.Random(7))
    for i in range(args.objects):
        client.put_object(Bucket=BUCKET, Key=f"objects/d{i // 500:02d}/o{i:06d}", Body=content(i))
    non_empty = sum(1 for i in range(args.objects) if content(i))
    url = f"s3://{BUCKET}/objects"

    rows = []
    load_before = os.getloadavg()
    for latency in [float(x) for x in args.latency_ms.split(",")]:
        for in_flight in [int(x) for x in args.in_flight.split(",")]:
            best = None
            for _ in range(args.repeat):
                server.reset()
                server.delay = latency / 1000
                done = subprocess.run([sys.executable, "-c", SCAN, EXAMPLES, url, str(in_flight)],
                                      capture_output=True, text=True, env=env, timeout=1800, check=True)
                seconds, cpu, lines, ok, err = done.stdout.split(maxsplit=4)
                if int(lines) != args.objects or ok != "True" or sum(server.gets.values()) != non_empty:
                    sys.exit(f"run with {in_flight} in flight went wrong: {done.stdout}{done.stderr}")
                run = (float(seconds), float(cpu), server.peak, max(server.bytes.values()),
                       max(server.gets.values()))
                best = run if best is None or run[0] < best[0] else best
            rows.append((latency, in_flight, *best))
    load_after = os.getloadavg()
    moto.stop()

    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
               platform.processor())
    import moto as moto_package
    import s3fs
    print(f"{args.objects} objects ({non_empty} not empty) under {url}, moto {moto_package.__version__} "
          f"on 127.0.0.1, s3fs {s3fs.__version__}; {os.cpu_count()} cores, {cpu}, Python "
          f"{platform.python_version()}; load average {load_before[0]:.1f} before, {load_after[0]:.1f} after")
    print("\n| added latency per GET | in flight | seconds | objects/s | peak GETs at once (server) "
          "| most GETs of one object | most body bytes of one object | client CPU ms per object |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|")
    for latency, in_flight, seconds, cpu, peak, most_bytes, most_gets in rows:
        print(f"| {latency:g} ms | {in_flight} | {seconds:.2f} | {args.objects / seconds:,.0f} | {peak} "
              f"| {most_gets} | {most_bytes} | {1000 * cpu / args.objects:.2f} |")


if __name__ == "__main__":
    main()
