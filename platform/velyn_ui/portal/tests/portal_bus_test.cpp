// The portal backend against a FileChooser service on a private session bus.
#include <gtest/gtest.h>

#include "answer_wait.h"
#include "fake_portal_service.h"
#include "velyn_ui/portal/pick_request.h"

namespace velyn_ui::portal {
namespace {

using testing::FakePortalService;
using testing::settle;

struct BusCase {
  const char* name;
  bool save;
  FakePortalService::Answer answer;
  PickAnswer expected;
};

void PrintTo(const BusCase& c, std::ostream* os) { *os << c.name; }

class PortalOverBus : public ::testing::TestWithParam<BusCase> {};

TEST_P(PortalOverBus, RequestAndResponse) {
  const BusCase& c = GetParam();
  FakePortalService service(true);
  ASSERT_TRUE(service.running()) << "dbus-daemon could not be started";
  service.push_answer(c.answer);
  const auto filter = FileFilter("PDF documents").mimetype("application/pdf");
  const auto request = c.save ? PickRequest::save("Save annotated PDF", "Save", "report-annotated.pdf")
                                    .thread_name("pdf-portal-save")
                                    .filter(filter)
                              : PickRequest::open("Open a PDF", "Open").thread_name("pdf-portal-open").filter(filter).all_files();
  auto receiver = request.send_with(portal_backend(service.address()));
  ASSERT_EQ(settle(receiver), PickReceiver::State::Ready);
  EXPECT_EQ(receiver.try_take(), c.expected);

  const auto calls = service.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].method, c.save ? "SaveFile" : "OpenFile");
  EXPECT_EQ(calls[0].title, c.save ? "Save annotated PDF" : "Open a PDF");
  const std::string& o = calls[0].options;
  EXPECT_NE(o.find("'accept_label': <'" + std::string(c.save ? "Save" : "Open") + "'>"), std::string::npos) << o;
  EXPECT_NE(o.find("('PDF documents', [(uint32 1, 'application/pdf')])"), std::string::npos) << o;
  if (c.save) {
    EXPECT_NE(o.find("'current_name': <'report-annotated.pdf'>"), std::string::npos) << o;
    EXPECT_EQ(o.find("All files"), std::string::npos) << o;
  } else {
    EXPECT_NE(o.find("('All files', [(0, '*')])"), std::string::npos) << o;
    EXPECT_NE(o.find("'multiple': <false>"), std::string::npos) << o;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortalOverBus,
    ::testing::Values(
        BusCase{"open_chosen", false, {0, "file:///tmp/chosen%20file.pdf"}, PickAnswer::chosen("/tmp/chosen file.pdf")},
        BusCase{"save_chosen", true, {0, "file:///tmp/report-annotated.pdf"},
                PickAnswer::chosen("/tmp/report-annotated.pdf")},
        BusCase{"cancelled", false, {1, ""}, PickAnswer::cancelled()},
        BusCase{"ended_otherwise", true, {2, ""}, PickAnswer::failed("the file chooser ended without a choice")},
        BusCase{"no_file", false, {0, ""}, PickAnswer::failed("the file chooser returned no file")},
        BusCase{"remote_uri", false, {0, "https://example.org/a.pdf"},
                PickAnswer::failed("the chosen file is not local: https://example.org/a.pdf")}),
    [](const ::testing::TestParamInfo<BusCase>& p) { return std::string(p.param.name); });

TEST(PortalBackend, NoPortalServiceFailsWithTheBusText) {
  FakePortalService bus(false);
  ASSERT_TRUE(bus.running());
  auto receiver = PickRequest::open("Open a PDF", "Open").send_with(portal_backend(bus.address()));
  ASSERT_EQ(settle(receiver), PickReceiver::State::Ready);
  const auto answer = receiver.try_take();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->kind, PickAnswer::Kind::Failed);
  EXPECT_NE(answer->error.find("org.freedesktop.portal.Desktop"), std::string::npos) << answer->error;
  EXPECT_EQ(answer->error.find("GDBus.Error"), std::string::npos) << "the remote error name is stripped";
}

TEST(PortalBackend, DroppingTheReceiverClosesTheDialog) {
  FakePortalService service(true);
  ASSERT_TRUE(service.running());
  service.push_answer({FakePortalService::kHoldOpen, ""});
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  {
    auto receiver = PickRequest::open("Open a PDF", "Open").send_with(portal_backend(service.address()));
    while (service.calls().empty() && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(receiver.state(), PickReceiver::State::Pending);
  }
  while (service.calls().size() < 2 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto calls = service.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].method, "Close");
  EXPECT_NE(calls[1].title.find("/org/freedesktop/portal/desktop/request/"), std::string::npos) << calls[1].title;
}

TEST(PortalBackend, UnreachableBusFails) {
  auto receiver = PickRequest::open("Open a PDF", "Open").send_with(portal_backend("unix:path=/nonexistent/bus"));
  ASSERT_EQ(settle(receiver), PickReceiver::State::Ready);
  EXPECT_EQ(receiver.try_take()->kind, PickAnswer::Kind::Failed);
}

}  // namespace
}  // namespace velyn_ui::portal
