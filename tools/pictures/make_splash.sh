#!/usr/bin/env bash
# Draws the splash window's picture, res/pictures/form10/Image1.png, 239 by
# 345 pixels: the navy of the main window with its glow, the program's shield
# and the product's name. The output is committed; run this again only to
# change the look. It has no alpha channel.
#
# The program writes "Loading Extensions ..." at (64, 312) in a light colour
# and lays the progress gauge over rows 340 and below, so the lower part of
# the picture stays plain navy.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
require_tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

W=239
H=345
SHIELD=104               # the shield's size; centred, its top at SHIELD_Y
SHIELD_Y=58
NAME_Y=204               # the capitals of the product's name centre here
out=$root/res/pictures/form10
mkdir -p "$out"

# The shield of the icon, lit from above, on a soft halo.
render_shield '#5fb2f6' '#1f6fb9' "$SHIELD" "$work/shield.png"
cx=$(calc "$W / 2")
halo_cy=$((SHIELD_Y + SHIELD / 2))

mapfile -t name < <(caption_args "$FONT_BOLD" 21 '#ffffff' "Tolvar AntiVirus" "$cx" "$NAME_Y")
mapfile -t line < <(caption_args "$FONT_REGULAR" 11 "$ACCENT_LIGHT" "Virus protection for Windows" \
  "$cx" $((NAME_Y + 24)))

convert -size "${W}x${H}" gradient:"$NAVY_TOP-$NAVY_BOTTOM" \
  \( -size 420x420 -define gradient:extent=minimum \
     radial-gradient:'rgba(110,180,255,0.22)-rgba(110,180,255,0)' \) \
  -geometry "+$(rnd "$cx - 210")+$((halo_cy - 210))" -compose Over -composite \
  "$work/shield.png" -geometry "+$(rnd "$cx - $SHIELD / 2")+$SHIELD_Y" -compose Over -composite \
  "${name[@]}" "${line[@]}" \
  -fill "$ACCENT" -draw "rectangle $(rnd "$cx - 18"),$((NAME_Y + 38)) $(rnd "$cx + 17"),$((NAME_Y + 39))" \
  -fill "$TOPBAR_LINE" -draw "rectangle 0,0 $((W - 1)),0" \
  -draw "rectangle 0,0 0,$((H - 1))" -draw "rectangle $((W - 1)),0 $((W - 1)),$((H - 1))" \
  -alpha off "$work/Image1.png"
convert "$work/Image1.png" -alpha off -strip "PNG24:$out/Image1.png"
echo "wrote $out/Image1.png"
