"""Record files (.dat) for tests written in Python: 20001 frame slots of 21 bytes, then the
four trailer strings (16-bit length, code page 932)."""
import struct

SLOTS = 20001
SLOT = struct.Struct("<idB8s")
TRAILER = ("CANケストローバ", "ペルモラ技研", "CAN_Kestrova_REC_FILE_DAT")


def read_frames(path):
    """The frames of one file up to the first slot with an identifier below 1, as
    (id, time_ms, dlc, data) tuples."""
    with open(path, "rb") as f:
        blob = f.read(SLOTS * SLOT.size)
    frames = []
    for k in range(SLOTS):
        ident, time_ms, dlc, data = SLOT.unpack_from(blob, k * SLOT.size)
        if ident < 1:
            break
        frames.append((ident, time_ms, dlc, data))
    return frames


def write_frames(path, frames, comment="test"):
    """Writes (id, time_ms, dlc, data) tuples (at most 20001) as one record file."""
    assert len(frames) <= SLOTS
    out = bytearray()
    for ident, time_ms, dlc, data in frames:
        out += SLOT.pack(ident, float(time_ms), dlc, bytes(data).ljust(8, b"\0"))
    out += bytes(SLOT.size * (SLOTS - len(frames)))
    for text in TRAILER + (comment,):
        raw = text.encode("cp932")
        out += struct.pack("<H", len(raw)) + raw
    with open(path, "wb") as f:
        f.write(out)
