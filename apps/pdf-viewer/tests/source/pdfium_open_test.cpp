// Opening, rendering and reading text of generated PDFs through PDFium and the
// text-only path, directly and through the process-wide worker.
#include <gtest/gtest.h>

#include "pdf_fixtures.h"
#include "source/open_document.h"
#include "source/page_render.h"
#include "source/page_text.h"
#include "source/source_worker.h"
#include "source/text_match.h"

namespace pdf::source {
namespace {

using testing::FixturePage;
using testing::FixtureSpec;
using testing::TempDir;

const Pdfium* no_pdfium() { return nullptr; }

class PdfiumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::isolate_home();
    if (shared_pdfium() == nullptr) GTEST_SKIP() << "PDFium not found: set VELYN_PDFIUM_LIB to libpdfium.so";
  }
  TempDir dir_;
};

TEST_F(PdfiumTest, OpensWithMetadataPageSizesAndTitleRules) {
  struct Case {
    std::optional<std::string> title;
    std::string expected;
  };
  const Case cases[] = {{"Quarterly Report", "Quarterly Report"}, {"   ", "report"}, {" spaced ", " spaced "},
                        {std::nullopt, "report"}};
  for (const Case& c : cases) {
    FixtureSpec spec;
    spec.pages = {FixturePage{612, 792, {"Hello"}}, FixturePage{300, 400, {}}};
    spec.title = c.title;
    spec.author = "Ada";
    spec.subject = "Numbers";
    write_pdf(dir_ / "report.pdf", spec);
    auto opened = open_document(dir_ / "report.pdf");
    ASSERT_TRUE(opened) << opened.error().message;
    const Document& doc = opened->opened.document;
    EXPECT_EQ(doc.title, c.expected);
    EXPECT_EQ(doc.author, "Ada");
    EXPECT_EQ(doc.subject, "Numbers");
    EXPECT_EQ(doc.pages.size(), 2u);
    EXPECT_TRUE(doc.pages[0].empty());
    EXPECT_EQ(doc.page_width, 612);
    EXPECT_EQ(doc.page_height, 792);
    EXPECT_EQ(opened->opened.file_name, "report.pdf");
    EXPECT_EQ(opened->opened.page_sizes, (std::vector<PageSize>{{612, 792}, {300, 400}}));
    EXPECT_NE(opened->worker, nullptr);
  }
}

TEST_F(PdfiumTest, OutlineIsFlattenedDepthFirstAndCappedAt200) {
  FixtureSpec spec;
  spec.pages = {FixturePage{}, FixturePage{}, FixturePage{}};
  // 50 top entries with 4 children each: 250 bookmarks.
  for (int top = 0; top < 50; ++top) {
    const int parent = static_cast<int>(spec.outline.size());
    spec.outline.push_back({"Chapter " + std::to_string(top), top == 0 ? 0 : 2, -1});
    for (int child = 0; child < 4; ++child) {
      spec.outline.push_back({"Section " + std::to_string(top) + "." + std::to_string(child), 3, parent});
    }
  }
  write_pdf(dir_ / "outline.pdf", spec);
  auto opened = open_document(dir_ / "outline.pdf");
  ASSERT_TRUE(opened) << opened.error().message;
  const auto& outline = opened->opened.document.outline;
  ASSERT_EQ(outline.size(), 200u);
  EXPECT_EQ(outline[0], (OutlineEntry{"Chapter 0", 1, 0}));  // no destination: page 1
  EXPECT_EQ(outline[1], (OutlineEntry{"Section 0.0", 3, 0}));
  EXPECT_EQ(outline[5], (OutlineEntry{"Chapter 1", 2, 0}));
  EXPECT_EQ(outline[199].title, "Section 39.3");
  for (const auto& entry : outline) EXPECT_EQ(entry.level, 0);
}

TEST_F(PdfiumTest, PageLimitAndOversizedPages) {
  testing::write_numbered_pdf(dir_ / "2048.pdf", 2048);
  testing::write_numbered_pdf(dir_ / "2049.pdf", 2049);
  auto ok = open_document(dir_ / "2048.pdf");
  ASSERT_TRUE(ok) << ok.error().message;
  EXPECT_EQ(ok->opened.page_sizes.size(), 2048u);
  auto refused = open_document(dir_ / "2049.pdf");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "the PDF has more than the 2048-page open limit");

  FixtureSpec wide;
  wide.pages = {FixturePage{200000, 100, {"Wide"}}};
  write_pdf(dir_ / "wide.pdf", wide);
  auto text_only = open_document(dir_ / "wide.pdf");
  ASSERT_TRUE(text_only) << text_only.error().message;
  EXPECT_EQ(text_only->worker, nullptr);
  EXPECT_FALSE(text_only->opened.raster_document);
  EXPECT_EQ(text_only->opened.document.title, "wide");
}

