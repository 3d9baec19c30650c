#!/usr/bin/env bash
# Load STL through the real chooser: the bundled samples, then a cancel.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"

mapfile -t samples < <(bundled_samples)
[ ${#samples[@]} -gt 0 ] || fail "no sample models in $REPO/250_test/"

start_veltrim
empty=$(stable_shot empty)

n=0
for sample in "${samples[@]}"; do
    n=$((n + 1))
    note "loading $sample"
    load_model "$sample" >/dev/null
    loaded=$(changed_shot "loaded-$n-$(basename "$sample" .stl)" "$empty" 2000)
done

# A cancelled Load still empties the model: the view goes back to the
# picture without one.
cancels=$(count_lines "$ERR" "*** CANCEL")
reads=$(count_lines "$OUT" "READ!")
from=$(line_count "$OUT")
click_button "$BUTTON_LOAD"
cancel_dialog "$LOAD_TITLE"
wait_for_count "$ERR" "*** CANCEL" $((cancels + 1)) 5
expect_in_order "$OUT" "$from" "^dir(before):" "=dir(after):$REPO/250_test/" \
    "=system_path:$REPO" "=path:$REPO/250_test/" >/dev/null
cancelled=$(same_shot cancelled "$empty" "after a cancelled Load, compared with the empty view (model still drawn?)")
[ "$(count_lines "$OUT" "READ!")" -eq "$reads" ] || fail "a cancelled Load printed READ!"
[ "$(diff_pixels "$loaded" "$cancelled")" -gt 0 ] || fail "the last sample left no trace in the view"

close_veltrim
[ "$EXIT_STATUS" -eq 0 ] || fail "veltrim ended with status $EXIT_STATUS"
note "ok"
