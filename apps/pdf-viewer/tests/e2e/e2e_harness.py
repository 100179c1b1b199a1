"""Shared harness of the viewer's end-to-end journeys.

Each journey_*.py starts its own Xvfb display, a private HOME and XDG tree and
the real viewer on a PDF it writes itself, drives the window with real X input
(xdotool) and checks what a person would see: pixels of xwd screenshots, the
clipboard, files written, and the shared review read back by review-dump.

Run one journey by hand, from the repository root:

    /usr/bin/python3 apps/pdf-viewer/tests/e2e/journey_search.py \
        --viewer build/apps/pdf-viewer/pdf-viewer \
        --review-dump build/apps/pdf-viewer/tests/e2e/review-dump

VELYN_PDFIUM_LIB is taken from the environment, else ~/.local/lib/pdfium/
libpdfium.so of the real home. Each check is printed; on failure the journey
exits 1 and leaves under $E2E_ARTIFACTS/<journey>/ (default
/tmp/e2e-artifacts/<journey>/) a PNG of the screen at the failure, the viewer's
log and the fixtures. E2E_SHOTS=1 also keeps a PNG of every step, E2E_KEEP=1
keeps the temporary home. Only /usr/bin/python3 and its standard library are
used.
"""
import argparse
import json
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import zlib

QUICK = 5.0  # seconds the viewer gets to show the outcome of one input
SANITIZED_TIME_SCALE = 4.0  # how much longer every wait is for a viewer built with sanitizers
WORKSPACE_ID = "6f1d2c9e-4b7a-4e35-9a61-2d8c0b5f7e13"
WINDOW_TITLE = "PDF Viewer"
SAVE_TITLE = "Save annotated PDF"
IMPORT_TITLE = "Import pages from a PDF or image"

# Colours of the viewer's light theme that the pixel searches lean on.
CANVAS_GREY = (241, 242, 245)
ACCENT = (47, 101, 224)
PANEL_BORDER = (221, 224, 230)


class Failure(Exception):
    """A check that did not hold: the journey fails with this message."""


# ---- fixtures ------------------------------------------------------------------

PAGE_W, PAGE_H = 612.0, 792.0
FONT_SIZE = 14.0
LEADING = 20.0
LEFT = 72.0
FIRST_BASELINE = 110.0  # from the top of the page
TAG_TOP, TAG_SIZE, TAG_X0, TAG_STEP = 36.0, 18.0, 72.0, 36.0

# Helvetica advance widths (WinAnsi 32..126), written into the font's /Widths
# so every reader lays the text out exactly as word_box() predicts.
HELVETICA_WIDTHS = [
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584,
]


def text_width(text, size=FONT_SIZE):
    return sum(HELVETICA_WIDTHS[ord(c) - 32] for c in text) * size / 1000.0


def baseline(line):
    """Baseline of text line `line` (from 0), in points from the page top."""
    return FIRST_BASELINE + line * LEADING


def line_band(line):
    """(top, bottom) in points of the glyphs of text line `line`: cap height over the baseline."""
    b = baseline(line)
    return b - 0.72 * FONT_SIZE, b


def word_box(lines, line, word, occurrence=0):
    """(x0, y0, x1, y1) in points of the `occurrence`-th `word` (a substring) in text line `line`."""
    text = lines[line]
    at = -1
    for _ in range(occurrence + 1):
        at = text.find(word, at + 1)
        if at < 0:
            raise ValueError(f"{word!r} #{occurrence} not on line {line}")
    x0 = LEFT + text_width(text[:at])
    top, bottom = line_band(line)
    return x0, top, x0 + text_width(word), bottom


def tag_x(page_number):
    return TAG_X0 + TAG_STEP * (page_number - 1)


def _pdf_string(text):
    return "(" + text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"


