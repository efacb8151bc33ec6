#!/usr/bin/env bash
# Draws the skin strips res/skin/img1.png .. img39.png (normal, hover and
# pressed face of each image button, stacked top to bottom) and the progress
# bar skin res/skin/timg1.png (left cap, right cap, track) with its fill
# res/skin/timg1f.png. The outputs are committed; run this again only to
# change the look. Faces are painted on the very pixels they cover in the
# window (cut from the same backdrop as the main window's pictures), so they
# carry no alpha channel and still blend in.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
require_tools

out=$root/res/skin
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render_backdrop "$work/backdrop.png"

# background WHERE W H OUT: what a button covers. "window:X,Y" and
# "panel:X,Y" are positions in the main window or on a page panel;
# "dialog" is the plain body of a message window.
background() {
  local where=$1 w=$2 h=$3 target=$4 x y
  case $where in
    window:*) IFS=, read -r x y <<<"${where#window:}" ;;
    panel:*)  IFS=, read -r x y <<<"${where#panel:}"; x=$((x + PANEL_X)); y=$((y + PANEL_Y)) ;;
    dialog)   convert -size "${w}x${h}" xc:"$DIALOG_BG" "$target"; return ;;
  esac
  crop "$work/backdrop.png" "$x" "$y" "$w" "$h" "$target"
}

# Rounded buttons. Captions use "_" for blanks. The pill is given inside
# the face (inclusive corners); it stays clear of the face's last row, where
# its soft shadow falls.
# Footer pills are kept within the top 43 rows because the Scan summary and
# History pages cut the footer buttons off there, and the About pill keeps
# to the left because the window's edge cuts that button's right end.
#
# slot w   h  background    x0 y0  x1 y1 r style           size icon     caption
pill_slots=$(cat <<'EOF'
# footer of every page
  8  217 49 panel:416,320  0  4  175 41  9 secondary        14 info     About
  9  185 49 panel:216,320  0  4  175 41  9 secondary        14 folder   Scan_Folders
 10  185 49 panel:8,320    8  4  183 41  9 primary-accent   14 search   Full_Scan
# scan commands of the Scan page's progress view; the lit one shows pressed
 11  105 33 panel:16,250   1  1  103 30  7 toggle-accent    12 play     Start_Scan
 12  105 33 panel:134,250  1  1  103 30  7 toggle-accent    12 pause    Pause
 13  105 33 panel:252,250  1  1  103 30  7 toggle-success   12 play     Resume
 14  105 33 panel:370,250  1  1  103 30  7 toggle-danger    12 stop     Stop
 15  105 33 panel:488,250  1  1  103 30  7 toggle-success   12 trash    Remove
# stop the running scan? (TForm3)
 16  105 33 dialog         1  1  103 30  7 primary-danger   13 -        Yes
 17  105 33 dialog         1  1  103 30  7 secondary        13 -        No
# spare slots, bound to no control
 18  105 33 dialog         1  1  103 30  7 secondary        13 -        OK
 19  105 33 dialog         1  1  103 30  7 secondary        13 -        Cancel
 20  105 33 dialog         1  1  103 30  7 secondary        13 -        Yes
 21  105 33 dialog         1  1  103 30  7 secondary        13 -        No
 22  105 33 dialog         1  1  103 30  7 secondary        13 -        Close
# removal done (TForm6); infections found, remove them? (TForm11)
 23  105 33 dialog         1  1  103 30  7 primary-accent   13 -        OK
 24  105 33 dialog         1  1  103 30  7 primary-success  13 -        Remove
 25  105 33 dialog         1  1  103 30  7 secondary        13 -        Not_Now
# download failed (TForm14)
 26  105 33 dialog         1  1  103 30  7 primary-accent   13 -        Close
# vault and update buttons of the Virus Database page
 27   89 25 panel:24,264   1  1   87 22  6 secondary        11 -        Restore
 28   89 25 panel:120,264  1  1   87 22  6 secondary        11 -        Restore_To...
 29  105 25 panel:488,64   1  1  103 22  6 primary-accent   11 -        Check_Now
 30  105 25 panel:488,96   1  1  103 22  6 secondary        11 -        Settings
 38   89 25 panel:216,264  1  1   87 22  6 secondary        11 -        Delete
 39   89 25 panel:312,264  1  1   87 22  6 secondary        11 -        Allow
# update available (TForm15); download running (TForm8)
 31  105 33 dialog         1  1  103 30  7 primary-accent   13 -        Download
 32  105 33 dialog         1  1  103 30  7 secondary        13 -        Later
 33  105 33 dialog         1  1  103 30  7 primary-accent   13 -        Close
 34  105 33 dialog         1  1  103 30  7 secondary        13 -        Cancel
# folders to scan (TForm16); scan complete, nothing found (TForm17)
 35  105 33 dialog         1  1  103 30  7 primary-accent   13 -        Start_Scan
 36  105 33 dialog         1  1  103 30  7 secondary        13 -        Cancel
 37  105 33 dialog         1  1  103 30  7 primary-accent   13 -        OK
EOF
)

