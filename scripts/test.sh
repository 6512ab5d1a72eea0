#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the unit tests, then the program
# tried for real under a virtual X server (Tests/EndToEnd/run.sh).
# Usage: scripts/test.sh [extra cmake options], e.g. -DLUMORA_SANITIZE=ON (build dir build-asan)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"

build="${LUMORA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --no-tests=error --output-on-failure --parallel "$(nproc)" --timeout 600
"$root/Tests/EndToEnd/run.sh" "$build"

# The render road under libFuzzer, AddressSanitizer and UBSan for a minute (LUMORA_FUZZ_SECONDS,
# 0 to skip), in a build of its own next to this one.
LUMORA_FUZZ_BUILD_DIR="${LUMORA_FUZZ_BUILD_DIR:-$build-fuzz}" "$root/scripts/fuzz.sh" "${LUMORA_FUZZ_SECONDS:-60}"
