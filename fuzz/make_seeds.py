#!/usr/bin/env python3
"""Writes the seed corpora of the fuzzing harnesses into OUT/<harness>/ (never committed).

Usage: make_seeds.py OUT
"""
import math
import os
import struct
import sys


def header(nx, ny, nz, mode, big=False, new_style=True, stamp=None, dens=(0.0, 1.0, 0.5),
           axes=(1, 2, 3), ispg=0, nsymbt=0, titles=()):
    e = '>' if big else '<'
    h = bytearray(1024)
    struct.pack_into(e + '4i', h, 0, nx, ny, nz, mode)
    struct.pack_into(e + '3i', h, 28, nx, ny, nz)
    struct.pack_into(e + '6f', h, 40, nx, ny, nz, 90, 90, 90)
    struct.pack_into(e + '3i', h, 64, *axes)
    struct.pack_into(e + '3f', h, 76, *dens)
    struct.pack_into(e + '2i', h, 88, ispg, nsymbt)
    if new_style:
        h[208:212] = b'MAP '
        h[212:216] = bytes(stamp if stamp is not None else ((0x11, 0x11, 0, 0) if big else (0x44, 0x41, 0, 0)))
    struct.pack_into(e + 'i', h, 220, len(titles))
    for i, t in enumerate(titles):
        h[224 + 80 * i:224 + 80 * (i + 1)] = t.ljust(80)[:80]
    return bytes(h)


def data(nx, ny, nz, mode, big=False):
    e = '>' if big else '<'
    n = nx * ny * nz
    values = [math.sin(i) * 100 for i in range(n)]
    if mode == 0:
        return bytes(int(abs(v)) % 256 for v in values)
    if mode == 1:
        return struct.pack(e + '%dh' % n, *[int(v) for v in values])
    if mode == 2:
        return struct.pack(e + '%df' % n, *values)
    if mode == 3:
        return struct.pack(e + '%dh' % (2 * n), *[int(v) for v in values for _ in (0, 1)])
    return struct.pack(e + '%df' % (2 * n), *[v for v in values for _ in (0, 1)])


def maps():
    seeds = {}
    for mode in range(5):
        for big in (False, True):
            seeds['mode%d%s' % (mode, 'big' if big else '')] = header(6, 5, 2, mode, big) + data(6, 5, 2, mode, big)
    seeds['oldstyle'] = header(4, 4, 1, 2, new_style=False) + data(4, 4, 1, 2)
    seeds['nostamp'] = header(4, 4, 1, 2, stamp=(0, 0, 0, 0)) + data(4, 4, 1, 2)
    seeds['badstamp'] = header(4, 4, 1, 2, stamp=(0x33, 0x21, 0, 0)) + data(4, 4, 1, 2)
    seeds['symmetry'] = header(4, 4, 1, 2, ispg=1, nsymbt=80) + b' X,Y,Z'.ljust(80) + data(4, 4, 1, 2)
    seeds['titles'] = header(3, 3, 1, 0, titles=(b'plain title', b'\x1b]0;set title\x07\x1b[31m red')) + data(3, 3, 1, 0)
    seeds['nan'] = header(4, 4, 1, 2, dens=(math.nan, math.inf, 0)) + data(4, 4, 1, 2)
    seeds['short'] = header(8, 8, 4, 2) + data(8, 3, 1, 2)
    seeds['absurd'] = header(16384, 1 << 30, (1 << 20) + 1, 0) + bytes(4096)
    seeds['header'] = header(4, 4, 1, 2)[:600]
    seeds['text'] = b'DATAFILE line\n' * 100
    return seeds


def answers():
    return {
        'image': b'm.map\n           2           1\n 0 5 0 4\n 1\n -1.0 1.0\n\n',
        'compressed': b'm.map\n 2 1\n 1,4,0,3\n 2\n 0 0\n',
        'stack': b's.map\n 0 3\n 0 0 0 0 0 2\n 1\n 0 200\n\n\n\n',
        'transform': b't.map\n 4 1\n 3 3\n 0 1\n 1\n\n',
        'wrong': b'nothere.map\n 2 1\n',
        'binary': header(4, 4, 1, 2) + data(4, 4, 1, 2),
    }


def datafile():
    lines = [b''] * 60
    lines[11] = b'img more words'
    lines[22] = b'     0'
    lines[31] = b'24.102,9.738,-4.324,20.342'
    lines[34] = b'20.761,15.644,-9.441,18.530'
    lines[57] = b'10500.00,9500.00,35.000'
    plain = b'\n'.join(lines) + b'\n'
    masked = plain.replace(b'img more words', b'mimg')
    diffraction = plain.replace(b'     0', b'     2')
    return {
        'plain1': b'\x01' + plain,
        'plain5': b'\x05' + plain,
        'masked': b'\x02' + masked,
        'corners': b'\x86' + plain,
        'diffraction': b'\x03' + diffraction,
        'short': b'\x01' + b'one\ntwo\n',
    }


def kelvane():
    text = b'line one\nline two\r\nline three'
    return {
        'replace': b'4\n2\n25.612,4.518,-3.211,20.955\x00' + text,
        'extend': b'4\n7\nnew text\x00' + text,
        'words': b'4\n1\n"1234.5,2345.6,12.345"\nand more\x00' + text,
        'mode5': b'5\n32\n43\nM\x00' + text,
        'mode6': b'6\x00' + text,
        'bad': b'4\n0\nx\x00' + text,
    }


def main():
    out = sys.argv[1]
    for name, seeds in (('mapfile', maps()), ('listread', None), ('answers', answers()),
                        ('datafile', datafile()), ('kelvane', kelvane())):
        if seeds is None:
            seeds = {str(i): s for i, s in enumerate([
                b'\x03 1,2,3', b'\x05 1 2*3 / 9', b'\x02 1e3,.5,1d3', b'\x04 3*,7', b'\x01 ,,',
                b'\x00 abc', b'\x02 -5 +7', b'\x05 2*1.5e-3 , , 4', b'\x00 99999999999999999999'])}
        folder = os.path.join(out, name)
        os.makedirs(folder, exist_ok=True)
        for seed, content in seeds.items():
            with open(os.path.join(folder, seed), 'wb') as f:
                f.write(content)


if __name__ == '__main__':
    main()
