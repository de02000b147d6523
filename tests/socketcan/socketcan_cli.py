"""The command line on a real kernel CAN stack, against can-utils as the independent peer.

usage: socketcan_cli.py BINDIR GROUP
  GROUP discovery | record | play | buscheck | faults | status

Runs only inside the test guest of scripts/kernel_tests.sh (CANKESTROVA_GUEST=1, vcan0 and
vcan1 up, no driver configuration): it takes interfaces down and removes them. Elsewhere it
exits 77 (skipped). Every row runs for both device families.
"""
import ctypes
import glob
import os
import re
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "common"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "drivers"))
import recordfile  # noqa: E402
from drivertest import CAN_MESSAGE, CANMsg  # noqa: E402

SKIP = 77
BIN = sys.argv[1] if len(sys.argv) > 1 else ""
CLI = os.path.join(BIN, "cankestrova-cli")
# (family, --device for vcan0, --device for vcan1)
FAMILIES = [("CANUSB", "SocketCAN-vcan0", "SocketCAN-vcan1"), ("Interface", "IFCAN1", "IFCAN2")]
failures = 0


def check(what, ok, detail=""):
    global failures
    if not ok:
        failures += 1
        print(f"FAIL {what} {detail}".rstrip(), flush=True)
    else:
        print(f"ok   {what}", flush=True)


def ip(*args):
    subprocess.run(["ip", "link", *args], check=False)


def env():
    e = dict(os.environ)
    for name in ("CANUSB_ADAPTERS", "IFCAN_PORTS"):
        e.pop(name, None)
    return e


