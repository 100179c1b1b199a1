"""The keyboard alone: Tab shows a focus ring on the first toolbar button and
moves it along the toolbar; Enter on Find opens the search bar, whose field
takes the typing; Tab goes on to its chips and Space toggles one; Shift+Tab
goes back; Escape drops the ring."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = ["the lantern keeper lit a Lantern at dusk", "ships rested by the quay until morning"]
FIND_TAB = 12  # thumbnails, open, save, five tools, zoom out, zoom in, fit, find


def ring_at(shot, x, y):
    """Whether the accent focus ring passes through (x, y), just outside a control."""
    return all(abs(a - b) <= 40 for a, b in zip(shot.pixel(x, y), h.ACCENT))


def hit_count(v):
    shot = v.shot()
    page = next((p for p in h.find_pages(shot) if p.number == 1), None)
    if page is None:
        return 0
    return len(h.search_hits(shot, (page.x0, page.y0, page.x1, page.y1)))


def run(j):
    pdf = h.write_pdf(j.fixture_path("keys.pdf"), [LINES])
    v = j.start_viewer(pdf)
    # The first toolbar button spans x 12..46 around y 28; its ring runs 2 to 4 pixels outside it.
    j.check(not ring_at(v.shot(), 9, 28), "a focus ring shows before any Tab")
    v.key("Tab")
    j.wait_until(lambda: ring_at(v.shot(), 9, 28), h.QUICK, "a focus ring around the first toolbar button after Tab")
    j.ok("Tab put a focus ring on the first toolbar button")

    v.key(*["Tab"] * (FIND_TAB - 1))
    j.check(not ring_at(v.shot(), 9, 28), "the ring stayed on the first button after more Tabs")
    v.key("Return")
    v.type("lantern")
    j.wait_until(lambda: hit_count(v) == 2, h.QUICK, "Enter on Find to open the search bar and take the typed query")
    j.ok("Enter on the focused Find button opened the search bar; typing went into its field (2 matches)")

    # From the field, Tab reaches the chips: "Case" first, and Space toggles it.
    v.key("Tab")
    v.key("space")
    j.wait_until(lambda: hit_count(v) == 1, h.QUICK, "Space on the focused Case chip to match case")
    j.ok("Tab reached the Case chip and Space turned it on (1 match)")

    v.key("Escape")
    shot = v.shot()
    v.key("shift+Tab")
    j.wait_until(lambda: not (v.shot().r == shot.r), h.QUICK, "Shift+Tab to move the ring back")
    j.ok("Escape dropped the ring and Shift+Tab brought it back")


if __name__ == "__main__":
    h.main(run, "keyboard_focus", __doc__)
