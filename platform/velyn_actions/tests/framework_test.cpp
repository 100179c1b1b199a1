// The action framework on its own: labels, arguments, the registry and the executor.
#include <gtest/gtest.h>

#include "velyn_actions/args.h"
#include "velyn_actions/context.h"
#include "velyn_actions/executor.h"
#include "velyn_actions/log.h"

namespace velyn_actions {
namespace {

TEST(Context, HumanizeIdentifier) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"DuplicatePagePlan", "Duplicate page plan"}, {"AddAnnotation", "Add annotation"},
      {"go_to_page", "Go to page"},                 {"previous-page", "Previous page"},
      {"OpenPDFFile", "Open PDF file"},              {"ZoomIn", "Zoom in"},
      {"Page2Up", "Page2 up"},                       {"", ""},
      {"x", "X"},
  };
  for (const auto& [id, words] : cases) EXPECT_EQ(context::humanize_identifier(id), words) << id;
}

TEST(Context, LabelForJson) {
  EXPECT_EQ(context::label_for_json(R"("NextPage")"), "Next page");
  EXPECT_EQ(context::label_for_json(R"({"SetCommentBody":{"id":"c"}})"), "Set comment body");
  EXPECT_EQ(context::label_for_json(R"({"a":1,"b":2})"), "Update");
  EXPECT_EQ(context::label_for_json("[1]"), "Update");
  EXPECT_EQ(context::label_for_json("{"), "Update");
}

TEST(Context, EnrichedByFillsOnlyEmptyFields) {
  ActionContext mine{"", "Mine", ""};
  EXPECT_EQ(mine.enriched_by({"app", "Theirs", "Label"}), (ActionContext{"app", "Mine", "Label"}));
}

TEST(Args, TypedReads) {
  ActionArgs args;
  args.with_text("path", "/tmp/a b.pdf").with_text("page", "12").with_text("neg", "-3").with_text("flag", "true");
  EXPECT_EQ(args.text("path"), "/tmp/a b.pdf");
  EXPECT_EQ(args.text("missing"), std::nullopt);
  EXPECT_EQ(args.unsigned_integer("page"), 12u);
  EXPECT_EQ(args.unsigned_integer("neg"), std::nullopt);
  EXPECT_EQ(args.integer("neg"), -3);
  EXPECT_EQ(args.integer("path"), std::nullopt);
  EXPECT_EQ(args.boolean("flag"), true);
  EXPECT_EQ(args.boolean("page"), std::nullopt);
}

// A kind of its own: puts "key" = value into the root map; "fail" refuses.
class PutAction final : public TypedAction {
 public:
  explicit PutAction(std::string value) : value_(std::move(value)) {}
  std::string describe() const override { return "Put " + value_; }
  velyn::Result<void> apply(docstore::Transaction& txn) const override {
    if (auto r = txn.put(docstore::ObjId::root(), "key", value_); !r) return r;
    if (value_ == "fail") return velyn::fail("refused");
    return {};
  }
  bool is_local_only() const override { return value_ == "local"; }

 private:
  std::string value_;
};

DecodeResult decode_put(std::string_view json) { return std::make_unique<PutAction>(std::string(json)); }

class Executor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry.register_decoder("test.put", decode_put));
    old = log::set_sink([this](const log::Entry& e) { logged.push_back(e); });
  }
  void TearDown() override { log::set_sink(old); }
  ActionRegistry registry;
  std::vector<log::Entry> logged;
  log::Sink old;
};

TEST_F(Executor, RegistryRefusesSecondDecoderAndEmptyKinds) {
  EXPECT_FALSE(registry.register_decoder("test.put", decode_put));
  EXPECT_FALSE(registry.register_decoder("", decode_put));
  EXPECT_TRUE(registry.has("test.put"));
}

TEST_F(Executor, ApplyFailureRollsBack) {
  docstore::Document doc;
  LocalTransport transport;
  auto outcome = executor::dispatch_by(registry, doc, {"test.put", "fail"}, transport);
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error().text(), "applying test.put: refused");
  EXPECT_FALSE(doc.get(docstore::ObjId::root(), "key"));
  EXPECT_EQ(doc.change_count(), 0u);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].message, "action dispatch failed");
  EXPECT_EQ(logged[0].level, log::Level::Warning);
}

TEST_F(Executor, LocalOnlyActionsAreNotReplicated) {
  docstore::Document doc;
  LocalTransport transport;
  auto outcome = executor::dispatch_by_with_context(registry, doc, {"test.put", "local"}, transport,
                                                    ActionContext{"app", "App", ""});
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->change);
  EXPECT_FALSE(outcome->replicated);
  EXPECT_EQ(transport.pending_count(), 0u);
  EXPECT_EQ(outcome->context.label, "Update");  // "local" is not JSON
  EXPECT_EQ(outcome->description, "Put local");
}

TEST_F(Executor, SinkReceivesTheCommittedChange) {
  docstore::Document doc;
  std::vector<docstore::ChangeHash> seen;
  LocalTransport transport([&](const docstore::Document& d, const docstore::Change& c) -> velyn::Result<void> {
    EXPECT_EQ(&d, &doc);
    seen.push_back(c.hash);
    return {};
  });
  auto outcome = executor::dispatch_by(registry, doc, {"test.put", "\"v\""}, transport);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(seen, std::vector<docstore::ChangeHash>{*outcome->change});
  EXPECT_EQ(doc.heads(), seen);
}

// One gesture of several typed actions: one transaction, one change, one
// hand-over to the transport; any failure leaves nothing behind.
TEST_F(Executor, TypedBatchIsOneChangeOrNothing) {
  docstore::Document doc;
  LocalTransport transport;
  const PutAction first("\"a\""), second("\"b\""), refused("fail"), local("local");
  const TypedAction* both[] = {&first, &second};
  auto outcome = executor::dispatch_typed(doc, "test.put", both, transport, ActionContext{});
  ASSERT_TRUE(outcome);
  EXPECT_EQ(doc.change_count(), 1u);
  EXPECT_EQ(transport.pending_count(), 1u);
  EXPECT_EQ(outcome->description, "Put \"a\"; Put \"b\"");
  EXPECT_EQ(*doc.get(docstore::ObjId::root(), "key")->as_string(), "\"b\"");

  const TypedAction* failing[] = {&first, &refused};
  EXPECT_FALSE(executor::dispatch_typed(doc, "test.put", failing, transport, ActionContext{}));
  EXPECT_EQ(doc.change_count(), 1u);
  EXPECT_EQ(transport.pending_count(), 1u);

  // Replicated unless every action is local-only.
  const TypedAction* mixed[] = {&local, &first};
  ASSERT_TRUE(executor::dispatch_typed(doc, "test.put", mixed, transport, ActionContext{})->replicated);
  const TypedAction* only_local[] = {&local};
  EXPECT_FALSE(executor::dispatch_typed(doc, "test.put", only_local, transport, ActionContext{})->replicated);
}

}  // namespace
}  // namespace velyn_actions
