"""Every failed open says why: under "Couldn't open this document", its body
and the "Open a PDF…" button, the error screen shows a line of its own with
the open error's text. Files that fail differently show different lines."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402


def detail_rows(shot):
    """The text rows under the error screen's button: (y0, y1, x0, x1) of each."""
    buttons = [b for b in h.components(shot.near(h.ACCENT, 30), shot.width, shot.height, min_count=2000)
               if b.w > 100 and abs(b.cx - shot.width / 2) < shot.width / 4]
    if not buttons:
        raise h.Failure("no 'Open a PDF…' button on the error screen")
    button = max(buttons, key=lambda b: b.y1)
    region = (40, button.y1 + 4, shot.width - 40, min(shot.height, button.y1 + 80))
    ink = shot.mask((0, 200), (0, 200), (0, 200))  # anything clearly darker than the background
    rows = []
    for y0, y1 in h.text_rows(shot, region, dark=200):
        xs = [x for y in range(y0, y1) for x in range(region[0], region[2]) if ink[y * shot.width + x]]
        rows.append((y0, y1, min(xs), max(xs) + 1))
    return rows


def run(j):
    folder = j.fixture_path("bad")
    os.makedirs(folder, exist_ok=True)
    empty = os.path.join(folder, "empty.pdf")
    open(empty, "wb").close()
    picture = os.path.join(folder, "picture.pdf")  # a PNG under a PDF's name
    h.write_solid_png(picture, 40, 30, (200, 30, 30))
    cases = [
        ("a missing file", os.path.join(folder, "missing.pdf")),
        ("a 0-byte file", empty),
        ("a PNG named .pdf", picture),
        ("a directory", folder),
    ]
    seen = {}
    for what, path in cases:
        v = j.start_viewer(path, label=what.replace(" ", "-"), expect_page=False)
        rows = j.wait_until(lambda: detail_rows(v.shot()), h.QUICK, f"{what}: a line of detail under the button")
        j.check(len(rows) <= 3, f"{what}: {len(rows)} text rows under the button, expected a short detail")
        widths = tuple(x1 - x0 for _, _, x0, x1 in rows)
        j.ok(f"{what}: the error screen names its cause in {len(rows)} line(s) under the button, {widths} px wide")
        seen[what] = widths
        v.key("ctrl+q")
        j.wait_until(lambda: not v.alive(), h.QUICK, f"{what}: the viewer to quit on Ctrl+Q")
    j.check(len(set(seen.values())) == len(seen),
            f"different failures should read differently, but some detail lines look alike: {seen}")
    j.ok("each failure reads differently, and Ctrl+Q quits the viewer")


if __name__ == "__main__":
    h.main(run, "open_errors", __doc__)
