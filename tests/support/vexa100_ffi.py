"""libvexa100.so seen from outside: loaded with ctypes, both exports called by name."""
import ctypes
import sys
import time

lib = ctypes.CDLL(sys.argv[1])
fade = lib.ColorAttenuation
fade.argtypes = [ctypes.c_int32, ctypes.c_int32, ctypes.c_int32]
fade.restype = ctypes.c_int32
clock = lib.vx_timeGetTime
clock.argtypes = []
clock.restype = ctypes.c_double

failures = 0


def check(what, got, want):
    global failures
    if got != want:
        failures += 1
        print(f"FAIL {what}: got {got:#x}, want {want:#x}")


check("red at 1/2", fade(0x0000FF, 1, 2), 0x000080)
check("white at 1/2", fade(0xFFFFFF, 1, 2), 0x808080)
check("3/3 clears the top byte", fade(0x12345678, 3, 3), 0x00345678)
for colour in (0x0000FF, 0xFFFFFF, 0x123456, 0x7FFFFFFF):
    check(f"{colour:#x} at 0/5", fade(colour, 0, 5), 0)
check("zero denominator", fade(0x0000FF, 1, 0) & 0xFFFFFFFF, 0x80000000)

# Against the system's own monotonic clock read around the same calls, so a busy machine
# that oversleeps does not fail it: the library counts whole milliseconds of that clock.
m0 = time.monotonic()
a = clock()
time.sleep(0.050)
b = clock()
m1 = time.monotonic()
delta = b - a
if not (49 <= delta <= (m1 - m0) * 1000 + 1):
    failures += 1
    print(f"FAIL clock: two calls {(m1 - m0) * 1000:.1f} ms apart differ by {delta}")
if not (0 <= a <= 4294967295 and a == int(a)):
    failures += 1
    print(f"FAIL clock: {a} is not a whole unsigned 32-bit count")

passed = 8 - failures if failures < 8 else 0
print(f"{'ok' if failures == 0 else 'FAILED'}: {failures} failure(s)")
sys.exit(1 if failures else 0)
