"""examples/object_store_scan.py against a real S3-compatible server: moto's,
in this process on 127.0.0.1, behind a WSGI middleware that counts at the
server what each object cost (GETs, body bytes sent, GETs being answered at
once) and can slow every GET or fail one key. The example runs as a
subprocess that finds the server through AWS_ENDPOINT_URL; its lines are
compared with the `taxon` command's for the same files written locally."""

import gzip
import io
import json
import os
import random
import signal
import sqlite3
import subprocess
import sys
import threading
import time
import zipfile
from collections import Counter

import pytest

BUCKET = "taxon-tests"
READ_LIMIT = 3072
RUN_TIMEOUT = 120


def _missing():
    """Why the server or the client cannot be had here, or None."""
    import importlib.util
    for module in ("moto", "flask", "flask_cors", "boto3", "s3fs"):
        if importlib.util.find_spec(module) is None:
            return f"{module} is not installed (pip install '.[s3]')"
    return None


if _missing():
    if os.environ.get("TAXON_REQUIRE_S3") == "1":
        raise RuntimeError(_missing())
    pytest.skip(_missing(), allow_module_level=True)

import boto3  # noqa: E402
from moto.server import ThreadedMotoServer  # noqa: E402

from test_scale_out import EXAMPLES, find_cli, pdf, png  # noqa: E402


class Recorder:
    """WSGI middleware in front of moto's application. For each GET of an
    object (a key after the bucket in the path; a GET of the bucket alone is
    a listing) it counts the request and the body bytes the server hands to
    the socket, and tracks how many such GETs are being answered at once.
    A GET counts as answered once its whole body is produced: the body is
    collected before it is returned, so the client cannot have its last
    byte (and send the next request on that account) while it still counts.
    Responses are small, ranged reads at most READ_LIMIT bytes."""

    def __init__(self, app):
        self.app = app
        self.lock = threading.Lock()
        self.delay = 0.0  # seconds added to every object GET
        self.faults = {}  # key -> (HTTP status line, S3 error code)
        self.after_listing = None  # called once the listing is made, before it is sent
        self.reset()

    def reset(self):
        with self.lock:
            self.gets, self.bytes, self.ranges = Counter(), Counter(), {}
            self.others = Counter()  # (method, key) of requests that are not GETs
            self.active = self.peak = 0
            self.listings = 0

    def __call__(self, environ, start_response):
        path = environ["PATH_INFO"].encode("latin-1").decode("utf-8")  # WSGI's str of raw bytes
        key = path.lstrip("/").partition("/")[2]
        if environ["REQUEST_METHOD"] != "GET":
            with self.lock:
                self.others[environ["REQUEST_METHOD"], key] += 1
            return self.app(environ, start_response)
        if not key:
            body = self.collect(environ, start_response)
            if "list-type" in environ.get("QUERY_STRING", ""):
                with self.lock:
                    self.listings += 1
                if self.after_listing:
                    self.after_listing()
            return body
        with self.lock:
            self.gets[key] += 1
            self.ranges[key] = environ.get("HTTP_RANGE")
            self.active += 1
            self.peak = max(self.peak, self.active)
        try:
            time.sleep(self.delay)
            if key in self.faults:
                status, code = self.faults[key]
                body = [f'<?xml version="1.0" encoding="UTF-8"?>\n<Error><Code>{code}</Code>'
                        f"<Message>{code} for this key</Message></Error>".encode()]
                start_response(status, [("Content-Type", "application/xml"),
                                        ("Content-Length", str(len(body[0])))])
            else:
                body = self.collect(environ, start_response)
            with self.lock:
                self.bytes[key] += sum(map(len, body))
            return body
        finally:
            with self.lock:
                self.active -= 1

    def collect(self, environ, start_response):
        result = self.app(environ, start_response)
        try:
            return list(result)
        finally:
            getattr(result, "close", lambda: None)()


