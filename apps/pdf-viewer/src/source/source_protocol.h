#pragma once
// Requests to and replies from the "pdf-source" worker. Plain values only: the
// worker's PDFium objects never appear here. Variant order is the order of the
// discriminants of each kind.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "source/document.h"
#include "source/page_image.h"

namespace pdf::source {

using ClientId = std::uint64_t;
using RequestId = std::uint64_t;
using RasterDocumentId = std::uint64_t;  // the request id of the OpenDocument that produced it

// ---- page plan as the worker receives it -----------------------------------

struct PlanImport {
  std::string hash;  // 64 hex digits, content blob
  std::string kind;  // "pdf" or "image"
  std::uint64_t page = 1;
  std::uint32_t width_milli = 0;
  std::uint32_t height_milli = 0;

  friend bool operator==(const PlanImport&, const PlanImport&) = default;
};

struct PlanEntry {
  std::string id;
  std::uint64_t source_page = 1;  // page of the opened PDF, from 1
  std::optional<PlanImport> imported;

  friend bool operator==(const PlanEntry&, const PlanEntry&) = default;
};

// ---- saves -------------------------------------------------------------------

// The review lists a save carries (source/review_snapshot.h).
struct ReviewSnapshot;

struct SaveRequest {
  std::shared_ptr<const ReviewSnapshot> review;  // copies of annotations, comments, signatures
  std::filesystem::path destination;
  std::uint64_t save_id = 0;        // from next_request_id
  RasterDocumentId document = 0;    // the raster document shown
};

// ---- requests ---------------------------------------------------------------

struct OpenDocument {
  std::filesystem::path path;
  RequestId request_id = 0;
};
struct ActivateRasterDocument {
  RasterDocumentId document = 0;
};
struct ReleaseRasterDocument {
  RasterDocumentId document = 0;
};
struct RenderPage {
  RasterDocumentId document = 0;
  std::uint64_t page_index = 0;  // 0-based position in the resolved plan
  std::uint32_t width = 0;       // snapped on submission
};
struct ReadPageText {
  RasterDocumentId document = 0;
  std::uint64_t page_index = 0;
};
struct ApplyPagePlan {
  RasterDocumentId document = 0;
  std::vector<PlanEntry> plan;
};
struct PrepareSave {
  SaveRequest save;
};
struct ImportFile {
  RasterDocumentId document = 0;
  RequestId request_id = 0;
  std::filesystem::path path;
  std::uint64_t current_page = 0;         // from 1; 0 when there is none
  std::optional<std::string> anchor_id;   // plan entry at the current page
};
struct CommitSave {
  SaveRequest save;
  std::filesystem::path private_file;  // from SavePrepared
};
struct CancelSave {
  SaveRequest save;
};
struct Close {};

using SourceRequest = std::variant<OpenDocument, ActivateRasterDocument, ReleaseRasterDocument, RenderPage,
                                   ReadPageText, ApplyPagePlan, PrepareSave, ImportFile, CommitSave, CancelSave, Close>;

// ---- replies ----------------------------------------------------------------

// What the interface receives of an opened document.
struct OpenedDocument {
  Document document;
  std::string file_name;
  // PDFium path only: the raster document id (the open's request id) and the
  // size of every page of the resolved plan. Text-only: none and empty.
  std::optional<RasterDocumentId> raster_document;
  std::vector<PageSize> page_sizes;
};

struct Opened {
  RequestId request_id = 0;
  OpenedDocument opened;
};
struct OpenFailed {
  RequestId request_id = 0;
  std::string message;
};
struct OpenSuperseded {
  RequestId request_id = 0;
};
struct PageRendered {
  RasterDocumentId document = 0;
  std::uint64_t page_index = 0;
  std::uint32_t width = 0;     // snapped requested width
  std::optional<Image> image;  // nothing when the page could not be rendered
};
struct PageTextRead {
  RasterDocumentId document = 0;
  std::uint64_t page_index = 0;
  SharedTextLayer layer;
};
struct PageRenderFailed {
  RasterDocumentId document = 0;
  std::uint64_t page_index = 0;
  std::uint32_t width = 0;
  std::string message;
};
struct PageTextFailed {
  RasterDocumentId document = 0;
  std::uint64_t page_index = 0;
  std::string message;
};
struct PagePlanApplied {
  RasterDocumentId document = 0;
  std::vector<PlanEntry> plan;          // exactly as received
  std::vector<PageSize> page_sizes;     // one per plan entry
};
struct PagePlanFailed {
  RasterDocumentId document = 0;
  std::string message;
};
struct PagesImported {
  RequestId request_id = 0;
  std::string hash;
  std::string kind;  // "pdf" or "image"
  std::vector<PageSize> page_sizes;
};
struct ImportFailed {
  RequestId request_id = 0;
  std::string message;
};
struct SavePrepared {
  std::uint64_t save_id = 0;
  RasterDocumentId document = 0;
  std::filesystem::path destination;
  std::filesystem::path private_file;
};
struct SaveCommitted {
  std::uint64_t save_id = 0;
  std::filesystem::path destination;
};
struct SaveFailed {
  std::uint64_t save_id = 0;
  std::string message;
};

using SourceReply = std::variant<Opened, OpenFailed, OpenSuperseded, PageRendered, PageTextRead, PageRenderFailed,
                                 PageTextFailed, PagePlanApplied, PagePlanFailed, PagesImported, ImportFailed,
                                 SavePrepared, SaveCommitted, SaveFailed>;

// Large replies (page images, text layers and their failures) travel through
// the bounded result queue; the rest are ordinary.
bool is_large_reply(const SourceReply& reply);

// Memory cost for the result budget: an image's width * height * 4
// (saturating), a text layer's 48 bytes per box plus its text; failures 0.
std::uint64_t reply_cost(const SourceReply& reply);

// ---- submission errors -------------------------------------------------------

struct SourceWorkerError {
  enum class Kind : std::uint8_t { Stopped, QueueFull, ExhaustedIds, Unavailable };
  Kind kind = Kind::Stopped;
  std::string reason;  // Unavailable only

  std::string message() const;
  friend bool operator==(const SourceWorkerError&, const SourceWorkerError&) = default;
};

// Failure texts shared by the jobs.
inline constexpr const char* kInactiveDocumentText = "the requested raster document is no longer active";
inline constexpr const char* kImageTooLargeText = "the rendered page exceeds the UI result memory limit";
inline constexpr const char* kTextTooLargeText = "the extracted text layer exceeds the UI result memory limit";

}  // namespace pdf::source
