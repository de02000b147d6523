#!/usr/bin/python3
"""Decodes payloads with python3-canmatrix, the independent decoder of the DBC tests.

usage: canmatrix_decode.py DBC ENCODING PAYLOADS SEED

For every message canmatrix reads, PAYLOADS different payloads of the message's size (fewer for a short message): all zeros,
all ones, each signal's top bit alone, each multiplexor page, then random ones. One line a
decoded signal, tab-separated: id extended payload-hex signal physical-repr value-name
payload-number
(value-name "-" when canmatrix gives none, "?" for a signal whose raw and physical values
differ: canmatrix looks value names up by the physical value, a DBC file gives them for the
raw one). A signal that reaches beyond its frame gives one line with payload "-" and
physical "outside"."""
import contextlib
import random
import sys

import canmatrix.formats




def dbc_start_bit(signal):
    # canmatrix keeps the start bit of Motorola signals in its own numbering.
    return signal.get_startbit(bit_numbering=1, start_little=False) if not signal.is_little_endian \
        else signal.start_bit


def set_raw(payload, signal, raw):
    for i, pos in enumerate(signal_bits(signal)):
        byte, bit = divmod(pos, 8)
        if byte >= len(payload):
            continue
        if (raw >> i) & 1:
            payload[byte] |= 1 << bit
        else:
            payload[byte] &= ~(1 << bit)


def signal_bits(signal):
    start, length = dbc_start_bit(signal), signal.size
    if signal.is_little_endian:
        return [start + i for i in range(length)]
    positions = []
    bit = start
    for _ in range(length):
        positions.append(bit)
        bit = bit + 15 if bit % 8 == 0 else bit - 1
    return list(reversed(positions))


def payloads(frame, count, rng):
    size = frame.size
    result = [bytearray(size), bytearray(b"\xff" * size)]
    for signal in frame.signals:
        p = bytearray(size)
        set_raw(p, signal, 1 << (signal.size - 1))
        result.append(p)
    muxer = next((s for s in frame.signals if s.is_multiplexer), None)
    if muxer is not None:
        pages = sorted({s.mux_val for s in frame.signals if s.mux_val is not None})
        for page in pages:
            for _ in range(3):
                p = bytearray(rng.getrandbits(8) for _ in range(size))
                set_raw(p, muxer, page)
                result.append(p)
    distinct = list(dict.fromkeys(bytes(p) for p in result))
    while len(distinct) < count:
        p = bytes(rng.getrandbits(8) for _ in range(size))
        if p not in distinct:
            distinct.append(p)
    return [bytearray(p) for p in distinct]


def main():
    path, encoding, count, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    rng = random.Random(seed)
    with contextlib.redirect_stdout(sys.stderr):   # its notes on lines it cannot read
        db = list(canmatrix.formats.loadp(path, dbcImportEncoding=encoding).values())[0]
    out = sys.stdout
    for frame in db.frames:
        if frame.size == 0:
            continue
        # A signal reaching beyond the frame cannot be decoded; the reader must say so.
        for signal in list(frame.signals):
            if max(signal_bits(signal)) >= 8 * frame.size or min(signal_bits(signal)) < 0:
                out.write("%d\t%d\t-\t%s\toutside\t-\t0\n" % (
                    frame.arbitration_id.id, int(frame.arbitration_id.extended), signal.name))
                frame.signals.remove(signal)
        for number, p in enumerate(payloads(frame, count, rng)):
            for name, decoded in frame.decode(bytes(p)).items():
                signal = decoded.signal
                phys = decoded.phys_value
                if signal.factor == 1 and signal.offset == 0 and not signal.is_float:
                    named = decoded.named_value
                    named = named if isinstance(named, str) else "-"
                else:
                    named = "?"
                out.write("%d\t%d\t%s\t%s\t%r\t%s\t%d\n" % (
                    frame.arbitration_id.id, int(frame.arbitration_id.extended), p.hex(),
                    name, float(phys), named, number))


if __name__ == "__main__":
    main()
