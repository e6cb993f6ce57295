#!/usr/bin/env bash
# Mirrors generated sites with torvex-cli, wget and HTTrack, one after the other against the
# same nginx on loopback, and prints wall time, CPU time and peak memory of each, with Torvex's
# ratios to the others and what the mirror checker found in every mirror.
#
#   bench/mirror_bench.sh [PAGES...]        (default: 2000 10000)
#
# Needs the site tools of ../shared/bench (site_gen.py, serve.sh, mirror_check.py). Mirrors are
# written to tmpfs (/dev/shm) so that the file system does not hide the clients' own costs.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tools="${TORVEX_BENCH_TOOLS:-$here/../shared/bench}"
port="${TORVEX_BENCH_PORT:-18181}"
scratch="$(mktemp -d /dev/shm/tvx-bench.XXXXXX)"
chmod 755 "$scratch"   # nginx's workers read the site from here
trap 'bash "$tools/serve.sh" stop "$port" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

source "$here/tools/deps.sh"
torvex_install_missing "${TORVEX_PACKAGES[@]}" wget httrack time bc

if [[ ! -x "$here/build/release/cli/torvex-cli" ]]; then
    (cd "$here" && cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null)
fi
cli="$here/build/release/cli/torvex-cli"

source "$here/bench/measure.sh"

pages_list=("$@")
[[ ${#pages_list[@]} -eq 0 ]] && pages_list=(2000 10000)

for pages in "${pages_list[@]}"; do
    site="$scratch/site$pages"
    manifest="$site.manifest.tsv"
    python3 "$tools/site_gen.py" "$site" --pages "$pages" --host "127.0.0.1:$port" >/dev/null
    bash "$tools/serve.sh" start "$site" "$port" >/dev/null

    # Torvex: default settings but no level limit, the start host only, 10 threads.
    export TORVEX_HOME="$scratch/home"
    mkdir -p "$TORVEX_HOME"
    project="$scratch/tvx$pages"
    "$cli" new "$project" "http://127.0.0.1:$port/" Level=0 HostFilter=2 DownthreadNum=10 >/dev/null
    measure torvex "$cli" start "$project"
    t_wall=$wall t_cpu=$cpu t_rss=$rss_mb
    # The checker looks for the host folder under the names other clients use.
    latest="$project/download/latest"
    ln -sfn "127.0.0.1+$port" "$latest/127.0.0.1_$port"
    t_check="$(check torvex "$latest")"

    measure wget wget --mirror --page-requisites --convert-links --no-parent -e robots=off -q \
        -P "$scratch/wget$pages" "http://127.0.0.1:$port/"
    w_wall=$wall w_cpu=$cpu w_rss=$rss_mb
    w_check="$(check wget "$scratch/wget$pages")"

    measure httrack httrack "http://127.0.0.1:$port/" -O "$scratch/httrack$pages" -q -s0 -%! -%c0 -A0 -c10
    h_wall=$wall h_cpu=$cpu h_rss=$rss_mb
    h_check="$(check httrack "$scratch/httrack$pages")"

    bash "$tools/serve.sh" stop "$port" >/dev/null

    echo "== $pages pages ($(($(wc -l <"$manifest") - 1)) files)"
    printf '%-8s %8s %8s %10s\n' client "wall s" "CPU s" "peak MB"
    printf '%-8s %8s %8s %10s\n' torvex "$t_wall" "$t_cpu" "$t_rss"
    printf '%-8s %8s %8s %10s\n' wget "$w_wall" "$w_cpu" "$w_rss"
    printf '%-8s %8s %8s %10s\n' httrack "$h_wall" "$h_cpu" "$h_rss"
    echo "torvex/wget:    wall $(echo "scale=2; $t_wall / $w_wall" | bc)  CPU $(echo "scale=2; $t_cpu / $w_cpu" | bc)"
    echo "torvex/httrack: wall $(echo "scale=2; $t_wall / $h_wall" | bc)  CPU $(echo "scale=2; $t_cpu / $h_cpu" | bc)"
    echo "check torvex:  $t_check"
    echo "check wget:    $w_check"
    echo "check httrack: $h_check"
    echo "$pages $t_wall" >>"$scratch/torvex-walls"
    rm -rf "$project" "$scratch/wget$pages" "$scratch/httrack$pages" "$site" "$manifest"
done

if [[ $(wc -l <"$scratch/torvex-walls") -ge 2 ]]; then
    read -r p1 w1 < <(head -1 "$scratch/torvex-walls")
    read -r p2 w2 < <(tail -1 "$scratch/torvex-walls")
    echo "torvex $p2-page run / $p1-page run: $(echo "scale=2; $w2 / $w1" | bc) (wall)"
fi
