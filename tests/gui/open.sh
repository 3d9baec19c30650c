#!/usr/bin/env bash
# A model named on the command line, and files dropped on the view through
# the XDND handshake a file manager makes.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$@"
[ -x "$X_DROP" ] || fail "usage: $0 VELTRIM REPO X_CLOSE_WINDOW SHOT_DIR X_DROP_FILES"

file_uri() { # PATH: a file:// URI with every byte but [A-Za-z0-9._/-] encoded
    local out="" b
    for b in $(printf '%s' "$1" | od -An -v -tx1); do
        case $b in
            2[d-f] | 3[0-9] | 4[1-9a-f] | 5[0-9a] | 5f | 6[1-9a-f] | 7[0-9a]) out+=$(printf "\\x$b") ;;
            *) out+="%${b^^}" ;;
        esac
    done
    echo "file://$out"
}
drop() { "$X_DROP" "$WIN" "$VIEW_CX" "$VIEW_CY" "$1" || fail "the drop on the view did not complete"; }
# loaded N: waits for the Nth "READ!"; no model may go through the Load chooser.
loaded() {
    wait_for "$OUT" "READ!" "$1" 10
    ! grep -q "^dir(" "$OUT" || fail "the model went through the Load chooser"
}

sample="$REPO/250_test/insole_ascii.stl"
mapfile -t read_lines < <(load_lines "$sample")
mkdir -p "$WORK/dropped models"
copy="$WORK/dropped models/insole é 100%.stl"
cp "$sample" "$copy"
box="$REPO/250_test/insole_left_binary.stl"

start_veltrim
empty=$(stable_shot empty)
# A file manager's list: a comment, a file that is no model, then two models;
# the first model is loaded and nothing else.
drop "# dropped from a file manager"$'\r\n'"$(file_uri "$WORK/notes.txt")"$'\r\n'"$(file_uri "$copy")"$'\r\n'"$(file_uri "$box")"$'\r\n'
loaded 1
expect_in_order "$OUT" 0 "${read_lines[@]}"
dropped=$(settled_shot dropped "$empty" 5000)
# Nothing to load: said on stderr, the model stays.
drop "file://localhost$WORK/notes.txt"$'\r\n'
wait_for "$ERR" "drop ignored: no local .stl file among the dropped names" 1 10
settled_shot nothing-dropped "$dropped" 0 >/dev/null
[ "$(count_lines "$OUT" "READ!")" -eq 1 ] || fail "a drop without a model printed READ!"
close_veltrim

# Named on the command line, relative to the working directory: loaded once
# the window is up, so the settled view is the dropped one; a drop replaces it.
start_veltrim 250_test/insole_ascii.stl
loaded 1
expect_in_order "$OUT" 0 "${read_lines[@]}"
settled_shot command-line "$dropped" 0 >/dev/null
drop "$box"
loaded 2
settled_shot box-dropped "$dropped" 1000 >/dev/null
close_veltrim

# An unknown option before a name that cannot be read: FLTK's list of
# options, then "READ!" with the reason on stderr, and an empty view.
start_veltrim -bogus-option "$WORK/missing.stl"
wait_for "$ERR" "options are:" 1 5
wait_for "$OUT" "READ!" 1 10
grep -q "^cannot open \"$WORK/missing.stl\": No such file or directory" "$ERR" || fail "no reason on stderr for a model that cannot be read"
settled_shot missing "$empty" 0 >/dev/null
close_veltrim
note ok
