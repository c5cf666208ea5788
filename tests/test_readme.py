"""README.md and the type stubs stay in step with the code."""

import ast
import importlib.util
import inspect
from pathlib import Path

import taxon
from test_cli import CLI

ROOT_DIR = Path(__file__).resolve().parent.parent


def load_generator():
    spec = importlib.util.spec_from_file_location("gen_types_table", ROOT_DIR / "tools" / "gen_types_table.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
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
