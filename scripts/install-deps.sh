#!/usr/bin/env bash
# Installs the Debian packages that building and testing Calorix needs, if any is missing.
# With the argument "windows", also those of the Windows build: the MinGW-w64 cross compiler,
# widl, Wine to run the tests, GoogleTest's sources to build it for the target, and NSIS. With
# "python", also those of the Python package's pip route (a virtual environment, pip, and
# setuptools and wheel to build the wheel). Both may be given.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libpugixml-dev nlohmann-json3-dev libcli11-dev libfmt-dev libeigen3-dev
          libfccp-dev librsvg2-bin    # calorix-host batches (CSV) and the plot test
          clang-14 libclang-rt-14-dev  # the fuzz preset
          help2man dpkg-dev            # the man page of calorix-host; the .deb's dependencies
          python3-dev pybind11-dev python3-pybind11 python3-pytest python3-matplotlib)  # the Python package and its tests
for extra in "$@"; do
    case "$extra" in
        windows) packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools wine64 libwine-dev
                            googletest nsis) ;;  # nsis: makensis, the Windows installer
        python) packages+=(python3-venv python3-pip python3-setuptools python3-wheel) ;;
        *) echo "usage: scripts/install-deps.sh [windows] [python]" >&2; exit 2 ;;
    esac
done
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root, or install: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
