#!/usr/bin/env bash
# Runs the tests labelled "socketcan" inside a real Linux kernel: Debian's own kernel,
# booted under QEMU with software emulation, the host's root mounted read-only over 9p, and
# vcan0/vcan1 with can-utils beside the program. Nothing is installed on this machine: the
# kernel package is downloaded with apt-get into the build folder and unpacked there.
#
#   bash scripts/kernel_tests.sh [build-folder]     (default: build)
#
# Needs qemu-system-x86, busybox-static, cpio, kmod and can-utils (scripts/setup.sh) and the
# kernel package from the Debian archive; without them the label is skipped with the reason.
# The guest's results (ctest's output and exit code) land in <build>/kernel/results.
# KERNEL_TESTS_TIMEOUT (seconds, default 900) bounds the whole guest run; KERNEL_TESTS_BENCH=0
# leaves out the benchmark; KERNEL_TESTS_RUN=<script> runs that bash script in the guest
# instead of the tests (to try something by hand; its output is in results/run.log).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$build/kernel
mkdir -p "$work"

skip() {
  echo "socketcan tests skipped: $*"
  exit 0
}

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 not found (package qemu-system-x86)"
command -v cpio >/dev/null || skip "cpio not found (package cpio)"
busybox=/bin/busybox
if ! [ -x "$busybox" ] || ! file -L "$busybox" 2>/dev/null | grep -q 'statically linked'; then
  skip "no statically linked busybox (package busybox-static)"
fi
command -v candump >/dev/null || skip "can-utils not found"
[ -f "$build/CTestTestfile.cmake" ] || skip "no build in $build"

# The kernel the Debian release ships, unpacked once into the build folder.
package=$(apt-cache depends linux-image-amd64 2>/dev/null \
  | awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$package" ] || skip "the archive names no kernel package (apt-cache depends linux-image-amd64)"
version=${package#linux-image-}
kernel=$work/$version
if ! [ -f "$kernel/vmlinuz" ]; then
  rm -rf "$kernel.tmp" && mkdir -p "$kernel.tmp/deb"
  if ! (cd "$kernel.tmp/deb" && apt-get download "$package" >/dev/null 2>&1); then
    rm -rf "$kernel.tmp"
    skip "cannot download $package"
  fi
  dpkg-deb -x "$kernel.tmp"/deb/*.deb "$kernel.tmp/root"
  mkdir -p "$kernel.tmp/modules"
  cp "$kernel.tmp/root/boot/vmlinuz-$version" "$kernel.tmp/vmlinuz"
  for m in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci \
           netfs fscache 9pnet 9pnet_virtio 9p can can-raw can-dev vcan; do
    found=$(find "$kernel.tmp/root/lib/modules/$version" -name "$m.ko*" | head -n 1)
    [ -n "$found" ] || { rm -rf "$kernel.tmp"; skip "module $m missing from $package"; }
    cp "$found" "$kernel.tmp/modules/"
  done
  rm -rf "$kernel.tmp/root" "$kernel.tmp/deb"
  rm -rf "$kernel" && mv "$kernel.tmp" "$kernel"
fi

# A busybox initramfs: the modules in order, the host's root over 9p, then the test script.
initrd=$work/initrd
rm -rf "$initrd" && mkdir -p "$initrd"/{bin,dev,proc,sys,newroot,modules}
cp "$busybox" "$initrd/bin/busybox"
cp "$kernel"/modules/* "$initrd/modules/"
cat >"$initrd/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci \
         netfs fscache 9pnet 9pnet_virtio 9p can can-raw can-dev vcan; do
  f=$(ls /modules/$m.ko* 2>/dev/null | head -n 1)
  insmod "$f" || echo "guest: cannot load $m"
done
arg() { tr ' ' '\n' </proc/cmdline | sed -n "s/^cankestrova\.$1=//p"; }
script=$(arg script) build=$(arg build) bench=$(arg bench) run=$(arg run)
# The host's root does not change under a guest run: cached, a library page is read over 9p
# once, not by every process that maps it (a first call into a cold page took milliseconds).
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 hostroot /newroot \
  || { echo "guest: no host root"; poweroff -f; }
mount -t tmpfs -o mode=1777 tmp /newroot/tmp
mkdir -p /newroot/tmp/results
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 results /newroot/tmp/results \
  || echo "guest: no results share"
mount --move /dev /newroot/dev
mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
exec switch_root /newroot /bin/bash "$script" "$build" "$bench" "$run"
INIT
chmod +x "$initrd/init"
(cd "$initrd" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.cpio.gz"

results=$work/results
rm -rf "$results" && mkdir -p "$results"
timeout=${KERNEL_TESTS_TIMEOUT:-900}
if [ -n "${KERNEL_TESTS_RUN:-}" ]; then
  KERNEL_TESTS_RUN=$(realpath "$KERNEL_TESTS_RUN")
fi
echo "socketcan tests: booting $version under QEMU (software emulation)"
# The guest reads its clock from the processor's counter, as a real machine does: left to
# itself it picks the emulated HPET, where every clock read is a system call and a trap.
# KERNEL_TESTS_APPEND adds kernel parameters of your own.
status=0
timeout --foreground -k 10 "$timeout" qemu-system-x86_64 -accel tcg -cpu max -smp 2 -m 2048 \
  -nographic -no-reboot -nic none -monitor none -serial stdio \
  -kernel "$kernel/vmlinuz" -initrd "$work/initrd.cpio.gz" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 clocksource=tsc tsc=reliable ${KERNEL_TESTS_APPEND:-} cankestrova.script=$root/scripts/kernel_guest.sh cankestrova.build=$build cankestrova.bench=${KERNEL_TESTS_BENCH:-1} cankestrova.run=${KERNEL_TESTS_RUN:-}" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$results,mount_tag=results,security_model=none,multidevs=remap" \
  </dev/null || status=$?
if [ "$status" -eq 124 ]; then
  echo "socketcan tests: the guest did not finish within $timeout s" >&2
  exit 1
fi
if ! [ -f "$results/rc" ]; then
  echo "socketcan tests: the guest left no result (QEMU exit $status)" >&2
  exit 1
fi
rc=$(cat "$results/rc")
echo "socketcan tests: guest ctest exit code $rc"
exit "$rc"
