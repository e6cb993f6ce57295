#!/usr/bin/env bash
# Mirrors generated sites with torvex-cli (KeepAlive=0 and KeepAlive=1) and wget, one after the
# other against the same nginx, and prints wall time, CPU time and peak memory of each, Torvex's
# ratios to wget and what the mirror checker found in every mirror:
#   - the 2,000-page site on loopback;
#   - the same site behind a forwarder that adds a 20 ms round trip (RTT_MS to change it);
#   - the 10,000-page site on loopback with KeepAlive=1, and its cost per file against the
#     2,000-page run.
#
#   bench/keepalive_bench.sh [loopback] [delay] [large]     (default: all three)
#
# Needs the site tools of ../shared/bench (site_gen.py, serve.sh, delay_proxy.py,
# mirror_check.py); TORVEX_BENCH_TOOLS names another folder. Mirrors are written to tmpfs.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tools="${TORVEX_BENCH_TOOLS:-$here/../shared/bench}"
port="${TORVEX_BENCH_PORT:-18182}"
proxy_port="${TORVEX_BENCH_PROXY_PORT:-18183}"
rtt_ms="${RTT_MS:-20}"
scratch="$(mktemp -d /dev/shm/tvx-ka-bench.XXXXXX)"
chmod 755 "$scratch"   # nginx's workers read the site from here
proxy_pid=""
cleanup() {
    [[ -n "$proxy_pid" ]] && kill "$proxy_pid" 2>/dev/null || true
    bash "$tools/serve.sh" stop "$port" >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT

source "$here/tools/deps.sh"
torvex_install_missing "${TORVEX_PACKAGES[@]}" wget time bc curl

if [[ ! -x "$here/build/release/cli/torvex-cli" ]]; then
    (cd "$here" && cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null)
fi
cli="$here/build/release/cli/torvex-cli"

source "$here/bench/measure.sh"
export TORVEX_HOME="$scratch/home"
mkdir -p "$TORVEX_HOME"

# torvex_run LABEL KEEPALIVE URL: a fresh project of the start host only, no level limit, 10
# threads; sets t_wall, t_cpu, t_rss, t_check and t_conn (the run's connection line, if any).
torvex_run() {
    local label="$1" keep="$2" url="$3" served_port="$4"
    local project="$scratch/$label"
    "$cli" new "$project" "$url" Level=0 HostFilter=2 DownthreadNum=10 "KeepAlive=$keep" >/dev/null
    measure "$label" "$cli" start "$project"
    t_wall=$wall t_cpu=$cpu t_rss=$rss_mb
    t_conn="$(grep -o 'Connections: .*' "$scratch/stderr.$label" || true)"
    # The checker looks for the host folder under the names other clients use.
    local latest="$project/download/latest"
    ln -sfn "127.0.0.1+$served_port" "$latest/127.0.0.1_$served_port"
    t_check="$(check_port "$label" "$latest" "$served_port")"
    rm -rf "$project"
}

check_port() {   # check_port LABEL OUTDIR PORT: the checker's findings, in short
    python3 "$tools/mirror_check.py" check "$manifest" "$2" "$3" --label "$1" | python3 -c '
import json, sys
r = json.load(sys.stdin)
expected = sum(r["expected"].values())
found = sum(r["found"].values())
links = r["links"]
missing = sum(len(v) for v in (r.get("missing_examples") or {}).values())
print("%d of %d expected files (missing examples: %d); links ok %d, left absolute %d, "
      "dangling %d; temporary files left %d" % (found, expected, missing, links.get("ok", 0),
      links.get("abs_same_host", 0), links.get("dangling", 0), r["leftover_temp_files"]))'
}

wget_run() {   # wget_run LABEL URL PORT
    measure "$1" wget --mirror --page-requisites --convert-links --no-parent -e robots=off -q \
        -P "$scratch/$1" "$2"
    w_wall=$wall w_cpu=$cpu w_rss=$rss_mb
    w_check="$(check_port "$1" "$scratch/$1" "$3")"
    rm -rf "${scratch:?}/$1"
}

ratio() { echo "scale=2; $1 / $2" | bc; }

report() {   # report TITLE: the three runs of one site side by side
    echo "== $1"
    printf '%-14s %8s %8s %10s\n' client "wall s" "CPU s" "peak MB"
    printf '%-14s %8s %8s %10s\n' "torvex KA=0" "$k0_wall" "$k0_cpu" "$k0_rss"
    printf '%-14s %8s %8s %10s\n' "torvex KA=1" "$k1_wall" "$k1_cpu" "$k1_rss"
    printf '%-14s %8s %8s %10s\n' wget "$w_wall" "$w_cpu" "$w_rss"
    echo "KA=0/wget: wall $(ratio "$k0_wall" "$w_wall")  CPU $(ratio "$k0_cpu" "$w_cpu")"
    echo "KA=1/wget: wall $(ratio "$k1_wall" "$w_wall")  CPU $(ratio "$k1_cpu" "$w_cpu")"
    [[ -n "$k1_conn" ]] && echo "KA=1 $k1_conn"
    echo "check KA=0: $k0_check"
    echo "check KA=1: $k1_check"
    echo "check wget: $w_check"
}

# three_runs URL PORT: KeepAlive=0, KeepAlive=1, wget.
three_runs() {
    torvex_run ka0 0 "$1" "$2"
    k0_wall=$t_wall k0_cpu=$t_cpu k0_rss=$t_rss k0_check=$t_check
    torvex_run ka1 1 "$1" "$2"
    k1_wall=$t_wall k1_cpu=$t_cpu k1_rss=$t_rss k1_check=$t_check k1_conn=$t_conn
    wget_run wget "$1" "$2"
}

# serve_site NAME PAGES LINKED_PORT: generates the site (its full addresses name LINKED_PORT)
# and serves it on $port; sets site and manifest.
serve_site() {
    site="$scratch/$1"
    manifest="$site.manifest.tsv"
    python3 "$tools/site_gen.py" "$site" --pages "$2" --host "127.0.0.1:$3" >/dev/null
    bash "$tools/serve.sh" start "$site" "$port" >/dev/null
}

drop_site() {
    bash "$tools/serve.sh" stop "$port" >/dev/null
    rm -rf "$site" "$manifest"
}

files() { echo $(($(wc -l <"$manifest") - 1)); }

parts=("$@")
[[ ${#parts[@]} -eq 0 ]] && parts=(loopback delay large)
want() { [[ " ${parts[*]} " == *" $1 "* ]]; }

small_wall=""
if want loopback || want large; then
    serve_site site2000 2000 "$port"
    if want loopback; then
        three_runs "http://127.0.0.1:$port/" "$port"
        report "2,000 pages on loopback ($(files) files)"
        small_wall=$k1_wall
    else
        torvex_run ka1 1 "http://127.0.0.1:$port/" "$port"
        small_wall=$t_wall
    fi
    drop_site
fi

if want delay; then
    # The site's full addresses name the forwarder, so every request pays the round trip.
    serve_site site2000d 2000 "$proxy_port"
    python3 "$tools/delay_proxy.py" "$proxy_port" "$port" "$rtt_ms" &
    proxy_pid=$!
    for _ in $(seq 1 100); do
        curl -s -o /dev/null "http://127.0.0.1:$proxy_port/" && break
        sleep 0.1
    done
    three_runs "http://127.0.0.1:$proxy_port/" "$proxy_port"
    report "2,000 pages behind a ${rtt_ms} ms round trip ($(files) files)"
    kill "$proxy_pid" 2>/dev/null || true
    proxy_pid=""
    drop_site
fi

if want large; then
    serve_site site10000 10000 "$port"
    torvex_run ka1large 1 "http://127.0.0.1:$port/" "$port"
    echo "== 10,000 pages on loopback, KeepAlive=1 ($(files) files)"
    echo "torvex KA=1: wall $t_wall s, CPU $t_cpu s, peak $t_rss MB"
    [[ -n "$t_conn" ]] && echo "KA=1 $t_conn"
    echo "10,000-page run / 2,000-page run (wall): $(ratio "$t_wall" "$small_wall")"
    echo "check KA=1: $t_check"
    drop_site
fi
