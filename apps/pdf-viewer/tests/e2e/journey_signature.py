"""A typed signature: the Sign tool opens the signature pad in the sidebar;
the signer's name is typed into its name field and the signature placed on a
page with one click."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

SIGNER = "Ada Lovelace"
PLACE_AT = (300.0, 500.0)  # points on page 1


def name_field(viewer):
    """The pad's name field: the last text line on the left of the bordered pad box that sits
    right above the accent 'place signature' button."""
    shot = viewer.shot()
    side = h.sidebar_rect(shot)
    if side is None:
        return None
    buttons = [b for b in h.components(shot.near(h.ACCENT, 3), shot.width, shot.height, side, min_count=2000)
               if b.w > 150 and 25 <= b.h <= 50]
    if len(buttons) != 1:
        return None
    x, y = buttons[0].x0 + 3, buttons[0].y0 - 1
    while y > side[1] and min(shot.pixel(x, y)) >= 250:  # the gap above the button
        y -= 1
    bottom = y
    y -= 3
    while y > side[1] and min(shot.pixel(x, y)) >= 250:  # the pad box's inside
        y -= 1
    top = y
    if bottom - top < 20:
        return None
    rows = h.text_rows(shot, (x, top + 2, (buttons[0].x0 + buttons[0].x1) // 2, bottom - 1), dark=140)
    return (x + 30, (rows[-1][0] + rows[-1][1]) / 2) if len(rows) >= 2 else None


def run(j):
    pdf = h.write_pdf(j.fixture_path("signature.pdf"), [["Tenancy agreement for the boathouse", "signed below"]])
    v = j.start_viewer(pdf)

    v.key("5")  # Sign tool: the sidebar opens on the signature pad
    field = j.wait_until(lambda: name_field(v), h.QUICK, "the signature pad's name field in the sidebar")
    j.ok("the Sign tool showed the signature pad with its name field")
    v.click(*field)
    v.type(SIGNER)
    v.key("Return")

    page = next(p for p in v.wait_pages() if p.number == 1)
    v.click(*page.to_screen(*PLACE_AT))
    review = j.wait_review(pdf, lambda r: r["signatures"], "a placed signature")
    sigs = review["signatures"]
    j.check(len(sigs) == 1, f"expected one signature, review has {sigs}")
    sig = sigs[0]
    j.check(sig["signer"] == SIGNER, f"signature signed by {sig['signer']!r}, expected {SIGNER!r} (typed into the name field)")
    j.check(sig["strokes"] is None, f"a typed signature has no strokes, got {sig['strokes']}")
    x, y, w, hgt = sig["rect"]
    j.check(sig["page"] == 1 and x <= PLACE_AT[0] <= x + w and y <= PLACE_AT[1] <= y + hgt,
            f"signature {sig['rect']} on page {sig['page']} does not cover the click at {PLACE_AT} on page 1")
    j.ok(f"typed signature by {SIGNER!r} placed at {[round(c) for c in sig['rect']]}")


if __name__ == "__main__":
    h.main(run, "signature", __doc__)
