#!/bin/bash
# The guest side of scripts/kernel_tests.sh, started by the initramfs as the first process
# of the real kernel: brings up vcan0 and vcan1, runs the tests labelled "socketcan" and the
# SocketCAN benchmark from the read-only build folder (ctest writes only under /tmp), leaves
# the results on the writable share and powers the machine off.
build=$1
bench=${2:-1}
run=${3:-}
results=/tmp/results
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/tmp TMPDIR=/tmp XDG_RUNTIME_DIR=/tmp/xdg QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
export CANKESTROVA_GUEST=1
mkdir -p /tmp/xdg && chmod 700 /tmp/xdg
mount -t tmpfs run /run 2>/dev/null
mkdir -p /dev/shm /dev/pts
mount -t tmpfs shm /dev/shm
mount -t devpts devpts /dev/pts
ip link set lo up
for n in 0 1; do
  ip link add dev vcan$n type vcan && ip link set vcan$n up
done
echo "guest: $(uname -r), $(ip -br link | grep -c vcan) vcan interfaces"

if [ -n "$run" ]; then
  bash "$run" 2>&1 | tee "$results/run.log"
  echo "${PIPESTATUS[0]}" >"$results/rc"
  sync
  /bin/busybox poweroff -f
fi

mkdir -p /tmp/ctest
echo "subdirs(\"$build\")" >/tmp/ctest/CTestTestfile.cmake
cd /tmp/ctest
# The emulated processor can lose its host core for several milliseconds when the host is
# busy, which a row comparing arrival times may notice: a failed test gets one more run.
ctest -L socketcan --output-on-failure --timeout 300 --repeat until-pass:2 2>&1 | tee "$results/ctest.log"
rc=${PIPESTATUS[0]}

if [ -x "$build/bin/bench_socketcan" ] && [ "$bench" = 1 ]; then
  "$build/bin/bench_socketcan" 2>&1 | tee "$results/bench_socketcan.txt"
fi

echo "$rc" >"$results/rc"
sync
/bin/busybox poweroff -f