@pytest.fixture(scope="module")
def server():
    """(recorder, boto3 client, environment for the example) of a moto S3
    server on a free port of 127.0.0.1, with one bucket."""
    import logging
    logging.getLogger("werkzeug").setLevel(logging.ERROR)  # one line per request otherwise
    moto = ThreadedMotoServer(ip_address="127.0.0.1", port=0, verbose=False)
    moto.start()
    host, port = moto.get_host_and_port()
    # ThreadedMotoServer builds its application inside its thread; the
    # werkzeug server it keeps calls `.app` per request, so wrapping it there
    # puts the recorder in front of every request from now on.
    recorder = Recorder(moto._server.app)
    moto._server.app = recorder
    endpoint = f"http://{host}:{port}"
    credentials = {"aws_access_key_id": "testing", "aws_secret_access_key": "testing"}
    client = boto3.client("s3", endpoint_url=endpoint, region_name="us-east-1", **credentials)
    client.create_bucket(Bucket=BUCKET)
    assert recorder.others["PUT", ""] == 1  # the bucket's creation went through the recorder
    env = {k: v for k, v in os.environ.items() if not k.startswith("AWS_") and "proxy" not in k.lower()}
    env.update(AWS_ENDPOINT_URL=endpoint, AWS_ACCESS_KEY_ID="testing", AWS_SECRET_ACCESS_KEY="testing",
               AWS_DEFAULT_REGION="us-east-1", AWS_EC2_METADATA_DISABLED="true",
               AWS_CONFIG_FILE=os.devnull, AWS_SHARED_CREDENTIALS_FILE=os.devnull,
               NO_PROXY="127.0.0.1,localhost",
               # One retry: a key answering 500 costs a second, not the
               # default four retries' fifteen.
               AWS_RETRY_MODE="standard", AWS_MAX_ATTEMPTS="2")
    try:
        yield recorder, client, env
    finally:
        moto.stop()


def upload(client, prefix, files):
    for name, data in files.items():
        client.put_object(Bucket=BUCKET, Key=f"{prefix}/{name}", Body=data)


def write_local(top, files):
    for name, data in files.items():
        path = top / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)


def run(env, prefix, *options):
    return subprocess.run([sys.executable, str(EXAMPLES / "object_store_scan.py"), *options,
                           f"s3://{BUCKET}/{prefix}"], capture_output=True, timeout=RUN_TIMEOUT, env=env)


def command_lines(top):
    done = subprocess.run([find_cli(), "-r", str(top)], capture_output=True, timeout=60)
    assert done.returncode == 0 and not done.stderr, done.stderr
    return done.stdout.decode().splitlines()


def as_local(lines, prefix, top):
    """The example's lines with the object URLs' prefix replaced by the
    local directory's path, as the command names the same files."""
    url = f"s3://{BUCKET}/{prefix}"
    assert all(line.startswith(url + "/") for line in lines), lines
    return [str(top) + line[len(url):] for line in lines]


# --- Files made by real tools ------------------------------------------------

def zip_bytes():
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("hello.txt", "hello from a zip\n" * 50)
        z.writestr("data/values.csv", "a,b\n1,2\n")
    return out.getvalue()


def sqlite_bytes(tmp_path):
    path = tmp_path / "made.sqlite"
    with sqlite3.connect(path) as db:
        db.execute("create table t (id integer primary key, name text)")
        db.executemany("insert into t (name) values (?)", [(f"row {i}",) for i in range(100)])
    db.close()
    return path.read_bytes()


def noise(n):
    """`n` bytes of binary noise, the same in every run."""
    return random.Random(n).randbytes(n)


