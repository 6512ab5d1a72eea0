#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the unit tests, the program tried for
# real under a virtual X server (Tests/EndToEnd/run.sh), then a minute of fuzzing (scripts/fuzz.sh,
# LUMORA_FUZZ_SECONDS, 0 to skip), whose long output goes to a log file. Every stage runs even
# when an earlier one failed; the output ends with one summary of the stages, and its last line
# sums them: "Total: N passed, N failed". The exit status is non-zero when any stage failed.
# Usage: scripts/test.sh [extra cmake options], e.g. -DLUMORA_SANITIZE=ON (build dir build-asan)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMORA_BUILD_DIR:-$root/build}"
fuzz_build="${LUMORA_FUZZ_BUILD_DIR:-$build-fuzz}"
fuzz_seconds="${LUMORA_FUZZ_SECONDS:-60}"

summary=()
total_passed=0
total_failed=0

# record STAGE PASSED FAILED [NOTE]
record() {
  summary+=("$(printf '%-12s %s passed, %s failed%s' "$1:" "$2" "$3" "${4:+   ($4)}")")
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
}

finish() {
  printf '\n== Summary\n'
  printf '%s\n' "${summary[@]}"
  printf 'Total: %s passed, %s failed\n' "$total_passed" "$total_failed"
  ((total_failed == 0))
  exit
}

if ! "$root/scripts/setup.sh"; then
  record set-up 0 1 "scripts/setup.sh failed"
  finish
fi
if ! cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" ||
  ! cmake --build "$build" --parallel "$(nproc)"; then
  record build 0 1 "nothing was tested"
  finish
fi

mkdir -p "$build"
# Unit tests: ctest's own count of its tests. Its line per test, and the output of those that
# fail, go to the log; the terminal shows its closing lines (the count and the failed tests).
export QT_QPA_PLATFORM=offscreen
unit_log="$build/unit-tests.log"
printf '\n== Unit tests (output in %s)\n' "$unit_log"
ctest --test-dir "$build" --no-tests=error --output-on-failure --parallel "$(nproc)" --timeout 600 >"$unit_log" 2>&1
unit_status=$?
sed -n '/tests passed, /,$p' "$unit_log"
if counts="$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$unit_log" | tail -n1)" &&
  [ -n "$counts" ]; then
  read -r failed_units all_units <<<"$counts"
  record "unit tests" $((all_units - failed_units)) "$failed_units" "ctest; log $unit_log"
else
  record "unit tests" 0 1 "ctest ended with status $unit_status; log $unit_log"
fi

# End to end: the journey's steps; its last line is "N passed, N failed".
e2e_log="$build/end-to-end.log"
printf '\n== End to end (output also in %s)\n' "$e2e_log"
"$root/Tests/EndToEnd/run.sh" "$build" 2>&1 | tee "$e2e_log"
e2e_status=${PIPESTATUS[0]}
if counts="$(tail -n1 "$e2e_log" | sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p')" && [ -n "$counts" ]; then
  read -r e2e_passed e2e_failed <<<"$counts"
  ((e2e_status == 0 || e2e_failed > 0)) || e2e_failed=1
  record "end to end" "$e2e_passed" "$e2e_failed" "steps; screenshots in $build/Tests/EndToEnd/screenshots"
else
  record "end to end" 0 1 "Tests/EndToEnd/run.sh ended with status $e2e_status; log $e2e_log"
fi

# Fuzzing: the render road under libFuzzer, AddressSanitizer and UBSan, in a build of its own.
if ((fuzz_seconds > 0)); then
  mkdir -p "$fuzz_build"
  fuzz_log="$fuzz_build/fuzz.log"
  printf '\n== Fuzzing the render road for %s s (output in %s)\n' "$fuzz_seconds" "$fuzz_log"
  LUMORA_FUZZ_BUILD_DIR="$fuzz_build" "$root/scripts/fuzz.sh" "$fuzz_seconds" >"$fuzz_log" 2>&1
  fuzz_status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\)$/\1/p' "$fuzz_log" | tail -n1)"
  if ((fuzz_status == 0)); then
    record fuzzing 1 0 "${runs:-?} inputs in ${fuzz_seconds} s; log $fuzz_log"
  else
    printf -- '-- the end of %s:\n' "$fuzz_log"
    tail -n 40 "$fuzz_log"
    record fuzzing 0 1 "status $fuzz_status, its input kept in $fuzz_build/artifacts; log $fuzz_log"
  fi
else
  record fuzzing 0 0 "skipped: LUMORA_FUZZ_SECONDS=0"
fi

finish
