// The codec of viewer actions and operations. nlohmann/json stays inside this
// file: a SAX handler builds the tree so that repeated members and excessive
// nesting are refused while parsing; typed readers then walk the tree.
#include "actions/action_json.h"

#include <concepts>
#include <cstdint>
#include <limits>
#include <span>
#include <variant>
#include <nlohmann/json.hpp>
#include <type_traits>

#include "actions/json_writer.h"
#include "velyn/try.h"
#include "velyn/utf8.h"

namespace pdf_actions {

namespace {

using nlohmann::json;

// ---- field lists -------------------------------------------------------------
// One list per record, in the order written; the writer, the reader and
// nothing else walk them, so the two directions cannot drift apart.

template <class S, class T>
concept Is = std::same_as<std::remove_const_t<S>, T>;

template <Is<ImportedPage> S, class V>
void visit_fields(S& s, V& v) {
  v("hash", s.hash);
  v("kind", s.kind);
  v("page", s.page);
  v("width_milli", s.width_milli);
  v("height_milli", s.height_milli);
}
template <Is<PagePlanEntry> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("source_page", s.source_page);
  v("imported", s.imported);
}
template <Is<AnnoGeom::Highlight> S, class V>
void visit_fields(S& s, V& v) {
  v("x", s.x);
  v("y", s.y);
  v("w", s.w);
  v("h", s.h);
}
template <Is<AnnoGeom::Ink> S, class V>
void visit_fields(S& s, V& v) {
  v("points", s.points);
}
template <Is<AnnoGeom::Note> S, class V>
void visit_fields(S& s, V& v) {
  v("x", s.x);
  v("y", s.y);
}

using A = PdfViewerAction;
template <Is<A::DuplicatePagePlan> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("new_id", s.new_id);
  v("source_page", s.source_page);
  v("imported", s.imported);
}
template <Is<A::ImportPages> S, class V>
void visit_fields(S& s, V& v) {
  v("after_id", s.after_id);
  v("pages", s.pages);
}
template <Is<A::DeletePagePlan> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
}
template <Is<A::MovePagePlan> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("after_id", s.after_id);
}
template <Is<A::AddAnnotation> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("page", s.page);
  v("geom", s.geom);
  v("color", s.color);
  v("author", s.author);
}
template <Is<A::SetAnnotationColor> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("color", s.color);
}
template <Is<A::SetAnnotationPosition> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("x", s.x);
  v("y", s.y);
}
template <Is<A::DeleteAnnotation> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
}
template <Is<A::CreateNote> S, class V>
void visit_fields(S& s, V& v) {
  v("anno_id", s.anno_id);
  v("comment_id", s.comment_id);
  v("page", s.page);
  v("x", s.x);
  v("y", s.y);
  v("color", s.color);
  v("author", s.author);
  v("created", s.created);
  v("body", s.body);
}
template <Is<A::SetCommentBody> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("body", s.body);
}
template <Is<A::SetCommentResolved> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("resolved", s.resolved);
}
template <Is<A::AddReply> S, class V>
void visit_fields(S& s, V& v) {
  v("comment_id", s.comment_id);
  v("id", s.id);
  v("author", s.author);
  v("body", s.body);
}
template <Is<A::DeleteComment> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
}
template <Is<A::AddSignature> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
  v("page", s.page);
  v("x", s.x);
  v("y", s.y);
  v("w", s.w);
  v("h", s.h);
  v("signer", s.signer);
  v("date", s.date);
  v("strokes", s.strokes);
}
template <Is<A::DeleteSignature> S, class V>
void visit_fields(S& s, V& v) {
  v("id", s.id);
}

using O = PdfOperation;
template <Is<O::GoToPage> S, class V>
void visit_fields(S& s, V& v) {
  v("page", s.page);
}
template <Is<O::GoToSearchResult> S, class V>
void visit_fields(S& s, V& v) {
  v("query", s.query);
  v("whole_word", s.whole_word);
  v("case_sensitive", s.case_sensitive);
  v("index", s.index);
  v("page", s.page);
}
template <Is<O::Open> S, class V>
void visit_fields(S& s, V& v) {
  v("path", s.path);
}
template <Is<O::SaveAs> S, class V>
void visit_fields(S& s, V& v) {
  v("path", s.path);
}

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

