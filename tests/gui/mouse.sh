#!/usr/bin/env bash
# Mouse navigation in the real window: turn/tilt (right), trackball (left),
# pan (middle), then 旋轉還原 undoes what the left and middle drags did.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

# A slab with a tower near one end: any turn of it shows.
model="$WORK/slab and tower.stl"
write_box_stl "$model" -150 0 -60 150 15 60 60 15 -30 120 60 30

start_veltrim
load_model "$model" >/dev/null
loaded=$(stable_shot loaded)

# drag_and_check NAME BUTTON LABEL X Y DX DY STEPS MIN_CHANGED REFERENCE
drag_and_check() {
    local name=$1 button=$2 label=$3 clicks
    clicks=$(count_lines "$OUT" "$label mouse click ")
    drag "$button" "$4" "$5" "$6" "$7" "$8"
    wait_for_count "$OUT" "$label mouse click " $((clicks + 1)) 5
    changed_shot "$name" "${10}" "$9"
}

# Right: one degree of turn per pixel across, of tilt per pixel down.
turned=$(drag_and_check right-drag 3 right $((VIEW_CX + 100)) $((VIEW_CY + 100)) 8 4 10 3000 "$loaded")
magenta=$(count_colour "$turned" "$VIEW_GEOMETRY" "255 0 255" 0%)
[ "$magenta" -ge 300 ] || fail "the wire box is gone after a right drag ($magenta magenta pixels)"

# Left: the trackball turns the model only; each step prints its target.
nows=$(grep -c '^NOW x y x : ' "$OUT" || true)
spun=$(drag_and_check left-drag 1 left $((VIEW_CX - 60)) $((VIEW_CY - 60)) 10 6 8 500 "$turned")
now_lines=$(grep '^NOW x y x : ' "$OUT" | tail -n +$((nows + 1)))
[ -n "$now_lines" ] || fail "a left drag printed no \"NOW x y x : \" line"
while IFS= read -r line; do
    [[ "$line" =~ ^NOW\ x\ y\ x\ :\ -?[0-9]+\.[0-9]+,-?[0-9]+\.[0-9]+,\ -?[0-9]+\.[0-9]+$ ]] ||
        fail "trackball line \"$line\" is not \"NOW x y x : %f,%f, %f\" with finite numbers"
done <<<"$now_lines"
note "left drag printed $(wc -l <<<"$now_lines") NOW lines"
# The trackball turns the model only: the view's top-left corner, beyond
# the model's reach (about 165 pixels from the centre whichever way it
# turns), keeps its background and axis pixels.
[ "$(diff_pixels "$turned" "$spun" "200x80+$((VIEW_X + 2))+$((VIEW_Y + 2))")" -eq 0 ] ||
    fail "the left drag changed the view's top-left corner, out of the model's reach"

# Middle: pan the model.
panned=$(drag_and_check middle-drag 2 middle "$VIEW_CX" "$VIEW_CY" 6 0 8 500 "$spun")

# 旋轉還原 resets the model's rotation and pan; turn and tilt stay, so the
# picture is the one from before the left drag.
click_button "$BUTTON_RESET"
reset=$(same_shot reset "$turned" "after 旋轉還原, compared with the view before the left drag")
[ "$(diff_pixels "$panned" "$reset")" -gt 0 ] || fail "旋轉還原 changed nothing"

close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS"
note "ok"
