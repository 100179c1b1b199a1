"""Text selection with the Select tool on a real PDF page: a drag, a double
click and a triple click, each copied with Ctrl+C and read from the clipboard."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = [
    "Minutes of the harbour board meeting",
    "ships rested by the quay until morning",
    "the ferry left at nine with forty passengers",
]
SENTINEL = "clipboard before the copy"


def point(page, line, word, where):
    """Screen point inside `word` of `line`: 'start' just right of its left edge, 'end' just
    left of its right edge, 'middle' at its centre; vertically in the middle of the glyphs."""
    x0, y0, x1, y1 = h.word_box(LINES, line, word)
    x = {"start": x0 + 1.5, "end": x1 - 1.5, "middle": (x0 + x1) / 2}[where]
    return page.to_screen(x, (y0 + y1) / 2)


def copy_and_read(j, viewer, expected, what):
    j.set_clipboard(SENTINEL)
    viewer.key("ctrl+c")
    def replaced():
        text = j.clipboard()
        return text if text not in (None, SENTINEL) else None

    try:
        text = j.wait_until(replaced, h.QUICK, "Ctrl+C to replace the clipboard")
    except h.Failure:
        raise h.Failure(f"{what}: Ctrl+C copied nothing (clipboard still {j.clipboard()!r}, expected {expected!r})")
    j.check(text == expected, f"{what}: clipboard holds {text!r}, expected {expected!r}")
    j.ok(f"{what}: clipboard holds {text!r}")


def run(j):
    pdf = h.write_pdf(j.fixture_path("select.pdf"), [LINES])
    v = j.start_viewer(pdf)
    page = next(p for p in v.wait_pages() if p.number == 1)

    v.drag(point(page, 1, "rested", "start"), point(page, 1, "quay", "end"))
    after = next((p for p in h.find_pages(v.shot()) if p.number == 1), None)
    j.check(after is not None and (after.x0, after.y0) == (page.x0, page.y0),
            f"dragging over text moved the page from {page} to {after} (it panned instead of selecting)")
    copy_and_read(j, v, "rested by the quay", "drag from 'rested' to 'quay'")

    # Escape drops each selection, and with it the copy bar that floats over the lines above.
    for line, word, repeat, expected, what in [
        (2, "ferry", 2, "ferry", "double click on 'ferry'"),
        (0, "board", 3, LINES[0], "triple click on the first line"),
    ]:
        v.key("Escape")
        page = next(p for p in v.wait_pages() if p.number == 1)
        v.click(*point(page, line, word, "middle"), repeat=repeat)
        copy_and_read(j, v, expected, what)

if __name__ == "__main__":
    h.main(run, "select", __doc__)
