#!/usr/bin/env bash
# Installs what is missing, builds the release build and runs torvex-cli with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
torvex_install_missing "${TORVEX_PACKAGES[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
if [ -x build/release/cli/torvex-cli ]; then
    exec build/release/cli/torvex-cli "$@"
fi
echo "Built the core library (build/release). The command-line program torvex-cli and the" >&2
echo "desktop program torvex are not there yet; ./test.sh runs the test suite." >&2
