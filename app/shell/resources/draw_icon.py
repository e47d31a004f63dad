"""Draws the program's icon and writes it as a Windows .ico file (16, 24, 32, 48 and 64 pixels, 32-bit with
alpha): a photo (sky, sun, hills) on a blue tile, with a download arrow in its lower right corner.
Usage: draw_icon.py OUTPUT.ico"""
import struct
import sys

SIZES = (16, 24, 32, 48, 64)
SAMPLES = 4  # per pixel side: edges are smoothed by averaging 16 points


def rounded_box(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def color_at(x, y):
    """The colour (r, g, b, a) at a point of the unit square, y growing downwards; None outside the icon."""
    # The arrow badge first: it lies over everything else.
    if (x - 0.76) ** 2 + (y - 0.76) ** 2 <= 0.22 ** 2:
        in_shaft = 0.71 <= x <= 0.81 and 0.60 <= y <= 0.77
        in_head = 0.77 <= y <= 0.90 and abs(x - 0.76) <= (0.90 - y) * 1.1
        if in_shaft or in_head:
            return (255, 255, 255, 255)
        if (x - 0.76) ** 2 + (y - 0.76) ** 2 >= 0.19 ** 2:
            return (255, 255, 255, 255)
        return (224, 64, 48, 255)
    if not rounded_box(x, y, 0.02, 0.02, 0.98, 0.98, 0.16):
        return None
    # The photo: a white frame around sky, sun and two hills.
    if not (0.14 <= x <= 0.86 and 0.18 <= y <= 0.78):
        return (38, 104, 208, 255)
    if not (0.19 <= x <= 0.81 and 0.23 <= y <= 0.73):
        return (255, 255, 255, 255)
    if (x - 0.35) ** 2 + (y - 0.36) ** 2 <= 0.07 ** 2:
        return (255, 196, 40, 255)
    if y >= 0.73 - 0.30 * max(0.0, 1 - abs(x - 0.62) / 0.30):
        return (52, 150, 72, 255)
    if y >= 0.73 - 0.20 * max(0.0, 1 - abs(x - 0.33) / 0.26):
        return (96, 184, 96, 255)
    return (150, 208, 250, 255)


def render(size):
    """Rows bottom-up of BGRA pixels, premultiplication left to the system (straight alpha)."""
    rows = []
    for row in range(size):
        pixels = bytearray()
        for column in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = color_at((column + (sx + 0.5) / SAMPLES) / size, (row + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        r, g, b, a = r + c[0] * c[3], g + c[1] * c[3], b + c[2] * c[3], a + c[3]
            n = SAMPLES * SAMPLES
            if a:
                pixels += bytes((round(b / a), round(g / a), round(r / a), round(a / n)))
            else:
                pixels += bytes(4)
        rows.append(bytes(pixels))
    return rows[::-1]


def icon_image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = ((size + 31) // 32) * 4
    return header + b"".join(render(size)) + bytes(mask_row * size)


def main():
    images = [icon_image(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
