#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; installs only
# what is missing, so it returns at once when everything is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  qt6-base-dev qt6-base-dev-tools qt6-serialbus-dev libqt6serialbus6-bin
  libgl-dev libgtest-dev
  fonts-noto-cjk xvfb xauth
  # conversion: LibreOffice Calc as the spreadsheet server, driven over UNO
  libreoffice-calc-nogui libreoffice-dev fonts-liberation2
  # peers and independent readers in tests: can-utils, an .xls reader
  can-utils python3-xlrd
  # independent readers and decoders in tests: python-can (ASC, BLF, TRC), canmatrix (DBC)
  python3-can python3-canmatrix
  # a real kernel CAN stack for the SocketCAN tests: Debian's kernel under QEMU
  qemu-system-x86 busybox-static cpio kmod iproute2
  # Qt's own dialogs in Japanese; bit rate and mode of SocketCAN interfaces; BLF compression
  qt6-translations-l10n libsocketcan2 zlib1g-dev
  # fuzzing and the sanitizer build
  clang libfuzzer-14-dev libclang-rt-14-dev
  # packaging: cpack -G DEB
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
