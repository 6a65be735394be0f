#!/usr/bin/env python3
"""Writes the small seed files under seeds/ that the shared corpora and
Assets/ do not cover: WAVs in each encoding the loader takes, short Ogg
Vorbis files, images in the
formats other than PNG, a few shader and level files, and Tiled maps as the
real Tiled writes them. Run from anywhere; the images need ImageMagick's
convert, the Ogg files vorbis-tools' oggenc, the maps Debian's tiled and zstd."""

import base64
import gzip
import os
import re
import shutil
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def put(kind, name, data):
    path = os.path.join(HERE, "seeds", kind, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def riff(fmt, data, extra=b""):
    body = b"WAVE" + chunk(b"fmt ", fmt) + extra + chunk(b"data", data)
    return chunk(b"RIFF", body)


def chunk(tag, payload):
    pad = b"\0" if len(payload) % 2 else b""
    return tag + struct.pack("<I", len(payload)) + payload + pad


def fmt(tag, channels, rate, bits, block, extra=None):
    f = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    if extra is not None:
        f += struct.pack("<H", len(extra)) + extra
    return f


def wavs():
    saw = bytes((i * 7) & 0xFF for i in range(400))
    put("clip", "s16_44100_stereo.wav", riff(fmt(1, 2, 44100, 16, 4), saw))
    put("clip", "u8_22050_mono.wav", riff(fmt(1, 1, 22050, 8, 1), saw[:101]))
    put("clip", "s24_48000_stereo.wav", riff(fmt(1, 2, 48000, 24, 6), saw[:396]))
    put("clip", "s32_8000_mono.wav", riff(fmt(1, 1, 8000, 32, 4), saw[:200]))
    floats = b"".join(struct.pack("<f", (i % 50) / 25.0 - 1.0) for i in range(100))
    put("clip", "f32_44100_stereo.wav", riff(fmt(3, 2, 44100, 32, 8), floats))
    put("clip", "alaw_8000_mono.wav", riff(fmt(6, 1, 8000, 8, 1, b""), saw[:120]))
    put("clip", "mulaw_8000_mono.wav", riff(fmt(7, 1, 8000, 8, 1, b""), saw[:120]))
    # IMA ADPCM: 4-byte block header per channel, then 4-bit codes.
    block = 256
    ima_extra = struct.pack("<H", (block - 4) * 2 + 1)
    ima = struct.pack("<hBB", 0, 10, 0) + saw[: block - 4]
    put("clip", "ima_adpcm_mono.wav",
        riff(fmt(0x11, 1, 22050, 4, block, ima_extra), ima * 2,
             chunk(b"fact", struct.pack("<I", 2 * ((block - 4) * 2 + 1)))))
    # MS ADPCM with the standard coefficient table.
    coefs = [(256, 0), (512, -256), (0, 0), (192, 64), (240, 0), (460, -208), (392, -232)]
    spb = (block - 7) * 2 + 2
    ms_extra = struct.pack("<HH", spb, len(coefs)) + b"".join(struct.pack("<hh", *c) for c in coefs)
    ms = struct.pack("<Bhhh", 1, 16, 100, -100) + saw[: block - 7]
    put("clip", "ms_adpcm_mono.wav",
        riff(fmt(2, 1, 11025, 4, block, ms_extra), ms * 2,
             chunk(b"fact", struct.pack("<I", 2 * spb))))
    # WAVE_FORMAT_EXTENSIBLE naming PCM.
    guid = struct.pack("<IHH", 1, 0, 0x10) + bytes([0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    ext = struct.pack("<HI", 16, 3) + guid
    put("clip", "extensible_s16_stereo.wav", riff(fmt(0xFFFE, 2, 44100, 16, 4, ext), saw[:200]))
    # A list chunk before the data, and a data chunk cut short.
    put("clip", "list_chunk.wav",
        riff(fmt(1, 2, 44100, 16, 4), saw[:64], chunk(b"LIST", b"INFOISFT\x04\0\0\0abc\0")))
    put("clip", "truncated.wav", riff(fmt(1, 2, 44100, 16, 4), saw)[:120])


def oggs():
    # Encoded from our own samples at the lowest quality, to stay small: mostly
    # headers, which are where the decoder reads lengths and tables.
    with tempfile.TemporaryDirectory() as tmp:
        for name, channels, rate, frames in (("mono_22050", 1, 22050, 2000),
                                             ("stereo_44100", 2, 44100, 3000)):
            samples = b"".join(struct.pack("<h", ((i * 37) % 2000 - 1000) * (c + 1))
                               for i in range(frames) for c in range(channels))
            wav = os.path.join(tmp, name + ".wav")
            with open(wav, "wb") as f:
                f.write(riff(fmt(1, channels, rate, 16, 2 * channels), samples))
            out = os.path.join(tmp, name + ".ogg")
            subprocess.run(["oggenc", "-Q", "-q", "-1", "--serial", "1", "-o", out, wav],
                           check=True)
            with open(out, "rb") as f:
                put("clip", name + ".ogg", f.read())


def images():
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "src.png")
        subprocess.run(["convert", "-size", "12x8", "gradient:red-blue",
                        "-alpha", "set", "-channel", "A", "-evaluate", "set", "60%", src],
                       check=True)
        for ext, opts in [("bmp", []), ("tga", []), ("gif", []), ("ppm", ["-depth", "8"]),
                          ("pgm", ["-depth", "8"]), ("16bit.ppm", ["-depth", "16"]),
                          ("16bit.pgm", ["-depth", "16"]), ("psd", []), ("hdr", []),
                          ("jpg", ["-quality", "80"]), ("progressive.jpg", ["-interlace", "JPEG"])]:
            out = os.path.join(tmp, "seed." + ext)
            fmt_ext = ext.split(".")[-1]
            subprocess.run(["convert", src] + opts + [fmt_ext + ":" + out], check=True)
            with open(out, "rb") as f:
                put("image", "small." + ext, f.read())


def texts():
    put("shader", "crlf.shader",
        b"#shader vertex\r\nvoid main() {}\r\n#shader fragment // out\r\nvoid main() {}\r\n")
    put("shader", "stages_twice.shader",
        b"dropped\n#shader fragment\na\n#shader vertex\nb\n#shader geometry\nc\n"
        b"// #shader fragment too\nd\n#shader vertex fragment\ne")
    put("level", "edges.json",
        b'{"board": [[0, -1, 5], [], [6, 2.9, -1.0], [2147483647]], '
        b'"tilemap_path": "t.png", "tile_w": 64.9, "tile_h": 32, "x": null} trailing')
    put("level", "draughts.json",
        b'{"tile_h": 64, "tile_w": 64, "tilemap_path": "", "board": [[5, 6, 5], [-1, 7]]}')


def reencode(tmx, compression):
    """The CSV layers (and chunks) of a TMX text as base64, compressed or not."""
    def one(match):
        ids = [int(v) for v in match.group(1).replace(",", " ").split()]
        raw = b"".join(struct.pack("<I", v) for v in ids)
        if compression == "zlib":
            raw = zlib.compress(raw)
        elif compression == "gzip":
            raw = gzip.compress(raw, mtime=0)
        elif compression == "zstd":
            raw = subprocess.run(["zstd", "-q", "-c"], input=raw, capture_output=True,
                                 check=True).stdout
        attrs = 'encoding="base64"' + (f' compression="{compression}"' if compression else "")
        return f"<data {attrs}>\n   {base64.b64encode(raw).decode()}\n  </data>"

    def chunk(match):
        ids = [int(v) for v in match.group(2).replace(",", " ").split()]
        raw = zlib.compress(b"".join(struct.pack("<I", v) for v in ids))
        return f"{match.group(1)}{base64.b64encode(raw).decode()}</chunk>"
    if "<chunk" in tmx and compression == "zlib":
        tmx = re.sub(r'(<chunk[^>]*>)([^<]*)</chunk>', chunk, tmx)
        return tmx.replace('<data encoding="csv"', '<data encoding="base64" compression="zlib"')
    return re.sub(r'<data encoding="csv">([^<]*)</data>', one, tmx)


def tiled_maps():
    """The maps of tests/tiled/data converted by Tiled to TMX and to JSON
    (the rich map in each layer encoding, the infinite one's chunks in CSV
    and zlib); Tiled's output is the seed. The templates and the image
    collection are seeds as they are: Tiled writes no template from the
    command line."""
    data = os.path.join(HERE, "..", "tiled", "data")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    with tempfile.TemporaryDirectory() as tmp:
        tmp = os.path.join(tmp, "data")
        shutil.copytree(data, tmp)
        shutil.copy(os.path.join(HERE, "..", "..", "Assets", "tiles.png"), tmp)
        subprocess.run(["convert", "-size", "200x133", "xc:magenta",
                        os.path.join(tmp, "marks.png")], check=True)
        variants = [("rich", "rich-" + label, compression)
                    for label, compression in [("csv", None), ("base64", ""), ("zlib", "zlib"),
                                               ("gzip", "gzip"), ("zstd", "zstd")]]
        variants += [("looks", "looks", None), ("sizes", "sizes", None),
                     ("infinite", "infinite", None), ("infinite", "infinite-zlib", "zlib")]
        for name, label, compression in variants:
            with open(os.path.join(tmp, name + ".tmx")) as f:
                text = f.read()
            variant = os.path.join(tmp, "variant.tmx")
            with open(variant, "w") as f:
                f.write(text if compression is None else reencode(text, compression))
            for fmt, ext in [("tmx", "tmx"), ("json", "tmj")]:
                out = os.path.join(tmp, "out." + ext)
                subprocess.run(["timeout", "60", "tiled", "--export-map", fmt, variant, out],
                               env=env, check=True, capture_output=True)
                with open(out, "rb") as f:
                    put("tiled", f"{label}.{ext}", f.read())
        for name in ["tpl/crate.tx", "tpl/zone.tj", "sets/pics.tsx", "types.tiled-project",
                     "objecttypes.xml"]:
            with open(os.path.join(tmp, name), "rb") as f:
                put("tiled", os.path.basename(name), f.read())
        out = os.path.join(tmp, "marks.tsj")
        subprocess.run(["timeout", "60", "tiled", "--export-tileset", "json",
                        os.path.join(tmp, "marks.tsx"), out], env=env, check=True,
                       capture_output=True)
        with open(out, "rb") as f:
            put("tiled", "marks.tsj", f.read())
    tiled_worlds()


def tiled_worlds():
    """Worlds as Tiled writes them: maps listed, and maps found by a pattern
    among the fuzz target's own files (map.tmx, 0_1.tmx, 2_-1.tmx)."""
    put("tiled", "listed.world", b'''{
    "maps": [
        {"fileName": "map.tmx", "height": 640, "width": 960, "x": 0, "y": 0},
        {"fileName": "sets/big.tsx", "height": 640, "width": 960, "x": 960, "y": -64}
    ],
    "onlyShowAdjacentMaps": false,
    "type": "world"
}
''')
    put("tiled", "patterns.world", b'''{
    "patterns": [
        {"regexp": "(\\\\d)_(\\\\d)\\\\.tmx", "multiplierX": 640, "multiplierY": 480, "offsetX": -32,
         "offsetY": 16, "mapWidth": 640, "mapHeight": 480},
        {"regexp": "^(\\\\d+)_(-?\\\\d+)\\\\.tmx$", "multiplierX": 64, "multiplierY": 64}
    ],
    "type": "world"
}
''')


if __name__ == "__main__":
    # Names of the kinds to write (wavs, oggs, images, texts, tiled_maps); all by default.
    import sys
    kinds = sys.argv[1:] or ["wavs", "oggs", "images", "texts", "tiled_maps"]
    for kind in kinds:
        globals()[kind]()
