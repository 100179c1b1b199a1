#include "app/sample_document.h"

#include <cmath>
#include <numbers>

#include "actions/action_ids.h"
#include "actions/apply.h"
#include "actions/review_schema.h"
#include "actions/review_store.h"

namespace pdf_app {

using pdf::source::Block;
using K = pdf::source::BlockKind;

namespace {

Block text(K kind, std::string s) { return Block{kind, std::move(s), 0}; }
Block space(double h) { return Block{K::Spacer, "", h}; }

}  // namespace

pdf::source::Document sample_document() {
  pdf::source::Document d;
  d.title = "Velyn Technical Overview";
  d.author = "Brannic Systems";
  d.subject = "Architecture reference";
  d.page_width = 612;
  d.page_height = 792;
  d.pages = {
      {space(40), text(K::Title, "Velyn: A Collaborative Spatial Operating System"), space(6),
       text(K::Byline, "Technical Overview  ·  Revision 7  ·  Brannic Systems"), space(20), text(K::Heading, "Abstract"),
       text(K::Paragraph,
            "Velyn is a desktop operating system in which every application keeps its durable state in shared, "
            "replicated documents rather than in private files. Two people who open the same workspace see the same "
            "windows, the same selections and the same edits, merged without a central server deciding who wins. "
            "This overview describes the compositor that places clusters of windows on a spatial canvas, the "
            "filesystem that projects remote content on demand, the toolkit that keeps interface state in the "
            "document, and the security model that grants capabilities per cluster."),
       space(8),
       text(K::Paragraph,
            "The design goal throughout is that collaboration is not a feature bolted onto a single-user system. "
            "Local use is simply the case in which only one participant happens to be present, and every subsystem "
            "is measured against the shared case first."),
       space(16), text(K::Subheading, "Document scope"),
       text(K::Paragraph,
            "This revision covers the architecture of the shipping system. Performance figures, the network relay "
            "protocol and the persistent-host fallback are described in companion documents and are referenced "
            "here only where they shape a design decision."),
       space(18),
       text(K::Quote, "\"Make the collaborative case the default case, and the single-user case a degenerate "
                      "instance of it.\"")},
      {space(28), text(K::Heading, "1  The Compositor"),
       text(K::Paragraph,
            "The compositor arranges windows in clusters on an unbounded spatial canvas. A cluster groups the windows "
            "of one task, moves as a unit and carries its own permissions. The canvas is itself a replicated "
            "document, so the arrangement a collaborator sees is the arrangement everyone sees, down to the zoom."),
       space(10), text(K::Subheading, "1.1  Per-cluster sandboxing"),
       text(K::Paragraph,
            "Every cluster runs in a sandbox of its own: a process group with a private view of the filesystem, its "
            "own clipboard history and its own set of granted capabilities. Dragging content from one cluster to "
            "another is an explicit transfer that the compositor mediates and records. A compromised application "
            "can therefore damage only the task it belongs to, and the record of transfers shows what crossed the "
            "boundary and when, which is what an administrator needs to reconstruct an incident afterwards."),
       space(10),
       Block{K::Figure, "Figure 1. Two clusters tiled on the spatial canvas, each a separate sandbox.", 150},
       space(10), text(K::Subheading, "1.2  Remote input injection"),
       text(K::Paragraph,
            "Remote participants drive windows through the same input path as local devices. Their events carry "
            "the participant's identity, so applications can attribute edits, and the compositor can refuse input "
            "to clusters that the participant was never granted.")},
      {space(28), text(K::Heading, "2  The Filesystem"),
       text(K::Paragraph,
            "The filesystem presents one namespace for local and remote content. Directories of a shared workspace "
            "appear immediately, with sizes and dates, while their bytes stay where they are until an application "
            "reads them. Writes go to a local journal first and are replicated in the background, so a slow link "
            "never blocks an application that saves."),
       space(10), text(K::Subheading, "2.1  Projection versus hydration"),
       text(K::Paragraph,
            "A projected file has metadata but no local bytes; a hydrated file has both. Opening a projected file "
            "hydrates it on demand, range by range, so that a viewer can show the first page of a large document "
            "long before the last byte has arrived. Eviction turns hydrated files back into projections."),
       space(10), text(K::Subheading, "2.2  Conflict handling"),
       text(K::Paragraph,
            "Structured documents merge automatically through their replicated representation. Opaque files cannot "
            "be merged, so concurrent writes to one keep both versions side by side and the interface asks the "
            "people involved to choose, showing who wrote which version and from which machine it came."),
       space(12), text(K::Quote, "Never assume that open() means the bytes are already local.")},
      {space(28), text(K::Heading, "3  The UI Toolkit"),
       text(K::Paragraph,
            "The toolkit paints every frame immediately from application state: there is no retained widget tree to "
            "keep in sync with the document. Widgets are small state structures with a draw function and an event "
            "handler. Text is shaped once and cached, so a frame in which nothing changed costs almost nothing, "
            "and a frame in which nothing will change is never drawn at all."),
       space(10), text(K::Subheading, "3.1  State lives in the document"),
       text(K::Paragraph,
            "Anything a user would expect to find again after a restart, or to see on a collaborator's screen, "
            "lives in the replicated document: the selection, the scroll position of a shared view, the order of "
            "pages. Transient state such as hover stays in the process and is never replicated."),
       space(10), text(K::Subheading, "3.2  Theming is OS-controlled"),
       text(K::Paragraph,
            "Applications name colours by role rather than by value: background, surface, accent, danger. The "
            "operating system supplies the values, which lets it honour contrast preferences, dark mode and "
            "interface scaling uniformly. An application that hard-codes a colour opts out of all three at once.")},
      {space(28), text(K::Heading, "4  Security Model"),
       text(K::Paragraph,
            "Security is expressed in capabilities rather than ambient authority. A cluster starts with none and "
            "receives each one through an explicit grant: access to a directory, to the camera, to the network. "
            "Grants are records in the workspace document, visible to every participant and revocable by any "
            "owner, so the state of trust is never hidden inside one machine."),
       space(10), text(K::Subheading, "4.1  Capability grants"),
       text(K::Paragraph,
            "A grant names the capability, the cluster that holds it and the participant who issued it. It can be "
            "limited in time or in scope. When a grant is revoked, the kernel withdraws the matching handles from "
            "the cluster's processes at once, without restarting them."),
       space(10), text(K::Subheading, "4.2  Signing and attestation"),
       text(K::Paragraph,
            "Every change to a workspace document is signed by the participant's device key. Reviewers can attest "
            "a document revision by signing it, and the signature covers the history up to that revision, so a "
            "later edit never silently inherits an earlier approval."),
       space(14), Block{K::Rule, "", 0}, space(10),
       text(K::Byline, "Signed below to acknowledge review of this revision.")},
      {space(28), text(K::Heading, "Appendix A  Image Layout"),
       text(K::Paragraph,
            "The system image is split into a small immutable base, a set of signed application bundles and a "
            "writable state partition. The base holds the kernel, the compositor and the toolkit; bundles hold "
            "applications and their resources; the state partition holds workspace documents, journals and caches, "
            "and it is the only part a running system ever writes."),
       space(10), text(K::Subheading, "A.1  Boot chain"),
       text(K::Paragraph,
            "Firmware verifies the boot loader, the boot loader verifies the base image, and the base image "
            "verifies every bundle before it is mounted. A failed check stops the chain at that step and shows the "
            "reason, rather than starting a system that cannot vouch for itself."),
       space(10), text(K::Subheading, "A.2  Updates"),
       text(K::Paragraph,
            "Updates are whole images, downloaded beside the running one and switched at the next boot. If the new "
            "image fails to start, the previous one comes back automatically. Workspace documents are untouched by "
            "updates because they live in the state partition, which every image version reads the same way.")},
  };
  d.outline = {{"Abstract", 1, 0},
               {"1  The Compositor", 2, 0},
               {"1.1  Per-cluster sandboxing", 2, 1},
               {"1.2  Remote input injection", 2, 1},
               {"2  The Filesystem", 3, 0},
               {"2.1  Projection vs. hydration", 3, 1},
               {"2.2  Conflict handling", 3, 1},
               {"3  The UI Toolkit", 4, 0},
               {"3.1  State in the document", 4, 1},
               {"3.2  Theming", 4, 1},
               {"4  Security Model", 5, 0},
               {"4.1  Capability grants", 5, 1},
               {"4.2  Signing", 5, 1},
               {"Appendix A  Image Layout", 6, 0}};
  return d;
}

namespace {

std::vector<pdf_actions::Stroke> demo_strokes() {
  pdf_actions::Stroke first;
  for (int i = 0; i < 64; ++i) {
    const double t = i / 64.0;
    first.push_back({0.06 + 0.86 * t, 0.55 + 0.34 * (1 - 0.35 * t) * std::sin(-2.6 * std::numbers::pi * t)});
  }
  return {first, {{0.14, 0.86}, {0.5, 0.9}, {0.82, 0.8}}};
}

// The comment form the review store reads: one map in "comments".
void append_comment(docstore::Transaction& txn, const std::string& id, const std::optional<std::string>& anno,
                    const std::string& author, const std::string& body, std::int64_t created, bool resolved) {
  auto list = pdf_actions::get_or_create_root_list(txn, pdf_actions::keys::kComments);
  if (!list) return;
  auto map = txn.insert_object(*list, txn.document().length(*list), docstore::ObjType::Map);
  if (!map) return;
  (void)txn.put(*map, pdf_actions::members::kId, docstore::Value(id));
  if (anno) (void)txn.put(*map, pdf_actions::members::kAnno, docstore::Value(*anno));
  (void)txn.put(*map, pdf_actions::members::kPage, docstore::Value(std::int64_t{1}));
  (void)txn.put(*map, pdf_actions::members::kAuthor, docstore::Value(author));
  (void)txn.put(*map, pdf_actions::members::kBody, docstore::Value(body));
  (void)txn.put(*map, pdf_actions::members::kCreated, docstore::Value(created));
  (void)txn.put(*map, pdf_actions::members::kResolved, docstore::Value(resolved));
  (void)txn.put_object(*map, pdf_actions::members::kReplies, docstore::ObjType::List);
}

}  // namespace

bool seed_demo_content(docstore::Transaction& txn, const pdf::source::Document& document) {
  using pdf_actions::PdfViewerAction;
  const auto meta = pdf_actions::get_or_create_root_map(txn, pdf_actions::keys::kMeta);
  if (!meta) return false;
  if (pdf_actions::read_bool(txn.document(), *meta, pdf_actions::keys::kSampleSeeded) == true) return false;
  (void)txn.put(*meta, pdf_actions::keys::kSampleTitle, docstore::Value(document.title));
  (void)txn.put(*meta, pdf_actions::keys::kSampleAuthor, docstore::Value(document.author));
  (void)txn.put(*meta, pdf_actions::keys::kSampleSeeded, docstore::Value(true));

  const std::string first = pdf_actions::new_uuid();
  const std::string note = pdf_actions::new_uuid();
  const std::string thread = pdf_actions::new_uuid();
  pdf_actions::apply_action(txn, PdfViewerAction(PdfViewerAction::AddAnnotation{
                                     first, 1, pdf_actions::AnnoGeom::Highlight{64, 196, 420, 14}, "yellow", "Bob"}));
  pdf_actions::apply_action(txn, PdfViewerAction(PdfViewerAction::AddAnnotation{
                                     pdf_actions::new_uuid(), 1, pdf_actions::AnnoGeom::Highlight{64, 210, 300, 14},
                                     "yellow", "Bob"}));
  pdf_actions::apply_action(
      txn, PdfViewerAction(PdfViewerAction::CreateNote{
               note, thread, 1, 506, 300, "blue", "Alice", 1,
               "Should the network relay and persistent-host fallback paths be spelled out here?"}));
  pdf_actions::apply_action(txn, PdfViewerAction(PdfViewerAction::AddSignature{
                                     pdf_actions::new_uuid(), 1, 318, 612, 218, 74, "Alice Brannic", "2026-06-30",
                                     demo_strokes()}));
  pdf_actions::apply_action(txn, PdfViewerAction(PdfViewerAction::AddReply{
                                     thread, pdf_actions::new_uuid(), "Bob", "Good catch — folded it into section 1.2."}));
  pdf_actions::apply_action(txn, PdfViewerAction(PdfViewerAction::AddReply{thread, pdf_actions::new_uuid(), "Alice",
                                                                           "Perfect, thanks."}));
  append_comment(txn, pdf_actions::new_uuid(), first, "Bob",
                 "This sentence is the thesis of the whole paper — let's keep it verbatim.", 2, false);
  append_comment(txn, pdf_actions::new_uuid(), std::nullopt, "Carol",
                 "Typography reads cleanly at fit-page zoom. Approved.", 3, true);
  return true;
}

}  // namespace pdf_app
