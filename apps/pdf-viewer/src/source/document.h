#pragma once
// The interface-side model of an opened document: metadata, page slots with
// their blocks, the outline and the default page size. A plain value that
// crosses from the worker to the UI thread inside the Opened reply.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pdf::source {

// In the order of their discriminants. The first four text kinds and Spacer
// come from the text-only open; the rest serve the built-in sample document.
enum class BlockKind : std::uint8_t { Title, Heading, Subheading, Paragraph, Byline, Quote, Figure, Rule, Spacer };

struct Block {
  BlockKind kind = BlockKind::Paragraph;
  std::string text;     // Title..Quote: the text; Figure: the caption; else empty
  double height = 0.0;  // Figure: panel height; Spacer: the space; points

  friend bool operator==(const Block&, const Block&) = default;
};

// True for the six kinds whose text is shown and searched.
bool block_carries_text(BlockKind kind);

struct OutlineEntry {
  std::string title;
  std::uint64_t page = 1;  // counted from 1
  std::uint8_t level = 0;  // 0 for a top entry

  friend bool operator==(const OutlineEntry&, const OutlineEntry&) = default;
};

struct PageSize {
  double width = 0.0;  // points
  double height = 0.0;

  friend bool operator==(const PageSize&, const PageSize&) = default;
};

inline constexpr PageSize kDefaultPageSize{612.0, 792.0};

// Accepted page sizes: finite, positive, each side at most 144000 points and
// the area at most 2e9 square points.
inline constexpr double kMaxPageSide = 144000.0;
inline constexpr double kMaxPageArea = 2'000'000'000.0;
bool page_size_valid(PageSize size);

struct Document {
  std::string title;
  std::string author;
  std::string subject;
  std::vector<std::vector<Block>> pages;  // one list of blocks per page slot
  std::vector<OutlineEntry> outline;
  double page_width = kDefaultPageSize.width;
  double page_height = kDefaultPageSize.height;

  // Page slots without blocks (at least one) for a PDFium-rendered document.
  static Document blank_pages(std::string title, std::string author, std::size_t page_count, double page_width,
                              double page_height);

  // Text-only conversion: each page's text becomes Title/Heading/Paragraph
  // blocks separated by 6-point spacers.
  static Document from_text_pages(std::string title, std::string author, const std::vector<std::string>& page_texts);

  friend bool operator==(const Document&, const Document&) = default;
};

// Blocks of one page of plain text, as from_text_pages builds them.
std::vector<Block> blocks_from_page_text(std::string_view page_text);

}  // namespace pdf::source
