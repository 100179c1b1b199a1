#pragma once
// Values held by maps and lists: scalars, or a reference to a nested object.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "docstore/ids.h"

namespace docstore {

enum class ObjType : std::uint8_t { Map, List };

struct ObjRef {
  ObjId id;
  ObjType type = ObjType::Map;
  friend bool operator==(const ObjRef&, const ObjRef&) = default;
};

struct Null {
  friend bool operator==(Null, Null) = default;
};

// A scalar (null, bool, int64, double, string) or an object reference. Puts take
// scalars; objects are made with put_object/insert_object and read back as ObjRef.
class Value {
 public:
  using Storage = std::variant<Null, bool, std::int64_t, double, std::string, ObjRef>;

  Value() = default;
  Value(Null) {}
  Value(bool b) : v_(b) {}
  Value(std::int64_t i) : v_(i) {}
  Value(int i) : v_(static_cast<std::int64_t>(i)) {}
  Value(double d) : v_(d) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(ObjRef r) : v_(r) {}

  [[nodiscard]] bool is_null() const { return std::holds_alternative<Null>(v_); }
  [[nodiscard]] bool is_scalar() const { return !std::holds_alternative<ObjRef>(v_); }
  [[nodiscard]] std::optional<bool> as_bool() const;
  [[nodiscard]] std::optional<std::int64_t> as_int() const;
  [[nodiscard]] std::optional<double> as_double() const;  // doubles only, no int widening
  [[nodiscard]] const std::string* as_string() const;     // borrow; null when not a string
  [[nodiscard]] std::optional<ObjRef> as_object() const;
  [[nodiscard]] std::optional<ObjId> as_map() const;
  [[nodiscard]] std::optional<ObjId> as_list() const;

  [[nodiscard]] const Storage& storage() const { return v_; }
  friend bool operator==(const Value&, const Value&) = default;

 private:
  Storage v_;
};

}  // namespace docstore
