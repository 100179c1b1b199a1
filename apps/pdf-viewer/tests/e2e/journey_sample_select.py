"""The built-in sample has no PDF text, yet its text can be selected and
copied like a PDF's: a drag over the start of its title and a double click on
its first word, each copied with Ctrl+C and read from the clipboard."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

TITLE = "Velyn: A Collaborative Spatial Operating System"
TITLE_MIDDLE_Y = 54  # points: the title's first line, below the sample's 40-point top spacer


def copied(j, v):
    j.set_clipboard("clipboard before the copy")
    v.key("ctrl+c")
    return j.wait_until(lambda: (t := j.clipboard()) not in (None, "clipboard before the copy") and t, h.QUICK,
                        "Ctrl+C to replace the clipboard")


def run(j):
    v = j.start_viewer(None, expect_page=False, extra_args=["--sample"])
    page = v.wait_pages("the sample's first page")[0]

    v.drag(page.to_screen(66, TITLE_MIDDLE_Y), page.to_screen(190, TITLE_MIDDLE_Y))
    text = copied(j, v)
    j.check(len(text) >= 5 and TITLE.startswith(text), f"a drag over the title copied {text!r}, not its start")
    j.ok(f"a drag over the title copied {text!r}")

    v.key("Escape")
    v.click(*page.to_screen(90, TITLE_MIDDLE_Y), repeat=2)
    text = copied(j, v)
    j.check(text == "Velyn", f"a double click on the title's first word copied {text!r}")
    j.ok("a double click on the first word copied 'Velyn'")


if __name__ == "__main__":
    h.main(run, "sample_select", __doc__)
