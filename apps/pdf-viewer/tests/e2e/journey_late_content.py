"""An imported page whose content reaches this device after its place in the
shared page plan did (a collaborator imported it; its bytes come later): the
page waits as a blank slot, a save in the meantime writes nothing rather than
a file without that page, and once the content lands in the content store the
page is drawn without any input and the next save carries it."""
import glob
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

PAGES = [["Survey of the north field", "first visit"], ["Survey of the north field", "second visit"]]
IMAGE_COLOUR = (200, 60, 150)
WAIT_FOR_NOTHING = 3.0  # seconds a save that must not happen is given to appear


def image_pages(shot):
    """Pages on screen whose centre shows the imported picture's colour."""
    def is_image(page):
        px = shot.pixel(int(page.x0 + page.w / 2), int((page.y0 + page.y1) / 2))
        return all(abs(a - b) <= 12 for a, b in zip(px, IMAGE_COLOUR))
    return [p for p in h.find_pages(shot) if is_image(p)]


def ppm_centre(data):
    """The centre pixel of a binary PPM (P6) as pdftoppm writes it."""
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval; '#' comments are not written by pdftoppm
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    at = 3 * ((height // 2) * width + width // 2)
    return tuple(pixels[at:at + 3])


def run(j):
    pdf = h.write_pdf(j.fixture_path("survey.pdf"), PAGES)
    png = h.write_solid_png(j.fixture_path("plot.png"), 90, 120, IMAGE_COLOUR)

    # Put an imported page into the shared plan, as a collaborator would.
    v = j.start_viewer(pdf, label="importer")
    j.import_through_rail(v, png)
    j.wait_until(lambda: image_pages(v.shot()), 8, "the imported picture on the canvas")
    v.key("ctrl+q")
    j.wait_until(lambda: not v.alive(), 10, "the importing viewer to close on Ctrl+Q")
    blobs = glob.glob(os.path.join(j.env["XDG_DATA_HOME"], "*", "blobs", "*", "*"))
    j.check(len(blobs) == 1, f"expected the one imported blob in the content store, found {blobs}")
    j.ok("the picture was imported into the shared plan; its content is in the store")

    # This device has the plan but not yet the content.
    blob, away = blobs[0], os.path.join(j.root, "in-transit")
    shutil.move(blob, away)
    v = j.start_viewer(pdf, label="reviewer")
    v.key("ctrl+g")
    v.type("2")
    v.key("Return")
    # The imported page is the one whole page in view that carries no tag.
    v.wait_pages("page 2, the imported one, in view",
                 need=lambda pages: any(not p.number and p.top_visible and p.bottom_visible for p in pages))
    j.check(not image_pages(v.shot()), "the imported page is drawn although its content is not on this device")

    early = j.fixture_path("early.pdf")
    j.save_through_chooser(v, early)
    try:
        j.wait_until(lambda: os.path.exists(early), WAIT_FOR_NOTHING, "a save")
        raise h.Failure("a save went through while page 2's content was missing; "
                        f"pdfinfo says {j.run('pdfinfo', early, check=False).stdout.decode()!r}")
    except h.Failure as e:
        if "timed out" not in str(e):
            raise
    j.ok("while the content is missing the page is a blank slot and a save writes no file")

    # The content arrives (a blob store publishes by rename); no input is sent.
    pointer = j.pointer()
    os.replace(away, blob)
    j.wait_until(lambda: image_pages(v.shot()), 8, "the imported picture once its content arrived (no input sent)")
    j.check(j.pointer() == pointer, "the pointer moved while waiting for the content")
    j.ok("the page drew itself once its content reached the store")

    saved = j.fixture_path("complete.pdf")
    v.focus()
    j.save_through_chooser(v, saved)
    j.wait_until(lambda: os.path.exists(saved) and os.path.getsize(saved) > 0, 10, f"the saved file {saved}")
    j.run("qpdf", "--check", saved, timeout=20)
    info = j.run("pdfinfo", saved, timeout=20).stdout.decode()
    j.check("Pages:           3" in info, f"the saved PDF should have 3 pages; pdfinfo says {info!r}")
    centre = ppm_centre(j.run("pdftoppm", "-r", "20", "-f", "2", "-l", "2", saved, timeout=20).stdout)
    j.check(all(abs(a - b) <= 12 for a, b in zip(centre, IMAGE_COLOUR)),
            f"page 2 of the saved PDF is {centre} at its centre, not the imported picture's {IMAGE_COLOUR}")
    j.ok("the save after the content arrived has 3 pages, page 2 the picture (qpdf --check passes)")


if __name__ == "__main__":
    h.main(run, "late_content", __doc__, dbus=True)
