#!/usr/bin/env bash
# Draws the pictures of the small message windows into res/pictures/<form>/:
# each window's background Image1.png at its full client size (light body,
# hairline border, navy title band) and, where the window has one, its title
# image, cut from the top of the same picture so the two meet without a seam.
# The outputs are committed; run this again only to change the look. None
# has an alpha channel.
#
# The windows are borderless and their corners are cut by a 16 x 16 ellipse,
# so nothing that matters comes within 8 pixels of a corner. The buttons are
# skin faces painted on the plain body colour (DIALOG_BG), so the body stays
# plain wherever a button or a text stands.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
require_tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

BAND_H=40                # the title band; the title images are this high
DIALOG_EDGE='#c9d6e3'    # hairline round the body
RULE='#dfe7f0'           # hairline above a button row, as on the pages

save_png() { convert "$1" -alpha off -strip "PNG24:$2"; }

# tone NAME: sets TONE (the accent line under the band and the badge's
# colour), TONE_TOP and TONE_BOTTOM (the badge shield's gradient).
tone() {
  case $1 in
    accent)  TONE=$ACCENT;  TONE_TOP='#5fb2f6'; TONE_BOTTOM='#1f6fb9' ;;
    success) TONE=$SUCCESS; TONE_TOP='#4cc07b'; TONE_BOTTOM='#227a46' ;;
    danger)  TONE=$DANGER;  TONE_TOP='#ea7b77'; TONE_BOTTOM='#b53c38' ;;
    *) echo "unknown tone $1" >&2; return 1 ;;
  esac
}

# title_band W OUT: the navy band, drawn like the main window's top bar (the
# same gradient, glow and shade over its first rows) and closed by the same
# lighter line.
title_band() {
  local w=$1 out=$2
  convert -size "${w}x${WINDOW_H}" gradient:"$NAVY_TOP-$NAVY_BOTTOM" \
    \( -size 900x640 -define gradient:extent=minimum radial-gradient:'rgba(110,180,255,0.13)-rgba(110,180,255,0)' \) \
    -geometry -360-330 -compose Over -composite \
    -crop "${w}x${BAND_H}+0+0" +repage \
    -fill 'rgba(0,0,0,0.20)' -draw "rectangle 0,0 $w,$BAND_H" \
    -fill "$TOPBAR_LINE" -draw "rectangle 0,$((BAND_H - 1)) $w,$((BAND_H - 1))" \
    -alpha off "$out"
}

# mark_shield MARK SIZE OUT: the program's shield in the current tone with a
# white mark: check, cross or alert (an exclamation mark).
mark_shield() {
  local mark=$1 size=$2 out=$3 draw
  case $mark in
    check) draw="polyline 82,128 116,164 178,94" ;;
    cross) draw="line 98,86 158,146 line 158,86 98,146" ;;
    alert) draw="line 128,68 128,128 stroke-width 0 fill white circle 128,170 128,153" ;;
    *) echo "unknown mark $mark" >&2; return 1 ;;
  esac
  convert \( -size 256x256 gradient:"$TONE_TOP-$TONE_BOTTOM" -alpha set \) \
    \( -size 256x256 xc:none -fill white -draw "path '$SHIELD_PATH'" \) \
    -compose DstIn -composite -compose Over \
    -fill none -stroke "$(mix '#ffffff' "$TONE_TOP" 0.55)" -strokewidth 10 -draw "path '$SHIELD_PATH'" \
    -stroke white -strokewidth 26 \
    -draw "stroke-linecap round stroke-linejoin round $draw" \
    -filter box -resize "${size}x${size}" "$out"
}

