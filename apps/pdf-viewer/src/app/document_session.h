#pragma once
// The document on screen and everything that describes it: the opened
// document, its page plan and what the worker was told of it, the rasters and
// text layers of its pages, the search results, the review model read from
// its shared record, the selection, and the record binding. A new document
// replaces the whole session (PdfApp::install_document), so nothing of the
// previous one can leak into it. View state (zoom, panels, tool, the search
// query) lives apart, in PdfApp. UI thread only.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "actions/review_model.h"
#include "actions/viewer_action.h"
#include "app/raster_cache.h"
#include "docstore/document.h"
#include "source/document.h"
#include "source/page_image.h"
#include "source/source_protocol.h"
#include "source/text_match.h"
#include "velyn_ui/records/record.h"

namespace pdf_app {

struct OpenDocumentState {
  pdf::source::Document document;
  std::optional<pdf::source::RasterDocumentId> raster_document;  // absent: text only
  std::string path;
  std::string file_name;
  std::uint64_t source_page_count = 0;  // pages of the opened file
};

// Content hash → whether this device's content store holds it.
using ContentStates = std::map<std::string, bool>;

class DocumentSession {
 public:
  // Document
  std::optional<OpenDocumentState> doc;
  bool document_loaded = false;
  double page_width = pdf::source::kDefaultPageSize.width;  // uniform page slot, points
  double page_height = pdf::source::kDefaultPageSize.height;

  // Page plan: the displayed sequence and what the worker was told
  std::vector<pdf_actions::PagePlanEntry> plan;
  std::vector<std::uint64_t> page_sources;  // text only: the file's page shown at each position
  std::optional<std::vector<pdf::source::PlanEntry>> pending_plan;
  std::optional<std::vector<pdf::source::PlanEntry>> applied_plan;
  bool plan_changed = false;

  // Rasters
  RasterCache rasters;
  bool missing_visible_raster = false;

  // Page text: layers by page number (from 1), kept only while a text
  // selection or search results need them, and the page indices (from 0)
  // whose ReadPageText is outstanding.
  std::unordered_map<std::uint64_t, pdf::source::SharedTextLayer> page_texts;
  std::set<std::uint64_t> text_requested;
  // Set by the tools while a text selection is shown or being made.
  bool selecting_text = false;
  // Matches of the current search on PDFium pages (the search bar fills them).
  std::vector<pdf::source::PageMatch> search_matches;

  // Review model, read back from the shared document when its heads change
  pdf_actions::ReviewModel review;
  std::optional<std::vector<docstore::ChangeHash>> review_heads;

  // Annotations selected on the canvas.
  std::vector<std::string> selected_annotations;

  // Record binding
  std::optional<velyn_ui::record::Record> record;
  bool waiting_for_record = false;

 protected:
  // Kept by the frame's read path alone (frame_cycle.cpp).
  // Whether the content of each imported hash was on this device when the
  // plan was last sent: content that arrives later makes the plan go again,
  // so the worker loads it and the page renders and saves.
  ContentStates sent_content_states;
  // The worker's form of the displayed sequence, the availability of its
  // imported content, and whether it still has to be weighed for sending.
  std::vector<pdf::source::PlanEntry> worker_plan;
  ContentStates worker_content;
  bool worker_plan_unsent = false;
  double last_content_check = 0;  // frame clock
  // The earliest time (frame clock) a failed raster shown now may be asked for again.
  std::optional<double> render_retry_at;
  // The shared document as last read: which one, and how many changes it
  // held. The plan and the review are read again only when these move.
  const docstore::Document* read_document = nullptr;
  std::size_t read_change_count = 0;
};

}  // namespace pdf_app
