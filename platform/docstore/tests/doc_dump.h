#pragma once
// Canonical text of a document's materialised state, for comparing replicas.
#include <string>
#include <string_view>
#include <vector>

#include "docstore/document.h"

namespace docstore::testing {

inline std::string dump_value(const Document& doc, const Value& v);

inline std::string dump_object(const Document& doc, const ObjId& obj) {
  std::string out;
  if (doc.object_type(obj) == ObjType::List) {
    out += '[';
    for (const auto& item : doc.list_items(obj)) out += dump_value(doc, item) + ',';
    out += ']';
    return out;
  }
  out += '{';
  for (const auto& key : doc.keys(obj)) {
    out += key + ':';
    for (const auto& v : doc.get_conflicts(obj, key)) out += dump_value(doc, v) + '|';
    out += ',';
  }
  out += '}';
  return out;
}

inline std::string dump_value(const Document& doc, const Value& v) {
  const auto& s = v.storage();
  if (v.is_null()) return "null";
  if (auto b = v.as_bool()) return *b ? "true" : "false";
  if (auto i = v.as_int()) return "i" + std::to_string(*i);
  if (auto d = v.as_double()) return "d" + std::to_string(*d);
  if (auto* str = v.as_string()) return '"' + *str + '"';
  (void)s;
  const auto ref = *v.as_object();
  return ref.id.to_string() + "=" + dump_object(doc, ref.id);
}

inline std::string dump(const Document& doc) { return dump_object(doc, ObjId::root()); }

// Winners only, two ways: through the copying reads, and through the borrowing
// visitors (which reach nested maps without a lookup). Replicas must agree.
inline std::string dump_winners(const Document& doc, const ObjId& obj) {
  std::string out;
  auto value = [&](const Value& v) {
    if (auto ref = v.as_object()) return ref->id.to_string() + "=" + dump_winners(doc, ref->id);
    return dump_value(doc, v);
  };
  if (doc.object_type(obj) == ObjType::List) {
    for (const auto& item : doc.list_items(obj)) out.append(value(item)).append(",");
    return "[" + out + "]";
  }
  for (const auto& [key, v] : doc.entries(obj)) out.append(key).append(":").append(value(v)).append(",");
  return "{" + out + "}";
}

inline std::string dump_borrowed(const Document& doc, const ObjId& obj);

inline std::string dump_borrowed_value(const Document& doc, const Value& v) {
  if (auto ref = v.as_object()) return ref->id.to_string() + "=" + dump_borrowed(doc, ref->id);
  return dump_value(doc, v);
}

inline std::string dump_borrowed_map(const Document& doc, const MapView& map) {
  std::string out;
  map.for_each([&](std::string_view key, const Value& v) {
    out.append(key).append(":").append(dump_borrowed_value(doc, v)).append(",");
    if (map.find(key) != &v) out += "<find disagrees>";
  });
  if (map.empty() != out.empty()) out += "<size disagrees>";
  return "{" + out + "}";
}

inline std::string dump_borrowed(const Document& doc, const ObjId& obj) {
  std::string out;
  if (doc.object_type(obj) == ObjType::List) {
    // Maps come from for_each_map, everything else from for_each_item.
    std::vector<std::string> maps(doc.length(obj));
    doc.for_each_map(obj, [&](std::size_t i, const ObjId& id, const MapView& m) {
      maps.at(i) = id.to_string() + "=" + dump_borrowed_map(doc, m);
    });
    doc.for_each_item(obj, [&](std::size_t i, const Value& v) {
      out.append(v.as_map() ? maps.at(i) : dump_borrowed_value(doc, v)).append(",");
    });
    return "[" + out + "]";
  }
  std::string direct;
  doc.for_each_entry(obj, [&](std::string_view key, const Value& v) {
    direct.append(key).append(":").append(dump_borrowed_value(doc, v)).append(",");
  });
  const std::string viewed = dump_borrowed_map(doc, doc.lookup_map(obj));
  return viewed == "{" + direct + "}" ? viewed : "<for_each_entry disagrees>";
}

inline std::string dump_winners(const Document& doc) { return dump_winners(doc, ObjId::root()); }
inline std::string dump_borrowed(const Document& doc) { return dump_borrowed(doc, ObjId::root()); }

}  // namespace docstore::testing