TEST_F(PdfiumTest, EncryptedDocumentsWithAndWithoutPdfium) {
  FixtureSpec spec;
  spec.pages = {FixturePage{612, 792, {"Secret"}}};
  write_pdf(dir_ / "plain.pdf", spec);
  if (!testing::encrypt_pdf(dir_ / "plain.pdf", dir_ / "locked.pdf", "user-secret") ||
      !testing::encrypt_pdf(dir_ / "plain.pdf", dir_ / "open.pdf", "")) {
    GTEST_SKIP() << "qpdf could not encrypt the fixture";
  }
  const std::string refusal = "encrypted PDFs require the native PDF backend";
  EXPECT_EQ(open_document(dir_ / "locked.pdf").error().message, refusal);
  EXPECT_EQ(open_document(dir_ / "locked.pdf", &no_pdfium).error().message, refusal);
  EXPECT_EQ(open_document(dir_ / "open.pdf", &no_pdfium).error().message, refusal);
  auto with_pdfium = open_document(dir_ / "open.pdf");
  ASSERT_TRUE(with_pdfium) << with_pdfium.error().message;
  EXPECT_NE(with_pdfium->worker, nullptr);
}

TEST_F(PdfiumTest, TextOnlyPathAndItsFailures) {
  FixtureSpec spec;
  spec.pages = {FixturePage{612, 792, {"Heading", "", "One line."}}, FixturePage{612, 792, {"Second"}}};
  write_pdf(dir_ / "text.pdf", spec);
  auto opened = open_document(dir_ / "text.pdf", &no_pdfium);
  ASSERT_TRUE(opened) << opened.error().message;
  const Document& doc = opened->opened.document;
  EXPECT_EQ(doc.title, "text");
  ASSERT_EQ(doc.pages.size(), 2u);
  ASSERT_FALSE(doc.pages[0].empty());
  EXPECT_EQ(doc.pages[0][0].kind, BlockKind::Title);
  EXPECT_EQ(doc.pages[1][0], (Block{BlockKind::Title, "Second", 0}));
  EXPECT_FALSE(search_blocks(doc, "second", {}).empty());

  testing::write_text_file(dir_ / "notes.pdf", "just some text, not a PDF");
  auto bad = open_document(dir_ / "notes.pdf");
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().message.starts_with("pdf text extraction failed: ")) << bad.error().message;
  testing::write_numbered_pdf(dir_ / "many.pdf", 2049);
  EXPECT_EQ(open_document(dir_ / "many.pdf", &no_pdfium).error().message,
            "the PDF has more than the 2048-page open limit");
}

TEST(TextSink, RefusesAWholeWriteBeyondItsLimit) {
  BoundedTextSink sink(10, 4);
  ASSERT_TRUE(sink.write("12345"));
  auto refused = sink.write("123456");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "bounded PDF text output exceeded");
  EXPECT_TRUE(sink.exceeded());
  EXPECT_EQ(sink.text(), "12345");
}

TEST_F(PdfiumTest, RendersPagesAndCachesDuplicates) {
  FixtureSpec spec;
  spec.pages = {FixturePage{612, 792, {"Hello world"}}, FixturePage{612, 100000, {}}};
  write_pdf(dir_ / "render.pdf", spec);
  auto opened = open_document(dir_ / "render.pdf");
  ASSERT_TRUE(opened) << opened.error().message;
  WorkerDocument& doc = *opened->worker;
  auto image = render_page(doc, 0, 1230);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 1224u);
  EXPECT_EQ(image->height, 1584u);
  ASSERT_EQ(image->rgba->size(), 1224u * 1584u * 4u);
  EXPECT_EQ((*image->rgba)[0], 255);  // white corner, opaque
  EXPECT_EQ((*image->rgba)[3], 255);
  auto tall = render_page(doc, 1, 4096);
  ASSERT_TRUE(tall);
  EXPECT_EQ(tall->width, 453u);
  EXPECT_FALSE(render_page(doc, 2, 1224));  // outside the plan

  // A duplicated page renders once: the second position is a cache hit on the same buffer.
  ASSERT_TRUE(resolve_plan(doc, {PlanEntry{"source-1", 1, std::nullopt}, PlanEntry{"page-x", 1, std::nullopt}}));
  auto first = render_page(doc, 0, 1224);
  auto second = render_page(doc, 1, 1224);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->rgba.get(), second->rgba.get());
}

