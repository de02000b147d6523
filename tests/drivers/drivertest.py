"""What the driver scripts share: the libraries' message structures and a free port."""
import ctypes
import random
import socket


class CANMsg(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("id", ctypes.c_uint32), ("timestamp", ctypes.c_uint32),
                ("flags", ctypes.c_uint8), ("len", ctypes.c_uint8),
                ("data", ctypes.c_uint8 * 8)]


class CAN_MESSAGE(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("ulLength", ctypes.c_uint32), ("ulFlags", ctypes.c_uint32),
                ("ulID", ctypes.c_uint32), ("ucData", ctypes.c_uint8 * 8),
                ("ulTimeStamp", ctypes.c_uint32)]


def free_port():
    """A loopback port for a script's private bus, chosen below the ephemeral range.

    A port from the ephemeral range (32768 and up) can be held at any moment as the source
    port of another test's connection; the bus server then cannot listen on it. The fixed
    test ports live in 26000..27999, so random ones come from 28000..32699.
    """
    for _ in range(200):
        port = random.randrange(28000, 32700)
        with socket.socket() as s:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                s.bind(("127.0.0.1", port))
                s.listen(1)
            except OSError:
                continue
            return port
    raise RuntimeError("no free loopback port")
