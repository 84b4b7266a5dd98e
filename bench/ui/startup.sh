#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Launch-to-first-paint of Oskel's start-up and one hover repaint, a few runs in a row.
# Uses the current display, or a private Xvfb when there is none.
#   bench/ui/startup.sh [build folder] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-5}
probe=$build/bench/ui/oskel-startup-probe
cp "$build/bin/OskelRES.rcc" "$(dirname "$probe")/" 2>/dev/null || true
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  display=99
  while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  export DISPLAY=:$display
  Xvfb "$DISPLAY" -screen 0 1600x900x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
for run in $(seq "$runs"); do
  echo "run $run:"
  "$probe" --launched-at "$(date +%s%N)"
done
