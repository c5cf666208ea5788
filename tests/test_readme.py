"""README.md and the type stubs stay in step with the code: every Python
and console example of README runs as shown, in a folder holding the files
the examples name."""

import ast
import builtins
import importlib.util
import inspect
import io
import os
import re
import shutil
import subprocess
import tokenize
from pathlib import Path

import pytest

import taxon
from test_cli import CLI

ROOT_DIR = Path(__file__).resolve().parent.parent
README = (ROOT_DIR / "README.md").read_text(encoding="utf-8")

# The files README's examples name, made the way their programs make them
# (the gzip stream is fixed here: zlib versions compress differently).
EXAMPLE_FILES = {
    "photo.png": b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02\x00\x00\x00\x90wS\xde",
    "notes.txt": b"Buy milk.\nCall Ada.\n",
    "todo.txt": b"Write the README.\n",
    "backup.tar.gz": bytes.fromhex(
        "1f8b0800000000000203edcd310ac2401404d05f7b8a9c20ac2124bd37b1b008"
        "890a66037a7b973442fa08e27bcd0cd3cced9e2f739d9f39f6938aae6dd72cb6"
        "99d2b1f9f475efbba68f2ac5172c733e3fca65fca7d3f2aaaec334d687000000"
        "000000000000e087bc01bbb10cce00280000"),
}


@pytest.fixture
def example_folder(tmp_path, monkeypatch):
    for name, data in EXAMPLE_FILES.items():
        (tmp_path / name).write_bytes(data)
    monkeypatch.chdir(tmp_path)
    yield tmp_path
    taxon.clear_registrations()


def blocks(language):
    return re.findall(r"^```%s\n(.*?)^```$" % language, README, re.M | re.S)


def comment_of(source, line):
    """The comment on `line` (1-based) of `source`, without its '#', or None."""
    for tok in tokenize.generate_tokens(io.StringIO(source).readline):
        if tok.type == tokenize.COMMENT and tok.start[0] == line:
            return tok.string[1:].strip()
    return None


def run_python_block(source):
    """Runs the block statement by statement. A statement whose line ends
    in `# 'value'` (any Python literal) must evaluate to that value; one that
    ends in `# raises Name` must raise that exception."""
    # A block goes on from the ones before it, where `taxon` was imported.
    namespace = {"__name__": "readme_example", "taxon": taxon}
    checked = 0
    for node in ast.parse(source).body:
        code = ast.unparse(node)
        comment = comment_of(source, node.end_lineno)
        raises = re.fullmatch(r"raises (\w+)", comment or "")
        if raises:
            with pytest.raises(getattr(builtins, raises.group(1))):
                exec(code, namespace)
            checked += 1
            continue
        try:
            expected = ast.literal_eval(comment) if comment else None
            literal = comment is not None
        except (ValueError, SyntaxError):
            literal = False
        if literal and isinstance(node, ast.Expr):
            assert eval(code, namespace) == expected, code
            checked += 1
        else:
            exec(code, namespace)
    return checked


PYTHON_BLOCKS = blocks("python")


@pytest.mark.parametrize("number", range(len(PYTHON_BLOCKS)))
def test_python_example(number, example_folder):
    taxon.clear_registrations()
    run_python_block(PYTHON_BLOCKS[number])


def test_python_examples_check_answers():
    # The examples' answers are checked, not just run: most lines say one.
    counted = 0
    for source in PYTHON_BLOCKS:
        for node in ast.parse(source).body:
            if comment_of(source, node.end_lineno) not in (None, "accepted"):
                counted += 1
    assert len(PYTHON_BLOCKS) >= 6 and counted >= 25


def console_commands():
    """(command, expected output) for every `$ ` line of README's console blocks."""
    pairs = []
    for block in blocks("console"):
        for chunk in re.split(r"^\$ ", block, flags=re.M)[1:]:
            command, _, output = chunk.partition("\n")
            pairs.append((command, output))
    return pairs


