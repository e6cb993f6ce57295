#!/usr/bin/env bash
# The desktop program's responsiveness during a large run: mirrors a generated site once with
# torvex-cli and once through the main window (torvex-gui-bench, offscreen, the project selected
# so both lists refresh), against the same nginx on loopback, and prints both wall times, the
# longest stall of the window's event loop and the window thread's share of the CPU time.
#
#   bench/gui_bench.sh [PAGES]        (default: 2000)
#
# Targets: no stall over 50 ms, wall time within 10 % of torvex-cli's, the GUI thread under 5 %
# of the run's CPU time. Needs the site tools of ../shared/bench.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tools="${TORVEX_BENCH_TOOLS:-$here/../shared/bench}"
port="${TORVEX_BENCH_PORT:-18182}"
pages="${1:-2000}"
scratch="$(mktemp -d /dev/shm/tvx-guibench.XXXXXX)"
chmod 755 "$scratch"
trap 'bash "$tools/serve.sh" stop "$port" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

source "$here/tools/deps.sh"
torvex_install_missing "${TORVEX_PACKAGES[@]}" time bc
(cd "$here" && cmake --preset release >/dev/null &&
    cmake --build --preset release -j2 --target torvex-cli torvex-gui-bench >/dev/null)
cli="$here/build/release/cli/torvex-cli"
bench="$here/build/release/bench/gui/torvex-gui-bench"

site="$scratch/site"
python3 "$tools/site_gen.py" "$site" --pages "$pages" --host "127.0.0.1:$port" >/dev/null
bash "$tools/serve.sh" start "$site" "$port" >/dev/null
export TORVEX_HOME="$scratch/home"
mkdir -p "$TORVEX_HOME"

new_project() {
    "$cli" new "$1" "http://127.0.0.1:$port/" Level=0 HostFilter=2 DownthreadNum=10 >/dev/null
}

# Runs are short: each side runs three times, fresh projects, and the medians are compared.
runs=3
: >"$scratch/cli.walls"
: >"$scratch/gui.walls"
for run in $(seq "$runs"); do
    rm -rf "$scratch/cli" "$scratch/gui" "$scratch/guihome"
    new_project "$scratch/cli"
    /usr/bin/time -f '%e %U %S' -o "$scratch/cli.time" "$cli" start "$scratch/cli" >/dev/null 2>&1
    read -r cli_wall cli_user cli_sys <"$scratch/cli.time"
    echo "$cli_wall" >>"$scratch/cli.walls"

    new_project "$scratch/gui"
    mkdir -p "$scratch/guihome"
    QT_QPA_PLATFORM=offscreen TORVEX_HOME="$scratch/guihome" \
        "$bench" "$scratch/gui" "$scratch/guihome" >"$scratch/gui.out" 2>"$scratch/gui.err" || {
        cat "$scratch/gui.err" >&2
        exit 1
    }
    awk '$1 == "wall_s" {print $2}' "$scratch/gui.out" >>"$scratch/gui.walls"
    echo "-- run $run: torvex-cli wall ${cli_wall} s, CPU $(echo "$cli_user + $cli_sys" | bc) s"
    sed 's/^/   window  /' "$scratch/gui.out"
done
median() { sort -n "$1" | sed -n "$(((runs + 1) / 2))p"; }
cli_median=$(median "$scratch/cli.walls")
gui_median=$(median "$scratch/gui.walls")
echo "== $pages pages: median wall torvex-cli ${cli_median} s, window ${gui_median} s," \
    "window/cli $(echo "scale=2; $gui_median / $cli_median" | bc)"
echo "files: cli $(find "$scratch/cli/download/latest" -type f | wc -l)," \
    "window $(find "$scratch/gui/download/latest" -type f | wc -l)"
