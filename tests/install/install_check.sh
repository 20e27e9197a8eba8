#!/usr/bin/env bash
# install_check.sh — the program as a user gets it: the Debian package names the libraries it
# needs, passes Debian's tools and the software centres' check, and its launcher shows the viewer
# from any folder. Usage: install_check.sh BUILD_FOLDER SOURCE_FOLDER
set -uo pipefail

build="$1"
source="$2"
work="$(mktemp -d)"
server_pid=""
program_pid=""
failures=0
cleanup() {
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null; fi
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT

# check SUCCEEDS COMMAND [WORDS...]: runs the shell command, which must succeed (1) or fail (0)
# and print each of the words; "silent" among them: it must print nothing at all, and "no P:" no
# pedantic remark.
check() {
    local succeeds="$1" command="$2" said status
    shift 2
    said="$(bash -o pipefail -c "$command" 2>&1)"
    status=$?
    local wrong=""
    if { [ "$succeeds" = 1 ] && [ "$status" -ne 0 ]; } ||
        { [ "$succeeds" = 0 ] && [ "$status" -eq 0 ]; }; then
        wrong="exit status $status"
    fi
    for words in "$@"; do
        case "$words" in
        silent) [ -z "$said" ] || wrong="$wrong; printed something" ;;
        "no P:") if grep -q '^P: ' <<<"$said"; then wrong="$wrong; pedantic remarks"; fi ;;
        *) grep -qxF -- "$words" <<<"$said" || wrong="$wrong; no line \"$words\"" ;;
        esac
    done
    if [ -n "$wrong" ]; then
        printf 'FAILED: %s\n  (%s)\n%s\n' "$command" "${wrong#; }" "$said"
        failures=$((failures + 1))
    fi
}

deb="$work/kalimbor.deb"
usr="$work/root/usr"
entry="$usr/share/applications/io.github.kalimbor.kalimbor.desktop"
page="$usr/share/man/man6/kalimbor.6.gz"
cpack="cd '$build' && env"
out="cpack -G DEB -B '$work/out'"

# Without the name and address of whoever builds it there is no package.
check 0 "$cpack -u DEBFULLNAME -u DEBEMAIL $out 2>&1 | grep -o -e DEBFULLNAME -e DEBEMAIL | sort -u" \
    DEBEMAIL DEBFULLNAME
check 1 "$cpack DEBFULLNAME='Kalimbor Installation Test' DEBEMAIL=install-test@example.org \
    $out >'$work/cpack.log' 2>&1 && mv '$work'/out/*.deb '$deb' || { cat '$work/cpack.log'; false; }" \
    silent
check 1 "dpkg-deb -f '$deb' Package Maintainer" "Package: kalimbor" \
    "Maintainer: Kalimbor Installation Test <install-test@example.org>"
check 1 "test \"\$(dpkg-deb -f '$deb' Architecture)\" = \"\$(dpkg --print-architecture)\"" silent
# The linked libraries, and the GL library and driver that SDL and Mesa load at run time.
check 1 "dpkg-deb -f '$deb' Depends | tr -s ' ,|' '\n\n\n'" libsdl2-2.0-0 libglu1-mesa \
    libopengl0 'libstdc++6' libc6 libgl1 libgl1-mesa-dri
check 1 "dpkg-deb -c '$deb' | awk '{ print \$6 }'" ./usr/share/icons/hicolor/scalable/apps/kalimbor.svg
# Debian's own verdict, with no override to hide behind.
check 1 "lintian --fail-on error,warning --display-level '>=warning' '$deb'"
check 1 "dpkg-deb -x '$deb' '$work/root'" silent
check 1 "desktop-file-validate '$entry'" silent
check 1 "grep -x -e Exec=kalimbor -e Icon=kalimbor '$entry'" Exec=kalimbor Icon=kalimbor
# The tree check also finds the desktop entry the metadata's id names.
check 1 "appstreamcli validate-tree --pedantic --strict --no-net '$work/root'" "no P:"
check 1 "zcat '$page' | groff -man -ww -z && man --warnings=w -l -Tutf8 -Z '$page' >/dev/null" \
    silent
# The font sheet carries fonts-dejavu-core's own notice, the program the licence of LICENSE.
check 1 "/usr/bin/python3 '$source/tests/install/copyright_verdicts.py' \
    '$usr/share/doc/kalimbor/copyright' '$source/LICENSE'" \
    "font notice: as fonts-dejavu-core's" "program: the Kalimbor developers, Expat" \
    "licence: Expat, as LICENSE"

# Started from the root folder, as a menu does: the launcher finds the data itself, and Escape
# ends it with exit code 0.
display_file="$work/display"
Xvfb -displayfd 3 -screen 0 800x600x16 -nolisten tcp -noreset 3>"$display_file" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 600); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$display_file")" SDL_VIDEODRIVER=x11
unset WAYLAND_DISPLAY
(cd / && exec "$usr/bin/kalimbor") >"$work/program.log" 2>&1 &
program_pid=$!
if window="$(timeout 60 xdotool search --sync --name '^Kalimbor v\.1\.4b$' | head -n 1)"; then
    xdotool windowfocus --sync "$window" keydown Escape
    timeout 60 tail --pid="$program_pid" -f /dev/null
fi
kill -KILL "$program_pid" 2>/dev/null  # still showing after a minute: Escape did not end it
wait "$program_pid"
status=$?
program_pid=""
if [ "$status" -ne 0 ]; then
    printf 'FAILED: the launcher from / (exit status %s)\n' "$status"
    cat "$work/program.log"
    failures=$((failures + 1))
fi

echo "$failures failed checks"
[ "$failures" -eq 0 ]
