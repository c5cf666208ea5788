"""The manual page says what `taxon --help` says: the page the wheel installs
is the one tools/gen_manpage.py renders from the installed command."""
import importlib.util
import os
import shutil
import subprocess
from importlib.metadata import PackageNotFoundError, files
from pathlib import Path

import pytest

from test_cli import CLI

ROOT_DIR = Path(__file__).resolve().parent.parent
DIST = "taxon-sniff"
REGENERATE = "the page and --help disagree: rebuild, then run tools/gen_manpage.py --write"


def load_generator():
    found = importlib.util.spec_from_file_location("gen_manpage", ROOT_DIR / "tools" / "gen_manpage.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


gen = load_generator()


def installed_page():
    try:
        record = files(DIST) or []
    except PackageNotFoundError:
        return None
    pages = [f for f in record if f.as_posix().endswith("share/man/man1/taxon.1")]
    return pages[0].locate() if pages else None


def ask(option):
    return subprocess.run([CLI, option], capture_output=True, text=True, timeout=60, check=True).stdout


def test_installed_page_is_rendered_from_the_installed_help():
    page = installed_page()
    if page is None:
        pytest.skip(f"{DIST} is not installed (a build tree on PYTHONPATH); the repository's page is checked below")
    assert Path(page).read_text(encoding="utf-8") == gen.render(ask("--help"), ask("--version")), REGENERATE


def test_repository_page_is_rendered_from_the_help():
    assert gen.PAGE.read_text(encoding="utf-8") == gen.render(ask("--help"), ask("--version")), REGENERATE


def test_every_option_of_the_help_is_on_the_page():
    help_text = ask("--help")
    _, _, _, options = gen.parse(help_text)
    named = {word.rstrip(",") for spec, _ in options for word in spec.split() if word.startswith("-")}
    in_help = {word.rstrip(",;.)") for line in help_text.splitlines() if line.startswith("  ")
               for word in line.split()[:3] if word.startswith("-") and len(word) > 1}
    assert in_help <= named
    assert {"-r", "--recursive", "-j", "--jobs", "--summary", "--help", "--version"} <= named


@pytest.mark.skipif(shutil.which("groff") is None, reason="groff not installed")
def test_page_has_no_roff_warnings():
    # groff is no part of this project: it runs without the sanitizer
    # runtime that a sanitized test run preloads.
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}
    out = subprocess.run(["groff", "-man", "-ww", "-z", str(gen.PAGE)], capture_output=True, text=True, env=env)
    assert (out.returncode, out.stderr) == (0, "")


HELP_HEAD = "Usage: tool [OPTION]... FILE...\nName things.\n\n"


@pytest.mark.parametrize("lines, options", [
    # Description after two spaces, and after a single one (a long name).
    (["  -r, --recursive  walk"], [("-r, --recursive", ["walk"])]),
    (["      --list-types print every"], [("--list-types", ["print every"])]),
    # An argument in capitals belongs to the option, not to its description.
    (["  -j, --jobs N     use N threads"], [("-j, --jobs N", ["use N threads"])]),
    (["      --files-from FILE  read paths from FILE"], [("--files-from FILE", ["read paths from FILE"])]),
    (["  -0, --null       end with NUL"], [("-0, --null", ["end with NUL"])]),
    # A description on the next lines; a continuation that starts with a dash
    # (indented deeper than any option) goes on, it is no new option.
    (["  -x, --one-file-system", "                   stay", "                   --json too"],
     [("-x, --one-file-system", ["stay", "--json too"])]),
])
def test_option_layouts(lines, options):
    assert gen.parse(HELP_HEAD + "\n".join(lines) + "\n")[3] == options


@pytest.mark.parametrize("text, roff", [
    ("a \\t b", "a \\et b"),             # a backslash is printed, not an escape
    ("--mime", "\\-\\-mime"),            # hyphens stay hyphens
    (".hidden file", "\\&.hidden file"),  # a leading dot is no request
    ("'quoted' word", "\\&'quoted' word"),
])
def test_escapes(text, roff):
    assert gen.escape(text) == roff


def test_paragraphs_keep_their_lines_and_breaks():
    help_text = HELP_HEAD + "First line\nsame paragraph.\n\nSecond.\n\n  -h, --help  show help\n\nAfter.\n"
    synopsis, summary, paragraphs, options = gen.parse(help_text)
    assert (synopsis, summary) == ("tool [OPTION]... FILE...", "Name things.")
    assert paragraphs == [["First line", "same paragraph."], ["Second."], ["After."]]
    assert options == [("-h, --help", ["show help"])]


def test_a_help_without_usage_line_is_refused():
    with pytest.raises(ValueError):
        gen.parse("taxon: unknown option\n")