// Which wrapper owns a list of variant names.
template <class Tagged>
constexpr std::span<const std::string_view> names_of() {
  if constexpr (std::is_same_v<Tagged, PdfViewerAction>) return kViewerActionNames;
  else if constexpr (std::is_same_v<Tagged, PdfOperation>) return kOperationNames;
  else return kAnnoGeomNames;
}
template <class T>
concept Tagged = std::is_same_v<T, PdfViewerAction> || std::is_same_v<T, PdfOperation> || std::is_same_v<T, AnnoGeom>;

// ---- writing -------------------------------------------------------------------

template <class T>
void write_value(JsonWriter& w, const T& value);

struct FieldWriter {
  JsonWriter& w;
  template <class T>
  void operator()(std::string_view name, const T& value) {
    w.key(name);
    write_value(w, value);
  }
};

template <class T>
void write_fields(JsonWriter& w, const T& record) {
  FieldWriter fw{w};
  w.begin_object();
  visit_fields(record, fw);
  w.end_object();
}

template <class T>
void write_value(JsonWriter& w, const T& value) {
  if constexpr (std::is_same_v<T, std::string>) {
    w.string(value);
  } else if constexpr (std::is_same_v<T, bool>) {
    w.boolean(value);
  } else if constexpr (std::is_same_v<T, double>) {
    w.floating(value);
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    w.integer(value);
  } else if constexpr (std::is_unsigned_v<T>) {
    w.unsigned_integer(value);
  } else if constexpr (std::is_same_v<T, Point>) {
    w.begin_array();
    w.floating(value.x);
    w.floating(value.y);
    w.end_array();
  } else if constexpr (IsOptional<T>::value) {
    if (value) write_value(w, *value);
    else w.null();
  } else if constexpr (IsVector<T>::value) {
    w.begin_array();
    for (const auto& item : value) write_value(w, item);
    w.end_array();
  } else if constexpr (Tagged<T>) {
    const std::string_view name = names_of<T>()[value.value.index()];
    std::visit(
        [&](const auto& alt) {
          using Alt = std::remove_cvref_t<decltype(alt)>;
          if constexpr (std::is_empty_v<Alt>) {
            w.string(name);
          } else {
            w.begin_object();
            w.key(name);
            write_fields(w, alt);
            w.end_object();
          }
        },
        value.value);
  } else {
    write_fields(w, value);
  }
}

template <class T>
velyn::Result<std::string> write_json(const T& value) {
  JsonWriter w;
  write_value(w, value);
  if (w.failed()) return velyn::fail(w.failure());
  return w.take();
}

// ---- checking: what writing would refuse, found without writing ---------------

template <class T>
bool texts_valid(const T& value);

struct FieldChecker {
  bool ok = true;
  template <class T>
  void operator()(std::string_view, const T& value) {
    ok = ok && texts_valid(value);
  }
};

template <class T>
bool texts_valid(const T& value) {
  if constexpr (std::is_same_v<T, std::string>) {
    return velyn::is_valid_utf8(value);
  } else if constexpr (std::is_arithmetic_v<T> || std::is_same_v<T, Point>) {
    return true;
  } else if constexpr (IsOptional<T>::value) {
    return !value || texts_valid(*value);
  } else if constexpr (IsVector<T>::value) {
    return std::ranges::all_of(value, [](const auto& item) { return texts_valid(item); });
  } else if constexpr (Tagged<T>) {
    return std::visit(
        [](const auto& alt) {
          FieldChecker checker;
          if constexpr (!std::is_empty_v<std::remove_cvref_t<decltype(alt)>>) visit_fields(alt, checker);
          return checker.ok;
        },
        value.value);
  } else {
    FieldChecker checker;
    visit_fields(value, checker);
    return checker.ok;
  }
}

// ---- parsing -------------------------------------------------------------------

// Builds the tree like nlohmann's own DOM parser, but refuses a member name that
// the object already holds and nesting beyond kMaxJsonDepth.
class StrictTreeBuilder : public nlohmann::json_sax<json> {
 public:
  json root;
  std::string error;

  bool null() override { return put(json(nullptr)); }
  bool boolean(bool v) override { return put(json(v)); }
  bool number_integer(number_integer_t v) override { return put(json(v)); }
  bool number_unsigned(number_unsigned_t v) override { return put(json(v)); }
  bool number_float(number_float_t v, const string_t&) override { return put(json(v)); }
  bool string(string_t& v) override { return put(json(std::move(v))); }
  bool binary(binary_t&) override { return fail_with("binary values are not JSON"); }
  bool start_object(std::size_t) override { return open(json::object()); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(json::array()); }
  bool end_array() override { return close(); }
  bool key(string_t& k) override {
    json& top = *stack_.back();
    if (top.contains(k)) return fail_with("repeated member \"" + k + "\"");
    key_ = std::move(k);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) override {
    if (error.empty()) error = ex.what();
    return false;
  }

