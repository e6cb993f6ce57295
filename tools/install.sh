#!/usr/bin/env bash
# Builds the release build (quietly, as run.sh does) and installs Torvex under PREFIX (default
# ~/.local): the programs and libpellix.so with the files they read beside them in
# PREFIX/lib/torvex, links to torvex and torvex-cli in PREFIX/bin, and the manual page
# torvex-cli.1 in PREFIX/share/man/man1.
#   tools/install.sh [PREFIX]      (./run.sh install [PREFIX] does the same)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/deps.sh"
torvex_install_missing "${TORVEX_PACKAGES[@]}" >&2

prefix="${1:-$HOME/.local}"
case "$prefix" in
    /*) ;;
    *) prefix="$PWD/$prefix" ;;
esac
torvex_build_release "$root"
log="$(mktemp)"
if ! cmake --install "$root/build/release" --prefix "$prefix" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "Installing into $prefix failed (the output is above)." >&2
    exit 1
fi
rm -f "$log"
echo "Installed into $prefix: bin/torvex-cli, bin/torvex (when Qt 6 was found), lib/torvex/," \
    "share/man/man1/torvex-cli.1." >&2
case ":$PATH:" in
    *":$prefix/bin:"*) ;;
    *) echo "$prefix/bin is not on PATH; add it (for example in ~/.profile):" \
        "export PATH=\"$prefix/bin:\$PATH\"" >&2 ;;
esac