def corpus(tmp_path):
    html = b"<!DOCTYPE html>\n<html><head><title>t</title></head><body><p>hi</p></body></html>\n"
    return {
        "image.png": png(),
        "report.pdf": pdf(),
        "archive.zip": zip_bytes(),
        "log.gz": gzip.compress(b"a line of a log\n" * 1000),
        "db.sqlite": sqlite_bytes(tmp_path),
        "page.html": html,
        "data.json": json.dumps({"name": "taxon", "values": list(range(50))}, indent=2).encode(),
        "notes.txt": "plain words, caf\u00e9\n".encode() * 30,
        "empty": b"",
        "big.bin": b"%PDF-1.4\n" + noise(5 * 2**20),  # 5 MiB: only its head may travel
        "name with spaces.txt": b"spaces\n",
        "unicode \u6f22\u5b57 \U0001F600.json": b'{"k": [1, 2]}',
        "odd [chars] & %20 + 'q' #1 \\back\\ tab\tx.txt": b"odd name\n",
        # The walk order: "dir/" before "dir-x" and "dir.x" although "/"
        # sorts after "-" and "." as a byte.
        "dir/inner.pdf": pdf(),
        "dir-x": b"text\n",
        "dir.x": png(),
        "dir/deeper/still/deep.zip": zip_bytes(),
        "Upper": b"upper case sorts first\n",
    }


@pytest.fixture(scope="module")
def mixed(server, tmp_path_factory):
    """The corpus, uploaded under mixed/ and written to a local directory."""
    _, client, _ = server
    tmp = tmp_path_factory.mktemp("mixed")
    files = corpus(tmp)
    top = tmp / "mixed"
    write_local(top, files)
    upload(client, "mixed", files)
    return files, top


# --- Tests -------------------------------------------------------------------

@pytest.mark.parametrize("in_flight", [1, 64])
def test_lines_are_the_commands(server, mixed, in_flight):
    """Same lines, in the same order, as `taxon -r` on the same files, each
    non-empty object read with one GET of its first READ_LIMIT bytes."""
    recorder, _, env = server
    files, top = mixed
    recorder.reset()
    done = run(env, "mixed", "--in-flight", str(in_flight))
    assert (done.returncode, done.stderr) == (0, b"")
    lines = done.stdout.decode().splitlines()
    assert as_local(lines, "mixed", top) == command_lines(top)
    assert len(lines) == len(files)
    non_empty = {f"mixed/{name}" for name, data in files.items() if data}
    assert recorder.gets == Counter(non_empty)
    assert set(recorder.ranges.values()) == {f"bytes=0-{READ_LIMIT - 1}"}
    assert recorder.listings == 1
    assert recorder.others == Counter()  # no HEAD before a read, say
    for key in non_empty:
        assert recorder.bytes[key] == min(len(files[key.removeprefix("mixed/")]), READ_LIMIT), key


@pytest.mark.parametrize("size", [0, 1, READ_LIMIT - 1, READ_LIMIT, READ_LIMIT + 1, 5 * 2**20])
def test_one_get_and_at_most_the_head_per_object(server, tmp_path, size):
    """Counted at the server: an empty object is not asked for (a range of
    it is an error on S3), any other costs one GET of min(size, READ_LIMIT)
    body bytes; and the answer is the command's for that content."""
    recorder, client, env = server
    data = (b"%PDF-1.4\n" + noise(size))[:size]
    prefix = f"size-{size}"
    upload(client, prefix, {"object": data})
    write_local(tmp_path, {"object": data})
    recorder.reset()
    done = run(env, prefix)
    assert (done.returncode, done.stderr) == (0, b"")
    assert as_local(done.stdout.decode().splitlines(), prefix, tmp_path) == command_lines(tmp_path)
    key = f"{prefix}/object"
    assert (recorder.gets[key], recorder.bytes[key]) == ((1, min(size, READ_LIMIT)) if size else (0, 0))


@pytest.fixture(scope="module")
def many(server):
    """120 small objects under many/, each GET of them slowed at the server
    while a test runs, so that reads overlap when the client lets them."""
    _, client, _ = server
    upload(client, "many", {f"{i:04d}.txt": b"object %d\n" % i for i in range(120)})
    return 120


