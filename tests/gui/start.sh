#!/usr/bin/env bash
# Start-up picture, the preset view buttons, closing the window, and an
# option FLTK does not know.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

start_veltrim
eval "$(xdotool getwindowgeometry --shell "$WIN" | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
width=${WIDTH:-?} height=${HEIGHT:-?}
[ "$width" = 931 ] && [ "$height" = 676 ] || fail "main window is ${width}x$height, expected 931x676"

start=$(stable_shot start)

# The background: a vertical ramp from (0, 0.2, 0.2) at the top of the view
# to (0, 0.8, 0.8) at the bottom, behind everything else.
for x in $((VIEW_X + 1)) $((VIEW_X + VIEW_W - 2)); do
    expect_pixel "$start" "$x" $((VIEW_Y + 1)) "0 51 51" 6 "top of the view"
    expect_pixel "$start" "$x" $((VIEW_Y + VIEW_H / 2)) "0 127 127" 6 "middle of the view"
    expect_pixel "$start" "$x" $((VIEW_Y + VIEW_H - 2)) "0 204 204" 6 "bottom of the view"
done
# Just outside the view: the window's grey, so the view sits where it should.
for point in "$((VIEW_X - 2)) $((VIEW_Y + 100))" "$((VIEW_X + 100)) $((VIEW_Y - 2))" \
    "$((VIEW_X + VIEW_W + 1)) $((VIEW_Y + 100))" "$((VIEW_X + 100)) $((VIEW_Y + VIEW_H + 1))"; do
    # shellcheck disable=SC2086
    reject_pixel "$start" $point "0 128 128" 90 "outside the view"
done

# The scene: plate (unlit model colour), magenta wire box, red/green/blue axes.
plate=$(count_colour "$start" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
magenta=$(count_colour "$start" "$VIEW_GEOMETRY" "255 0 255" 0%)
red=$(count_colour "$start" "$VIEW_GEOMETRY" "255 0 0" 0%)
green=$(count_colour "$start" "$VIEW_GEOMETRY" "0 255 0" 0%)
blue=$(count_colour "$start" "$VIEW_GEOMETRY" "0 0 255" 0%)
note "start view: plate $plate, magenta $magenta, red $red, green $green, blue $blue pixels"
[ "$plate" -ge 5000 ] || fail "only $plate plate-coloured pixels in the start view"
[ "$magenta" -ge 300 ] || fail "only $magenta magenta (wire box) pixels in the start view"
for axis in red green blue; do
    [ "${!axis}" -ge 50 ] || fail "only ${!axis} $axis (axis) pixels in the start view"
done

# Chinese labels drawn as glyphs: with a font that lacks them, every
# character becomes the same box. The three preset buttons share the second
# character (視) and differ in the first, so their left halves must differ
# and their right halves match.
half() {  # FILE BUTTON SIDE(0|1): hash of one half of the label area
    local x y w h
    read -r x y w h <<<"$2"
    convert "$1" -crop "$(((w - 6) / 2))x$((h - 6))+$((x + 3 + $3 * (w - 6) / 2))+$((y + 3))" +repage -format '%#' info:
}
left_top=$(half "$start" "$BUTTON_TOP" 0) right_top=$(half "$start" "$BUTTON_TOP" 1)
left_side=$(half "$start" "$BUTTON_SIDE" 0) right_side=$(half "$start" "$BUTTON_SIDE" 1)
left_front=$(half "$start" "$BUTTON_FRONT" 0) right_front=$(half "$start" "$BUTTON_FRONT" 1)
[ "$right_top" = "$right_side" ] && [ "$right_side" = "$right_front" ] ||
    fail "the shared character 視 looks different on the three preset buttons"
[ "$left_top" != "$left_side" ] && [ "$left_side" != "$left_front" ] && [ "$left_top" != "$left_front" ] ||
    fail "上, 側 and 正 look alike: the labels are drawn as boxes, not glyphs"
label_ink=$(convert "$start" -crop 58x34+262+30 +repage -colorspace gray -threshold 50% -negate \
    -format '%[fx:round(mean*w*h)]' info:)
[ "$label_ink" -ge 40 ] || fail "the 上視 label has only $label_ink dark pixels"
convert "$start" -crop 500x44+50+25 +repage -scale 200% "$SHOTS/labels.png"

# 上視: straight down onto the plate, which then fills the central 360 x 150.
click_button "$BUTTON_TOP"
top=$(changed_shot top "$start" 5000)
for point in "$((VIEW_CX - 100)) $((VIEW_CY - 40))" "$((VIEW_CX + 100)) $((VIEW_CY + 40))" \
    "$((VIEW_CX - 160)) $((VIEW_CY + 60))" "$((VIEW_CX + 160)) $((VIEW_CY - 60))"; do
    # shellcheck disable=SC2086
    expect_pixel "$top" $point "$PLATE_RGB" 3 "plate in the top view"
done
reject_pixel "$top" "$VIEW_CX" $((VIEW_CY - 100)) "$PLATE_RGB" 10 "above the plate in the top view"
reject_pixel "$top" $((VIEW_CX - 200)) "$((VIEW_CY - 20))" "$PLATE_RGB" 10 "left of the plate in the top view"
inside=$(count_colour "$top" "360x150+$((VIEW_CX - 180))+$((VIEW_CY - 75))" "$PLATE_RGB" 2%)
all=$(count_colour "$top" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
note "top view: $inside plate pixels in the central 360x150, $all in the view"
[ "$inside" -ge 50000 ] || fail "the plate covers only $inside of the central 360x150 pixels in the top view"
[ "$all" -le 54500 ] || fail "the plate covers $all pixels in the top view, more than 360x150"
# The wire box (360 x 45 x 150) seen from above: its outline rings the plate.
expect_box "$top" "255 0 255" 361 151 "wire box in the top view"

# 側視 and 正視: level views, the plate edge on; the wire box shows its
# short side (150 x 45) from the side and its long side (360 x 45) from the front.
click_button "$BUTTON_SIDE"
side=$(changed_shot side "$top" 5000)
edge=$(count_colour "$side" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
[ "$edge" -le 1000 ] || fail "the side view shows $edge plate pixels; the plate should be edge on"
expect_box "$side" "255 0 255" 151 46 "wire box in the side view"
click_button "$BUTTON_FRONT"
front=$(changed_shot front "$side" 500)
edge=$(count_colour "$front" "$VIEW_GEOMETRY" "$PLATE_RGB" 2%)
[ "$edge" -le 1000 ] || fail "the front view shows $edge plate pixels; the plate should be edge on"
expect_box "$front" "255 0 255" 361 46 "wire box in the front view"

# Closing the window ends the program with status 0, having said nothing on
# stderr but what GTK or Mesa may add.
close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS after its window was closed"
if grep -q "options are:" "$ERR"; then fail "FLTK listed its options without an unknown option"; fi

# An unknown option: FLTK lists the ones it knows, and the program starts.
start_veltrim --bogus-option
wait_for_line "$ERR" "options are:" 5
bogus=$(stable_shot bogus-option)
expect_pixel "$bogus" $((VIEW_X + 1)) $((VIEW_Y + 1)) "0 51 51" 6 "top of the view (unknown option)"
close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS after its window was closed (unknown option)"
note "ok"
