// Pure pieces of the engine: width snapping, render sizing, pixel conversion,
// the render cache, text layer character rules, text-only blocks, file names,
// the bounded read and PDFium candidate order.
#include <gtest/gtest.h>

#include "pdf_fixtures.h"
#include "source/bounded_read.h"
#include "source/document.h"
#include "source/open_document.h"
#include "source/page_render.h"
#include "source/page_text.h"
#include "source/pdfium_library.h"

namespace pdf::source {
namespace {

using testing::TempDir;

TEST(SnapWidth, Table) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 96}, {10, 96}, {100, 96}, {1000, 984}, {1224, 1224}, {4095, 4080}, {4103, 4080}, {4104, 4096}, {5000, 4096}};
  for (auto [in, out] : cases) EXPECT_EQ(snap_width(in), out) << in;
}

TEST(RenderPixelWidth, AreaBoundAndLimits) {
  EXPECT_EQ(render_pixel_width({612, 792}, 1224), 1224u);
  EXPECT_EQ(render_pixel_width({612, 792}, 4096), 4080u);  // zoom 4: 4096 snaps to 4080
  EXPECT_EQ(render_pixel_width({612, 792}, 8192), 4096u);
  EXPECT_EQ(render_pixel_width({612, 100000}, 4096), 453u);
  EXPECT_EQ(render_pixel_width({1, 144000}, 4096), std::nullopt);  // max_w below 24
  EXPECT_EQ(render_pixel_width({0, 792}, 1224), std::nullopt);
  EXPECT_EQ(render_pixel_width({200000, 100}, 1224), std::nullopt);
}

TEST(BgraToRgba, ReordersChannelsAndDropsStridePadding) {
  const std::uint8_t bgra[] = {1, 2, 3, 4, 9, 9, 9, 9, 5, 6, 7, 8, 9, 9, 9, 9};  // 1x2 pixels, stride 8
  std::uint8_t rgba[8] = {};
  bgra_to_rgba(bgra, 8, 1, 2, rgba);
  const std::uint8_t expected[] = {3, 2, 1, 4, 7, 6, 5, 8};
  EXPECT_TRUE(std::equal(std::begin(rgba), std::end(rgba), std::begin(expected)));
}

Image image_of(std::uint32_t w, std::uint32_t h) {
  return Image{w, h, std::make_shared<std::vector<std::uint8_t>>(std::size_t{w} * h * 4)};
}

TEST(RenderCache, EvictsLeastRecentlyUsedWithinBudget) {
  RenderCache cache(1000);
  cache.insert({0, 0, 96}, image_of(10, 10));  // 400 bytes
  cache.insert({0, 1, 96}, image_of(10, 10));
  ASSERT_TRUE(cache.find({0, 0, 96}));          // page 0 becomes most recent
  cache.insert({0, 2, 96}, image_of(10, 10));  // evicts page 1
  EXPECT_TRUE(cache.find({0, 0, 96}));
  EXPECT_FALSE(cache.find({0, 1, 96}));
  EXPECT_TRUE(cache.find({0, 2, 96}));
  EXPECT_EQ(cache.total_bytes(), 800u);
  cache.insert({0, 2, 96}, image_of(10, 10));  // same key replaces, no growth
  EXPECT_EQ(cache.total_bytes(), 800u);
  cache.insert({0, 3, 96}, image_of(20, 20));  // 1600 bytes: larger than the budget, not cached
  EXPECT_FALSE(cache.find({0, 3, 96}));
  EXPECT_EQ(cache.size(), 2u);
}

