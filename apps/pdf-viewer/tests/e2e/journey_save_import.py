"""Saving and importing through GTK's file chooser (no desktop portal answers
on the journey's private session bus): Ctrl+S writes a valid PDF with the
document's text to the path typed into the dialog, and the rail's 'Add pages'
button imports a PNG as one more page. Neither may wait for mouse motion: the
document is long enough that its save outlasts the frames the closing dialog
causes, so only a viewer that wakes for the worker's reply publishes it.
Closing the viewer while a save is being written lets the save finish and
leaves no private directory behind."""
import os
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

PAGES = [
    ["Harbour master's annual statement", "berths let in the spring season"],
    ["Second page of the statement", "dredging of the outer channel"],
]
FILLER_PAGES = 2000
FILLER_PAGES_SANITIZED = 100  # a sanitizer build seeds 2000 pages' plan far too slowly for the journey
IMAGE_COLOUR = (40, 170, 90)
def is_image_page(shot, page):
    px = shot.pixel(int(page.x0 + page.w / 2), int((page.y0 + page.y1) / 2))
    return all(abs(a - b) <= 12 for a, b in zip(px, IMAGE_COLOUR))


def unsaved_dot(shot):
    """Whether the Save button (third in the toolbar, 96..130 across) carries the accent dot at its top right."""
    dot = h.components(shot.near(h.ACCENT, 40), shot.width, shot.height, (116, 9, 132, 25), min_count=8)
    return bool(dot)


def run(j):
    count = FILLER_PAGES_SANITIZED if j.sanitized else FILLER_PAGES
    filler = [[f"Appendix entry {n}"] for n in range(1, count + 1)]
    pdf = h.write_pdf(j.fixture_path("statement.pdf"), PAGES + filler)
    png = h.write_solid_png(j.fixture_path("stamp.png"), 120, 90, IMAGE_COLOUR)
    out = j.fixture_path("saved copy.pdf")
    v = j.start_viewer(pdf)

    # A highlight is a change no save has exported yet: the dot on Save says so.
    j.check(not unsaved_dot(v.shot()), "the Save button shows the unsaved-changes dot before any change")
    page = next(p for p in v.wait_pages() if p.number == 1)
    top, base = h.line_band(0)
    v.key("2")
    v.drag(page.to_screen(h.LEFT, top), page.to_screen(h.LEFT + 120, base))
    j.wait_until(lambda: unsaved_dot(v.shot()), h.QUICK, "the unsaved-changes dot on Save after a highlight")
    v.key("1")

    # Save: Ctrl+S, the chooser, a typed path, Enter; no pointer motion after that.
    wid = j.wait_dialog(h.SAVE_TITLE, lambda: v.key("ctrl+s"))
    start = j.pointer()
    j.answer_chooser(wid, out, location_entry=False)
    j.wait_until(lambda: os.path.exists(out) and os.path.getsize(out) > 0, 10,
                 f"the saved file at {out} (the mouse was not moved)")
    j.check(j.pointer() == start, "the journey moved the pointer while waiting for the save")
    j.run("qpdf", "--check", out, timeout=20)
    text = j.run("pdftotext", "-layout", "-l", str(len(PAGES)), out, "-", timeout=20).stdout.decode()
    missing = [line for lines in PAGES for line in lines if line not in text]
    j.check(not missing, f"the saved PDF lacks the document's text {missing}; pdftotext shows {text!r}")
    j.wait_until(lambda: not unsaved_dot(v.shot()), h.QUICK, "the unsaved-changes dot to clear once the save completed")
    j.ok(f"Enter in the chooser saved {os.path.basename(out)}: qpdf --check passes, the text is there, the dot cleared")

    # Import: the rail's 'Add pages', the chooser, a typed path, Enter; the
    # viewer goes to the imported page, which shows the PNG's colour.
    shot = v.shot()
    rail = h.rail_rect(shot)
    if rail is None:
        v.click(29, 28)  # the first toolbar button shows the page rail
        rail = j.wait_until(lambda: h.rail_rect(v.shot()), h.QUICK, "the page rail")
        shot = v.shot()
    rows = [r for r in h.text_rows(shot, (rail[0] + 8, rail[3] - 80, rail[2] - 8, rail[3])) if r[1] - r[0] >= 6]
    j.check(rows, "no 'Add pages' button at the bottom of the page rail")
    j.check(not any(is_image_page(shot, p) for p in h.find_pages(shot)), "an image page shows before the import")
    wid = j.wait_dialog(h.IMPORT_TITLE, lambda: v.click((rail[0] + rail[2]) // 2, (rows[-1][0] + rows[-1][1]) // 2))
    start = j.pointer()
    j.answer_chooser(wid, png, location_entry=True)

    def imported():
        shot = v.shot()
        return [p for p in h.find_pages(shot) if is_image_page(shot, p)]

    try:
        pages = j.wait_until(imported, 8, "the imported image page on the canvas (the mouse was not moved)")
    except h.Failure as e:
        raise h.Failure(f"{e}; the canvas shows {h.find_pages(v.shot())}")
    j.check(j.pointer() == start, "the journey moved the pointer while waiting for the import")
    # The picture keeps its own shape inside the portrait page slot, not squeezed into it.
    shot, page = v.shot(), pages[0]
    green = max(h.components(shot.near(IMAGE_COLOUR, 12), shot.width, shot.height,
                             (page.x0, max(page.y0, 0), page.x1, min(page.y1, shot.height)), min_count=100),
                key=lambda b: b.count)
    aspect, wanted = green.w / green.h, 120 / 90
    j.check(abs(aspect / wanted - 1) < 0.04 and green.w >= page.w - 4,
            f"the imported 120x90 picture is drawn {green.w}x{green.h} in a {page.w}-wide slot, not at its own shape")
    j.ok(f"the PNG was imported as a page and shown at its own shape: {green.w}x{green.h} in {page}")

    # Close while saving: SIGTERM asks the viewer to close as its window's close
    # button does, once the save is being written in its private directory.
    second = j.fixture_path("closing copy.pdf")
    folder = os.path.dirname(second)
    private = lambda: [n for n in os.listdir(folder) if n.startswith(".")]
    v.focus()
    wid = j.wait_dialog(h.SAVE_TITLE, lambda: v.key("ctrl+s"))
    j.answer_chooser(wid, second, location_entry=False)
    j.wait_until(private, 10, "the save's private directory beside the destination", interval=0.01)
    pid = int(j.xdo("getwindowpid", v.wid).split()[0])
    os.kill(pid, signal.SIGTERM)
    j.wait_until(lambda: not v.alive(), 20, "the viewer to exit after finishing its save")
    j.check(os.path.exists(second), "closing the viewer during a save lost the saved file")
    j.run("qpdf", "--check", second, timeout=20)
    j.check(not private(), f"a private save directory was left behind: {private()}")
    j.ok("closing during a save let it finish: the file is valid and no private directory is left")


if __name__ == "__main__":
    h.main(run, "save_import", __doc__, dbus=True)
