"""Find in document: typing a query, stepping matches, the Case and Whole word
chips, and pasting a query, all checked on the highlights drawn over the page."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = [
    "the lantern keeper lit a Lantern at dusk",
    "Lanterns swayed above the old harbour quay",
    "a lanternmaker sold one lantern every day",
    "ships rested by the quay until morning",
]
# Every occurrence of "lantern" as (line, word, occurrence of that word on the line),
# in reading order, with the chips under which it still matches.
LANTERN = [
    ((0, "lantern", 0), {"case", "word"}),
    ((0, "Lantern", 0), {"word"}),
    ((1, "Lantern", 0), set()),  # the start of "Lanterns"
    ((2, "lantern", 0), {"case"}),
    ((2, "lantern", 1), {"case", "word"}),
]

# The current match is drawn stronger than the others (see h.search_hits).
CURRENT = ((240, 255), (205, 230), (105, 150))


def hits(viewer):
    """The page and the highlight boxes on it, each flagged current or not."""
    shot = viewer.shot()
    pages = [p for p in h.find_pages(shot) if p.number == 1]
    if not pages:
        return None, []
    page = pages[0]
    region = (page.x0, page.y0, page.x1, page.y1)
    boxes = h.search_hits(shot, region)
    strong = shot.mask(*CURRENT)
    for b in boxes:
        n = sum(strong[y * shot.width + b.x0:y * shot.width + b.x1].count(1) for y in range(b.y0, b.y1))
        b.current = n * 2 >= b.count
    return page, boxes


def expect_hits(j, viewer, words, what, current=None):
    """Waits until the boxes on page 1 are exactly the given words, and the current one is
    `current` (an index into words) when given."""
    seen = {}

    def probe():
        page, boxes = hits(viewer)
        if page is None:
            return None
        expected = [h.screen_box(page, h.word_box(LINES, *w)) for w in words]
        missing, extra = h.match_boxes(boxes, expected, tolerance=max(4, 5 * page.scale))
        now = [b for b in boxes if b.current]
        seen.update(boxes=boxes, missing=missing, extra=extra, current=now)
        if missing or extra:
            return None
        if current is not None:
            want = h.box_centre(expected[current])
            if len(now) != 1 or abs(now[0].cx - want[0]) > 6 or abs(now[0].cy - want[1]) > 6:
                return None
        return boxes

    try:
        j.wait_until(probe, h.QUICK, what)
    except h.Failure:
        raise h.Failure(f"{what}: expected highlights over {words}"
                        + (f" with {words[current]} current" if current is not None else "")
                        + f"; found {len(seen.get('boxes', []))} boxes {seen.get('boxes')},"
                        f" missing {seen.get('missing')}, unexpected {seen.get('extra')},"
                        f" current {seen.get('current')}")
    j.ok(what)


def chips(viewer):
    """(Case chip, Whole word chip) boxes: the last two pill-shaped fills at the right end
    of the find bar, found by their fill (grey when off, accent when on)."""
    shot = viewer.shot()
    lines = h.horizontal_lines(shot, (221, 224, 230), tolerance=2, min_fraction=0.9)
    bands = [(a, b) for a, b in zip(lines, lines[1:]) if 30 <= b - a <= 80]
    if not bands:
        return None
    top, bottom = bands[0]
    fills = h.or_masks(shot.near((229, 230, 232), 2), shot.near(h.ACCENT, 3))
    right = (shot.width // 2, top + 1, shot.width, bottom)
    pills = [b for b in h.components(fills, shot.width, shot.height, right, min_count=200)
             if 25 <= b.w <= 160 and 14 <= b.h <= 34]
    pills.sort(key=lambda b: b.x0)
    return tuple(pills[-2:]) if len(pills) >= 2 else None


def occurrences(*chips_on):
    return [w for w, kept in LANTERN if set(chips_on) <= kept]


def run(j):
    pdf = h.write_pdf(j.fixture_path("search.pdf"), [LINES, ["a second page with nothing to find"]])
    v = j.start_viewer(pdf)

    v.key("ctrl+f")
    v.type("lantern")
    expect_hits(j, v, occurrences(), "typed query 'lantern' highlights its 5 occurrences, the first current",
                current=0)

    v.key("Return")
    expect_hits(j, v, occurrences(), "Enter makes the second match current", current=1)
    v.key("shift+Return")
    expect_hits(j, v, occurrences(), "Shift+Enter steps back to the first match", current=0)
    v.key("shift+Return")
    expect_hits(j, v, occurrences(), "Shift+Enter on the first match wraps to the last", current=4)

    case, word = j.wait_until(lambda: chips(v), h.QUICK, "the Case and Whole word chips in the find bar")
    v.click(case.cx, case.cy)
    expect_hits(j, v, occurrences("case"), "Case on: 'Lantern' and 'Lanterns' no longer match")
    v.click(word.cx, word.cy)
    expect_hits(j, v, occurrences("case", "word"), "Case and Whole word on: only the two whole 'lantern' words")
    v.click(case.cx, case.cy)
    expect_hits(j, v, occurrences("word"), "Whole word alone: 'Lantern' matches again, 'lanternmaker' does not")
    v.click(word.cx, word.cy)
    expect_hits(j, v, occurrences(), "both chips off: all 5 occurrences again")

    def closed():
        page, boxes = hits(v)
        return page is not None and not boxes and chips(v) is None

    v.key("Escape")
    j.wait_until(closed, h.QUICK, "Escape to close the find bar and drop its highlights")
    j.set_clipboard("quay")
    v.key("ctrl+f")
    case, _ = j.wait_until(lambda: chips(v), h.QUICK, "the find bar to open again")
    v.click(v.width // 8, case.cy)  # into the query field, at the left end of the bar
    v.key("ctrl+v")
    expect_hits(j, v, [(1, "quay", 0), (3, "quay", 0)],
                "Ctrl+V pastes 'quay' from the clipboard: its 2 occurrences are highlighted")


if __name__ == "__main__":
    h.main(run, "search", __doc__)
