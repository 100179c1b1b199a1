// Page import: probing PDFs and images within their limits, the content store
// round trip, imported entries becoming page sources (loaded once per hash),
// and imported pages reaching saved files.
#include <gtest/gtest.h>

#include "blobstore/blob_store.h"
#include "opened_source_test.h"
#include "pdf_fixtures.h"
#include "save_fixtures.h"
#include "source/bounded_read.h"
#include "source/image_decode.h"
#include "source/import_probe.h"
#include "source/plan_sources.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

namespace pdf::source {
namespace {

using testing::kClient;
using testing::kDocument;
using testing::TempDir;

TEST(ImagePage, HeightFollowsTheAspectClampedTo72Through3000) {
  struct Case {
    std::uint64_t w, h;
    double height;
  };
  for (const Case& c : {Case{1200, 800, 408}, Case{100, 10000, 3000}, Case{1000, 10, 72}, Case{0, 0, 612},
                        Case{612, 612, 612}}) {
    EXPECT_DOUBLE_EQ(image_page_height(c.w, c.h), c.height) << c.w << "x" << c.h;
  }
}

TEST(ImagePage, MilliPointsRoundHalfAwayFromZero) {
  struct Case {
    double points;
    std::uint32_t milli;
  };
  for (const Case& c : {Case{408, 408000}, Case{0.0005, 1}, Case{612.0004, 612000}, Case{-3, 0}, Case{5e9, 4294967295u}}) {
    EXPECT_EQ(points_to_milli(c.points), c.milli) << c.points;
  }
}

TEST(ImageDecode, DecodesPngAndJpegAndRefusesOversizedOrForeignBytes) {
  auto png = decode_image(testing::make_png(3, 2, {10, 20, 30}));
  ASSERT_TRUE(png) << png.error().message;
  EXPECT_EQ(png->width, 3u);
  EXPECT_EQ(png->height, 2u);
  EXPECT_EQ((std::vector<std::uint8_t>(png->rgba.begin(), png->rgba.begin() + 4)),
            (std::vector<std::uint8_t>{10, 20, 30, 255}));
  auto jpeg = decode_image(testing::make_jpeg(16, 8, {200, 40, 40}));
  ASSERT_TRUE(jpeg) << jpeg.error().message;
  EXPECT_EQ(jpeg->rgba.size(), 16u * 8 * 4);

  // 60000 x 60000 declared in a file of a few dozen bytes: refused before allocating.
  const auto huge = testing::png_declaring(60000, 60000);
  EXPECT_LT(huge.size(), 100u);
  auto refused = decode_image(huge);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "the image is 60000 x 60000 pixels, above the 100000000-pixel limit");
  const std::string text = "just text";
  EXPECT_FALSE(decode_image(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
  auto truncated = testing::make_png(50, 50, {1, 2, 3});
  truncated.resize(truncated.size() / 2);
  EXPECT_FALSE(decode_image(truncated));
}

testing::FixtureSpec pages_of(std::vector<testing::FixturePage> pages) {
  testing::FixtureSpec spec;
  spec.pages = std::move(pages);
  return spec;
}

class ImportTest : public testing::OpenedSourceTest {
 protected:
  const Pdfium& pdfium() { return *shared_pdfium(); }

  SourceReply import(const std::filesystem::path& path) {
    return run_import_file(*state_, kClient, ImportFile{kDocument, ++request_id_, path, 1, "source-1"});
  }
  PagesImported import_ok(const std::filesystem::path& path) {
    SourceReply reply = import(path);
    if (auto* failed = std::get_if<ImportFailed>(&reply)) ADD_FAILURE() << failed->message;
    return std::get<PagesImported>(reply);
  }
  std::string import_error(const std::filesystem::path& path) {
    SourceReply reply = import(path);
    return std::holds_alternative<ImportFailed>(reply) ? std::get<ImportFailed>(reply).message : "";
  }
  std::size_t blob_count() {
    std::size_t n = 0;
    if (!std::filesystem::exists(dir_ / "blobs")) return 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_ / "blobs")) n += e.is_regular_file();
    return n;
  }

