"""Page edits keep the reader in place: duplicating or deleting a page before
the one being read leaves that page on screen, and the Contents tab still
sends each outline entry to its page wherever the plan put it."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

PAGES = 5
WHITE = (255, 255, 255)


def thumbnails(shot):
    rail = h.rail_rect(shot)
    if rail is None:
        raise h.Failure("the page rail is not shown")
    return [b for b in h.components(shot.near(WHITE, 2), shot.width, shot.height, rail, min_count=3000)
            if b.h > b.w]


def rail_menu(j, v, thumb_index, item):
    """Right-clicks a thumbnail and picks the rail menu's item (0 duplicate, 1 delete)."""
    thumb = thumbnails(v.shot())[thumb_index]
    x, y = int(thumb.cx), int(thumb.cy)
    v.click(x, y, button=3)
    # The rail's menu opens at the pointer: items 30 high below a 4-pixel margin.
    v.click(x + 30, y + 4 + 30 * item + 15)


def run(j):
    outline = [(f"Part {n}", n) for n in range(1, PAGES + 1)]
    pdf = h.write_pdf(j.fixture_path("parts.pdf"), [[f"Part {n} begins here"] for n in range(1, PAGES + 1)],
                      outline=outline)
    v = j.start_viewer(pdf)
    v.key("ctrl+g")
    v.type("3")
    v.key("Return")
    v.wait_top_page(3, "Ctrl+G 3")

    rail_menu(j, v, 0, 0)  # duplicate page 1: page 3 moves to position 4
    v.wait_top_page(3, "after duplicating page 1")

    # Contents: the tab in the middle of the sidebar's tab bar, one row per outline entry.
    v.key("Home")
    v.key("b")
    sb = j.wait_until(lambda: h.sidebar_rect(v.shot()), h.QUICK, "the review sidebar")
    width = sb[2] - sb[0]
    v.click(sb[0] + width // 2, sb[1] + 19)
    row_y = sb[1] + 38 + 38 + 32 * 2 + 15  # the third entry, "Part 3"
    v.click(sb[0] + width // 2, row_y)
    v.wait_top_page(3, "the Contents entry 'Part 3' after the duplicate")

    rail_menu(j, v, 1, 1)  # delete the duplicate (now second): page 3 moves back to position 3
    v.wait_top_page(3, "after deleting a page before it")


if __name__ == "__main__":
    h.main(run, "pages_after_edits", __doc__)
