#!/usr/bin/env bash
# The Linux packages as a user gets them: CPack makes the .deb and the .tar.gz from the build
# folder given; the .deb is unpacked into a scratch root (dpkg -x) and "cmake --install" fills a
# scratch prefix; from each, the installed calorix-host runs on its embedded gas and with
# --correlations all, finding the installed module with no environment variable.
#   linux_package_test.sh <build folder>     (a configured and built release build)
set -euo pipefail
build=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# What the packages hold, built if ./run.sh built only the program.
cmake --build "$build" --target Calorix varbank2 calorix-host calorix_man_page >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
(cd "$build" && cpack -G "DEB;TGZ" -B "$scratch/packages" >/dev/null)
deb=$scratch/packages/calorix_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libstdc++6' <<<"$depends" || fail "the .deb declares no dependency on the C++ runtime: '$depends'"
[ -f "$scratch/packages/calorix-${version}-linux-x86_64.tar.gz" ] || fail "no .tar.gz"

# The installed program: its version, the embedded gas, every correlation.
check_host() {
    local root=$1 where=$2 out
    for f in bin/calorix-host lib/calorix/Calorix.so lib/calorix/varbank2.so share/doc/calorix/README.md \
             share/doc/calorix/LICENSE share/man/man1/calorix-host.1; do
        [ -f "$root/$f" ] || fail "$where: $f not installed"
    done
    out=$(env -u CALORIX_REGISTRY "$root/bin/calorix-host" --version) || fail "$where: --version failed"
    [ "$out" = "calorix-host $version" ] || fail "$where: --version says '$out', the project is $version"
    out=$("$root/bin/calorix-host" --format csv) || fail "$where: the embedded gas failed: $out"
    grep -q '^1,,HHV,.*,ok,' <<<"$out" || fail "$where: no HHV for the embedded gas: $out"
    out=$("$root/bin/calorix-host" --format csv --correlations all) || fail "$where: --correlations all failed: $out"
    [ "$(grep -c ',ok,' <<<"$out")" -ge 14 ] || fail "$where: --correlations all: $out"
}

mkdir "$scratch/root"
dpkg -x "$deb" "$scratch/root"
check_host "$scratch/root/usr" ".deb"

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_host "$scratch/prefix" "cmake --install"
echo "the .deb and cmake --install: calorix-host $version runs from where it was installed"

# The Python package, which the .deb does not carry: "cmake --install --component python" into
# the prefix's package folder, imported by the interpreter it was built for, with the module found
# beside it.
# (A package folder outside the prefix, such as a virtual environment's, is not installed into here.)
python=$(sed -n 's/^CALORIX_PYTHON_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
site=$(sed -n 's/^CALORIX_PYTHON_INSTALL_DIR:PATH=//p' "$build/CMakeCache.txt")
if dpkg-deb -c "$deb" | grep -q '/calorix/_calorix'; then fail "the .deb carries the Python package"; fi
if [ -n "$python" ] && [[ $site != /* ]]; then
    cmake --build "$build" --target calorix_python >/dev/null
    cmake --install "$build" --component python --prefix "$scratch/python" >/dev/null
    site=$scratch/python/$site
    out=$(cd "$scratch" && env -u CALORIX_MODULE PYTHONPATH="$site" "$python" -c 'import calorix
hhv = calorix.evaluate(calorix.Fluid.default(), "HHV")["HHV"]["overall"]
assert hhv is not None, "no HHV for the embedded gas"
print(calorix.__version__, calorix.module_path())') ||
        fail "cmake --install --component python: the package does not run: $out"
    [ "$out" = "$version $site/calorix/Calorix.so" ] || fail "cmake --install --component python: $out"
    echo "cmake --install --component python: the package calorix $version runs from $site"
fi
