#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the virtual CAN bus with the
# bus simulator sending ECU traffic. Without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh

bin=build/bin
if [ ! -x "$bin/cankestrova" ]; then
  echo "built; the program itself is not there yet"
  exit 0
fi

sim_pid=
if [ -x "$bin/cansim" ]; then
  "$bin/cansim" --interface can0 --mode traffic --duration 0 &
  sim_pid=$!
  trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true' EXIT
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no display: starting under Xvfb"
  xvfb-run -a -s "-screen 0 1280x900x24" "$bin/cankestrova"
else
  "$bin/cankestrova"
fi
