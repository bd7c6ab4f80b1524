#!/usr/bin/env python3
"""Draws the dialogs' bitmaps and the cursor over their buttons.

    make_bitmaps.py OUTPUT_FOLDER [--preview PNG_FOLDER]

Writes the seven bitmaps the resource script embeds as type "DIB" (ids 103-109)
and the hand cursor (id 110) into OUTPUT_FOLDER. Every bitmap is a whole BMP file
of 8 bits a pixel with one and the same 236-colour table: the dialogs realise the
logo's table as their palette and draw everything else through it, so the table
holds every colour any of the bitmaps uses, and the skin's fixed colours exactly.
With --preview, PNG pictures four times the size are written too, for looking at.

The output depends on nothing but this file: every run writes the same bytes.
"""

import argparse
import os
import struct
import zlib

# The skin's fixed colours, which the dialog code paints with as well.
BACKGROUND = (235, 235, 228)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
TITLE_LEFT = (143, 178, 254)
TITLE_RIGHT = (0, 86, 135)
BODY_RIGHT = (157, 157, 157)

PALETTE_SIZE = 236
SAMPLES = 4  # anti-aliasing: SAMPLES x SAMPLES points a pixel


# --- colours -------------------------------------------------------------------------

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ramp(stops, t):
    """The colour at t along (position, colour) stops in increasing position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0))
    return stops[-1][1]


def rows(stops, count):
    """`count` whole-number colours, one per row, along the stops (0 at the top row,
    1 at the bottom one)."""
    return [tuple(round(v) for v in ramp(stops, i / (count - 1))) for i in range(count)]


def vertical(row_colors, first_row=0):
    """A paint whose colour depends on the pixel row only."""
    return lambda x, y: row_colors[min(max(y - first_row, 0), len(row_colors) - 1)]


# The title bar: a highlight row in the frame's left colour, a glossy upper half, a
# deeper lower half, and the frame's right colour as the bottom row.
TITLE_ROWS = [TITLE_LEFT] + rows(
    [(0.0, (108, 154, 246)), (0.45, (58, 120, 222)), (0.46, (28, 100, 200)),
     (1.0, (8, 92, 166))], 15) + [TITLE_RIGHT]

# The bottom strip: the same blue, lighter, with a darker closing row.
BOTTOM_ROWS = [(170, 198, 252)] + rows(
    [(0.0, (214, 228, 253)), (1.0, (146, 182, 244))], 7) + [(98, 142, 222)]


# --- shapes: functions telling whether a point (in pixels) lies inside ----------------

def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def segment_distance2(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2


def stroke(points, half_width):
    """A line through the points with round ends, 2 * half_width wide."""
    pairs = list(zip(points, points[1:]))

    def inside(x, y):
        return any(segment_distance2(x, y, ax, ay, bx, by) <= half_width * half_width
                   for (ax, ay), (bx, by) in pairs)
    return inside


def polygon(points, radius=0.0):
    """The polygon, grown by `radius` with rounded corners."""
    edges = list(zip(points, points[1:] + points[:1]))

    def inside(x, y):
        crossings = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                crossings = not crossings
        if crossings or radius <= 0:
            return crossings
        return any(segment_distance2(x, y, ax, ay, bx, by) <= radius * radius
                   for (ax, ay), (bx, by) in edges)
    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def moved(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


# --- pictures -------------------------------------------------------------------------

class Picture:
    """An RGB picture of floats, drawn on by blending shapes over it."""

    def __init__(self, width, height, paint=BACKGROUND):
        self.width = width
        self.height = height
        self.pixels = [[self._color(paint, x, y) for x in range(width)] for y in range(height)]

    @staticmethod
    def _color(paint, x, y):
        return paint(x, y) if callable(paint) else paint

    def fill(self, shape, paint, opacity=1.0):
        """Blends the paint over every pixel by the share of its samples inside the
        shape."""
        offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
        for y in range(self.height):
            for x in range(self.width):
                hits = sum(1 for sy in offsets for sx in offsets if shape(x + sx, y + sy))
                if hits:
                    share = opacity * hits / (SAMPLES * SAMPLES)
                    self.pixels[y][x] = mix(self.pixels[y][x], self._color(paint, x, y), share)

    def blend(self, x, y, color, share):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = mix(self.pixels[y][x], color, share)

    def set(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = color

    def paste(self, other, left, top):
        for y in range(other.height):
            for x in range(other.width):
                self.set(left + x, top + y, other.pixels[y][x])

    def colors(self):
        """The rows of whole-number colours."""
        return [[tuple(int(v + 0.5) for v in pixel) for pixel in row] for row in self.pixels]


# --- the buttons: 15-pixel left cap, 8 middle columns the dialogs stretch, 16-pixel right cap

def draw_button(border, upper, lower):
    """A 39 x 24 rounded button on the dialog's background: a one-pixel border with
    anti-aliased corners, a white inner highlight and a glassy face."""
    picture = Picture(39, 24)
    face_rows = [WHITE] + rows(upper, 11) + rows(lower, 11)
    picture.fill(rounded_rect(0, 0, 39, 24, 5.5), border)
    picture.fill(rounded_rect(1, 1, 38, 23, 4.5), vertical(face_rows))
    picture.fill(rounded_rect(2, 2, 37, 22, 3.5), vertical(face_rows[1:], 2))
    return picture


def draw_normal_button():
    return draw_button((58, 106, 178),
                       [(0.0, (244, 249, 255)), (1.0, (214, 230, 252))],
                       [(0.0, (190, 214, 249)), (1.0, (220, 235, 255))])


def draw_hover_button():
    return draw_button((20, 136, 142),
                       [(0.0, (238, 255, 253)), (1.0, (196, 242, 236))],
                       [(0.0, (152, 224, 216)), (1.0, (194, 242, 236))])


# --- the message icons ------------------------------------------------------------------

SHADOW = (150, 150, 140)


def draw_speech_bubble():
    picture = Picture(36, 36)
    body = rounded_rect(2.5, 4, 33.5, 25.5, 9)
    tail = polygon([(8.5, 22), (18, 23.5), (6.5, 32.5)])
    inner = union(rounded_rect(3.8, 5.3, 32.2, 24.2, 7.7),
                  polygon([(9.8, 21.5), (15.6, 23), (8.2, 29.8)]))
    outline = union(body, tail)
    picture.fill(moved(outline, 1.2, 1.4), SHADOW, 0.35)
    picture.fill(outline, (40, 92, 172))
    face = rows([(0.0, WHITE), (0.45, (246, 250, 255)), (1.0, (196, 216, 246))], 36)
    picture.fill(inner, vertical(face))
    for cx in (11.5, 18, 24.5):
        picture.fill(circle(cx, 15, 2.2), (52, 106, 186))
    return picture


def draw_exclamation():
    picture = Picture(36, 36)
    corners = [(18, 6.8), (30.2, 28.2), (5.8, 28.2)]
    outline = polygon(corners, 3.0)
    picture.fill(moved(outline, 1.2, 1.4), SHADOW, 0.35)
    picture.fill(outline, (172, 100, 0))
    face = rows([(0.0, (255, 238, 140)), (0.5, (255, 204, 60)), (1.0, (236, 150, 16))], 36)
    picture.fill(polygon(corners, 1.8), vertical(face))
    mark = (48, 30, 0)
    picture.fill(stroke([(18, 13.2), (18, 21.4)], 1.75), mark)
    picture.fill(circle(18, 25.4, 1.8), mark)
    return picture


def draw_icons():
    picture = Picture(72, 36)
    picture.paste(draw_speech_bubble(), 0, 0)
    picture.paste(draw_exclamation(), 36, 0)
    return picture


# --- the logo -----------------------------------------------------------------------------

# A small bold face of our own: nine rows, the baseline under the last.
GLYPHS = {
    "R": ["######.",
          "##...##",
          "##...##",
          "##...##",
          "######.",
          "##.##..",
          "##..##.",
          "##...##",
          "##...##"],
    "e": ["......",
          "......",
          "......",
          ".####.",
          "##..##",
          "######",
          "##....",
          "##..##",
          ".####."],
    "l": ["##",
          "##",
          "##",
          "##",
          "##",
          "##",
          "##",
          "##",
          "##"],
    "v": [".......",
          ".......",
          ".......",
          "##...##",
          "##...##",
          ".##.##.",
          ".##.##.",
          "..###..",
          "...#..."],
    "i": ["..",
          "##",
          "..",
          "##",
          "##",
          "##",
          "##",
          "##",
          "##"],
    "a": ["......",
          "......",
          "......",
          ".####.",
          "....##",
          ".#####",
          "##..##",
          "##..##",
          ".#####"],
}

LOGO_TOP = 2  # the title bar row the logo's top row is drawn on


def glyph_pixels(text, left, top):
    """The pixels the text's letters set, a blank column between letters."""
    x = left
    for letter in text:
        glyph = GLYPHS[letter]
        for row, line in enumerate(glyph):
            for column, bit in enumerate(line):
                if bit == "#":
                    yield x + column, top + row
        x += len(glyph[0]) + 1