 private:
  bool fail_with(std::string message) {
    error = std::move(message);
    return false;
  }
  json* place(json&& value) {
    if (stack_.empty()) {
      root = std::move(value);
      return &root;
    }
    json& top = *stack_.back();
    if (top.is_array()) {
      top.push_back(std::move(value));
      return &top.back();
    }
    json& slot = top[key_];
    slot = std::move(value);
    return &slot;
  }
  bool put(json&& value) {
    place(std::move(value));
    return true;
  }
  bool open(json&& container) {
    if (stack_.size() >= kMaxJsonDepth) return fail_with("nesting deeper than " + std::to_string(kMaxJsonDepth));
    stack_.push_back(place(std::move(container)));
    return true;
  }
  bool close() {
    stack_.pop_back();
    return true;
  }

  std::vector<json*> stack_;
  std::string key_;
};

// Thrown only inside this file and caught at its edge (parse_tree / read_json):
// a reader deep in the tree leaves with one message, the way the parser does.
struct ReadFailure {
  std::string message;
};

[[noreturn]] void read_fail(std::string message) { throw ReadFailure{std::move(message)}; }

velyn::Result<json> parse_tree(std::string_view text) {
  if (text.size() > kMaxActionJsonBytes)
    return velyn::fail("input of " + std::to_string(text.size()) + " bytes is larger than the limit of " +
                       std::to_string(kMaxActionJsonBytes));
  StrictTreeBuilder builder;
  bool ok = false;
  try {
    ok = json::sax_parse(text, &builder, json::input_format_t::json, /*strict=*/true);
  } catch (const std::exception& ex) {  // allocation failure or a library invariant
    return velyn::fail(ex.what());
  }
  if (!ok) return velyn::fail(builder.error.empty() ? "malformed JSON" : builder.error);
  return std::move(builder.root);
}

template <class T>
void read_value(const json& v, T& out, const std::string& where);

struct FieldReader {
  const json& object;
  const std::string& owner;
  template <class T>
  void operator()(std::string_view name, T& out) {
    const std::string where = owner + "." + std::string(name);
    auto it = object.find(name);
    if constexpr (IsOptional<T>::value) {
      if (it == object.end() || it->is_null()) {
        out.reset();
        return;
      }
      out.emplace();
      read_value(*it, *out, where);
    } else {
      if (it == object.end()) read_fail("missing member \"" + std::string(name) + "\" in " + owner);
      read_value(*it, out, where);
    }
  }
};

template <class T>
void read_fields(const json& v, T& out, const std::string& owner) {
  if (!v.is_object()) read_fail(owner + " must be an object");
  FieldReader reader{v, owner};
  visit_fields(out, reader);
}

template <class Variant, std::size_t... I>
void read_alternative(std::size_t index, const json* fields, Variant& out, const std::string& owner,
                      std::index_sequence<I...>) {
  auto one = [&]<std::size_t K>(std::integral_constant<std::size_t, K>) {
    using Alt = std::variant_alternative_t<K, Variant>;
    Alt alt{};
    if constexpr (std::is_empty_v<Alt>) {
      if (fields) read_fail(owner + " takes no fields and is written as a string");
    } else {
      if (!fields) read_fail(owner + " has fields and must be written as an object");
      read_fields(*fields, alt, owner);
    }
    out = std::move(alt);
  };
  ((index == I ? (one(std::integral_constant<std::size_t, I>{}), true) : false) || ...);
}

template <class T>
void read_tagged(const json& v, T& out, const std::string& where) {
  std::string name;
  const json* fields = nullptr;
  if (v.is_string()) {
    name = v.get_ref<const std::string&>();
  } else if (v.is_object() && v.size() == 1) {
    name = v.begin().key();
    fields = &v.begin().value();
  } else {
    read_fail(where + " must be a variant name or an object with exactly one member");
  }
  const auto names = names_of<T>();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      using Variant = typename T::Variant;
      read_alternative(i, fields, out.value, name, std::make_index_sequence<std::variant_size_v<Variant>>{});
      return;
    }
  }
  read_fail("unknown variant \"" + name + "\" in " + where);
}

