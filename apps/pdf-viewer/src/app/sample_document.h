#pragma once
// The built-in sample document: six pages of text blocks that the viewer draws
// itself, and the demo markup seeded into a shared document once.
#include <string>
#include <string_view>

#include "docstore/document.h"
#include "source/document.h"
#include "velyn_actions/typed_action.h"

namespace pdf_app {

inline constexpr std::string_view kSampleFileName = "Velyn Technical Overview.pdf";

pdf::source::Document sample_document();

// Writes the demo annotations, signature and comments unless "meta"."seeded"
// is already true. Returns whether anything was written.
bool seed_demo_content(docstore::Transaction& txn, const pdf::source::Document& document);

// The demo markup as one action, dispatched like any change; seeded() tells
// afterwards whether it wrote anything (the viewer then selects its note).
class DemoContentAction final : public velyn_actions::TypedAction {
 public:
  explicit DemoContentAction(const pdf::source::Document& document) : document_(document) {}

  [[nodiscard]] std::string describe() const override { return "Demo content"; }
  velyn::Result<void> apply(docstore::Transaction& txn) const override {
    seeded_ = seed_demo_content(txn, document_);
    return {};
  }
  [[nodiscard]] bool is_local_only() const override { return false; }
  [[nodiscard]] bool seeded() const { return seeded_; }

 private:
  const pdf::source::Document& document_;
  mutable bool seeded_ = false;  // apply is const by the framework's contract
};

}  // namespace pdf_app
