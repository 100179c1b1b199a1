"""Two viewers of one file in one workspace: a note made in the first shows up
in the second without any input to the second window."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = ["Minutes shared between two reviewers", "the second window only watches"]
NOTE_AT = (420.0, 260.0)  # points on page 1
NOTE_YELLOW = (247, 195, 37)  # the default swatch, drawn opaque for a note marker


def markers(viewer):
    """Note markers on page 1: opaque swatch-yellow squares, and the page they are on."""
    shot = viewer.shot()
    page = next((p for p in h.find_pages(shot) if p.number == 1), None)
    if page is None:
        return None, []
    boxes = h.components(shot.near(NOTE_YELLOW, 14), shot.width, shot.height,
                         (page.x0, page.y0, page.x1, page.y1), min_count=80)
    return page, [b for b in boxes if 10 <= b.w <= 45 and 10 <= b.h <= 45]


def run(j):
    pdf = h.write_pdf(j.fixture_path("shared.pdf"), [LINES])
    a = j.start_viewer(pdf, label="viewer-a")
    b = j.start_viewer(pdf, label="viewer-b")
    b.move_window(a.width + 40, 0)
    a.focus()
    page_b, before = markers(b)
    j.check(page_b is not None and not before, f"viewer B shows note markers before any note exists: {before}")

    page_a = next(p for p in a.wait_pages() if p.number == 1)
    a.key("4")
    a.click(*page_a.to_screen(*NOTE_AT))
    a.type("check the totals")
    a.key("Return")
    review = j.wait_review(pdf, lambda r: r["comments"] and r["comments"][0]["body"] == "check the totals",
                           "the note's comment typed in viewer A")
    j.ok("viewer A made a note with the comment 'check the totals'")
    pointer = j.pointer()
    j.check(pointer[0] < a.x + a.width, f"the pointer {pointer} strayed over viewer B")

    def shown_in_b():
        page, found = markers(b)
        return (page, found) if len(found) == 1 else None

    try:
        page_b, found = j.wait_until(shown_in_b, 6, "the note marker in viewer B (no input sent to B)")
    except h.Failure as e:
        raise h.Failure(f"{e}; B shows markers {markers(b)[1]}; review-dump has {review['annotations']}")
    at = review["annotations"][0]["at"]
    x, y = page_b.to_screen(*at)
    marker = found[0]
    j.check(abs(marker.x0 - x) <= 4 and abs(marker.y0 - y) <= 4,
            f"viewer B drew the marker at ({marker.x0},{marker.y0}), the note is at {at} = ({x},{y}) on its page")
    j.check(j.pointer() == pointer, "the pointer moved while waiting for viewer B")
    j.ok(f"viewer B shows the note marker at ({marker.x0},{marker.y0}) without any input")


if __name__ == "__main__":
    h.main(run, "two_viewers", __doc__, screen=(2600, 1000))