TEST_F(PdfiumTest, TextLayerHasCharactersAndBoxes) {
  FixtureSpec spec;
  spec.pages = {FixturePage{612, 792, {"Hello Straße"}}};
  write_pdf(dir_ / "text.pdf", spec);
  auto opened = open_document(dir_ / "text.pdf");
  ASSERT_TRUE(opened);
  SharedTextLayer layer = read_text_layer(*opened->worker, 0);
  ASSERT_NE(layer, nullptr);
  EXPECT_NE(layer->text.find("Hello Straße"), std::string::npos) << layer->text;
  ASSERT_FALSE(layer->boxes.empty());
  EXPECT_NEAR(layer->boxes[0].x, 72, 2);
  EXPECT_GT(layer->boxes[0].height, 0);
  EXPECT_LT(layer->boxes[0].y, 72);
  EXPECT_EQ(read_text_layer(*opened->worker, 0).get(), layer.get());  // cached
  auto matches = match_chars(*layer, find_matches(layer->text, "strasse", {}, 500), 1);
  EXPECT_TRUE(matches.empty());  // ß folds to itself, not to "ss"
  matches = match_chars(*layer, find_matches(layer->text, "STRASSE", {}, 500), 1);
  EXPECT_TRUE(matches.empty());
  matches = match_chars(*layer, find_matches(layer->text, "straße", {}, 500), 1);
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].count, 6u);
  EXPECT_TRUE(read_text_layer(*opened->worker, 5)->boxes.empty());
}

TEST_F(PdfiumTest, SixHundredOccurrencesGiveFiveHundredMatches) {
  FixtureSpec spec;
  for (int p = 0; p < 6; ++p) {
    FixturePage page;
    for (int line = 0; line < 20; ++line) page.lines.push_back("cat cat cat cat cat");
    spec.pages.push_back(page);
  }
  write_pdf(dir_ / "cats.pdf", spec);
  auto opened = open_document(dir_ / "cats.pdf");
  ASSERT_TRUE(opened);
  std::vector<PageMatch> all;
  for (std::uint64_t p = 0; p < 6 && all.size() < kMaxMatches; ++p) {
    SharedTextLayer layer = read_text_layer(*opened->worker, p);
    auto ranges = find_matches(layer->text, "cat", {true, false}, kMaxMatches - all.size());
    auto found = match_chars(*layer, ranges, p + 1);
    all.insert(all.end(), found.begin(), found.end());
  }
  EXPECT_EQ(all.size(), 500u);
  EXPECT_EQ(all.back().page, 5u);
}

// Through the process-wide worker: open, activate, render, text, stale ids.
TEST_F(PdfiumTest, WorkerRoundTripAndStaleDocuments) {
  FixtureSpec spec;
  spec.pages = {FixturePage{612, 792, {"Worker text"}}, FixturePage{612, 792, {}}};
  write_pdf(dir_ / "worker.pdf", spec);
  auto client = *SourceClient::open();
  auto poll_one = [&] {
    for (int i = 0; i < 4000; ++i) {
      auto replies = client->poll();
      if (!replies.empty()) {
        EXPECT_EQ(replies.size(), 1u);
        return std::move(replies.front());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "no reply";
    return SourceReply{OpenFailed{}};
  };
  auto request = client->open_document(dir_ / "worker.pdf");
  ASSERT_TRUE(request);
  SourceReply reply = poll_one();
  ASSERT_TRUE(std::holds_alternative<Opened>(reply));
  const Opened& opened = std::get<Opened>(reply);
  EXPECT_EQ(opened.request_id, *request);
  ASSERT_EQ(opened.opened.raster_document, *request);
  const RasterDocumentId doc = *request;
  ASSERT_TRUE(client->activate(doc));

  ASSERT_TRUE(client->render(doc, 1, 250));
  reply = poll_one();
  ASSERT_TRUE(std::holds_alternative<PageRendered>(reply));
  EXPECT_EQ(std::get<PageRendered>(reply).width, 240u);
  EXPECT_EQ(std::get<PageRendered>(reply).image->width, 240u);

  ASSERT_TRUE(client->read_text(doc, 0));
  reply = poll_one();
  ASSERT_TRUE(std::holds_alternative<PageTextRead>(reply));
  EXPECT_NE(std::get<PageTextRead>(reply).layer->text.find("Worker"), std::string::npos);

  ASSERT_TRUE(client->apply_plan(doc, {PlanEntry{"source-2", 2, std::nullopt}}));
  reply = poll_one();
  ASSERT_TRUE(std::holds_alternative<PagePlanApplied>(reply));
  EXPECT_EQ(std::get<PagePlanApplied>(reply).page_sizes, (std::vector<PageSize>{{612, 792}}));
  ASSERT_TRUE(client->apply_plan(doc, {PlanEntry{"source-3", 3, std::nullopt}}));
  reply = poll_one();
  EXPECT_EQ(std::get<PagePlanFailed>(reply).message, "the shared page plan needs source bytes unavailable on this device");

  ASSERT_TRUE(client->release(doc));
  ASSERT_TRUE(client->render(doc, 0, 500));
  reply = poll_one();
  EXPECT_EQ(std::get<PageRenderFailed>(reply).message, "the requested raster document is no longer active");
  ASSERT_TRUE(client->read_text(doc, 0));
  reply = poll_one();
  EXPECT_EQ(std::get<PageTextFailed>(reply).message, "the requested raster document is no longer active");
}

}  // namespace
}  // namespace pdf::source