def write_pdf(path, pages, outline=()):
    """Writes a PDF of 612x792 pages, each a list of text lines set in 14 pt
    Helvetica with 20 pt leading from FIRST_BASELINE, and a black square tag
    at tag_x(n) that tells page n apart on screen. `outline` is a list of
    (title, page number) bookmarks."""
    objects = {}
    n_pages = len(pages)
    page_ids = [4 + 2 * i for i in range(n_pages)]
    outline_root = 4 + 2 * n_pages if outline else None
    objects[1] = "<< /Type /Catalog /Pages 2 0 R" + (f" /Outlines {outline_root} 0 R" if outline else "") + " >>"
    objects[2] = f"<< /Type /Pages /Kids [{' '.join(f'{p} 0 R' for p in page_ids)}] /Count {n_pages} >>"
    objects[3] = ("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding"
                  f" /FirstChar 32 /LastChar 126 /Widths [{' '.join(map(str, HELVETICA_WIDTHS))}] >>")
    streams = {}
    for i, lines in enumerate(pages):
        ops = [f"0 g {tag_x(i + 1):.2f} {PAGE_H - TAG_TOP - TAG_SIZE:.2f} {TAG_SIZE} {TAG_SIZE} re f"]
        for k, line in enumerate(lines):
            ops.append(f"BT /F1 {FONT_SIZE:g} Tf 1 0 0 1 {LEFT:g} {PAGE_H - baseline(k):.2f} Tm {_pdf_string(line)} Tj ET")
        page, content = page_ids[i], page_ids[i] + 1
        objects[page] = (f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 {PAGE_W:g} {PAGE_H:g}]"
                         f" /Resources << /Font << /F1 3 0 R >> >> /Contents {content} 0 R >>")
        streams[content] = "\n".join(ops).encode("latin-1")
    if outline:
        items = [outline_root + 1 + i for i in range(len(outline))]
        objects[outline_root] = f"<< /Type /Outlines /First {items[0]} 0 R /Last {items[-1]} 0 R /Count {len(items)} >>"
        for i, (title, page) in enumerate(outline):
            links = (f" /Prev {items[i - 1]} 0 R" if i else "") + (f" /Next {items[i + 1]} 0 R" if i + 1 < len(items) else "")
            objects[items[i]] = (f"<< /Title {_pdf_string(title)} /Parent {outline_root} 0 R{links}"
                                 f" /Dest [{page_ids[page - 1]} 0 R /XYZ null null null] >>")
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num in sorted(set(objects) | set(streams)):
        offsets[num] = len(out)
        if num in streams:
            data = streams[num]
            out += f"{num} 0 obj\n<< /Length {len(data)} >>\nstream\n".encode() + data + b"\nendstream\nendobj\n"
        else:
            out += f"{num} 0 obj\n{objects[num]}\nendobj\n".encode("latin-1")
    size = max(offsets) + 1
    xref = len(out)
    out += f"xref\n0 {size}\n0000000000 65535 f \n".encode()
    for num in range(1, size):
        out += f"{offsets[num]:010d} 00000 n \n".encode()
    out += f"trailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
    with open(path, "wb") as f:
        f.write(out)
    return path


def _png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_bytes(width, height, rgb):
    """PNG of an 8-bit RGB image given as width*height*3 bytes."""
    stride = width * 3
    raw = b"".join(b"\x00" + bytes(rgb[y * stride:(y + 1) * stride]) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + _png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + _png_chunk(b"IDAT", zlib.compress(raw, 6)) + _png_chunk(b"IEND", b""))


def write_solid_png(path, width, height, colour):
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, bytes(colour) * (width * height)))
    return path


# ---- screenshots ---------------------------------------------------------------

def _range_table(lo, hi):
    return bytes(1 if lo <= v <= hi else 0 for v in range(256))


