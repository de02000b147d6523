"""The driver libraries seen from outside: loaded with ctypes, no Qt application object
in the process, every entry point called by name with the vendor records.

usage: drivers_ffi.py LIBCANUSBDRV LIBIFCAN MODE
  MODE default  the devices offered without configuration
  MODE bus      two handles of each library exchanging frames on a private bus
"""
import ctypes
import os
import sys
import time

from drivertest import CAN_MESSAGE, CANMsg, free_port

failures = 0


def check(what, ok):
    global failures
    if not ok:
        failures += 1
        print(f"FAIL {what}")


class CAN_PORT_INFORMATION(ctypes.Structure):
    _fields_ = [(n, ctypes.c_uint32) for n in (
        "ulStructLength", "ulVendorID", "ulDeviceID", "ulSubsystemID", "ulRevisionID",
        "ulBoardID", "ulModelNumber", "ulChannelNumber", "ulPhysicalLayer")]


class CAN_CONFIG(ctypes.Structure):
    _fields_ = [(n, ctypes.c_uint32) for n in (
        "ulMode", "ulAcceptanceCode", "ulAcceptanceMask", "ulFilterMode", "ulTransmitRetry",
        "ulReserved", "ulBitTiming")]


def bind(canusb_path, ifcan_path):
    usb = ctypes.CDLL(canusb_path)
    for name, args in [("canusb_getFirstAdapter", [ctypes.c_char_p, ctypes.c_int]),
                       ("canusb_getNextAdapter", [ctypes.c_char_p, ctypes.c_int]),
                       ("canusb_Open", [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint32,
                                        ctypes.c_uint32, ctypes.c_uint32]),
                       ("canusb_Close", [ctypes.c_int32]),
                       ("canusb_Read", [ctypes.c_int32, ctypes.POINTER(CANMsg)]),
                       ("canusb_Write", [ctypes.c_int32, ctypes.POINTER(CANMsg)]),
                       ("canusb_VersionInfo", [ctypes.c_int32, ctypes.c_char_p])]:
        getattr(usb, name).argtypes = args
        getattr(usb, name).restype = ctypes.c_int
    ifc = ctypes.CDLL(ifcan_path)
    for name, args in [("CanOpenPort", [ctypes.c_char_p]),
                       ("CanClosePort", [ctypes.c_int32]),
                       ("CanGetPortInformation", [ctypes.c_int32,
                                                  ctypes.POINTER(CAN_PORT_INFORMATION)]),
                       ("CanGetConfig", [ctypes.c_int32, ctypes.POINTER(CAN_CONFIG)]),
                       ("CanSetConfig", [ctypes.c_int32, ctypes.POINTER(CAN_CONFIG)]),
                       ("CanActivate", [ctypes.c_int32]),
                       ("CanDeactivate", [ctypes.c_int32]),
                       ("CanReceiveMessage", [ctypes.c_int32, ctypes.POINTER(CAN_MESSAGE),
                                              ctypes.c_uint32]),
                       ("CanSendMessage", [ctypes.c_int32, ctypes.POINTER(CAN_MESSAGE),
                                           ctypes.c_uint32])]:
        getattr(ifc, name).argtypes = args
        getattr(ifc, name).restype = ctypes.c_int32 if name == "CanOpenPort" else ctypes.c_uint32
    return usb, ifc


