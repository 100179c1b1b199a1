#pragma once
// A compact JSON writer: no white space, shortest exact floats, non-finite
// floats as null. Strings must be valid UTF-8; the first invalid one marks the
// writer failed instead of producing text that no reader would accept.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pdf_actions {

class JsonWriter {
 public:
  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  void key(std::string_view name);

  void string(std::string_view text);
  void unsigned_integer(std::uint64_t value);
  void integer(std::int64_t value);
  void floating(double value);
  void boolean(bool value);
  void null();

  [[nodiscard]] bool failed() const { return failed_; }
  [[nodiscard]] const std::string& failure() const { return failure_; }
  [[nodiscard]] std::string take() { return std::move(out_); }

 private:
  // Writes the comma that separates this value from the previous one, if any.
  void before_value();
  void write_escaped(std::string_view text);

  std::string out_;
  std::vector<bool> has_item_;  // per open container: something written already
  bool after_key_ = false;
  bool failed_ = false;
  std::string failure_;
};

inline constexpr std::string_view kInvalidUtf8Text = "text is not valid UTF-8";

}  // namespace pdf_actions
