// Viewer actions through the action framework: registry, dispatch, logging of
// failures, and two replicas that exchange their changes.
#include <gtest/gtest.h>

#include "actions/action_json.h"
#include "actions/viewer_dispatch.h"
#include "review_test_support.h"
#include "velyn_actions/log.h"

namespace pdf_actions {
namespace {

using A = PdfViewerAction;
using docstore::Document;
using velyn_actions::LocalTransport;

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(register_viewer_actions(registry));
    previous_sink = velyn_actions::log::set_sink([this](const velyn_actions::log::Entry& e) { logged.push_back(e); });
  }
  void TearDown() override { velyn_actions::log::set_sink(previous_sink); }

  velyn_actions::ActionRegistry registry;
  std::vector<velyn_actions::log::Entry> logged;
  velyn_actions::log::Sink previous_sink;
};

TEST_F(Dispatch, AppliesCommitsOneChangeAndReplicatesIt) {
  Document doc;
  LocalTransport transport;
  auto outcome = dispatch_viewer_action(doc, transport, "dev.test.viewer",
                                        A::AddAnnotation{"h", 1, AnnoGeom::Highlight{1, 2, 3, 4}, "green", "Ann"});
  ASSERT_TRUE(outcome) << outcome.error().text();
  EXPECT_EQ(outcome->context, (velyn_actions::ActionContext{"dev.test.viewer", "PDF Viewer", "Add annotation"}));
  EXPECT_TRUE(outcome->heads_before.empty());
  ASSERT_TRUE(outcome->change);
  EXPECT_EQ(outcome->heads_after, std::vector<docstore::ChangeHash>{*outcome->change});
  EXPECT_TRUE(outcome->replicated);
  EXPECT_EQ(doc.change_count(), 1u);
  auto sent = transport.take_pending();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].hash, *outcome->change);
  EXPECT_EQ(read_annotations(doc).size(), 1u);
  EXPECT_EQ(outcome->description, "AddAnnotation");
  EXPECT_TRUE(logged.empty());
}

// A highlight over several lines is one gesture: one change, one hand-over;
// one bad action in it leaves nothing written.
TEST_F(Dispatch, AGestureOfSeveralActionsIsOneChangeOrNothing) {
  Document doc;
  LocalTransport transport;
  std::vector<PdfViewerAction> lines;
  for (int i = 0; i < 5; ++i) {
    lines.emplace_back(A::AddAnnotation{"line-" + std::to_string(i), 1, AnnoGeom::Highlight{10, 20.0 + 14 * i, 200, 12},
                                        "yellow", "Ann"});
  }
  auto outcome = dispatch_viewer_actions(doc, transport, "app", lines);
  ASSERT_TRUE(outcome) << outcome.error().text();
  EXPECT_EQ(outcome->context.label, "Add annotation");
  EXPECT_EQ(doc.change_count(), 1u);
  EXPECT_EQ(transport.take_pending().size(), 1u);
  EXPECT_EQ(read_annotations(doc).size(), 5u);

  lines.back() = A::AddAnnotation{"bad", 1, AnnoGeom::Highlight{1, 2, 3, 4}, "yellow", "\xff"};
  EXPECT_FALSE(dispatch_viewer_actions(doc, transport, "app", lines));
  EXPECT_EQ(doc.change_count(), 1u);
  EXPECT_EQ(read_annotations(doc).size(), 5u);
}

TEST_F(Dispatch, ANoOpCommitsNothing) {
  Document doc;
  LocalTransport transport;
  auto outcome = dispatch_viewer_action(doc, transport, "app", A::DeleteAnnotation{"missing"});
  ASSERT_TRUE(outcome);
  EXPECT_FALSE(outcome->change);
  EXPECT_EQ(transport.pending_count(), 0u);
  EXPECT_EQ(outcome->context.label, "Delete annotation");
}

TEST_F(Dispatch, FailuresAreLoggedAndChangeNothing) {
  Document doc;
  LocalTransport transport;
  const std::vector<velyn_actions::EncodedAction> bad = {
      {"pdf_viewer.action", R"({"DeleteAnnotation":{"id":"a","id":"b"}})"},
      {"pdf_viewer.action", R"({"SetAnnotationPosition":{"id":"a","x":null,"y":1}})"},
      {"pdf_viewer.unknown", R"("NextPage")"},
  };
  for (const auto& action : bad) {
    auto outcome = velyn_actions::executor::dispatch_by(registry, doc, action, transport);
    ASSERT_FALSE(outcome);
  }
  EXPECT_EQ(doc.change_count(), 0u);
  EXPECT_EQ(transport.pending_count(), 0u);
  ASSERT_EQ(logged.size(), 3u);
  for (const auto& e : logged) {
    EXPECT_EQ(e.level, velyn_actions::log::Level::Warning);
    EXPECT_EQ(e.message, "action dispatch failed");
  }
  EXPECT_EQ(logged[0].detail, R"(decoding pdf_viewer.action: repeated member "id")");
  EXPECT_EQ(logged[2].detail, "no decoder for pdf_viewer.unknown");
}

