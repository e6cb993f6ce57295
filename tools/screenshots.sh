#!/usr/bin/env bash
# Saves PNG pictures of the desktop program's main window, idle and during a run against a
# loopback site, of its dialogs (the new-project wizard's two pages, every tab of the property
# dialog, the Address List, the Start Address Option and New Address) and of its dial-up,
# countdown, timer and option windows, the tray menu, the tree's node kinds and Search and
# Restore, drawn on Qt's offscreen platform (no display needed).
# Output: docs/ by default, or the folder given as the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
source tools/deps.sh
torvex_install_missing "${TORVEX_PACKAGES[@]}"
cmake --preset debug >/dev/null
cmake --build --preset debug -j 2 --target shell_tests dialog_tests timer_window_tests \
    intake_tests tree_tests
mkdir -p "$out"
for binary in shell_tests dialog_tests timer_window_tests intake_tests tree_tests; do
    QT_QPA_PLATFORM=offscreen TORVEX_SCREENSHOTS="$(cd "$out" && pwd)" \
        ASAN_OPTIONS=detect_leaks=0 "build/debug/tests/shell/$binary" screenshots
done
ls -l "$out"/main-idle.png "$out"/main-running.png "$out"/wizard-step*.png \
    "$out"/properties-*.png "$out"/address-list.png "$out"/start-address-option.png \
    "$out"/new-address.png "$out"/dial-up.png "$out"/download-end.png "$out"/timer.png \
    "$out"/default-proxy.png "$out"/default-directory.png "$out"/options-dial-up.png \
    "$out"/options-hang-up.png "$out"/tray-menu.png "$out"/tree-kinds.png \
    "$out"/search-restore.png