  RequestId request_id_ = 100;
};

TEST_F(ImportTest, ProbeRefusesWhatCannotBecomePages) {
  testing::write_numbered_pdf(dir_ / "513.pdf", 513);
  testing::write_text_file(dir_ / "empty.pdf", "");
  testing::write_text_file(dir_ / "notes.pdf", "plain text that only calls itself a PDF");
  testing::write_text_file(dir_ / "broken.pdf", "%PDF-1.7\nnothing else");
  testing::write_bytes(dir_ / "huge.png", testing::png_declaring(60000, 60000));
  struct Case {
    const char* file;
    std::string message;
  };
  const Case cases[] = {
      {"513.pdf", "the PDF exceeds the 512-page import limit"},
      {"empty.pdf", "the import file is empty"},
      {"notes.pdf", "decoding the image: unsupported image format (PNG and JPEG are accepted)"},
      {"broken.pdf", "the file is not a readable PDF"},
      {"huge.png", "decoding the image: the image is 60000 x 60000 pixels, above the 100000000-pixel limit"},
      {"missing.pdf", "reading " + (dir_ / "missing.pdf").string()},
  };
  for (const Case& c : cases) {
    const std::string message = import_error(dir_ / c.file);
    EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.file << ": " << message;
  }
  EXPECT_EQ(blob_count(), 0u);  // nothing refused reached the content store
  EXPECT_EQ(std::get<ImportFailed>(run_import_file(*state_, kClient, ImportFile{kDocument + 1, 1, dir_ / "x", 1, {}}))
                .message,
            "the requested raster document is no longer active");
}

TEST_F(ImportTest, PdfsAndImagesReportKindAndPageSizes) {
  testing::write_numbered_pdf(dir_ / "512.pdf", 512);
  testing::write_pdf(dir_ / "mixed.pdf", pages_of({{300, 400, {"Small"}}, {612, 792, {"Letter"}}}));
  testing::write_bytes(dir_ / "wide.png", testing::make_png(1200, 800, {0, 0, 255}));
  testing::write_bytes(dir_ / "tall.jpg", testing::make_jpeg(100, 10000, {255, 0, 0}));
  testing::write_bytes(dir_ / "flat.jpg", testing::make_jpeg(1000, 10, {255, 0, 0}));

  EXPECT_EQ(import_ok(dir_ / "512.pdf").page_sizes.size(), 512u);
  PagesImported mixed = import_ok(dir_ / "mixed.pdf");
  EXPECT_EQ(mixed.kind, "pdf");
  EXPECT_EQ(mixed.page_sizes, (std::vector<PageSize>{{300, 400}, {612, 792}}));
  EXPECT_EQ(mixed.hash, blobstore::hash_of(*read_bounded(dir_ / "mixed.pdf", kImportSizeLimit)));
  struct Case {
    const char* file;
    PageSize size;
  };
  for (const Case& c : {Case{"wide.png", {612, 408}}, Case{"tall.jpg", {612, 3000}}, Case{"flat.jpg", {612, 72}}}) {
    PagesImported image = import_ok(dir_ / c.file);
    EXPECT_EQ(image.kind, "image") << c.file;
    EXPECT_EQ(image.page_sizes, std::vector<PageSize>{c.size}) << c.file;
    EXPECT_TRUE(blobstore::BlobStore(dir_ / "blobs").contains(image.hash));
  }
  // The same file twice: the same content hash, stored once.
  const std::size_t blobs = blob_count();
  EXPECT_EQ(import_ok(dir_ / "mixed.pdf").hash, mixed.hash);
  EXPECT_EQ(blob_count(), blobs);
}

TEST_F(ImportTest, ImportedEntriesLoadOncePerHashAndReachTheSavedFile) {
  testing::write_pdf(dir_ / "extra.pdf", pages_of({{612, 792, {"Extra one"}}, {500, 700, {"Extra two"}}}));
  testing::write_bytes(dir_ / "red.png", testing::make_png(1200, 800, {220, 30, 30}));
  const PagesImported pdf = import_ok(dir_ / "extra.pdf");
  const PagesImported png = import_ok(dir_ / "red.png");

  auto entry = [](std::string id, const PagesImported& from, std::uint64_t page) {
    const PageSize size = from.page_sizes[page - 1];
    return PlanEntry{std::move(id), page,
                     PlanImport{from.hash, from.kind, page, points_to_milli(size.width), points_to_milli(size.height)}};
  };
  const std::vector<PlanEntry> plan = {PlanEntry{"source-1", 1, std::nullopt}, entry("import-a", pdf, 2),
                                       entry("import-b", png, 1), entry("import-c", pdf, 1),
                                       PlanEntry{"source-3", 3, std::nullopt}};
  ApplyPagePlan apply{kDocument, plan};
  SourceReply applied = run_apply_plan(*state_, kClient, apply);
  ASSERT_TRUE(std::holds_alternative<PagePlanApplied>(applied)) << std::get<PagePlanFailed>(applied).message;
  EXPECT_EQ(std::get<PagePlanApplied>(applied).page_sizes,
            (std::vector<PageSize>{{612, 792}, {500, 700}, {612, 408}, {612, 792}, {612, 792}}));
  EXPECT_EQ(doc().sources.size(), 3u);  // opened PDF, extra.pdf once, the image
  ApplyPagePlan again{kDocument, plan};
  ASSERT_TRUE(std::holds_alternative<PagePlanApplied>(run_apply_plan(*state_, kClient, again)));
  EXPECT_EQ(doc().sources.size(), 3u);

  SaveRequest save{std::make_shared<const ReviewSnapshot>(), dir_ / "with-imports.pdf", 1, kDocument};
  SourceReply prepared = run_prepare_save(*state_, kClient, PrepareSave{save});
  ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepared)) << std::get<SaveFailed>(prepared).message;
  ASSERT_TRUE(std::holds_alternative<SaveCommitted>(
      run_commit_save(*state_, kClient, CommitSave{save, std::get<SavePrepared>(prepared).private_file})));
  const auto out = dir_ / "with-imports.pdf";
  EXPECT_TRUE(testing::qpdf_check_ok(out));
  ASSERT_EQ(testing::qpdf_page_count(out), 5);
  const char* texts[] = {"Page 1", "Extra two", nullptr, "Extra one", "Page 3"};
  for (int page = 1; page <= 5; ++page) {
    if (texts[page - 1] == nullptr) continue;
    EXPECT_NE(testing::pdf_text(out, page).find(texts[page - 1]), std::string::npos) << page;
  }
  const testing::Raster image = testing::render_page(out, 3);
  EXPECT_EQ(image.width, 612);
  EXPECT_EQ(image.height, 408);
  EXPECT_TRUE(testing::near(image.at(306, 204), {220, 30, 30}, 6));
  EXPECT_TRUE(testing::near(image.at(2, 405), {220, 30, 30}, 6));
}