TEST_F(Dispatch, EncodeFailureIsLoggedBeforeAnythingIsWritten) {
  Document doc;
  LocalTransport transport;
  auto outcome = dispatch_viewer_action(doc, transport, "app", A::DeleteAnnotation{"\xc3"});
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error().reason, velyn_actions::ActionErrorKind::Encode);
  EXPECT_EQ(doc.change_count(), 0u);
  ASSERT_EQ(logged.size(), 1u);
}

TEST_F(Dispatch, TransportFailureIsReported) {
  Document doc;
  LocalTransport broken([](const Document&, const docstore::Change&) -> velyn::Result<void> {
    return velyn::fail("room is read-only");
  });
  auto outcome = dispatch_viewer_action(doc, broken, "app", A::DeleteSignature{"x"});
  EXPECT_TRUE(outcome);  // a no-op never reaches the transport
  outcome = dispatch_viewer_action(doc, broken, "app",
                                   A::AddSignature{"s", 1, 0, 0, 1, 1, "", "", std::nullopt});
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error().text(), "replicating pdf_viewer.action: room is read-only");
  ASSERT_EQ(logged.size(), 1u);
}

// Two instances of one record: each dispatches locally, the changes cross
// through their transports, and both end up with the same review model.
class TwoReplicas : public Dispatch {
 protected:
  void SetUp() override {
    Dispatch::SetUp();
    testing::seed(left, 3);
    exchange();
  }
  void on(Document& doc, const PdfViewerAction& action) {
    LocalTransport& t = &doc == &left ? to_right : to_left;
    ASSERT_TRUE(dispatch_viewer_action(doc, t, "app", action));
  }
  void exchange() {
    // The seed was not dispatched; hand over whole histories too.
    auto l = left.changes_since({});
    auto r = right.changes_since({});
    ASSERT_TRUE(right.apply_changes(l));
    ASSERT_TRUE(left.apply_changes(r));
    ASSERT_TRUE(right.apply_changes(to_right.take_pending()));
    ASSERT_TRUE(left.apply_changes(to_left.take_pending()));
    ASSERT_EQ(left.heads(), right.heads());
  }
  void expect_same() {
    EXPECT_EQ(read_review_model(left), read_review_model(right));
    EXPECT_EQ(derive_page_plan(left), derive_page_plan(right));
  }

  Document left, right;
  LocalTransport to_right, to_left;
};

TEST_F(TwoReplicas, BothAddHighlights) {
  on(left, A::AddAnnotation{"l", 1, AnnoGeom::Highlight{1, 1, 1, 1}, "green", "L"});
  on(right, A::AddAnnotation{"r", 2, AnnoGeom::Highlight{2, 2, 2, 2}, "blue", "R"});
  exchange();
  expect_same();
  EXPECT_EQ(read_annotations(left).size(), 2u);
}

TEST_F(TwoReplicas, BothMoveTheSamePage) {
  on(left, A::MovePagePlan{"source-3", std::nullopt});
  on(right, A::MovePagePlan{"source-3", "source-1"});
  exchange();
  expect_same();
  const auto ids = testing::plan_ids(left);
  EXPECT_EQ(ids.size(), 3u);  // the id may sit twice in the list; it shows once
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "source-3"), 1);
}

TEST_F(TwoReplicas, OneDeletesAPageTheOtherAnnotates) {
  on(left, A::DeletePagePlan{"source-2"});
  on(right, A::AddAnnotation{"late", 2, AnnoGeom::Note{1, 1}, "pink", "R"});
  on(right, A::CreateNote{"n", "c", 2, 1, 1, "pink", "R", 101, "hi"});
  exchange();
  expect_same();
  EXPECT_EQ(testing::plan_ids(left), (std::vector<std::string>{"source-1", "source-3"}));
  // The concurrent markup was tied to source-2, which no longer shows: it falls
  // back to its stored page number on both replicas.
  for (const auto& a : read_annotations(left)) EXPECT_EQ(a.page, 2u);
}

TEST_F(TwoReplicas, ConcurrentRepliesAndEdits) {
  on(left, A::CreateNote{"n", "c", 1, 1, 1, "pink", "L", 101, "hi"});
  exchange();
  on(left, A::AddReply{"c", "r1", "L", "one"});
  on(right, A::AddReply{"c", "r2", "R", "two"});
  on(right, A::SetCommentResolved{"c", true});
  exchange();
  expect_same();
  EXPECT_EQ(read_comments(left)[0].replies.size(), 2u);
  EXPECT_TRUE(read_comments(left)[0].resolved);
}

}  // namespace
}  // namespace pdf_actions
