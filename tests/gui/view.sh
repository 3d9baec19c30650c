#!/usr/bin/env bash
# The view in the real window: start-up picture and labels, preset views,
# mouse navigation and 旋轉還原, closing.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

start_veltrim
size=$(xdotool getwindowgeometry "$WIN" | awk '/Geometry/ { print $2 }')
[ "$size" = 931x676 ] || fail "main window is $size, expected 931x676"
start=$(stable_shot start)

# The background ramps from (0, 0.2, 0.2) at the top to (0, 0.8, 0.8) at the
# bottom; just outside the view is the window's grey.
for x in $((VIEW_X + 1)) $((VIEW_X + VIEW_W - 2)); do
    for want in "1 0 51 51" "$((VIEW_H / 2)) 0 127 127" "$((VIEW_H - 2)) 0 204 204"; do
        read -r y rgb <<<"$want"
        near_pixel "$start" "$x" $((VIEW_Y + y)) "$rgb" 6 || fail "view pixel ($x,$((VIEW_Y + y))) is not ($rgb)"
    done
done
for point in "$((VIEW_X - 2)) $((VIEW_Y + 100))" "$((VIEW_X + 100)) $((VIEW_Y - 2))" \
    "$((VIEW_X + VIEW_W + 1)) $((VIEW_Y + 100))" "$((VIEW_X + 100)) $((VIEW_Y + VIEW_H + 1))"; do
    # shellcheck disable=SC2086
    ! near_pixel "$start" $point "0 128 128" 90 || fail "pixel ($point) outside the view has the view's colour"
done

# The scene: plate (unlit model colour), magenta wire box, red/green/blue axes.
for want in "$PLATE_RGB|2%|5000" "255 0 255|0%|300" "255 0 0|0%|50" "0 255 0|0%|50" "0 0 255|0%|50"; do
    IFS='|' read -r rgb fuzz least <<<"$want"
    n=$(count_colour "$start" "$VIEW_GEOMETRY" "$rgb" "$fuzz")
    [ "$n" -ge "$least" ] || fail "only $n pixels of ($rgb) in the start view"
done

# Labels drawn as glyphs, not as boxes a font without them shows: the preset
# buttons share their second character (視) and differ in the first.
half() { # BUTTON SIDE(0|1): hash of one half of the label area
    local x y w h
    read -r x y w h <<<"$1"
    convert "$start" -crop "$(((w - 6) / 2))x$((h - 6))+$((x + 3 + $2 * (w - 6) / 2))+$((y + 3))" +repage -format '%#' info:
}
[ "$(half "$BUTTON_TOP" 1)" = "$(half "$BUTTON_SIDE" 1)" ] && [ "$(half "$BUTTON_SIDE" 1)" = "$(half "$BUTTON_FRONT" 1)" ] &&
    [ "$(half "$BUTTON_TOP" 0)" != "$(half "$BUTTON_SIDE" 0)" ] && [ "$(half "$BUTTON_SIDE" 0)" != "$(half "$BUTTON_FRONT" 0)" ] ||
    fail "the preset labels are not drawn as 上視, 側視 and 正視"

# 上視 looks straight down onto the plate, which fills the central 360 x 150
# inside the wire box; 側視 and 正視 see it edge on.
click_button "$BUTTON_TOP"
previous=$(settled_shot top "$start" 5000)
inside=$(count_colour "$previous" "360x150+$((VIEW_CX - 180))+$((VIEW_CY - 75))" "$PLATE_RGB" 2%)
all=$(count_colour "$previous" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
[ "$inside" -ge 50000 ] && [ "$all" -le 54500 ] || fail "top view: the plate covers $inside of the central 360x150 and $all in all"
expect_box "$previous" "255 0 255" 361 151 "wire box in the top view"
for preset in "side|$BUTTON_SIDE|151" "front|$BUTTON_FRONT|361"; do
    IFS='|' read -r name button width <<<"$preset"
    click_button "$button"
    previous=$(settled_shot "$name" "$previous" 500)
    edge=$(count_colour "$previous" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
    [ "$edge" -le 1000 ] || fail "the $name view shows $edge plate pixels; the plate should be edge on"
    expect_box "$previous" "255 0 255" "$width" 46 "wire box in the $name view"
done

# Navigation on a left insole, which no turn maps onto itself.
cp "$REPO/250_test/insole_left_binary.stl" "$WORK/left insole.stl"
load_model "$WORK/left insole.stl"
loaded=$(stable_shot loaded)

# drag_and_check NAME BUTTON LABEL X Y DX DY REFERENCE: 8 steps, then a changed view.
drag_and_check() {
    local clicks
    clicks=$(count_lines "$OUT" "$3 mouse click ")
    drag "$2" "$4" "$5" "$6" "$7" 8
    wait_for "$OUT" "$3 mouse click " $((clicks + 1)) 5
    settled_shot "$1" "$8" 500
}
turned=$(drag_and_check right-drag 3 right $((VIEW_CX + 100)) $((VIEW_CY + 100)) 10 5 "$loaded")
[ "$(count_colour "$turned" "$VIEW_GEOMETRY" "255 0 255" 0%)" -ge 300 ] || fail "the wire box is gone after a right drag"
[ "$(diff_pixels "$loaded" "$turned")" -ge 3000 ] || fail "a right drag hardly turned the view"

# The trackball turns the model only, printing its target each step: the
# view's top-left corner, beyond the model's reach, keeps its pixels.
nows=$(grep -c '^NOW x y x : ' "$OUT" || true)
spun=$(drag_and_check left-drag 1 left $((VIEW_CX - 60)) $((VIEW_CY - 60)) 10 6 "$turned")
bad=$(tail -n +$((nows + 1)) "$OUT" | grep '^NOW x y x : ' | grep -vE '^NOW x y x : (-?[0-9]+\.[0-9]+,){2} -?[0-9]+\.[0-9]+$' || true)
[ -z "$bad" ] || fail "trackball line \"$bad\" is not \"NOW x y x : %f,%f, %f\" with finite numbers"
[ "$(grep -c '^NOW x y x : ' "$OUT")" -gt "$nows" ] || fail "a left drag printed no \"NOW x y x : \" line"
[ "$(diff_pixels "$turned" "$spun" "200x80+$((VIEW_X + 2))+$((VIEW_Y + 2))")" -eq 0 ] ||
    fail "the left drag changed the view's top-left corner, out of the model's reach"
panned=$(drag_and_check middle-drag 2 middle "$VIEW_CX" "$VIEW_CY" 6 0 "$spun")

# 旋轉還原 undoes the trackball and the pan; turn and tilt stay.
click_button "$BUTTON_RESET"
reset=$(settled_shot reset "$turned" 0)
[ "$(diff_pixels "$panned" "$reset")" -gt 0 ] || fail "旋轉還原 changed nothing"
close_veltrim
! grep -q "options are:" "$ERR" || fail "FLTK listed its options without an unknown option"
note ok
