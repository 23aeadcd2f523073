#!/usr/bin/env python3
"""Independent checker of an emulated-mouse wire trace against a config.bin.

Usage: trace_decoder.py TRACE.jsonl CONFIG.bin [--sensor-type N]

Re-derives, from the settings file and the replies the mouse gave (as recorded in the trace),
every transfer that opening the mouse, the handshake, the sensor refresh and the apply sequence
must make, and compares them with the trace byte for byte. It shares no code with the program:
the codec, the checksum, the key words, the DPI table and the lighting table are written out
here again from the protocol's description. It also checks that no mandated wait was shortened
(the gaps between the trace's timestamps). Replies the mouse got wrong (an index outside the
block, more data announced than the block holds) give no bytes, and the writes that would have
carried them must be absent; everything else must be there. Exit status 0 when everything matches, 1 otherwise,
with the first difference printed.
"""

import argparse
import json
import sys

CHALLENGE = [0x00, 0xAA, 0xDD, 0x3B, 0x62, 0x00, 0x00]
CHUNK = 32
WAIT_COMMAND_US = 2000
WAIT_CHUNK_US = 3000
WAIT_HANDSHAKE_US = 5000

DPI_TABLE = {
    0: [0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x25, 0x26, 0x27, 0x28, 0, 0, 0, 0],
    1: [0x01, 0x02, 0x03, 0x04, 0x05, 0x23, 0x24, 0x25],
    2: [0x02, 0x04, 0x06, 0x08, 0x0A, 0x26, 0x28, 0x2A],
    3: [0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08],
}

# Settings record offsets (inside the record, after config.bin's flag byte).
KEY_GROUP = 0  # two groups of 192 bytes, attribute k of button b at k * 12 + b
MACRO_BLOCKS = 384
REPORT_RATE = 1925
DPI_LEVEL = 1927
DPI_ENABLED = 1931
DPI_COLOR = 1935
LIGHT_MODE = 1947
LIGHT_LEVEL = 1948
RGB_EFFECT = 1951
DPI_SWITCH_STAGE = 1961


class Mismatch(Exception):
    pass


def checksum(block):
    return (0xFF - sum(block[0:7])) & 0xFF


def swap_nibbles(value):
    return ((value << 4) | (value >> 4)) & 0xFF


def encode_block(d, key, table):
    d = list(d)
    for a, b in ((0, 5), (1, 4), (2, 7), (3, 6)):
        d[a], d[b] = d[b], d[a]
    for i in range(1, 7):
        d[i] ^= key[i - 1]
    value = int.from_bytes(bytes(d), "big")
    value = ((value << 3) | (value >> 61)) & 0xFFFFFFFFFFFFFFFF
    d = list(value.to_bytes(8, "big"))
    return [(d[i] + swap_nibbles(table[i])) & 0xFF for i in range(8)]


def decode_block(d, key, table):
    d = [(d[i] - swap_nibbles(table[i])) & 0xFF for i in range(8)]
    value = int.from_bytes(bytes(d), "big")
    value = ((value >> 3) | (value << 61)) & 0xFFFFFFFFFFFFFFFF
    d = list(value.to_bytes(8, "big"))
    for i in range(1, 7):
        d[i] ^= key[i - 1]
    for a, b in ((0, 5), (1, 4), (2, 7), (3, 6)):
        d[a], d[b] = d[b], d[a]
    return d


def key_word(record, group, button):
    base = KEY_GROUP + group * 192

    def attr(k):
        return record[base + k * 12 + button]

    code = attr(0)
    if code == 0:
        return [0x01, 0x00, 0xF0, 0x00]
    if code == 1:
        return [0x01, 0x00, 0xF1, 0x00]
    if code == 2:
        return [0x01, 0x00, 0xF2, 0x00]
    if code == 3:
        return [0x01, 0x00, 0xF4, 0x00]
    if code == 4:
        return [0x01, 0x00, 0xF3, 0x00]
    if code == 5:
        return [0x0A, 0xF0, 0x22, 0x03]
    if code == 6:
        stage = record[DPI_SWITCH_STAGE + group * 12 + button]
        return [0x07, 0x00, stage, 1 if stage == 4 else 0]
    if code == 7:
        return [0x08, 0x00, 0x03, 0x00]
    if code == 8:
        return [0x03, 0x00, attr(4), attr(5)]
    if code == 9:
        return [0x03, 0x00, attr(2), 0x00]
    if code == 10:
        return [0x0A, attr(7), attr(8), attr(9)]
    if code == 11:
        return [0x00, 0x00, attr(10), 0x00]
    if code == 12:
        return [0x00, attr(11), attr(12), attr(13)]
    if code == 13:
        return [0x09, attr(15), (attr(14) + 1) & 0xFF, 0x00]
    if code == 14:
        return [0x08, 0x00, 0x02, 0x00]
    return [0, 0, 0, 0]