def draw_text(picture, text, left, top, color, shadow):
    """The text in the pixel face, over a soft shadow one pixel down and right."""
    for x, y in glyph_pixels(text, left, top):
        picture.blend(x + 1, y + 1, shadow, 0.55)
    for x, y in glyph_pixels(text, left, top):
        picture.set(x, y, color)


def draw_emblem(picture, cx, cy):
    """A gold disc with a white arrow: the relay."""
    picture.fill(circle(cx + 0.6, cy + 0.7, 5.4), (0, 44, 100), 0.5)
    picture.fill(circle(cx, cy, 5.4), (150, 84, 0))
    face = rows([(0.0, (255, 236, 150)), (1.0, (240, 146, 20))], 11)
    picture.fill(circle(cx, cy, 4.4), vertical(face, int(cy - 5)))
    arrow = union(stroke([(cx - 2.5, cy), (cx + 1.6, cy)], 0.8),
                  stroke([(cx - 0.2, cy - 2.4), (cx + 2.2, cy), (cx - 0.2, cy + 2.4)], 0.8))
    picture.fill(arrow, WHITE)


def draw_logo():
    """91 x 13, drawn on the title bar at row LOGO_TOP: the emblem and the name."""
    picture = Picture(91, 13, vertical(TITLE_ROWS[LOGO_TOP:]))
    draw_emblem(picture, 8.0, 6.5)
    draw_text(picture, "Relvia", 17, 2, WHITE, (0, 40, 96))
    return picture


