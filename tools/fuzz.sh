#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer; the
# "fuzz" preset) and runs each of them. Exits 1 at the first target that finds something; the
# input that did it is kept in build/fuzz/findings/.
#
#   tools/fuzz.sh                      # every target for 1,000,000 inputs
#   tools/fuzz.sh --runs 50000 UrlParser
#   tools/fuzz.sh --seconds 5          # every target for 5 seconds (what ./test.sh does)
#
# Targets: UrlParser HeaderBlock SetCookie SettingsReader PageParser BodyCodings. Each starts
# from the seeds in fuzz/seeds/<target>/ and keeps what it learns in build/fuzz/corpus/<target>/
# for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=1000000
seconds=""
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
    esac
done
if [ ${#targets[@]} -eq 0 ]; then
    targets=(UrlParser HeaderBlock SetCookie SettingsReader PageParser BodyCodings)
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p build/fuzz/findings
for target in "${targets[@]}"; do
    corpus="build/fuzz/corpus/$target"
    mkdir -p "$corpus"
    limit=(-runs="$runs")
    if [ -n "$seconds" ]; then
        limit=(-max_total_time="$seconds")
    fi
    echo "fuzz: $target (${limit[*]})" >&2
    log="build/fuzz/$target.log"
    # One input may take a minute before it counts as hanging: on a loaded machine a quick
    # input can wait seconds for the processor, and a hang runs far longer than that.
    if ! "build/fuzz/fuzz/fuzz_$target" "${limit[@]}" -max_len=8192 -timeout=60 \
        -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/findings/$target-" "$corpus" "fuzz/seeds/$target" \
        >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "fuzz: $target found a failure; see $log and build/fuzz/findings/" >&2
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$log" | sed "s/^/fuzz: $target: /" >&2 || true
done
