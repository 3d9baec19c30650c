#!/usr/bin/env bash
# Load STL and Save BMP through the real choosers: every bundled sample, a
# cancelled Load, then Saves under a name without and one with the suffix,
# and a cancelled Save that must write nothing.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

mapfile -t samples < <(bundled_samples)
[ ${#samples[@]} -gt 0 ] || fail "no sample models in $REPO/250_test/"
out_dir="$WORK/out"
mkdir -p "$out_dir"

start_veltrim
empty=$(stable_shot empty)
n=0
for sample in "${samples[@]}"; do
    n=$((n + 1))
    load_model "$sample" >/dev/null
    loaded=$(changed_shot "loaded-$n-$(basename "$sample" .stl)" "$empty" 2000)
done

# A cancelled Load still empties the model: the view goes back to the empty picture.
cancels=$(count_lines "$ERR" "*** CANCEL")
reads=$(count_lines "$OUT" "READ!")
from=$(line_count "$OUT")
click_button "$BUTTON_LOAD"
cancel_dialog "$LOAD_TITLE"
wait_for_count "$ERR" "*** CANCEL" $((cancels + 1)) 5
expect_in_order "$OUT" "$from" "^dir(before):" "=dir(after):$REPO/250_test/" \
    "=system_path:$REPO" "=path:$REPO/250_test/" >/dev/null
cancelled=$(same_shot cancelled "$empty" "after a cancelled Load, compared with the empty view")
[ "$(count_lines "$OUT" "READ!")" -eq "$reads" ] || fail "a cancelled Load printed READ!"
[ "$(diff_pixels "$loaded" "$cancelled")" -gt 0 ] || fail "the last sample left no trace in the view"

read_line=$(load_model "${samples[0]}")
loaded=$(stable_shot loaded)

has_capture_lines() { sed -n "$(($1 + 1)),\$p" "$OUT" | grep -q '^real length '; }

# save_as NAME FILE: Save under NAME; waits for FILE and the capture's three
# lines, and checks the image.
save_as() {
    local name=$1 file=$2 from info format width height depth type colours max
    from=$(line_count "$OUT")
    click_button "$BUTTON_SAVE"
    choose_path "$SAVE_TITLE" "$name"
    poll 15 test -s "$file" || fail "no $file within 15 s of picking \"$name\" ($(ls -A "$out_dir" | tr '\n' ' '))"
    poll 5 has_capture_lines "$from" || fail "no capture lines after picking \"$name\""
    expect_in_order "$OUT" "$from" "^max " "^min " "^real length " >/dev/null
    sed -n "$((from + 1)),\$p" "$OUT" | grep -E '^(max|min|real length) ' | while IFS= read -r line; do
        [[ "$line" =~ ^(max|min|real\ length)\ -?[0-9]+\.[0-9]{6}\ $ ]] ||
            fail "capture line \"$line\" is not \"<label> %f \""
    done
    info=$(identify -format '%m %w %h %z %[type] %k %[max]' "$file") || fail "identify cannot read $file"
    read -r format width height depth type colours max <<<"$info"
    [[ "$format" == BMP* ]] && [ "$width x $height x $depth $type" = "150 x 360 x 8 Grayscale" ] ||
        fail "$file is $info, expected an 8-bit gray BMP of 150x360"
    [ "$colours" -ge 2 ] && [ "$max" != 0 ] || fail "$file is blank ($colours grey levels, max $max)"
}

# A name without the suffix gets ".bmp"; the capture lines follow READ!, and
# the view was turned to the top view for it.
save_as "$out_dir/insole" "$out_dir/insole.bmp"
expect_in_order "$OUT" $((read_line - 1)) "=READ!" "^max " "^min " "^real length " >/dev/null
convert "$out_dir/insole.bmp" "$SHOTS/insole.png"
expect_box "$(changed_shot saved-top-view "$loaded" 5000)" "255 0 255" 361 151 "wire box after Save"

# A name that already ends in ".bmp" is kept as it is.
save_as "$out_dir/second.bmp" "$out_dir/second.bmp"
[ "$(ls -A "$out_dir" | sort | tr '\n' ' ')" = "insole.bmp second.bmp " ] ||
    fail "the folder holds $(ls -A "$out_dir" | tr '\n' ' '), expected insole.bmp second.bmp"
cmp -s "$out_dir/insole.bmp" "$out_dir/second.bmp" || fail "two captures of the same model and view differ"

# Cancel: nothing written, nothing rewritten, no capture lines.
before=$(stat -c '%n %i %Y %s' "$out_dir"/*)
lines=$(line_count "$OUT")
cancels=$(count_lines "$ERR" "*** CANCEL")
click_button "$BUTTON_SAVE"
cancel_dialog "$SAVE_TITLE"
wait_for_count "$ERR" "*** CANCEL" $((cancels + 1)) 5
sleep 2  # the capture would have completed ten frames (1/12 s) after the dialog
[ "$(stat -c '%n %i %Y %s' "$out_dir"/*)" = "$before" ] ||
    fail "a cancelled Save changed the folder: $(ls -lA "$out_dir" | tr '\n' '|')"
if sed -n "$((lines + 1)),\$p" "$OUT" | grep -qE '^(max|min|real length) '; then
    fail "a cancelled Save ran the capture"
fi

close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS"
note "ok"
