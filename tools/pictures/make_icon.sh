#!/usr/bin/env bash
# Draws the program's icon (a shield with a check mark) with ImageMagick and
# writes res/AntiVirus.ico. The output is committed, so a build needs no
# ImageMagick; run this again only to change the icon.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn once at 256 pixels; the small sizes are scaled from it.
convert -size 256x256 xc:none \
  \( -size 256x256 gradient:'#2f8fe0-#12386b' \) \
  \( -size 256x256 xc:none -fill white \
     -draw "path 'M 128,12 L 228,50 C 228,140 196,205 128,244 C 60,205 28,140 28,50 Z'" \) \
  -delete 0 -compose DstIn -composite \
  -fill none -stroke '#e8f3ff' -strokewidth 10 \
  -draw "path 'M 128,12 L 228,50 C 228,140 196,205 128,244 C 60,205 28,140 28,50 Z'" \
  -stroke white -strokewidth 24 \
  -draw "stroke-linecap round stroke-linejoin round polyline 82,128 116,164 178,94" \
  "$work/icon256.png"

for size in 16 24 32 48 64; do
  convert "$work/icon256.png" -resize ${size}x${size} "$work/icon$size.png"
done
convert "$work/icon16.png" "$work/icon24.png" "$work/icon32.png" "$work/icon48.png" \
  "$work/icon64.png" "$work/icon256.png" -depth 8 "$root/res/AntiVirus.ico"
echo "wrote $root/res/AntiVirus.ico"
