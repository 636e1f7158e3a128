#!/usr/bin/env bash
# Installs what is missing, builds the debug configuration and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev
ctest --preset dev -j"$(nproc)"
