#!/usr/bin/env bash
# Each page button shows its own page, and the mouse brings up the hover
# face. Screenshots of the four pages are kept as artifacts.
# Usage: pages_test.sh WINE_RUN PROGRAM_DIR ARTIFACT_DIR
set -euo pipefail
wine_run=$1
program_dir=$2
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

mkdir -p "$artifacts"
quiet_update_check
start_program "$wine_run" "$program_dir/AntiVirus.exe"
trap stop_program EXIT
win=$(wait_for_main_window 60) || fail "the main window did not appear"
sleep 1
read -r x y w h < <(window_geometry "$win")

# Saves the window's area of the screen.
shoot_window() {
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
}

# Page buttons: (left, top, width, height) in the window.
declare -A button=([1]="15 72 162 89" [2]="15 160 162 89" [3]="15 248 162 89" [4]="5 336 172 97")
declare -A name=([1]=scan [2]=results [3]=history [4]=virus_database)

# A point in the middle of the page area, away from figures and buttons.
probe_x=$((x + 178 + 300))
probe_y=$((y + 47 + 250))

declare -A seen
for page in 2 3 4 1; do
  read -r bl bt bw bh <<<"${button[$page]}"
  xdotool mousemove $((x + bl + bw / 2)) $((y + bt + bh / 2)) click 1
  sleep 0.7
  # Move off the button so the screenshot shows it highlighted, not hovered.
  xdotool mousemove $((x + 400)) $((y + 30))
  sleep 0.3
  shot="$artifacts/page_${page}_${name[$page]}.png"
  shoot_window "$shot"
  echo "page $page: $shot"
  signature=$(convert "$shot" -crop 614x395+178+47 +repage -resize 16x16! -depth 4 txt:- | md5sum | cut -c1-12)
  for other in "${!seen[@]}"; do
    [ "${seen[$other]}" != "$signature" ] || fail "page $page looks the same as page $other"
  done
  seen[$page]=$signature
done

# The hover face: the Results button looks different under the mouse.
read -r bl bt bw bh <<<"${button[2]}"
before=$(pixel_of_screen $((x + bl + 20)) $((y + bt + 10)))
xdotool mousemove $((x + bl + bw / 2)) $((y + bt + bh / 2))
sleep 0.5
after=$(pixel_of_screen $((x + bl + 20)) $((y + bt + 10)))
[ "$before" != "$after" ] || fail "the Results button shows no hover face ($before)"
echo "PASS: four distinct pages, hover face shown"
