#!/usr/bin/env bash
# The view in the real window: the start-up picture and labels, the preset
# views, mouse navigation and 旋轉還原, closing, and an option FLTK does not know.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

start_veltrim
eval "$(xdotool getwindowgeometry --shell "$WIN" | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
[ "${WIDTH:-?}x${HEIGHT:-?}" = 931x676 ] || fail "main window is ${WIDTH:-?}x${HEIGHT:-?}, expected 931x676"
start=$(stable_shot start)

# The background ramps from (0, 0.2, 0.2) at the top to (0, 0.8, 0.8) at the
# bottom; just outside the view is the window's grey.
for x in $((VIEW_X + 1)) $((VIEW_X + VIEW_W - 2)); do
    expect_pixel "$start" "$x" $((VIEW_Y + 1)) "0 51 51" 6 "top of the view"
    expect_pixel "$start" "$x" $((VIEW_Y + VIEW_H / 2)) "0 127 127" 6 "middle of the view"
    expect_pixel "$start" "$x" $((VIEW_Y + VIEW_H - 2)) "0 204 204" 6 "bottom of the view"
done
for point in "$((VIEW_X - 2)) $((VIEW_Y + 100))" "$((VIEW_X + 100)) $((VIEW_Y - 2))" \
    "$((VIEW_X + VIEW_W + 1)) $((VIEW_Y + 100))" "$((VIEW_X + 100)) $((VIEW_Y + VIEW_H + 1))"; do
    # shellcheck disable=SC2086
    reject_pixel "$start" $point "0 128 128" 90 "outside the view"
done

# The scene: plate (unlit model colour), magenta wire box, red/green/blue axes.
for want in "$PLATE_RGB|2%|5000|plate" "255 0 255|0%|300|wire box" "255 0 0|0%|50|red axis" \
    "0 255 0|0%|50|green axis" "0 0 255|0%|50|blue axis"; do
    IFS='|' read -r rgb fuzz least what <<<"$want"
    n=$(count_colour "$start" "$VIEW_GEOMETRY" "$rgb" "$fuzz")
    [ "$n" -ge "$least" ] || fail "only $n $what pixels in the start view"
done

# Chinese labels drawn as glyphs: with a font that lacks them every character
# is the same box. The preset buttons share their second character (視) and
# differ in the first.
half() {  # BUTTON SIDE(0|1): hash of one half of the label area
    local x y w h
    read -r x y w h <<<"$1"
    convert "$start" -crop "$(((w - 6) / 2))x$((h - 6))+$((x + 3 + $2 * (w - 6) / 2))+$((y + 3))" +repage -format '%#' info:
}
[ "$(half "$BUTTON_TOP" 1)" = "$(half "$BUTTON_SIDE" 1)" ] && [ "$(half "$BUTTON_SIDE" 1)" = "$(half "$BUTTON_FRONT" 1)" ] ||
    fail "the shared character 視 looks different on the three preset buttons"
[ "$(half "$BUTTON_TOP" 0)" != "$(half "$BUTTON_SIDE" 0)" ] && [ "$(half "$BUTTON_SIDE" 0)" != "$(half "$BUTTON_FRONT" 0)" ] ||
    fail "上, 側 and 正 look alike: the labels are drawn as boxes, not glyphs"
ink=$(convert "$start" -crop 58x34+262+30 +repage -colorspace gray -threshold 50% -negate \
    -format '%[fx:round(mean*w*h)]' info:)
[ "$ink" -ge 40 ] || fail "the 上視 label has only $ink dark pixels"