# --- the close box: normal, under the pointer, pressed -------------------------------------

CLOSE_TOP = 3  # the title bar row the close box's top row is drawn on


def draw_close_box(border, upper, lower, shift):
    picture = Picture(14, 12, vertical(TITLE_ROWS[CLOSE_TOP:]))
    face_rows = rows(upper, 6) + rows(lower, 6)
    picture.fill(rounded_rect(0, 0, 14, 12, 3), border)
    picture.fill(rounded_rect(1, 1, 13, 11, 2), vertical(face_rows))
    cx, cy = 7 + shift, 6 + shift
    arm = 2.5
    cross = union(stroke([(cx - arm, cy - arm), (cx + arm, cy + arm)], 0.8),
                  stroke([(cx - arm, cy + arm), (cx + arm, cy - arm)], 0.8))
    picture.fill(cross, WHITE)
    return picture


def draw_close_boxes():
    picture = Picture(42, 12)
    boxes = [
        draw_close_box((0, 48, 104), [(0, (150, 186, 252)), (1, (92, 140, 232))],
                       [(0, (52, 112, 212)), (1, (70, 132, 226))], 0),
        draw_close_box((120, 24, 8), [(0, (255, 176, 150)), (1, (240, 112, 80))],
                       [(0, (214, 64, 36)), (1, (232, 96, 64))], 0),
        draw_close_box((96, 16, 4), [(0, (168, 44, 24)), (1, (186, 52, 30))],
                       [(0, (196, 60, 36)), (1, (214, 84, 56))], 1),
    ]
    for index, box in enumerate(boxes):
        picture.paste(box, 14 * index, 0)
    return picture


# --- the tiles ------------------------------------------------------------------------------

def draw_title_tile():
    return Picture(8, 17, vertical(TITLE_ROWS))


def draw_bottom_tile():
    return Picture(8, 9, vertical(BOTTOM_ROWS))


