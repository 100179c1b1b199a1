"""Going to a page in a long document: Ctrl+G, or a click on the page bubble's
label, opens a page-number field (Enter goes, Escape cancels); a press on the
scrollbar's track pages towards it, and dragging its thumb to the end shows
the last page."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

PAGES = 15  # as many as the fixture's page tags tell apart
CANVAS_GREY_TOLERANCE = 10


def scrollbar_thumb(shot, x):
    """(y0, y1) of the vertical scrollbar's thumb in column x: the run of rows darker than the canvas."""
    rows = [y for y in range(60, shot.height)
            if sum(h.CANVAS_GREY) - sum(shot.pixel(x, y)) > 3 * CANVAS_GREY_TOLERANCE]
    if not rows:
        raise h.Failure(f"no scrollbar thumb in column {x}")
    return rows[0], rows[-1]


def run(j):
    pdf = h.write_pdf(j.fixture_path("long.pdf"), [[f"Chapter {n}"] for n in range(1, PAGES + 1)])
    v = j.start_viewer(pdf)

    v.key("ctrl+g")
    v.type("12")
    v.key("Return")
    v.wait_top_page(12, "Ctrl+G, 12, Enter")

    # The bubble sits at the bottom centre of the canvas (right of the page rail).
    shot = v.shot()
    rail = h.rail_rect(shot)
    left = rail[2] if rail else 0
    bubble = ((left + shot.width) // 2, shot.height - 16 - 13)
    v.move(*bubble)
    v.click(*bubble)
    v.type("5")
    v.key("Return")
    v.wait_top_page(5, "a click on the bubble's label, 5, Enter")

    v.key("ctrl+g")
    v.type("9")
    v.key("Escape")
    v.wait_top_page(5, "Ctrl+G, 9, Escape (cancelled)")

    # The vertical scrollbar runs down the canvas's right edge.
    column = shot.width - 3 - 3
    y0, y1 = scrollbar_thumb(v.shot(), column)
    v.click(column, min(shot.height - 10, y1 + 40))
    j.wait_until(lambda: v.top_page() > 5, h.QUICK, "a press below the thumb to page down")
    j.ok(f"a press on the track below the thumb paged down to page {v.top_page()}")

    y0, y1 = scrollbar_thumb(v.shot(), column)
    v.drag((column, (y0 + y1) // 2), (column, shot.height - 2), steps=8)
    j.wait_until(lambda: any(p.number == PAGES for p in h.find_pages(v.shot())), h.QUICK,
                 f"the thumb dragged to the bottom to show page {PAGES}")
    j.ok(f"dragging the thumb to the bottom shows the last page, {PAGES}")


if __name__ == "__main__":
    h.main(run, "go_to_page", __doc__)
