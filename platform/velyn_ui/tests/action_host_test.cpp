// The action host: dispatches through the registry, hands each change to its
// sink, and leaves the document alone when a dispatch fails.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "velyn_actions/log.h"
#include "velyn_ui/action_host.h"

namespace {

// Puts its JSON text under "note" in the root map.
class PutNote final : public velyn_actions::TypedAction {
 public:
  explicit PutNote(std::string text) : text_(std::move(text)) {}
  std::string describe() const override { return "PutNote"; }
  velyn::Result<void> apply(docstore::Transaction& txn) const override {
    return txn.put(docstore::ObjId::root(), "note", docstore::Value(text_));
  }
  bool is_local_only() const override { return false; }

 private:
  std::string text_;
};

std::shared_ptr<velyn_actions::ActionRegistry> registry() {
  auto r = std::make_shared<velyn_actions::ActionRegistry>();
  EXPECT_TRUE(r->register_decoder("test.note", [](std::string_view json) -> velyn_actions::DecodeResult {
    return std::make_unique<PutNote>(std::string(json));
  }));
  return r;
}

TEST(ActionHost, DispatchesAndHandsTheChangeToTheSink) {
  std::vector<std::size_t> seen;
  velyn_ui::action_host::ActionHost host(registry(), [&](const docstore::Document& d, const docstore::Change&) {
    seen.push_back(d.change_count());
    return velyn::Result<void>{};
  });
  docstore::Document doc;
  auto outcome = host.dispatch_with_context(doc, {"test.note", "\"hello\""}, {"app.id", "Title", ""});
  ASSERT_TRUE(outcome) << outcome.error().text();
  EXPECT_TRUE(outcome->replicated);
  EXPECT_EQ(outcome->context.app_id, "app.id");
  EXPECT_EQ(outcome->context.label, "Hello");  // filled from the JSON
  EXPECT_EQ(seen, std::vector<std::size_t>{1});
  EXPECT_EQ(doc.get(docstore::ObjId::root(), "note"), docstore::Value(std::string("\"hello\"")));
  EXPECT_NE(outcome->heads_before, outcome->heads_after);
}

TEST(ActionHost, AFailedDispatchIsLoggedAndChangesNothing) {
  std::vector<velyn_actions::log::Entry> logged;
  auto previous = velyn_actions::log::set_sink([&](const velyn_actions::log::Entry& e) { logged.push_back(e); });
  int sunk = 0;
  const auto sink = [&](const docstore::Document&, const docstore::Change&) {
    ++sunk;
    return velyn::Result<void>{};
  };
  velyn_ui::action_host::ActionHost known(registry(), sink);
  velyn_ui::action_host::ActionHost none(nullptr, sink);
  docstore::Document doc;
  EXPECT_FALSE(known.dispatch(doc, {"test.other", "1"}));
  EXPECT_FALSE(none.dispatch(doc, {"test.note", "1"}));
  velyn_actions::log::set_sink(previous);
  EXPECT_EQ(doc.change_count(), 0u);
  EXPECT_EQ(sunk, 0);
  ASSERT_EQ(logged.size(), 2u);
  for (const auto& e : logged) {
    EXPECT_EQ(e.level, velyn_actions::log::Level::Warning);
    EXPECT_EQ(e.message, "action dispatch failed");
  }
}

}  // namespace
