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
  // Appends rather than prefix concatenation, which GCC 12 misreads (-Wrestrict).
  if (auto i = v.as_int()) return std::string("i").append(std::to_string(*i));
  if (auto d = v.as_double()) return std::string("d").append(std::to_string(*d));
  if (auto* str = v.as_string()) return std::string("\"").append(*str).append("\"");
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
inline std::string dump_borrowed_list(const Document& doc, const ListView& list);

// Nested objects of a map are reached through the view's own links (never by
// id), so the winners dump checks those links too.
inline std::string dump_borrowed_map(const Document& doc, const MapView& map) {
  std::string out;
  map.for_each([&](std::string_view key, const Value& v) {
    out.append(key).append(":");
    if (auto ref = v.as_object()) {
      out.append(ref->id.to_string()).append("=");
      out.append(ref->type == ObjType::Map ? dump_borrowed_map(doc, map.find_map(key))
                                           : dump_borrowed_list(doc, map.find_list(key)));
      if (ref->type == ObjType::Map ? !map.find_list(key).empty() : !map.find_map(key).empty())
        out += "<view of the wrong type>";
    } else {
      out.append(dump_value(doc, v));
      if (!map.find_map(key).empty() || !map.find_list(key).empty()) out += "<view of a scalar>";
    }
    out.append(",");
    if (map.find(key) != &v) out += "<find disagrees>";
  });
  if (map.empty() != out.empty()) out += "<size disagrees>";
  return "{" + out + "}";
}

inline std::string dump_borrowed_list(const Document& doc, const ListView& list) {
  // Maps come from for_each_map, everything else from for_each_item.
  std::string out;
  std::vector<std::string> maps(list.size());
  list.for_each_map([&](std::size_t i, const ObjId& id, const MapView& m) {
    maps.at(i) = id.to_string() + "=" + dump_borrowed_map(doc, m);
  });
  list.for_each_item([&](std::size_t i, const Value& v) {
    if (v.as_map()) out.append(maps.at(i));
    else if (auto l = v.as_list()) out.append(l->to_string()).append("=").append(dump_borrowed(doc, *l));
    else out.append(dump_value(doc, v));
    out.append(",");
  });
  return "[" + out + "]";
}

inline std::string dump_borrowed(const Document& doc, const ObjId& obj) {
  if (doc.object_type(obj) == ObjType::List) {
    std::size_t visits = 0;
    doc.for_each_item(obj, [&](std::size_t, const Value&) { ++visits; });
    const std::string viewed = dump_borrowed_list(doc, doc.lookup_list(obj));
    return visits == doc.length(obj) ? viewed : "<for_each_item disagrees>";
  }
  std::string direct;
  doc.for_each_entry(obj, [&](std::string_view key, const Value&) { direct.append(key).append(","); });
  std::string keys;
  for (const auto& k : doc.keys(obj)) keys.append(k).append(",");
  return direct == keys ? dump_borrowed_map(doc, doc.lookup_map(obj)) : "<for_each_entry disagrees>";
}

inline std::string dump_winners(const Document& doc) { return dump_winners(doc, ObjId::root()); }
inline std::string dump_borrowed(const Document& doc) { return dump_borrowed(doc, ObjId::root()); }

}  // namespace docstore::testing
