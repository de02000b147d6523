#!/usr/bin/env bash
# Takes a picture of each settings window under Xvfb: the program is started on a private
# virtual bus, each window is opened from the ツール menu with the keyboard, photographed
# and closed again with Escape. Needs imagemagick (import) and xdotool.
#
#   scripts/screenshot_dialogs.sh [OUT_FOLDER]     (default docs/)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
bin=build/bin
port=26997
bus="virtualcan:tcp://127.0.0.1:$port/can0"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export CANUSB_ADAPTERS="A1B2C3D4=$bus"
export IFCAN_PORTS="1=$bus:PCI-485220"
export ProgramFiles="$scratch/programs"
export HOME="$scratch/home"
export XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$ProgramFiles" "$HOME/Desktop" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Each window: its menu key, the words of its caption, the picture's name.
shots="s:共通設定:settings-common.png e:拡張機能:settings-extended.png w:保存機能:settings-save.png"
xvfb-run -a -s "-screen 0 1000x800x24" bash -c "
  $bin/cankestrova & app=\$!
  sleep 3
  for shot in $shots; do
    IFS=: read -r key name file <<< \"\$shot\"
    xdotool mousemove 100 10 click 1; sleep 0.4
    xdotool key \$key; sleep 1
    id=\$(xdotool search --name \"\$name\" | tail -1)
    import -window \"\$id\" '$out'/\"\$file\"
    xdotool key Escape; sleep 0.5
  done
  kill \$app"
echo "wrote $out/settings-common.png, settings-extended.png, settings-save.png"
