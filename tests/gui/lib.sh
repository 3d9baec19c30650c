# shellcheck shell=bash disable=SC2034  # the constants are for the scripts
# Veltrim on $DISPLAY driven by xdotool; scripts take VELTRIM REPO X_CLOSE_WINDOW
# SHOT_DIR [X_DROP_FILES]. No window manager: dialogs are raised by hand.
set -euo pipefail

# Widgets of the main window (x y w h, window coordinates).
readonly BUTTON_LOAD="53 27 84 40" BUTTON_SAVE="138 27 84 40" BUTTON_TOP="259 27 64 40"
readonly BUTTON_SIDE="323 27 64 40" BUTTON_FRONT="387 27 64 40" BUTTON_RESET="471 27 64 40"
readonly VIEW_X=52 VIEW_Y=92 VIEW_W=800 VIEW_H=560
readonly VIEW_GEOMETRY="${VIEW_W}x${VIEW_H}+${VIEW_X}+${VIEW_Y}"
readonly VIEW_CX=$((VIEW_X + VIEW_W / 2)) VIEW_CY=$((VIEW_Y + VIEW_H / 2))
readonly LOAD_TITLE="Load a STL-MODEL file" SAVE_TITLE="Save BMP Insole"
fail() { echo "FAIL: $*" >&2; exit 1; }

