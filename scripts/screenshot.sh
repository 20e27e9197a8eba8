#!/usr/bin/env bash
# screenshot.sh — remakes docs/screenshot.png: the real viewer on a private 800 x 600 X screen,
# turned towards the yard and looking at the horizon with real pointer motion, then ended with
# Escape. Sets Kalimbor up first if needed (scripts/setup.sh). Usage: screenshot.sh [output.png]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KALIMBOR_BUILD_DIR:-$root/build}"
output="${1:-$root/docs/screenshot.png}"

# The packages and a first build come from setup.sh; after that only the viewer and its data are
# brought up to date, so that work in progress elsewhere in the tree does not stand in the way.
if [ ! -x "$build/kalimbor" ] || ! command -v xdotool >/dev/null || ! command -v import >/dev/null ||
    ! command -v Xvfb >/dev/null; then
    "$root/scripts/setup.sh"
fi
cmake --build "$build" --target kalimbor kalimbor_data -j"$(nproc)" >/dev/null

server_pid=""
program_pid=""
cleanup() {
    if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid"; fi
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A free display number, chosen by the server itself.
display_file="$(mktemp)"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$display_file")"
rm -f "$display_file"
export SDL_VIDEODRIVER=x11
unset WAYLAND_DISPLAY

(cd "$build/data" && exec ../kalimbor) &
program_pid=$!
if ! timeout 30 xdotool search --sync --name '^Kalimbor v\.1\.4b$' >/dev/null; then
    echo "screenshot: the viewer's window did not appear" >&2
    exit 1
fi
sleep 1 # the eye rises to standing height

# The program reads the pointer once a frame and puts it back in the middle, so every move is a
# turn. Small steps, a few frames apart, as a hand moves a mouse.
step_pointer() { # dx dy count
    for _ in $(seq "$3"); do
        xdotool mousemove $((400 + $1)) $((300 + $2))
        sleep 0.05
    done
}

# The first row below the overlay's top lines where the ground (or what stands on it) begins: the
# median over a few columns of the first run of six lit pixels. Rain streaks are one pixel wide
# and never make such a run across a column.
horizon_row() {
    local rows=()
    for column in 560 620 680 740; do
        rows+=("$(import -window root -crop "1x560+$column+30" -depth 8 gray:- |
            od -An -v -tu1 -w1 |
            awk 'BEGIN { row = 560 } { run = $1 > 4 ? run + 1 : 0 } run == 6 { row = NR - 6; exit } END { print row + 30 }')")
    done
    printf '%s\n' "${rows[@]}" | sort -n | sed -n 3p
}

# Turn right towards the hangars and the boxes, then raise the eyes from the ground at the feet
# until the horizon lies about a tenth of the screen above the middle, whatever pointer moves the
# program did not see.
step_pointer 10 0 12
for _ in $(seq 80); do
    row="$(horizon_row)"
    if [ "$row" -lt 225 ]; then
        step_pointer 0 -5 1
    elif [ "$row" -gt 265 ]; then
        step_pointer 0 5 1
    else
        break
    fi
done
sleep 1 # the turn and pitch rates die away

mkdir -p "$(dirname "$output")"
import -window root -depth 8 "$output"

xdotool keydown Escape
for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
xdotool keyup Escape
wait "$program_pid" || {
    echo "screenshot: the viewer ended with an error" >&2
    exit 1
}
program_pid=""
echo "screenshot: $output ($(stat -c %s "$output") bytes)"
