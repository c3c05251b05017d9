#!/usr/bin/env python3
"""Makes the example unit's files: a stand-in model, one DXT1 texture per
faction and the two UI cards per faction. Run once; the outputs are committed."""
import math
import struct


def rle_tga(path, width, height, pixel):
    """A 32-bit run-length TGA, top row first; pixel(x, y) gives (b, g, r, a)."""
    out = bytearray(struct.pack('<BBBHHBHHHHBB', 0, 0, 10, 0, 0, 0, 0, 0, width, height, 32, 0x28))
    for y in range(height):
        row = [pixel(x, y) for x in range(width)]
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 128 and row[x + run] == row[x]:
                run += 1
            if run > 1:
                out.append(0x80 | (run - 1))
                out += bytes(row[x])
                x += run
            else:
                start = x
                while x < width and x - start < 128 and (x + 1 >= width or row[x + 1] != row[x]):
                    x += 1
                if x == start:
                    x += 1
                out.append(x - start - 1)
                for p in row[start:x]:
                    out += bytes(p)
    open(path, 'wb').write(out)


def card(width, height, hue):
    """A red field with a gold frame and a shield."""
    cx, cy = width / 2, height * 0.55
    def pixel(x, y):
        if x < 3 or y < 3 or x >= width - 3 or y >= height - 3:
            return (40, 180, 225, 255)                      # gold frame
        dx, dy = (x - cx) / (width * 0.3), (y - cy) / (height * 0.32)
        if dx * dx + dy * dy < 1:
            if abs(dx) < 0.12 or abs(dy) < 0.12:
                return (40, 190, 235, 255)                  # gold cross on the shield
            return (30, 30, hue, 255)                       # shield
        shade = 90 + (y * 60) // height
        return (20, 20, shade, 255)
    return pixel


def rgb565(r, g, b):
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)


def dxt1_dds(path, size, base):
    header = bytearray(128)
    header[0:4] = b'DDS '
    struct.pack_into('<IIIIIII', header, 4, 124, 0x81007, size, size, (size // 4) * (size // 4) * 8, 0, 1)
    struct.pack_into('<II4s', header, 76, 32, 0x4, b'DXT1')
    struct.pack_into('<I', header, 108, 0x1000)
    data = bytearray()
    for by in range(size // 4):
        for bx in range(size // 4):
            t = 0.5 + 0.5 * math.sin((bx + by) / 3.0)
            c0 = rgb565(int(base[0] * (0.6 + 0.4 * t)), int(base[1] * (0.6 + 0.4 * t)), int(base[2] * (0.6 + 0.4 * t)))
            c1 = rgb565(int(base[0] * 0.3), int(base[1] * 0.3), int(base[2] * 0.3))
            if c0 <= c1:
                c0, c1 = c1 + 1, c1
            data += struct.pack('<HHI', c0, c1, 0x1B1B1B1B if (bx + by) % 2 else 0xE4E4E4E4)
    open(path, 'wb').write(header + data)


open('hastati.cas', 'wb').write(bytes((i * 37 + 11) & 0xFF for i in range(4096)))
dxt1_dds('hastati_julii.dds', 64, (200, 40, 30))
dxt1_dds('hastati_brutii.dds', 64, (40, 150, 60))
rle_tga('info_julii.tga', 160, 210, card(160, 210, 200))
rle_tga('unit_julii.tga', 48, 64, card(48, 64, 200))
rle_tga('info_brutii.tga', 160, 210, card(160, 210, 120))
rle_tga('unit_brutii.tga', 48, 64, card(48, 64, 120))
