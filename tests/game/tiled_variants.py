#!/usr/bin/env python3
"""tiled_variants.py OUT_DIR: the shipped level (Assets/level1.tmx, CSV) in
every layer encoding Tiled writes -- CSV, base64, and base64 compressed with
zlib, gzip or zstd -- then each converted by the real Tiled to JSON and that
back to TMX. Writes OUT_DIR/<encoding>.tmx, <encoding>.tmj and
<encoding>-back.tmx beside a copy of the tile set, and lists every file Tiled
wrote in OUT_DIR/written.txt. Run from the repository root."""

import base64
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import zlib

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name in ("tiles.tsx", "tiles.png"):
    shutil.copy(os.path.join("Assets", name), out)
tmx = open("Assets/level1.tmx").read()
csv = re.search(r'<data encoding="csv">(.*?)</data>', tmx, re.S)
gids = [int(v) for v in csv.group(1).replace("\n", "").split(",")]
raw = b"".join(struct.pack("<I", g) for g in gids)


def zstd(data):
    return subprocess.run(["zstd", "-q", "-c"], input=data, stdout=subprocess.PIPE,
                          check=True, timeout=30).stdout


variants = {
    "csv": ('encoding="csv"', csv.group(1)),
    "base64": ('encoding="base64"', base64.b64encode(raw).decode()),
    "zlib": ('encoding="base64" compression="zlib"',
             base64.b64encode(zlib.compress(raw)).decode()),
    "gzip": ('encoding="base64" compression="gzip"',
             base64.b64encode(gzip.compress(raw, mtime=0)).decode()),
    "zstd": ('encoding="base64" compression="zstd"', base64.b64encode(zstd(raw)).decode()),
}
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
written = []
for name, (attributes, data) in variants.items():
    text = tmx[:csv.start()] + "<data " + attributes + ">" + data + "</data>" + tmx[csv.end():]
    source = os.path.join(out, name + ".tmx")
    with open(source, "w") as f:
        f.write(text)
    for src, fmt, dst in ((source, "json", name + ".tmj"),
                          (os.path.join(out, name + ".tmj"), "tmx", name + "-back.tmx")):
        dst = os.path.join(out, dst)
        subprocess.run(["tiled", "--export-map", fmt, src, dst], env=env, check=True,
                       timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        written.append(dst)
with open(os.path.join(out, "written.txt"), "w") as f:
    f.write("\n".join(written) + "\n")
