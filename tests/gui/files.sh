#!/usr/bin/env bash
# Load STL and Save BMP through the real choosers: every bundled sample, a
# cancelled Load, Saves under a name without and with the suffix, a cancelled Save.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"
out="$WORK/out"
mkdir -p "$out"

start_veltrim
empty=$(stable_shot empty)
for sample in "$REPO"/250_test/*.stl; do
    load_model "$sample"
    loaded=$(settled_shot "loaded-$(basename "$sample" .stl)" "$empty" 2000)
done

# cancel COMMAND TITLE: the chooser cancelled; prints the line count before it.
cancel() {
    local from cancels
    from=$(line_count "$OUT") cancels=$(count_lines "$ERR" "*** CANCEL")
    click_button "$1"
    cancel_dialog "$2"
    wait_for "$ERR" "*** CANCEL" $((cancels + 1)) 5
    echo "$from"
}

# A cancelled Load still empties the model: the view goes back to the empty picture.
reads=$(count_lines "$OUT" "READ!")
from=$(cancel "$BUTTON_LOAD" "$LOAD_TITLE")
expect_in_order "$OUT" "$from" "${DIR_LINES[@]}"
cancelled=$(settled_shot cancelled "$empty" 0)
[ "$(count_lines "$OUT" "READ!")" -eq "$reads" ] || fail "a cancelled Load printed READ!"
[ "$(diff_pixels "$loaded" "$cancelled")" -gt 0 ] || fail "the last sample left no trace in the view"

load_model "$REPO/250_test/insole_ascii.stl"
loaded=$(stable_shot loaded)

captured() { grep -q '^real length ' <(tail -n +$(($1 + 1)) "$OUT"); }

# save_as NAME FILE: Save under NAME makes FILE, an 8-bit gray 150x360 BMP,
# and prints the capture's three lines.
save_as() {
    local from info
    from=$(line_count "$OUT")
    click_button "$BUTTON_SAVE"
    choose_path "$SAVE_TITLE" "$1"
    poll 15 test -s "$2" || fail "no $2 within 15 s of picking \"$1\" ($(ls -A "$out" | tr '\n' ' '))"
    poll 5 captured "$from" || fail "no capture lines after picking \"$1\""
    expect_in_order "$OUT" "$from" "^max " "^min " "^real length "
    ! grep -vE '^(max|min|real length) -?[0-9]+\.[0-9]{6} $' <(tail -n +$((from + 1)) "$OUT" | grep -E '^(max|min|real length) ') ||
        fail "a capture line is not \"<label> %f \""
    info=$(identify -format '%m %w %h %z %[type] %k %[max]' "$2") || fail "identify cannot read $2"
    [[ "$info" =~ ^BMP[0-9]?\ 150\ 360\ 8\ Grayscale\ ([2-9]|[1-9][0-9]+)\ [1-9] ]] ||
        fail "$2 is $info, expected a gray 150x360 BMP, not blank"
}

# A name without the suffix gets ".bmp", and the view is turned to the top view for it.
save_as "$out/insole" "$out/insole.bmp"
convert "$out/insole.bmp" "$SHOTS/insole.png"
expect_box "$(settled_shot saved-top-view "$loaded" 5000)" "255 0 255" 361 151 "wire box after Save"
# A name that already ends in ".bmp" is kept as it is.
save_as "$out/second.bmp" "$out/second.bmp"
[ "$(ls -A "$out" | tr '\n' ' ')" = "insole.bmp second.bmp " ] || fail "the folder holds $(ls -A "$out" | tr '\n' ' ')"
cmp -s "$out/insole.bmp" "$out/second.bmp" || fail "two captures of the same model and view differ"

# Cancel: nothing written, nothing rewritten, no capture lines.
before=$(stat -c '%n %i %Y %s' "$out"/*)
from=$(cancel "$BUTTON_SAVE" "$SAVE_TITLE")
sleep 2 # the capture would have completed ten frames (1/12 s) after the dialog
[ "$(stat -c '%n %i %Y %s' "$out"/*)" = "$before" ] || fail "a cancelled Save changed the folder: $(ls -lA "$out" | tr '\n' '|')"
! grep -qE '^(max|min|real length) ' <(tail -n +$((from + 1)) "$OUT") || fail "a cancelled Save ran the capture"
close_veltrim
note ok