while read -r slot w h bg x0 y0 x1 y1 r style size icon caption; do
  [[ $slot == \#* ]] && continue
  caption=${caption//_/ }
  [[ $icon == - ]] && icon=
  isize=$((size >= 14 ? size + 6 : size + 2))
  background "$bg" "$w" "$h" "$work/bg.png"
  for state in normal hover pressed; do
    pill_face "$work/$state.png" "$work/bg.png" "$x0" "$y0" "$x1" "$y1" "$r" \
      "$style" "$state" "$FONT_BOLD" "$size" "$caption" "$icon" "$isize"
  done
  stack_faces "$out/img$slot.png" "$work/normal.png" "$work/hover.png" "$work/pressed.png"
done <<<"$pill_slots"

# Page buttons on the navy sidebar: an icon over a caption. All four tiles
# line up at window x 16..165 and are 80 pixels high, although the fourth
# button's control is larger and further left.
#
# slot w   h  x  y   icon     caption
page_slots=$(cat <<'EOF'
  1 162 89 15  72 search   Scan
  2 162 89 15 160 results  Results
  3 162 89 15 248 history  History
  4 172 97  5 336 database Virus_Database
EOF
)

page_face() {
  local target=$1 bg=$2 tx0=$3 ty0=$4 tx1=$5 ty1=$6 state=$7 icon=$8 caption=$9
  local icon_colour text_colour sink=0
  local -a args=("$bg")
  case $state in
    normal)
      icon_colour=$ACCENT_LIGHT; text_colour='#d6e4f3' ;;
    hover)
      icon_colour='#ffffff'; text_colour='#ffffff'
      args+=(-fill '#3a6794' -draw "roundrectangle $tx0,$ty0 $tx1,$ty1 10,10"
             -fill '#1d4570'
             -draw "roundrectangle $((tx0 + 1)),$((ty0 + 1)) $((tx1 - 1)),$((ty1 - 1)) 9,9") ;;
    pressed)
      icon_colour='#ffffff'; text_colour='#ffffff'; sink=1
      args+=(-fill '#1f6fb9' -draw "roundrectangle $tx0,$ty0 $tx1,$ty1 10,10"
             -fill "$ACCENT" -draw "roundrectangle $tx0,$((ty0 + 2)) $tx1,$ty1 10,10"
             -fill '#ffffff' -draw "roundrectangle $((tx0 + 5)),$((ty0 + 24)) $((tx0 + 8)),$((ty1 - 24)) 1.5,1.5") ;;
  esac
  local cx isz=30
  cx=$(calc "($tx0 + $tx1 + 1) / 2")
  render_icon "$icon" "$icon_colour" "$isz" "$work/page_icon.png"
  args+=("$work/page_icon.png" -geometry "+$(rnd "$cx - $isz / 2")+$((ty0 + 13 + sink))"
         -compose Over -composite)
  local -a text
  mapfile -t text < <(caption_args "$FONT_BOLD" 14 "$text_colour" "$caption" "$cx" "$((ty0 + 60 + sink))")
  convert "${args[@]}" "${text[@]}" -alpha off "$target"
}

