"""What the driver scripts share: the libraries' message structures and a free port."""
import ctypes
import os
import subprocess


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
    """A loopback port for a script's private bus, from the tests' one free-port helper
    (tests/common/free_port.h), whose program CTest names in FREE_PORT_TOOL."""
    tool = os.environ.get("FREE_PORT_TOOL")
    if not tool:
        raise RuntimeError("FREE_PORT_TOOL is not set")
    return int(subprocess.run([tool], check=True, capture_output=True, text=True).stdout)
