#!/usr/bin/env bash
# Draws the About window's background into res/pictures/form2/Image1.png, at
# the window's full client size (658 x 530): a navy header with the shield,
# the product's name, version and scanner, a light body with the title of
# the terms text and a few lines about the program, and the close button's
# normal face at the lower right. The output is committed; run this again
# only to change the look. It has no alpha channel.
#
# Where the program puts its controls on this picture:
#   the terms text box at (16, 272), 353 x 209 (its title stands above it);
#   the close button's click area at (568, 496), 89 x 25, over the face
#   drawn here.
# The window is a plain rectangle (no rounded region), so a hairline frames
# the whole picture.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
require_tools

W=658
H=530
HEADER_H=208            # the navy header; the body starts below it
BODY_EDGE='#c9d6e3'     # hairline round the window, as on the dialogs
RULE='#dfe7f0'          # hairline above the footer

out=$root/res/pictures/form2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Header: the main window's navy with its glow, the large shield, the
# wordmark and the product's lines, closed by an accent line.
convert -size "${W}x${HEADER_H}" gradient:"$NAVY_TOP-$NAVY_BOTTOM" \
  \( -size 900x640 -define gradient:extent=minimum radial-gradient:'rgba(110,180,255,0.16)-rgba(110,180,255,0)' \) \
  -geometry -330-330 -compose Over -composite \
  -alpha off "$work/header.png"
render_shield '#5fb2f6' '#1f6fb9' 112 "$work/shield.png"
mapfile -t name < <(caption_left_args "$FONT_BOLD" 34 '#ffffff' 'Tolvar AntiVirus' 176 78)
mapfile -t version < <(caption_left_args "$FONT_BOLD" 15 "$ACCENT_LIGHT" 'Version 1.0' 178 118)
mapfile -t scanner < <(caption_left_args "$FONT_REGULAR" 13 '#c9dcef' \
  'Protection powered by the ClamAV scanner' 178 148)
mapfile -t maker < <(caption_left_args "$FONT_REGULAR" 11 '#8fa9c4' \
  'Mirebrook' 178 176)
convert "$work/header.png" \
  -fill 'rgba(255,255,255,0.045)' -draw "circle 92,104 92,30" -fill 'rgba(255,255,255,0.035)' -draw "circle 92,104 92,44" \
  "$work/shield.png" -geometry +36+48 -compose Over -composite \
  "${name[@]}" "${version[@]}" "${scanner[@]}" "${maker[@]}" \
  -fill "$ACCENT" -draw "rectangle 0,$((HEADER_H - 2)) $W,$((HEADER_H - 1))" \
  -alpha off "$work/header.png"

# Body: the terms' title over the text box, and on the right a column of
# what the program does, each line with its icon.
mapfile -t terms_title < <(caption_left_args "$FONT_BOLD" 15 "$INK" 'Terms of Service' 16 246)
mapfile -t terms_note < <(caption_left_args "$FONT_REGULAR" 11 "$INK_MUTED" \
  'Please read them before you use the program.' 16 262)
declare -a body=(-size "${W}x${H}" xc:"$CARD"
  "$work/header.png" -geometry +0+0 -compose Over -composite
  "${terms_title[@]}" "${terms_note[@]}")

# Right column, x 392..641: a white card with four lines.
COL_X0=392; COL_Y0=272; COL_X1=641; COL_Y1=480
body+=(-fill "$CARD_EDGE" -draw "roundrectangle $COL_X0,$COL_Y0 $COL_X1,$COL_Y1 8,8"
  -fill '#ffffff' -draw "roundrectangle $((COL_X0 + 1)),$((COL_Y0 + 1)) $((COL_X1 - 1)),$((COL_Y1 - 1)) 7,7")
mapfile -t col_title < <(caption_left_args "$FONT_BOLD" 13 "$INK" 'What it does' $((COL_X0 + 16)) $((COL_Y0 + 22)))
body+=("${col_title[@]}")
row=0
while IFS='|' read -r icon first second; do
  y=$((COL_Y0 + 52 + row * 42))
  render_icon "$icon" "$ACCENT" 20 "$work/icon$row.png"
  mapfile -t l1 < <(caption_left_args "$FONT_REGULAR" 12 "$INK" "$first" $((COL_X0 + 46)) "$y")
  mapfile -t l2 < <(caption_left_args "$FONT_REGULAR" 11 "$INK_MUTED" "$second" $((COL_X0 + 46)) $((y + 16)))
  body+=("$work/icon$row.png" -geometry "+$((COL_X0 + 16))+$((y - 9))" -compose Over -composite
    "${l1[@]}" "${l2[@]}")
  row=$((row + 1))
done <<'ROWS'
search|Scans drives and folders|with ClamAV's clamscan
database|Keeps its virus databases|current on a schedule
trash|Moves infections to a vault|from which they can be restored
history|Remembers every scan|in its history
ROWS

# Footer: a hairline across, the copyright on the left, the close button's
# face at the lower right, as the skin draws its small buttons: the pill
# spans (1, 1)-(87, 22) of the 89 x 25 click area at (568, 496).
mapfile -t copyright < <(caption_left_args "$FONT_REGULAR" 11 "$INK_MUTED" \
  'Copyright (C) Mirebrook. All rights reserved.' 16 508)
body+=(-fill "$RULE" -draw "rectangle 16,488 $((W - 17)),488" "${copyright[@]}")
convert "${body[@]}" \
  -fill none -stroke "$BODY_EDGE" -draw "rectangle 0,$HEADER_H $((W - 1)),$((H - 1))" \
  -stroke "$TOPBAR_LINE" -draw "rectangle 0,0 $((W - 1)),$((HEADER_H - 3))" \
  -alpha off "$work/body.png"
pill_face "$work/Image1.png" "$work/body.png" 569 497 655 518 6 secondary normal \
  "$FONT_BOLD" 11 Close
convert "$work/Image1.png" -alpha off -strip "PNG24:$out/Image1.png"
echo "wrote $out/Image1.png"
