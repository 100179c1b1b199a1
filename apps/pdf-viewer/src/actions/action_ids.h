#pragma once
// What the viewer puts into the actions it makes: new ids, note sequence
// numbers and signing dates.
#include <chrono>
#include <cstdint>
#include <string>

namespace pdf_actions {

// A version 4 UUID, canonical lower-case hyphenated text (36 characters).
[[nodiscard]] std::string new_uuid();
// "page-" + a new UUID: the entry of a duplicated page.
[[nodiscard]] std::string new_duplicate_entry_id();
// "import-" + a new UUID: the entry of an imported page.
[[nodiscard]] std::string new_import_entry_id();

// Creation numbers of notes made from the interface. Per viewer, never stored:
// starts at 100 and the first note gets 101.
class NoteSequence {
 public:
  static constexpr std::int64_t kStart = 100;
  std::int64_t next() { return ++last_; }

 private:
  std::int64_t last_ = kStart;
};

// "YYYY-MM-DD" of the instant in UTC; instants before 1970 give "1970-01-01".
[[nodiscard]] std::string signing_date(std::chrono::system_clock::time_point now);
[[nodiscard]] inline std::string signing_date_today() { return signing_date(std::chrono::system_clock::now()); }

}  // namespace pdf_actions
