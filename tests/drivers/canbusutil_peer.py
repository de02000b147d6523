"""Qt's canbusutil as an independent node: it hosts a bus and listens, and every frame
written through each driver library must reach it with identifier, length and data intact.

usage: canbusutil_peer.py LIBCANUSBDRV LIBIFCAN CANBUSUTIL
"""
import ctypes
import os
import queue
import re
import socket
import subprocess
import sys
import threading
import time

from drivertest import CAN_MESSAGE, CANMsg, free_port

failures = 0
SKIP = 77


def check(what, ok):
    global failures
    if not ok:
        failures += 1
        print(f"FAIL {what}")


# canbusutil prints standard identifiers right-aligned, extended ones as 8 digits.
LINE = re.compile(r"^(?P<id> {5}[0-9A-F]{3}|[0-9A-F]{8})\s+\[(?P<len>\d+)\]\s*(?P<rest>.*)$")


class Listener:
    def __init__(self, program, bus):
        env = dict(os.environ, QT_LOGGING_RULES="qt.canbus*=false")
        self.process = subprocess.Popen([program, "-l", "virtualcan", bus], env=env,
                                        stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def frames_until(self, end_id, timeout=5.0):
        """Frames (id, extended, len, data) up to and without the one with end_id."""
        frames = []
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=0.05)
            except queue.Empty:
                continue
            m = LINE.match(line)
            if not m:
                continue
            fid, ext = int(m["id"], 16), not m["id"].startswith(" ")
            data = bytes.fromhex(m["rest"]) if "Remote" not in m["rest"] else None
            if fid == end_id:
                return frames
            frames.append((fid, ext, int(m["len"]), data))
        return None

    def stop(self):
        self.process.kill()
        self.process.wait()


def wait_listening(port, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 0.1).close()
            return True
        except OSError:
            time.sleep(0.02)
    return False


def synchronise(listener, send, sync_id):
    """canbusutil joins its bus a little after it listens: send until one comes through."""
    for _ in range(100):
        send(sync_id, False, b"")
        if listener.frames_until(sync_id, timeout=0.05) is not None:
            # Drain the other sync frames still on their way.
            send(sync_id + 1, False, b"")
            listener.frames_until(sync_id + 1, timeout=2.0)
            return True
    return False


FRAMES = [(0x123, False, bytes([0x11, 0x22, 0x33])), (0x7FF, False, bytes(range(8))),
          (0x001, False, b""), (0x1ABCDEF0, True, bytes([0xDE, 0xAD, 0xBE, 0xEF])),
          (0x00000123, True, bytes([0x5A]))]


def exercise(name, listener, send, sync_id):
    check(f"{name}: canbusutil hears the library", synchronise(listener, send, sync_id))
    for fid, ext, data in FRAMES:
        send(fid, ext, data)
    send(0x7FE, False, b"")
    got = listener.frames_until(0x7FE)
    want = [(fid, ext, len(data), data) for fid, ext, data in FRAMES]
    check(f"{name}: canbusutil received {got}, wanted {want}", got == want)


def main():
    canusb_path, ifcan_path, program = sys.argv[1:4]
    if not os.path.exists(program):
        print(f"skipped: no {program}")
        sys.exit(SKIP)
    port = free_port()
    bus = f"tcp://127.0.0.1:{port}/can0"
    listener = Listener(program, bus)
    try:
        check("canbusutil hosts the bus", wait_listening(port))
        os.environ["CANUSB_ADAPTERS"] = f"PEERUSB1=virtualcan:{bus}"
        os.environ["IFCAN_PORTS"] = f"4=virtualcan:{bus}"

        usb = ctypes.CDLL(canusb_path)
        h = usb.canusb_Open(b"PEERUSB1", b"500", 0, 0xFFFFFFFF, 1)
        check(f"canusb_Open ({h})", h > 0)

        def canusb_send(fid, ext, data):
            m = CANMsg(fid, 0, 0x80 if ext else 0, len(data), (ctypes.c_uint8 * 8)(*data))
            check(f"canusb_Write {fid:#x}", usb.canusb_Write(h, ctypes.byref(m)) == 1)

        exercise("canusbdrv", listener, canusb_send, 0x700)
        usb.canusb_Close(h)

        ifc = ctypes.CDLL(ifcan_path)
        ifc.CanSendMessage.restype = ctypes.c_uint32
        p = ifc.CanOpenPort(b"IFCAN4")
        check(f"CanOpenPort ({p})", p != -1)
        check("CanActivate", ifc.CanActivate(p) == 0)

        def ifcan_send(fid, ext, data):
            m = CAN_MESSAGE(len(data), 1 if ext else 0, fid, (ctypes.c_uint8 * 8)(*data), 0)
            check(f"CanSendMessage {fid:#x}", ifc.CanSendMessage(p, ctypes.byref(m), 1) == 0)

        exercise("IFCan", listener, ifcan_send, 0x710)
        ifc.CanClosePort(p)
    finally:
        listener.stop()
    print(f"{'ok' if failures == 0 else 'FAILED'}: {failures} failure(s)")
    sys.exit(1 if failures else 0)


main()