@pytest.mark.parametrize("in_flight,least,most", [(1, 1, 1), (8, 2, 8), (64, 11, 64)])
def test_requests_in_flight_seen_at_the_server(server, many, in_flight, least, most):
    """The peak of object GETs being answered at once: never more than
    --in-flight, and more than one when allowed; past 10 with 64, which
    needs the client's connection pool raised (aiobotocore keeps 10)."""
    recorder, _, env = server
    recorder.reset()
    recorder.delay = 0.02
    try:
        done = run(env, "many", "--in-flight", str(in_flight))
    finally:
        recorder.delay = 0.0
    assert done.returncode == 0, done.stderr.decode()
    assert len(done.stdout.splitlines()) == many
    assert sum(recorder.gets.values()) == many
    assert least <= recorder.peak <= most


def fault_cases():
    return [
        ("deleted after listing", None, "The specified key does not exist."),
        ("403", ("403 Forbidden", "AccessDenied"), "AccessDenied for this key"),
        ("500", ("500 Internal Server Error", "InternalError"), "InternalError for this key"),
    ]


@pytest.mark.parametrize("in_flight", [1, 8])
@pytest.mark.parametrize("name,fault,reason", fault_cases(), ids=[c[0] for c in fault_cases()])
def test_one_failing_object_one_error_line(server, mixed, name, fault, reason, in_flight, tmp_path):
    """One object fails (gone since the listing, refused, or the server
    errs even after a retry): its one error line, every other line as the
    command prints it, exit status 1, nothing else on standard error."""
    recorder, client, env = server
    files, _ = mixed
    prefix = f"fault-{name.replace(' ', '-')}-{in_flight}"
    victim = "dir/inner.pdf"
    upload(client, prefix, files)
    others = {k: v for k, v in files.items() if k != victim}
    write_local(tmp_path, others)
    recorder.reset()
    if fault:
        recorder.faults[f"{prefix}/{victim}"] = fault
    else:
        recorder.after_listing = lambda: client.delete_object(Bucket=BUCKET, Key=f"{prefix}/{victim}")
    try:
        done = run(env, prefix, "--in-flight", str(in_flight))
    finally:
        recorder.faults.clear()
        recorder.after_listing = None
    assert done.stderr.decode().splitlines() == [f"taxon: s3://{BUCKET}/{prefix}/{victim}: {reason}"]
    assert done.returncode == 1
    assert as_local(done.stdout.decode().splitlines(), prefix, tmp_path) == command_lines(tmp_path)
    assert recorder.gets[f"{prefix}/{victim}"] == (2 if name == "500" else 1)  # AWS_MAX_ATTEMPTS=2
    assert all(n == 1 for key, n in recorder.gets.items() if key != f"{prefix}/{victim}")


def test_listing_failure_is_one_error_line(server):
    _, _, env = server
    done = subprocess.run([sys.executable, str(EXAMPLES / "object_store_scan.py"), "s3://no-such-bucket/x"],
                          capture_output=True, timeout=RUN_TIMEOUT, env=env)
    assert (done.returncode, done.stdout) == (1, b"")
    assert done.stderr.decode().splitlines() == ["taxon: s3://no-such-bucket/x: The specified bucket does not exist"]


def test_ctrl_c_ends_the_run(server, many):
    """SIGINT in the middle of a slow scan ends it at once, by the signal,
    without a traceback or a wait for the reads still queued."""
    recorder, _, env = server
    recorder.reset()
    recorder.delay = 0.25  # 120 objects one at a time: half a minute if not stopped
    process = subprocess.Popen([sys.executable, str(EXAMPLES / "object_store_scan.py"), "--in-flight", "1",
                                f"s3://{BUCKET}/many"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    try:
        deadline = time.monotonic() + 60
        while sum(recorder.gets.values()) < 2 and time.monotonic() < deadline:
            time.sleep(0.05)
        assert sum(recorder.gets.values()) >= 2, "the scan never started reading"
        process.send_signal(signal.SIGINT)
        # Far less than the half minute the queued reads would take.
        out, err = process.communicate(timeout=10)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        recorder.delay = 0.0
    assert process.returncode == -signal.SIGINT, err.decode()
    assert b"Traceback" not in err
    assert sum(recorder.gets.values()) < 20
