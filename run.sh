#!/usr/bin/env bash
# Installs what is missing and builds the release build. Without arguments it starts the desktop
# program torvex (when there is a display); with arguments it runs torvex-cli with them.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
torvex_install_missing "${TORVEX_PACKAGES[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
if [ $# -eq 0 ]; then
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/shell/torvex ]; then
        exec build/release/shell/torvex
    fi
    if [ -x build/release/shell/torvex ]; then
        echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop" >&2
        echo "program torvex cannot open its window. The command-line program instead:" >&2
    else
        echo "The desktop program torvex was not built (Qt 6 Widgets was not found)." >&2
        echo "The command-line program instead:" >&2
    fi
    echo >&2
    exec build/release/cli/torvex-cli --help
fi
exec build/release/cli/torvex-cli "$@"
