#!/usr/bin/env bash
# Lays the committed pictures and skin faces over each other the way the main
# window shows them, with sample texts where the program writes its figures,
# to judge the look without building the program. Writes PNGs into the folder
# given (default: /tmp/tolvar-preview); nothing here is part of the program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
require_tools

dest=${1:-/tmp/tolvar-preview}
mkdir -p "$dest"
skin=$root/res/skin
pics=$root/res/pictures/form1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# face SLOT STATE(0 normal, 1 hover, 2 pressed) OUT
face() {
  local h
  h=$(($(identify -format '%h' "$skin/img$1.png") / 3))
  convert "$skin/img$1.png" -crop "x$h+0+$(($2 * h))" +repage "$3"
}

# bar PERCENT OUT: the progress bar as the skin engine paints it.
bar() {
  local w=537 lw=6 rw=6 d
  d=$(rnd "($w - $lw - $rw) * $1 / 100")
  convert "$skin/timg1.png" -crop 6x13+0+0 +repage "$work/lc.png"
  convert "$skin/timg1.png" -crop 6x13+0+13 +repage "$work/rc.png"
  convert "$skin/timg1.png" -crop 6x13+0+26 +repage "$work/tr.png"
  local -a args=(-size "${w}x13" xc:red "$work/lc.png" -geometry +0+0 -composite)
  if ((d > 0)); then
    convert "$skin/timg1f.png" -crop $((lw + d))x13+0+0 +repage -resize "${d}x13!" "$work/fl.png"
    args+=("$work/fl.png" -geometry "+$lw+0" -composite)
  fi
  local tw=$((w - lw - rw - d))
  if ((tw > 0)); then
    convert "$work/tr.png" -resize "${tw}x13!" "$work/trs.png"
    args+=("$work/trs.png" -geometry +$((lw + d))+0 -composite)
  fi
  args+=("$work/rc.png" -geometry +$((w - rw))+0 -composite)
  convert "${args[@]}" "$2"
}

# list W H ROW_H ROWS OUT: owner-drawn rows as the program draws them, each
# row given as "virus|path".
list() {
  local w=$1 h=$2 rh=$3 out=$5 r=0
  local -a args=(-size "${w}x${h}" xc:white -font "$FONT_REGULAR" -pointsize 11)
  local virus path
  while IFS='|' read -r virus path; do
    [[ -z $virus ]] && continue
    local colour=white
    ((r % 2 == 0)) && colour='#e9e9e9'
    args+=(-fill "$colour" -draw "rectangle 0,$((r * rh)) $w,$((r * rh + rh - 1))"
           -fill '#808080' -annotate "+10+$((r * rh + rh - 3))" "${virus//\\/\\\\}"
           -annotate "+280+$((r * rh + rh - 3))" "${path//\\/\\\\}")
    r=$((r + 1))
  done <<<"$4"
  convert "${args[@]}" -bordercolor '#a9b8c8' -border 1 "$out"
}

# label TEXT X Y [bold]: arguments writing a sample label like the program.
label() {
  local font=$FONT_REGULAR
  [[ ${4:-} == bold ]] && font=$FONT_BOLD
  printf '%s\n' -font "$font" -pointsize 11 -fill "$INK" -annotate "+$2+$(($3 + 11))" "${1//\\/\\\\}"
}

# window PANEL_PICTURE PANEL_HEIGHT SELECTED_SLOT OUT [overlay args...]:
# the main window with one page whose overlays are given in panel
# coordinates.
window() {
  local panel=$1 ph=$2 selected=$3 target=$4
  shift 4
  convert "$panel" -crop "649x$ph+0+0" +repage "$@" "$work/panel.png"
  local -a args=("$pics/Image1.jpg" "$pics/Image2.png" -geometry +0+0 -composite)
  local slot state x y
  for slot in 1 2 3 4; do
    state=0
    ((slot == selected)) && state=2
    ((slot == selected % 4 + 1)) && state=1
    face "$slot" "$state" "$work/p$slot.png"
  done
  args+=("$work/p1.png" -geometry +15+72 -composite "$work/p2.png" -geometry +15+160 -composite
         "$work/p3.png" -geometry +15+248 -composite "$work/p4.png" -geometry +5+336 -composite
         "$work/panel.png" -geometry "+$PANEL_X+$PANEL_Y" -composite)
  # The Scan page's views stand inside Panel1, which shows below them.
  if ((selected == 1)); then
    args=("${args[@]:0:${#args[@]}-4}" "$pics/Panel1.png" -geometry "+$PANEL_X+$PANEL_Y" -composite
          "${args[@]: -4}")
  fi
  for slot in 5 6 7; do
    face "$slot" 0 "$work/t$slot.png"
  done
  args+=("$work/t7.png" -geometry +695+16 -composite "$work/t6.png" -geometry +727+16 -composite
         "$work/t5.png" -geometry +757+16 -composite)
  convert "${args[@]}" +geometry -crop ${WINDOW_W}x${WINDOW_H}+0+0 +repage \
    \( -size ${WINDOW_W}x${WINDOW_H} xc:black -fill white \
       -draw "roundrectangle 0,0 $((WINDOW_W - 1)),$((WINDOW_H - 1)) 8,8" \) \
    -alpha off -compose CopyOpacity -composite -compose Over -background '#808890' -flatten "$target"
}

# The footer buttons, on whichever page is shown: Full Scan normal, Scan
# Folders under the mouse, About normal.
face 10 0 "$work/f10.png"; face 9 1 "$work/f9.png"; face 8 0 "$work/f8.png"
footer=("$work/f10.png" -geometry +8+320 -composite "$work/f9.png" -geometry +216+320 -composite
        "$work/f8.png" -geometry +416+320 -composite)