class Cli:
    """cankestrova-cli in the background; its stderr is collected line by line."""

    def __init__(self, *args):
        self.lines = []
        self.proc = subprocess.Popen([CLI, *args], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, env=env(), text=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stderr:
            self.lines.append(line.rstrip("\n"))

    def wait_for(self, pattern, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if any(re.search(pattern, l) for l in self.lines):
                return True
            if self.proc.poll() is not None:
                self.reader.join(2)
                return any(re.search(pattern, l) for l in self.lines)
            time.sleep(0.05)
        return False

    def finish(self, timeout=120):
        # Only the reader thread reads stderr, so that no line escapes the checks.
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.reader.join(5)
        return self.proc.returncode

    @property
    def err(self):
        return "\n".join(self.lines)


class Dump:
    """candump -L on one interface, parsed when stopped: (time_s, id, data) tuples."""

    LINE = re.compile(r"^\((\d+\.\d+)\) (\S+) ([0-9A-F]+)#([0-9A-F]*)$")

    def __init__(self, interface):
        self.file = tempfile.NamedTemporaryFile("w+", dir="/tmp", delete=False)
        self.proc = subprocess.Popen(["candump", "-L", interface], stdout=self.file)
        time.sleep(0.3)

    def stop(self):
        time.sleep(0.3)
        self.proc.terminate()
        self.proc.wait()
        self.file.seek(0)
        frames = []
        for line in self.file:
            m = self.LINE.match(line.strip())
            if m:
                frames.append((float(m.group(1)), int(m.group(3), 16), bytes.fromhex(m.group(4))))
        os.unlink(self.file.name)
        return frames


def recorded(folder):
    frames = []
    for path in sorted(glob.glob(os.path.join(folder, "*.dat"))):
        frames += recordfile.read_frames(path)
    return frames


def cangen(interface, *args):
    return subprocess.Popen(["cangen", interface, *args])


# --------------------------------------------------------------------------------------

def group_discovery():
    out = subprocess.run([CLI, "devices"], capture_output=True, text=True, env=env())
    check("devices exits 0", out.returncode == 0, out.stderr)
    lines = out.stdout.splitlines()
    choices = [l.split("\t")[1] for l in lines if l.count("\t") >= 2 and l[0].isdigit()]
    items = [l.split("\t")[2] for l in lines if l.count("\t") >= 2 and l[0].isdigit()]
    for serial in ("SocketCAN-vcan0", "SocketCAN-vcan1"):
        check(f"CANUSB list holds {serial}", serial in choices, out.stdout)
    check("the interfaces come before the virtual bus",
          "VCAN0001" in choices and choices.index("VCAN0001") > choices.index("SocketCAN-vcan1"))
    for name in ("vcan0", "vcan1"):
        check(f"an Interface port shows {name}",
              any(i.startswith("Interface ") and i.endswith(f"({name})") for i in items), out.stdout)
    check("nothing ignored without configuration", not any(l.startswith("-") for l in lines))
    # A down interface stays in the list: the user must be able to pick it and be told.
    ip("set", "vcan1", "down")
    out = subprocess.run([CLI, "devices"], capture_output=True, text=True, env=env())
    ip("set", "vcan1", "up")
    check("a down interface is still listed", "SocketCAN-vcan1" in out.stdout, out.stdout)


def record_rows(counts):
    for (family, dev0, _), count in zip(FAMILIES, counts):
        with tempfile.TemporaryDirectory(dir="/tmp") as folder:
            cli = Cli("record", "--device", dev0, "--frames", str(count), "--duration", "240",
                      "--out", folder)
            ready = cli.wait_for("recording from")
            check(f"{family}: recording starts", ready, cli.err)
            dump = Dump("vcan0")
            gen = cangen("vcan0", "-g", "0.5", "-n", str(count), "-I", "123", "-L", "8", "-D", "i",
                         "-p", "10")
            gen.wait()
            rc = cli.finish(timeout=120)
            seen = dump.stop()
            frames = recorded(folder)
            check(f"{family}: record exits 0", rc == 0, cli.err)
            check(f"{family}: candump saw every frame", len(seen) == count, str(len(seen)))
            check(f"{family}: every frame recorded ({len(frames)} of {count})", len(frames) == count)
            if count >= recordfile.SLOTS:
                files = sorted(glob.glob(os.path.join(folder, "*.dat")))
                check(f"{family}: 20001 frames per file, the rest in the next",
                      [len(recordfile.read_frames(f)) for f in files]
                      == [recordfile.SLOTS, count - recordfile.SLOTS])
            n = min(len(frames), len(seen))
            same = all(frames[i][0] == seen[i][1] and frames[i][3][:frames[i][2]] == seen[i][2]
                       for i in range(n))
            check(f"{family}: identifiers and data in candump's order", same)
            if n:
                errors = sorted((abs(frames[i][1] - (seen[i][0] - seen[0][0]) * 1000.0), i)
                                for i in range(n))
                p99, worst = errors[int(0.99 * (n - 1))][0], errors[-1]
                # Record times are whole milliseconds since the first frame, from the
                # kernel's receive stamps, which candump reads too.
                check(f"{family}: times match candump's to the ms "
                      f"(p99 {p99:.3f} ms, worst {worst[0]:.3f} ms at frame {worst[1]})",
                      p99 <= 1.0 + 1e-6 and worst[0] <= 10.0)


def group_record():
    # A full file and the start of the next for one family, a shorter run for the other.
    record_rows([recordfile.SLOTS + 99, 5000])


def group_play():
    frames = [(0x100 + (i % 0x600), i * 1.0, 8, struct.pack("<IHBB", i, 0xBEEF, i & 0xFF, 7))
              for i in range(3000)]
    with tempfile.TemporaryDirectory(dir="/tmp") as folder:
        path = os.path.join(folder, "CR00000000-001.dat")
        recordfile.write_frames(path, frames)
        for family, _, dev1 in FAMILIES:
            dump = Dump("vcan1")
            cli = Cli("play", "--device", dev1, path)
            rc = cli.finish(timeout=120)
            seen = dump.stop()
            check(f"{family}: play exits 0", rc == 0, cli.err)
            check(f"{family}: candump got every frame ({len(seen)} of {len(frames)})",
                  len(seen) == len(frames))
            check(f"{family}: in order, unchanged",
                  [(f[0], f[3]) for f in frames] == [(s[1], s[2]) for s in seen[:len(frames)]])
            if len(seen) == len(frames):
                span = (seen[-1][0] - seen[0][0]) * 1000.0
                check(f"{family}: the recorded spacing holds ({span:.0f} ms for 2999 ms)",
                      abs(span - 2999.0) < 150.0)


def group_buscheck():
    ours = bytes.fromhex("DEADBEEF00000000")
    theirs = bytes.fromhex("1122334455667788")
    frames = [((0x100 if i % 2 == 0 else 0x200), i * 2.0, 8, ours) for i in range(600)]
    with tempfile.TemporaryDirectory(dir="/tmp") as folder:
        path = os.path.join(folder, "CR00000000-001.dat")
        recordfile.write_frames(path, frames)
        for family, dev0, _ in FAMILIES:
            gen = cangen("vcan0", "-g", "10", "-I", "200", "-L", "8", "-D", theirs.hex(), "-p", "10")
            dump = Dump("vcan0")
            cli = Cli("play", "--device", dev0, path)
            rc = cli.finish(timeout=120)
            gen.terminate()
            gen.wait()
            seen = dump.stop()
            check(f"{family}: play exits 0", rc == 0, cli.err)
            sent_100 = sum(1 for s in seen if s[1] == 0x100 and s[2] == ours)
            sent_200 = sum(1 for s in seen if s[1] == 0x200 and s[2] == ours)
            check(f"{family}: identifier 100 sent ({sent_100} of 300)", sent_100 == 300)
            check(f"{family}: identifier 200, which cangen sends, held back ({sent_200} sent)",
                  sent_200 == 0)


def expect_loss(family, cli, pattern, what):
    rc = cli.finish(timeout=60)
    check(f"{family}: {what}: exit code 3", rc == 3, f"rc={rc}\n{cli.err}")
    check(f"{family}: {what}: the message names it", re.search(pattern, cli.err) is not None,
          cli.err)
    check(f"{family}: {what}: the lost-device message follows", "機器が正常に動作していません" in cli.err)


def group_faults():
    long_file = [(0x300, i * 2.0, 8, bytes(8)) for i in range(10000)]
    with tempfile.TemporaryDirectory(dir="/tmp") as folder:
        play_path = os.path.join(folder, "CR00000000-001.dat")
        recordfile.write_frames(play_path, long_file)
        for family, dev0, dev1 in FAMILIES:
            # Down in the middle of a recording: what came in so far is written.
            out = os.path.join(folder, family + "-down")
            gen = cangen("vcan0", "-g", "2", "-I", "124", "-L", "8", "-p", "10")
            cli = Cli("record", "--device", dev0, "--duration", "60", "--out", out)
            cli.wait_for("recording from")
            time.sleep(1)
            ip("set", "vcan0", "down")
            expect_loss(family, cli, "SocketCAN インターフェース vcan0 が停止しました", "down mid-recording")
            gen.terminate()
            gen.wait()
            ip("set", "vcan0", "up")
            check(f"{family}: frames before the loss are written", len(recorded(out)) > 0)

            # Down in the middle of a playback (after the 3 s bus check).
            cli = Cli("play", "--device", dev0, play_path)
            cli.wait_for("playing")
            time.sleep(4)
            ip("set", "vcan0", "down")
            expect_loss(family, cli, "SocketCAN インターフェース vcan0 が停止しました", "down mid-playback")
            ip("set", "vcan0", "up")

            # Removed during a recording.
            cli = Cli("record", "--device", dev1, "--duration", "60", "--out", out)
            cli.wait_for("recording from")
            time.sleep(1)
            ip("del", "vcan1")
            expect_loss(family, cli, "SocketCAN インターフェース vcan1 が取り外されました", "removed")
            ip("add", "dev", "vcan1", "type", "vcan")
            ip("set", "vcan1", "up")

            # Down before the run starts: told how to bring it up.
            ip("set", "vcan1", "down")
            cli = Cli("record", "--device", dev1, "--duration", "20", "--out", out)
            expect_loss(family, cli, r"vcan1 は停止しています（状態: DOWN.*\n?.*ip link set vcan1 up",
                        "down at start")
            ip("set", "vcan1", "up")


def group_status():
    """Error frames the kernel delivers reach the status calls, never the frame queue."""
    CAN_ERR_FLAG, CAN_EFF_FLAG = 0x20000000, 0x80000000
    BUSOFF, CRTL, RESTARTED = 0x40, 0x04, 0x100
    raw = socket.socket(socket.AF_CAN, socket.SOCK_RAW, socket.CAN_RAW)
    raw.bind(("vcan0",))

    def error_frame(cls, data=bytes(8)):
        raw.send(struct.pack("=IB3x8s", CAN_ERR_FLAG | cls, 8, data))
        time.sleep(0.3)

    usb = ctypes.CDLL(os.path.join(BIN, "libcanusbdrv.so"))
    usb.canusb_Open.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint32,
                                ctypes.c_uint32, ctypes.c_uint32]
    h = usb.canusb_Open(b"SocketCAN-vcan0", b"500", 0, 0xFFFFFFFF, 1)
    msg = CANMsg()
    usb.canusb_Read(h, ctypes.byref(msg))
    error_frame(BUSOFF)
    check("CANUSB: a bus-off error frame is not data", usb.canusb_Read(h, ctypes.byref(msg)) == -7)
    check("CANUSB: bus off shows as CANSTATUS_BUS_ERROR", usb.canusb_Status(h) & 0x80 != 0)
    check("CANUSB: and stays until the controller recovers", usb.canusb_Status(h) & 0x80 != 0)
    error_frame(RESTARTED)
    check("CANUSB: a restart clears it", usb.canusb_Status(h) & 0x80 == 0)
    error_frame(CRTL, bytes([0, 0x20, 0, 0, 0, 0, 0, 0]))
    check("CANUSB: error passive", usb.canusb_Status(h) & 0x20 != 0)
    usb.canusb_Close(h)

    ifc = ctypes.CDLL(os.path.join(BIN, "libIFCan.so"))
    for name in ("CanReceiveMessage", "CanGetStatus", "CanActivate", "CanClosePort"):
        getattr(ifc, name).restype = ctypes.c_uint32
    port = ifc.CanOpenPort(b"IFCAN1")
    ifc.CanActivate(port)
    status = ctypes.c_uint32()
    error_frame(CRTL, bytes([0, 0x08, 0, 0, 0, 0, 0, 0]))
    m = CAN_MESSAGE()
    check("Interface: an error frame is not data",
          ifc.CanReceiveMessage(port, ctypes.byref(m), 1) == 0xC0000008)
    ifc.CanGetStatus(port, ctypes.byref(status))
    check("Interface: error warning in CanGetStatus", status.value & 0x1 != 0, hex(status.value))
    error_frame(BUSOFF)
    ifc.CanGetStatus(port, ctypes.byref(status))
    check("Interface: bus off in CanGetStatus", status.value & 0x4 != 0, hex(status.value))
    ifc.CanClosePort(port)
    raw.close()


GROUPS = {"discovery": group_discovery, "record": group_record, "play": group_play,
          "buscheck": group_buscheck, "faults": group_faults, "status": group_status}

if __name__ == "__main__":
    if os.environ.get("CANKESTROVA_GUEST") != "1" or not os.path.exists("/sys/class/net/vcan0"):
        print("skipped: runs only in the test guest of scripts/kernel_tests.sh")
        sys.exit(SKIP)
    GROUPS[sys.argv[2]]()
    sys.exit(1 if failures else 0)
