#pragma once
// The built-in sample document: six pages of text blocks that the viewer draws
// itself, and the demo markup seeded into a shared document once.
#include <string_view>

#include "docstore/document.h"
#include "source/document.h"

namespace pdf_app {

inline constexpr std::string_view kSampleFileName = "Velyn Technical Overview.pdf";

pdf::source::Document sample_document();

// Writes the demo annotations, signature and comments unless "meta"."seeded"
// is already true. Returns whether anything was written.
bool seed_demo_content(docstore::Transaction& txn, const pdf::source::Document& document);

}  // namespace pdf_app
