# shellcheck shell=bash disable=SC2034  # the constants and EXIT_STATUS are for the scripts
# Helpers for the GUI tests: they start the real veltrim on the X display in
# $DISPLAY, drive it with xdotool and look at its console lines, its files
# and screenshots taken with ImageMagick. Sourced by the scenario scripts,
# which are called as:  SCRIPT VELTRIM REPO X_CLOSE_WINDOW SHOT_DIR [X_DROP_FILES]
# There is no window manager: dialogs are raised and focused by hand.
set -euo pipefail

# Window geometry of the main window's widgets (x y w h, window coordinates).
readonly BUTTON_LOAD="53 27 84 40"
readonly BUTTON_SAVE="138 27 84 40"
readonly BUTTON_TOP="259 27 64 40"
readonly BUTTON_SIDE="323 27 64 40"
readonly BUTTON_FRONT="387 27 64 40"
readonly BUTTON_RESET="471 27 64 40"
readonly VIEW_X=52 VIEW_Y=92 VIEW_W=800 VIEW_H=560
readonly VIEW_GEOMETRY="${VIEW_W}x${VIEW_H}+${VIEW_X}+${VIEW_Y}"
# The centre of the view, where the scene's origin is drawn.
readonly VIEW_CX=$((VIEW_X + VIEW_W / 2)) VIEW_CY=$((VIEW_Y + VIEW_H / 2))
readonly PLATE_RGB="178 178 102"  # (0.7, 0.7, 0.4) unlit

readonly LOAD_TITLE="Load a STL-MODEL file"
readonly SAVE_TITLE="Save BMP Insole"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

note() { echo "-- $*" >&2; }

