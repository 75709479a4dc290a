"""Small pictures drawn pixel by pixel and written as packed 4-bit DIBs (bottom-up, 16-colour table)."""
import os
import struct


class Picture:
    def __init__(self, width, height, palette, background):
        self.w, self.h, self.palette = width, height, palette
        self.p = [[background] * width for _ in range(height)]

    def px(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.p[y][x] = c

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                if x in (x0, x1) or y in (y0, y1):
                    self.px(x, y, c)
                elif fill is not None:
                    self.px(x, y, fill)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.px(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def text(self, rows, x0, y0, c):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == '#':
                    self.px(x0 + dx, y0 + dy, c)

    def dib(self):
        stride = ((self.w * 4 + 31) // 32) * 4
        bits = bytearray()
        for y in range(self.h - 1, -1, -1):
            row = bytearray(stride)
            for x in range(self.w):
                row[x // 2] |= self.p[y][x] << (4 if x % 2 == 0 else 0)
            bits += row
        header = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 4, 0, len(bits), 0, 0, 16, 0)
        table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in self.palette)
        return header + table + bytes(bits)


def write_pictures(out, pictures):
    """Writes each picture of {command id: Picture} to OUT/<command id>.dib."""
    os.makedirs(out, exist_ok=True)
    for cmd, pic in pictures.items():
        with open(os.path.join(out, '%d.dib' % cmd), 'wb') as f:
            f.write(pic.dib())
