"""An ink stroke can be taken back: a click beside the line (not on one of its
points) selects it and Delete removes it; a right click on another stroke
opens the context menu, whose "Delete" removes that one."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = ["Survey of the eastern breakwater", "stones to be reset before the winter storms"]


def strokes(review):
    return [a for a in review["annotations"] if a["kind"] == "ink"]


def run(j):
    pdf = h.write_pdf(j.fixture_path("ink.pdf"), [LINES])
    v = j.start_viewer(pdf)
    page = next(p for p in v.wait_pages() if p.number == 1)

    v.key("3")  # Draw tool
    for y in (400.0, 460.0):
        v.drag(page.to_screen(150, y), page.to_screen(400, y), steps=4)
    review = j.wait_review(pdf, lambda r: len(strokes(r)) == 2, "two ink strokes")
    j.ok(f"two strokes drawn: {[s['id'][:8] for s in strokes(review)]}")

    v.key("1")  # Select tool
    # Halfway along the first stroke and 2 points below it: far from any of its points.
    v.click(*page.to_screen(275, 402))
    v.key("Delete")
    review = j.wait_review(pdf, lambda r: len(strokes(r)) == 1, "the clicked stroke to be deleted by the Delete key")
    left = strokes(review)[0]
    j.check(abs(left["points"][0][1] - 460) < 10, f"Delete removed the wrong stroke; left: {left}")
    j.ok("a click beside the first stroke selected it and Delete removed it")

    px, py = page.to_screen(275, 459)
    before = v.shot()
    v.click(px, py, button=3)
    changed = lambda shot: (shot.r, shot.g, shot.b) != (before.r, before.g, before.b)
    j.wait_until(lambda: changed(v.shot()), h.QUICK, "the context menu to open over the stroke")
    # The menu opens with its top-left at the pointer; its one item, "Delete", fills its first 36 pixels.
    v.click(px + 30, py + 20)
    j.wait_review(pdf, lambda r: not strokes(r), "the context menu's Delete to remove the second stroke")
    j.ok("the context menu's Delete removed the second stroke")


if __name__ == "__main__":
    h.main(run, "ink_delete", __doc__)