gui_init() {
    [ $# -eq 4 ] || [ $# -eq 5 ] || fail "usage: $0 VELTRIM REPO X_CLOSE_WINDOW SHOT_DIR [X_DROP_FILES]"
    VELTRIM=$1 X_CLOSE=$3 X_DROP=${5:-}
    # The program reports the working directory as getcwd gives it.
    REPO=$(cd "$2" && pwd -P) || fail "no repository at $2"
    SHOTS="$4/$(basename "$0" .sh)"
    [ -n "${DISPLAY:-}" ] || fail "DISPLAY is not set: these tests need an X server (scripts/test.sh starts Xvfb)"
    local tool
    for tool in xdotool import convert compare identify stdbuf od; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (see scripts/install-deps.sh)"
    done
    [ -x "$VELTRIM" ] || fail "no program at $VELTRIM"
    [ -x "$X_CLOSE" ] || fail "no helper at $X_CLOSE"
    [ -z "$X_DROP" ] || [ -x "$X_DROP" ] || fail "no helper at $X_DROP"
    hold_display
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/veltrim-gui.XXXXXX")
    rm -rf "$SHOTS"
    mkdir -p "$SHOTS" "$WORK/home/.local/share" "$WORK/home/.config"
    OUT="$WORK/stdout.txt" ERR="$WORK/stderr.txt"
    PID="" WIN=""
}

# An X server started without -noreset resets when its last client leaves,
# and a client that connects during the reset is turned away. Between tests
# these scripts may be its only clients, so one idle client stays connected
# for the whole test: an xdotool that waits for a window that never comes.
hold_display() {
    KEEPALIVE=""
    trap gui_cleanup EXIT
    local deadline=$((SECONDS + 10))
    while :; do
        xdotool search --sync --name "^veltrim-gui-keepalive-$$\$" >/dev/null 2>&1 &
        KEEPALIVE=$!
        sleep 0.3
        kill -0 "$KEEPALIVE" 2>/dev/null && xdotool getmouselocation >/dev/null 2>&1 && return 0
        kill "$KEEPALIVE" 2>/dev/null || true
        wait "$KEEPALIVE" 2>/dev/null || true
        KEEPALIVE=""
        [ "$SECONDS" -lt "$deadline" ] || fail "cannot reach the X server at DISPLAY=$DISPLAY"
    done
}

gui_cleanup() {
    local status=$?
    stop_veltrim
    if [ -n "${KEEPALIVE:-}" ]; then
        kill "$KEEPALIVE" 2>/dev/null || true
        wait "$KEEPALIVE" 2>/dev/null || true
    fi
    if [ -n "${WORK:-}" ]; then
        if [ "$status" -ne 0 ]; then
            # Keep what explains the failure next to the screenshots.
            import -window root "$SHOTS/failure-root.png" 2>/dev/null || true
            local log
            for log in "${OUT:-}" "${ERR:-}"; do
                [ -f "$log" ] || continue
                cp "$log" "$SHOTS/" 2>/dev/null || true
                echo "---- last lines of $(basename "$log") ----" >&2
                tail -n 25 "$log" >&2 || true
            done
            echo "screenshots and logs: $SHOTS" >&2
        fi
        rm -rf "$WORK"
    fi
    exit "$status"
}

# poll SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds or the
# seconds have passed.
poll() {
    local seconds=$1; shift
    local deadline=$((SECONDS + seconds))
    while :; do
        "$@" && return 0
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

process_gone() { ! kill -0 "$PID" 2>/dev/null; }

# Starts veltrim from the repository root (so Load opens at 250_test/) with
# the given options, and waits for its main window. Sets PID and WIN.
start_veltrim() {
    : >"$OUT"
    : >"$ERR"
    # A private HOME keeps the GTK chooser's settings and recent-files list
    # out of the way; zh_TW makes fontconfig choose a CJK font.
    (cd "$REPO" && exec env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
        XDG_DATA_HOME="$WORK/home/.local/share" LANG=zh_TW.UTF-8 \
        stdbuf -oL -eL "$VELTRIM" "$@" >"$OUT" 2>"$ERR") &
    PID=$!
    poll 20 find_main_window || fail "no visible window titled \"Veltrim\" within 20 s"
    # The window maps before its first GL frame, and two black screenshots
    # in a row would look like a settled view: wait for the background.
    poll 20 view_drawn || fail "the view was not drawn within 20 s of the window appearing"
    note "veltrim pid $PID, window $WIN"
}

view_drawn() { [ "$(pixel "$(shot first-frame)" $((VIEW_X + 1)) $((VIEW_Y + 1)))" != "0 0 0" ]; }

find_main_window() {
    process_gone && fail "veltrim ended before its window appeared"
    WIN=$(xdotool search --all --onlyvisible --pid "$PID" --name '^Veltrim$' 2>/dev/null | head -n1)
    [ -n "$WIN" ]
}

stop_veltrim() {
    [ -n "${PID:-}" ] || return 0
    if kill -0 "$PID" 2>/dev/null; then
        kill "$PID" 2>/dev/null || true
        poll 3 process_gone || kill -9 "$PID" 2>/dev/null || true
    fi
    wait "$PID" 2>/dev/null || true
    PID=""
}

# Sends WM_DELETE_WINDOW to the main window, as a window manager's close
# button does, and sets EXIT_STATUS once the process has ended. Not to be
# called in a subshell: only this shell can collect the status.
close_veltrim() {
    "$X_CLOSE" "$WIN" || fail "could not ask the main window to close"
    poll 10 process_gone || fail "veltrim still runs 10 s after its window was closed"
    EXIT_STATUS=0
    wait "$PID" || EXIT_STATUS=$?
    PID=""
}

# --- pointer and keyboard -------------------------------------------------

# click_button "X Y W H": a left click in the middle of a button.
click_button() {
    local x y w h
    read -r x y w h <<<"$1"
    xdotool mousemove --window "$WIN" $((x + w / 2)) $((y + h / 2)) click 1
}

# drag BUTTON X Y DX DY STEPS: press at window point (X, Y), move by
# (DX, DY) per step, release. Each step is a separate motion event.
drag() {
    local button=$1 x=$2 y=$3 dx=$4 dy=$5 steps=$6 i
    xdotool mousemove --window "$WIN" "$x" "$y"
    sleep 0.1
    xdotool mousedown "$button"
    for ((i = 1; i <= steps; i++)); do
        sleep 0.05
        xdotool mousemove --window "$WIN" $((x + i * dx)) $((y + i * dy))
    done
    sleep 0.1
    xdotool mouseup "$button"
}

# --- console lines ----------------------------------------------------------

# Number of lines of FILE that are exactly TEXT.
count_lines() { grep -cxF -- "$2" "$1" || true; }

wait_for_line() {  # FILE TEXT SECONDS: waits for a line that is exactly TEXT
    poll "$3" grep -qxF -- "$2" "$1" || fail "no line \"$2\" in $(basename "$1") within $3 s"
}

has_lines() { [ "$(count_lines "$1" "$2")" -ge "$3" ]; }

wait_for_count() {  # FILE TEXT N SECONDS: waits for N lines that are exactly TEXT
    poll "$4" has_lines "$1" "$2" "$3" ||
        fail "fewer than $3 lines \"$2\" in $(basename "$1") within $4 s"
}

# expect_in_order FILE FROM_LINE PATTERN...: each PATTERN is "=TEXT" (the
# whole line) or "^TEXT" (the line starts with it); the lines must occur in
# this order after line FROM_LINE. Prints the number of the last matched line.
expect_in_order() {
    local file=$1 at=$2 pattern n; shift 2
    for pattern in "$@"; do
        n=$(PATTERN="$pattern" awk -v from="$at" '
            NR > from {
                s = ENVIRON["PATTERN"]; t = substr(s, 2)
                if ((substr(s, 1, 1) == "=" && $0 == t) || (substr(s, 1, 1) == "^" && index($0, t) == 1)) { print NR; exit }
            }' "$file")
        [ -n "$n" ] || fail "no line ${pattern:0:1}\"${pattern:1}\" after line $at of $(basename "$file"); it has: $(sed -n "$((at + 1)),\$p" "$file" | head -n 20 | tr '\n' '|')"
        at=$n
    done
    echo "$at"
}

line_count() { wc -l <"$1" | tr -d ' '; }

# --- screenshots ------------------------------------------------------------

# shot NAME: the main window as $SHOTS/NAME.png (printed).
shot() {
    local file="$SHOTS/$1.png"
    import -window "$WIN" "$file" 2>/dev/null || fail "could not take screenshot $1"
    echo "$file"
}

# Pixels that differ between two screenshots inside GEOMETRY (default: the view).
diff_pixels() {
    local geometry=${3:-$VIEW_GEOMETRY} n
    convert "$1" -crop "$geometry" +repage "$WORK/diff-a.png"
    convert "$2" -crop "$geometry" +repage "$WORK/diff-b.png"
    n=$(compare -metric AE "$WORK/diff-a.png" "$WORK/diff-b.png" null: 2>&1) || true
    [[ "$n" =~ ^[0-9]+$ ]] || fail "compare failed on $1 and $2: $n"
    echo "$n"
}

# stable_shot NAME: takes screenshots until the view looks the same in two in
# a row (the view redraws 120 times a second), and prints the last one.
stable_shot() {
    local name=$1 previous current deadline=$((SECONDS + 10))
    previous=$(shot "$name.prev")
    while :; do
        sleep 0.15
        current=$(shot "$name")
        [ "$(diff_pixels "$previous" "$current")" -eq 0 ] && break
        [ "$SECONDS" -lt "$deadline" ] || fail "the view did not settle within 10 s ($name)"
        mv "$current" "$previous"
    done
    rm -f "$previous"
    echo "$current"
}

# same_shot NAME REFERENCE WHAT: waits until the view equals REFERENCE
# pixel for pixel, then prints the settled screenshot; fails naming WHAT.
same_shot() {
    local name=$1 reference=$2 what=$3 current left deadline=$((SECONDS + 10))
    while :; do
        current=$(stable_shot "$name")
        left=$(diff_pixels "$reference" "$current")
        [ "$left" -eq 0 ] && break
        [ "$SECONDS" -lt "$deadline" ] || fail "$what: the view still differs in $left pixels"
    done
    echo "$current"
}

# changed_shot NAME REFERENCE MIN: waits until the view differs from
# REFERENCE in at least MIN pixels, then prints a settled screenshot.
changed_shot() {
    local name=$1 reference=$2 min=$3 current n deadline=$((SECONDS + 10))
    while :; do
        current=$(stable_shot "$name")
        n=$(diff_pixels "$reference" "$current")
        [ "$n" -ge "$min" ] && break
        [ "$SECONDS" -lt "$deadline" ] ||
            fail "the view ($name) differs from $(basename "$reference") in only $n pixels, expected at least $min"
        sleep 0.1
    done
    note "$name differs from $(basename "$reference") in $n pixels"
    echo "$current"
}

# pixel FILE X Y: "R G B" at window point (X, Y), 0..255.
pixel() {
    local p="p{$2,$3}"
    convert "$1" -format "%[fx:round(255*$p.r)] %[fx:round(255*$p.g)] %[fx:round(255*$p.b)]" info:
}

# expect_pixel FILE X Y "R G B" TOLERANCE WHAT
expect_pixel() {
    local got r g b er eg eb
    got=$(pixel "$1" "$2" "$3")
    read -r r g b <<<"$got"
    read -r er eg eb <<<"$4"
    if ((r < er - $5 || r > er + $5 || g < eg - $5 || g > eg + $5 || b < eb - $5 || b > eb + $5)); then
        fail "$6: pixel ($2,$3) of $(basename "$1") is ($got), expected ($4) +-$5"
    fi
}

reject_pixel() {  # FILE X Y "R G B" TOLERANCE WHAT: the pixel must not be that colour
    local got r g b er eg eb
    got=$(pixel "$1" "$2" "$3")
    read -r r g b <<<"$got"
    read -r er eg eb <<<"$4"
    if ((r >= er - $5 && r <= er + $5 && g >= eg - $5 && g <= eg + $5 && b >= eb - $5 && b <= eb + $5)); then
        fail "$6: pixel ($2,$3) of $(basename "$1") is ($got), which it must not be"
    fi
}

# count_colour FILE GEOMETRY "R G B" FUZZ%: pixels of about that colour.
count_colour() {
    local colour="rgb(${3// /,})"
    convert "$1" -crop "$2" +repage -alpha off -fuzz "$4" \
        -fill black +opaque "$colour" -fill white -opaque "$colour" \
        -format '%[fx:round(mean*w*h)]' info:
}

# expect_box FILE "R G B" W H WHAT: the pixels of exactly that colour in the
# view span W x H (+-2), centred on the view's centre (+-2).
expect_box() {
    local colour="rgb(${2// /,})" box w h x y
    box=$(convert "$1" -crop "$VIEW_GEOMETRY" +repage -alpha off -fill black +opaque "$colour" -format '%@' info:)
    [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "$5: no ($2) pixels in $(basename "$1")"
    w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
    local cx2=$((2 * x + w)) cy2=$((2 * y + h))  # twice the centre, in view coordinates
    if ((w < $3 - 2 || w > $3 + 2 || h < $4 - 2 || h > $4 + 2 ||
         cx2 < VIEW_W - 4 || cx2 > VIEW_W + 4 || cy2 < VIEW_H - 4 || cy2 > VIEW_H + 4)); then
        fail "$5: the ($2) pixels of $(basename "$1") span $box in the view, expected ${3}x$4 around its centre"
    fi
}

# shellcheck source=tests/gui/chooser.sh
source "$(dirname "${BASH_SOURCE[0]}")/chooser.sh"
