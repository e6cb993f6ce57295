#!/usr/bin/env bash
# Installs what is missing, builds the debug build (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs every test. Extra arguments go to ctest (for example: ./test.sh -R CUrlParse).
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
torvex_install_missing "${TORVEX_PACKAGES[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset debug >/dev/null
cmake --build --preset debug -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset debug -j "$jobs" --timeout 300 "$@"

# The engine's threads once more under ThreadSanitizer (engine tests only, to stay quick).
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target engine_tests
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --preset tsan -L engine -j "$jobs" --timeout 300

# The parsers under libFuzzer for a few seconds each (tools/fuzz.sh without --seconds runs each
# for a million inputs).
tools/fuzz.sh --seconds 4
