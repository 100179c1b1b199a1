"""Notes and their comment threads: the Note tool opens a comment editor in
the sidebar; typing (with a space that must not page down), a reply from the
card's '+ Reply' link, and an edit of the body all land in the shared review."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_harness as h  # noqa: E402

LINES = ["Site survey of the crossing at Mill Lane", "traffic counted on a wet Tuesday"]
NOTE_AT = (380.0, 300.0)  # points, an empty part of page 1


def only_comment(review):
    return review["comments"][0] if len(review["comments"]) == 1 else None


def reply_link(viewer):
    """The '+ Reply' link of the single card: the accent-coloured word in the sidebar."""
    shot = viewer.shot()
    side = h.sidebar_rect(shot)
    if side is None:
        return None
    links = h.accent_texts(shot, (side[0] + 1, side[1] + 50, side[2], side[3]))
    return (shot, side, links[0]) if len(links) == 1 else None


def body_text(shot, link):
    """The comment body: the first text line under the author's name that starts where the
    link starts (replies are indented). Walks up the card's left margin to its top edge first."""
    x = link.x0 - 4
    top = link.y0
    while top > 0 and min(shot.pixel(x, top - 1)) < 250:
        top -= 1
    author = h.text_rows(shot, (link.x0 + 20, top, link.x0 + 60, link.y0 - 2))
    if not author:
        return None
    rows = h.text_rows(shot, (link.x0, author[0][1] + 1, link.x0 + 16, link.y0 - 2))
    return rows[0] if rows else None


def run(j):
    pdf = h.write_pdf(j.fixture_path("comment.pdf"), [LINES, ["page two"]])
    v = j.start_viewer(pdf)
    page = next(p for p in v.wait_pages() if p.number == 1)

    v.key("4")  # Note tool
    v.click(*page.to_screen(*NOTE_AT))
    review = j.wait_review(pdf, only_comment, "the note's comment thread")
    notes = [a for a in review["annotations"] if a["kind"] == "note"]
    j.check(len(notes) == 1 and review["comments"][0]["anno"] == notes[0]["id"],
            f"expected one note carrying the thread; review has {review}")
    at = notes[0]["at"]
    j.check(abs(at[0] - NOTE_AT[0]) <= 3 and abs(at[1] - NOTE_AT[1]) <= 3,
            f"note placed at {at}, clicked at {NOTE_AT}")
    j.ok(f"Note tool click made a note at {[round(c) for c in at]} with an empty thread")

    j.wait_until(lambda: h.sidebar_rect(v.shot()), h.QUICK, "the sidebar to open with the comment editor")
    before = [(p.number, p.x0, p.y0, p.x1) for p in v.wait_pages()]
    v.type("zebra crossing")
    after = [(p.number, p.x0, p.y0, p.x1) for p in v.wait_pages()]
    j.check(after == before, f"typing into the comment moved the document (space paged down?): {before} -> {after}")
    j.ok("typing a space into the comment left the page where it was")
    v.key("Return")
    j.wait_review(pdf, lambda r: only_comment(r) and only_comment(r)["body"] == "zebra crossing",
                  "the comment body 'zebra crossing'")
    j.ok("Enter stored the comment body 'zebra crossing'")

    _, _, link = j.wait_until(lambda: reply_link(v), h.QUICK, "the card's '+ Reply' link in the sidebar")
    v.click(link.x0 + 3, link.cy)
    v.type("seen it")
    v.key("Return")
    j.wait_review(pdf, lambda r: only_comment(r) and only_comment(r)["replies"] == [{"author": "You", "body": "seen it"}],
                  "the reply 'seen it'")
    j.ok("'+ Reply', typing and Enter added the reply 'seen it'")

    shot, _, link = j.wait_until(lambda: reply_link(v), h.QUICK, "the '+ Reply' link under the reply")
    body = body_text(shot, link)
    j.check(body is not None, "no comment body text found on the card")
    v.click(link.x0 + 10, (body[0] + body[1]) / 2)
    v.key("End")
    v.type(" ahead")
    v.key("Return")
    j.wait_review(pdf, lambda r: only_comment(r) and only_comment(r)["body"] == "zebra crossing ahead",
                  "the edited body 'zebra crossing ahead'")
    final = only_comment(j.review(pdf))
    j.check(final["replies"] == [{"author": "You", "body": "seen it"}], f"editing the body changed the replies: {final}")
    j.ok("clicking the body, End, typing and Enter changed it to 'zebra crossing ahead'")


if __name__ == "__main__":
    h.main(run, "comment", __doc__)
