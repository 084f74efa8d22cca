#!/usr/bin/python3
"""Rewrites a map of 32-bit reals (mode 2) with python's mrcfile in mode 6 (unsigned 16-bit
integers) or 12 (IEEE half-precision reals) and the byte order given, keeping the header fields
the data does not decide: the tests' maps of the modes today's cameras write.

Usage: mrcfile_map.py FILE 6|12 little|big
"""
import sys

import mrcfile

path, mode, order = sys.argv[1:4]
with mrcfile.open(path, permissive=True) as source:
    header = source.header.copy()
    data = source.data.astype((">" if order == "big" else "<") + {"6": "u2", "12": "f2"}[mode])
with mrcfile.new(path, overwrite=True) as mrc:
    mrc.set_data(data)  # sizes, mode, statistics, machine stamp
    for name in header.dtype.names:
        if name not in ("nx", "ny", "nz", "mode", "dmin", "dmax", "dmean", "map", "machst", "rms"):
            mrc.header[name] = header[name]
