#!/usr/bin/env bash
# Installs what is missing, builds the optimised configuration and runs the command-line
# host on its embedded natural gas. Arguments are passed to calorix-host.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target calorix-host
exec build/release/bin/calorix-host "$@"
