#!/usr/bin/env bash
# Makes every package of a release into dist/: the Linux .deb and .tar.gz, the Windows .zip and
# installer, and SHA256SUMS. Builds the release and Windows configurations in folders of their
# own (build/dist-release, build/dist-windows, made afresh), runs their tests, packs, and prints
# what it made. Files and the type libraries are dated by the commit (SOURCE_DATE_EPOCH), so
# that two runs on one commit give the same bytes; "--verify" runs twice and compares. "--linux"
# makes the Linux packages only, without the Windows build and its tools.
#   scripts/release.sh [--linux] [--verify]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

verify=0
linux=0
for arg in "$@"; do
    case "$arg" in
        --verify) verify=1 ;;
        --linux) linux=1 ;;
        *) echo "usage: scripts/release.sh [--linux] [--verify]" >&2; exit 2 ;;
    esac
done

if [ "$linux" = 1 ]; then scripts/install-deps.sh; else scripts/install-deps.sh windows; fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "release.sh: the working tree has uncommitted changes; the packages are not the commit's" >&2

release_build=$root/build/dist-release
windows_build=$root/build/dist-windows

build_and_pack() {
    local out=$1
    rm -rf "$release_build" "$windows_build" "$out"
    mkdir -p "$out"
    cmake --preset release -B "$release_build" -DCALORIX_BUILD_BENCH=OFF >/dev/null
    cmake --build "$release_build"
    ctest --test-dir "$release_build" -j"$(nproc)" --output-on-failure
    (cd "$release_build" && cpack -G "DEB;TGZ" -B "$release_build/packages" >/dev/null)
    cp "$release_build"/packages/*.deb "$release_build"/packages/*.tar.gz "$out/"
    if [ "$linux" = 0 ]; then
        cmake --preset windows -B "$windows_build" -DCALORIX_NATIVE_HOST="$release_build/bin/calorix-host" >/dev/null
        cmake --build "$windows_build"
        ctest --test-dir "$windows_build" -j"$(nproc)" --output-on-failure
        (cd "$windows_build" && cpack -G ZIP -B "$windows_build/packages" >/dev/null)
        cmake --build "$windows_build" --target calorix_installer
        cp "$windows_build"/packages/*.zip "$windows_build"/installer/*-setup.exe "$out/"
    fi
    (cd "$out" && sha256sum -- * >SHA256SUMS)
}

build_and_pack "$root/dist"
if [ "$verify" = 1 ]; then
    # A second run from fresh build folders on the same commit: every package the same bytes.
    rm -rf "$root/dist.first"
    mv "$root/dist" "$root/dist.first"
    build_and_pack "$root/dist"
    cmp "$root/dist.first/SHA256SUMS" "$root/dist/SHA256SUMS" || {
        diff "$root/dist.first/SHA256SUMS" "$root/dist/SHA256SUMS" >&2
        echo "release.sh: two builds of one commit gave different packages (dist.first/ and dist/)" >&2
        exit 1
    }
    rm -rf "$root/dist.first"
    echo "Two builds gave byte-identical packages."
fi

echo "Made in dist/ (commit $(git rev-parse --short HEAD), SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
(cd "$root/dist" && stat -c "  %n  %s bytes" -- *)
echo "Check them with: (cd dist && sha256sum -c SHA256SUMS)"
