#!/usr/bin/env bash
# The conversion dialog after a folder conversion, under Xvfb: three record files, the
# program started on a private virtual bus, ファイル > ファイル変換 opened, 変換 pressed.
# Needs imagemagick (import), xdotool and LibreOffice.
#
#   scripts/screenshot_conversion.sh [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/conversion-dialog.png}
bin=build/bin
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bus="virtualcan:tcp://127.0.0.1:26998/can0"
export CANUSB_ADAPTERS="A1B2C3D4=$bus"
export ProgramFiles="$scratch/programs"
export HOME="$scratch/home"
mkdir -p "$ProgramFiles" "$HOME/Desktop"
QT_QPA_PLATFORM=offscreen "$bin/bench_conversion" --settings "$scratch/work"
xvfb-run -a -s "-screen 0 1000x800x24" bash -c "
  $bin/cankestrova & app=\$!
  sleep 3
  xdotool mousemove 40 11 click 1; sleep 0.7; xdotool mousemove 60 36 click 1; sleep 1.5
  dialog=\$(xdotool search --name 'ファイル変換' | tail -1)
  xdotool windowmove \$dialog 360 150; sleep 0.5
  xdotool windowfocus \$dialog; xdotool key Return
  for i in \$(seq 120); do [ \$(ls '$scratch/work/out' | wc -l) -ge 3 ] && break; sleep 0.5; done
  sleep 6
  import -window root -crop 1000x800+0+0 +repage '$out'
  kill \$app"
ls "$scratch/work/out"
echo "wrote $out"