# 上視: straight down onto the plate, which fills the central 360 x 150 inside
# the wire box; 側視 and 正視 see it edge on, the box's short and long sides.
click_button "$BUTTON_TOP"
top=$(changed_shot top "$start" 5000)
inside=$(count_colour "$top" "360x150+$((VIEW_CX - 180))+$((VIEW_CY - 75))" "$PLATE_RGB" 2%)
all=$(count_colour "$top" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
[ "$inside" -ge 50000 ] && [ "$all" -le 54500 ] ||
    fail "top view: the plate covers $inside of the central 360x150 pixels and $all in all"
expect_box "$top" "255 0 255" 361 151 "wire box in the top view"
previous=$top
for preset in "side|$BUTTON_SIDE|151" "front|$BUTTON_FRONT|361"; do
    IFS='|' read -r name button width <<<"$preset"
    click_button "$button"
    now=$(changed_shot "$name" "$previous" 500)
    edge=$(count_colour "$now" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
    [ "$edge" -le 1000 ] || fail "the $name view shows $edge plate pixels; the plate should be edge on"
    expect_box "$now" "255 0 255" "$width" 46 "wire box in the $name view"
    previous=$now
done

# Navigation on a slab with a tower near one end, so that any turn shows.
model="$WORK/slab and tower.stl"
write_box_stl "$model" -150 0 -60 150 15 60 60 15 -30 120 60 30
load_model "$model" >/dev/null
loaded=$(stable_shot loaded)

# drag_and_check NAME BUTTON LABEL X Y DX DY STEPS MIN_CHANGED REFERENCE
drag_and_check() {
    local clicks
    clicks=$(count_lines "$OUT" "$3 mouse click ")
    drag "$2" "$4" "$5" "$6" "$7" "$8"
    wait_for_count "$OUT" "$3 mouse click " $((clicks + 1)) 5
    changed_shot "$1" "${10}" "$9"
}
turned=$(drag_and_check right-drag 3 right $((VIEW_CX + 100)) $((VIEW_CY + 100)) 8 4 10 3000 "$loaded")
[ "$(count_colour "$turned" "$VIEW_GEOMETRY" "255 0 255" 0%)" -ge 300 ] || fail "the wire box is gone after a right drag"

# The trackball turns the model only, printing its target each step: the
# view's top-left corner, beyond the model's reach, keeps its pixels.
nows=$(grep -c '^NOW x y x : ' "$OUT" || true)
spun=$(drag_and_check left-drag 1 left $((VIEW_CX - 60)) $((VIEW_CY - 60)) 10 6 8 500 "$turned")
now_lines=$(grep '^NOW x y x : ' "$OUT" | tail -n +$((nows + 1)))
[ -n "$now_lines" ] || fail "a left drag printed no \"NOW x y x : \" line"
while IFS= read -r line; do
    [[ "$line" =~ ^NOW\ x\ y\ x\ :\ -?[0-9]+\.[0-9]+,-?[0-9]+\.[0-9]+,\ -?[0-9]+\.[0-9]+$ ]] ||
        fail "trackball line \"$line\" is not \"NOW x y x : %f,%f, %f\" with finite numbers"
done <<<"$now_lines"
[ "$(diff_pixels "$turned" "$spun" "200x80+$((VIEW_X + 2))+$((VIEW_Y + 2))")" -eq 0 ] ||
    fail "the left drag changed the view's top-left corner, out of the model's reach"
panned=$(drag_and_check middle-drag 2 middle "$VIEW_CX" "$VIEW_CY" 6 0 8 500 "$spun")

# 旋轉還原 undoes the trackball and the pan; turn and tilt stay.
click_button "$BUTTON_RESET"
reset=$(same_shot reset "$turned" "after 旋轉還原, compared with the view before the left drag")
[ "$(diff_pixels "$panned" "$reset")" -gt 0 ] || fail "旋轉還原 changed nothing"

# Closing the window ends the program with status 0.
close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS after its window was closed"
if grep -q "options are:" "$ERR"; then fail "FLTK listed its options without an unknown option"; fi

# An unknown option: FLTK lists the ones it knows, and the program starts.
start_veltrim --bogus-option
wait_for_line "$ERR" "options are:" 5
expect_pixel "$(stable_shot bogus-option)" $((VIEW_X + 1)) $((VIEW_Y + 1)) "0 51 51" 6 "top of the view (unknown option)"
close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS (unknown option)"
note "ok"
