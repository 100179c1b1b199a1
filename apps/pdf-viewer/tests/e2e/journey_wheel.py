"""The mouse wheel: over the page rail it scrolls the thumbnails, over the
canvas it scrolls the document (and zooms with Ctrl), over the review
sidebar it scrolls the list. Directions are checked, not amounts."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

PAGES = 6
MARKED_ENTRY = 16  # the one contents entry that points at page 1 (highlighted while page 1 is current)
OUTLINE = [(f"Chapter {i + 1}", 1 if i == MARKED_ENTRY else 2 + i % (PAGES - 1)) for i in range(40)]
MIN_MOVE = 20  # pixels


def accent_boxes(viewer, region_of, keep):
    shot = viewer.shot()
    region = region_of(shot)
    if region is None:
        return None
    return [b for b in h.components(shot.near(h.ACCENT, 12), shot.width, shot.height, region, min_count=20) if keep(b)]


def current_thumbnail(viewer):
    """The accent ring around the current page's thumbnail in the rail."""
    boxes = accent_boxes(viewer, h.rail_rect, lambda b: b.w > 50 and b.h > 50)
    return boxes[0] if boxes and len(boxes) == 1 else None


def marked_entry(viewer):
    """The accent bar at the left of the contents entry of the current page."""
    boxes = accent_boxes(viewer, h.sidebar_rect, lambda b: b.w <= 6 and b.h >= 12)
    return boxes[0] if boxes and len(boxes) == 1 else None


def page_top(viewer, number):
    pages = [p for p in h.find_pages(viewer.shot()) if p.number == number]
    return pages[0] if pages else None


def tracked(find, field):
    """A probe of one coordinate of what find() locates: None while it is not found."""
    return lambda: getattr(find(), field, None)


def moved(j, before, probe, direction, what):
    """Waits until probe() differs from `before` by MIN_MOVE pixels in `direction` (-1 up, +1 down)."""
    seen = {}

    def check():
        now = probe()
        seen["now"] = now
        return now is not None and (now - before) * direction >= MIN_MOVE and now

    try:
        now = j.wait_until(check, h.QUICK, what)
    except h.Failure:
        now = seen.get("now")
        way = "up" if direction < 0 else "down"
        if now is None:
            raise h.Failure(f"{what}: lost track of it (was at {before})")
        raise h.Failure(f"{what}: expected it to move {way}, it went from {before} to {now}"
                        + (" — the opposite way" if (now - before) * direction <= -MIN_MOVE else ""))
    j.ok(f"{what}: {before} -> {now}")
    return now


def run(j):
    pdf = h.write_pdf(j.fixture_path("wheel.pdf"),
                      [[f"page {n} of the wheel journey", "a line of text"] for n in range(1, PAGES + 1)], OUTLINE)
    v = j.start_viewer(pdf)

    # Zoomed out so that two pages show their tops, on page 2 so the document can scroll both ways.
    v.key("minus", "minus", "minus", "bracketright")
    pages = v.wait_pages("pages 2 and 3 with their tops in view",
                         need=lambda ps: {2, 3} <= {p.number for p in ps})
    canvas_x = pages[0].x0 + pages[0].w // 2

    # The canvas.
    top = page_top(v, 3).y0
    v.wheel(canvas_x, top - 40, down=True, clicks=2)
    top = moved(j, top, tracked(lambda: page_top(v, 3), "y0"), -1,
                "wheel down over the canvas scrolls the document down (page 3's top edge moves up)")
    v.wheel(canvas_x, top - 40, down=False, clicks=2)
    moved(j, top, tracked(lambda: page_top(v, 3), "y0"), +1,
          "wheel up over the canvas scrolls back (page 3's top edge moves down)")

    page = page_top(v, 3)
    width, at = page.w, (canvas_x, page.y0 + 60)
    v.wheel(*at, down=False, ctrl=True)
    width = moved(j, width, tracked(lambda: page_top(v, 3), "w"), +1,
                  "Ctrl+wheel up zooms in (the page gets wider)")
    v.wheel(*at, down=True, ctrl=True)
    moved(j, width, tracked(lambda: page_top(v, 3), "w"), -1,
          "Ctrl+wheel down zooms out (the page gets narrower)")

    # The page rail.
    if h.rail_rect(v.shot()) is None:
        v.click(29, 28)  # the first toolbar button shows the thumbnails
    ring = j.wait_until(lambda: current_thumbnail(v), h.QUICK, "the current page's thumbnail in the rail")
    rail = h.rail_rect(v.shot())
    v.wheel((rail[0] + rail[2]) // 2, ring.cy, down=True, clicks=2)
    y = moved(j, ring.y1, tracked(lambda: current_thumbnail(v), "y1"), -1,
              "wheel down over the rail scrolls the thumbnails up")
    v.wheel((rail[0] + rail[2]) // 2, y - 20, down=False, clicks=2)
    moved(j, y, tracked(lambda: current_thumbnail(v), "y1"), +1,
          "wheel up over the rail scrolls the thumbnails down")

    # The review sidebar, on its Contents tab: a long list of chapters.
    v.key("Home", "b")
    side = j.wait_until(lambda: h.sidebar_rect(v.shot()), h.QUICK, "the sidebar to open on B")
    shot = v.shot()
    tab_line = h.horizontal_lines(shot, h.PANEL_BORDER, tolerance=2, min_fraction=0.9,
                                  region=(side[0] + 1, side[1] + 10, side[2], side[1] + 120))
    j.check(tab_line, "no border under the sidebar's tab bar")
    v.click((side[0] + side[2]) // 2, (side[1] + tab_line[0]) // 2)  # the middle tab: Contents
    bar = j.wait_until(lambda: marked_entry(v), h.QUICK, "the contents list with page 1's entry marked")
    v.wheel((side[0] + side[2]) // 2, bar.cy, down=True, clicks=3)
    y = moved(j, bar.cy, tracked(lambda: marked_entry(v), "cy"), -1,
              "wheel down over the sidebar scrolls the contents list up")
    v.wheel((side[0] + side[2]) // 2, y, down=False, clicks=1)
    moved(j, y, tracked(lambda: marked_entry(v), "cy"), +1,
          "wheel up over the sidebar scrolls the contents list down")


if __name__ == "__main__":
    h.main(run, "wheel", __doc__)
