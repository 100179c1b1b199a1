#pragma once
// Canonical text of a document's materialised state, for comparing replicas.
#include <string>

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

}  // namespace docstore::testing