# dialog FORM W H TONE TITLE_IMAGE CAPTION BADGE BX BY RULE_Y
# Writes res/pictures/FORM/Image1.png and, unless TITLE_IMAGE is "-", the
# title image. BADGE (check, cross, alert or -) is a shield on a soft disc,
# 40 pixels across with its top left at (BX, BY). RULE_Y is the row of a
# hairline above the buttons, or -.
dialog() {
  local form=$1 w=$2 h=$3 title_image=$5 caption=${6//_/ } badge=$7 bx=$8 by=$9
  local rule_y=${10}
  tone "$4"
  local out=$root/res/pictures/$form
  mkdir -p "$out"

  # Body: the hairline border runs along the outermost pixels the window's
  # region keeps (it leaves out the last column and row), the plain dialog
  # colour fills the rest. What the region cuts off is border colour too.
  region_mask "$w" "$h" "$work/mask.png"
  convert "$work/mask.png" -bordercolor black -border 1 -morphology Erode Plus:1 -shave 1x1 \
    "$work/inner.png"
  local -a args=(-size "${w}x${h}" xc:"$DIALOG_EDGE" \( -size "${w}x${h}" xc:"$DIALOG_BG" \)
    "$work/inner.png" -compose Over -composite)

  # Title band: a small shield and the caption in white. A two-pixel line in
  # the window's tone closes it, over the top bar's own line.
  title_band "$w" "$work/band.png"
  render_shield '#5fb2f6' '#1f6fb9' 24 "$work/logo.png"
  local -a text
  mapfile -t text < <(caption_left_args "$FONT_BOLD" 14 '#ffffff' "$caption" 44 19)
  convert "$work/band.png" "$work/logo.png" -geometry +12+7 -compose Over -composite \
    "${text[@]}" \
    -fill "$TONE" -draw "rectangle 0,$((BAND_H - 2)) $w,$((BAND_H - 1))" \
    -alpha off "$work/band.png"
  args+=("$work/band.png" -geometry +0+0 -compose Over -composite)

  if [[ $badge != - ]]; then
    mark_shield "$badge" 26 "$work/badge.png"
    args+=(-fill "$(mix "$TONE" "$DIALOG_BG" 0.10)" -draw "circle $((bx + 20)),$((by + 20)) $((bx + 20)),$by"
           -fill "$(mix "$TONE" "$DIALOG_BG" 0.17)" -draw "circle $((bx + 20)),$((by + 20)) $((bx + 20)),$((by + 5))"
           "$work/badge.png" -geometry "+$((bx + 7))+$((by + 7))" -compose Over -composite)
  fi
  # The hairline stands 15 pixels inside the border on both sides.
  if [[ $rule_y != - ]]; then
    args+=(-fill "$RULE" -draw "rectangle 16,$rule_y $((w - 18)),$rule_y")
  fi
  convert "${args[@]}" -alpha off "$work/Image1.png"
  save_png "$work/Image1.png" "$out/Image1.png"
  if [[ $title_image != - ]]; then
    crop "$work/Image1.png" 0 0 "$w" "$BAND_H" "$work/title.png"
    save_png "$work/title.png" "$out/$title_image.png"
  fi
  echo "wrote $out"
}

# Captions use "_" for blanks. The window keeps columns 0..w-2 and rows
# 0..h-2, so buttons are centred on (w - 2) / 2. Where the program puts its
# texts and buttons:
#   160 high (form17, scanfailed, form6, form11): texts right of the badge
#     (from x 70), rows 56..100; the button row at y 112.
#   form3: the question centred in rows 48..84; buttons at (39, 93) and
#     (156, 93).
#   237 high (form8, form14, form15): texts in rows 48..164; the rule at
#     row 171; buttons at y 186, a pair at x 72 and 189, a single one at 130.
#   form16: its label at (16, 50), the list at (16, 68) 335 x 98, the two
#     push buttons at y 173; the rule at row 206; buttons at (72, 219) and
#     (189, 219).
#
# form       w   h   tone    title  caption                badge  bx  by rule
dialogs=$(cat <<'EOF'
form17     400 160 success Image3 Scan_Complete          check  22  60 -
scanfailed 400 160 danger  Image3 Scan_Failed            cross  22  60 -
form3      301 142 danger  Image4 Stop_Scan              -       0   0 -
form6      367 160 success -      Removal_Complete       check  20  56 -
form11     367 160 danger  -      Infections_Found       alert  20  56 -
form7      367 130 accent  -      Removing_Infections    -       0   0 -
form8      367 237 accent  Image4 Virus_Database_Update  -       0   0 171
form14     367 237 danger  Image4 Download_Failed        -       0   0 171
form15     367 237 accent  Image4 Update_Available       -       0   0 171
form16     367 270 accent  Image4 Scan_Folders           -       0   0 206
EOF
)

while read -r form w h tone_name title caption badge bx by rule; do
  dialog "$form" "$w" "$h" "$tone_name" "$title" "$caption" "$badge" "$bx" "$by" "$rule"
done <<<"$dialogs"
