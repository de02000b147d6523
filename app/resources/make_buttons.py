"""Draws the 24 transport button pictures (301-308 active, 401-408 available,
501-508 unavailable) as 48x48 PNG files. Run once; the PNGs are committed."""
import math
import struct
import zlib

SIZE = 48
SS = 4  # supersampling for smooth edges


def png(path, pixels):
    raw = b"".join(b"\0" + bytes(sum((list(p) for p in row), [])) for row in pixels)

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def inside_poly(x, y, pts):
    c = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            c = not c
        j = i
    return c


def shapes_for(kind):
    """Each shape is a predicate over (x, y) in a 0..48 square."""
    tri = lambda pts: (lambda x, y: inside_poly(x, y, pts))
    rect = lambda x0, y0, x1, y1: (lambda x, y: x0 <= x <= x1 and y0 <= y <= y1)
    circ = lambda cx, cy, r: (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r)
    ring = lambda cx, cy, r0, r1, a0, a1: (
        lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1
        and not (a0 <= math.degrees(math.atan2(cy - y, x - cx)) % 360 <= a1))
    return {
        "connect": [tri([(17, 12), (36, 24), (17, 36)])],                       # play
        "rec": [circ(24, 24, 10)],                                               # record
        "disconnect": [rect(14, 14, 34, 34)],                                    # stop
        "pause": [rect(15, 13, 21, 35), rect(27, 13, 33, 35)],                   # pause
        "head": [rect(12, 13, 16, 35), tri([(36, 13), (18, 24), (36, 35)])],     # to start
        "rewind": [tri([(24, 13), (8, 24), (24, 35)]), tri([(40, 13), (24, 24), (40, 35)])],
        "ff": [tri([(8, 13), (24, 24), (8, 35)]), tri([(24, 13), (40, 24), (24, 35)])],
        "repeat": [ring(24, 24, 8, 12.5, 10, 60), tri([(36, 14), (36, 26), (26, 20)])],
    }[kind]


# Symbol colour per button when it can be used.
COLOURS = {
    "connect": (40, 160, 60), "rec": (210, 40, 40), "disconnect": (50, 70, 160),
    "pause": (200, 140, 20), "head": (60, 90, 130), "rewind": (60, 90, 130),
    "ff": (60, 90, 130), "repeat": (120, 60, 170),
}
ORDER = ["connect", "rec", "disconnect", "pause", "head", "rewind", "ff", "repeat"]


def draw(kind, state):
    preds = shapes_for(kind)
    symbol = COLOURS[kind]
    if state == "unavailable":
        face, edge, symbol = (226, 226, 226), (190, 190, 190), (170, 170, 170)
    elif state == "available":
        face, edge = (246, 246, 246), (120, 120, 120)
    else:  # active: pressed in, lit background, white symbol
        face, edge = symbol, (30, 30, 30)
        symbol = (255, 255, 255)
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = px + (sx + 0.5) / SS
                    y = py + (sy + 0.5) / SS
                    # rounded square face with a 2 px edge
                    dx = max(abs(x - 24) - 18, 0)
                    dy = max(abs(y - 24) - 18, 0)
                    d = math.hypot(dx, dy)
                    if d > 4:
                        continue
                    col = edge if d > 2.2 else face
                    if any(p(x, y) for p in preds):
                        col = symbol
                    for i in range(3):
                        acc[i] += col[i]
                    acc[3] += 255
            n = SS * SS
            a = acc[3] / n
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                k = acc[3] / 255
                row.append(tuple(int(acc[i] / k) for i in range(3)) + (int(a),))
        rows.append(row)
    return rows


for k, kind in enumerate(ORDER, start=1):
    for base, state in ((300, "active"), (400, "available"), (500, "unavailable")):
        png(f"{base + k}.png", draw(kind, state))
