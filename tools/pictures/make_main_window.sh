#!/usr/bin/env bash
# Draws the main window's fixed pictures into res/pictures/form1/: the
# background, the logo, the page backgrounds, the section titles and the two
# list headers. The outputs are committed; run this again only to change the
# look. Pictures that sit on others are cut from the same backdrop, so they
# meet without a seam; none has an alpha channel.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
require_tools

out=$root/res/pictures/form1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render_backdrop "$work/backdrop.png" "$out/Image1.jpg"

# The background of the whole window, Image1.jpg, was written with the
# backdrop; the other pictures are PNG, lossless over what they cover.
save_png() { convert "$1" -alpha off -strip "PNG24:$2"; }

# Logo: the program's shield beside a two-line wordmark, on the top bar.
render_shield '#5fb2f6' '#1f6fb9' 34 "$work/shield.png"
crop "$work/backdrop.png" 0 0 185 49 "$work/logo_bg.png"
convert "$work/logo_bg.png" "$work/shield.png" -geometry +14+6 -compose Over -composite \
  -font "$FONT_BOLD" -pointsize 19 -fill white -annotate +56+23 'Tolvar' \
  -font "$FONT_BOLD" -pointsize 9 -kerning 2.2 -fill "$ACCENT_LIGHT" -annotate +57+37 'ANTIVIRUS' \
  "$work/Image2.png"
save_png "$work/Image2.png" "$out/Image2.png"

# Page backgrounds. Each page panel stands at (PANEL_X, PANEL_Y) and shows
# the content card cut from the backdrop, plus its own quiet decoration,
# kept away from where the page's figures are written. They are as large as
# the largest size their panel takes, so no panel colour shows through.
panel_bg() { crop "$work/backdrop.png" $PANEL_X $PANEL_Y "$2" "$3" "$work/$1.png"; }

# watermark NAME ICON X Y SIZE: a large, faint outline icon on a page.
watermark() {
  render_icon "$2" '#e3ebf5' "$5" "$work/mark.png"
  convert "$work/$1.png" "$work/mark.png" -geometry "+$3+$4" -compose Over -composite "$work/$1.png"
}

# Scan summary view: the figures go on the left, the shield stands on the
# right over soft rings.
panel_bg Image13 649 385
render_shield '#2f8fe0' '#12386b' 132 "$work/hero.png"
convert "$work/Image13.png" \
  -fill '#ebf2fa' -draw "circle 492,158 492,62" \
  -fill '#e1ecf8' -draw "circle 492,158 492,86" \
  "$work/hero.png" -geometry +426+92 -compose Over -composite "$work/Image13.png"

# Scan progress view: status, bar, list and commands fill it; left plain.
panel_bg Image14 649 373

# Results page.
panel_bg Image21 649 373
watermark Image21 results 500 22 96

# History page: totals above, last scan below, a hairline between them.
panel_bg Image22 649 377
watermark Image22 history 472 34 112
convert "$work/Image22.png" -fill '#dfe7f0' -draw "rectangle 24,152 584,152" "$work/Image22.png"

# Virus Database page: a hairline between the updates and the vault.
panel_bg Image23 649 377
convert "$work/Image23.png" -fill '#dfe7f0' -draw "rectangle 24,123 600,123" "$work/Image23.png"

# The Scan page's container: its two views are shorter than it, so its own
# bottom rows show under them and must carry the card and the navy on. It is
# 401 rows high; the window shows 395 of them.
panel_bg Panel1 649 395

for name in Panel1 Image13 Image14 Image21 Image22 Image23; do
  save_png "$work/$name.png" "$out/$name.png"
done

# Section titles, 300 x 30: an accent bar and a bold caption, cut from the
# page they stand on.
#
# name    page    x   y  caption
titles=$(cat <<'EOF'
Image25 Image13  24  20 Last_Scan_Summary
Image26 Image21  24  20 Scan_Results
Image27 Image22  24  20 Scan_History
Image28 Image22  24 164 Last_Scan
Image32 Image23  32  40 Database_Updates
Image33 Image23  32 128 Quarantine_Vault
EOF
)
while read -r name page x y caption; do
  crop "$work/$page.png" "$x" "$y" 300 30 "$work/title_bg.png"
  mapfile -t text < <(caption_left_args "$FONT_BOLD" 16 "$INK" "${caption//_/ }" 14 15)
  convert "$work/title_bg.png" -fill "$ACCENT" -draw "roundrectangle 0,6 3,23 1.5,1.5" \
    "${text[@]}" "$work/$name.png"
  save_png "$work/$name.png" "$out/$name.png"
done <<<"$titles"

# List headers. Their columns stand where the lists write a row's virus name
# (10 pixels in) and its path (280 pixels in). The lists are 573 pixels wide
# and cover the header's lower rows: the infection list from row 24 on the
# Scan page (row 25 on Results), the vault list from row 26.
# list_header OUT HEIGHT ROWS SECOND_COLUMN: the bar fills the first ROWS
# rows, its last row a darker rule; the rest is page.
# list_header OUT H ROWS SECOND [THIRD]: THIRD heads a column at the right
# (the vault list's date).
list_header() {
  local target=$1 h=$2 rows=$3 second=${4//_/ } third=${5:-} cy
  cy=$(calc "($rows - 1) / 2")
  local -a first_text second_text third_text=()
  mapfile -t first_text < <(caption_left_args "$FONT_BOLD" 11 '#3d536b' Virus 10 "$cy")
  mapfile -t second_text < <(caption_left_args "$FONT_BOLD" 11 '#3d536b' "$second" 280 "$cy")
  [[ -z $third ]] ||
    mapfile -t third_text < <(caption_left_args "$FONT_BOLD" 11 '#3d536b' "$third" 500 "$cy")
  convert -size 577x"$h" xc:"$CARD" \
    -fill '#dde7f1' -draw "roundrectangle 0,0 572,$((rows + 6)) 6,6" \
    -fill "$CARD" -draw "rectangle 0,$rows 576,$((h - 1))" \
    -fill '#c3d1e0' -draw "rectangle 0,$((rows - 1)) 572,$((rows - 1))" \
    -fill '#c6d3e1' -draw "rectangle 270,6 270,$((rows - 7))" \
    "${first_text[@]}" "${second_text[@]}" "${third_text[@]}" "$target"
}
list_header "$work/Image29.png" 25 25 File
list_header "$work/Image30.png" 33 26 Original_Location Vaulted
save_png "$work/Image29.png" "$out/Image29.png"
save_png "$work/Image30.png" "$out/Image30.png"

echo "wrote $out"