class Shot:
    """An RGB screenshot as three byte planes; (0, 0) is its top-left pixel."""

    def __init__(self, width, height, r, g, b):
        self.width, self.height, self.r, self.g, self.b = width, height, r, g, b

    @classmethod
    def from_xwd(cls, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, _, pixmap_format, _, width, height = fields[:6]
        byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
        masks, ncolors = fields[14:17], fields[19]
        if pixmap_format != 2 or bits_per_pixel not in (24, 32):
            raise Failure(f"unsupported xwd image: format {pixmap_format}, {bits_per_pixel} bits per pixel")
        step = bits_per_pixel // 8
        start = header_size + 12 * ncolors
        body = data[start:start + bytes_per_line * height]
        if bytes_per_line != width * step:
            body = b"".join(body[y * bytes_per_line:y * bytes_per_line + width * step] for y in range(height))

        def plane(mask):
            shift = (mask & -mask).bit_length() - 1
            index = shift // 8 if byte_order == 0 else step - 1 - shift // 8
            return bytes(body[index::step])

        return cls(width, height, *(plane(m) for m in masks))

    def pixel(self, x, y):
        i = y * self.width + x
        return self.r[i], self.g[i], self.b[i]

    def crop(self, x0, y0, x1, y1):
        x0, y0 = max(0, x0), max(0, y0)
        x1, y1 = min(self.width, x1), min(self.height, y1)
        w = x1 - x0

        def cut(p):
            return b"".join(p[y * self.width + x0:y * self.width + x1] for y in range(y0, y1))

        return Shot(w, y1 - y0, cut(self.r), cut(self.g), cut(self.b))

    def mask(self, red, green, blue):
        """1 where each channel lies in its (lo, hi) range, else 0: one byte per pixel."""
        n = self.width * self.height
        bits = (int.from_bytes(self.r.translate(_range_table(*red)), "big")
                & int.from_bytes(self.g.translate(_range_table(*green)), "big")
                & int.from_bytes(self.b.translate(_range_table(*blue)), "big"))
        return bits.to_bytes(n, "big")

    def near(self, colour, tolerance):
        return self.mask(*((c - tolerance, c + tolerance) for c in colour))

    def save_png(self, path):
        rgb = bytearray(self.width * self.height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = self.r, self.g, self.b
        with open(path, "wb") as f:
            f.write(png_bytes(self.width, self.height, rgb))


class Box:
    """A blob of pixels: its bounding box (x1, y1 exclusive) and pixel count."""

    def __init__(self, x0, y0, x1, y1, count):
        self.x0, self.y0, self.x1, self.y1, self.count = x0, y0, x1, y1, count

    @property
    def w(self):
        return self.x1 - self.x0

    @property
    def h(self):
        return self.y1 - self.y0

    @property
    def cx(self):
        return (self.x0 + self.x1) / 2

    @property
    def cy(self):
        return (self.y0 + self.y1) / 2

    def __repr__(self):
        return f"Box({self.x0},{self.y0})-({self.x1},{self.y1})"


def components(mask, width, height, region=None, min_count=1):
    """8-connected blobs of 1s in `mask` (one byte per pixel), inside region (x0, y0, x1, y1)."""
    x0, y0, x1, y1 = region or (0, 0, width, height)
    parent = []

    def find(a):
        while parent[a] != a:
            parent[a] = parent[parent[a]]
            a = parent[a]
        return a

    runs, prev = [], []
    for y in range(max(0, y0), min(height, y1)):
        row = mask[y * width + x0:y * width + x1]
        cur = []
        i = row.find(1)
        k = 0
        while i != -1:
            j = row.find(0, i)
            if j == -1:
                j = len(row)
            rid = len(parent)
            parent.append(rid)
            while k < len(prev) and prev[k][1] < i:  # runs of the row above that end left of this one
                k += 1
            m = k
            while m < len(prev) and prev[m][0] <= j:
                a, b = find(rid), find(prev[m][2])
                if a != b:
                    parent[a] = b
                m += 1
            cur.append((i, j, rid))
            runs.append((y, x0 + i, x0 + j, rid))
            i = row.find(1, j)
        prev = cur
    boxes = {}
    for y, a, b, rid in runs:
        root = find(rid)
        bx = boxes.get(root)
        if bx is None:
            boxes[root] = [a, y, b, y + 1, b - a]
        else:
            bx[0], bx[1], bx[2], bx[3] = min(bx[0], a), min(bx[1], y), max(bx[2], b), max(bx[3], y + 1)
            bx[4] += b - a
    return sorted((Box(*v) for v in boxes.values() if v[4] >= min_count), key=lambda b: (b.y0, b.x0))


# ---- finding things on screen --------------------------------------------------

class Page:
    """A page's paper on screen (window pixels; x1, y1 exclusive), and which page it is."""

    def __init__(self, x0, y0, x1, y1, top_visible, bottom_visible):
        self.x0, self.y0, self.x1, self.y1 = x0, y0, x1, y1
        self.top_visible, self.bottom_visible = top_visible, bottom_visible
        self.number = None

    @property
    def w(self):
        return self.x1 - self.x0

    @property
    def scale(self):
        return self.w / PAGE_W

    def origin_y(self):
        """Screen y of the page's top edge (extrapolated when the top is scrolled away)."""
        return self.y0 if self.top_visible else self.y1 - PAGE_H * self.scale

    def to_screen(self, x, y):
        return round(self.x0 + x * self.scale), round(self.origin_y() + y * self.scale)

    def __repr__(self):
        return (f"Page(n={self.number}, ({self.x0},{self.y0})-({self.x1},{self.y1}),"
                f" top {'shown' if self.top_visible else 'cut'}, bottom {'shown' if self.bottom_visible else 'cut'})")


def _paper_like(shot, y, a, b):
    """Whether most sampled pixels of row y between a and b look like paper: white or coloured, not grey."""
    hits = total = 0
    base = y * shot.width
    for x in range(a, b, 3):
        i = base + x
        r, g, bl = shot.r[i], shot.g[i], shot.b[i]
        total += 1
        lo, hi = min(r, g, bl), max(r, g, bl)
        if lo >= 250 or hi - lo >= 40 or hi < 140:
            hits += 1
    return total and hits * 2 >= total


def find_pages(shot, min_size=40):
    """The pages on the grey canvas: non-grey, paper-like rectangles with canvas grey on both sides."""
    # The canvas grey exactly: anti-aliased text is neutral grey and never matches it.
    grey = shot.near(CANVAS_GREY, 1)
    w = shot.width
    groups = []  # [x0, x1, y0, y_last]
    for y in range(shot.height):
        row = grey[y * w:(y + 1) * w]
        spans = []  # grey stretches of at least 3 pixels
        i = row.find(1)
        while i != -1:
            j = row.find(0, i)
            j = len(row) if j == -1 else j
            if j - i >= 3:
                spans.append((i, j))
            i = row.find(1, j)
        for (_, a), (b, _) in zip(spans, spans[1:]):
            if b - a >= min_size and _paper_like(shot, y, a, b):
                for gr in groups:
                    if abs(gr[0] - a) <= 2 and abs(gr[1] - b) <= 2 and y - gr[3] <= 3:
                        gr[3] = y
                        break
                else:
                    groups.append([a, b, y, y])
    pages = []
    for a, b, y0, y_last in groups:
        if y_last - y0 + 1 < min_size:
            continue
        # An edge is in view when the canvas goes on past it beside the page (the shadow
        # below a page lies under the page only); else the canvas ends there and cuts the page.
        def canvas_at(y):
            return 0 <= y < shot.height and grey[y * w + a - 4] == 1

        page = Page(a, y0, b, y_last + 1, canvas_at(y0 - 2), canvas_at(y_last + 2))
        page.number = _page_tag(shot, page)
        pages.append(page)
    return sorted(pages, key=lambda p: (p.y0, p.x0))


def _page_tag(shot, page):
    """The page number told by the fixture's black square, when the page top is in view."""
    if not page.top_visible:
        return None
    top = page.y0 + int((TAG_TOP - 4) * page.scale)
    bottom = page.y0 + int((TAG_TOP + TAG_SIZE + 4) * page.scale) + 1
    dark = shot.mask((0, 70), (0, 70), (0, 70))
    blobs = [b for b in components(dark, shot.width, shot.height, (page.x0, top, page.x1, bottom))
             if b.count >= max(4, (TAG_SIZE * page.scale) ** 2 * 0.5)]
    if len(blobs) != 1:
        return None
    x_pt = (blobs[0].x0 - page.x0) / page.scale
    return round((x_pt - TAG_X0) / TAG_STEP) + 1


def vertical_lines(shot, colour, tolerance=6, min_fraction=0.8, y0=0):
    """Columns in which a run of `colour` covers most rows from y0 down: panel edges."""
    m = shot.near(colour, tolerance)
    need = min_fraction * (shot.height - y0)
    return [x for x in range(shot.width) if m[y0 * shot.width + x::shot.width].count(1) >= need]


def horizontal_lines(shot, colour, tolerance=6, min_fraction=0.8, region=None):
    x0, y0, x1, y1 = region or (0, 0, shot.width, shot.height)
    m = shot.near(colour, tolerance)
    return [y for y in range(y0, y1) if m[y * shot.width + x0:y * shot.width + x1].count(1) >= min_fraction * (x1 - x0)]


# Search hits: the theme's yellow over white paper, weak for every match and
# strong (plus a yellow outline) for the current one. The outline's own
# anti-aliased edge rows can match too; boxes lower than MIN_HIT_HEIGHT are
# those edges, not matches.
SEARCH_HIT = ((235, 255), (200, 245), (100, 215))
MIN_HIT_HEIGHT = 4


def search_hits(shot, region):
    """The search-hit boxes drawn inside region (x0, y0, x1, y1)."""
    boxes = components(shot.mask(*SEARCH_HIT), shot.width, shot.height, region, min_count=25)
    return [b for b in boxes if b.h >= MIN_HIT_HEIGHT]


def text_rows(shot, region, dark=130, gap=2):
    """Runs of rows holding dark (text) pixels inside region: (y0, y1) pairs."""
    x0, y0, x1, y1 = region
    m = shot.mask((0, dark), (0, dark), (0, dark))
    rows = [y for y in range(y0, y1) if 1 in m[y * shot.width + x0:y * shot.width + x1]]
    out = []
    for y in rows:
        if out and y - out[-1][1] <= gap:
            out[-1][1] = y + 1
        else:
            out.append([y, y + 1])
    return [tuple(r) for r in out]


def or_masks(*masks):
    n = len(masks[0])
    bits = 0
    for m in masks:
        bits |= int.from_bytes(m, "big")
    return bits.to_bytes(n, "big")


def screen_box(page, box):
    """A box in page points (x0, y0, x1, y1) as window pixels on `page`."""
    (x0, y0), (x1, y1) = page.to_screen(box[0], box[1]), page.to_screen(box[2], box[3])
    return x0, y0, x1, y1


def box_centre(box):
    return (box[0] + box[2]) / 2, (box[1] + box[3]) / 2


def match_boxes(found, expected, tolerance):
    """Pairs each expected (x0, y0, x1, y1) with a found Box whose centre lies within tolerance
    pixels of its centre; returns (unmatched expected, unmatched found)."""
    left = list(found)
    missing = []
    for e in expected:
        ex, ey = box_centre(e)
        hit = next((b for b in left if abs(b.cx - ex) <= tolerance and abs(b.cy - ey) <= tolerance), None)
        if hit is None:
            missing.append(e)
        else:
            left.remove(hit)
    return missing, left


def toolbar_bottom(shot):
    """The row of the border under the toolbar: the first full-width border line."""
    lines = horizontal_lines(shot, PANEL_BORDER, tolerance=2, min_fraction=0.9)
    return lines[0] if lines else None


def sidebar_rect(shot):
    """The review sidebar (x0, y0, x1, y1) from its left border line, or None when it is closed."""
    top = toolbar_bottom(shot)
    if top is None:
        return None
    edges = [x for x in vertical_lines(shot, PANEL_BORDER, tolerance=2, min_fraction=0.9, y0=top + 60)
             if shot.width // 2 < x < shot.width - 40]
    return (edges[-1], top + 1, shot.width, shot.height) if edges else None


def rail_rect(shot):
    """The page rail (x0, y0, x1, y1) from its right border line, or None when it is closed."""
    top = toolbar_bottom(shot)
    if top is None:
        return None
    edges = [x for x in vertical_lines(shot, PANEL_BORDER, tolerance=2, min_fraction=0.9, y0=top + 60)
             if 40 < x < shot.width // 2]
    return (0, top + 1, edges[0] + 1, shot.height) if edges else None


def merge_boxes(boxes, gap):
    """Joins boxes that overlap vertically and lie within `gap` pixels side by side (glyphs into words)."""
    out = []
    for b in sorted(boxes, key=lambda b: b.x0):
        for o in out:
            if b.y0 < o.y1 and o.y0 < b.y1 and b.x0 - o.x1 <= gap:
                o.x0, o.y0, o.x1, o.y1 = min(o.x0, b.x0), min(o.y0, b.y0), max(o.x1, b.x1), max(o.y1, b.y1)
                o.count += b.count
                break
        else:
            out.append(Box(b.x0, b.y0, b.x1, b.y1, b.count))
    return out


def accent_texts(shot, region):
    """Words drawn in the accent colour inside region (links such as '+ Reply')."""
    m = shot.near(ACCENT, 40)
    glyphs = components(m, shot.width, shot.height, region, min_count=3)
    return [b for b in merge_boxes(glyphs, 6) if b.h <= 16]


# ---- the journey ---------------------------------------------------------------

def _real_pdfium():
    if os.environ.get("VELYN_PDFIUM_LIB"):
        return os.environ["VELYN_PDFIUM_LIB"]
    return os.path.join(os.path.expanduser("~"), ".local", "lib", "pdfium", "libpdfium.so")


def _kill_group(proc, grace=2.0):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait(grace)


class Viewer:
    """One viewer process and its window. Coordinates are window pixels."""

    def __init__(self, journey, proc, log_path, wid, label):
        self.journey, self.proc, self.log_path, self.wid, self.label = journey, proc, log_path, wid, label
        self.x, self.y, self.width, self.height = journey.window_geometry(wid)

    def log_text(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def alive(self):
        return self.proc.poll() is None

    def move_window(self, x, y):
        self.journey.xdo("windowmove", "--sync", self.wid, x, y)
        self.x, self.y, self.width, self.height = self.journey.window_geometry(self.wid)

    def focus(self):
        self.journey.xdo("windowfocus", "--sync", self.wid)

    def shot(self):
        return self.journey.screenshot().crop(self.x, self.y, self.x + self.width, self.y + self.height)

    # Real pointer and keyboard input (xdotool, XTEST). Keys go to the focused window.
    def move(self, x, y):
        to = (self.x + round(x), self.y + round(y))
        # --sync waits for motion, so it would hang when the pointer is there already.
        if self.journey.pointer() != to:
            self.journey.xdo("mousemove", "--sync", *to)

    def click(self, x, y, button=1, repeat=1):
        self.move(x, y)
        args = ["click", "--repeat", repeat, "--delay", 90] if repeat > 1 else ["click"]
        self.journey.xdo(*args, button)

    def drag(self, start, end, steps=12, button=1):
        self.move(*start)
        self.journey.xdo("mousedown", button)
        for k in range(1, steps + 1):
            t = k / steps
            self.move(start[0] + (end[0] - start[0]) * t, start[1] + (end[1] - start[1]) * t)
            time.sleep(0.015)
        self.journey.xdo("mouseup", button)

    def key(self, *keys):
        self.journey.xdo("key", "--clearmodifiers", "--delay", 60, *keys)

    def type(self, text):
        self.journey.xdo("type", "--delay", 40, text)

    def wheel(self, x, y, down=True, clicks=1, ctrl=False, shift=False):
        self.move(x, y)
        button = (7 if down else 6) if shift else (5 if down else 4)
        if ctrl:
            self.journey.xdo("keydown", "ctrl")
        try:
            for _ in range(clicks):
                self.journey.xdo("click", button)
                time.sleep(0.05)
        finally:
            if ctrl:
                self.journey.xdo("keyup", "ctrl")

    # Waiting on the window.
    def wait_pages(self, what="a page on the canvas", timeout=8.0, need=lambda pages: bool(pages)):
        """The pages once `need(pages)` holds for two screenshots in a row (drawing settled)."""
        state = {"last": None}

        def probe():
            shot = self.shot()
            pages = find_pages(shot)
            key = [(p.x0, p.y0, p.x1, p.y1, p.number) for p in pages]
            ok = need(pages) and key == state["last"]
            state["last"] = key if need(pages) else None
            return pages if ok else None

        return self.journey.wait_until(probe, timeout, what)

    def top_page(self):
        """The number of the first page whose top is in view, once drawing settled."""
        pages = self.wait_pages("a page with its number in view", need=lambda ps: any(p.number for p in ps))
        return next(p.number for p in pages if p.number)

    def wait_top_page(self, number, what):
        """Waits until page `number` is the first page in view."""
        self.journey.wait_until(lambda: self.top_page() == number, QUICK, f"{what}: page {number} at the top of the view")
        self.journey.ok(f"{what}: page {number} is the one in view")

    def wait_rendered(self, timeout=10.0):
        """Waits for the first frame and a page with its raster drawn (text tag in view)."""
        self.journey.wait_until(lambda: "first frame" in self.log_text() or not self.alive(), timeout,
                                f"{self.label}: 'first frame' in its log")
        if not self.alive():
            raise Failure(f"{self.label} exited early with status {self.proc.returncode}")
        return self.wait_pages(f"{self.label}: a rendered page (its tag square in view)", timeout,
                               need=lambda pages: any(p.number for p in pages))


class Journey:
    """One run: an X display, a private home, the viewers, checks and artefacts."""

    def __init__(self, name, description, dbus=False, screen=(1600, 1000)):
        parser = argparse.ArgumentParser(description=description)
        parser.add_argument("--viewer", required=True)
        parser.add_argument("--review-dump", required=True)
        args = parser.parse_args()
        self.viewer_bin = os.path.abspath(args.viewer)
        self.review_dump_bin = os.path.abspath(args.review_dump)
        # A viewer built with AddressSanitizer runs many times slower (every
        # allocation unwinds its stack, GTK's file chooser takes seconds to
        # close): journeys keep their fixtures small then and every wait is
        # stretched by SANITIZED_TIME_SCALE.
        linked = subprocess.run(["ldd", self.viewer_bin], capture_output=True, text=True).stdout
        self.sanitized = "libasan" in linked or "libubsan" in linked
        self.time_scale = SANITIZED_TIME_SCALE if self.sanitized else 1.0
        self.name, self.dbus, self.screen_size = name, dbus, screen
        self.started = time.monotonic()
        self.artifacts = os.path.join(os.environ.get("E2E_ARTIFACTS", "/tmp/e2e-artifacts"), name)
        self.keep_shots = os.environ.get("E2E_SHOTS") == "1"
        self.procs, self.viewers = [], []
        self.xvfb = None
        self.step_no = 0

    # -- set-up and tear-down
    def __enter__(self):
        try:
            self._set_up()
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def _set_up(self):
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts, exist_ok=True)
        pdfium = _real_pdfium()
        self.root = tempfile.mkdtemp(prefix=f"e2e-{self.name}-")
        self.home = os.path.join(self.root, "home")
        self.files = os.path.join(self.root, "files")
        os.makedirs(self.files)
        # Nothing of the caller's desktop, identity or workspace leaks in.
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "DBUS_", "WAYLAND", "DISPLAY", "VELYN_", "TAVEN_"))}
        env.update({
            "HOME": self.home,
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_STATE_HOME": os.path.join(self.home, ".local", "state"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "VELYN_WORKSPACE_ID": WORKSPACE_ID,
            "VELYN_PDFIUM_LIB": pdfium,
            "VELYN_LOG": "debug",
            "GDK_BACKEND": "x11",
            "GSETTINGS_BACKEND": "memory",
            "NO_AT_BRIDGE": "1",
            "LANG": "C.UTF-8",
        })
        for key in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"):
            os.makedirs(env[key], exist_ok=True)
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        self.env = env
        self.log(f"journey {self.name}: home {self.home}")
        if not os.path.exists(pdfium):
            raise Failure(f"PDFium not found at {pdfium} (set VELYN_PDFIUM_LIB)")
        self._start_xvfb()

    def _start_xvfb(self):
        read_fd, write_fd = os.pipe()
        w, h = self.screen_size
        with open(os.path.join(self.root, "xvfb.log"), "wb") as log:
            self.xvfb = subprocess.Popen(
                # -noreset: by default the server resets when its last client leaves, and a
                # client connecting during that reset (the viewer right after an xdotool) fails.
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{w}x{h}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_fd,), stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 10
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_fd], [], [], 0.2)
            if ready:
                chunk = os.read(read_fd, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_fd)
        if not number.strip():
            raise Failure("Xvfb did not report a display number")
        self.env["DISPLAY"] = f":{number.decode().strip()}"

        def answers():
            return subprocess.run(["xdotool", "getmouselocation"], env=self.env, capture_output=True).returncode == 0

        self.wait_until(answers, 5, f"Xvfb on {self.env['DISPLAY']} to accept clients")
        self.log(f"Xvfb on {self.env['DISPLAY']} ({w}x{h})")

    def __exit__(self, kind, error, tb):
        failed = kind is not None
        if failed:
            self._keep_failure_artefacts(error)
        for proc in reversed(self.procs):
            _kill_group(proc)
        _kill_group(self.xvfb)
        if os.environ.get("E2E_KEEP") == "1":
            self.log(f"kept {self.root}")
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        elapsed = time.monotonic() - self.started
        if kind is None:
            print(f"PASS {self.name} ({elapsed:.1f} s)", flush=True)
            return False
        if issubclass(kind, Failure):
            print(f"FAIL {self.name} ({elapsed:.1f} s): {error}", flush=True)
        else:
            print(f"ERROR {self.name} ({elapsed:.1f} s): harness fault", flush=True)
            traceback.print_exception(kind, error, tb)
        print(f"artefacts: {self.artifacts}", flush=True)
        sys.exit(1)

    def _keep_failure_artefacts(self, error):
        try:
            if self.xvfb and self.xvfb.poll() is None:
                self.screenshot().save_png(os.path.join(self.artifacts, "failure.png"))
        except Exception as e:  # the failure itself matters more than its picture
            self.log(f"(no failure screenshot: {e})")
        for f in os.listdir(self.root):
            if f.endswith(".log"):
                shutil.copy(os.path.join(self.root, f), os.path.join(self.artifacts, f))
        for f in os.listdir(self.files):
            path = os.path.join(self.files, f)
            if os.path.isfile(path):
                shutil.copy(path, os.path.join(self.artifacts, f))
        with open(os.path.join(self.artifacts, "failure.txt"), "w") as f:
            f.write(f"{error}\n")

    # -- processes and tools
    def log(self, message):
        print(f"[{time.monotonic() - self.started:5.1f}s] {message}", flush=True)

    def ok(self, message):
        self.log(f"ok: {message}")
        if self.keep_shots:
            self.step_no += 1
            self.screenshot().save_png(os.path.join(self.artifacts, f"step{self.step_no:02d}.png"))

    def check(self, condition, message):
        if not condition:
            raise Failure(message)

    def run(self, *cmd, timeout=10, check=True):
        try:
            res = subprocess.run([str(c) for c in cmd], env=self.env, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{cmd[0]} did not finish within {timeout} s: {' '.join(map(str, cmd))}")
        if check and res.returncode != 0:
            raise Failure(f"{' '.join(map(str, cmd))} failed ({res.returncode}): {res.stderr.decode(errors='replace').strip()}")
        return res

    def xdo(self, *args):
        return self.run("xdotool", *args, timeout=10).stdout.decode()

    def pointer(self):
        out = self.run("xdotool", "getmouselocation", "--shell").stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def screenshot(self):
        return Shot.from_xwd(self.run("xwd", "-root", "-silent", timeout=10).stdout)

    def window_geometry(self, wid):
        out = self.run("xdotool", "getwindowgeometry", "--shell", wid).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def find_windows(self, title):
        """Ids of the mapped windows whose name is `title` (a regular expression, anchored)."""
        res = self.run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$", check=False)
        return [w for w in res.stdout.decode().split() if w]

    def window_shown(self, wid):
        return wid in self.find_windows(".*")

    def wait_window(self, title, timeout=8.0):
        return self.wait_until(lambda: next(iter(self.find_windows(title)), None), timeout, f"a window titled {title!r}")

    def wait_until(self, probe, timeout, what, interval=0.1):
        """probe()'s first truthy value within `timeout` seconds (stretched for a sanitizer
        build), else a Failure naming `what`."""
        timeout *= self.time_scale
        deadline = time.monotonic() + timeout
        while True:
            value = probe()
            if value:
                return value
            if time.monotonic() >= deadline:
                raise Failure(f"timed out after {timeout:g} s waiting for {what}")
            time.sleep(interval)

    def start_viewer(self, pdf_path, label="viewer", expect_page=True, extra_args=()):
        """Starts the viewer on pdf_path (under dbus-run-session when the journey wants a bus)
        and waits for its window, its first frame and, unless expect_page is false (a file
        that cannot open), a rendered page."""
        log_path = os.path.join(self.root, f"{label}.log")
        cmd = [self.viewer_bin] + ([os.path.abspath(pdf_path)] if pdf_path else []) + list(extra_args)
        if self.dbus:
            cmd = ["dbus-run-session", "--"] + cmd
        known = set(self.find_windows(WINDOW_TITLE))
        with open(log_path, "wb") as log:
            try:
                proc = subprocess.Popen(cmd, env=self.env, stdout=log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL, start_new_session=True)
            except OSError as e:
                raise Failure(f"could not start {cmd[0]}: {e}")
        self.procs.append(proc)

        def window():
            if proc.poll() is not None:
                raise Failure(f"{label} exited with status {proc.returncode} before showing a window")
            return next((w for w in self.find_windows(WINDOW_TITLE) if w not in known), None)

        wid = self.wait_until(window, 10, f"{label}: a window titled {WINDOW_TITLE!r}")
        viewer = Viewer(self, proc, log_path, wid, label)
        self.viewers.append(viewer)
        viewer.focus()
        if expect_page:
            viewer.wait_rendered()
        else:
            self.wait_until(lambda: "first frame" in viewer.log_text(), 10, f"{label}: 'first frame' in its log")
        self.log(f"{label}: window {wid} at ({viewer.x},{viewer.y}) {viewer.width}x{viewer.height}")
        return viewer

    # -- file choosers (GTK's own: no desktop portal answers on the journey's private bus)
    def wait_dialog(self, title, opened_by):
        """Sends the keys or click `opened_by`, then waits for a new window titled `title`
        (an earlier chooser's window may linger while GTK takes it down)."""
        known = set(self.find_windows(".*"))
        opened_by()
        wid = self.wait_until(lambda: next((w for w in self.find_windows(title) if w not in known), None), 8,
                              f"a new window titled {title!r}")
        self.xdo("windowfocus", "--sync", wid)
        self.ok(f"a file chooser titled {title!r} opened (window {wid})")
        return wid

    def answer_chooser(self, wid, path, location_entry):
        """Types `path` into the chooser and accepts it with Enter; then waits for the dialog to
        close — all without touching the mouse."""
        if location_entry:
            self.xdo("key", "ctrl+l")
            time.sleep(0.3 * self.time_scale)  # keys typed before the location entry shows go elsewhere
        self.xdo("key", "ctrl+a")
        self.xdo("type", "--delay", 20, path)
        time.sleep(0.5 * self.time_scale)  # the entry completes file names as they are typed; let it settle
        # An Enter that lands while the completion popup is up only takes the
        # completion, as it would for a person, who presses Enter again.
        for attempt in range(3):
            self.xdo("key", "Return")
            try:
                self.wait_until(lambda: not self.window_shown(wid), 2.5, "the file chooser to close after Enter")
                return
            except Failure:
                if attempt == 2:
                    raise

    def save_through_chooser(self, viewer, path):
        """Ctrl+S in `viewer`, then `path` typed into the save chooser."""
        wid = self.wait_dialog(SAVE_TITLE, lambda: viewer.key("ctrl+s"))
        self.answer_chooser(wid, path, location_entry=False)

    def import_through_rail(self, viewer, path):
        """The page rail's 'Add pages' button (the rail shown first if needed), then `path`
        typed into the import chooser."""
        shot = viewer.shot()
        rail = rail_rect(shot)
        if rail is None:
            viewer.click(29, 28)  # the first toolbar button shows the page rail
            rail = self.wait_until(lambda: rail_rect(viewer.shot()), QUICK, "the page rail")
            shot = viewer.shot()
        rows = [r for r in text_rows(shot, (rail[0] + 8, rail[3] - 80, rail[2] - 8, rail[3])) if r[1] - r[0] >= 6]
        self.check(rows, "no 'Add pages' button at the bottom of the page rail")
        button = ((rail[0] + rail[2]) // 2, (rows[-1][0] + rows[-1][1]) // 2)
        wid = self.wait_dialog(IMPORT_TITLE, lambda: viewer.click(*button))
        self.answer_chooser(wid, path, location_entry=True)

    def review(self, pdf_path):
        """The shared review of pdf_path as review-dump prints it."""
        res = self.run(self.review_dump_bin, os.path.abspath(pdf_path), timeout=10, check=False)
        if res.returncode != 0:
            raise Failure(f"review-dump failed ({res.returncode}): {res.stderr.decode(errors='replace').strip()}")
        return json.loads(res.stdout)

    def wait_review(self, pdf_path, condition, what, timeout=6.0):
        state = {}

        def probe():
            state["review"] = self.review(pdf_path)
            return state["review"] if condition(state["review"]) else None

        try:
            return self.wait_until(probe, timeout, what, interval=0.25)
        except Failure as e:
            raise Failure(f"{e}; review-dump shows {json.dumps(state.get('review'))}")

    # -- clipboard
    def clipboard(self):
        """The CLIPBOARD selection as text, or None when nobody serves it."""
        try:
            res = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, capture_output=True, timeout=3)
        except subprocess.TimeoutExpired:
            return None
        return res.stdout.decode(errors="replace") if res.returncode == 0 else None

    def set_clipboard(self, text):
        """Puts text on the CLIPBOARD; xclip serves it in the foreground until the journey ends."""
        proc = subprocess.Popen(["xclip", "-quiet", "-i", "-selection", "clipboard"], env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        proc.stdin.write(text.encode())
        proc.stdin.close()
        self.procs.append(proc)
        self.wait_until(lambda: self.clipboard() == text, QUICK, f"the clipboard to hold {text!r}")

    def fixture_path(self, name):
        return os.path.join(self.files, name)


def main(run, name, description, **options):
    """Runs `run(journey)` inside a Journey; prints PASS/FAIL and exits accordingly."""
    with Journey(name, description, **options) as journey:
        run(journey)
