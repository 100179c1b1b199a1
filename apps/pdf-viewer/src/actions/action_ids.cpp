#include "actions/action_ids.h"

#include <uuid/uuid.h>

#include <cstdio>

namespace pdf_actions {

std::string new_uuid() {
  uuid_t raw;
  uuid_generate_random(raw);
  char text[37];
  uuid_unparse_lower(raw, text);
  return std::string(text, 36);
}

std::string new_duplicate_entry_id() { return "page-" + new_uuid(); }
std::string new_import_entry_id() { return "import-" + new_uuid(); }

std::string signing_date(std::chrono::system_clock::time_point now) {
  using namespace std::chrono;
  const auto epoch = system_clock::time_point{};
  const auto days = now < epoch ? sys_days{} : floor<std::chrono::days>(now);
  const year_month_day ymd{days};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return text;
}

}  // namespace pdf_actions
