// Save and import end to end: a headless viewer with the real PDF worker
// opens a generated PDF, a highlight is dispatched, the save picker's answer
// (a fake portal) publishes a flattened copy that qpdf, pdftotext and
// pdftoppm accept, and an imported PNG becomes a page of the shared plan and
// of the next saved file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "actions/action_json.h"
#include "app/file_operations.h"
#include "file_test_support.h"
#include "pdf_fixtures.h"
#include "save_fixtures.h"

namespace {

namespace source = pdf::source;
namespace fixtures = pdf::source::testing;
namespace portal = velyn_ui::portal;
using pdf_app::PdfApp;

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool settled(const PdfApp& app) {
  return app.document_loaded && !app.pending_open && !app.waiting_for_record && app.applied_plan && !app.pending_plan &&
         app.applied_plan->size() == app.plan.size();
}

TEST(FileFlow, SaveAHighlightThenImportAnImageAndSaveAgain) {
  file_test::TempHome home;
  file_test::FakePicker picker;
  const auto pdf = home.dir() / "shared.pdf";
  fixtures::FixtureSpec spec;
  for (int i = 1; i <= 3; ++i) spec.pages.push_back({612, 792, {"Page " + std::to_string(i), "original page text"}});
  fixtures::write_pdf(pdf, spec);
  const std::string original = read_all(pdf);

  PdfApp app;  // the process-wide worker with PDFium
  file_test::Driver driver(app);
  app.start_open(pdf.string());
  ASSERT_TRUE(driver.frames_until([&] { return settled(app) || app.open_error; }));
  ASSERT_TRUE(app.document_loaded) << app.open_error.value_or("");
  ASSERT_TRUE(app.doc->raster_document) << "the PDF was opened without PDFium";
  ASSERT_EQ(app.page_count(), 3u);

  // A yellow highlight over an empty band of page 1 (page points, origin top left).
  {
    auto ctx = driver.context();
    ASSERT_TRUE(app.dispatch_action(
        driver.document(), ctx,
        pdf_actions::PdfViewerAction::AddAnnotation{"6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b", 1,
                                                    pdf_actions::AnnoGeom::Highlight{100, 500, 300, 60}, "yellow",
                                                    "You"}));
  }
  ASSERT_EQ(app.review.annotations.size(), 1u);

  // Ctrl+S: the save picker suggests the name, the fake portal answers without the extension.
  picker->push_answer(portal::PickAnswer::chosen(home.dir() / "out"));
  driver.send(velyn_ui::KeyPress{velyn_ui::Key::Character, U's', velyn_ui::kModCtrl});
  ASSERT_TRUE(driver.frames_until([&] { return !app.files.save_picker && !app.files.pending_save; }));
  EXPECT_EQ(app.status, "Saved annotated PDF to out.pdf");
  ASSERT_EQ(picker->seen().size(), 1u);
  EXPECT_EQ(picker->seen()[0].request.suggested_name(), "shared-annotated.pdf");

  const auto out = home.dir() / "out.pdf";
  std::string report;
  EXPECT_TRUE(fixtures::qpdf_check_ok(out, &report)) << report;
  EXPECT_EQ(fixtures::qpdf_page_count(out), 3);
  const std::string text = fixtures::pdf_text(out);
  EXPECT_NE(text.find("original page text"), std::string::npos) << text;
  EXPECT_NE(text.find("Page 3"), std::string::npos) << text;
  const auto page1 = fixtures::render_page(out, 1);
  const auto marked = page1.at(250, 530);
  EXPECT_LT(marked.b + 40, marked.r) << marked.r << "," << marked.g << "," << marked.b;  // yellow over white
  const auto clear = page1.at(250, 700);
  EXPECT_TRUE(fixtures::near(clear, {255, 255, 255}, 8));
  EXPECT_EQ(read_all(pdf), original);  // the opened file is never written

  // Import a 1200 × 800 PNG after page 1: a 612 × 408 point page, shown at once.
  const auto png = home.dir() / "picture.png";
  fixtures::write_bytes(png, fixtures::make_png(1200, 800, {220, 30, 30}));
  picker->push_answer(portal::PickAnswer::chosen(png));
  pdf_app::request_import_picker(app);
  ASSERT_TRUE(driver.frames_until([&] { return !app.files.import_picker && !app.files.pending_import; }));
  ASSERT_EQ(app.status, "Imported pages are shared with collaborators; Save exports a flattened PDF");
  ASSERT_EQ(app.plan.size(), 4u);
  ASSERT_TRUE(app.plan[1].imported);
  EXPECT_EQ(app.plan[1].imported->kind, "image");
  EXPECT_EQ(app.plan[1].imported->width_milli, 612000u);
  EXPECT_EQ(app.plan[1].imported->height_milli, 408000u);
  EXPECT_EQ(app.current_page, 2u);
  ASSERT_TRUE(driver.frames_until([&] { return settled(app); }));

  // Save again through the operation host: the imported page is in the file, in plan order.
  const pdf_app::OperationId op{0x1234, 0x5678};
  const auto payload = pdf_actions::encode_operation(pdf_actions::PdfOperation::SaveAs{(home.dir() / "second").string()});
  ASSERT_EQ(pdf_app::start_operation(app, op, 0, "pdf_viewer.operation", payload->json).kind,
            pdf_app::StartResult::Kind::Pending);
  std::optional<pdf_app::CollectResult> collected;
  ASSERT_TRUE(driver.frames_until([&] { return (collected = pdf_app::poll_operation(app, op, false)).has_value(); }));
  EXPECT_EQ(collected->kind, pdf_app::CollectResult::Kind::Completed) << collected->message;
  EXPECT_EQ(app.status, "Saved annotated PDF to second.pdf");
  const auto second = home.dir() / "second.pdf";
  EXPECT_TRUE(fixtures::qpdf_check_ok(second, &report)) << report;
  ASSERT_EQ(fixtures::qpdf_page_count(second), 4);
  EXPECT_NE(fixtures::pdf_text(second, 1).find("Page 1"), std::string::npos);
  EXPECT_NE(fixtures::pdf_text(second, 3).find("Page 2"), std::string::npos);
  const auto picture = fixtures::render_page(second, 2);
  EXPECT_EQ(picture.width, 612);
  EXPECT_EQ(picture.height, 408);
  EXPECT_TRUE(fixtures::near(picture.at(306, 204), {220, 30, 30}, 12));
}

}  // namespace
