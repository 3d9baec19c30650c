#!/usr/bin/env bash
# Save BMP end to end through the real chooser: a name without and one with
# the suffix, then a cancel that must write nothing.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

mapfile -t samples < <(bundled_samples)
[ ${#samples[@]} -gt 0 ] || fail "no sample models in $REPO/250_test/"
out_dir="$WORK/out"
mkdir -p "$out_dir"

start_veltrim
read_line=$(load_model "${samples[0]}")
loaded=$(stable_shot loaded)

# save_as NAME FILE: Save under NAME, wait for FILE and for the capture's
# three lines after line FROM of stdout; checks the image.
save_as() {
    local name=$1 file=$2 from
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

    local info
    info=$(identify -format '%m %w %h %z %[type] %k %[max]' "$file") || fail "identify cannot read $file"
    note "$(basename "$file"): $info"
    read -r format width height depth type colours max <<<"$info"
    [[ "$format" == BMP* ]] || fail "$file is $format, not BMP"
    [ "$width" = 150 ] && [ "$height" = 360 ] || fail "$file is ${width}x$height, expected 150x360"
    [ "$depth" = 8 ] || fail "$file has depth $depth, expected 8"
    [ "$type" = Grayscale ] || fail "$file is $type, expected Grayscale"
    [ "$colours" -ge 2 ] && [ "$max" != 0 ] || fail "$file is blank ($colours grey levels, max $max)"
}

has_capture_lines() { sed -n "$(($1 + 1)),\$p" "$OUT" | grep -q '^real length '; }

# A name without the suffix gets ".bmp"; the capture lines follow READ!.
save_as "$out_dir/insole" "$out_dir/insole.bmp"
expect_in_order "$OUT" $((read_line - 1)) "=READ!" "^max " "^min " "^real length " >/dev/null
convert "$out_dir/insole.bmp" "$SHOTS/insole.png"
# The Save command turned the view to the top view for the capture.
saved=$(changed_shot saved-top-view "$loaded" 5000)
expect_box "$saved" "255 0 255" 361 151 "wire box after Save"

# A name that already ends in ".bmp" is kept as it is.
save_as "$out_dir/second.bmp" "$out_dir/second.bmp"
[ "$(ls -A "$out_dir" | sort | tr '\n' ' ')" = "insole.bmp second.bmp " ] ||
    fail "the folder holds $(ls -A "$out_dir" | tr '\n' ' '), expected insole.bmp second.bmp"
cmp -s "$out_dir/insole.bmp" "$out_dir/second.bmp" ||
    fail "two captures of the same model and view differ"

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