gui_init() {
    [ $# -ge 4 ] || fail "usage: $0 VELTRIM REPO X_CLOSE_WINDOW SHOT_DIR [X_DROP_FILES]"
    VELTRIM=$1 X_CLOSE=$3 X_DROP=${5:-} PID="" KEEPALIVE="" SHOTS="$4/$(basename "$0" .sh)"
    REPO=$(cd "$2" && pwd -P) || fail "no repository at $2" # as getcwd reports it
    [ -n "${DISPLAY:-}" ] || fail "DISPLAY is not set (scripts/test.sh starts Xvfb)"
    trap gui_cleanup EXIT
    # An idle client, for a server without -noreset resets when its last one leaves.
    poll 10 xdotool getmouselocation >/dev/null 2>&1 || fail "cannot reach the X server at DISPLAY=$DISPLAY"
    xdotool search --sync --name "^veltrim-gui-keepalive-$$\$" >/dev/null 2>&1 & KEEPALIVE=$!
    rm -rf "$SHOTS"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/veltrim-gui.XXXXXX") OUT=$WORK/stdout.txt ERR=$WORK/stderr.txt
    mkdir -p "$SHOTS" "$WORK/home/.local/share" "$WORK/home/.config" "$WORK/out"
}
gui_cleanup() {
    local status=$?
    if [ "$status" -ne 0 ] && [ -n "${WORK:-}" ]; then # keep what explains the failure
        import -window root "$SHOTS/failure-root.png" 2>/dev/null || true
        cp "$OUT" "$ERR" "$SHOTS/" 2>/dev/null && tail -n 25 "$OUT" "$ERR" >&2 && echo "screenshots and logs: $SHOTS" >&2
    fi
    stop_veltrim
    kill "$KEEPALIVE" 2>/dev/null || true
    rm -rf "${WORK:-}"
    exit "$status"
}

poll() { # SECONDS COMMAND...: COMMAND every 0.1 s until it succeeds or time is up
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do [ "$SECONDS" -lt "$deadline" ] && sleep 0.1 || return 1; done
}
process_gone() { ! kill -0 "$PID" 2>/dev/null; }
find_main_window() {
    process_gone && fail "veltrim ended before its window appeared"
    WIN=$(xdotool search --all --onlyvisible --pid "$PID" --name '^Veltrim$' 2>/dev/null | head -n1)
    [ -n "$WIN" ]
}
view_drawn() { ! near_pixel "$(shot first-frame)" $((VIEW_X + 1)) $((VIEW_Y + 1)) "0 0 0" 0%; }

start_veltrim() { # ARGS: from $START_DIR or the repository root (Load opens at 250_test/), under $GUI_LANG
    : >"$OUT" && : >"$ERR"
    xdotool mousemove 0 0 # off the buttons: a tooltip would cover their labels in the shots
    (cd "${START_DIR:-$REPO}" && exec env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
        XDG_DATA_HOME="$WORK/home/.local/share" LANG="${GUI_LANG:-C.UTF-8}" \
        stdbuf -oL -eL "$VELTRIM" "$@" >"$OUT" 2>"$ERR") & PID=$!
    poll 20 find_main_window || fail "no visible window titled \"Veltrim\" within 20 s"
    # The window maps before its first GL frame; two black shots would look settled.
    poll 20 view_drawn || fail "the view was not drawn within 20 s of the window appearing"
}
stop_veltrim() {
    [ -n "$PID" ] || return 0
    { kill "$PID" && ! poll 3 process_gone && kill -9 "$PID"; } 2>/dev/null || true
    wait "$PID" 2>/dev/null || true
    PID=""
}
close_veltrim() { # as a close button does: veltrim must end with status 0
    "$X_CLOSE" "$WIN" || fail "could not ask the main window to close"
    poll 10 process_gone || fail "veltrim still runs 10 s after its window was closed"
    wait "$PID" || fail "veltrim ended with status $? after its window was closed"
    PID=""
}
click_button() { # "X Y W H": a left click in its middle
    local b && read -ra b <<<"$1"
    xdotool mousemove --window "$WIN" $((b[0] + b[2] / 2)) $((b[1] + b[3] / 2)) click 1
}
drag() { # BUTTON X Y DX DY STEPS: press at (X, Y), STEPS motions by (DX, DY), release
    local i
    xdotool mousemove --window "$WIN" "$2" "$3" sleep 0.1 mousedown "$1"
    for ((i = 1; i <= $6; i++)); do xdotool sleep 0.05 mousemove --window "$WIN" $(($2 + i * $4)) $(($3 + i * $5)); done
    xdotool sleep 0.1 mouseup "$1"
}
count_lines() { grep -cxF -- "$2" "$1" || true; } # FILE TEXT: lines that are exactly TEXT
line_count() { wc -l <"$1"; }
has_lines() { [ "$(count_lines "$1" "$2")" -ge "$3" ]; }
wait_for() { # FILE TEXT N SECONDS
    poll "$4" has_lines "$1" "$2" "$3" || fail "fewer than $3 lines \"$2\" in $(basename "$1") within $4 s"
}
# expect_in_order FILE FROM PATTERN...: "=LINE" or "^START", in order after line FROM
expect_in_order() {
    local file=$1 at=$2 pattern n
    for pattern in "${@:3}"; do
        n=$(P="$pattern" awk -v from="$at" 'NR > from { p = ENVIRON["P"]; t = substr(p, 2)
            if ($0 == t || (p ~ /^\^/ && index($0, t) == 1)) { print NR; exit } }' "$file")
        [ -n "$n" ] || fail "no line ${pattern:0:1}\"${pattern:1}\" after line $at of $(basename "$file"): $(tail -n +$((at + 1)) "$file" | head -n 20 | tr '\n' '|')"
        at=$n
    done
}
status_says() { # TEXT: the status line under the view shows it (read by OCR), within 10 s
    local read deadline=$((SECONDS + 10))
    until read=$(convert "$(shot status)" -crop 800x24+52+652 +repage -resize 300% -colorspace Gray png:- |
        tesseract stdin - 2>/dev/null | tr '\n' ' ') && [[ "$read" == *"$1"* ]]; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the status line shows \"$read\", not \"$1\""
        sleep 0.2
    done
}
shot() { import -window "$WIN" "$SHOTS/$1.png" 2>/dev/null && echo "$SHOTS/$1.png" || fail "no screenshot $1"; }
diff_pixels() { # A B [GEOMETRY]: pixels that differ inside GEOMETRY (the view)
    local n
    n=$(compare -metric AE "${1}[${3:-$VIEW_GEOMETRY}]" "${2}[${3:-$VIEW_GEOMETRY}]" null: 2>&1) || true
    [[ "$n" =~ ^[0-9]+$ ]] || fail "compare failed on $1 and $2: $n"
    echo "$n"
}
# settled_shot NAME [REF MIN]: shots until two in a row match (it redraws at 120 Hz)
# and differ from REF in MIN pixels or more (none when MIN is 0); prints the last.
settled_shot() {
    local previous current n deadline=$((SECONDS + 20))
    previous=$(shot "$1.prev")
    while :; do
        sleep 0.15
        current=$(shot "$1")
        if [ "$(diff_pixels "$previous" "$current")" -eq 0 ]; then
            [ $# -gt 1 ] || break
            n=$(diff_pixels "$2" "$current")
            if [ "$3" -eq 0 ]; then [ "$n" -ne 0 ] || break; else [ "$n" -lt "$3" ] || break; fi
        fi
        [ "$SECONDS" -lt "$deadline" ] || fail "$1 did not settle within 20 s${n:+ (it differs from $(basename "$2") in $n pixels; wanted ${3}, 0: none)}"
        cp "$current" "$previous"
    done
    rm -f "$previous" && echo "$current"
}
count_colour() { # FILE GEOMETRY "R G B" FUZZ%: pixels of about that colour
    convert "$1" -crop "$2" +repage -alpha off -fuzz "$4" -fill black +opaque "rgb(${3// /,})" \
        -fill white -opaque "rgb(${3// /,})" -format '%[fx:round(mean*w*h)]' info:
}
near_pixel() { # FILE X Y "R G B" FUZZ%
    [ "$(compare -metric AE -fuzz "$5" "$1[1x1+$2+$3]" "xc:rgb(${4// /,})" null: 2>&1)" = 0 ]
}
dialog() { xdotool search --all --onlyvisible --pid "$PID" --name "^$1\$" 2>/dev/null | head -n1; }
dialog_open() { [ -n "$(dialog "$1")" ]; }
dialog_gone() { ! dialog_open "$1"; }
focus_dialog() { # TITLE: waits for the chooser, raises it and gives it the keyboard
    local id
    poll 15 dialog_open "$1" || fail "the chooser \"$1\" did not open within 15 s"
    id=$(dialog "$1") || fail "the chooser \"$1\" closed by itself"
    timeout 5 xdotool windowraise "$id" windowfocus --sync "$id" || fail "could not focus the chooser \"$1\""
    sleep 0.5 # GTK puts its own focus on the name field after mapping
}
# answer TITLE [PATH]: PATH into Load's location field (ctrl+L) or Save's name field, or
# Escape; again when a loaded machine lost a key and GTK kept the dialog open.
answer() {
    local try
    for try in 1 2 3; do
        focus_dialog "$1"
        if [ $# -lt 2 ]; then xdotool key Escape; else
            [ "$1" = "$SAVE_TITLE" ] || xdotool key --clearmodifiers ctrl+l sleep 0.2
            xdotool key --clearmodifiers ctrl+a sleep 0.2 type --delay 10 "$2"
            xdotool sleep 0.3 key Return # "type" takes all its words as text
        fi
        poll 8 dialog_gone "$1" && return 0
        echo "-- the chooser \"$1\" is still open (try $try)" >&2
    done
    fail "the chooser \"$1\" stayed open"
}
