#!/usr/bin/env python3
"""Writes the small seed files under seeds/ that the shared corpora and
Assets/ do not cover: WAVs in each encoding the loader takes, images in the
formats other than PNG, and a few shader and level files. Run from anywhere;
the images need ImageMagick's convert."""

import os
import struct
import subprocess
import tempfile

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


if __name__ == "__main__":
    wavs()
    images()
    texts()
