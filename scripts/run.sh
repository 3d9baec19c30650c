#!/usr/bin/env bash
# Installs what is missing, builds, and starts Veltrim from the repository
# root, so "Load STL" opens right on the sample models in 250_test/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$root"
# A Chinese locale makes fontconfig pick a CJK font for the button labels.
case "${LANG:-}" in zh_*) ;; *) export LANG=zh_TW.UTF-8 ;; esac
exec "$root/build/bin/veltrim" "$@"
