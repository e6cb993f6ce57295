# What the mirror benchmarks share; sourced after they set scratch, tools, manifest and port.

# measure LABEL COMMAND...: runs the command under /usr/bin/time; sets wall, cpu, rss_mb. The
# command's standard error is kept in $scratch/stderr.LABEL.
measure() {
    local label="$1"
    shift
    local stats="$scratch/time.$label"
    /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >/dev/null 2>"$scratch/stderr.$label" || true
    # time puts "Command exited with non-zero status" before the figures when that happens.
    read -r wall user sys rss < <(tail -1 "$stats")
    cpu="$(echo "$user + $sys" | bc)"
    rss_mb="$(echo "scale=1; $rss / 1024" | bc)"
}

check() {   # check LABEL OUTDIR: what the mirror checker finds in the mirror
    python3 "$tools/mirror_check.py" check "$manifest" "$2" "$port" --label "$1"
}
