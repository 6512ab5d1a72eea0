#!/usr/bin/env bash
# Starts the program: installs what is missing, builds it and runs it, on the project given, or
# on the sample project beside the program when none is.
# Usage: scripts/run.sh [project.lumo4]      (a path relative to the current folder is fine)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"

build="${LUMORA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target Lumora4 lumora-samples

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'TEXT'
There is no display to show the program on. Run it under a virtual X server instead, with a
window manager (without one, dialogs have no title bars):

    xvfb-run -a -s "-screen 0 1920x1080x24" sh -c 'openbox & scripts/run.sh [project.lumo4]'

(xvfb-run and openbox come with the xvfb and openbox packages, which scripts/setup.sh installs.)
TEXT
  exit 1
fi
if [ $# -eq 0 ]; then
  set -- "$build/Modules/UI/Sample Images/Sample Project.lumo4"
fi
exec "$build/Modules/UI/Lumora4" "$@"
