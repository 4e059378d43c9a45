#!/usr/bin/env bash
# Renders the shipped theme's images from their SVG sources.
#
#   scripts/render_theme.sh [theme-folder]      (default: resources/themes/default)
#
# Every line of <theme>/src/images.tsv names a resolution folder, an output file, the SVG it comes
# from and the size in pixels. PNGs are rendered with rsvg-convert and optimised losslessly with
# optipng; JPEGs go through ImageMagick. The output is committed, so building the program needs none
# of these tools. Running the script again gives byte-identical files.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
theme=${1:-$here/resources/themes/default}
manifest=$theme/src/images.tsv

need_pkg=()
command -v rsvg-convert >/dev/null || need_pkg+=(librsvg2-bin)
command -v optipng >/dev/null || need_pkg+=(optipng)
# The JPEG step needs the real ImageMagick, not any other program called convert.
find_magick() {
    for c in convert-im6.q16 /usr/bin/convert-im6.q16 magick /usr/bin/convert convert; do
        if command -v "$c" >/dev/null && "$c" -version 2>/dev/null | grep -q ImageMagick; then
            echo "$c"; return 0
        fi
    done
    return 1
}
find_magick >/dev/null || need_pkg+=(imagemagick)
if ((${#need_pkg[@]})); then
    echo "installing ${need_pkg[*]}" >&2
    if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need_pkg[@]}" >/dev/null
fi
magick=$(find_magick)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

count=0
while IFS=$'\t' read -r folder out src w h; do
    [[ -z "$folder" || "$folder" == \#* ]] && continue
    mkdir -p "$theme/$folder"
    svg="$theme/src/$src.svg"
    dest="$theme/$folder/$out"
    case "$out" in
    *.png)
        rsvg-convert -w "$w" -h "$h" -f png -o "$tmp/out.png" "$svg"
        optipng -quiet -o2 -strip all "$tmp/out.png"
        ;;
    *.jpg)
        rsvg-convert -w "$w" -h "$h" -f png -o "$tmp/flat.png" "$svg"
        "$magick" "$tmp/flat.png" -strip -sampling-factor 4:2:0 -quality 90 "jpeg:$tmp/out.png"
        ;;
    *) echo "unknown output type: $out" >&2; exit 1 ;;
    esac
    # Only replace a file whose content changed, so untouched images keep their dates.
    if ! cmp -s "$tmp/out.png" "$dest"; then
        mv "$tmp/out.png" "$dest"
    fi
    count=$((count + 1))
done <"$manifest"
echo "rendered $count images into $theme"
