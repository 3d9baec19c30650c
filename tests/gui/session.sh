#!/usr/bin/env bash
# The real window: start-up picture, presets, drops, Load and Save through the
# choosers, navigation and 旋轉還原; then a model named on the command line.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"
PLATE="178 178 102" # (0.7, 0.7, 0.4) unlit
DIR_LINES=("=dir(before):(null)" "=dir(after):$REPO/250_test/" "=system_path:$REPO" "=path:$REPO/250_test/")

expect_box() { # FILE "R G B" W H WHAT: that colour spans W x H (+-2) around the view's centre (+-2)
    local box w h x y
    box=$(convert "$1" -crop "$VIEW_GEOMETRY" +repage -alpha off -fill black +opaque "rgb(${2// /,})" -format '%@' info:)
    [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "$5: no ($2) pixels in $(basename "$1")"
    w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=$((BASH_REMATCH[3] * 2 + w - VIEW_W)) y=$((BASH_REMATCH[4] * 2 + h - VIEW_H))
    ((w >= $3 - 2 && w <= $3 + 2 && h >= $4 - 2 && h <= $4 + 2 && x * x <= 16 && y * y <= 16)) ||
        fail "$5: the ($2) pixels of $(basename "$1") span $box, expected ${3}x$4 around the view's centre"
}
load_lines() { # FILE: what a good Load prints; ASCII when it starts with "solid"
    local kind=Binary && [ "$(head -c 5 "$1")" != solid ] || kind=ASCII
    printf '%s\n' "=bin STL Size $(od -An -t d4 -j 80 -N 4 "$1" | tr -d ' ')" "=This is a \"$kind\" File  " "=READ!"
}
load_model() { # FILE: Load through the chooser, with its console lines
    local from reads patterns
    from=$(line_count "$OUT") reads=$(count_lines "$OUT" "READ!")
    click_button "$BUTTON_LOAD" && answer "$LOAD_TITLE" "$1"
    wait_for "$OUT" "READ!" $((reads + 1)) 30 && mapfile -t patterns < <(load_lines "$1")
    expect_in_order "$OUT" "$from" "${DIR_LINES[@]}" "${patterns[@]}"
}
file_uri() { echo "file://$(printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F | sed 's/../%&/g; s|%2F|/|g')"; }
drop() { "$X_DROP" "$WIN" "$VIEW_CX" "$VIEW_CY" "$1" || fail "the drop on the view did not complete"; }
dropped_model() { # N: the Nth "READ!", and no model through the Load chooser
    wait_for "$OUT" "READ!" "$1" 10 && ! grep -q "^dir(" "$OUT" || fail "the model went through the Load chooser"
}

# --help and --version print and exit 0 without a display; a bad --rotate exits 2.
help=$(env -u DISPLAY "$VELTRIM" --help) && [[ "$help" == *MODEL.stl*--rotate*"-g[eometry]"* ]] || fail "--help: $help"
[[ "$(env -u DISPLAY "$VELTRIM" --version)" =~ ^veltrim\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version"
code=0 && env -u DISPLAY "$VELTRIM" --rotate x:0x5A 2>/dev/null || code=$?
[ "$code" -eq 2 ] || fail "a bad --rotate exited $code, not 2"

# Under C.UTF-8, an unknown option before a name that cannot be read and a
# second name: FLTK's list of options, "READ!" with the reason on stderr and in
# the status line, and the empty scene.
start_veltrim -bogus-option "$WORK/missing.stl" "$WORK/second.stl"
wait_for "$ERR" "options are:" 1 5 && wait_for "$OUT" "READ!" 1 10
wait_for "$ERR" "more than one model named; loading only $WORK/missing.stl" 1 1
grep -q "^cannot open \"$WORK/missing.stl\": No such file or directory" "$ERR" || fail "no reason on stderr for a model that cannot be read"
status_says "ERROR: could not open missing.stl: No such file or directory"
[[ "$(xdotool getwindowgeometry "$WIN")" =~ Geometry:\ 931x676 ]] || fail "main window is not 931x676: $(xdotool getwindowgeometry "$WIN")"
start=$(settled_shot start)
# The background ramps from (0, 0.2, 0.2) at the top to (0, 0.8, 0.8) at the
# bottom.
for x in $((VIEW_X + 1)) $((VIEW_X + VIEW_W - 2)); do
    for want in "1 0 51 51" "$((VIEW_H / 2)) 0 127 127" "$((VIEW_H - 2)) 0 204 204"; do
        read -r y rgb <<<"$want"
        near_pixel "$start" "$x" $((VIEW_Y + y)) "$rgb" 2.4% || fail "view pixel ($x,$((VIEW_Y + y))) is not ($rgb)"
    done
done
# Plate, magenta wire box, red/green/blue axes; the labels are glyphs, not the
# boxes of a font without them: they share their second character (視).
for want in "$PLATE|2%|5000" "255 0 255|0%|300" "255 0 0|0%|50" "0 255 0|0%|50" "0 0 255|0%|50"; do
    IFS='|' read -r rgb fuzz least <<<"$want"
    [ "$(count_colour "$start" "$VIEW_GEOMETRY" "$rgb" "$fuzz")" -ge "$least" ] || fail "under $least pixels of ($rgb) in the start view"
done
half() { # BUTTON SIDE(0|1): hash of one half of the label area
    local b && read -ra b <<<"$1"
    convert "$start" -crop "$(((b[2] - 6) / 2))x$((b[3] - 6))+$((b[0] + 3 + $2 * (b[2] - 6) / 2))+$((b[1] + 3))" +repage -format '%#' info:
}
[ "$(half "$BUTTON_TOP" 1)" = "$(half "$BUTTON_SIDE" 1)" ] && [ "$(half "$BUTTON_SIDE" 1)" = "$(half "$BUTTON_FRONT" 1)" ] &&
    [ "$(half "$BUTTON_TOP" 0)" != "$(half "$BUTTON_SIDE" 0)" ] && [ "$(half "$BUTTON_SIDE" 0)" != "$(half "$BUTTON_FRONT" 0)" ] ||
    fail "the preset labels are not drawn as 上視, 側視 and 正視"

# 上視 looks down onto the plate inside the wire box; 側視 and 正視 see it edge
# on; 上視 again gives the same picture.
click_button "$BUTTON_TOP" && top=$(settled_shot top "$start" 5000)
expect_box "$top" "255 0 255" 361 151 "wire box in the top view"
previous=$top && for preset in "side|$BUTTON_SIDE|151" "front|$BUTTON_FRONT|361"; do
    IFS='|' read -r name button width <<<"$preset"
    click_button "$button"
    previous=$(settled_shot "$name" "$previous" 500)
    [ "$(count_colour "$previous" "$VIEW_GEOMETRY" "$PLATE" 2%)" -le 1000 ] || fail "the $name view shows the plate, not edge on"
    expect_box "$previous" "255 0 255" "$width" 46 "wire box in the $name view"
done
click_button "$BUTTON_TOP" && settled_shot top-again "$top" 0 >/dev/null

# A file manager's list: a comment, a file that is no model, then two models;
# only the first model is loaded. A drop of no model is refused on stderr.
sample="$REPO/250_test/insole_ascii.stl" box="$REPO/250_test/insole_left_binary.stl"
mapfile -t read_lines < <(load_lines "$sample")
mkdir -p "$WORK/dropped models" && cp "$sample" "$WORK/dropped models/insole é 100%.stl" && drop "# dropped from a file manager"$'\r\n'"$(file_uri "$WORK/notes.txt")"$'\r\n'"$(file_uri "$WORK/dropped models/insole é 100%.stl")"$'\r\n'"$(file_uri "$box")"$'\r\n'
dropped_model 2
expect_in_order "$OUT" "$(grep -n -m1 -xF "READ!" "$OUT" | cut -d: -f1)" "${read_lines[@]}"
dropped=$(settled_shot dropped "$top" 5000)
status_says "12866 facets, ASCII STL."
drop "file://localhost$WORK/notes.txt"$'\r\n'
wait_for "$ERR" "drop ignored: no local .stl file among the dropped names" 1 10
status_says "Drop ignored"
settled_shot nothing-dropped "$dropped" 0 >/dev/null
printf 'solid nothing\nendsolid\n' >"$WORK/hollow.stl" && drop "$WORK/hollow.stl" && dropped_model 3
status_says "WARNING: hollow.stl holds no readable model"

[ "$(count_lines "$OUT" "READ!")" -eq 3 ] || fail "a drop of no model printed READ!"
# Every sample through the chooser; last a left insole, which no turn maps onto itself.
cp "$box" "$WORK/left insole.stl"
for model in "$sample" "$REPO/250_test/insole_right_binary.stl" "$WORK/left insole.stl"; do
    load_model "$model"
    loaded=$(settled_shot "loaded-$(basename "$model" .stl)" "$top" 2000)
done
status_says "Loaded left insole.stl: 40998 facets, binary STL."

drag_and_check() { # NAME BUTTON LABEL X Y DX DY REFERENCE: 8 steps, then a changed view
    local clicks
    clicks=$(count_lines "$OUT" "$3 mouse click ") && drag "$2" "$4" "$5" "$6" "$7" 8
    wait_for "$OUT" "$3 mouse click " $((clicks + 1)) 5
    settled_shot "$1" "$8" 500
}
turned=$(drag_and_check right-drag 3 right $((VIEW_CX + 100)) $((VIEW_CY + 100)) 10 5 "$loaded")
[ "$(count_colour "$turned" "$VIEW_GEOMETRY" "255 0 255" 0%)" -ge 300 ] || fail "the wire box is gone after a right drag"
[ "$(diff_pixels "$loaded" "$turned")" -ge 3000 ] || fail "a right drag hardly turned the view"
# The trackball turns the model only (the view's top-left corner keeps its
# pixels), printing its target each step.
nows=$(line_count "$OUT") && spun=$(drag_and_check left-drag 1 left $((VIEW_CX - 60)) $((VIEW_CY - 60)) 10 6 "$turned")
tail -n +$((nows + 1)) "$OUT" | grep -qE '^NOW x y x : (-?[0-9]+\.[0-9]+,){2} -?[0-9]+\.[0-9]+$' ||
    fail "a left drag printed no \"NOW x y x : %f,%f, %f\" line"
[ "$(diff_pixels "$turned" "$spun" "200x80+$((VIEW_X + 2))+$((VIEW_Y + 2))")" -eq 0 ] ||
    fail "the left drag changed the view's top-left corner, out of the model's reach"
panned=$(drag_and_check middle-drag 2 middle "$VIEW_CX" "$VIEW_CY" 6 0 "$spun")
# 旋轉還原 undoes the trackball and the pan; turn and tilt stay.
click_button "$BUTTON_RESET" && reset=$(settled_shot reset "$turned" 0)
[ "$(diff_pixels "$panned" "$reset")" -gt 0 ] || fail "旋轉還原 changed nothing"

captured() { grep -q '^real length ' <(tail -n +$(($1 + 1)) "$OUT"); }
save_as() { # NAME FILE: Save under NAME writes FILE, a gray 150x360 BMP, and prints the capture's lines
    local from info lines f='-?[0-9]+\.[0-9]{6}'
    from=$(line_count "$OUT") && click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "$1"
    poll 15 test -s "$2" || fail "no $2 within 15 s of picking \"$1\" ($(ls -A "$WORK/out" | tr '\n' ' '))"
    poll 5 captured "$from" || fail "no capture lines after picking \"$1\""
    lines=$(tail -n +$((from + 1)) "$OUT" | grep -E '^(max|min|real length) ' | tr '\n' '|')
    [[ "$lines" =~ ^max\ $f\ \|min\ $f\ \|real\ length\ $f\ \|$ ]] || fail "capture lines \"$lines\" are not \"max|min|real length %f \""
    info=$(identify -format '%m %w %h %z %[type] %k %[max]' "$2") || fail "identify cannot read $2"
    [[ "$info" =~ ^BMP[0-9]?\ 150\ 360\ 8\ Grayscale\ ([2-9]|[1-9][0-9]+)\ [1-9] ]] ||
        fail "$2 is $info, expected a gray 150x360 BMP, not blank"
}
# Without the suffix the name gets ".bmp", and the view turns to the top view
# for it; a name ending in ".bmp" is kept; the same view gives the same bytes.
save_as "$WORK/out/insole" "$WORK/out/insole.bmp"
status_says "out/insole.bmp: highest point"
expect_box "$(settled_shot saved-top-view "$reset" 500)" "255 0 255" 361 151 "wire box after Save"
save_as "$WORK/out/second.bmp" "$WORK/out/second.bmp"
[ "$(ls -A "$WORK/out" | tr '\n' ' ')" = "insole.bmp second.bmp " ] || fail "the folder holds $(ls -A "$WORK/out" | tr '\n' ' ')"
cmp -s "$WORK/out/insole.bmp" "$WORK/out/second.bmp" || fail "two captures of the same model and view differ"
# A cancelled Save writes nothing and runs no capture.
before=$(stat -c '%n %i %Y %s' "$WORK/out"/*) from=$(line_count "$OUT")
click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" && wait_for "$ERR" "*** CANCEL" 1 5
sleep 2 # the capture would have completed ten frames (1/12 s) after the dialog
[ "$(stat -c '%n %i %Y %s' "$WORK/out"/*)" = "$before" ] || fail "a cancelled Save changed the folder: $(ls -lA "$WORK/out" | tr '\n' '|')"
! grep -qE '^(max|min|real length) ' <(tail -n +$((from + 1)) "$OUT") || fail "a cancelled Save ran the capture"
status_says "Save cancelled: nothing was written."
# Shift+X stands the model up as veltrim-batch --rotate x:-90 does (byte for
# byte offscreen; GLX here rounds a few depth steps the other way); it now
# sticks out of the capture, which the status line warns of.
xdotool key --window "$WIN" shift+x && save_as "$WORK/out/standing" "$WORK/out/standing.bmp"
status_says "out/standing.bmp (highest point"
env -u DISPLAY "$(dirname "$VELTRIM")/veltrim-batch" --rotate x:-90 -o "$WORK/batch" "$WORK/left insole.stl" 2>/dev/null
[ "$(compare -metric AE -fuzz 0.5% "$WORK/out/standing.bmp" "$WORK/batch/left insole.bmp" null: 2>&1)" = 0 ] &&
    [ "$(compare -metric AE "$WORK/out/standing.bmp" "$WORK/batch/left insole.bmp" null: 2>&1)" -le 270 ] ||
    fail "Shift+X and the batch's x:-90 differ by more than rounding"
# A write that fails (a link that loops) is an error in the status line.
ln -s loop.bmp "$WORK/out/loop.bmp" && click_button "$BUTTON_SAVE" && answer "$SAVE_TITLE" "$WORK/out/loop"
status_says "ERROR: could not write loop.bmp"
click_button "$BUTTON_LOAD" && answer "$LOAD_TITLE" && status_says "Load cancelled: no model is loaded."
close_veltrim

# Named on the command line after an FLTK option and its value, relative to the
# working directory: loaded once the window is up, as the dropped copy was; a
# drop of a bare path replaces it.
GUI_LANG=zh_TW.UTF-8 start_veltrim -geometry 931x676 250_test/insole_ascii.stl
dropped_model 1 && expect_in_order "$OUT" 0 "${read_lines[@]}"
# The labels are the same glyphs under C.UTF-8 as under a Chinese locale.
[ "$(diff_pixels "$start" "$(settled_shot zh-start)" 486x42+52+26)" -eq 0 ] || fail "the button row differs between C.UTF-8 and zh_TW.UTF-8"
! grep -q "options are:" "$ERR" || fail "FLTK listed its options without an unknown option"
click_button "$BUTTON_TOP" && settled_shot command-line "$dropped" 0 >/dev/null
drop "$box" && dropped_model 2
settled_shot box-dropped "$dropped" 1000 >/dev/null
close_veltrim
