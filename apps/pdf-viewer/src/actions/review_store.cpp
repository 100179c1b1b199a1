#include "actions/review_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "actions/page_plan.h"
#include "actions/review_schema.h"

namespace pdf_actions {

using docstore::Document;
using docstore::ObjId;

PagePositions::PagePositions(const std::vector<PagePlanEntry>& displayed) {
  ids_.reserve(displayed.size());
  positions_.reserve(displayed.size());
  for (const auto& entry : displayed) {
    ids_.push_back(entry.id);
    positions_.try_emplace(entry.id, ids_.size());
  }
}

std::optional<std::uint64_t> PagePositions::position_of(std::string_view entry_id) const {
  auto it = positions_.find(entry_id);
  if (it == positions_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> PagePositions::entry_id_at(std::uint64_t position) const {
  if (position < 1 || position > ids_.size()) return std::nullopt;
  return ids_[position - 1];
}

// ---- typed reads ----

std::optional<std::string> read_string(const Document& doc, const ObjId& map, std::string_view key) {
  auto v = doc.get(map, key);
  if (!v) return std::nullopt;
  if (const std::string* s = v->as_string()) return *s;
  return std::nullopt;
}

std::optional<std::int64_t> read_int(const Document& doc, const ObjId& map, std::string_view key) {
  auto v = doc.get(map, key);
  return v ? v->as_int() : std::nullopt;
}

std::optional<double> read_number(const Document& doc, const ObjId& map, std::string_view key) {
  auto v = doc.get(map, key);
  if (!v) return std::nullopt;
  if (auto d = v->as_double()) {
    // A non-finite coordinate would poison layout and drawing; treat it as absent.
    if (!std::isfinite(*d)) return std::nullopt;
    return d;
  }
  if (auto i = v->as_int()) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<bool> read_bool(const Document& doc, const ObjId& map, std::string_view key) {
  auto v = doc.get(map, key);
  return v ? v->as_bool() : std::nullopt;
}

std::optional<ObjId> read_list(const Document& doc, const ObjId& map, std::string_view key) {
  auto v = doc.get(map, key);
  return v ? v->as_list() : std::nullopt;
}

std::optional<ObjId> read_map(const Document& doc, const ObjId& map, std::string_view key) {
  auto v = doc.get(map, key);
  return v ? v->as_map() : std::nullopt;
}

std::uint64_t read_record_page(const Document& doc, const ObjId& record, const PagePositions& pages) {
  if (auto page_id = read_string(doc, record, members::kPageId)) {
    if (auto pos = pages.position_of(*page_id)) return *pos;
  }
  if (auto page = read_int(doc, record, members::kPage); page && *page >= 1) return static_cast<std::uint64_t>(*page);
  return 1;
}

std::optional<std::string> RecordView::string(std::string_view key) const {
  const auto* v = find(key);
  if (const std::string* s = v ? v->as_string() : nullptr) return *s;
  return std::nullopt;
}

std::optional<std::string_view> RecordView::text(std::string_view key) const {
  const auto* v = find(key);
  if (const std::string* s = v ? v->as_string() : nullptr) return std::string_view(*s);
  return std::nullopt;
}

std::optional<std::int64_t> RecordView::integer(std::string_view key) const {
  const auto* v = find(key);
  return v ? v->as_int() : std::nullopt;
}

std::optional<double> RecordView::number(std::string_view key) const {
  const auto* v = find(key);
  if (!v) return std::nullopt;
  if (auto d = v->as_double()) return std::isfinite(*d) ? d : std::nullopt;
  if (auto i = v->as_int()) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<bool> RecordView::boolean(std::string_view key) const {
  const auto* v = find(key);
  return v ? v->as_bool() : std::nullopt;
}

std::optional<ObjId> RecordView::list(std::string_view key) const {
  const auto* v = find(key);
  return v ? v->as_list() : std::nullopt;
}

std::uint64_t RecordView::page(const PagePositions& pages) const {
  if (const auto* v = find(members::kPageId)) {
    if (const std::string* id = v->as_string()) {
      if (auto pos = pages.position_of(*id)) return *pos;
    }
  }
  if (auto p = integer(members::kPage); p && *p >= 1) return static_cast<std::uint64_t>(*p);
  return 1;
}

// ---- points ----

namespace {

// ' ' and \t \n \v \f \r, which are contiguous.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Plain decimals of at most this many digits ("12.50", "-3") are read without
// from_chars: the digits make an integer below 2^53 and the divisor 10^k is
// exact, so one division rounds exactly as from_chars does.
constexpr std::size_t kFastDecimalDigits = 15;
constexpr std::array<double, kFastDecimalDigits + 1> kPowersOfTen = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

std::optional<double> parse_plain_decimal(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::uint64_t mantissa = 0;
  std::size_t digits = 0;
  std::size_t fraction = 0;
  const std::size_t int_start = i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  if (i == int_start) return std::nullopt;
  if (i < text.size() && text[i] == '.') {
    const std::size_t frac_start = ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    fraction = i - frac_start;
    if (fraction == 0) return std::nullopt;
  }
  if (i != text.size() || digits > kFastDecimalDigits) return std::nullopt;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fraction];
  return negative ? -magnitude : magnitude;
}

std::optional<double> parse_decimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  if (auto plain = parse_plain_decimal(text)) return plain;
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

void append_fixed2(std::string& out, double v) {
  char buf[400];  // %.2f of the largest double is 309 digits plus the fraction
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  if (ec == std::errc()) out.append(buf, end);
  else out += "0.00";
}

}  // namespace

std::string format_points(const std::vector<Point>& points) {
  std::string out;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i) out += ' ';
    append_fixed2(out, points[i].x);
    out += ',';
    append_fixed2(out, points[i].y);
  }
  return out;
}

std::vector<Point> parse_points(std::string_view text) {
  std::vector<Point> points;
  // A point takes at least four bytes ("1,2 "); most take about ten.
  points.reserve(text.size() / 8 + 1);
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    while (i < size && is_space(text[i])) ++i;
    const std::size_t start = i;
    std::size_t first_comma = std::string_view::npos;
    std::size_t second_comma = std::string_view::npos;
    for (; i < size && !is_space(text[i]); ++i) {
      if (text[i] != ',') continue;
      if (first_comma == std::string_view::npos) first_comma = i;
      else if (second_comma == std::string_view::npos) second_comma = i;
    }
    if (first_comma == std::string_view::npos) continue;
    const std::size_t y_end = second_comma == std::string_view::npos ? i : second_comma;
    auto x = parse_decimal(text.substr(start, first_comma - start));
    auto y = parse_decimal(text.substr(first_comma + 1, y_end - first_comma - 1));
    if (x && y) points.push_back({*x, *y});
  }
  return points;
}

std::string format_strokes(const std::vector<Stroke>& strokes) {
  std::string out;
  for (std::size_t i = 0; i < strokes.size(); ++i) {
    if (i) out += ';';
    out += format_points(strokes[i]);
  }
  return out;
}

std::vector<Stroke> parse_strokes(std::string_view text) {
  std::vector<Stroke> strokes;
  std::size_t start = 0;
  while (true) {
    const std::size_t semi = text.find(';', start);
    strokes.push_back(parse_points(text.substr(start, semi == std::string_view::npos ? text.npos : semi - start)));
    if (semi == std::string_view::npos) break;
    start = semi + 1;
  }
  return strokes;
}

// ---- root objects ----

std::vector<ObjId> root_objects(const Document& doc, std::string_view key, docstore::ObjType type) {
  std::vector<ObjId> out;
  for (const auto& v : doc.get_conflicts(ObjId::root(), key)) {
    if (auto ref = v.as_object(); ref && ref->type == type) out.push_back(ref->id);
  }
  return out;
}

void for_each_root_list_map(const Document& doc, std::string_view key,
                            docstore::FunctionRef<void(const ListElement&, const RecordView&)> visit) {
  for (const ObjId& list : root_objects(doc, key, docstore::ObjType::List)) {
    doc.for_each_map(list, [&](std::size_t index, const ObjId& map, const docstore::MapView& members) {
      visit(ListElement{list, index, map}, RecordView(members));
    });
  }
}

std::vector<ListElement> root_list_elements(const Document& doc, std::string_view key) {
  std::vector<ListElement> out;
  for_each_root_list_map(doc, key, [&](const ListElement& e, const RecordView&) { out.push_back(e); });
  return out;
}

void remove_elements(docstore::Transaction& txn, const std::vector<ListElement>& elements) {
  for (auto it = elements.rbegin(); it != elements.rend(); ++it) (void)txn.remove(it->list, it->index);
}

// ---- reading the review model ----
// Each record is read in one ordered pass over its members (they are sorted,
// and so are the names a reader wants) instead of one search per member, and
// only the members the model keeps are copied.

namespace {

constexpr std::size_t kRepliesScannedLinearly = 16;

template <std::size_t N>
class RecordMembers {
 public:
  RecordMembers(const docstore::MapView& record, const docstore::MemberNames<N>& names) {
    record.find_sorted(names, values_);
  }
  // The member at names[i], or null.
  [[nodiscard]] const docstore::Value* operator[](std::size_t i) const { return values_[i]; }

