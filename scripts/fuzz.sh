#!/usr/bin/env bash
# Builds the fuzz targets with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (clang) into build-fuzz/ and runs each for the given seconds (default 60), one after the
# other, on a copy of its checked-in corpus. A crash input is left in fuzz/crashes/<target>;
# once fixed, commit it there so the replay test keeps it fixed.
#   scripts/fuzz.sh [seconds] [target ...]     FUZZ_RUNS=n stops each after n inputs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(record config notebook driver_config bus_lines log_formats workbook blf trc dbc)
cc=${CC:-clang-14}
cxx=${CXX:-clang++-14}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCANKESTROVA_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
status=0
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work" "fuzz/crashes/$t"
  cp -n fuzz/corpus/$t/* "$work"/ 2>/dev/null || true
  dict=()
  [ -f fuzz/$t.dict ] && dict=(-dict="$root/fuzz/$t.dict")
  runs=()
  [ -n "${FUZZ_RUNS:-}" ] && runs=(-runs="$FUZZ_RUNS")
  echo "== $t: ${seconds} s"
  if ! build-fuzz/bin/fuzz_$t "$work" "${dict[@]}" "${runs[@]}" -max_total_time="$seconds" \
       -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$root/fuzz/crashes/$t/" 2>&1 | tee "build-fuzz/$t.log" \
       | grep -E '^(#[0-9]+[[:space:]]+DONE|stat::|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)'; then
    :
  fi
  if ! grep -q 'DONE' "build-fuzz/$t.log"; then
    echo "!! $t stopped early: see build-fuzz/$t.log"
    status=1
  fi
done
exit $status
