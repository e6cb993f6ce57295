#!/usr/bin/env bash
# Installs what is missing and builds the release build, quietly: the build's output is shown
# (on standard error) only when it fails. Without arguments it starts the desktop program torvex
# (when there is a display); "install [PREFIX]" installs the programs (tools/install.sh); any
# other arguments go to torvex-cli. The caller's working directory is kept, so relative project
# folders are where the caller means them.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
source "$root/tools/deps.sh"
torvex_install_missing "${TORVEX_PACKAGES[@]}" >&2

if [ "${1:-}" = "install" ]; then
    shift
    exec "$root/tools/install.sh" "$@"
fi

torvex_build_release "$root"
if [ $# -eq 0 ]; then
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$root/build/release/shell/torvex" ]; then
        exec "$root/build/release/shell/torvex"
    fi
    if [ -x "$root/build/release/shell/torvex" ]; then
        echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop" >&2
        echo "program torvex cannot open its window. The command-line program instead:" >&2
    else
        echo "The desktop program torvex was not built (Qt 6 Widgets was not found)." >&2
        echo "The command-line program instead:" >&2
    fi
    echo >&2
    exec "$root/build/release/cli/torvex-cli" --help
fi
exec "$root/build/release/cli/torvex-cli" "$@"
