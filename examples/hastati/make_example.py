#!/usr/bin/env python3
"""Makes the example unit's files: a small battle model (a shield on a
three-bone chain), one DXT1 texture with its mipmaps per faction and the two
UI cards per faction. Run once; the outputs are committed."""
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
    """A red field with a gold frame and a shield; the corners are cut
    clear and softened, as the game's own cards are."""
    cx, cy = width / 2, height * 0.55
    def pixel(x, y):
        corner = min(x, width - 1 - x) + min(y, height - 1 - y)
        if corner < 3:
            return (0, 0, 0, 0)                             # cut corner
        alpha = 128 if corner == 3 else 255                 # its soft edge
        if x < 3 or y < 3 or x >= width - 3 or y >= height - 3:
            return (40, 180, 225, alpha)                    # gold frame
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


def dxt1_blocks(size, base):
    data = bytearray()
    blocks = max(1, size // 4)
    for by in range(blocks):
        for bx in range(blocks):
            t = 0.5 + 0.5 * math.sin((bx + by) * 16 / size / 3.0 * 4)
            c0 = rgb565(int(base[0] * (0.6 + 0.4 * t)), int(base[1] * (0.6 + 0.4 * t)), int(base[2] * (0.6 + 0.4 * t)))
            c1 = rgb565(int(base[0] * 0.3), int(base[1] * 0.3), int(base[2] * 0.3))
            if c0 <= c1:
                c0, c1 = c1 + 1, c1
            data += struct.pack('<HHI', c0, c1, 0x1B1B1B1B if (bx + by) % 2 else 0xE4E4E4E4)
    return data


def dxt1_dds(path, size, base):
    """A DXT1 texture with every mipmap level down to 1 x 1."""
    levels = size.bit_length()
    header = bytearray(128)
    header[0:4] = b'DDS '
    struct.pack_into('<IIIIIII', header, 4, 124, 0xA1007, size, size, (size // 4) * (size // 4) * 8, 0, levels)
    struct.pack_into('<II4s', header, 76, 32, 0x4, b'DXT1')
    struct.pack_into('<I', header, 108, 0x401008)
    data = bytearray()
    for level in range(levels):
        data += dxt1_blocks(size >> level, base)
    open(path, 'wb').write(header + data)


def text(s):
    return struct.pack('<I', len(s) + 1) + s.encode('latin-1') + b'\0'


def chunk(kind, body):
    return struct.pack('<II', len(body) + 8, kind) + body


def cas_model(path, texture):
    """A battle model as the game's exporter writes one: a root, a pelvis and
    a torso, and one shield (a quad) on the torso, one bone per vertex."""
    out = bytearray(struct.pack('<fIIIfII', 3.22, 38, 9, 0, 1.0, 1, 0) + bytes(14))
    nodes = [('Scene Root', 0, (0, 0, 0)), ('bone_pelvis', 0, (0, 1, 0)), ('bone_torso', 1, (0, 0.4, 0))]
    body = struct.pack('<IH', len(nodes), 0)
    for _, parent, _ in nodes[1:]:
        body += struct.pack('<I', parent)
    body += struct.pack('<I', 0)                            # no animation keys
    for name, _, _ in nodes:
        body += text(name) + struct.pack('<II', 0, 0) + bytes(12) + text('')
    for _, _, pivot in nodes:
        body += struct.pack('<fff', *pivot)
    out += chunk(0, body)
    positions = [(-0.3, -0.4, 0.2), (0.3, -0.4, 0.2), (0.3, 0.4, 0.2), (-0.3, 0.4, 0.2)]
    uvs = [(0, 1), (1, 1), (1, 0), (0, 0)]
    mesh = text('shield') + text('') + bytes(28) + struct.pack('<HHBB', 4, 2, 1, 0)
    mesh += struct.pack('<4I', 2, 2, 2, 2)
    for p in positions:
        mesh += struct.pack('<fff', *p)
    for _ in positions:
        mesh += struct.pack('<fff', 0, 0, 1)
    mesh += struct.pack('<6H', 0, 1, 2, 0, 2, 3) + struct.pack('<I', 0)
    for uv in uvs:
        mesh += struct.pack('<ff', *uv)
    mesh += struct.pack('<I', 0)
    out += chunk(2, struct.pack('<I', 1) + mesh + struct.pack('<I', 1))
    for kind in (8, 10):
        out += chunk(kind, bytes(8))
    material = struct.pack('<I', 1) + b'shield\0' + texture.encode('latin-1') + b'\0'
    material += struct.pack('<7f', 1, 1, 1, 1, 0.3, 0.3, 0.3) + bytes(29)
    out += chunk(5, struct.pack('<I', 1) + material)
    open(path, 'wb').write(out)


cas_model('hastati.cas', 'textures\\hastati_julii.tga')
dxt1_dds('hastati_julii.dds', 64, (200, 40, 30))
dxt1_dds('hastati_brutii.dds', 64, (40, 150, 60))
rle_tga('info_julii.tga', 160, 210, card(160, 210, 200))
rle_tga('unit_julii.tga', 48, 64, card(48, 64, 200))
rle_tga('info_brutii.tga', 160, 210, card(160, 210, 120))
rle_tga('unit_brutii.tga', 48, 64, card(48, 64, 120))
