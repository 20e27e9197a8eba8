#!/usr/bin/env bash
# setup.sh — installs the Debian packages Kalimbor needs (only those missing), then configures
# and builds it into build/: everything, or only the targets named as arguments (run.sh builds
# just the viewer and its data). Used by run.sh and test.sh; safe to run again at any time.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KALIMBOR_BUILD_DIR:-$root/build}"

install_missing_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$root/scripts/packages.txt")
    for package in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_kalimbor() {
    # KALIMBOR_CMAKE_ARGS: extra configure options (test.sh turns warnings into errors).
    # shellcheck disable=SC2086
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KALIMBOR_CMAKE_ARGS:-} >/dev/null
    local targets=()
    for target in "$@"; do
        targets+=(--target "$target")
    done
    cmake --build "$build" -j"$(nproc)" "${targets[@]}"
}

install_missing_packages
build_kalimbor "$@"
