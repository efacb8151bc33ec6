# shellcheck shell=bash disable=SC2034
# Shared palette, fonts and drawing helpers of the picture generators.
# Sourced by make_main_window.sh and make_skin.sh; needs ImageMagick 6 and
# fonts-dejavu-core. Every picture that sits on another one is cut from the
# same backdrop, so faces, titles and panels meet without a visible seam.

# Palette. Labels drawn by the program use INK on the light surfaces.
NAVY_TOP='#0f2742'
NAVY_BOTTOM='#16395f'
TOPBAR_LINE='#24496f'
CARD='#f4f7fb'
CARD_EDGE='#d3dde8'
FOOTER_BAND='#e8eef5'
FOOTER_LINE='#d6e0eb'
INK='#1d2b3a'
INK_MUTED='#5b6b7c'     # secondary text on the light surfaces
ACCENT='#2f8fe0'
ACCENT_LIGHT='#8cc4f4'
DANGER='#d9534f'
SUCCESS='#2e9d5b'
# Dialog buttons are painted on the message windows' body colour.
DIALOG_BG=$CARD

FONT_DIR=/usr/share/fonts/truetype/dejavu
FONT_REGULAR=$FONT_DIR/DejaVuSans.ttf
FONT_BOLD=$FONT_DIR/DejaVuSans-Bold.ttf
FONT_COND_BOLD=$FONT_DIR/DejaVuSansCondensed-Bold.ttf
# DejaVu's capital height as a share of the em, used to centre captions
# optically on their capitals rather than on the whole line box.
CAP_HEIGHT=0.729

# Window geometry that the pictures are laid out for.
WINDOW_W=792
WINDOW_H=442
PANEL_X=178            # every page panel stands here in the window
PANEL_Y=47
# The page panels are wider than what the window shows of them (649 against
# 614 pixels), so the backdrop is drawn wider than the window and cut.
BACKDROP_W=840
# The light content card, in window coordinates (inclusive corners).
CARD_X0=182; CARD_Y0=55; CARD_X1=783; CARD_Y1=429; CARD_R=12
# Footer band of the card: the footer buttons move from page to page at the
# same panel position, so the band looks the same under every page.
FOOTER_Y0=$((PANEL_Y + 306))

require_tools() {
  command -v convert >/dev/null || { echo "ImageMagick (convert) is needed" >&2; exit 1; }
  [[ -f $FONT_BOLD ]] || { echo "fonts-dejavu-core is needed" >&2; exit 1; }
}

# calc EXPR: floating-point arithmetic for coordinates.
calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }
# rnd EXPR: the same, rounded to a whole number.
rnd() { awk "BEGIN { v = $1; printf \"%d\", (v < 0 ? v - 0.5 : v + 0.5) }"; }

