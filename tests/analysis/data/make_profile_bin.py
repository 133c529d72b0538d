#!/usr/bin/env python3
# Writes profile.bin, the golden bytes of the settings profile that profile_test.cpp's Populate()
# builds, straight from the file layout. Run from this folder; it reads techset_block.bin (the
# parameter block of a fresh indicator set).
import struct


def i32(v): return struct.pack('<i', v)
def u32(v): return struct.pack('<I', v)
def gbk(s): return s.encode('gbk')


def text(b):  # a counted string, short form
    assert len(b) < 255
    return bytes([len(b)]) + b


def count(n):  # a 16-bit count
    assert n < 0xFFFF
    return struct.pack('<H', n)


b = b'VOZIZE' + u32(0x20050630)
# colour schemes: the one in use, the number of schemes, each with its name and colours
b += i32(1) + i32(2)
b += text(gbk('经典')) + count(3) + u32(0x000000) + u32(0x0000FF) + u32(0xFFFFFF)
b += text(b'') + count(1) + u32(0x123456)
# the kept text list, texts and numbers, the ex-rights parameter
b += count(2) + text(gbk('甲')) + text(gbk('乙'))
b += text(b't1') + i32(5) + text(b't2') + text(b't3') + text(b't4') + i32(9)
# the two kept lists
b += i32(2) + i32(1) + i32(2) + i32(0)
# user indexes: count, then text, value, id, name and the two further texts
b += i32(2)
b += text(gbk('现价/昨收')) + i32(7) + i32(10000) + text(gbk('比值')) + text(b'a') + text(b'')
b += text(b'') + i32(0) + i32(10001) + text(b'') + text(b'') + text(b'')
# column day counts, kept number 2
for d in (2, 3, 4, 6, 7, 8, 250):
    b += i32(d)
b += i32(-4)
# shown, overlay and all indicators
b += i32(3) + i32(12) + i32(9) + i32(30)
b += i32(2) + i32(1) + i32(5)
b += i32(3) + i32(1) + i32(2) + i32(3)
# ex-rights mode, price mode, base date
b += i32(2) + i32(3) + i32(20100105)
# the indicator parameters
b += open('techset_block.bin', 'rb').read()
# kept text 5, numbers 5 and 6, the alarm conditions (60 bytes each), kept date 7
b += text(b't5') + i32(3) + i32(77)
b += count(2) + bytes(range(60)) + bytes(range(100, 160))
b += i32(20240101)
open('profile.bin', 'wb').write(b)
print(len(b), 'bytes')
