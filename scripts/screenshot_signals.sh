#!/usr/bin/env bash
# Takes a screenshot of the live view with a CAN database under Xvfb: the simulator
# replays a recording of body and diagnosis frames (tests/data/dbc/jp_body_cp932.dbc) and
# a few other identifiers on a private virtual bus, Bt_Rec is clicked, then the BODY_STATUS
# line, so the signal pane shows its signals. Needs imagemagick (import) and xdotool.
#
#   scripts/screenshot_signals.sh [OUT.png]      default docs/monitor-signals.png
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/monitor-signals.png}
bin=build/bin
port=26998
bus="virtualcan:tcp://127.0.0.1:$port/can0"
scratch=$(mktemp -d)
export CANUSB_ADAPTERS="A1B2C3D4=$bus"
export IFCAN_PORTS="1=$bus:PCI-485220"
export ProgramFiles="$scratch/programs"
export HOME="$scratch/home"
mkdir -p "$ProgramFiles/pelmora/CanKestrova" "$HOME/Desktop"
trap 'rm -rf "$scratch"' EXIT
QT_QPA_PLATFORM=offscreen "$bin/bench_monitor" --settings
printf '[database]\nfile=%s\n' "$(pwd)/tests/data/dbc/jp_body_cp932.dbc" \
    > "$ProgramFiles/pelmora/CanKestrova/candb.ini"

# 40 s of traffic: BODY_STATUS every 100 ms (outside temperature and lamp mode changing now
# and then, a rolling counter), DIAG_MUX pages 1 and 2 every 500 ms, four other ECUs.
python3 - "$scratch/frames.txt" <<'PY'
import sys
lines = []
t_prev = 0
events = []
for ms in range(0, 40000, 10):
    if ms % 100 == 0:
        n = ms // 100
        temp = 400 + 250 + (n // 30) % 8            # (raw * 0.1 - 40) °C
        lamp = (n // 45) % 4
        b0 = 0x01 | (lamp << 4)
        events.append((ms, 0x1A0, [b0, (temp >> 4) & 0xFF, (temp & 0x0F) << 4, 0, 0, 0, 0,
                                   n % 16]))
    if ms % 500 == 0:
        n = ms // 500
        if n % 2 == 0:
            volt, amp = 13800 + (n % 7) * 10, (-150 + n % 5) & 0xFFFF
            events.append((ms, 0x5F0, [1, volt & 0xFF, volt >> 8, amp & 0xFF, amp >> 8, 0, 0, 0]))
        else:
            odo = 123456 + n // 10
            events.append((ms, 0x5F0, [2] + list(odo.to_bytes(4, 'little')) + [0, 0, 0]))
    if ms % 20 == 0:
        events.append((ms, 0x0C0, [0x10, (ms // 20) % 256, 0, 0x7F, 0, 0, 0, 0]))
    if ms % 50 == 0:
        events.append((ms, 0x260, [0x3C, 0x00, 0x12, (ms // 500) % 256]))
    if ms % 200 == 0:
        events.append((ms, 0x3E0, [0x01, 0x02, 0x03, 0x04, 0x05, 0x06]))
    if ms % 1000 == 0:
        events.append((ms, 0x7E8, [0x02, 0x41, 0x0D, 0x2A, 0, 0, 0, 0]))
for ms, ident, data in events:
    lines.append("%d %x %d %s" % (ms - t_prev, ident, len(data), " ".join("%x" % b for b in data)))
    t_prev = ms
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

"$bin/cansim" --interface "tcp://127.0.0.1:$port/can0" --mode host --duration 70 &
host=$!
trap 'kill $host 2>/dev/null || true; rm -rf "$scratch"' EXIT
sleep 1
# The window sits at the top left of the bare X screen; Bt_Rec is the second button. The
# BODY_STATUS line is the third of the table.
xvfb-run -a -s "-screen 0 1000x800x24" bash -c "
  $bin/cankestrova & app=\$!
  sleep 2; xdotool mousemove 87 97 click 1; sleep 0.5
  $bin/cansim --interface tcp://127.0.0.1:$port/can0 --mode sequence --frames $scratch/frames.txt &
  sleep 9; xdotool mousemove \${LINE_X:-60} \${LINE_Y:-262} click 1; sleep 6
  import -window root -crop 900x720+0+0 +repage '$out'
  kill \$app"
echo "wrote $out"