# mix COLOUR BASE SHARE: COLOUR laid over BASE with the given opacity, as
# #rrggbb.
mix() {
  local a=${1#\#} b=${2#\#} out='#' i
  for i in 0 2 4; do
    out+=$(awk -v x=$((16#${a:i:2})) -v y=$((16#${b:i:2})) -v t="$3" \
      'BEGIN { printf "%02x", x * t + y * (1 - t) + 0.5 }')
  done
  echo "$out"
}

# ink_box FONT SIZE TEXT -> "width offset": the width of the text's ink and how
# far the ink starts to the right of the pen position.
ink_box() {
  local font=$1 size=$2 text=$3
  convert -size 900x$((size * 3)) xc:none -font "$font" -pointsize "$size" \
    -fill black -annotate +20+$((size * 2)) "$text" -trim \
    -format '%w %X' info: | awk '{ x = $2; sub(/^\+/, "", x); print $1, x - 20 }'
}

# caption_args FONT SIZE COLOUR TEXT CX CY: the convert arguments that write
# TEXT with its ink centred horizontally on CX and its capitals centred
# vertically on CY. Printed one per line for mapfile.
caption_args() {
  local font=$1 size=$2 colour=$3 text=$4 cx=$5 cy=$6 w off
  read -r w off < <(ink_box "$font" "$size" "$text")
  local x y
  x=$(rnd "$cx - $w / 2 - $off")
  y=$(rnd "$cy + $size * $CAP_HEIGHT / 2")
  printf '%s\n' -font "$font" -pointsize "$size" -fill "$colour" -annotate "+$x+$y" "$text"
}

# caption_left_args FONT SIZE COLOUR TEXT LEFT CY: as caption_args, but the
# ink starts at LEFT.
caption_left_args() {
  local font=$1 size=$2 colour=$3 text=$4 left=$5 cy=$6 w off y
  read -r w off < <(ink_box "$font" "$size" "$text")
  y=$(rnd "$cy + $size * $CAP_HEIGHT / 2")
  printf '%s\n' -font "$font" -pointsize "$size" -fill "$colour" -annotate "+$((left - off))+$y" "$text"
}

# text_width FONT SIZE TEXT: width of the text's ink.
text_width() { local w off; read -r w off < <(ink_box "$1" "$2" "$3"); echo "$w"; }

# Icons are drawn on a 24-unit grid, four times over-sampled, then scaled
# down: thin strokes stay smooth at 12 to 32 pixels.
# icon_mvg NAME: the drawing of one icon in grid units; strokes use the
# current stroke colour, fills the current fill colour.
icon_mvg() {
  case $1 in
    search)   echo "fill none stroke-width 2.4 circle 10.2,10.2 10.2,3.7
                    stroke-width 3 line 15.2,15.2 20.2,20.2" ;;
    results)  echo "fill none stroke-width 2 roundrectangle 5,3.5 19,21 2.5,2.5
                    line 9,3.5 15,3.5
                    stroke-width 2.2 polyline 8.5,12.5 11,15 15.8,9.6" ;;
    history)  echo "fill none stroke-width 2.2 circle 12,12 12,3.2
                    stroke-width 2.2 polyline 12,7 12,12.3 15.6,14.6" ;;
    database) echo "fill none stroke-width 2 ellipse 12,5.8 7.5,2.8 0,360
                    path 'M 4.5,5.8 V 18.2 A 7.5,2.8 0 0 0 19.5,18.2 V 5.8'
                    path 'M 4.5,12 A 7.5,2.8 0 0 0 19.5,12'" ;;
    play)     echo "stroke-width 1.5 polygon 7.5,4.8 19,12 7.5,19.2" ;;
    pause)    echo "stroke none roundrectangle 6,4.5 10,19.5 1.2,1.2
                    roundrectangle 14,4.5 18,19.5 1.2,1.2" ;;
    stop)     echo "stroke none roundrectangle 5.5,5.5 18.5,18.5 2.2,2.2" ;;
    trash)    echo "fill none stroke-width 2 line 3.5,6.5 20.5,6.5
                    polyline 9,6.5 9,3.8 15,3.8 15,6.5
                    path 'M 5.8,6.5 L 7,20.2 H 17 L 18.2,6.5'
                    line 10,10.5 10,16.5 line 14,10.5 14,16.5" ;;
    folder)   echo "fill none stroke-width 2
                    path 'M 3,18.5 V 6.2 Q 3,5 4.2,5 H 9 L 11,7.3 H 19.8 Q 21,7.3 21,8.5 V 18.5 Q 21,19.7 19.8,19.7 H 4.2 Q 3,19.7 3,18.5 Z'
                    line 3,10.5 21,10.5" ;;
    info)     echo "fill none stroke-width 2.1 circle 12,12 12,3.2
                    stroke-width 2.4 line 12,11 12,16.8
                    stroke none circle 12,7.7 12,6.2" ;;
    shield)   echo "stroke none path 'M 12,1.5 L 20.7,4.8 C 20.7,12.5 17.9,18.3 12,22 C 6.1,18.3 3.3,12.5 3.3,4.8 Z'" ;;
    close)    echo "fill none stroke-width 2.6 line 6.5,6.5 17.5,17.5 line 17.5,6.5 6.5,17.5" ;;
    minimize) echo "fill none stroke-width 2.6 line 6,14.5 18,14.5" ;;
    menu)     echo "fill none stroke-width 2.4 line 5.5,7 18.5,7 line 5.5,12 18.5,12 line 5.5,17 18.5,17" ;;
    *) echo "unknown icon $1" >&2; return 1 ;;
  esac
}