while read -r slot w h x y icon caption; do
  caption=${caption//_/ }
  crop "$work/backdrop.png" "$x" "$y" "$w" "$h" "$work/bg.png"
  tx0=$((16 - x)) ty0=4
  for state in normal hover pressed; do
    page_face "$work/$state.png" "$work/bg.png" "$tx0" "$ty0" "$((tx0 + 149))" "$((ty0 + 79))" \
      "$state" "$icon" "$caption"
  done
  stack_faces "$out/img$slot.png" "$work/normal.png" "$work/hover.png" "$work/pressed.png"
done <<<"$page_slots"

# The three small buttons of the top bar. Close turns red under the mouse,
# as window close buttons do.
#
# slot x   y  icon     hover-fill               pressed-fill
top_slots=$(cat <<'EOF'
  5 757 16 close    #d9534f                  #b53c38
  6 727 16 minimize rgba(255,255,255,0.16)   rgba(0,0,0,0.32)
  7 695 16 menu     rgba(255,255,255,0.16)   rgba(0,0,0,0.32)
EOF
)

while read -r slot x y icon hover pressed; do
  crop "$work/backdrop.png" "$x" "$y" 18 18 "$work/bg.png"
  render_icon "$icon" '#a9c1da' 18 "$work/icon_dim.png"
  render_icon "$icon" '#ffffff' 18 "$work/icon_lit.png"
  convert "$work/bg.png" "$work/icon_dim.png" -compose Over -composite -alpha off "$work/normal.png"
  convert "$work/bg.png" -fill "$hover" -draw "roundrectangle 0,0 17,17 4,4" \
    "$work/icon_lit.png" -compose Over -composite -alpha off "$work/hover.png"
  convert "$work/bg.png" -fill "$pressed" -draw "roundrectangle 0,0 17,17 4,4" \
    "$work/icon_lit.png" -geometry +0+1 -compose Over -composite -alpha off "$work/pressed.png"
  stack_faces "$out/img$slot.png" "$work/normal.png" "$work/hover.png" "$work/pressed.png"
done <<<"$top_slots"

# Progress bar, 537 x 13 on the light page: a rounded capsule. The left cap
# belongs to the filled part, the right cap to the empty track; the fill is
# a vertical gradient only, so squeezing it sideways changes nothing.
bar_w=537 bar_h=13 cap_w=6
convert -size ${bar_w}x${bar_h} xc:"$CARD" \
  -fill '#c9d6e4' -draw "roundrectangle 0,0 $((bar_w - 1)),$((bar_h - 1)) 6,6" \
  -fill '#e1e9f2' -draw "roundrectangle 1,1 $((bar_w - 2)),$((bar_h - 2)) 5,5" \
  -alpha off "$work/empty.png"
convert -size ${bar_w}x${bar_h} gradient:'#56acf0-#2279c9' -alpha off "$work/fill.png"
convert -size ${bar_w}x${bar_h} xc:"$CARD" \
  \( "$work/fill.png" \( -size ${bar_w}x${bar_h} xc:black -fill white \
       -draw "roundrectangle 0,0 $((bar_w - 1)),$((bar_h - 1)) 6,6" \) \
     -alpha off -compose CopyOpacity -composite \) -compose Over -composite \
  -alpha off "$work/full.png"
crop "$work/full.png" 0 0 $cap_w $bar_h "$work/left.png"
crop "$work/empty.png" $((bar_w - cap_w)) 0 $cap_w $bar_h "$work/right.png"
crop "$work/empty.png" 200 0 $cap_w $bar_h "$work/track.png"
stack_faces "$out/timg1.png" "$work/left.png" "$work/right.png" "$work/track.png"
convert "$work/fill.png" -alpha off -strip "PNG24:$out/timg1f.png"

echo "wrote $out: img1.png .. img39.png, timg1.png, timg1f.png"
