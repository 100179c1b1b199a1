#include "source/document.h"

#include <glib.h>

#include <cmath>

namespace pdf::source {
namespace {

constexpr double kBlockSpacer = 6.0;
constexpr std::size_t kAlwaysParagraphChars = 64;
constexpr std::size_t kLaterParagraphChars = 48;

// Decodes one UTF-8 character at `pos`; invalid bytes count as one character.
gunichar char_at(std::string_view text, std::size_t pos, std::size_t& length) {
  const char* p = text.data() + pos;
  gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - pos));
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
    length = 1;
    return 0xFFFD;
  }
  length = static_cast<std::size_t>(g_utf8_next_char(p) - p);
  return c;
}

std::string_view trim_unicode(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t len = 0;
    if (!g_unichar_isspace(char_at(text, begin, len))) break;
    begin += len;
  }
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < text.size();) {
    std::size_t len = 0;
    bool space = g_unichar_isspace(char_at(text, pos, len));
    pos += len;
    if (!space) end = pos;
  }
  return text.substr(begin, end - begin);
}

// Collapses every run of white space to one space (after the lines were joined).
std::string collapse_spaces(std::string_view text, std::size_t& chars) {
  std::string out;
  out.reserve(text.size());
  bool in_space = false;
  chars = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t len = 0;
    gunichar c = char_at(text, pos, len);
    if (g_unichar_isspace(c)) {
      if (!in_space) {
        out.push_back(' ');
        ++chars;
      }
      in_space = true;
    } else {
      out.append(text.substr(pos, len));
      ++chars;
      in_space = false;
    }
    pos += len;
  }
  return out;
}

bool ends_with_closing_punctuation(std::string_view text) {
  return !text.empty() && (text.back() == '.' || text.back() == ',' || text.back() == ';');
}

}  // namespace

bool block_carries_text(BlockKind kind) {
  switch (kind) {
    case BlockKind::Title:
    case BlockKind::Heading:
    case BlockKind::Subheading:
    case BlockKind::Paragraph:
    case BlockKind::Byline:
    case BlockKind::Quote:
      return true;
    case BlockKind::Figure:
    case BlockKind::Rule:
    case BlockKind::Spacer:
      return false;
  }
  return false;
}

bool page_size_valid(PageSize size) {
  return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0 &&
         size.width <= kMaxPageSide && size.height <= kMaxPageSide && size.width * size.height <= kMaxPageArea;
}

Document Document::blank_pages(std::string title, std::string author, std::size_t page_count, double page_width,
                               double page_height) {
  Document doc;
  doc.title = std::move(title);
  doc.author = std::move(author);
  doc.pages.resize(page_count == 0 ? 1 : page_count);
  doc.page_width = page_width;
  doc.page_height = page_height;
  return doc;
}

std::vector<Block> blocks_from_page_text(std::string_view page_text) {
  std::vector<Block> blocks;
  std::string paragraph;  // lines joined by single spaces
  bool any_block = false;

  auto end_paragraph = [&] {
    if (paragraph.empty()) return;
    std::size_t chars = 0;
    std::string text = collapse_spaces(paragraph, chars);
    paragraph.clear();
    if (text.empty()) return;
    BlockKind kind;
    if (chars > kAlwaysParagraphChars || ends_with_closing_punctuation(text)) {
      kind = BlockKind::Paragraph;
    } else if (!any_block) {
      kind = BlockKind::Title;
    } else if (chars > kLaterParagraphChars) {
      kind = BlockKind::Paragraph;
    } else {
      kind = BlockKind::Heading;
    }
    blocks.push_back(Block{kind, std::move(text), 0.0});
    blocks.push_back(Block{BlockKind::Spacer, {}, kBlockSpacer});
    any_block = true;
  };

  std::size_t start = 0;
  while (start <= page_text.size()) {
    std::size_t newline = page_text.find('\n', start);
    std::string_view line =
        page_text.substr(start, newline == std::string_view::npos ? std::string_view::npos : newline - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trim_unicode(line);
    if (line.empty()) {
      end_paragraph();
    } else {
      if (!paragraph.empty()) paragraph.push_back(' ');
      paragraph.append(line);
    }
    if (newline == std::string_view::npos) break;
    start = newline + 1;
  }
  end_paragraph();
  if (blocks.empty()) blocks.push_back(Block{BlockKind::Paragraph, {}, 0.0});
  return blocks;
}

Document Document::from_text_pages(std::string title, std::string author, const std::vector<std::string>& page_texts) {
  Document doc;
  doc.title = std::move(title);
  doc.author = std::move(author);
  for (const std::string& text : page_texts) doc.pages.push_back(blocks_from_page_text(text));
  if (doc.pages.empty()) doc.pages.push_back({Block{BlockKind::Paragraph, {}, 0.0}});
  doc.page_width = kDefaultPageSize.width;
  doc.page_height = kDefaultPageSize.height;
  return doc;
}

}  // namespace pdf::source
