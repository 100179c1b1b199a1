#include "docstore/value.h"

namespace docstore {

std::optional<bool> Value::as_bool() const {
  if (auto* b = std::get_if<bool>(&v_)) return *b;
  return std::nullopt;
}

std::optional<std::int64_t> Value::as_int() const {
  if (auto* i = std::get_if<std::int64_t>(&v_)) return *i;
  return std::nullopt;
}

std::optional<double> Value::as_double() const {
  if (auto* d = std::get_if<double>(&v_)) return *d;
  return std::nullopt;
}

const std::string* Value::as_string() const { return std::get_if<std::string>(&v_); }

std::optional<ObjRef> Value::as_object() const {
  if (auto* r = std::get_if<ObjRef>(&v_)) return *r;
  return std::nullopt;
}

std::optional<ObjId> Value::as_map() const {
  if (auto* r = std::get_if<ObjRef>(&v_); r && r->type == ObjType::Map) return r->id;
  return std::nullopt;
}

std::optional<ObjId> Value::as_list() const {
  if (auto* r = std::get_if<ObjRef>(&v_); r && r->type == ObjType::List) return r->id;
  return std::nullopt;
}

}  // namespace docstore
