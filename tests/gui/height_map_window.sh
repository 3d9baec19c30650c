#!/usr/bin/env bash
# The height-map window: each Save shows the file it wrote, at the largest
# whole scale the screen takes, with the pixel under the pointer read out;
# it closes, reopens, follows the next Save and leaves the main window free.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"
MARGIN=10 LEGEND_W=200 LINE_H=36 # app/height_map_window.cpp's layout

map_windows() { xdotool search --all --onlyvisible --pid "$PID" --name "$1" 2>/dev/null || true; }
map_open() { [ -n "$(map_windows "^${1//./\\.}\$")" ]; }
map_closed() { ! map_open "$1"; }
save_map() { # NAME: Save as $WORK/out/NAME; the window titled NAME shows it (sets MAP)
    click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "$WORK/out/$1"
    poll 15 test -s "$WORK/out/$1" || fail "no $1 within 15 s of the Save"
    poll 10 map_open "$1" || fail "no window titled \"$1\" within 10 s of writing it"
    MAP=$(map_windows "^${1//./\\.}\$")
    [ "$(map_windows . | grep -cvx "$WIN")" -eq 1 ] || fail "more than one window beside the main one after saving $1"
}
map_line_says() { # TEXT: the line under the map (OCR), within 10 s
    local read deadline=$((SECONDS + 10))
    until import -window "$MAP" "$SHOTS/map-line.png" 2>/dev/null && read=$(convert "$SHOTS/map-line.png" -crop "$((MAP_W - 2 * MARGIN))x$LINE_H+$MARGIN+$((2 * MARGIN + 360 * SCALE))" \
        +repage -resize 300% -colorspace Gray png:- | tesseract stdin - 2>/dev/null | tr '\n' ' ') && [[ "$read" == *"$1"* ]]; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the map's line shows \"$read\", not \"$1\""
        sleep 0.2
    done
}
shows_file() { # NAME: the window's map is the file's pixels, each a SCALE x SCALE square
    local shot n
    shot="$SHOTS/map-$1.png" && import -window "$MAP" "$shot" 2>/dev/null || fail "no screenshot of the window for $1"
    convert "$WORK/out/$1" -scale "$((SCALE * 100))%" "$WORK/scaled.png" || fail "cannot scale $1"
    n=$(compare -metric AE "${shot}[$((150 * SCALE))x$((360 * SCALE))+$MARGIN+$MARGIN]" "$WORK/scaled.png" null: 2>&1) || true
    [ "$n" = 0 ] || fail "the window for $1 differs from the file in \"$n\" pixels at ${SCALE}x ($shot)"
}
gray_at() { convert "$WORK/out/$1" -format "%[fx:round(255*p{$3,$2})]" info:; } # NAME ROW COL

start_veltrim "$REPO/250_test/insole_left_binary.stl"
wait_for "$OUT" "READ!" 1 10
save_map left.bmp
# The largest whole scale at which the map, the legend and the line fit the
# screen (no window manager here: the work area is the whole screen).
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
SCALE=$(((SCREEN_W - 3 * MARGIN - LEGEND_W) / 150)) && down=$(((SCREEN_H - 4 * MARGIN - LINE_H - 40) / 360))
[ "$down" -ge "$SCALE" ] || SCALE=$down
MAP_W=$((150 * SCALE + 3 * MARGIN + LEGEND_W)) MAP_H=$((360 * SCALE + 3 * MARGIN + LINE_H))
[[ "$(xdotool getwindowgeometry "$MAP")" =~ Geometry:\ ${MAP_W}x$MAP_H ]] ||
    fail "the map window is not ${MAP_W}x$MAP_H (scale $SCALE): $(xdotool getwindowgeometry "$MAP")"
shows_file left.bmp
# Row 200, column 60 lies over plate x 20.5, z 14.5 and on the insole.
gray=$(gray_at left.bmp 200 60) && [ "$gray" -gt 0 ] || fail "the sample has no model at row 200, column 60"
height=$(awk -v g="$gray" 'BEGIN { printf "%g", g / 5 }')
xdotool mousemove --window "$MAP" $((MARGIN + 60 * SCALE + SCALE / 2)) $((MARGIN + 200 * SCALE + SCALE / 2))
map_line_says "Row 200, column 60: plate x 20.5, z 14.5; $height units above the plate (gray $gray)."
xdotool mousemove --window "$MAP" $((MARGIN + 2 * SCALE)) $((MARGIN + 2 * SCALE)) # a corner: no model
map_line_says "Row 2, column 2: plate x -177.5, z 72.5; on the plate or no model (gray 0)."

# The main window answers while the map is open: a preset turns the view.
before=$(settled_shot before-side)
click_button "$BUTTON_SIDE" && settled_shot side "$before" 500 >/dev/null
# Closed, it reopens on the next Save with the new name and map.
"$X_CLOSE" "$MAP" || fail "could not ask the map window to close"
poll 10 map_closed left.bmp || fail "the map window is still open 10 s after it was closed"
# A model turned by a quarter and a half turn gives each Save another map.
xdotool key --window "$WIN" shift+x
save_map standing.bmp
shows_file standing.bmp
# Open, the next Save refreshes it: one window, the new title and map.
xdotool key --window "$WIN" shift+x
save_map upside-down.bmp
map_closed standing.bmp || fail "the window still shows the title standing.bmp"
shows_file upside-down.bmp
for pair in "left standing" "standing upside-down"; do
    read -r a b <<<"$pair" && ! cmp -s "$WORK/out/$a.bmp" "$WORK/out/$b.bmp" || fail "$a.bmp and $b.bmp are the same map"
done
# Closing the main window ends the program, the map window open or not.
close_veltrim
