#!/usr/bin/env bash
# Builds the Debian package build/package/kartotex_<version>_<arch>.deb, lists its contents
# and validates its desktop entry and AppStream metainfo. Installs what it needs (as root).
#
#   --lintian   also install lintian and print what it reports about the package
#   --install   also install the package with apt-get and remove it again (changes the system)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

run_lintian=0 try_install=0
for arg in "$@"; do
    case $arg in
    --lintian) run_lintian=1 ;;
    --install) try_install=1 ;;
    *)
        echo "usage: $0 [--lintian] [--install]" >&2
        exit 2
        ;;
    esac
done

packages=(qt6-base-dev qt6-base-dev-tools libmariadb-dev libsqlite3-dev libjpeg-dev libcups2-dev
    ninja-build cmake g++ pkg-config dpkg-dev file desktop-file-utils appstream)
((run_lintian)) && packages+=(lintian)
missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$p")
done
sudo=()
if ((EUID != 0)) && command -v sudo >/dev/null; then
    sudo=(sudo)
fi
if ((${#missing[@]})); then
    echo "package: installing ${missing[*]}"
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        "${missing[@]}"
fi

build=${KX_BUILD_DIR:-build}
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target kartotex kx_package_files
rm -rf "$build/package"
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/package/kartotex_*.deb)

echo "== $deb"
dpkg-deb --field "$deb"
dpkg-deb -c "$deb"

# The desktop entry and metainfo are validated as the package holds them.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
[[ -x $unpacked/usr/bin/kartotex ]]
# Print jobs go to the print system through libcups: the package must bring it.
dpkg-deb --field "$deb" Depends | grep -q 'libcups2' || {
    echo "package: the package does not depend on libcups2" >&2
    exit 1
}
# The icon the desktop entry names, in every size, each PNG of the size its folder says.
icon=$(sed -n 's/^Icon=//p' "$unpacked"/usr/share/applications/org.kartotex.Kartotex.desktop)
[[ $icon == org.kartotex.Kartotex ]]
for size in 16 32 48 64 128 256; do
    png=$unpacked/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
    file "$png" | grep -q "PNG image data, $size x $size, .*RGBA" || {
        echo "package: $png is missing or not a $size x $size PNG with transparency" >&2
        exit 1
    }
done
grep -q '<svg' "$unpacked/usr/share/icons/hicolor/scalable/apps/$icon.svg"

if ((run_lintian)); then
    echo "== lintian"
    lintian "$deb" || true
fi

if ((try_install)); then
    echo "== apt-get install / remove"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "$(realpath "$deb")"
    [[ -x /usr/bin/kartotex ]]
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y kartotex
    [[ ! -e /usr/bin/kartotex ]]
fi
echo "package: $deb"