# The bitmaps by resource id, with the file names the resource script uses.
BITMAPS = [
    (103, "hover_button.bmp", draw_hover_button),
    (104, "icons.bmp", draw_icons),
    (105, "logo.bmp", draw_logo),
    (106, "close_box.bmp", draw_close_boxes),
    (107, "button.bmp", draw_normal_button),
    (108, "title_tile.bmp", draw_title_tile),
    (109, "bottom_tile.bmp", draw_bottom_tile),
]
CURSOR_FILE = "hand.cur"


# --- the shared colour table ------------------------------------------------------------------

def unique(colors):
    """The colours in their order, each once."""
    result = []
    for color in colors:
        if color not in result:
            result.append(color)
    return result


def fixed_colors():
    """The colours the table holds exactly, whatever the pictures use."""
    return unique([BLACK, WHITE, BACKGROUND, TITLE_LEFT, TITLE_RIGHT, BODY_RIGHT] +
                  TITLE_ROWS + BOTTOM_ROWS)


def distance(a, b):
    return 3 * (a[0] - b[0]) ** 2 + 4 * (a[1] - b[1]) ** 2 + 2 * (a[2] - b[2]) ** 2


def weighted_mean(members):
    total = sum(weight for _, weight in members)
    return tuple(int(sum(color[i] * weight for color, weight in members) / total + 0.5)
                 for i in range(3))


def box_spread(box):
    spans = [max(c[i] for c, _ in box) - min(c[i] for c, _ in box) for i in range(3)]
    return max(spans) ** 2 * sum(weight for _, weight in box), spans


def median_cut(histogram, count):
    """`count` boxes of colours, each split at the weighted median of its widest channel."""
    boxes = [sorted(histogram.items())]
    while len(boxes) < count:
        splittable = [i for i, box in enumerate(boxes) if len(box) > 1]
        if not splittable:
            break
        index = max(splittable, key=lambda i: (box_spread(boxes[i])[0], -i))
        box = boxes.pop(index)
        spans = box_spread(box)[1]
        channel = spans.index(max(spans))
        box.sort(key=lambda item: (item[0][channel], item[0]))
        half = sum(weight for _, weight in box) / 2
        running, cut = 0, 1
        for cut in range(1, len(box)):
            running += box[cut - 1][1]
            if running >= half:
                break
        boxes[index:index] = [box[:cut], box[cut:]]
    return [weighted_mean(box) for box in boxes]


def refine(histogram, fixed, free, rounds=6):
    """Moves the free colours to the means of the colours nearest them (the fixed ones
    stay where they are)."""
    for _ in range(rounds):
        palette = fixed + free
        groups = [[] for _ in palette]
        for color, weight in sorted(histogram.items()):
            groups[nearest(palette, color)].append((color, weight))
        free = [weighted_mean(groups[len(fixed) + i]) if groups[len(fixed) + i] else color
                for i, color in enumerate(free)]
    return free


def nearest(palette, color):
    return min(range(len(palette)), key=lambda i: (distance(palette[i], color), i))


def build_palette(pictures):
    """The one table for all pictures: the fixed colours, then the colours the pictures
    use, reduced to fit, ordered by brightness."""
    fixed = fixed_colors()
    histogram = {}
    for picture in pictures:
        for row in picture.colors():
            for color in row:
                if color not in fixed:
                    histogram[color] = histogram.get(color, 0) + 1
    room = PALETTE_SIZE - len(fixed)
    if len(histogram) <= room:
        free = sorted(histogram)
    else:
        free = refine(histogram, fixed, median_cut(histogram, room))
    palette = unique(fixed + free)
    grey = 0
    while len(palette) < PALETTE_SIZE:  # pad with greys the table does not have yet
        if (grey, grey, grey) not in palette:
            palette.append((grey, grey, grey))
        grey += 1
    return sorted(palette, key=lambda c: (2 * c[0] + 5 * c[1] + c[2], c))


def to_indexes(picture, palette):
    cache = {}
    result = []
    for row in picture.colors():
        line = []
        for color in row:
            if color not in cache:
                cache[color] = nearest(palette, color)
            line.append(cache[color])
        result.append(line)
    return result


# --- files ---------------------------------------------------------------------------------------

