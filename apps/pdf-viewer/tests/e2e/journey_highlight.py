"""The Highlight tool: a diagonal drag over three text lines leaves one
highlight per line, each snapped to its line's height."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = [
    "Quarterly report of the lighthouse service",
    "the northern lamp burned for ninety nights",
    "two keepers logged every passing vessel",
    "the fog signal sounded on eleven mornings",
    "repairs to the gallery rail are finished",
]
FIRST, LAST = 1, 3            # the drag runs from line 1 to line 3
X_FROM, X_TO = 120.0, 300.0   # points; every dragged line is longer than X_TO


def rail_highlight_pixels(shot):
    """Pixels of highlight yellow (the swatch over white paper) in the page rail's thumbnails."""
    rail = h.rail_rect(shot)
    if rail is None:
        raise h.Failure("the page rail is not shown")
    mask = shot.mask((235, 255), (215, 250), (120, 200))
    return sum(b.count for b in h.components(mask, shot.width, shot.height, rail, min_count=1))


def run(j):
    pdf = h.write_pdf(j.fixture_path("highlight.pdf"), [LINES])
    v = j.start_viewer(pdf)
    page = next(p for p in v.wait_pages() if p.number == 1)
    j.check(rail_highlight_pixels(v.shot()) == 0, "the rail shows highlight yellow before any highlight")

    v.key("2")  # Highlight tool
    # From the cap height of the first line down to the baseline of the last.
    start = page.to_screen(X_FROM, h.line_band(FIRST)[0])
    end = page.to_screen(X_TO, h.line_band(LAST)[1])
    v.drag(start, end)
    count = LAST - FIRST + 1
    review = j.wait_review(pdf, lambda r: len(r["annotations"]) >= count,
                           f"{count} highlights after the drag")
    rects = sorted(a["rect"] for a in review["annotations"] if a["kind"] == "highlight")
    j.check(len(rects) == count and len(review["annotations"]) == count,
            f"expected {count} highlights, one per dragged line; review has {review['annotations']}")
    for line, (x, y, w, hgt) in zip(range(FIRST, LAST + 1), rects):
        top, base = h.line_band(line)
        what = f"highlight of line {line} {[round(v_, 1) for v_ in (x, y, w, hgt)]}"
        # Snapped to the line: covers its glyphs, stays clear of the lines around it.
        j.check(0.6 * h.FONT_SIZE <= hgt <= 1.4 * h.FONT_SIZE, f"{what}: height is not about one line ({h.FONT_SIZE} pt)")
        j.check(y <= top + 1 and y + hgt >= base - 1, f"{what}: does not cover the glyphs at {top:.1f}..{base:.1f}")
        j.check(y > base - h.LEADING + 1 and y + hgt < top + h.LEADING - 1, f"{what}: reaches into a neighbouring line")
        j.check(abs(x - X_FROM) <= 3 and abs(x + w - X_TO) <= 3,
                f"{what}: does not span the dragged width {X_FROM:g}..{X_TO:g}")
    j.ok(f"{count} highlights, one per line, each one line high: {rects}")
    yellow = j.wait_until(lambda: rail_highlight_pixels(v.shot()), h.QUICK, "the highlights on the rail's thumbnail")
    j.ok(f"the page's thumbnail in the rail shows them too ({yellow} highlight pixels)")


if __name__ == "__main__":
    h.main(run, "highlight", __doc__)
