#!/usr/bin/env bash
# Renders the program's picture, resources/kartotex.svg, into the PNG sizes that the program
# and the package use: resources/kartotex/kartotex-<N>.png. The PNGs are kept in the
# repository, so the build does not need this; run it after changing the SVG. Needs
# rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
command -v rsvg-convert >/dev/null || {
    echo "render-icon: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
    exit 1
}
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
        --output "resources/kartotex/kartotex-$size.png" resources/kartotex.svg
done