def bmp_file(indexes, palette):
    """A whole BMP file: file header, BITMAPINFOHEADER, the table, bottom-up rows of
    one byte a pixel padded to four bytes."""
    height = len(indexes)
    width = len(indexes[0])
    stride = (width + 3) & ~3
    bits = b"".join(bytes(row) + bytes(stride - width) for row in reversed(indexes))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 0, 0,
                       len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + table + bits


# The pointing hand: '#' black, '-' white, '.' see-through. The hot spot is the fingertip.
HAND = [
    ".....##.........",
    "....#--#........",
    "....#--#........",
    "....#--#........",
    "....#--#........",
    "....#--###......",
    "....#--#--###...",
    "....#--#--#--##.",
    ".##.#--#--#--#-#",
    "#--##--------#-#",
    "#---#----------#",
    ".#--#----------#",
    "..#------------#",
    "..#-----------#.",
    "...#----------#.",
    "...#---------#..",
    "....#--------#..",
    "....#-------#...",
    ".....#------#...",
    ".....########...",
]
HAND_HOT_SPOT = (5, 0)
CURSOR_SIZE = 32


def cursor_masks():
    """The XOR and AND masks as 32 rows of 32 bits, top row first."""
    xor_rows, and_rows = [], []
    for y in range(CURSOR_SIZE):
        line = HAND[y] if y < len(HAND) else ""
        line = line.ljust(CURSOR_SIZE, ".")
        xor_rows.append([1 if c == "-" else 0 for c in line])
        and_rows.append([1 if c == "." else 0 for c in line])
    return xor_rows, and_rows


def pack_bits(mask_rows):
    data = b""
    for row in reversed(mask_rows):  # bottom-up
        for start in range(0, len(row), 8):
            byte = 0
            for bit in row[start:start + 8]:
                byte = byte << 1 | bit
            data += bytes((byte,))
    return data


def cur_file():
    """A .cur file with one 32 x 32 two-colour image."""
    xor_rows, and_rows = cursor_masks()
    masks = pack_bits(xor_rows) + pack_bits(and_rows)
    info = struct.pack("<IiiHHIIiiII", 40, CURSOR_SIZE, 2 * CURSOR_SIZE, 1, 1, 0, len(masks),
                       0, 0, 2, 0)
    table = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + table + masks
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", CURSOR_SIZE, CURSOR_SIZE, 2, 0, HAND_HOT_SPOT[0],
                        HAND_HOT_SPOT[1], len(image), 6 + 16)
    return directory + entry + image


# --- previews ------------------------------------------------------------------------------

def png_file(color_rows, scale=4):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    width = len(color_rows[0]) * scale
    raw = b""
    for row in color_rows:
        line = b"\0" + b"".join(bytes(color) * scale for color in row)
        raw += line * scale
    header = struct.pack(">IIBBBBB", width, len(color_rows) * scale, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def cursor_preview():
    xor_rows, and_rows = cursor_masks()
    result = []
    for y in range(CURSOR_SIZE):
        line = []
        for x in range(CURSOR_SIZE):
            if and_rows[y][x]:
                line.append((200, 200, 200) if (x // 4 + y // 4) % 2 else (170, 170, 170))
            else:
                line.append(WHITE if xor_rows[y][x] else BLACK)
        result.append(line)
    return result


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("output", help="folder for the bitmaps and the cursor")
    parser.add_argument("--preview", help="folder for PNG previews, four times the size")
    arguments = parser.parse_args()

    pictures = [(resource, name, draw()) for resource, name, draw in BITMAPS]
    palette = build_palette([picture for _, _, picture in pictures])
    os.makedirs(arguments.output, exist_ok=True)
    for resource, name, picture in pictures:
        write(os.path.join(arguments.output, name), bmp_file(to_indexes(picture, palette), palette))
    write(os.path.join(arguments.output, CURSOR_FILE), cur_file())

    if arguments.preview:
        os.makedirs(arguments.preview, exist_ok=True)
        for resource, name, picture in pictures:
            quantized = [[palette[i] for i in row] for row in to_indexes(picture, palette)]
            write(os.path.join(arguments.preview, "%d.png" % resource), png_file(quantized))
        write(os.path.join(arguments.preview, "110.png"), png_file(cursor_preview()))


if __name__ == "__main__":
    main()
