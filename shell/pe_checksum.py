"""Pads PE files to a multiple of 8 bytes and writes their header checksum.

Authenticode signing does both before it appends the signature, so a file
prepared here comes back byte for byte when the signature is removed.

    python3 pe_checksum.py FILE...
"""
import struct
import sys


def checksum(data, field):
    total = 0
    for (word,) in struct.iter_unpack("<H", data + b"\0" * (len(data) % 2)):
        total += word
    # The field itself counts as zero.
    total -= struct.unpack_from("<H", data, field)[0] + struct.unpack_from("<H", data, field + 2)[0]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def prepare(path):
    with open(path, "rb") as file:
        data = file.read()
    (header,) = struct.unpack_from("<I", data, 0x3C)
    if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE file")
    field = header + 24 + 64  # signature, file header, then the optional header's CheckSum
    data = bytearray(data + b"\0" * (-len(data) % 8))
    struct.pack_into("<I", data, field, checksum(bytes(data), field))
    with open(path, "wb") as file:
        file.write(data)


for name in sys.argv[1:]:
    prepare(name)
