#pragma once
// Reading a plan page's text layer from PDFium, with the worker's text cache.
#include <cstdint>
#include <optional>
#include <vector>

#include "source/page_image.h"
#include "source/worker_document.h"

namespace pdf::source {

inline constexpr std::size_t kPageCharLimit = 100000;

// One character as PDFium reports it: code point and loose box in page space
// (left, bottom, right, top), or no box when it could not be read.
struct RawChar {
  std::uint32_t code = 0;
  std::optional<FS_RECTF> box;
};

// The layer for `chars` on a page of height `page_height`: NUL, surrogates
// and values above U+10FFFF are left out; more than kPageCharLimit kept
// characters give an empty layer.
TextLayer build_text_layer(const std::vector<RawChar>& chars, double page_height);

// The text layer of plan position `page_index`; empty when the page or its
// text cannot be loaded. Worker thread only.
SharedTextLayer read_text_layer(WorkerDocument& doc, std::uint64_t page_index);

}  // namespace pdf::source
