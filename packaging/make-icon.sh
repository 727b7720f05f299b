#!/usr/bin/env bash
# Draws the program icon and writes res/vellora.ico with the sizes Windows
# shows: 16, 24, 32 and 48 pixels as 32-bit bitmaps, 256 as PNG.
#
# The picture: a "V" whose left arm stands in front of a mirror (the bar in
# the middle) and whose right arm is its paler reflection. It is drawn once,
# large, and scaled down for each size.
#
# ImageMagick's own convert is called by path: another convert may come first
# on PATH.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/res/vellora.ico}
convert=${CONVERT:-/usr/bin/convert}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Master at 1024 x 1024.
"$convert" -size 1024x1024 gradient:'#2f5d8c-#142a45' \
  \( -size 1024x1024 xc:none -fill white -draw 'roundrectangle 24,24 999,999 200,200' \) \
  -alpha set -compose DstIn -composite -compose Over \
  -fill '#6fc3ff' -draw 'polygon 168,196 380,196 540,760 470,884' \
  -fill '#6fc3ff80' -draw 'polygon 856,196 644,196 484,760 554,884' \
  -fill '#e8eef5' -draw 'roundrectangle 488,120 536,920 24,24' \
  "$work/master.png"

files=()
for size in 256 48 32 24 16; do
  # Small sizes keep their edges crisp with a sharper filter.
  filter=Lanczos
  [ "$size" -le 32 ] && filter=Mitchell
  "$convert" "$work/master.png" -filter "$filter" -resize "${size}x${size}" \
    -depth 8 -define png:color-type=6 "$work/icon-$size.png"
  files+=("$work/icon-$size.png")
done
"$convert" "${files[@]}" "$out"
echo "wrote $out"