def key_matrices(record):
    matrices = [[0] * 64 for _ in range(4)]
    for group, index in ((0, 0), (1, 2)):
        for button in range(12):
            slot = {3: 4, 4: 3}.get(button, button)
            matrices[index][slot * 4:slot * 4 + 4] = key_word(record, group, button)
        matrices[index][56:60] = [0x01, 0x00, 0xF7, 0x00]
        matrices[index][60:64] = [0x01, 0x00, 0xF8, 0x00]
    return matrices


def dpi_block(record, sensor_type):
    table = DPI_TABLE.get(sensor_type, [])
    block = []
    for stage in range(4):
        level = record[DPI_LEVEL + stage]
        code = table[level] if level < len(table) else 0
        block.append(code & 0x7F if record[DPI_ENABLED + stage] else code | 0x80)
    return block + [0x80] * 4


class Trace:
    def __init__(self, path):
        with open(path, encoding="utf-8") as handle:
            lines = [json.loads(line) for line in handle if line.strip()]
        if not lines or "device" not in lines[0]:
            raise Mismatch("the first line is not the device line")
        device = lines[0]["device"]
        self.vendor_id = device["vendor_id"]
        self.product_id = device["product_id"]
        self.key = list(bytes.fromhex(device["codec_key"]))
        self.table = list(bytes.fromhex(device["codec_table"]))
        if len(self.key) != 6 or len(self.table) != 8:
            raise Mismatch("codec_key must be 6 bytes and codec_table 8 bytes")
        self.transfers = []
        last = -1
        for number, line in enumerate(lines[1:], start=2):
            if set(line) != {"t_us", "op", "report"}:
                raise Mismatch(f"line {number}: unexpected fields {sorted(line)}")
            if line["op"] not in ("set_feature", "get_feature", "write", "read", "input"):
                raise Mismatch(f"line {number}: unknown op {line['op']}")
            if line["t_us"] < last:
                raise Mismatch(f"line {number}: time runs backwards")
            last = line["t_us"]
            if line["op"] != "input":  # event reports are not part of the configuration traffic
                line["bytes"] = list(bytes.fromhex(line["report"]))
                line["line"] = number
                self.transfers.append(line)
        self.position = 0
        self.encoded = False
        self.pending_wait_us = 0  # the least gap the next transfer must keep from the last one
        self.mandated_us = 0  # all the waits the protocol asks for, added up

    def next(self, op, what):
        if self.position >= len(self.transfers):
            raise Mismatch(f"trace ends where {op} ({what}) was expected")
        transfer = self.transfers[self.position]
        if transfer["op"] != op:
            raise Mismatch(f"line {transfer['line']}: {transfer['op']} where {op} ({what}) was expected")
        if self.position > 0 and self.pending_wait_us:
            gap = transfer["t_us"] - self.transfers[self.position - 1]["t_us"]
            if gap < self.pending_wait_us:
                raise Mismatch(f"line {transfer['line']}: {what} came {gap} us after the previous "
                               f"transfer; at least {self.pending_wait_us} us are mandated")
        self.pending_wait_us = 0
        self.position += 1
        return transfer

    def wait(self, microseconds):
        self.pending_wait_us += microseconds
        self.mandated_us += microseconds

    def span_us(self):
        """From the first transfer to the last: the protocol's time on the wire."""
        return self.transfers[-1]["t_us"] - self.transfers[0]["t_us"] if self.transfers else 0

    def expect_report(self, transfer, payload, what, minimum):
        report = transfer["bytes"]
        if len(report) < minimum:
            raise Mismatch(f"line {transfer['line']}: {what}: report of {len(report)} bytes, "
                           f"at least {minimum} expected")
        expected = [0] + list(payload) + [0] * (len(report) - 1 - len(payload))
        if report != expected:
            raise Mismatch(f"line {transfer['line']}: {what}:\n  sent     {bytes(report).hex()}\n"
                           f"  expected {bytes(expected).hex()}")

    def send(self, command, what):
        """A command block in a feature report; returns the decoded reply for read opcodes."""
        block = list(command[0:7]) + [0]
        block[7] = checksum(block)
        wire = encode_block(block, self.key, self.table) if self.encoded else block
        self.expect_report(self.next("set_feature", what), wire, what, 9)
        if not command[0] & 0x80:
            return None
        return self.reply(what)

    def reply(self, what):
        transfer = self.next("get_feature", what + " reply")
        report = transfer["bytes"]
        if len(report) < 9 or report[0] != 0:
            raise Mismatch(f"line {transfer['line']}: {what} reply is not a feature report 0")
        body = report[1:9]
        return decode_block(body, self.key, self.table) if self.encoded else body

    def write_block(self, command, data, what):
        self.send(command, what)
        length = command[2]
        chunks = (length + CHUNK - 1) // CHUNK
        padded = list(data) + [0] * (chunks * CHUNK - len(data))
        for chunk in range(chunks):
            transfer = self.next("write", f"{what} chunk {chunk + 1}")
            self.expect_report(transfer, padded[chunk * CHUNK:(chunk + 1) * CHUNK],
                               f"{what} chunk {chunk + 1}", 33)
            self.wait(WAIT_CHUNK_US)

    def read_block(self, command, what):
        reply = self.send(command, what)
        length = reply[2]
        data = []
        for chunk in range((length + CHUNK - 1) // CHUNK):
            transfer = self.next("read", f"{what} chunk {chunk + 1}")
            if len(transfer["bytes"]) < 33:
                raise Mismatch(f"line {transfer['line']}: a data chunk shorter than 33 bytes")
            data += transfer["bytes"][1:33]
        return reply, data


def check(trace, record, sensor_type_hint):
    # Handshake: the plain challenge first; a reply that echoes it plainly is refused.
    handshake = CHALLENGE + [checksum(CHALLENGE + [0])]
    trace.expect_report(trace.next("set_feature", "plain challenge"), handshake, "plain challenge", 9)
    trace.wait(WAIT_HANDSHAKE_US)
    reply = trace.reply("plain challenge")
    if reply[1:5] == CHALLENGE[1:5]:
        raise Mismatch("the mouse echoed the plain challenge: it must not be accepted")
    trace.expect_report(trace.next("set_feature", "encoded challenge"),
                        encode_block(handshake, trace.key, trace.table), "encoded challenge", 9)
    trace.wait(WAIT_HANDSHAKE_US)
    trace.encoded = True
    reply = trace.reply("encoded challenge")
    if reply[1:5] != CHALLENGE[1:5]:
        raise Mismatch("the encoded challenge was not answered: the mouse is not accepted")

    # Sensor refresh.
    sensor = trace.send([0x83, 0, 0, 0, 0, 0, 0], "sensor read")
    sensor_type = sensor[1]
    if sensor_type_hint is not None and sensor_type != sensor_type_hint:
        raise Mismatch(f"the mouse reported sensor type {sensor_type}, {sensor_type_hint} expected")
    trace.send([0x03, sensor[1], sensor[2], sensor[3], sensor[4] | 0x40, 0, 0], "sensor write")

    # The apply sequence.
    trace.send([0x01, record[REPORT_RATE], 0, 0, 0, 0, 0], "report rate")
    light = trace.send([0x8D, 0, 0, 0, 0, 0, 0], "lighting read")
    effect, option1, option2 = light[1], light[2], light[3]
    # A reply naming an index, sub-block or slot outside the block, or announcing more than the
    # block holds, gives nothing: a write that would carry such bytes must not be sent.
    triples = {}
    first = trace.send([0x87, 0, 0, 0, 0, 0, 0], "lighting triple 0 read")
    if first[1] in (0, 1):
        triples[first[1]] = first[2:5]
    trace.wait(WAIT_COMMAND_US)
    second = trace.send([0x87, 1] + first[2:7], "lighting triple 1 read")
    if second[1] in (0, 1):
        triples[second[1]] = second[2:5]
    trace.wait(WAIT_COMMAND_US)

    colors = {}
    for sub in (0, 1):
        reply, data = trace.read_block([0x90, sub, 0, 0, 0, 0, 0], f"colour block {sub} read")
        if reply[1] in (0, 1) and reply[2] <= 24:
            colors[reply[1]] = data[0:24]
        trace.wait(WAIT_COMMAND_US)

    mode = record[LIGHT_MODE]
    a0, b0, c0 = triples.get(0, [None] * 3)
    if mode in (1, 2, 3):
        effect = mode
        option1 = (record[LIGHT_LEVEL + mode - 1] + 1) & 0xFF
        rgb = record[RGB_EFFECT + mode - 1]
        if mode == 1:
            option2, a0 = 2, 1
        elif mode == 2 and rgb == 1:
            option2, a0 = 2, 1
        elif mode == 2 and rgb == 2:
            option2, a0, b0, c0 = 3, 2, 125, 3
        elif mode == 3 and rgb == 2:
            a0, b0, c0 = 2, 125, 10
        elif mode == 3 and rgb == 3:
            a0, b0, c0 = 3, 5, 5
    colors[1] = list(record[DPI_COLOR:DPI_COLOR + 12]) + [0] * 12

    for sub in (0, 1):
        if sub in colors:
            trace.write_block([0x10, sub, 24, 0, 0, 0, 0], colors[sub], f"colour block {sub} write")
            trace.wait(WAIT_COMMAND_US)
    if None not in (a0, b0, c0):
        trace.send([0x07, 0, a0, b0, c0, 0, 0], "lighting triple 0 write")
        trace.wait(WAIT_COMMAND_US)
    if 1 in triples:
        trace.send([0x07, 1] + list(triples[1]) + [0, 0], "lighting triple 1 write")
        trace.wait(WAIT_COMMAND_US)
    trace.send([0x0D, effect, option1, option2, 0, 0, 0], "lighting write")
    trace.write_block([0x11, 4, 8, 0, 0, 0, 0], dpi_block(record, sensor_type), "DPI stages")

    macros = record[MACRO_BLOCKS:MACRO_BLOCKS + 12 * 128]
    for slot in range(1, 13):
        block = macros[(slot - 1) * 128:slot * 128]
        trace.write_block([0x13, slot, 0x80, 0, 0, 0, 0], block, f"macro {slot} write")
        trace.wait(WAIT_COMMAND_US)
    for slot in range(1, 13):
        trace.read_block([0x93, slot, 0, 0, 0, 0, 0], f"macro {slot} read-back")
        trace.wait(WAIT_COMMAND_US)
    for number, matrix in enumerate(key_matrices(record), start=1):
        trace.write_block([0x12, number, 0x40, 0, 0, 0, 0], matrix, f"key matrix {number}")
        trace.wait(WAIT_COMMAND_US)

    if trace.position != len(trace.transfers):
        extra = trace.transfers[trace.position]
        raise Mismatch(f"line {extra['line']}: unexpected {extra['op']} after the apply sequence")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("trace")
    parser.add_argument("config")
    parser.add_argument("--sensor-type", type=int)
    args = parser.parse_args()
    with open(args.config, "rb") as handle:
        image = handle.read()
    if len(image) != 1986:
        print(f"{args.config}: {len(image)} bytes, a config.bin has 1986", file=sys.stderr)
        return 1
    try:
        trace = Trace(args.trace)
        if (trace.vendor_id, trace.product_id) != (0x0F3A, 0x7C21):
            raise Mismatch("the device line names another vendor or product id")
        check(trace, image[1:], args.sensor_type)
    except Mismatch as problem:
        print(f"trace mismatch: {problem}", file=sys.stderr)
        return 1
    counts = {}
    for transfer in trace.transfers:
        counts[transfer["op"]] = counts.get(transfer["op"], 0) + 1
    print("trace matches: " + ", ".join(f"{n} {op}" for op, n in sorted(counts.items())))
    print(f"mandated waits {trace.mandated_us} us, wire span {trace.span_us()} us")
    return 0


if __name__ == "__main__":
    sys.exit(main())
