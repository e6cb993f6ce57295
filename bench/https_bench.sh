#!/usr/bin/env bash
# Mirrors a generated site over https with torvex-cli and wget, one after the other against the
# same nginx on loopback (a certificate of a test authority made here with openssl), and prints
# wall time, CPU time and peak memory of each, Torvex's ratios to wget, Torvex's handshakes
# (full and resumed) and what the mirror checker found in both mirrors.
#
#   bench/https_bench.sh [PAGES...]        (default: 2000)
#
# Needs the site tools of ../shared/bench (site_gen.py, mirror_check.py); TORVEX_BENCH_TOOLS
# names another folder. Mirrors are written to tmpfs (/dev/shm).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tools="${TORVEX_BENCH_TOOLS:-$here/../shared/bench}"
port="${TORVEX_BENCH_PORT:-18443}"
scratch="$(mktemp -d /dev/shm/tvx-https-bench.XXXXXX)"
chmod 755 "$scratch"   # nginx's workers read the site from here
nginx_pid=""
stop_nginx() {
    if [[ -n "$nginx_pid" ]] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -QUIT "$nginx_pid"
        while kill -0 "$nginx_pid" 2>/dev/null; do sleep 0.1; done
    fi
    nginx_pid=""
}
trap 'stop_nginx; rm -rf "$scratch"' EXIT

source "$here/tools/deps.sh"
torvex_install_missing "${TORVEX_PACKAGES[@]}" wget time bc

if [[ ! -x "$here/build/release/cli/torvex-cli" ]]; then
    (cd "$here" && cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null)
fi
cli="$here/build/release/cli/torvex-cli"

# The test authority and the server's certificate for 127.0.0.1.
pki="$scratch/pki"
mkdir -p "$pki"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj "/CN=Torvex bench CA" -keyout "$pki/ca.key" -out "$pki/ca.pem" 2>/dev/null
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -subj "/CN=127.0.0.1" -keyout "$pki/server.key" -out "$pki/server.csr" 2>/dev/null
echo "subjectAltName=IP:127.0.0.1" >"$pki/server.ext"
openssl x509 -req -in "$pki/server.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -set_serial 1 \
    -days 2 -extfile "$pki/server.ext" -out "$pki/server.pem" 2>/dev/null

start_nginx() {   # start_nginx ROOT
    local state="$scratch/nginx"
    mkdir -p "$state"
    cat >"$state/nginx.conf" <<CONF
daemon off;
worker_processes 2;
pid $state/nginx.pid;
error_log $state/error.log warn;
events { worker_connections 1024; }
http {
    types { text/html html htm php; text/css css; application/javascript js;
            image/png png; image/gif gif; image/jpeg jpg; }
    default_type application/octet-stream;
    access_log off;
    client_body_temp_path $state/body;
    proxy_temp_path $state/proxy;
    fastcgi_temp_path $state/fastcgi;
    uwsgi_temp_path $state/uwsgi;
    scgi_temp_path $state/scgi;
    ssl_session_cache shared:bench:10m;
    server {
        listen 127.0.0.1:$port ssl;
        root $1;
        ssl_certificate $pki/server.pem;
        ssl_certificate_key $pki/server.key;
        ssl_protocols TLSv1.2 TLSv1.3;
    }
}
CONF
    /usr/sbin/nginx -p "$state/" -c "$state/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 1 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
        sleep 0.05
    done
    echo "nginx did not start" >&2
    exit 1
}

source "$here/bench/measure.sh"

pages_list=("$@")
[[ ${#pages_list[@]} -eq 0 ]] && pages_list=(2000)

for pages in "${pages_list[@]}"; do
    site="$scratch/site$pages"
    manifest="$site.manifest.tsv"
    python3 "$tools/site_gen.py" "$site" --pages "$pages" --host "127.0.0.1:$port" >/dev/null
    # The site's full addresses name it over https, as a site served over https does.
    grep -rl "http://127.0.0.1:$port" "$site" | xargs -r sed -i "s#http://127.0.0.1:$port#https://127.0.0.1:$port#g"
    start_nginx "$site"

    export TORVEX_HOME="$scratch/home"
    mkdir -p "$TORVEX_HOME/Config"
    echo "TlsCaFiles=$pki/ca.pem" >"$TORVEX_HOME/Config/Torvex.conf"
    project="$scratch/tvx$pages"
    "$cli" new "$project" "https://127.0.0.1:$port/" Level=0 HostFilter=2 DownthreadNum=10 >/dev/null
    measure torvex "$cli" start "$project"
    t_wall=$wall t_cpu=$cpu t_rss=$rss_mb
    handshakes="$(grep -o 'Secure connections: .*' "$scratch/stderr.torvex" || echo 'Secure connections: none reported')"
    latest="$project/download/latest"
    ln -sfn "127.0.0.1+$port" "$latest/127.0.0.1_$port"
    t_check="$(check torvex "$latest")"

    measure wget wget --mirror --page-requisites --convert-links --no-parent -e robots=off -q \
        --ca-certificate="$pki/ca.pem" -P "$scratch/wget$pages" "https://127.0.0.1:$port/"
    w_wall=$wall w_cpu=$cpu w_rss=$rss_mb
    w_check="$(check wget "$scratch/wget$pages")"

    stop_nginx

    echo "== $pages pages over https ($(($(wc -l <"$manifest") - 1)) files)"
    printf '%-8s %8s %8s %10s\n' client "wall s" "CPU s" "peak MB"
    printf '%-8s %8s %8s %10s\n' torvex "$t_wall" "$t_cpu" "$t_rss"
    printf '%-8s %8s %8s %10s\n' wget "$w_wall" "$w_cpu" "$w_rss"
    echo "torvex/wget: wall $(echo "scale=2; $t_wall / $w_wall" | bc)  CPU $(echo "scale=2; $t_cpu / $w_cpu" | bc)"
    echo "torvex $handshakes"
    echo "check torvex: $t_check"
    echo "check wget:   $w_check"
    rm -rf "$project" "$scratch/wget$pages" "$site" "$manifest"
done
