#include "velyn_ui/portal/pick_request.h"

#include <gtest/gtest.h>

#include "answer_wait.h"
#include "velyn_ui/portal/fake_picker.h"

namespace velyn_ui::portal {
namespace {

using testing::settle;

PickRequest open_request() {
  return PickRequest::open("Open a PDF", "Open")
      .thread_name("pdf-portal-open")
      .filter(FileFilter("PDF documents").mimetype("application/pdf"))
      .all_files();
}

TEST(PickRequest, BuildsInOrder) {
  const auto r = PickRequest::save("Save annotated PDF", "Save", "report-annotated.pdf")
                     .thread_name("pdf-portal-save")
                     .filter(FileFilter("PDF or image").mimetype("application/pdf").mimetype("image/png"));
  EXPECT_EQ(r.kind(), PickRequest::Kind::Save);
  EXPECT_EQ(r.suggested_name(), "report-annotated.pdf");
  ASSERT_EQ(r.filters().size(), 1u);
  EXPECT_EQ(r.filters()[0].mimetypes(), (std::vector<std::string>{"application/pdf", "image/png"}));
  EXPECT_FALSE(r.has_all_files());
}

TEST(PickRequest, AnswersArriveOnTheNamedThread) {
  struct Case {
    const char* thread;
    const char* seen;  // as the system reports it (15 bytes at most)
    PickAnswer answer;
  };
  const std::vector<Case> cases = {
      {"pdf-portal-open", "pdf-portal-open", PickAnswer::chosen("/tmp/a.pdf")},
      {"pdf-portal-save", "pdf-portal-save", PickAnswer::cancelled()},
      {"pdf-portal-import", "pdf-portal-impo", PickAnswer::failed("portal broke")},
  };
  for (const auto& c : cases) {
    auto fake = std::make_shared<FakePickerBackend>();
    fake->push_answer(c.answer);
    auto receiver = open_request().thread_name(c.thread).send_with(fake);
    ASSERT_EQ(settle(receiver), PickReceiver::State::Ready) << c.thread;
    EXPECT_EQ(receiver.try_take(), c.answer);
    EXPECT_FALSE(receiver.try_take()) << "an answer is taken once";
    ASSERT_EQ(fake->seen().size(), 1u);
    EXPECT_EQ(fake->seen()[0].thread, c.seen);
    EXPECT_EQ(fake->seen()[0].request.title(), "Open a PDF");
  }
}

TEST(PickRequest, PendingUntilAnsweredAndDroppingCancels) {
  auto fake = std::make_shared<FakePickerBackend>();
  fake->hold();
  fake->push_answer(PickAnswer::chosen("/tmp/b.pdf"));
  auto receiver = open_request().send_with(fake);
  EXPECT_EQ(receiver.state(), PickReceiver::State::Pending);
  EXPECT_FALSE(receiver.try_take());
  fake->release();
  EXPECT_EQ(settle(receiver), PickReceiver::State::Ready);

  fake->hold();
  {
    auto abandoned = open_request().send_with(fake);
    while (fake->seen().size() < 2) std::this_thread::yield();
  }  // the receiver goes away while the dialog is up
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (fake->cancelled_requests() == 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(fake->cancelled_requests(), 1);
}

class DroppingBackend final : public PickerBackend {
 public:
  std::optional<PickAnswer> pick(const PickRequest&, const PickCancel&) override { return std::nullopt; }
};

TEST(PickRequest, BackendGivingUpIsReportedAsDropped) {
  auto receiver = open_request().send_with(std::make_shared<DroppingBackend>());
  EXPECT_EQ(settle(receiver), PickReceiver::State::Dropped);
  EXPECT_FALSE(receiver.try_take());
}

TEST(PickRequest, DefaultBackendCanBeReplaced) {
  auto fake = std::make_shared<FakePickerBackend>();
  fake->push_answer(PickAnswer::chosen("/tmp/c.pdf"));
  set_default_backend(fake);
  auto receiver = open_request().send();
  ASSERT_EQ(settle(receiver), PickReceiver::State::Ready);
  EXPECT_EQ(receiver.try_take()->path, "/tmp/c.pdf");
  set_default_backend(nullptr);
}

}  // namespace
}  // namespace velyn_ui::portal