def wait_for(poll, timeout=3.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if poll():
            return True
        time.sleep(0.001)
    return False


def default_devices(usb, ifc):
    os.environ.pop("CANUSB_ADAPTERS", None)
    os.environ.pop("IFCAN_PORTS", None)
    serial = ctypes.create_string_buffer(32)
    count = usb.canusb_getFirstAdapter(serial, 32)
    check(f"one default adapter (got {count})", count == 1)
    check(f"serial of 7 or more characters (got {serial.value!r})", len(serial.value) >= 7)
    check("list ends", usb.canusb_getNextAdapter(serial, 32) <= 0)
    h = ifc.CanOpenPort(b"IFCAN1")
    check("IFCAN1 by default", h != -1)
    check("no IFCAN200", ifc.CanOpenPort(b"IFCAN200") == -1)
    info = CAN_PORT_INFORMATION()
    check("port information", ifc.CanGetPortInformation(h, ctypes.byref(info)) == 0)
    check("presents a PCI-485220",
          (info.ulDeviceID, info.ulSubsystemID, info.ulStructLength) == (4852, 8340, 36))
    check("close", ifc.CanClosePort(h) == 0)


def private_bus(usb, ifc):
    bus = f"tcp://127.0.0.1:{free_port()}/can0"
    os.environ["CANUSB_ADAPTERS"] = f"FFIUSB01=virtualcan:{bus};FFIUSB02=virtualcan:{bus}"
    os.environ["IFCAN_PORTS"] = f"1=virtualcan:{bus};2=virtualcan:{bus}"
    a = usb.canusb_Open(b"FFIUSB01", b"500", 0, 0xFFFFFFFF, 1)
    b = usb.canusb_Open(b"FFIUSB02", b"500", 0, 0xFFFFFFFF, 1)
    check(f"two CANUSB handles ({a}, {b})", a > 0 and b > 0)
    version = ctypes.create_string_buffer(32)
    check("version text", usb.canusb_VersionInfo(a, version) >= 1 and len(version.value) < 32)
    p1 = ifc.CanOpenPort(b"IFCAN1")
    p2 = ifc.CanOpenPort(b"IFCAN2")
    check("two Interface ports", p1 != -1 and p2 != -1)
    for p in (p1, p2):
        config = CAN_CONFIG()
        check("get config", ifc.CanGetConfig(p, ctypes.byref(config)) == 0)
        config.ulMode, config.ulBitTiming = 0, 295
        check("set config", ifc.CanSetConfig(p, ctypes.byref(config)) == 0)
        check("activate", ifc.CanActivate(p) == 0)
    time.sleep(0.15)

    frames = [(0x123, 0, bytes([1, 2, 3])), (0x7FF, 0, bytes(range(8))), (0x10, 0, b""),
              (0x1ABCDEF0, 0x80, bytes([0xAA, 0x55]))]
    for fid, flags, data in frames:
        m = CANMsg(fid, 0, flags, len(data), (ctypes.c_uint8 * 8)(*data))
        check(f"write {fid:#x}", usb.canusb_Write(a, ctypes.byref(m)) == 1)
    for fid, flags, data in frames:
        got = CANMsg()
        check(f"read {fid:#x}", wait_for(lambda: usb.canusb_Read(b, ctypes.byref(got)) == 1))
        check(f"intact {fid:#x}: {got.id:#x} {got.flags:#x} {bytes(got.data)[:got.len]!r}",
              (got.id, got.flags, got.len, bytes(got.data)[:got.len])
              == (fid, flags, len(data), data))
        check(f"time stamp below 60000 ({got.timestamp})", got.timestamp < 60000)
        msg = CAN_MESSAGE()
        check(f"Interface port sees {fid:#x}",
              wait_for(lambda: ifc.CanReceiveMessage(p1, ctypes.byref(msg), 1) == 0)
              and msg.ulID == fid and bytes(msg.ucData)[:msg.ulLength] == data)
        check(f"time stamp below 429491000 ({msg.ulTimeStamp})", msg.ulTimeStamp < 429491000)
        ifc.CanReceiveMessage(p2, ctypes.byref(msg), 1)

    m = CANMsg(0x100, 0, 0, 9)
    check("len 9 refused", usb.canusb_Write(a, ctypes.byref(m)) == -6)
    send = CAN_MESSAGE(8, 0, 0x321, (ctypes.c_uint8 * 8)(*range(8)), 0)
    check("Interface send", ifc.CanSendMessage(p2, ctypes.byref(send), 1) == 0)
    got = CANMsg()
    check("CANUSB reads the Interface frame",
          wait_for(lambda: usb.canusb_Read(a, ctypes.byref(got)) == 1) and got.id == 0x321
          and bytes(got.data) == bytes(range(8)))
    check("bad handle", usb.canusb_Read(12345, ctypes.byref(got)) == -4)
    check("close", usb.canusb_Close(a) == 1 and ifc.CanClosePort(p1) == 0)
    # b and p2 stay open: leaving without closing must not crash the process.


def main():
    usb, ifc = bind(sys.argv[1], sys.argv[2])
    {"default": default_devices, "bus": private_bus}[sys.argv[3]](usb, ifc)
    print(f"{'ok' if failures == 0 else 'FAILED'}: {failures} failure(s)")
    sys.exit(1 if failures else 0)


main()
