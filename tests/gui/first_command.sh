#!/usr/bin/env bash
# The README's first command as a newcomer runs it: scripts/run.sh installs
# what is missing, builds, and must bring up the window with its view drawn.
# Takes REPO X_CLOSE_WINDOW SHOT_DIR; scripts/test.sh runs it under its Xvfb.
# shellcheck source=tests/gui/lib.sh
source "$(dirname "$0")/lib.sh"
gui_init "$1/scripts/run.sh" "$@"
start_veltrim
shot window >/dev/null
close_veltrim
echo "first command: ok"