# render_icon NAME COLOUR SIZE OUT: a SIZE x SIZE transparent icon.
render_icon() {
  local name=$1 colour=$2 size=$3 out=$4 big=$(($3 * 4))
  local scale
  scale=$(calc "$big / 24")
  convert -size ${big}x${big} xc:none -fill "$colour" -stroke "$colour" \
    -draw "scale $scale,$scale stroke-linecap round stroke-linejoin round $(icon_mvg "$name")" \
    -filter box -resize "${size}x${size}" "$out"
}

# render_shield TOP BOTTOM SIZE OUT: the program's shield with its check
# mark (as in the icon), filled with a gradient from TOP to BOTTOM.
SHIELD_PATH="M 128,12 L 228,50 C 228,140 196,205 128,244 C 60,205 28,140 28,50 Z"
render_shield() {
  convert \( -size 256x256 gradient:"$1-$2" -alpha set \) \
    \( -size 256x256 xc:none -fill white -draw "path '$SHIELD_PATH'" \) \
    -compose DstIn -composite -compose Over \
    -fill none -stroke '#e8f3ff' -strokewidth 10 -draw "path '$SHIELD_PATH'" \
    -stroke white -strokewidth 24 \
    -draw "stroke-linecap round stroke-linejoin round polyline 82,128 116,164 178,94" \
    -filter box -resize "$3x$3" "$4"
}

# crop SRC X Y W H OUT: cut a rectangle out of a lossless picture.
crop() { convert "$1" -crop "${4}x${5}+${2}+${3}" +repage "$6"; }

# save_window_jpeg IN OUT: the window background as the program carries it.
save_window_jpeg() {
  convert "$1" -alpha off -strip -sampling-factor 1x1 -quality 92 "$2"
}

# render_backdrop OUT [JPEG]: the main window's background (navy, top bar,
# glow, content card and footer band), BACKDROP_W pixels wide, with the part
# inside the window exactly as the program decodes it from its JPEG (written
# to JPEG when given). Everything laid over the background is cut from this,
# so no seam of even one level shows in the dark navy.
render_backdrop() {
  local out=$1 jpeg=${2:-} tmp
  tmp=$(mktemp -d)
  draw_backdrop "$tmp/lossless.png"
  [[ -n $jpeg ]] || jpeg=$tmp/window.jpg
  convert "$tmp/lossless.png" -crop "${WINDOW_W}x${WINDOW_H}+0+0" +repage "$tmp/window.png"
  save_window_jpeg "$tmp/window.png" "$jpeg"
  convert "$tmp/lossless.png" "$jpeg" -geometry +0+0 -compose Over -composite -alpha off "$out"
  rm -rf "$tmp"
}

# draw_backdrop OUT: the background before it is stored as JPEG.
draw_backdrop() {
  local out=$1 w=$BACKDROP_W h=$WINDOW_H
  convert -size ${w}x${h} gradient:"$NAVY_TOP-$NAVY_BOTTOM" \
    \( -size 900x640 -define gradient:extent=minimum radial-gradient:'rgba(110,180,255,0.13)-rgba(110,180,255,0)' \) \
    -geometry -360-330 -compose Over -composite \
    -fill 'rgba(0,0,0,0.20)' -draw "rectangle 0,0 $w,46" \
    -fill "$TOPBAR_LINE" -draw "rectangle 0,46 $w,46" \
    \( -size ${w}x${h} xc:none -fill 'rgba(0,8,20,0.55)' \
       -draw "roundrectangle $CARD_X0,$((CARD_Y0 + 2)) $CARD_X1,$((CARD_Y1 + 3)) $CARD_R,$CARD_R" \
       -blur 0x4 \) -compose Over -composite \
    -fill "$CARD_EDGE" -draw "roundrectangle $CARD_X0,$CARD_Y0 $CARD_X1,$CARD_Y1 $CARD_R,$CARD_R" \
    -fill "$CARD" -draw "roundrectangle $((CARD_X0 + 1)),$((CARD_Y0 + 1)) $((CARD_X1 - 1)),$((CARD_Y1 - 1)) $((CARD_R - 1)),$((CARD_R - 1))" \
    -fill "$FOOTER_BAND" \
    -draw "roundrectangle $((CARD_X0 + 1)),$FOOTER_Y0 $((CARD_X1 - 1)),$((CARD_Y1 - 1)) $((CARD_R - 1)),$((CARD_R - 1))" \
    -draw "rectangle $((CARD_X0 + 1)),$FOOTER_Y0 $((CARD_X1 - 1)),$((FOOTER_Y0 + 20))" \
    -fill "$FOOTER_LINE" -draw "rectangle $((CARD_X0 + 1)),$FOOTER_Y0 $((CARD_X1 - 1)),$FOOTER_Y0" \
    -alpha off "$out"
}

