#include "velyn_actions/context.h"

#include <vector>

namespace velyn_actions {

ActionContext ActionContext::enriched_by(const ActionContext& more) const {
  ActionContext out = *this;
  if (out.app_id.empty()) out.app_id = more.app_id;
  if (out.app_title.empty()) out.app_title = more.app_title;
  if (out.label.empty()) out.label = more.label;
  return out;
}

namespace context {

namespace {

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char to_lower(char c) { return is_upper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
char to_upper(char c) { return is_lower(c) ? static_cast<char>(c - 'a' + 'A') : c; }

std::vector<std::string> split_words(std::string_view id) {
  std::vector<std::string> words;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) words.push_back(std::move(current));
    current.clear();
  };
  for (std::size_t i = 0; i < id.size(); ++i) {
    const char c = id[i];
    if (c == '_' || c == '-' || c == ' ' || c == '.') {
      flush();
      continue;
    }
    if (is_upper(c) && !current.empty()) {
      const char prev = current.back();
      const bool next_lower = i + 1 < id.size() && is_lower(id[i + 1]);
      // "aB" starts a word; in "PDFFile" the F before "ile" starts one too.
      if (is_lower(prev) || is_digit(prev) || (is_upper(prev) && next_lower)) flush();
    }
    current += c;
  }
  flush();
  return words;
}

bool is_acronym(const std::string& word) {
  if (word.size() < 2) return false;
  for (char c : word)
    if (!is_upper(c) && !is_digit(c)) return false;
  return true;
}

}  // namespace

std::string humanize_identifier(std::string_view identifier) {
  std::string out;
  const auto words = split_words(identifier);
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string word = words[i];
    if (!is_acronym(word)) {
      for (char& c : word) c = to_lower(c);
      if (i == 0) word[0] = to_upper(word[0]);
    }
    if (i > 0) out += ' ';
    out += word;
  }
  return out;
}

}  // namespace context

}  // namespace velyn_actions
