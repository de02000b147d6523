#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2 --timeout 600 -LE socketcan
cd ..
# The tests on a real kernel CAN stack (label socketcan), in Debian's kernel under QEMU;
# skipped with the reason when QEMU or the kernel package cannot be had.
bash scripts/kernel_tests.sh build