# Colours of one button style in one state; sets FILL BORDER TEXT ICON
# SHADOW (the soft line under a raised button; none when pressed) and INSET
# (the darker rim along the top of a pressed button).
#   primary-<accent|danger|success>: filled buttons for the main action
#   secondary: white buttons for the other actions
#   toggle-<accent|danger|success>: scan commands; white until pressed or
#     lit, then filled with their colour
button_colours() {
  local style=$1 state=$2 base light dark
  case ${style#*-} in
    accent)  base=$ACCENT;  light='#55a6ea'; dark='#1f6fb9' ;;
    danger)  base=$DANGER;  light='#e57571'; dark='#b53c38' ;;
    success) base=$SUCCESS; light='#41b46f'; dark='#227a46' ;;
  esac
  INSET=none
  case $style in
    primary-*)
      TEXT='#ffffff'; ICON='#ffffff'; BORDER=none
      case $state in
        normal)  FILL=$base;  SHADOW='rgba(20,45,80,0.22)' ;;
        hover)   FILL=$light; SHADOW='rgba(20,45,80,0.26)' ;;
        pressed) FILL=$dark;  SHADOW=none; INSET='rgba(0,0,0,0.28)' ;;
      esac ;;
    secondary)
      TEXT=$INK; ICON=$ACCENT
      case $state in
        normal)  FILL='#ffffff'; BORDER='#c6d3e1'; SHADOW='rgba(20,45,80,0.10)' ;;
        hover)   FILL='#e7f2fd'; BORDER=$ACCENT;   SHADOW='rgba(20,45,80,0.14)' ;;
        pressed) FILL='#cfdeee'; BORDER='#8fb0d3'; SHADOW=none; INSET='rgba(30,60,100,0.22)'
                 ICON='#1f6fb9' ;;
      esac ;;
    toggle-*)
      case $state in
        normal)  FILL='#ffffff'; BORDER='#c6d3e1'; TEXT=$INK; ICON=$base
                 SHADOW='rgba(20,45,80,0.10)' ;;
        hover)   FILL=$(mix "$base" '#ffffff' 0.13)
                 BORDER=$base; TEXT=$INK; ICON=$base; SHADOW='rgba(20,45,80,0.14)' ;;
        pressed) FILL=$dark; BORDER=none; TEXT='#ffffff'; ICON='#ffffff'
                 SHADOW=none; INSET='rgba(0,0,0,0.30)' ;;
      esac ;;
    *) echo "unknown button style $style" >&2; return 1 ;;
  esac
}

