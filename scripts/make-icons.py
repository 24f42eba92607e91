#!/usr/bin/env python3
"""Renders the tray icon drawings in res/icons/ and packs them into .ico files.

Called by scripts/make-icons.sh, which checks the tools first. Needs
rsvg-convert (Debian package librsvg2-bin) and Pillow (python3-pil).

Every image is stored as a device-independent bitmap (BITMAPINFOHEADER with
doubled height, XOR bitmap, 1-bit AND mask), never as PNG, so that every
Windows version can read every entry:

  4 and 8 bits per pixel  palette quantized from the rendering (index 0 is
                          black, used for the transparent pixels), the
                          transparency in the AND mask
  24 bits per pixel       the colours, the transparency in the AND mask
  32 bits per pixel       colours and alpha, plus an AND mask set where the
                          alpha is below one half

A pixel is opaque in the AND mask when its alpha is at least 128. A masked
pixel's colour is black, so that a system drawing without the alpha channel
(XOR over the masked screen) leaves the background as it was.

For each size the drawing NAME-SIZE.svg is used when it exists (drawings
hinted for that pixel grid), else NAME.svg.
"""

import io
import os
import struct
import subprocess
import sys

from PIL import Image

# (pixel size, bits per pixel) in the order stored in the file.
ATTACHED_IMAGES = [
    (48, 4), (32, 4), (24, 4), (16, 4),
    (48, 8), (32, 8), (24, 8), (16, 8),
    (128, 32), (48, 32), (40, 32),
    (32, 24),
    (24, 32), (20, 32), (16, 32),
]
NOT_ATTACHED_IMAGES = [e for e in ATTACHED_IMAGES if e[0] != 128]

ICONS = [
    ("attached", ATTACHED_IMAGES),
    ("notattached", NOT_ATTACHED_IMAGES),
]

ALPHA_THRESHOLD = 128


def render(svg_dir, name, size):
    """Renders the drawing for one pixel size to an RGBA image."""
    hinted = os.path.join(svg_dir, f"{name}-{size}.svg")
    source = hinted if os.path.exists(hinted) else os.path.join(svg_dir, f"{name}.svg")
    png = subprocess.run(
        ["rsvg-convert", "--width", str(size), "--height", str(size),
         "--format", "png", source],
        check=True, stdout=subprocess.PIPE).stdout
    image = Image.open(io.BytesIO(png)).convert("RGBA")
    if image.size != (size, size):
        raise SystemExit(f"{source}: rendered {image.size}, wanted {size}x{size}")
    return image


def opaque_mask(image):
    """Returns a list of booleans, row by row from the top: pixel is opaque."""
    return [a >= ALPHA_THRESHOLD for a in image.getchannel("A").getdata()]