 private:
  std::array<const docstore::Value*, N> values_{};
};

// Typed reads of one member, tolerant like RecordView's.
std::optional<std::string_view> text_of(const docstore::Value* v) {
  const std::string* s = v ? v->as_string() : nullptr;
  return s ? std::optional<std::string_view>(*s) : std::nullopt;
}
// Copies a text member straight into the record's string (empty when absent).
void copy_text(std::string& into, const docstore::Value* v) {
  if (const std::string* s = v ? v->as_string() : nullptr) into.assign(*s);
}
std::optional<double> number_of(const docstore::Value* v) {
  if (!v) return std::nullopt;
  if (auto d = v->as_double()) return std::isfinite(*d) ? d : std::nullopt;
  if (auto n = v->as_int()) return static_cast<double>(*n);
  return std::nullopt;
}
// As RecordView::page.
std::uint64_t page_of(const docstore::Value* page_id, const docstore::Value* page, const PagePositions& pages) {
  if (auto id = text_of(page_id)) {
    if (auto pos = pages.position_of(*id)) return *pos;
  }
  if (auto p = page ? page->as_int() : std::nullopt; p && *p >= 1) return static_cast<std::uint64_t>(*p);
  return 1;
}

// Member names in bytewise order, as the store keeps them.
constexpr docstore::MemberNames<11> kAnnotationMembers{std::array<std::string_view, 11>{
    members::kAuthor, members::kColor, members::kH, members::kId, members::kKind, members::kPage, members::kPageId,
    members::kPoints, members::kW, members::kX, members::kY}};
enum AnnotationMember : std::size_t { kAuthor, kColor, kH, kId, kKind, kPage, kPageId, kPoints, kW, kX, kY };
constexpr docstore::MemberNames<9> kCommentMembers{std::array<std::string_view, 9>{
    members::kAnno, members::kAuthor, members::kBody, members::kCreated, members::kId, members::kPage,
    members::kPageId, members::kReplies, members::kResolved}};
enum CommentMember : std::size_t {
  kCommentAnno, kCommentAuthor, kCommentBody, kCommentCreated, kCommentId, kCommentPage, kCommentPageId,
  kCommentReplies, kCommentResolved
};
constexpr docstore::MemberNames<3> kReplyMembers{
    std::array<std::string_view, 3>{members::kAuthor, members::kBody, members::kId}};
enum ReplyMember : std::size_t { kReplyAuthor, kReplyBody, kReplyId };
constexpr docstore::MemberNames<11> kSignatureMembers{std::array<std::string_view, 11>{
    members::kDate, members::kH, members::kId, members::kInk, members::kPage, members::kPageId, members::kSigner,
    members::kStrokes, members::kW, members::kX, members::kY}};
enum SignatureMember : std::size_t {
  kSigDate, kSigH, kSigId, kSigInk, kSigPage, kSigPageId, kSigSigner, kSigStrokes, kSigW, kSigX, kSigY
};
static_assert(std::ranges::is_sorted(kAnnotationMembers.names()) && std::ranges::is_sorted(kCommentMembers.names()) &&
              std::ranges::is_sorted(kReplyMembers.names()) && std::ranges::is_sorted(kSignatureMembers.names()));

}  // namespace

std::vector<Annotation> read_annotations(const Document& doc, const PagePositions& pages) {
  std::vector<Annotation> out;
  for (const ObjId& list : root_objects(doc, keys::kAnnotations, docstore::ObjType::List)) {
    out.reserve(out.size() + doc.length(list));
    doc.for_each_map(list, [&](std::size_t, const ObjId&, const docstore::MapView& members) {
      const RecordMembers r(members, kAnnotationMembers);
      Annotation& a = out.emplace_back();
      copy_text(a.id, r[kId]);
      a.page = page_of(r[kPageId], r[kPage], pages);
      a.color = parse_swatch(text_of(r[kColor]).value_or(""));
      copy_text(a.author, r[kAuthor]);
      const auto kind = text_of(r[kKind]);
      auto num = [&](std::size_t member) { return number_of(r[member]).value_or(0); };
      if (kind == values::kHighlight) {
        a.geom = AnnoGeom::Highlight{num(kX), num(kY), num(kW), num(kH)};
      } else if (kind == values::kInk) {
        a.geom = AnnoGeom::Ink{parse_points(text_of(r[kPoints]).value_or(""))};
      } else {
        a.geom = AnnoGeom::Note{num(kX), num(kY)};
      }
    });
  }
  return out;
}

std::vector<Comment> read_comments(const Document& doc, const PagePositions& pages) {
  std::vector<Comment> out;
  // Reply threads are read after all comments, in one pass over every
  // thread, which lets the store fetch later threads while earlier ones are
  // read; owners[i] is the comment of threads[i].
  std::vector<docstore::ListView> threads;
  std::vector<std::size_t> owners;
  for (const ObjId& list : root_objects(doc, keys::kComments, docstore::ObjType::List)) {
    out.reserve(out.size() + doc.length(list));
    doc.for_each_map(list, [&](std::size_t, const ObjId&, const docstore::MapView& members) {
      const RecordMembers rec(members, kCommentMembers);
      Comment& c = out.emplace_back();
      copy_text(c.id, rec[kCommentId]);
      if (auto anno = text_of(rec[kCommentAnno])) c.anno = std::string(*anno);
      c.page = page_of(rec[kCommentPageId], rec[kCommentPage], pages);
      copy_text(c.author, rec[kCommentAuthor]);
      copy_text(c.body, rec[kCommentBody]);
      c.created = (rec[kCommentCreated] ? rec[kCommentCreated]->as_int() : std::nullopt).value_or(0);
      c.resolved = (rec[kCommentResolved] ? rec[kCommentResolved]->as_bool() : std::nullopt).value_or(false);
      if (!rec[kCommentReplies] || !rec[kCommentReplies]->as_list()) return;
      threads.push_back(members.find_list(kCommentMembers[kCommentReplies]));
      owners.push_back(out.size() - 1);
    });
  }
  std::unordered_set<std::string> seen;  // of the current thread, filled only for long threads
  std::size_t seen_thread = threads.size();
  docstore::ListView::for_each_map_in(threads, [&](std::size_t thread, std::size_t, const ObjId& r,
                                                   const docstore::MapView& reply_members) {
    Comment& c = out[owners[thread]];
    if (thread != seen_thread) {
      seen.clear();
      seen_thread = thread;
    }
    const RecordMembers rv(reply_members, kReplyMembers);
    const auto id = text_of(rv[kReplyId]);
    std::string reply_id = id ? std::string(*id) : "legacy:" + c.id + ":" + r.to_string();
    // Threads are short: a scan beats building a set, up to a bound that
    // keeps a hostile thread linear.
    if (c.replies.size() < kRepliesScannedLinearly) {
      for (const Reply& earlier : c.replies) {
        if (earlier.id == reply_id) return;
      }
    } else {
      if (seen.empty()) {
        for (const Reply& earlier : c.replies) seen.insert(earlier.id);
      }
      if (!seen.insert(reply_id).second) return;
    }
    Reply& reply = c.replies.emplace_back();
    reply.id = std::move(reply_id);
    copy_text(reply.author, rv[kReplyAuthor]);
    copy_text(reply.body, rv[kReplyBody]);
  });
  // Comments are mostly stored in creation order already.
  if (!std::ranges::is_sorted(out, {}, &Comment::created)) {
    std::ranges::stable_sort(out, {}, &Comment::created);
  }
  return out;
}

std::vector<Signature> read_signatures(const Document& doc, const PagePositions& pages) {
  std::vector<Signature> out;
  for (const ObjId& list : root_objects(doc, keys::kSignatures, docstore::ObjType::List)) {
    out.reserve(out.size() + doc.length(list));
    doc.for_each_map(list, [&](std::size_t, const ObjId&, const docstore::MapView& members) {
      const RecordMembers r(members, kSignatureMembers);
      Signature& s = out.emplace_back();
      copy_text(s.id, r[kSigId]);
      s.page = page_of(r[kSigPageId], r[kSigPage], pages);
      s.x = number_of(r[kSigX]).value_or(0);
      s.y = number_of(r[kSigY]).value_or(0);
      s.w = number_of(r[kSigW]).value_or(kDefaultSignatureWidth);
      s.h = number_of(r[kSigH]).value_or(kDefaultSignatureHeight);
      copy_text(s.signer, r[kSigSigner]);
      copy_text(s.date, r[kSigDate]);
      if (text_of(r[kSigInk]) == values::kDrawn) s.strokes = parse_strokes(text_of(r[kSigStrokes]).value_or(""));
    });
  }
  return out;
}

std::vector<Annotation> read_annotations(const Document& doc) {
  return read_annotations(doc, PagePositions(derive_page_plan(doc)));
}
std::vector<Comment> read_comments(const Document& doc) {
  return read_comments(doc, PagePositions(derive_page_plan(doc)));
}
std::vector<Signature> read_signatures(const Document& doc) {
  return read_signatures(doc, PagePositions(derive_page_plan(doc)));
}

ReviewModel read_review_model(const Document& doc) {
  const PagePositions pages(derive_page_plan(doc));
  return ReviewModel{read_annotations(doc, pages), read_comments(doc, pages), read_signatures(doc, pages)};
}

// ---- writing ----

namespace {

velyn::Result<ObjId> get_or_create_root(docstore::Transaction& txn, std::string_view key, docstore::ObjType type) {
  const auto existing = root_objects(txn.document(), key, type);
  if (!existing.empty()) return existing.front();
  return txn.put_object(ObjId::root(), key, type);
}

}  // namespace

velyn::Result<ObjId> get_or_create_root_list(docstore::Transaction& txn, std::string_view key) {
  return get_or_create_root(txn, key, docstore::ObjType::List);
}

velyn::Result<ObjId> get_or_create_root_map(docstore::Transaction& txn, std::string_view key) {
  return get_or_create_root(txn, key, docstore::ObjType::Map);
}

std::optional<FoundRecord> find_record(const Document& doc, std::string_view list_key, std::string_view id) {
  std::optional<FoundRecord> found;
  for_each_root_list_map(doc, list_key, [&](const ListElement& e, const RecordView& r) {
    if (!found && r.text(members::kId) == id) found = FoundRecord{e.list, e.index, e.map};
  });
  return found;
}

bool page_ids_missing(const Document& doc) {
  std::optional<PagePositions> pages;  // derived only once a record without a page id turns up
  bool missing = false;
  for (std::string_view key : {keys::kAnnotations, keys::kComments, keys::kSignatures}) {
    for_each_root_list_map(doc, key, [&](const ListElement&, const RecordView& r) {
      if (missing || r.find("page-id")) return;
      const auto page = r.integer("page").value_or(1);
      if (page < 1) return;
      if (!pages) pages.emplace(derive_page_plan(doc));
      missing = pages->entry_id_at(static_cast<std::uint64_t>(page)).has_value();
    });
    if (missing) return true;
  }
  return false;
}

void backfill_page_ids(docstore::Transaction& txn) {
  const Document& doc = txn.document();
  const PagePositions pages(derive_page_plan(doc));
  if (pages.size() == 0) return;
  for (std::string_view key : {keys::kAnnotations, keys::kComments, keys::kSignatures}) {
    // Collected first: the views are gone once the first write lands.
    std::vector<std::pair<ObjId, std::string>> missing;
    for_each_root_list_map(doc, key, [&](const ListElement& e, const RecordView& r) {
      if (r.find(members::kPageId)) return;
      const auto page = r.integer(members::kPage).value_or(1);
      if (page < 1) return;
      if (auto entry = pages.entry_id_at(static_cast<std::uint64_t>(page))) missing.emplace_back(e.map, std::move(*entry));
    });
    for (const auto& [m, entry] : missing) (void)txn.put(m, members::kPageId, entry);
  }
}

}  // namespace pdf_actions