# pill_face OUT BG X0 Y0 X1 Y1 R STYLE STATE FONT SIZE CAPTION [ICON ICONSIZE]
# Draws one face of a rounded button onto the background picture BG: the
# pill spans X0..X1, Y0..Y1 (inclusive); icon and caption are centred in it
# as one group. A pressed face sinks its content by one pixel.
pill_face() {
  local out=$1 bg=$2 x0=$3 y0=$4 x1=$5 y1=$6 r=$7 style=$8 state=$9
  local font=${10} size=${11} caption=${12} icon=${13:-} isize=${14:-0}
  button_colours "$style" "$state"
  local w h
  read -r w h < <(convert "$bg" -format '%w %h\n' info:)
  local tmp
  tmp=$(mktemp -d)
  local -a args=("$bg")
  if [[ $SHADOW != none ]]; then
    args+=(-fill "$SHADOW" -draw "roundrectangle $x0,$((y0 + 1)) $x1,$((y1 + 1)) $r,$r")
  fi
  if [[ $BORDER != none ]]; then
    args+=(-fill "$BORDER" -draw "roundrectangle $x0,$y0 $x1,$y1 $r,$r"
           -fill "$FILL" -draw "roundrectangle $((x0 + 1)),$((y0 + 1)) $((x1 - 1)),$((y1 - 1)) $((r - 1)),$((r - 1))")
  else
    args+=(-fill "$FILL" -draw "roundrectangle $x0,$y0 $x1,$y1 $r,$r")
  fi
  if [[ $INSET != none ]]; then
    # The rim is the pill minus the pill moved down: a band that follows the
    # rounded top edge.
    convert -size "${w}x${h}" xc:none -fill "$INSET" \
      -draw "roundrectangle $x0,$y0 $x1,$y1 $r,$r" \
      \( -size "${w}x${h}" xc:none -fill black -draw "roundrectangle $x0,$((y0 + 2)) $x1,$((y1 + 2)) $r,$r" \) \
      -compose DstOut -composite "$tmp/inset.png"
    args+=("$tmp/inset.png" -compose Over -composite)
  fi
  local sink=0
  [[ $state == pressed ]] && sink=1
  local cx cy tw gap=$((size >= 14 ? 8 : 5)) group
  cx=$(calc "($x0 + $x1 + 1) / 2")
  cy=$(calc "($y0 + $y1 + 1) / 2 + $sink")
  # A caption that would crowd the pill's ends is set condensed.
  tw=$(text_width "$font" "$size" "$caption")
  group=$tw
  [[ -n $icon ]] && group=$((isize + gap + tw))
  if ((group > x1 - x0 - 18)); then
    font=$FONT_COND_BOLD
    tw=$(text_width "$font" "$size" "$caption")
    group=$tw
    [[ -n $icon ]] && group=$((isize + gap + tw))
  fi
  if [[ -n $icon ]]; then
    local ix iy
    ix=$(rnd "$cx - $group / 2")
    iy=$(rnd "$cy - $isize / 2")
    render_icon "$icon" "$ICON" "$isize" "$tmp/icon.png"
    args+=("$tmp/icon.png" -geometry "+$ix+$iy" -compose Over -composite)
    cx=$(calc "$cx - $group / 2 + $isize + $gap + $tw / 2")
  fi
  local -a text
  mapfile -t text < <(caption_args "$font" "$size" "$TEXT" "$caption" "$cx" "$cy")
  args+=("${text[@]}")
  convert "${args[@]}" -alpha off "$out"
  rm -rf "$tmp"
}

# stack_faces OUT NORMAL HOVER PRESSED: the skin strip, written without an
# alpha channel.
stack_faces() {
  local out=$1
  shift
  convert "$@" -append +repage -alpha off -strip "PNG24:$out"
}

# region_mask W H OUT: white where a W x H window whose shape is the rounded
# rectangle (0, 0)-(W, H) with 16 x 16 corner ellipses shows, black where it
# is cut. GDI leaves the last column and the last row out of such a region,
# and steps its corners as below (Zingl's ellipse, as GDI draws it), so the
# edge of a picture can be laid exactly on the pixels the window keeps.
region_mask() {
  local w=$1 h=$2 out=$3 draw
  draw=$(awk -v W="$w" -v H="$h" -v E=16 '
    BEGIN {
      right = W - 1; bottom = H - 1
      ew = (right < E) ? right : E; eh = (bottom < E) ? bottom : E
      a = ew - 1; b = eh - 1
      asq = 8 * a * a; bsq = 8 * b * b
      dx = 4 * b * b * (1 - a); dy = 4 * a * a * (1 + b % 2)
      err = dx + dy + a * a * (b % 2)
      x = 0; y = int(eh / 2); l[y] = 0; r[y] = right
      while (x <= int(ew / 2)) {
        e2 = 2 * err
        if (e2 >= dx) { x++; dx += bsq; err += dx }
        if (e2 <= dy) { y++; dy += asq; err += dy; l[y] = x; r[y] = right - x }
      }
      # Each corner row: cut the whole row, then restore its span.
      for (i = 0; i < eh; i++) {
        row = (i < int(eh / 2)) ? i : bottom - eh + i
        k = (i < int(eh / 2)) ? b - i : i
        printf "fill black rectangle 0,%d %d,%d fill white rectangle %d,%d %d,%d ",
          row, W - 1, row, l[k], row, r[k] - 1, row
      }
    }')
  convert -size "${w}x${h}" xc:black -fill white -draw "rectangle 0,0 $((w - 2)),$((h - 2))" \
    -draw "$draw" -alpha off "$out"
}
