#!/usr/bin/env python3
"""Renders the command's manual page, man/taxon.1, from `taxon --help` and
`taxon --version`, so the page never says more or less than the help.

    tools/gen_manpage.py                  # print the page
    tools/gen_manpage.py --write          # rewrite man/taxon.1
    tools/gen_manpage.py --command PATH   # ask that command (default: .venv's)

The page is kept in the repository, and the wheel installs that file under
share/man/man1/: a build never runs the command it builds (a cross-compiled
one cannot run), and needs no tool that a macOS or Windows runner lacks.
tests/test_manpage.py fails while the installed page and the installed
command's --help disagree.

The help's layout is read this way: the first line is the synopsis, the
second the one-line description; a line indented by two to six spaces
that starts with '-' begins an option: its names ('-j, --jobs'), then an
argument in capitals if it takes one ('N'), then its description, which
goes on over the lines indented deeper; blank lines separate paragraphs. Paragraphs go under DESCRIPTION,
in their order; options under OPTIONS.
"""
import argparse
import os
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PAGE = ROOT / "man" / "taxon.1"
OPTION = re.compile(r"^ {2,6}(-[^ ,]+(?:, -[^ ,]+)*(?: [A-Z][A-Z0-9_]*)?)(?: +(\S.*))?$")


def escape(text):
    """Text as roff reads it literally: backslashes, hyphens, leading dots."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def option_spec(spec):
    """'-j, --jobs N': the option names in bold, their argument in italics."""
    words = []
    for word in spec.split(" "):
        if word.startswith("-"):
            name, comma = (word[:-1], ",") if word.endswith(",") else (word, "")
            words.append(f"\\fB{escape(name)}\\fR{comma}")
        else:
            words.append(f"\\fI{escape(word)}\\fR")
    return " ".join(words)


def parse(help_text):
    """(synopsis, summary, paragraphs, options) of a --help text."""
    lines = help_text.rstrip("\n").split("\n")
    usage = lines[0]
    if not usage.startswith("Usage: "):
        raise ValueError(f"the help's first line is not a usage line: {usage!r}")
    synopsis = usage[len("Usage: "):]
    summary = lines[1]
    paragraphs, options = [], []
    paragraph = option = None  # what the previous line belongs to
    for line in lines[2:]:
        match = OPTION.match(line)
        if not line.strip():
            paragraph = option = None
        elif match:
            paragraph, option = None, (match.group(1), [match.group(2)] if match.group(2) else [])
            options.append(option)
        elif option is not None and line.startswith("   "):
            option[1].append(line.strip())  # the option's description goes on
        elif paragraph is not None:
            paragraph.append(line.strip())
        else:
            paragraph, option = [line.strip()], None
            paragraphs.append(paragraph)
    return synopsis, summary, paragraphs, options


def render(help_text, version_text):
    synopsis, summary, paragraphs, options = parse(help_text)
    name, _, rest = synopsis.partition(" ")
    version = version_text.strip().splitlines()[0]
    out = [
        f'.TH {name.upper()} 1 "" "{escape(version)}" "User Commands"',
        ".SH NAME",
        f"{escape(name)} \\- {escape(summary[0].lower() + summary[1:].rstrip('.'))}",
        ".SH SYNOPSIS",
        f"\\fB{escape(name)}\\fR {escape(rest)}",
        ".SH DESCRIPTION",
    ]
    for n, paragraph in enumerate(paragraphs):
        if n:
            out.append(".PP")
        out.extend(escape(line) for line in paragraph)
    out.append(".SH OPTIONS")
    for spec, description in options:
        out += [".TP", option_spec(spec)]
        out.extend(escape(line) for line in description)
    out += [".SH SEE ALSO", "\\fBfile\\fR(1)", ""]
    return "\n".join(out)


def default_command():
    for candidate in (ROOT / ".venv" / "bin" / "taxon", ROOT / ".venv" / "Scripts" / "taxon.exe"):
        if candidate.exists():
            return str(candidate)
    return "taxon"


def ask(command, option):
    return subprocess.run([command, option], capture_output=True, text=True, check=True).stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--command", default=os.environ.get("TAXON_CLI") or default_command(),
                        help="the taxon command to ask (default: $TAXON_CLI, else .venv's, else PATH's)")
    parser.add_argument("--write", action="store_true", help=f"rewrite {PAGE.relative_to(ROOT)}")
    args = parser.parse_args()
    page = render(ask(args.command, "--help"), ask(args.command, "--version"))
    if args.write:
        PAGE.parent.mkdir(exist_ok=True)
        PAGE.write_text(page, encoding="utf-8", newline="\n")
        print(f"wrote {PAGE.relative_to(ROOT)} from {args.command} --help")
    else:
        sys.stdout.write(page)


if __name__ == "__main__":
    main()
