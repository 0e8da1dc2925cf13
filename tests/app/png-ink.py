#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Prints the black pixels of a 1-bit gray PNG (as tvl-inspect --png draws a
label; 0 bits are black): of the whole page, of its first 2 % of rows and of
its last 2 %. Reads the rows through the PNG row filters."""
import struct
import sys
import zlib


def black_pixels(path):
    data = open(path, 'rb').read()
    pos, idat, width, height = 8, b'', 0, 0
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, color = struct.unpack('>IIBB', body[:10])
            if depth != 1 or color != 0:
                raise SystemExit('not a 1-bit gray PNG')
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = (width + 7) // 8
    previous = bytearray(stride)
    black = [0, 0, 0]
    edge = max(1, height // 50)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = row[x - 1] if x else 0
            b = previous[x]
            c = previous[x - 1] if x else 0
            if kind == 1:
                row[x] = (row[x] + a) & 255
            elif kind == 2:
                row[x] = (row[x] + b) & 255
            elif kind == 3:
                row[x] = (row[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[x] = (row[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = row
        bits = sum(8 - bin(v).count('1') for v in row)
        bits -= stride * 8 - width  # padding bits are 0 too
        black[0] += bits
        black[1] += bits if y < edge else 0
        black[2] += bits if y >= height - edge else 0
    return black


print(*black_pixels(sys.argv[1]))
