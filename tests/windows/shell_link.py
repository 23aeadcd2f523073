#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk, the Shell Link binary format) holds, one "field: value"
line each: target (the link information's local base path), arguments, icon (location,index),
description, working directory. Usage: shell_link.py FILE.lnk"""
import struct
import sys

# LinkFlags of the header, in the order their parts follow it.
HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH = 0x1, 0x2, 0x4, 0x8
HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION, IS_UNICODE = 0x10, 0x20, 0x40, 0x80
HEADER_SIZE = 0x4C


def c_string(data, offset, unicode):
    if unicode:
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le")
    return data[offset:data.index(b"\0", offset)].decode("latin-1")


def parse(data):
    if len(data) < HEADER_SIZE or struct.unpack_from("<I", data, 0)[0] != HEADER_SIZE:
        sys.exit("not a shell link: the header size is not 0x4C")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    icon_index = struct.unpack_from("<i", data, 0x38)[0]
    fields = {}
    offset = HEADER_SIZE
    if flags & HAS_ID_LIST:
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if flags & HAS_LINK_INFO:
        size, header, _, _, base = struct.unpack_from("<5I", data, offset)
        if header >= 0x24:  # the Unicode local base path
            base_unicode = struct.unpack_from("<I", data, offset + 0x1C)[0]
            fields["target"] = c_string(data, offset + base_unicode, True)
        else:
            fields["target"] = c_string(data, offset + base, False)
        offset += size
    unicode = bool(flags & IS_UNICODE)
    for flag, name in ((HAS_NAME, "description"), (HAS_RELATIVE_PATH, "relative path"),
                       (HAS_WORKING_DIR, "working directory"), (HAS_ARGUMENTS, "arguments"),
                       (HAS_ICON_LOCATION, "icon")):
        if not flags & flag:
            continue
        count = struct.unpack_from("<H", data, offset)[0]
        offset += 2
        width = 2 if unicode else 1
        raw = data[offset:offset + count * width]
        offset += count * width
        # Wine counts the terminating NUL in, Windows does not.
        fields[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
    if "icon" in fields:
        fields["icon"] = f"{fields['icon']},{icon_index}"
    return fields


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as link:
        for key, value in parse(link.read()).items():
            print(f"{key}: {value}")