def row_bytes(width, bits):
    """Bytes of one bitmap row, padded to a multiple of four."""
    return ((width * bits + 31) // 32) * 4


def pack_rows(rows_of_bytes, width, bits):
    """Joins rows (given top first) bottom-up, each padded to 4 bytes."""
    stride = row_bytes(width, bits)
    out = bytearray()
    for row in reversed(rows_of_bytes):
        out += row + bytes(stride - len(row))
    return bytes(out)


def and_mask_bits(opaque, size):
    """The 1-bit AND mask: 1 (keep the screen) where the pixel is transparent."""
    rows = []
    for y in range(size):
        row = bytearray((size + 7) // 8)
        for x in range(size):
            if not opaque[y * size + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    return pack_rows(rows, size, 1)


def colour_distance(p, c):
    """Squared distance in a luma/chroma space that weighs hue shifts more
    than brightness, so that a dark grey never becomes a dark red."""
    dr, dg, db = p[0] - c[0], p[1] - c[1], p[2] - c[2]
    dy = 0.299 * dr + 0.587 * dg + 0.114 * db
    du = db - dy
    dv = dr - dy
    return dy * dy + 2.0 * (du * du + dv * dv)


def is_neutral(p):
    return max(p) - min(p) < 24


def median_cut(pixels, count):
    """At most `count` representative colours of `pixels` (median cut with a
    few k-means passes), as a list of RGB tuples."""
    if count <= 0 or not pixels:
        return []
    distinct = sorted(set(pixels))
    if len(distinct) <= count:
        return distinct
    strip = Image.new("RGB", (len(pixels), 1))
    strip.putdata(pixels)
    q = strip.quantize(colors=count, method=Image.Quantize.MEDIANCUT, kmeans=4,
                       dither=Image.Dither.NONE)
    pal = q.getpalette()
    return sorted(set(tuple(pal[3 * i: 3 * i + 3]) for i in set(q.getdata())))


def quantize(image, opaque, colours):
    """Chooses a palette of at most `colours` entries for the opaque pixels.

    Neutral (grey) and coloured pixels get palette entries of their own, each
    group at least a quarter of them when both are present, so that the few
    red pixels of the prohibition sign keep their hue beside the many greys.
    Returns (palette as a list of RGB tuples with black at index 0, list of
    palette indices row by row from the top)."""
    size = image.width
    pixels = list(image.convert("RGB").getdata())
    solid = [p for p, o in zip(pixels, opaque) if o]
    slots = colours - 1                  # index 0 is black, for transparency
    if len(set(solid)) <= slots:
        chosen = sorted(set(solid))
    else:
        grey = [p for p in solid if is_neutral(p)]
        colour = [p for p in solid if not is_neutral(p)]
        if grey and colour:
            share = round(slots * len(colour) / len(solid))
            n_colour = min(slots - slots // 4, max(slots // 4, share))
            chosen = median_cut(colour, n_colour)
            chosen += median_cut(grey, slots - len(chosen))
        else:
            chosen = median_cut(solid, slots)
    palette = [(0, 0, 0)] + chosen
    # Map every opaque pixel to its nearest palette colour (no dithering:
    # dither noise spoils pictures this small).
    cache = {}
    indices = []
    for p, o in zip(pixels, opaque):
        if not o:
            indices.append(0)
            continue
        if p not in cache:
            cache[p] = min(range(1, len(palette)),
                           key=lambda i: colour_distance(p, palette[i]))
        indices.append(cache[p])
    palette += [(0, 0, 0)] * (colours - len(palette))
    assert len(indices) == size * size
    return palette, indices


def bitmap_header(size, bits, image_bytes, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                       image_bytes, 0, 0, colours_used, 0)


def encode(image, bits):
    """Encodes one image as the DIB of an icon directory entry."""
    size = image.width
    opaque = opaque_mask(image)
    mask = and_mask_bits(opaque, size)
    if bits in (4, 8):
        palette, indices = quantize(image, opaque, 1 << bits)
        rows = []
        for y in range(size):
            line = indices[y * size:(y + 1) * size]
            if bits == 8:
                rows.append(bytes(line))
            else:
                rows.append(bytes((line[x] << 4) | (line[x + 1] if x + 1 < size else 0)
                                  for x in range(0, size, 2)))
        xor = pack_rows(rows, size, bits)
        colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    elif bits in (24, 32):
        rows = []
        data = list(image.getdata())
        for y in range(size):
            row = bytearray()
            for x in range(size):
                r, g, b, a = data[y * size + x]
                if not opaque[y * size + x]:
                    r = g = b = 0
                row += bytes((b, g, r, a) if bits == 32 else (b, g, r))
            rows.append(bytes(row))
        xor = pack_rows(rows, size, bits)
        colour_table = b""
    else:
        raise ValueError(bits)
    header = bitmap_header(size, bits, len(xor) + len(mask), 0)
    return header + colour_table + xor + mask


def write_ico(path, entries):
    """entries: list of (size, bits, dib bytes)."""
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for size, bits, dib in entries:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256,
                                 (1 << bits) if bits < 8 else 0, 0, 1, bits,
                                 len(dib), offset)
        offset += len(dib)
        blobs += dib
    with open(path, "wb") as f:
        f.write(directory + blobs)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    icon_dir = os.path.join(root, "res", "icons")
    for name, images in ICONS:
        renders = {}
        entries = []
        for size, bits in images:
            if size not in renders:
                renders[size] = render(icon_dir, name, size)
            entries.append((size, bits, encode(renders[size], bits)))
        out = os.path.join(icon_dir, f"{name}.ico")
        write_ico(out, entries)
        print(f"{os.path.relpath(out, root)}: {len(entries)} images")


if __name__ == "__main__":
    sys.exit(main())
