#!/usr/bin/env bash
# The Linux packages as a user gets them: CPack makes the .deb and the .tar.gz from the build
# folder given; the .deb is unpacked into a scratch root (dpkg -x), the .tar.gz into a folder and
# "cmake --install" fills a scratch prefix; from each, the installed calorix-host runs on its
# embedded gas and with --correlations all, finding the installed module with no environment
# variable, and the installed Python package imports and computes with the installed module. The
# .deb's metadata, man page and copyright file are checked too. With CALORIX_APT_INSTALL=1 (CI,
# as root) the .deb is also installed with apt, run and purged.
#   linux_package_test.sh <build folder>     (a configured and built release build)
set -euo pipefail
build=$(realpath "$1")
source_dir=$(realpath "$(dirname "$0")/..")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# What the packages hold, built if ./run.sh built only the program. The Python package is in them
# when the build has it (the interpreter it was built for is in the cache).
python=$(sed -n 's/^CALORIX_PYTHON_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
targets=(Calorix varbank2 calorix-host calorix_man_page)
[ -z "$python" ] || targets+=(calorix_python)
cmake --build "$build" --target "${targets[@]}" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
(cd "$build" && cpack -G "DEB;TGZ" -B "$scratch/packages" >/dev/null)
deb=$scratch/packages/calorix_${version}_amd64.deb
tgz=$scratch/packages/calorix-${version}-linux-x86_64.tar.gz
[ -f "$deb" ] || fail "no $deb"
[ -f "$tgz" ] || fail "no .tar.gz"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libstdc++6' <<<"$depends" || fail "the .deb declares no dependency on the C++ runtime: '$depends'"
# The description names every family.
description=$(dpkg-deb -f "$deb" Description)
for family in "ISO 6976" "heating values" "density" "Wobbe index" "dew points" "water content" "CO2 equivalents" \
              "GERG-2008" "AGA8 DETAIL" "calorix-host" "Python"; do
    grep -qF "$family" <<<"$description" || fail "the .deb's description does not name '$family': $description"
done
if [ -n "$python" ]; then
    recommends=$(dpkg-deb -f "$deb" Recommends)
    abi=$("$python" -c 'import sys; print(f"{sys.version_info[0]}.{sys.version_info[1]}")')
    grep -qF "python3 (>= $abi~)" <<<"$recommends" || fail "the .deb does not recommend Python $abi: '$recommends'"
fi

# The installed program: its version, the embedded gas, every correlation; the man page with
# every command's options and the fluid file's example; the copyright file, with LICENSE's text.
check_host() {
    local root=$1 where=$2 out
    for f in bin/calorix-host lib/calorix/Calorix.so lib/calorix/varbank2.so share/doc/calorix/README.md \
             share/doc/calorix/LICENSE share/doc/calorix/copyright share/man/man1/calorix-host.1.gz; do
        [ -f "$root/$f" ] || fail "$where: $f not installed"
    done
    out=$(env -u CALORIX_REGISTRY "$root/bin/calorix-host" --version) || fail "$where: --version failed"
    [ "$out" = "calorix-host $version" ] || fail "$where: --version says '$out', the project is $version"
    out=$("$root/bin/calorix-host" --format csv) || fail "$where: the embedded gas failed: $out"
    grep -q '^1,,HHV,.*,ok,' <<<"$out" || fail "$where: no HHV for the embedded gas: $out"
    out=$("$root/bin/calorix-host" --format csv --correlations all) || fail "$where: --correlations all failed: $out"
    [ "$(grep -c ',ok,' <<<"$out")" -ge 14 ] || fail "$where: --correlations all: $out"

    out=$(gzip -dc "$root/share/man/man1/calorix-host.1.gz") || fail "$where: the man page is not gzip"
    for text in 'batch' '\-\-strict' '\-\-delimiter' 'envelope' '\-\-pressures' '\-\-pressure\-unit' '\-\-points' \
                '\-\-svg' 'unregister' '"temperature_C": 15.0,' '{"name": "methane"},'; do
        grep -qF -- "$text" <<<"$out" || fail "$where: the man page lacks '$text'"
    done
    local copyright=$root/share/doc/calorix/copyright
    head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
        fail "$where: the copyright file is not in Debian's format"
    grep -qxF "Copyright: $(sed -n 's/^Copyright (c) //p' "$source_dir/LICENSE")" "$copyright" ||
        fail "$where: the copyright file's Copyright field is not LICENSE's"
    diff <(sed '1,/^License: Expat$/d; s/^ //; s/^\.$//' "$copyright") <(sed '1,/^Copyright (c)/d' "$source_dir/LICENSE" | sed '/./,$!d') ||
        fail "$where: the copyright file's licence text is not LICENSE's"
}

# The installed Python package, imported by the interpreter it was built for from the folder
# given, with no environment variable: its version, the module it loaded, an HHV.
check_python() {
    local site=$1 module=$2 where=$3 out
    out=$(cd "$scratch" && env -u CALORIX_MODULE PYTHONPATH="$site" "$python" -B -c 'import calorix
hhv = calorix.evaluate(calorix.Fluid.default(), "HHV")["HHV"]["overall"]
assert hhv is not None, "no HHV for the embedded gas"
print(calorix.__version__, calorix.module_path())') || fail "$where: the Python package does not run: $out"
    [ "$out" = "$version $module" ] || fail "$where: the Python package says '$out', not '$version $module'"
    echo "$where: the Python package calorix $version runs from $site with $module"
}

mkdir "$scratch/root"
dpkg -x "$deb" "$scratch/root"
check_host "$scratch/root/usr" ".deb"
mkdir "$scratch/tgz"
tar -xzf "$tgz" -C "$scratch/tgz"
check_host "$scratch/tgz/calorix-${version}-linux-x86_64" ".tar.gz"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_host "$scratch/prefix" "cmake --install"
echo "the .deb, the .tar.gz and cmake --install: calorix-host $version runs from where it was installed"

[ -n "$python" ] || { echo "no Python package in this build"; exit 0; }
# The .deb's package is in Debian's package folder (which Debian's python3 searches) and loads the
# .deb's module from lib/calorix; so do the .tar.gz's and cmake --install's under their prefix.
dist_packages=lib/python3/dist-packages
if [ "$python" = /usr/bin/python3 ]; then
    "$python" -c 'import sys; assert "/usr/lib/python3/dist-packages" in sys.path, sys.path' ||
        fail "Debian's python3 does not search /usr/lib/python3/dist-packages"
fi
check_python "$scratch/root/usr/$dist_packages" "$scratch/root/usr/lib/calorix/Calorix.so" ".deb"
check_python "$scratch/tgz/calorix-${version}-linux-x86_64/$dist_packages" \
    "$scratch/tgz/calorix-${version}-linux-x86_64/lib/calorix/Calorix.so" ".tar.gz"
check_python "$scratch/prefix/$dist_packages" "$scratch/prefix/lib/calorix/Calorix.so" "cmake --install"
# Under another version of Python (here: its native part renamed for one) the import says so.
mkdir -p "$scratch/other"
cp -r "$scratch/root/usr/$dist_packages/calorix" "$scratch/other/"
for f in "$scratch"/other/calorix/_calorix.*.so; do mv "$f" "$scratch/other/calorix/_calorix.cpython-30-x86_64-linux-gnu.so"; done
out=$(cd "$scratch" && PYTHONPATH="$scratch/other" "$python" -B -c 'import calorix' 2>&1) &&
    fail "the package imported with a native part for another Python"
grep -q "_calorix.cpython-30-x86_64-linux-gnu.so was built for another version of Python" <<<"$out" ||
    fail "the import under another Python does not say why: $out"

# "cmake --install --component python" into the prefix's package folder of the interpreter (the
# route of a package of one's own, with the module beside it).
# (A package folder outside the prefix, such as a virtual environment's, is not installed into here.)
site=$(sed -n 's/^CALORIX_PYTHON_INSTALL_DIR:PATH=//p' "$build/CMakeCache.txt")
if [[ $site != /* ]]; then
    cmake --install "$build" --component python --prefix "$scratch/python" >/dev/null
    check_python "$scratch/python/$site" "$scratch/python/$site/calorix/Calorix.so" "cmake --install --component python"
fi

# The .deb installed as a user installs it, "apt install ./calorix_<version>_amd64.deb", then
# purged: only with CALORIX_APT_INSTALL=1, as root and with no calorix package installed, since it
# changes the system. Debian's own python3 (/usr/bin) imports the package, whatever PATH puts first.
if [ "${CALORIX_APT_INSTALL:-}" = 1 ] && [ "$(id -u)" = 0 ] && ! dpkg -s calorix >/dev/null 2>&1; then
    trap 'apt-get purge -y -qq calorix >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
    (cd "$scratch/packages" && apt-get install -y -qq "./calorix_${version}_amd64.deb" >/dev/null) ||
        fail "apt install ./calorix_${version}_amd64.deb failed"
    out=$(cd /tmp && env -u CALORIX_MODULE -u CALORIX_REGISTRY calorix-host --version) ||
        fail "the installed calorix-host does not run"
    [ "$out" = "calorix-host $version" ] || fail "the installed calorix-host says '$out'"
    out=$(cd /tmp && env -u CALORIX_MODULE -u PYTHONPATH /usr/bin/python3 -B -c 'import calorix
print(calorix.__version__, calorix.module_path())') || fail "python3 -c 'import calorix' fails after apt install: $out"
    [ "$out" = "$version /usr/lib/calorix/Calorix.so" ] || fail "after apt install, the Python package says '$out'"
    apt-get purge -y -qq calorix >/dev/null || fail "apt purge calorix failed"
    [ ! -e /usr/lib/calorix ] && [ ! -e /usr/bin/calorix-host ] || fail "apt purge calorix left files behind"
    echo "apt install ./calorix_${version}_amd64.deb: calorix-host and python3 -c 'import calorix' run; purged again"
fi
