#!/usr/bin/env bash
# Takes a screenshot of the program under Xvfb with the simulator sending traffic on a
# private virtual bus. Needs imagemagick (import) and, for --record, xdotool.
#
#   scripts/screenshot.sh OUT.png [seconds before the shot]
#       the main window after start-up
#   scripts/screenshot.sh --record OUT.png
#       the live monitor during a recording: the settings of bench_monitor's picture (3 s
#       fades, a marker on bytes 2..4 of 1A0), Bt_Rec clicked, the shot taken while the
#       simulator's 5F0 is silent (6..10 s of its every 20 s) and bytes are fading
set -euo pipefail
cd "$(dirname "$0")/.."
record=0
if [ "${1:-}" = "--record" ]; then
    record=1
    shift
fi
out=${1:-docs/main-window.png}
wait_s=${2:-4}
bin=build/bin
port=26999
bus="virtualcan:tcp://127.0.0.1:$port/can0"
scratch=$(mktemp -d)
export CANUSB_ADAPTERS="A1B2C3D4=$bus"
export IFCAN_PORTS="1=$bus:PCI-485220"
export ProgramFiles="$scratch/programs"
export HOME="$scratch/home"   # recordings land on this desktop
mkdir -p "$ProgramFiles" "$HOME/Desktop"
if [ $record = 1 ]; then
    QT_QPA_PLATFORM=offscreen "$bin/bench_monitor" --settings
fi
"$bin/cansim" --interface "tcp://127.0.0.1:$port/can0" --mode traffic --duration 60 &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -rf "$scratch"' EXIT
sim_start=$(date +%s.%N)
sleep 1
if [ $record = 1 ]; then
    # The window sits at the top left of the bare X screen; Bt_Rec is the second button.
    actions="sleep 2; xdotool mousemove 87 97 click 1; sleep 0.3; xdotool mousemove 450 600;
      sleep \$(python3 -c 'import sys, time; print(max(0, float(sys.argv[1]) + 9.2 - time.time()))' $sim_start)"
else
    actions="sleep $wait_s"
fi
xvfb-run -a -s "-screen 0 1000x800x24" bash -c "
  $bin/cankestrova & app=\$!
  $actions
  import -window root -crop 900x720+0+0 +repage '$out'
  kill \$app"
echo "wrote $out"
