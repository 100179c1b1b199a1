#include "actions/json_writer.h"

#include <charconv>
#include <cmath>

#include "actions/action_json.h"
#include "velyn/utf8.h"

namespace pdf_actions {

std::string shortest_float_text(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return "null";
  return std::string(buf, end);
}

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!has_item_.empty()) {
    if (has_item_.back()) out_ += ',';
    has_item_.back() = true;
  }
}

void JsonWriter::begin_object() {
  before_value();
  out_ += '{';
  has_item_.push_back(false);
}

void JsonWriter::end_object() {
  out_ += '}';
  has_item_.pop_back();
}

void JsonWriter::begin_array() {
  before_value();
  out_ += '[';
  has_item_.push_back(false);
}

void JsonWriter::end_array() {
  out_ += ']';
  has_item_.pop_back();
}

void JsonWriter::key(std::string_view name) {
  before_value();
  write_escaped(name);
  out_ += ':';
  after_key_ = true;
}

void JsonWriter::string(std::string_view text) {
  before_value();
  write_escaped(text);
}

void JsonWriter::write_escaped(std::string_view text) {
  if (!velyn::is_valid_utf8(text)) {
    if (!failed_) failure_ = std::string(kInvalidUtf8Text);
    failed_ = true;
  }
  out_ += '"';
  static constexpr char kHex[] = "0123456789abcdef";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out_ += "\\\""; break;
      case '\\': out_ += "\\\\"; break;
      case '\b': out_ += "\\b"; break;
      case '\f': out_ += "\\f"; break;
      case '\n': out_ += "\\n"; break;
      case '\r': out_ += "\\r"; break;
      case '\t': out_ += "\\t"; break;
      default:
        if (c < 0x20) {
          out_ += "\\u00";
          out_ += kHex[c >> 4];
          out_ += kHex[c & 0xF];
        } else {
          out_ += ch;
        }
    }
  }
  out_ += '"';
}

void JsonWriter::unsigned_integer(std::uint64_t value) {
  before_value();
  out_ += std::to_string(value);
}

void JsonWriter::integer(std::int64_t value) {
  before_value();
  out_ += std::to_string(value);
}

void JsonWriter::floating(double value) {
  before_value();
  out_ += std::isfinite(value) ? shortest_float_text(value) : std::string("null");
}

void JsonWriter::boolean(bool value) {
  before_value();
  out_ += value ? "true" : "false";
}

void JsonWriter::null() {
  before_value();
  out_ += "null";
}

}  // namespace pdf_actions
