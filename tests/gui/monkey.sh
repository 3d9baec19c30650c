#!/usr/bin/env bash
# Monkey test: for a bounded time, random clicks on every button (choosers
# answered by cancel or a random sample or name), random drags with each
# button, wheel turns and resizes down to a few pixels. The program must stay
# alive, keep redrawing, and (in the sanitizer build) report nothing.
# The seed is printed; MONKEY_SEED repeats a run, MONKEY_SECONDS sets its length.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

seed=${MONKEY_SEED:-$(( $(date +%s) % 32768 ))}
seconds=${MONKEY_SECONDS:-40}
RANDOM=$seed
note "monkey seed $seed, $seconds s"

mapfile -t samples < <(bundled_samples)
[ ${#samples[@]} -gt 0 ] || fail "no sample models in $REPO/250_test"
buttons=("$BUTTON_LOAD" "$BUTTON_SAVE" "$BUTTON_TOP" "$BUTTON_SIDE" "$BUTTON_FRONT" "$BUTTON_RESET")

start_veltrim

alive() { kill -0 "$PID" 2>/dev/null || fail "veltrim died (seed $seed); stderr: $(tail -n 20 "$ERR" | tr '\n' '|')"; }

# A point inside the view (window coordinates) of the current window size.
view_point() {
    local w h
    read -r w h < <(xdotool getwindowgeometry "$WIN" | awk '/Geometry/ { split($2, s, "x"); print s[1], s[2] }')
    echo $((RANDOM % (w > 1 ? w : 1))) $((RANDOM % (h > 1 ? h : 1)))
}

answer_chooser() {
    local title=$1
    if ((RANDOM % 2)); then
        cancel_dialog "$title"
    elif [ "$title" = "$LOAD_TITLE" ]; then
        choose_path "$title" "${samples[RANDOM % ${#samples[@]}]}"
    else
        choose_path "$title" "$WORK/out/monkey-$RANDOM"
    fi
}

window_size() { xdotool getwindowgeometry "$WIN" | awk '/Geometry/ { print $2 }'; }
full_size() {
    xdotool windowsize "$WIN" 931 676
    poll 5 test "$(window_size)" = 931x676 || fail "the window did not return to 931x676"
    sleep 0.1
}

mkdir -p "$WORK/out"
actions=0
deadline=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$deadline" ]; do
    case $((RANDOM % 6)) in
    0)  # a button, at full size so it is there; the file commands open their chooser
        i=$((RANDOM % ${#buttons[@]}))
        full_size
        click_button "${buttons[i]}"
        case $i in
        0) answer_chooser "$LOAD_TITLE" ;;
        1) answer_chooser "$SAVE_TITLE" ;;
        esac ;;
    1|2)  # a drag with any of the three buttons, kept at non-negative
          # coordinates (xdotool takes "-5" for an option)
        read -r x y < <(view_point)
        steps=$((1 + RANDOM % 6)) dx=$((RANDOM % 41 - 20)) dy=$((RANDOM % 41 - 20))
        ((x + steps * dx >= 0)) || dx=$((-dx))
        ((y + steps * dy >= 0)) || dy=$((-dy))
        drag $((1 + RANDOM % 3)) "$x" "$y" "$dx" "$dy" "$steps" ;;
    3)  # wheel turns, either way
        read -r x y < <(view_point)
        xdotool mousemove --window "$WIN" "$x" "$y" click --repeat $((1 + RANDOM % 4)) $((4 + RANDOM % 2)) ;;
    4)  # a resize, down to a few pixels
        xdotool windowsize "$WIN" $((1 + RANDOM % 1000)) $((1 + RANDOM % 700)) ;;
    5)  # pointer motion only
        read -r x y < <(view_point)
        xdotool mousemove --window "$WIN" "$x" "$y" ;;
    esac
    actions=$((actions + 1))
    alive
done
note "$actions random actions"

# Still drawing: back to full size, the front and the top view must differ.
full_size
click_button "$BUTTON_FRONT"
front=$(stable_shot front)
click_button "$BUTTON_TOP"
changed_shot top "$front" 1000 >/dev/null
alive
close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS after closing (seed $seed)"
if grep -E "AddressSanitizer|LeakSanitizer|runtime error:" "$ERR"; then
    fail "the sanitizers reported (seed $seed)"
fi
note "written: $(ls "$WORK/out" | wc -l) height maps"
