#!/usr/bin/env bash
# Installs what is missing, builds the optimised configuration and runs the command-line
# host on its embedded natural gas. Arguments are passed to calorix-host. Everything the
# installation and the build print goes to standard error: standard output carries only the
# program's output (JSON or CSV that a pipe can read).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh >&2
cmake --preset release >/dev/null
cmake --build --preset release --target calorix-host >&2
exec build/release/bin/calorix-host "$@"
