#!/usr/bin/env bash
# Builds a free-threaded CPython (./configure --disable-gil) from Debian's
# source package and prints the interpreter's path as its last line.
#
# The build lives outside the checkout, in
# ${XDG_CACHE_HOME:-$HOME/.cache}/taxon/python-ft-<version>, and is reused when
# present. The deb-src line is given to apt through a private sources file and
# private list/cache directories, so the system's apt state is left untouched.
#
# TAXON_FT_SOURCES lists "suite:version" candidates, tried in order; the
# default is python3.13 from trixie, the newest whose source the archive
# served when this was written (forky and sid index python3.14, but their
# pool answered 404 for it). TAXON_FT_SOURCES="forky:3.14 trixie:3.13" tries
# the newer one first.
set -euo pipefail

read -r -a candidates <<< "${TAXON_FT_SOURCES:-trixie:3.13}"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/taxon"

usable() { [[ -x "$1" ]] && "$1" -c 'import ssl, sys, sysconfig, venv; sys.exit(not sysconfig.get_config_var("Py_GIL_DISABLED"))' 2>/dev/null; }

for c in "${candidates[@]}"; do
  v="${c#*:}"
  if usable "$cache/python-ft-$v/bin/python${v}t"; then
    echo "$cache/python-ft-$v/bin/python${v}t"
    exit 0
  fi
done

sudo_() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

# What configure needs for a complete interpreter with venv, pip and ssl.
deps=(build-essential pkg-config xz-utils libssl-dev zlib1g-dev libffi-dev
      libbz2-dev liblzma-dev libsqlite3-dev libreadline-dev libncurses-dev
      libgdbm-dev uuid-dev)
missing=()
for d in "${deps[@]}"; do
  dpkg-query -W -f='${Status}' "$d" 2>/dev/null | grep -q 'ok installed' || missing+=("$d")
done
if (( ${#missing[@]} )); then
  sudo_ apt-get -o DPkg::Lock::Timeout=600 update -q >&2
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
    install -y -q --no-install-recommends "${missing[@]}" >&2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial" "$work/src"
for c in "${candidates[@]}"; do
  echo "deb-src http://deb.debian.org/debian ${c%%:*} main"
done > "$work/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$work/sources.list"
          -o "Dir::Etc::SourceParts=$work/none"
          -o "Dir::State::Lists=$work/lists"
          -o "Dir::Cache=$work"
          -o "Dir::Cache::archives=$work/archives"
          -o "Acquire::Languages=none"
          -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" update -q >&2
version=
for c in "${candidates[@]}"; do
  v="${c#*:}"
  if (cd "$work/src" && apt-get "${apt_opts[@]}" source --download-only -q "python$v/${c%%:*}" >&2); then
    version="$v"
    break
  fi
  rm -f "$work"/src/*
done
if [[ -z "$version" ]]; then
  echo "free-threaded-python: no CPython source could be fetched from: ${candidates[*]}" >&2
  exit 1
fi
prefix="$cache/python-ft-$version"
python="$prefix/bin/python${version}t"

# The upstream tarball is enough: configure it ourselves, without Debian's
# packaging patches.
orig=$(ls "$work"/src/python"$version"_*.orig.tar.* | head -n1)
tar -xf "$orig" -C "$work/src"
srcdir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'Python-*' | head -n1)

start=$SECONDS
(
  cd "$srcdir"
  # No PGO, no test suite, no test-only extension modules.
  ./configure -q --disable-gil --disable-test-modules --prefix="$prefix" --with-ensurepip=install >&2
  make -j2 -s >&2
  rm -rf "$prefix"
  make -s altinstall >&2
)
echo "built $("$python" -VV | head -n1) in $((SECONDS - start)) s" >&2
echo "$python"
