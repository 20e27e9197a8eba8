#!/usr/bin/env bash
# run.sh — sets Kalimbor up on this machine if needed and starts the viewer from its data folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" kalimbor
cd "${KALIMBOR_BUILD_DIR:-$root/build}/data"
exec ../kalimbor
