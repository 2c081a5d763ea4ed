#!/usr/bin/env bash
# Builds kesu and runs the whole test suite: first a plain build, then the same
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then the
# threaded tests built with ThreadSanitizer, those of the Qt event loop among them (offscreen;
# scripts/tsan.supp says how the uninstrumented Qt libraries are treated). The desktop suite
# (ctest label `desktop`: the built program under its own Xvfb) runs in the first two passes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh

# The tree is kept formatted with the checked-in .clang-format; a difference fails the run
# before anything is built.
echo "== formatting"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

jobs=$(nproc)
# Paths relative to the checkout let a cache of an earlier build in another
# folder serve this one.
export CCACHE_BASEDIR="$root"
export CTEST_OUTPUT_ON_FAILURE=1
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp"

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest -j "$jobs" --timeout 600 ${KESU_CTEST_ARGS:-})
}

mkdir -p build
echo "== plain build"
run_suite build

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
run_suite build-asan -DKESU_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug -DKESU_BUILD_BENCH=OFF

echo "== ThreadSanitizer (threaded tests)"
KESU_CTEST_ARGS="-L threads" run_suite build-tsan -DKESU_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug -DKESU_BUILD_BENCH=OFF
