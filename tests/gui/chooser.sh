# shellcheck shell=bash
# The file choosers and the models loaded through them, for the GUI tests;
# sourced by lib.sh, whose helpers and constants these use.

# Waits for the chooser titled TITLE, raises it and gives it the keyboard.
# Prints its window id.
focus_dialog() {
    local title=$1 dialog=""
    local deadline=$((SECONDS + 15))
    while [ -z "$dialog" ]; do
        dialog=$(xdotool search --all --onlyvisible --pid "$PID" --name "^${title}\$" 2>/dev/null | head -n1) || true
        [ -n "$dialog" ] && break
        [ "$SECONDS" -lt "$deadline" ] || fail "the chooser \"$title\" did not open within 15 s"
        sleep 0.1
    done
    xdotool windowraise "$dialog"
    timeout 5 xdotool windowfocus --sync "$dialog" || fail "could not focus the chooser \"$title\""
    sleep 0.5  # GTK puts its own focus on the name field after mapping
    echo "$dialog"
}

dialog_gone() { [ -z "$(xdotool search --all --onlyvisible --pid "$PID" --name "^$1\$" 2>/dev/null)" ]; }

# choose_path TITLE PATH: picks PATH in the open chooser TITLE, through the
# location field (ctrl+L) of an open dialog or the name field of a save
# dialog (ctrl+A selects what it holds). On a loaded machine a typed key can
# be lost, and GTK then keeps the dialog open on the wrong name: the path is
# typed again over the field's whole text, at most three times.
choose_path() {
    local title=$1 path=$2 try
    for try in 1 2 3; do
        focus_dialog "$title" >/dev/null
        if [ "$title" != "$SAVE_TITLE" ]; then
            xdotool key --clearmodifiers ctrl+l
            sleep 0.2
        fi
        xdotool key --clearmodifiers ctrl+a
        sleep 0.2
        xdotool type --delay 10 "$path"
        sleep 0.3
        xdotool key Return
        poll 8 dialog_gone "$title" && return 0
        note "the chooser \"$title\" is still open after Return (try $try)"
    done
    fail "the chooser \"$title\" stayed open after Return"
}

cancel_dialog() {
    local title=$1
    focus_dialog "$title" >/dev/null
    xdotool key Escape
    poll 10 dialog_gone "$title" || fail "the chooser \"$title\" stayed open after Escape"
}

# --- models -------------------------------------------------------------------

# write_box_stl FILE X0 Y0 Z0 X1 Y1 Z1 [...]: an ASCII STL of axis-aligned
# boxes, two triangles a face.
write_box_stl() {
    local file=$1; shift
    {
        echo "solid boxes"
        while [ $# -ge 6 ]; do
            local x0=$1 y0=$2 z0=$3 x1=$4 y1=$5 z1=$6 q a b c d n
            shift 6
            for q in "$x0 $y0 $z0|$x1 $y0 $z0|$x1 $y0 $z1|$x0 $y0 $z1|0 -1 0" \
                     "$x0 $y1 $z0|$x0 $y1 $z1|$x1 $y1 $z1|$x1 $y1 $z0|0 1 0" \
                     "$x0 $y0 $z0|$x0 $y1 $z0|$x1 $y1 $z0|$x1 $y0 $z0|0 0 -1" \
                     "$x0 $y0 $z1|$x1 $y0 $z1|$x1 $y1 $z1|$x0 $y1 $z1|0 0 1" \
                     "$x0 $y0 $z0|$x0 $y0 $z1|$x0 $y1 $z1|$x0 $y1 $z0|-1 0 0" \
                     "$x1 $y0 $z0|$x1 $y1 $z0|$x1 $y1 $z1|$x1 $y0 $z1|1 0 0"; do
                IFS='|' read -r a b c d n <<<"$q"
                printf 'facet normal %s\n outer loop\n  vertex %s\n  vertex %s\n  vertex %s\n endloop\nendfacet\n' "$n" "$a" "$b" "$c"
                printf 'facet normal %s\n outer loop\n  vertex %s\n  vertex %s\n  vertex %s\n endloop\nendfacet\n' "$n" "$a" "$c" "$d"
            done
        done
        echo "endsolid boxes"
    } >"$file"
}

# The bundled sample models, binary first when there is one.
bundled_samples() {
    local f
    for f in "$REPO"/250_test/*.stl; do [ -f "$f" ] && ! is_ascii_stl "$f" && echo "$f"; done
    for f in "$REPO"/250_test/*.stl; do [ -f "$f" ] && is_ascii_stl "$f" && echo "$f"; done
    return 0
}

# The program's rule: ASCII when the file starts with the five bytes "solid".
is_ascii_stl() { [ "$(head -c 5 "$1")" = "solid" ]; }

# The lines a successful Load of FILE prints, as expect_in_order patterns,
# after the four directory lines.
load_lines() {
    local count
    count=$(od -An -t d4 -j 80 -N 4 "$1" | tr -d ' ')
    echo "=bin STL Size ${count:-0}"
    if is_ascii_stl "$1"; then echo '=This is a "ASCII" File  '; else echo '=This is a "Binary" File  '; fi
    echo "=READ!"
}

# load_model FILE: runs the Load command through the real chooser and checks
# its console lines. Prints the number of the "READ!" line.
load_model() {
    local file=$1 from reads patterns
    from=$(line_count "$OUT")
    reads=$(count_lines "$OUT" "READ!")
    click_button "$BUTTON_LOAD"
    choose_path "$LOAD_TITLE" "$file"
    wait_for_count "$OUT" "READ!" $((reads + 1)) 30
    mapfile -t patterns < <(load_lines "$file")
    expect_in_order "$OUT" "$from" \
        "^dir(before):" "=dir(after):$REPO/250_test/" "=system_path:$REPO" "=path:$REPO/250_test/" \
        "${patterns[@]}"
}