TEST(TextLayerRules, DropsNulSurrogatesAndOutOfRangeKeepingOffsetsConsistent) {
  std::vector<RawChar> chars = {
      {'A', FS_RECTF{10, 700, 20, 690}}, {0, std::nullopt}, {0xD800, std::nullopt},
      {0x110000, std::nullopt},          {0xE9, std::nullopt}, {'B', FS_RECTF{30, 700, 25, 710}}};
  TextLayer layer = build_text_layer(chars, 792);
  EXPECT_EQ(layer.text, "A\xc3\xa9" "B");
  ASSERT_EQ(layer.boxes.size(), 3u);
  EXPECT_EQ(layer.boxes[0], (CharBox{10, 92, 10, 10, 0, 'A'}));
  EXPECT_EQ(layer.boxes[1], (CharBox{0, 0, 0, 0, 1, 0xE9}));    // no box: zeros, character kept
  EXPECT_EQ(layer.boxes[2], (CharBox{30, 92, 0, 0, 3, 'B'}));   // negative extents clamp to 0
  for (const CharBox& box : layer.boxes) EXPECT_LT(box.byte_offset, layer.text.size());
}

TEST(TextLayerRules, MoreThanTheCharacterLimitGivesAnEmptyLayer) {
  std::vector<RawChar> at_limit(kPageCharLimit, RawChar{'x', std::nullopt});
  EXPECT_EQ(build_text_layer(at_limit, 792).boxes.size(), kPageCharLimit);
  at_limit.push_back(RawChar{'y', std::nullopt});
  TextLayer over = build_text_layer(at_limit, 792);
  EXPECT_TRUE(over.text.empty());
  EXPECT_TRUE(over.boxes.empty());
}

TEST(TextOnlyBlocks, ClassifiesParagraphsTitlesAndHeadings) {
  const std::vector<std::string> pages = {
      "Word\n\nFirst line ends.\r\nSecond line too.\n\nShort heading\n",
      "Next page title\n" + std::string(70, 'x') + "\n",
      "",
  };
  Document doc = Document::from_text_pages("Stem", "", pages);
  using K = BlockKind;
  const std::vector<Block> page1 = {{K::Title, "Word", 0},     {K::Spacer, "", 6},
                                    {K::Paragraph, "First line ends. Second line too.", 0},
                                    {K::Spacer, "", 6},        {K::Heading, "Short heading", 0},
                                    {K::Spacer, "", 6}};
  EXPECT_EQ(doc.pages.at(0), page1);
  // Consecutive lines join into one paragraph; over 64 characters it is a Paragraph.
  ASSERT_EQ(doc.pages.at(1).size(), 2u);
  EXPECT_EQ(doc.pages[1][0].kind, K::Paragraph);
  EXPECT_EQ(doc.pages.at(2), (std::vector<Block>{{K::Paragraph, "", 0}}));
  EXPECT_EQ(doc.page_width, 612);
  EXPECT_EQ(Document::from_text_pages("t", "", {}).pages.size(), 1u);
}

TEST(TextOnlyBlocks, LongShortLineAfterTitleIsAParagraph) {
  auto blocks = blocks_from_page_text("Title\n\n" + std::string(50, 'y') + "\n\n" + std::string(40, 'z'));
  ASSERT_EQ(blocks.size(), 6u);
  EXPECT_EQ(blocks[0].kind, BlockKind::Title);
  EXPECT_EQ(blocks[2].kind, BlockKind::Paragraph);  // 50 > 48
  EXPECT_EQ(blocks[4].kind, BlockKind::Heading);
}

TEST(FileNames, StemAndNameFallbacks) {
  EXPECT_EQ(display_file_stem("/a/report.pdf"), "report");
  EXPECT_EQ(display_file_stem("/a/report"), "report");
  EXPECT_EQ(display_file_name("/a/report.pdf"), "report.pdf");
  EXPECT_EQ(display_file_name("/"), "Document");
  EXPECT_EQ(display_file_stem("/a/\xff.pdf"), "Document");
}

TEST(PageSizeValidity, Table) {
  EXPECT_TRUE(page_size_valid({612, 792}));
  EXPECT_TRUE(page_size_valid({144000, 13000}));
  EXPECT_FALSE(page_size_valid({144001, 10}));
  EXPECT_FALSE(page_size_valid({100000, 30000}));  // area above 2e9
  EXPECT_FALSE(page_size_valid({-1, 10}));
  EXPECT_FALSE(page_size_valid({std::numeric_limits<double>::infinity(), 10}));
}