template <class T>
void read_value(const json& v, T& out, const std::string& where) {
  if constexpr (std::is_same_v<T, std::string>) {
    if (!v.is_string()) read_fail(where + " must be a string");
    out = v.get_ref<const std::string&>();
  } else if constexpr (std::is_same_v<T, bool>) {
    if (!v.is_boolean()) read_fail(where + " must be a boolean");
    out = v.get<bool>();
  } else if constexpr (std::is_same_v<T, double>) {
    if (!v.is_number()) read_fail(where + " must be a number");
    out = v.get<double>();
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    if (v.is_number_unsigned()) {
      const auto u = v.get<std::uint64_t>();
      if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        read_fail(where + " is out of range");
      out = static_cast<std::int64_t>(u);
    } else if (v.is_number_integer()) {
      out = v.get<std::int64_t>();
    } else {
      read_fail(where + " must be an integer");
    }
  } else if constexpr (std::is_unsigned_v<T>) {
    std::uint64_t u = 0;
    if (v.is_number_unsigned()) {
      u = v.get<std::uint64_t>();
    } else if (v.is_number_integer() && v.get<std::int64_t>() >= 0) {
      u = static_cast<std::uint64_t>(v.get<std::int64_t>());
    } else {
      read_fail(where + " must be a non-negative integer");
    }
    if (u > std::numeric_limits<T>::max()) read_fail(where + " is out of range");
    out = static_cast<T>(u);
  } else if constexpr (std::is_same_v<T, Point>) {
    if (!v.is_array() || v.size() != 2) read_fail(where + " must be a pair of numbers");
    read_value(v[0], out.x, where);
    read_value(v[1], out.y, where);
  } else if constexpr (IsVector<T>::value) {
    if (!v.is_array()) read_fail(where + " must be an array");
    out.clear();
    out.reserve(v.size());
    for (const auto& item : v) read_value(item, out.emplace_back(), where);
  } else if constexpr (Tagged<T>) {
    read_tagged(v, out, where);
  } else {
    read_fields(v, out, where);
  }
}

template <class T>
velyn::Result<T> read_json(std::string_view text, std::string_view what) {
  const auto tree = VELYN_TRY(parse_tree(text));
  try {
    T out{};
    read_value(tree, out, std::string(what));
    return out;
  } catch (const ReadFailure& failure) {
    return velyn::fail(failure.message);
  } catch (const std::exception& ex) {  // nlohmann type errors would be our bug; never let them escape
    return velyn::fail(ex.what());
  }
}

}  // namespace

std::expected<velyn_actions::EncodedAction, velyn_actions::ActionError> encode_action(const PdfViewerAction& action) {
  auto text = write_json(action);
  if (!text) return std::unexpected(velyn_actions::encode_error(kViewerActionKind, text.error().message));
  return velyn_actions::EncodedAction{std::string(kViewerActionKind), std::move(*text)};
}

std::expected<void, velyn_actions::ActionError> check_action_texts(const PdfViewerAction& action) {
  if (texts_valid(action)) return {};
  return std::unexpected(velyn_actions::encode_error(kViewerActionKind, std::string(kInvalidUtf8Text)));
}

std::expected<velyn_actions::EncodedAction, velyn_actions::ActionError> encode_operation(
    const PdfOperation& operation) {
  auto text = write_json(operation);
  if (!text) return std::unexpected(velyn_actions::encode_error(kOperationKind, text.error().message));
  return velyn_actions::EncodedAction{std::string(kOperationKind), std::move(*text)};
}

std::expected<PdfViewerAction, velyn_actions::ActionError> decode_action(std::string_view json_text) {
  auto action = read_json<PdfViewerAction>(json_text, "action");
  if (!action) return std::unexpected(velyn_actions::decode_error(kViewerActionKind, action.error().message));
  return std::move(*action);
}

std::expected<PdfOperation, velyn_actions::ActionError> decode_operation(std::string_view json_text) {
  auto op = read_json<PdfOperation>(json_text, "operation");
  if (!op) return std::unexpected(velyn_actions::decode_error(kOperationKind, op.error().message));
  return std::move(*op);
}

velyn::Result<std::string> to_json(const AnnoGeom& geom) { return write_json(geom); }
velyn::Result<std::string> to_json(const ImportedPage& page) { return write_json(page); }
velyn::Result<std::string> to_json(const PagePlanEntry& entry) { return write_json(entry); }
velyn::Result<AnnoGeom> decode_anno_geom(std::string_view text) { return read_json<AnnoGeom>(text, "geom"); }
velyn::Result<ImportedPage> decode_imported_page(std::string_view text) {
  return read_json<ImportedPage>(text, "imported page");
}
velyn::Result<PagePlanEntry> decode_page_plan_entry(std::string_view text) {
  return read_json<PagePlanEntry>(text, "page plan entry");
}

}  // namespace pdf_actions
