#!/usr/bin/python3
"""Prints the frames python-can reads from a log, one a line:
time_us id extended remote error fd dlc data channel tx
channel counts from 1 (0: not told); a DLC above 8 is printed as 9. python-can 4.1
cannot read candump's DLC suffix ("_D" after eight bytes): it is taken off here first and
its DLC kept."""
import gzip
import io
import re
import sys

import can


def channel_of(msg, path):
    c = msg.channel
    if c is None:
        return 0
    if isinstance(c, str):
        m = re.search(r"(\d+)$", c)
        return int(m.group(1)) + 1 if m else 0
    if path.endswith(".trc"):
        return int(c)
    return int(c) + 1


def main(path):
    suffix_dlc = {}
    if path.endswith(".gz"):
        text = gzip.open(path, "rt").read()
        inner = path[:-3]
    else:
        text = None
        inner = path
    if inner.endswith(".asc"):
        reader = can.ASCReader(io.StringIO(text) if text is not None else path)
    elif inner.endswith(".blf"):
        reader = can.BLFReader(path)
    elif inner.endswith(".trc"):
        reader = can.TRCReader(path)
    else:
        lines = []
        for number, line in enumerate(open(path)):
            m = re.search(r"#([0-9A-Fa-f]{16})_([9A-Fa-f])", line)
            if m:
                line = line[: m.start(2) - 1] + line[m.end(2):]
                suffix_dlc[len(lines)] = int(m.group(2), 16)
            if line.strip():
                lines.append(line)
        reader = can.CanutilsLogReader(io.StringIO("".join(lines)))
    for index, msg in enumerate(reader):
        dlc = suffix_dlc.get(index, msg.dlc)
        print(
            round(msg.timestamp * 1e6),
            msg.arbitration_id,
            int(msg.is_extended_id),
            int(msg.is_remote_frame),
            int(msg.is_error_frame),
            int(msg.is_fd),
            9 if dlc > 8 else dlc,
            (bytes(msg.data[:8]).hex() or "-") if not msg.is_remote_frame else "-",
            channel_of(msg, inner),
            int(not msg.is_rx),
        )


if __name__ == "__main__":
    main(sys.argv[1])
