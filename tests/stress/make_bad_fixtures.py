#!/usr/bin/env python3
"""Writes the damaged image files under tests/data/bad_* that the window's bad-input test opens.

The files are committed; run this only to recreate them (their bytes do not change between runs).
"""
import pathlib
import struct
import zlib

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"


def png_chunk(kind: bytes, data: bytes) -> bytes:
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width: int, height: int, rows: bytes) -> bytes:
    # 8-bit RGB, deflate, no filter, no interlace; every CRC is valid, so readers trust the header.
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(rows, 9)) + png_chunk(b"IEND", b""))


def png_claiming(width: int, height: int) -> bytes:
    # A valid header and a data chunk holding a single filter byte: far too short for the pixels.
    return png(width, height, b"\x00")


def noise_png(width: int, height: int) -> bytes:
    rows = bytearray()
    state = 2463534242
    for _ in range(height):
        rows.append(0)
        for _ in range(3 * width):
            state ^= (state << 13) & 0xFFFFFFFF
            state ^= state >> 17
            state ^= (state << 5) & 0xFFFFFFFF
            rows.append(state & 0xFF)
    return png(width, height, bytes(rows))


def gif_claiming(width: int, height: int) -> bytes:
    # Logical screen and one image of the claimed size, then the image data ends at once.
    return (b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\x00\x00\x00\xff\xff\xff" +
            b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0) + b"\x02\x02\x44\x01\x00\x3b")


def bmp_claiming(width: int, height: int) -> bytes:
    # 24-bit uncompressed; the header's sizes are consistent with the claimed pixels, the file
    # holds only a few of them.
    row = (3 * width + 3) // 4 * 4
    image_size = min(row * height, 0xFFFFFFFF)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    pixels = bytes(48)
    file_size = min(14 + len(info) + image_size, 0xFFFFFFFF)
    return b"BM" + struct.pack("<IHHI", file_size, 0, 0, 14 + len(info)) + info + pixels


FIXTURES = {
    "bad_truncated.png": noise_png(32, 24)[:700],
    "bad_huge_header.png": png_claiming(100000, 100000),
    "bad_empty.png": b"",
    "bad_text.jpg": b"Shopping list: bread, milk, two lemons.\n",
    "bad_huge_header.gif": gif_claiming(65535, 65535),
    "bad_huge_header.bmp": bmp_claiming(100000, 100000),
    # 8000 x 6250 is 50 megapixels: allowed by the size limit, then found to be truncated.
    "bad_50mp_truncated.png": png_claiming(8000, 6250),
    # 30000 x 30000 is 900 megapixels: refused for its size.
    "bad_900mp_header.png": png_claiming(30000, 30000),
}

if __name__ == "__main__":
    for name, data in FIXTURES.items():
        (DATA / name).write_bytes(data)
        print(f"{name}: {len(data)} bytes")
