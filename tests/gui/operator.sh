#!/usr/bin/env bash
# The window as an operator meets it, started from the desktop menu in a
# folder without 250_test/, under $GUI_LANG: Load opens on the samples, a
# bare name saves beside the model, a Save that replaces a waiting one or is
# cancelled after it says so, the full path of each map, a long message read
# whole, each tone's colour and the buttons' English tooltips.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"
STRIP_X=$((VIEW_X + 640)) STRIP_Y=664 # left of the map window, right of the words
YELLOW="250 210 90" RED="190 30 30"
lang=${GUI_LANG:-C.UTF-8}
locale -a | grep -qix "${lang%%.*}.utf8" || fail "the locale $lang is not installed (scripts/install-deps.sh makes it)"

tone_is() { # "R G B" WHAT: the strip's ground at its right end
    poll 10 near_pixel "$(shot tone)" "$STRIP_X" "$STRIP_Y" "$1" 3% || fail "the status strip is not $2"
}
tip_says() { # X Y TEXT W H: a tooltip below window point (X, Y), in a W x H crop, shows TEXT (OCR)
    local read deadline=$((SECONDS + 10)) origin crop
    origin=$(xdotool getwindowgeometry "$WIN" | awk '/Position/ { print $2 }')
    crop="$4x$5+$((${origin%,*} + $1 - 20))+$((${origin#*,} + $2 + 17))"
    until read=$(import -window root png:- | convert - -crop "$crop" +repage -resize 400% -colorspace Gray png:- |
        tesseract stdin - --psm 6 2>/dev/null | tr '\n' ' ') && [[ "$read" == *"$3"* ]]; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the tooltip at $1,$2 shows \"$read\", not \"$3\""
        sleep 0.3
    done
}

mkdir -p "$WORK/models" "$WORK/menu"
cp "$REPO/250_test/insole_left_binary.stl" "$WORK/models/left.stl"
# shellcheck disable=SC2119
START_DIR=$WORK/menu start_veltrim

# The command's own model folder is missing: the chooser opens on the
# samples, where a bare name is found.
click_button "$BUTTON_LOAD" && answer "$LOAD_TITLE" "insole_ascii.stl"
wait_for "$OUT" "READ!" 1 30
status_says "Loaded insole_ascii.stl"
grep -qx "path:$WORK/menu/250_test/" "$OUT" || fail "Load's console lines changed: $(grep '^path:' "$OUT")"

# A bare name saves beside the model loaded last, and the strip names it whole.
click_button "$BUTTON_LOAD" && answer "$LOAD_TITLE" "$WORK/models/left.stl"
wait_for "$OUT" "READ!" 2 30
click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "left"
poll 15 test -s "$WORK/models/left.bmp" || fail "a bare name was not saved beside the model: $(ls "$WORK/models")"
status_says "/models/left." # the path; OCR misreads the temporary folder's name
click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "left"
status_says "replacing the earlier file"

# Saved again while the first waits: the window is unmapped while the name
# is picked, so no frame counts, and mapped again with the click on the
# side view queued while the process is held, so the turn comes first.
re_arm() { # NAME: picks NAME and turns to the side view before any frame
    click_button "$BUTTON_SAVE" && focus_dialog "$SAVE_TITLE"
    xdotool key --clearmodifiers ctrl+a sleep 0.2 type --delay 10 "$WORK/models/$1"
    xdotool windowunmap --sync "$WIN" && focus_dialog "$SAVE_TITLE" && xdotool key Return
    poll 8 dialog_gone "$SAVE_TITLE" || fail "the chooser stayed open"
    kill -STOP "$PID"
    xdotool windowmap --sync "$WIN" && click_button "$BUTTON_SIDE"
    kill -CONT "$PID"
}
re_arm quick3
status_says "Save is waiting"
tone_is "$YELLOW" "yellow for a waiting Save"
click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "$WORK/models/quick4"
status_says "quick3.bmp was not written"
click_button "$BUTTON_TOP"
poll 15 test -s "$WORK/models/quick4.bmp" || fail "quick4.bmp was not written"
[ ! -e "$WORK/models/quick3.bmp" ] || fail "quick3.bmp was written after the new Save replaced it"
status_says "quick4.bmp: highest point"
# The strip shows the first sentence; a click shows the whole message.
click_button "$VIEW_X 654 800 20"
tip_says 452 664 "quick3.bmp was not" 700 60
re_arm later
click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE"
status_says "Neither later.bmp nor a new map was written"
tone_is "$YELLOW" "yellow for a cancel that dropped a Save"

# Errors are red; a Save with no model says so and still writes.
click_button "$BUTTON_LOAD" && answer "$LOAD_TITLE" "$WORK/missing.stl"
status_says "ERROR: could not open missing.stl"
tone_is "$RED" "red for an error"
click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "$WORK/models/nomodel"
status_says "no model is loaded"
[ -s "$WORK/models/nomodel.bmp" ] || fail "a Save with no model wrote nothing"

# The buttons' tooltips are English, in every locale.
xdotool mousemove --window "$WIN" 290 47
tip_says 290 47 "Top view" 300 34
xdotool mousemove --window "$WIN" 500 47
tip_says 500 47 "Reset rotation" 500 34
close_veltrim
