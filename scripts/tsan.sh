#!/usr/bin/env bash
# The engine and App tests under ThreadSanitizer, in a build of their own (build-tsan). Any report
# fails the run. Arguments go to every test program, e.g. --gtest_filter='ExportEndToEndTest.*'
# for the export on eight threads alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMORA_BUILD_DIR:-$root/build-tsan}"
tests=(HXImageEngineTests ProcessorKernelTests KeyerTests CompositorTests
       AppModelTests EffectItemsTests ModelObjectsTests ProjectTests RenderCacheTests
       LegacyConverterTests CanvasRenderTests LayerRenderTests SaveFaultTests RenderRoadTests)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_TSAN=ON -DLUMORA_BENCHMARKS=OFF
cmake --build "$build" --parallel "$(nproc)" --target "${tests[@]}"

export QT_QPA_PLATFORM=offscreen LUMORA_TEST_DATA="$root/Tests/Data"
export TSAN_OPTIONS="suppressions=$root/Tests/tsan.supp second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
failed=()
for test in "${tests[@]}"; do
  program="$(find "$build/Tests" -name "$test" -type f -executable | head -n 1)"
  echo "== $test"
  "$program" "$@" || failed+=("$test")
done
if ((${#failed[@]})); then
  echo "Failed or reported under ThreadSanitizer: ${failed[*]}" >&2
  exit 1
fi
echo "All ${#tests[@]} programs ran clean under ThreadSanitizer."