TEST_F(ImportTest, ContentMissingOrDamagedStaysAwaitingUntilItArrives) {
  const auto bytes = testing::make_png(10, 10, {0, 200, 0});
  const std::string hash = blobstore::hash_of(bytes);
  const std::vector<PlanEntry> plan = {PlanEntry{"source-1", 1, std::nullopt},
                                       PlanEntry{"import-g", 1, PlanImport{hash, "image", 1, 612000, 612000}}};
  ApplyPagePlan first{kDocument, plan};
  SourceReply missing = run_apply_plan(*state_, kClient, first);
  ASSERT_TRUE(std::holds_alternative<PagePlanApplied>(missing));
  EXPECT_EQ(std::get<PagePlanApplied>(missing).page_sizes[1], (PageSize{612, 612}));  // the recorded size
  EXPECT_FALSE(doc().plan[1].has_value());

  // Damaged bytes under the hash are not trusted.
  blobstore::BlobStore store(dir_ / "blobs");
  std::filesystem::create_directories(store.path_of(hash).parent_path());
  testing::write_text_file(store.path_of(hash), "not the image");
  ApplyPagePlan damaged{kDocument, plan};
  ASSERT_TRUE(std::holds_alternative<PagePlanApplied>(run_apply_plan(*state_, kClient, damaged)));
  EXPECT_FALSE(doc().plan[1].has_value());

  std::filesystem::remove(store.path_of(hash));
  ASSERT_TRUE(store.put(bytes));
  ApplyPagePlan arrived{kDocument, plan};
  ASSERT_TRUE(std::holds_alternative<PagePlanApplied>(run_apply_plan(*state_, kClient, arrived)));
  ASSERT_TRUE(doc().plan[1].has_value());
  EXPECT_EQ(doc().plan[1]->source, 1u);

  // A plain entry beyond the opened PDF rejects the plan and keeps the previous one.
  ApplyPagePlan bad{kDocument, {PlanEntry{"source-9", 9, std::nullopt}}};
  SourceReply rejected = run_apply_plan(*state_, kClient, bad);
  ASSERT_TRUE(std::holds_alternative<PagePlanFailed>(rejected));
  EXPECT_EQ(std::get<PagePlanFailed>(rejected).message,
            "the shared page plan needs source bytes unavailable on this device");
  EXPECT_EQ(doc().plan.size(), 2u);
}

TEST_F(ImportTest, ImagePageDocumentCoversTheWholePage) {
  auto made = make_image_page_document(pdfium(), testing::make_jpeg(40, 4000, {0, 0, 0}));
  ASSERT_TRUE(made) << made.error().message;
  const PdfiumApi& api = pdfium().api();
  FS_SIZEF size{};
  ASSERT_TRUE(api.FPDF_GetPageSizeByIndexF(made->get(), 0, &size));
  EXPECT_FLOAT_EQ(size.width, 612);
  EXPECT_FLOAT_EQ(size.height, 3000);  // clamped, the image stretched to fit
  auto bad = make_image_page_document(pdfium(), testing::png_declaring(60000, 60000));
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message.rfind("decoding the image: ", 0), 0u);
}

}  // namespace
}  // namespace pdf::source
