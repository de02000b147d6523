#!/usr/bin/env bash
# Takes a screenshot of the program under Xvfb with the simulator sending traffic on a
# private virtual bus: scripts/screenshot.sh OUT.png [seconds before the shot] [xdotool
# keys to press first]. Needs imagemagick (import) and xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/main-window.png}
wait_s=${2:-4}
bin=build/bin
port=26999
bus="virtualcan:tcp://127.0.0.1:$port/can0"
export CANUSB_ADAPTERS="A1B2C3D4=$bus"
export IFCAN_PORTS="1=$bus:PCI-485220"
export ProgramFiles=$(mktemp -d)
"$bin/cansim" --interface "tcp://127.0.0.1:$port/can0" --mode traffic --duration 60 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
sleep 1
xvfb-run -a -s "-screen 0 1000x800x24" bash -c "
  $bin/cankestrova & app=\$!
  sleep $wait_s
  ${SCREENSHOT_ACTIONS:-true}
  import -window root -crop 900x720+0+0 +repage '$out'
  kill \$app"
echo "wrote $out"