# Scan page, summary view (Panel2: 649 x 363 when shown).
mapfile -t l < <(label 'Date:' 40 72; label '12/05/2025' 200 72 bold
  label 'Infections Found:' 40 98; label '2' 200 98 bold
  label 'Items Scanned:' 40 124; label '184,302' 200 124 bold
  label 'Infections Removed:' 40 150; label '2' 200 150 bold)
window "$pics/Image13.png" 363 1 "$dest/scan_summary.png" \
  "$pics/Image25.png" -geometry +24+20 -composite "${l[@]}" "${footer[@]}"

# Scan page, progress view (Panel3: 649 x 373), Pause lit.
bar 37 "$work/bar.png"
rows='Win.Trojan.Agent-1234 |C:\Users\Ann\Downloads\setup_tool.exe
Eicar-Test-Signature |C:\Users\Ann\Desktop\eicar.com
Doc.Dropper.Agent-5577 |C:\Users\Ann\Documents\invoice.doc'
list 571 119 13 "$rows" "$work/list1.png"
for s in 11 12 13 14 15; do
  face "$s" 0 "$work/c$s.png"
done
face 12 2 "$work/c12.png"
face 14 1 "$work/c14.png"
mapfile -t l < <(label 'Scanning: C:\Users\Ann\AppData\Local\Temp\cache\item_0412.tmp' 16 16
  label '37.21%' 510 16 bold
  label 'Items Scanned: 48213' 16 62; label 'Infections Found: 3' 300 62)
window "$pics/Image14.png" 373 1 "$dest/scan_progress.png" \
  "${l[@]}" "$work/bar.png" -geometry +16+40 -composite \
  "$pics/Image29.png" -geometry +16+88 -composite "$work/list1.png" -geometry +16+112 -composite \
  "$work/c11.png" -geometry +16+250 -composite "$work/c12.png" -geometry +134+250 -composite \
  "$work/c13.png" -geometry +252+250 -composite "$work/c14.png" -geometry +370+250 -composite \
  "$work/c15.png" -geometry +488+250 -composite "${footer[@]}"

# Results page (Panel4: 649 x 373).
mapfile -t l < <(label 'Date:' 40 58; label '12/05/2025' 200 58 bold
  label 'Infections Found:' 40 78; label '3' 200 78 bold
  label 'Items Scaned:' 40 98; label '48213' 200 98 bold
  label 'Infections Removed:' 40 118; label '0' 200 118 bold)
window "$pics/Image21.png" 373 2 "$dest/results.png" \
  "$pics/Image26.png" -geometry +24+20 -composite "${l[@]}" \
  "$pics/Image29.png" -geometry +25+138 -composite "$work/list1.png" -geometry +25+163 -composite \
  "${footer[@]}"

# History page (Panel5: 649 x 363 when shown).
mapfile -t l < <(label 'Number of Scans:' 40 60; label '14' 290 60 bold
  label 'Total Number of Infections Found:' 40 82; label '9' 290 82 bold
  label 'Total Number of Scanned Items:' 40 104; label '1,204,117' 290 104 bold
  label 'Total Number of Infections Removed:' 40 126; label '7' 290 126 bold
  label 'Date:' 40 204; label '12/05/2025' 290 204 bold
  label 'Infections Found:' 40 226; label '3' 290 226 bold
  label 'Items Scaned:' 40 248; label '48213' 290 248 bold
  label 'Infections Removed:' 40 270; label '0' 290 270 bold)
window "$pics/Image22.png" 363 3 "$dest/history.png" \
  "$pics/Image27.png" -geometry +24+20 -composite "$pics/Image28.png" -geometry +24+164 -composite \
  "${l[@]}" "${footer[@]}"

# Virus Database page (Panel6: 649 x 377).
rows='Win.Trojan.Agent-1234 |C:\Users\Ann\Downloads\setup_tool.exe
Eicar-Test-Signature |C:\Users\Ann\Desktop\eicar.com'
list 571 61 16 "$rows" "$work/list2.png"
face 29 0 "$work/b29.png"; face 30 1 "$work/b30.png"; face 27 0 "$work/b27.png"; face 28 0 "$work/b28.png"
mapfile -t l < <(label 'Last Update:' 40 72; label '12/05/2025' 136 72 bold
  label 'Update Size:' 40 104; label '168013451 bytes' 136 104 bold
  label 'Total Updates' 272 72; label '6' 368 72 bold)
window "$pics/Image23.png" 377 4 "$dest/virus_database.png" \
  "$pics/Image32.png" -geometry +32+40 -composite "$pics/Image33.png" -geometry +32+128 -composite \
  "${l[@]}" "$work/b29.png" -geometry +488+64 -composite "$work/b30.png" -geometry +488+96 -composite \
  "$pics/Image30.png" -geometry +24+160 -composite "$work/list2.png" -geometry +24+186 -composite \
  "$work/b27.png" -geometry +24+264 -composite "$work/b28.png" -geometry +120+264 -composite \
  "${footer[@]}"

# A message window body with its buttons, for the dialog faces.
faces=()
x=12
for s in 16 17 24 25 31 32 35 36; do
  face "$s" 0 "$work/d$s.png"
  faces+=("$work/d$s.png" -geometry "+$x+60" -composite)
  x=$((x + 117))
done
convert -size 950x110 xc:"$DIALOG_BG" -font "$FONT_REGULAR" -pointsize 11 -fill "$INK" \
  -annotate +12+30 'Message window body with its buttons (normal faces)' "${faces[@]}" \
  "$dest/dialogs.png"

echo "wrote $dest"
