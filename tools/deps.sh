#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only those that are missing,
# so a second run starts at once. Sourced by run.sh and test.sh.

TORVEX_PACKAGES=(
    cmake ninja-build g++ pkg-config
    # TLS for https (libssl-dev), the system's trust store, and the openssl command with which
    # the tests make their certificate authority and server certificates.
    libssl-dev ca-certificates openssl
    # gzip and deflate reply bodies (zlib); the tests also compress with it.
    zlib1g-dev
    libgtest-dev libgmock-dev
    nginx
    dante-server microsocks tinyproxy
    python3-pyftpdlib
    python3
    # A real documentation site for the end-to-end copy test: the Sphinx-built HTML manual of
    # this package, served by nginx from /usr/share/developers-reference.
    developers-reference
    chromium
    # The desktop program and its offscreen tests: Qt 6 Widgets (with Qt Test), the platform
    # plugins (offscreen among them) and a font for the screenshots.
    qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
    # The public-suffix list, so that no server sets a cookie for a whole registry (".co.uk").
    libpsl-dev
    # The fuzz targets: clang with libFuzzer and its sanitizer run-times (tools/fuzz.sh).
    clang libclang-rt-dev
)

torvex_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq || true
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Builds the release build of the checkout in $1 without a word while it goes well; when the
# configuration or the build fails, its whole output goes to standard error and the caller ends.
torvex_build_release() {
    local root="$1"
    local log
    log="$(mktemp)"
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    if ! (cd "$root" && cmake --preset release && cmake --build --preset release -j "$jobs") \
        >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        echo "The build failed (its output is above)." >&2
        exit 1
    fi
    rm -f "$log"
}