TEST(BoundedRead, SizeLimitTextsAndMissingFile) {
  TempDir dir;
  testing::write_sparse_file(dir / "exact", kOpenSizeLimit);
  testing::write_sparse_file(dir / "over", kOpenSizeLimit + 1);
  testing::write_sparse_file(dir / "huge", 300ull * 1024 * 1024);
  auto exact = read_bounded(dir / "exact", kOpenSizeLimit);
  ASSERT_TRUE(exact.has_value());
  EXPECT_EQ(exact->size(), kOpenSizeLimit);
  EXPECT_EQ(read_bounded(dir / "over", kOpenSizeLimit).error().message,
            "file is 128 MiB; PDF Viewer opens files up to 128 MiB");
  EXPECT_EQ(read_bounded(dir / "huge", kOpenSizeLimit).error().message,
            "file is 300 MiB; PDF Viewer opens files up to 128 MiB");
  EXPECT_EQ(read_bounded(dir / "missing.pdf", kOpenSizeLimit).error().message,
            "reading " + (dir / "missing.pdf").string());
  testing::write_text_file(dir / "small", "12345");
  EXPECT_EQ(read_bounded(dir / "small", 64ull * 1024 * 1024)->size(), 5u);
}

TEST(BoundedRead, FileGrowingPastTheLimitIsCaught) {
  // /dev/zero reports length 0 but never ends: reading stops one byte past the limit.
  EXPECT_EQ(read_bounded("/dev/zero", 2 * 1024 * 1024).error().message,
            "file grew beyond the 2 MiB PDF Viewer open limit");
}

TEST(PdfiumCandidates, OrderAndHome) {
  PdfiumEnvironment env;
  const std::vector<std::string> fixed = {"/usr/lib64/libpdfium.so", "/usr/lib/libpdfium.so",
                                          "/usr/lib/x86_64-linux-gnu/libpdfium.so", "/app/lib/libpdfium.so"};
  EXPECT_EQ(pdfium_fixed_candidates(env), fixed);
  env.home = "";
  auto with_empty_home = pdfium_fixed_candidates(env);
  EXPECT_EQ(with_empty_home.back(), "/.local/lib/pdfium/libpdfium.so");
  env.home = "/home/u";
  EXPECT_EQ(pdfium_fixed_candidates(env).back(), "/home/u/.local/lib/pdfium/libpdfium.so");
  EXPECT_EQ(pdfium_fixed_candidates(env).size(), 5u);
}

TEST(PdfiumBinding, RejectsMissingFilesAndLibrariesWithoutTheEntryPoints) {
  EXPECT_EQ(Pdfium::bind("/nonexistent/libpdfium.so"), nullptr);
  EXPECT_EQ(Pdfium::bind("libm.so.6"), nullptr);  // opens, lacks every FPDF entry point
  TempDir dir;
  testing::write_text_file(dir / "libpdfium.so", "not a library");
  EXPECT_EQ(Pdfium::bind((dir / "libpdfium.so").string()), nullptr);
}

TEST(PdfiumDiscovery, FallsThroughABadVariableToTheHomeCandidate) {
  const char* real = std::getenv("VELYN_PDFIUM_LIB");
  if (real == nullptr || Pdfium::bind(real) == nullptr) GTEST_SKIP() << "PDFium not found: set VELYN_PDFIUM_LIB";
  TempDir home;
  std::filesystem::create_directories(home / ".local/lib/pdfium");
  std::filesystem::create_symlink(real, home / ".local/lib/pdfium/libpdfium.so");
  for (const char* bad : {"libm.so.6", "/nonexistent/libpdfium.so", ""}) {
    PdfiumEnvironment env{std::string(bad), home.path().string()};
    auto found = discover_pdfium(env);
    ASSERT_NE(found, nullptr) << bad;
    // Either the home candidate or a system copy earlier in the list won.
    EXPECT_NE(found->path(), bad);
  }
  PdfiumEnvironment direct{std::string(real), std::nullopt};
  EXPECT_EQ(discover_pdfium(direct)->path(), real);
}

}  // namespace
}  // namespace pdf::source
