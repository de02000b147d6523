#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs the test suite there; any report fails the run. Tests labelled "timing" measure the
# program's timing, which the sanitizers slow down, and are left out, as are those labelled
# "socketcan", which run only in the kernel guest of scripts/kernel_tests.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCANKESTROVA_SANITIZE=ON \
  "${launcher[@]}" >/dev/null
cmake --build build-asan -j2
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0}
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
cd build-asan
ctest --output-on-failure -j2 --timeout 900 -LE 'timing|socketcan'
