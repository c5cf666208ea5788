import glob
import os
import re

import pytest

import taxon

JS = "text/javascript"
PY = "text/x-python"
SH = "text/x-shellscript"
TEXT = "text/plain; charset=utf-8"
BODY = b"\necho done\n"


@pytest.mark.parametrize(
    "data, expected",
    [
        (b"<?php echo 1; ?>", "text/x-php"),
        (b"<? echo 1; ?>", "text/x-php"),
        (b"<?\nx", "text/x-php"),
        (b"<?PHP echo 1;", TEXT),
        (b"<?=", TEXT),
        (b"#!/usr/bin/env python3" + BODY, PY),
        (b"#!/usr/bin/python3" + BODY, PY),
        (b"# -*- coding: utf-8 -*-" + BODY, PY),
        (b"#-*- coding: utf-8 -*-" + BODY, TEXT),
        (b"#! /usr/bin/python" + BODY, TEXT),
        (b"#!/usr/local/bin/python" + BODY, TEXT),
        (b"#!/usr/bin/env perl" + BODY, "text/x-perl"),
        (b"#!/usr/bin/perl -w" + BODY, "text/x-perl"),
        (b"#!/usr/bin/env ruby" + BODY, "text/x-ruby"),
        (b"#!/usr/bin/ruby", "text/x-ruby"),
        (b"#!/usr/bin/env lua" + BODY, "text/x-lua"),
        (b"#!/usr/bin/lua5.4", "text/x-lua"),
        (b"\x1bLua", "text/x-lua"),
        (b"\x1bLu", TEXT),
        (b"#!/bin/sh", SH),
        (b"#!/bin/bash" + BODY, SH),
        (b"#!/usr/bin/env bash" + BODY, SH),
        (b"#!/usr/bin/env sh" + BODY, TEXT),
        (b"#!/usr/bin/bash" + BODY, TEXT),
        (b"#!/bin/dash" + BODY, TEXT),
        (b"#!/bin/s", TEXT),
        (b"#!/usr/bin/env tclsh" + BODY, "text/x-tcl"),
        (b"#!/usr/bin/tclsh8.6", "text/x-tcl"),
        (b"#!/usr/bin/env node" + BODY, JS),
        (b"//", JS),
        (b"/", TEXT),
        (b"/*", JS),
        (b"export default 1", JS),
        (b"outlet is here", JS),  # a keyword at the end of a longer word counts
        (b"Function x", TEXT),
        (b"var", TEXT),
        (b"var ", JS),
        (b"#!/usr/bin/python\nimport os\n", JS),  # JavaScript is tried before Python
        (b"#!/bin/sh\nfunction f() { :; }\n", JS),
    ],
)
def test_scripts(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize("keyword", [b"function", b"var ", b"let ", b"const ", b"class ", b"import ", b"export "])
def test_keyword_window_ends_at_byte_256(keyword):
    def at(offset):
        return b"x" * offset + keyword + b"x" * 40

    assert taxon.detect_mime(at(256 - len(keyword))) == JS
    assert taxon.detect_mime(at(257 - len(keyword))) == TEXT
    assert taxon.detect_mime(at(0)) == JS
    for offset in range(0, 40):  # every alignment of the scan
        assert taxon.detect_mime(at(offset)) == JS


KEYWORDS = re.compile(rb"function|var |let |const |class |import |export ")


def test_scripts_on_this_machine():
    found = 0
    for path in sorted(glob.glob("/usr/bin/*"))[:2000]:
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            head = f.read(3072)
        for line, expected in ((b"#!/bin/sh\n", SH), (b"#!/usr/bin/python3\n", PY), (b"#!/usr/bin/perl\n", "text/x-perl")):
            if head.startswith(line):
                try:
                    head.decode()
                except UnicodeDecodeError:
                    continue
                if KEYWORDS.search(head[:256]):
                    expected = JS
                assert taxon.detect_mime(head) == expected, path
                found += 1
    if not found:
        pytest.skip("no scripts in /usr/bin")
