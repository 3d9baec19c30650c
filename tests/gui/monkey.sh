#!/usr/bin/env bash
# Random clicks on every button (choosers cancelled or answered), drags, wheel
# turns and resizes down to a few pixels: veltrim must live, keep drawing and (in
# the sanitizer build) report nothing. MONKEY_SEED repeats a run, MONKEY_SECONDS times it.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"
seed=${MONKEY_SEED:-$(($(date +%s) % 32768))} && RANDOM=$seed && echo "-- monkey seed $seed" >&2
samples=("$REPO"/250_test/*.stl) titles=("$LOAD_TITLE" "$SAVE_TITLE")
buttons=("$BUTTON_LOAD" "$BUTTON_SAVE" "$BUTTON_TOP" "$BUTTON_SIDE" "$BUTTON_FRONT" "$BUTTON_RESET")
alive() { kill -0 "$PID" 2>/dev/null || fail "veltrim died (seed $seed)"; }
window_size() { xdotool getwindowgeometry "$WIN" | awk '/Geometry/ { sub("x", " ", $2); print $2 }'; }
at_full_size() { [ "$(window_size)" = "931 676" ]; }
full_size() {
    xdotool windowsize "$WIN" 931 676 && poll 5 at_full_size || fail "the window did not return to 931x676"
    settled_shot full-size >/dev/null && no_chooser
}
# A random drag or click can press Load or Save too.
no_chooser() { for t in "${titles[@]}"; do ! dialog_open "$t" || answer "$t"; done; }

start_veltrim
deadline=$((SECONDS + ${MONKEY_SECONDS:-40}))
while [ "$SECONDS" -lt "$deadline" ]; do
    read -r w h < <(window_size)
    x=$((RANDOM % w)) y=$((RANDOM % h)) i=$((RANDOM % 6)) steps=$((1 + RANDOM % 6))
    dx=$((RANDOM % 41 - 20)) dy=$((RANDOM % 41 - 20)) answers=("${samples[RANDOM % ${#samples[@]}]}" "$WORK/out/monkey-$RANDOM")
    case $((RANDOM % 6)) in
        0) # a button at full size; Load and Save open their chooser
            full_size && click_button "${buttons[i]}"
            if ((i < 2 && RANDOM % 2)); then answer "${titles[i]}"; elif ((i < 2)); then answer "${titles[i]}" "${answers[i]}"; fi ;;
        1 | 2) # any button, at non-negative points (xdotool takes "-5" for an option)
            ((x + steps * dx >= 0)) || dx=$((-dx))
            ((y + steps * dy >= 0)) || dy=$((-dy))
            drag $((1 + RANDOM % 3)) "$x" "$y" "$dx" "$dy" "$steps" ;;
        3) xdotool mousemove --window "$WIN" "$x" "$y" click --repeat $((1 + RANDOM % 4)) $((4 + RANDOM % 2)) ;;
        4) xdotool windowsize "$WIN" $((1 + RANDOM % 1000)) $((1 + RANDOM % 700)) ;;
        5) xdotool mousemove --window "$WIN" "$x" "$y" ;;
    esac
    alive && no_chooser
done
# Still drawing: back at full size, the front and the top view differ.
full_size && click_button "$BUTTON_FRONT"
front=$(settled_shot front)
click_button "$BUTTON_TOP"
settled_shot top "$front" 1000 >/dev/null
alive && close_veltrim
! grep -E "AddressSanitizer|LeakSanitizer|runtime error:" "$ERR" || fail "the sanitizers reported (seed $seed)"
