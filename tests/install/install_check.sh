#!/usr/bin/env bash
# install_check.sh — the program as a user gets it: the Debian package names the libraries it
# needs, passes Debian's tools and the software centres' check, and its launcher shows the viewer
# from any folder. Usage: install_check.sh BUILD_FOLDER SOURCE_FOLDER
set -uo pipefail

# --launch ROOT: the launcher started from /, then Escape; killed if still there after a minute.
if [ "${1:-}" = --launch ]; then
    [ -z "${ASAN_OPTIONS:-}" ] || export LD_PRELOAD=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so \
        ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"  # Mesa's driver kept for the leak checker
    (cd / && exec "$2/usr/bin/kalimbor") &
    window="$(timeout 60 xdotool search --sync --name '^Kalimbor v\.1\.4b$' | head -n 1)" &&
        xdotool windowfocus --sync "$window" keydown Escape
    timeout 60 tail --pid=$! -f /dev/null || kill -KILL $!
    wait $!
    exit
fi

build="$1" source="$2" work="$(mktemp -d)" failures=0
trap 'rm -rf "$work"' EXIT
deb="$work/kalimbor.deb" root="$work/root" page="$work/root/usr/share/man/man6/kalimbor.6.gz"
entry="$root/usr/share/applications/io.github.kalimbor.kalimbor.desktop"
cpack="cpack -G DEB -B '$work/out'"

# check [--silent] COMMAND [LINE...]: the shell command must succeed and print each LINE whole,
# or with --silent print nothing at all.
check() {
    local silent=0 said wrong=""
    if [ "$1" = --silent ]; then silent=1 && shift; fi
    local command="$1" && shift
    said="$(eval "$command" 2>&1)" || wrong="it failed"
    if [ "$silent" = 1 ] && [ -n "$said" ]; then wrong="it printed this"; fi
    for line in "$@"; do grep -qxF -- "$line" <<<"$said" || wrong="no line \"$line\""; done
    [ -z "$wrong" ] && return
    printf 'FAILED: %s\n  (%s)\n%s\n' "$command" "$wrong" "$said"
    failures=$((failures + 1))
}

check "cd '$build' && ! env -u DEBFULLNAME -u DEBEMAIL $cpack >'$work/refused' 2>&1 &&
    grep -o -e DEBFULLNAME -e DEBEMAIL '$work/refused' | sort -u" DEBEMAIL DEBFULLNAME
check "cd '$build' && DEBFULLNAME='Kalimbor Installation Test' DEBEMAIL=install-test@example.org \
    $cpack >'$work/made' 2>&1 || cat '$work/made'; mv '$work'/out/*.deb '$deb'"
check "dpkg-deb -f '$deb' Package Architecture Maintainer" "Package: kalimbor" \
    "Architecture: $(dpkg --print-architecture)" \
    "Maintainer: Kalimbor Installation Test <install-test@example.org>"
# The linked libraries, and the GL library and driver that SDL and Mesa load at run time.
check "dpkg-deb -f '$deb' Depends | tr -s ' ,|' '\n\n\n'" libsdl2-2.0-0 libglu1-mesa libopengl0 \
    'libstdc++6' libc6 libgl1 libgl1-mesa-dri
check "dpkg-deb -c '$deb' | awk '{ print \$6 }'" ./usr/share/icons/hicolor/scalable/apps/kalimbor.svg
check "lintian --fail-on error,warning --display-level '>=warning' '$deb'"
check --silent "dpkg-deb -x '$deb' '$root'"
check --silent "desktop-file-validate '$entry'"
check "grep -x -e Exec=kalimbor -e Icon=kalimbor '$entry'" Exec=kalimbor Icon=kalimbor
# The tree check also finds the desktop entry the metadata's id names; no pedantic remark either.
check "appstreamcli validate-tree --pedantic --strict --no-net '$root' >'$work/tree' &&
    ! grep '^P: ' '$work/tree'"
check --silent "zcat '$page' | groff -man -ww -z && man --warnings=w -l -Tutf8 -Z '$page' >/dev/null"
# The font sheet carries fonts-dejavu-core's own notice, the program the licence of LICENSE.
check "/usr/bin/python3 '$source/tests/install/copyright_verdicts.py' \
    '$root/usr/share/doc/kalimbor/copyright' '$source/LICENSE'" "font notice: as fonts-dejavu-core's" \
    "program: the Kalimbor developers, Expat" "licence: Expat, as LICENSE"

# Started from /, as a menu does, it finds its data; Escape ends it with 0 (--launch, above).
check "SDL_VIDEODRIVER=x11 xvfb-run -a -s '-screen 0 800x600x16' bash '$0' --launch '$root'"

echo "$failures failed checks"
[ "$failures" -eq 0 ]
