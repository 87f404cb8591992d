#!/usr/bin/env python3
"""The encoder against Python's own Base64: byte for byte as text, and back to the bytes.

Usage: roundtrip.py ENCODER   (ENCODER reads standard input and writes the text)
"""
import base64
import random
import subprocess
import sys

encoder = sys.argv[1]
rng = random.Random(20261211)
lengths = list(range(0, 501)) + [56, 57, 58, 113, 114, 115, 57 * 1000, 262144, 300001, 524287]
failures = 0
for n in lengths:
    data = rng.randbytes(n)
    text = subprocess.run([encoder, "-"], input=data, stdout=subprocess.PIPE, check=True).stdout
    # Python writes 76-character lines ended by LF, the last one too; ours joins them by CR LF.
    expected = base64.encodebytes(data).rstrip(b"\n").replace(b"\n", b"\r\n")
    if text != expected:
        failures += 1
        print(f"length {n}: text differs from the reference encoder", file=sys.stderr)
    elif base64.decodebytes(text.replace(b"\r\n", b"\n")) != data:
        failures += 1
        print(f"length {n}: text does not decode back", file=sys.stderr)
print(f"{len(lengths) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