@pytest.mark.skipif(shutil.which("bash") is None, reason="the examples are shell lines")
@pytest.mark.parametrize("command, expected", console_commands())
def test_console_example(command, expected, example_folder):
    env = dict(os.environ, PATH=os.pathsep.join([str(Path(CLI).parent), os.environ.get("PATH", "")]))
    # The command itself, or fed by a pipe.
    assert re.match(r"taxon |[^|]*\| taxon ", command)
    line = re.sub(r"(^|\| )taxon ", lambda m: f"{m.group(1)}'{CLI}' ", command, count=1)
    out = subprocess.run(["bash", "-c", line], capture_output=True, env=env, timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stdout.decode() == expected


INLINE_EXAMPLES = re.findall(r"`(taxon\.detect_(?:mime|type)\(.+?\))` → `'([^']*)'`", README)


@pytest.mark.parametrize("expression, expected", INLINE_EXAMPLES)
def test_inline_example(expression, expected):
    # Known limits' one-line examples: an expression, an arrow, the answer.
    assert eval(expression, {"taxon": taxon}) == expected


def test_example_gzip_is_a_real_tar_gz():
    import gzip
    import tarfile
    with tarfile.open(fileobj=io.BytesIO(gzip.decompress(EXAMPLE_FILES["backup.tar.gz"]))) as archive:
        assert archive.getnames() == ["notes.txt"]


def test_set_up_command_runs_the_command_on_a_real_folder(tmp_path):
    line = next(b for b in blocks("sh") if "--summary" in b).strip()
    command = line.split("&& ")[-1].split()
    assert command[:3] == [".venv/bin/taxon", "-r", "--summary"]
    (tmp_path / "a.png").write_bytes(EXAMPLE_FILES["photo.png"])
    out = subprocess.run([CLI, *command[1:-1], str(tmp_path)], capture_output=True, text=True, timeout=60)
    assert out.returncode == 0 and out.stdout == "1\timage/png\n1 named, 0 failed, 33 bytes read\n"


def load_generator():
    found = importlib.util.spec_from_file_location("gen_types_table", ROOT_DIR / "tools" / "gen_types_table.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def test_readme_table_is_the_generated_one():
    gen = load_generator()
    records = gen.list_types(CLI)
    # Every record of the tree is a row, and each parent comes before its children.
    assert len(records) == 215
    seen = set()
    for r in records:
        assert r["parent"] is None if r["depth"] == 0 else r["parent"] in seen
        seen.add(r["mime"])
    text = (ROOT_DIR / "README.md").read_text(encoding="utf-8")
    assert gen.table_in(text) == gen.render(records), "run tools/gen_types_table.py --write"


def stub_functions():
    tree = ast.parse((ROOT_DIR / "taxon-stubs" / "__init__.pyi").read_text())
    names = [ast.literal_eval(node.value) for node in tree.body
             if isinstance(node, ast.Assign) and node.targets[0].id == "__all__"][0]
    functions = {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}
    classes = {node.name: [ast.unparse(b) for b in node.bases] for node in tree.body if isinstance(node, ast.ClassDef)}
    return names, functions, classes


def test_stubs_match_the_module():
    names, functions, classes = stub_functions()
    assert names == taxon.__all__
    assert sorted(functions) == sorted(taxon.__all__)
    assert classes == {"InternalError": ["BaseException"]}
    assert issubclass(taxon.InternalError, BaseException) and not issubclass(taxon.InternalError, Exception)
    for name, node in functions.items():
        runtime = inspect.signature(getattr(taxon, name)).parameters.values()
        a = node.args
        defaults = [None] * (len(a.args) - len(a.defaults)) + a.defaults
        stub = [(p.arg, "POSITIONAL_OR_KEYWORD", d) for p, d in zip(a.args, defaults)]
        stub += [(p.arg, "KEYWORD_ONLY", d) for p, d in zip(a.kwonlyargs, a.kw_defaults)]
        stub = [(n, kind, inspect.Parameter.empty if d is None else ast.literal_eval(d)) for n, kind, d in stub]
        assert stub == [(p.name, p.kind.name, p.default) for p in runtime], name
