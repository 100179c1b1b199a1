// Random valid actions applied to random document trees (every root key may
// hold a wrong type, every record member may be of any type), then the review
// model and the page plan are read. Nothing may crash; reading never fails.
//
// The input is a byte program: the first part builds a tree, the rest picks
// actions whose ids come from a small pool, so actions hit existing records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "actions/apply.h"
#include "actions/page_plan.h"
#include "actions/review_store.h"

namespace {

using namespace pdf_actions;
using A = PdfViewerAction;
using docstore::ObjId;
using docstore::ObjType;

class Bytes {
 public:
  Bytes(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  bool empty() const { return i_ >= n_; }
  std::uint8_t next() { return i_ < n_ ? d_[i_++] : 0; }
  std::size_t below(std::size_t n) { return n == 0 ? 0 : next() % n; }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  std::size_t i_ = 0;
};

const std::vector<std::string> kIds = {"a", "b", "c", "source-1", "source-2", "source-3", "page-x", "import-y", " ", ""};
const std::vector<std::string_view> kRootKeys = {keys::kAnnotations, keys::kComments, keys::kSignatures,
                                                 keys::kPagePlan, keys::kPagePlanTombstones, keys::kMeta};
// In a fixed order: the inputs pick members by index.
const std::vector<std::string_view> kMembers = {
    members::kId, members::kPage, members::kPageId, members::kKind, members::kColor, members::kX, members::kY,
    members::kW, members::kH, members::kPoints, members::kAnno, members::kCreated, members::kResolved,
    members::kReplies, members::kInk, members::kStrokes, members::kSourcePage, members::kContentHash,
    members::kContentKind, members::kContentPage, members::kPageWidthMilli, members::kPageHeightMilli,
    keys::kPagePlanSeeded};

docstore::Value scalar(Bytes& in) {
  switch (in.below(7)) {
    case 0: return docstore::Value(docstore::Null{});
    case 1: return docstore::Value(in.next() % 2 == 0);
    case 2: return docstore::Value(static_cast<std::int64_t>(in.next()) - 8);
    case 3: return docstore::Value(static_cast<double>(in.next()) / 4.0);
    case 4: return docstore::Value(kIds[in.below(kIds.size())]);
    case 5: return docstore::Value(std::string(64, "aF0z"[in.below(4)]));
    default: return docstore::Value(std::string("highlight ink note drawn typed 1,2 3,4;5,6").substr(in.below(30)));
  }
}

void fill_map(docstore::Transaction& txn, const ObjId& map, Bytes& in, int depth);

void fill_list(docstore::Transaction& txn, const ObjId& list, Bytes& in, int depth) {
  const std::size_t n = in.below(6);
  for (std::size_t i = 0; i < n; ++i) {
    if (in.below(4) == 0) {
      (void)txn.insert(list, txn.document().length(list), scalar(in));
    } else if (auto m = txn.insert_object(list, txn.document().length(list), ObjType::Map)) {
      fill_map(txn, *m, in, depth + 1);
    }
  }
}

void fill_map(docstore::Transaction& txn, const ObjId& map, Bytes& in, int depth) {
  const std::size_t n = in.below(8);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view key = kMembers[in.below(kMembers.size())];
    const std::size_t shape = depth < 3 ? in.below(6) : 0;
    if (shape == 4) {
      if (auto l = txn.put_object(map, key, ObjType::List)) fill_list(txn, *l, in, depth);
    } else if (shape == 5) {
      if (auto m = txn.put_object(map, key, ObjType::Map)) fill_map(txn, *m, in, depth + 1);
    } else {
      (void)txn.put(map, key, scalar(in));
    }
  }
}

void build_tree(docstore::Document& doc, Bytes& in) {
  auto txn = doc.begin();
  for (std::string_view key : kRootKeys) {
    switch (in.below(4)) {
      case 0: break;
      case 1: (void)txn.put(ObjId::root(), key, scalar(in)); break;
      case 2:
        if (auto m = txn.put_object(ObjId::root(), key, ObjType::Map)) fill_map(txn, *m, in, 1);
        break;
      default:
        if (auto l = txn.put_object(ObjId::root(), key, ObjType::List)) fill_list(txn, *l, in, 1);
    }
  }
  txn.commit();
}

const std::string& id(Bytes& in) { return kIds[in.below(kIds.size())]; }
double num(Bytes& in) { return static_cast<double>(static_cast<std::int8_t>(in.next())); }
std::optional<std::string> opt_id(Bytes& in) {
  if (in.below(3) == 0) return std::nullopt;
  return id(in);
}
std::optional<ImportedPage> opt_imported(Bytes& in) {
  if (in.below(2) == 0) return std::nullopt;
  return ImportedPage{std::string(64 - in.below(2), 'a'), in.below(4) ? "pdf" : "svg", in.below(3), 612000,
                      static_cast<std::uint32_t>(in.below(3) * 1000)};
}

PdfViewerAction random_action(Bytes& in) {
  const std::uint64_t page = in.below(5);
  switch (in.below(15)) {
    case 0: return A::DuplicatePagePlan{id(in), id(in), page, opt_imported(in)};
    case 1: {
      std::vector<PagePlanEntry> pages;
      const std::size_t n = in.below(4);
      for (std::size_t i = 0; i < n; ++i) pages.push_back({id(in), page, opt_imported(in)});
      return A::ImportPages{opt_id(in), std::move(pages)};
    }
    case 2: return A::DeletePagePlan{id(in)};
    case 3: return A::MovePagePlan{id(in), opt_id(in)};
    case 4: {
      AnnoGeom geom;
      switch (in.below(3)) {
        case 0: geom = AnnoGeom::Highlight{num(in), num(in), num(in), num(in)}; break;
        case 1: geom = AnnoGeom::Ink{{{num(in), num(in)}, {num(in), num(in)}}}; break;
        default: geom = AnnoGeom::Note{num(in), num(in)};
      }
      return A::AddAnnotation{id(in), page, geom, "Purple", "x"};
    }
    case 5: return A::SetAnnotationColor{id(in), "green"};
    case 6: return A::SetAnnotationPosition{id(in), num(in), num(in)};
    case 7: return A::DeleteAnnotation{id(in)};
    case 8: return A::CreateNote{id(in), id(in), page, num(in), num(in), "blue", "y", num(in) > 0 ? 1 : -1, "b"};
    case 9: return A::SetCommentBody{id(in), "body"};
    case 10: return A::SetCommentResolved{id(in), in.below(2) == 0};
    case 11: return A::AddReply{id(in), id(in), "z", "reply"};
    case 12: return A::DeleteComment{id(in)};
    case 13: {
      std::optional<std::vector<Stroke>> strokes;
      if (in.below(2)) strokes = std::vector<Stroke>{{{num(in), num(in)}}, {}};
      return A::AddSignature{id(in), page, num(in), num(in), num(in), num(in), "s", "2024-01-01", strokes};
    }
    default: return A::DeleteSignature{id(in)};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  docstore::Document doc;
  build_tree(doc, in);
  (void)read_review_model(doc);
  for (int step = 0; step < 64 && !in.empty(); ++step) {
    auto txn = doc.begin();
    if (in.below(8) == 0) {
      seed_page_plan(txn, in.below(4));
    } else {
      apply_action(txn, random_action(in));
    }
    txn.commit();
    (void)read_review_model(doc);
    (void)derive_page_plan(doc);
  }
  return 0;
}
