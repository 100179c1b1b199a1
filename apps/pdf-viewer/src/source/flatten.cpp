#include "source/flatten.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include <fmt/format.h>

#include "source/pdf_writer.h"

namespace pdf::source {

using pdf_actions::Annotation;
using pdf_actions::Comment;
using pdf_actions::Signature;

namespace {

struct Rgba {
  unsigned r, g, b, a;
};

// Swatch order: yellow, green, pink, blue, purple.
constexpr std::array<std::array<unsigned, 3>, 5> kSwatchRgb = {{
    {250, 204, 21}, {34, 197, 94}, {236, 72, 153}, {59, 130, 246}, {139, 92, 246}}};
constexpr unsigned kHighlightAlpha = 90;
constexpr unsigned kNoteMarkerAlpha = 235;
constexpr Rgba kNoteMarkerStroke{60, 60, 60, 200};
constexpr Rgba kSignatureInk{28, 33, 47, 255};
constexpr Rgba kSignatureBaseline{148, 163, 184, 255};

Rgba swatch(pdf_actions::Swatch s, unsigned alpha) {
  const auto& rgb = kSwatchRgb[std::min<std::size_t>(static_cast<std::size_t>(s), kSwatchRgb.size() - 1)];
  return {rgb[0], rgb[1], rgb[2], alpha};
}

// Trimmed of leading and trailing Unicode white space.
std::string_view trim(std::string_view text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin < end && g_unichar_isspace(g_utf8_get_char_validated(begin, end - begin))) {
    begin = g_utf8_next_char(begin);
  }
  while (end > begin) {
    const char* last = g_utf8_find_prev_char(begin, end);
    if (last == nullptr || !g_unichar_isspace(g_utf8_get_char_validated(last, end - last))) break;
    end = last;
  }
  return {begin, static_cast<std::size_t>(end - begin)};
}

// UTF-16LE with a terminating zero, as FPDFText_SetText takes it; invalid
// UTF-8 becomes U+FFFD rather than failing the save.
std::u16string to_utf16(std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  glong units = 0;
  gunichar2* wide = g_utf8_to_utf16(valid, -1, nullptr, &units, nullptr);
  g_free(valid);
  std::u16string out;
  if (wide != nullptr) out.assign(reinterpret_cast<const char16_t*>(wide), static_cast<std::size_t>(units));
  g_free(wide);
  return out;
}

struct Point {
  double x, y;
};

// Draws the markup of one output page in PDF user space (origin bottom-left).
class PageFlattener {
 public:
  PageFlattener(const PdfiumApi& api, FPDF_DOCUMENT doc, FPDF_PAGE page, double height, FPDF_FONT regular,
                FPDF_FONT oblique)
      : api_(api), doc_(doc), page_(page), height_(height), regular_(regular), oblique_(oblique) {}

  // Top-left page space to user space.
  Point map(double x, double y) const { return {x, height_ - y}; }

  velyn::Result<void> rect(double x, double y, double w, double h, Rgba fill, std::optional<Rgba> stroke,
                           double stroke_width, std::string_view step) {
    const Point a = map(x, y);
    const Point b = map(x + w, y + h);
    const double left = std::min(a.x, b.x), right = std::max(a.x, b.x);
    const double bottom = std::min(a.y, b.y), top = std::max(a.y, b.y);
    FPDF_PAGEOBJECT obj = api_.FPDFPageObj_CreateNewRect(static_cast<float>(left), static_cast<float>(bottom),
                                                         static_cast<float>(right - left),
                                                         static_cast<float>(top - bottom));
    if (obj == nullptr) return fail(step);
    bool ok = api_.FPDFPageObj_SetFillColor(obj, fill.r, fill.g, fill.b, fill.a) != 0;
    if (stroke) {
      ok = ok && api_.FPDFPageObj_SetStrokeColor(obj, stroke->r, stroke->g, stroke->b, stroke->a) != 0 &&
           api_.FPDFPageObj_SetStrokeWidth(obj, static_cast<float>(stroke_width)) != 0;
    }
    ok = ok && api_.FPDFPath_SetDrawMode(obj, kFpdfFillModeWinding, stroke ? 1 : 0) != 0;
    return insert(obj, ok, step);
  }

  // An open stroke-only path through `points` (already in page space), which
  // holds at least two points.
  velyn::Result<void> polyline(const std::vector<Point>& points, Rgba stroke, double width, std::string_view start_step,
                               std::string_view line_step, std::string_view add_step) {
    const Point first = map(points[0].x, points[0].y);
    FPDF_PAGEOBJECT obj = api_.FPDFPageObj_CreateNewPath(static_cast<float>(first.x), static_cast<float>(first.y));
    if (obj == nullptr) return fail(start_step);
    for (std::size_t i = 1; i < points.size(); ++i) {
      const Point p = map(points[i].x, points[i].y);
      if (api_.FPDFPath_LineTo(obj, static_cast<float>(p.x), static_cast<float>(p.y)) == 0) {
        api_.FPDFPageObj_Destroy(obj);
        return fail(line_step);
      }
    }
    const bool ok = api_.FPDFPageObj_SetStrokeColor(obj, stroke.r, stroke.g, stroke.b, stroke.a) != 0 &&
                    api_.FPDFPageObj_SetStrokeWidth(obj, static_cast<float>(width)) != 0 &&
                    api_.FPDFPath_SetDrawMode(obj, kFpdfFillModeNone, 1) != 0;
    return insert(obj, ok, add_step);
  }

  // One text object with its baseline starting at (x, y) in user space.
  velyn::Result<void> text(std::string_view content, bool oblique, double size, double x, double y,
                           std::string_view step) {
    FPDF_PAGEOBJECT obj = api_.FPDFPageObj_CreateTextObj(doc_, oblique ? oblique_ : regular_, static_cast<float>(size));
    if (obj == nullptr) return fail(step);
    const std::u16string wide = to_utf16(content);
    const bool ok = api_.FPDFText_SetText(obj, reinterpret_cast<FPDF_WIDESTRING>(wide.c_str())) != 0;
    if (ok) api_.FPDFPageObj_Transform(obj, 1, 0, 0, 1, x, y);
    return insert(obj, ok, step);
  }

  double height() const { return height_; }

 private:
  velyn::Result<void> fail(std::string_view step) const {
    return velyn::fail(fmt::format("{}: {}", step, pdfium_error_text(api_)));
  }
  velyn::Result<void> insert(FPDF_PAGEOBJECT obj, bool ok, std::string_view step) {
    if (!ok) {
      api_.FPDFPageObj_Destroy(obj);
      return fail(step);
    }
    api_.FPDFPage_InsertObject(page_, obj);  // the page owns it from here
    return {};
  }

  const PdfiumApi& api_;
  FPDF_DOCUMENT doc_;
  FPDF_PAGE page_;
  double height_;
  FPDF_FONT regular_;
  FPDF_FONT oblique_;
};

// Everything drawn on one output page, in list order.
struct PageMarkup {
  std::vector<const Annotation*> annotations;
  std::vector<const Signature*> signatures;
  bool empty() const { return annotations.empty() && signatures.empty(); }
};

velyn::Result<void> draw_annotation(PageFlattener& out, const Annotation& anno,
                                    const std::map<std::string_view, const Comment*>& first_comment) {
  using pdf_actions::AnnoGeom;
  if (const auto* h = std::get_if<AnnoGeom::Highlight>(&anno.geom.value)) {
    return out.rect(h->x, h->y, h->w, h->h, swatch(anno.color, kHighlightAlpha), std::nullopt, 0,
                    "flattening highlight");
  }
  if (const auto* ink = std::get_if<AnnoGeom::Ink>(&anno.geom.value)) {
    if (ink->points.size() < 2) return {};
    std::vector<Point> points;
    points.reserve(ink->points.size());
    for (const auto& p : ink->points) points.push_back({p.x, p.y});
    return out.polyline(points, swatch(anno.color, 255), kInkWidth, "starting ink path", "ink line_to",
                        "adding ink path");
  }
  const auto& note = std::get<AnnoGeom::Note>(anno.geom.value);
  if (auto marker = out.rect(note.x, note.y, kNoteMarkerSize, kNoteMarkerSize, swatch(anno.color, kNoteMarkerAlpha),
                             kNoteMarkerStroke, kNoteMarkerStrokeWidth, "flattening note marker");
      !marker) {
    return marker;
  }
  auto comment = first_comment.find(anno.id);
  if (comment == first_comment.end()) return {};
  const std::string_view body = trim(comment->second->body);
  if (body.empty()) return {};
  const Point baseline = out.map(note.x + 20, note.y + 12);
  return out.text(body, false, kNoteTextSize, baseline.x, baseline.y, "flattening note text");
}

velyn::Result<void> draw_signature(PageFlattener& out, const Signature& sig) {
  const double ix = sig.x + 0.06 * sig.w, iy = sig.y + 0.10 * sig.h;
  const double iw = 0.88 * sig.w, ih = 0.46 * sig.h;
  const std::string_view signer = trim(sig.signer);
  if (sig.strokes) {
    for (const auto& stroke : *sig.strokes) {
      if (stroke.size() < 2) continue;
      std::vector<Point> points;
      points.reserve(stroke.size());
      for (const auto& p : stroke) {
        points.push_back({ix + std::clamp(p.x, 0.0, 1.0) * iw, iy + std::clamp(p.y, 0.0, 1.0) * ih});
      }
      if (auto drawn = out.polyline(points, kSignatureInk, kSignatureStrokeWidth, "starting signature stroke",
                                    "signature line_to", "adding signature stroke");
          !drawn) {
        return drawn;
      }
    }
  } else if (!signer.empty()) {
    const Point baseline = out.map(ix, iy + 0.85 * ih);
    if (auto typed = out.text(signer, true, typed_signature_size(sig.h), baseline.x, baseline.y, "signature script");
        !typed) {
      return typed;
    }
  }
  const double line_y = sig.y + 0.62 * sig.h;
  if (auto line = out.polyline({{sig.x + 8, line_y}, {sig.x + sig.w - 8, line_y}}, kSignatureBaseline,
                               kSignatureBaselineWidth, "signature baseline", "signature baseline",
                               "signature baseline");
      !line) {
    return line;
  }
  if (!signer.empty()) {
    const Point name = out.map(sig.x + 8, line_y + 12);
    if (auto drawn = out.text(signer, true, kSignerNameSize, name.x, name.y, "signature name"); !drawn) return drawn;
  }
  const Point date = out.map(sig.x + 8, line_y + 24);
  return out.text("Signed " + sig.date, false, kSignatureDateSize, date.x, date.y, "signature date");
}

struct FontCloser {
  const PdfiumApi* api = nullptr;
  void operator()(fpdf_font_t__* font) const { api->FPDFFont_Close(font); }
};
using PdfiumFont = std::unique_ptr<fpdf_font_t__, FontCloser>;

}  // namespace

double typed_signature_size(double box_height) {
  return std::clamp(0.72 * 0.46 * box_height, kSignatureScriptMinSize, kSignatureScriptMaxSize);
}

namespace {

// Imports slots [begin, end) of the plan into `target` at positions from
// `at`, one call per run of pages from the same source, so that resources the
// run shares (fonts, images) are copied once rather than once per page.
velyn::Result<void> import_slots(const PdfiumApi& api, const WorkerDocument& doc, FPDF_DOCUMENT target,
                                 std::size_t begin, std::size_t end, std::size_t at) {
  for (std::size_t i = begin; i < end;) {
    const std::size_t source = doc.plan[i]->source;
    std::vector<int> indices;
    std::size_t j = i;
    for (; j < end && doc.plan[j]->source == source; ++j) indices.push_back(static_cast<int>(doc.plan[j]->page));
    if (api.FPDF_ImportPagesByIndex(target, doc.sources[source].rasterizer.handle(), indices.data(),
                                    static_cast<unsigned long>(indices.size()), static_cast<int>(at + i - begin)) ==
        0) {
      return velyn::fail(fmt::format("copying page {} into the output: {}", i + 1, pdfium_error_text(api)));
    }
    i = j;
  }
  return {};
}

}  // namespace

velyn::Result<void> flatten_to_file(const WorkerDocument& doc, const ReviewSnapshot& review,
                                    const std::filesystem::path& output) {
  if (doc.sources.empty()) return velyn::fail("page plan references a missing source");
  const PdfiumApi& api = doc.sources.front().rasterizer.api();

  // Every slot is checked before anything is copied or drawn.
  const std::size_t page_count = doc.plan.size();
  for (std::size_t i = 0; i < page_count; ++i) {
    if (!doc.plan[i]) return velyn::fail(fmt::format("page {} is still awaiting imported content", i + 1));
    if (doc.plan[i]->source >= doc.sources.size()) return velyn::fail("page plan references a missing source");
  }

  PdfiumDocument out(api.FPDF_CreateNewDocument(), PdfiumDocumentCloser{&api});
  if (!out) return velyn::fail("creating the output document: " + pdfium_error_text(api));

  std::vector<PageMarkup> markup(page_count);
  for (const Annotation& anno : review.annotations) {
    if (anno.page >= 1 && anno.page <= page_count) markup[anno.page - 1].annotations.push_back(&anno);
  }
  for (const Signature& sig : review.signatures) {
    if (sig.page >= 1 && sig.page <= page_count) markup[sig.page - 1].signatures.push_back(&sig);
  }
  std::map<std::string_view, const Comment*> first_comment;
  for (const Comment& comment : review.comments) {
    if (comment.anno) first_comment.try_emplace(*comment.anno, &comment);
  }
  const std::vector<PageSize> sizes = doc.plan_page_sizes();

  for (std::size_t begin = 0; begin < page_count; begin += kFlattenChunkPages) {
    const std::size_t end = std::min(page_count, begin + kFlattenChunkPages);
    const bool marked = std::any_of(markup.begin() + static_cast<std::ptrdiff_t>(begin),
                                    markup.begin() + static_cast<std::ptrdiff_t>(end),
                                    [](const PageMarkup& m) { return !m.empty(); });
    // Pages without markup go straight into the output, untouched.
    if (!marked) {
      if (auto copied = import_slots(api, doc, out.get(), begin, end, begin); !copied) return copied;
      continue;
    }
    PdfiumDocument chunk(api.FPDF_CreateNewDocument(), PdfiumDocumentCloser{&api});
    if (!chunk) return velyn::fail("creating the output document: " + pdfium_error_text(api));
    if (auto copied = import_slots(api, doc, chunk.get(), begin, end, 0); !copied) return copied;
    // Declared after the chunk so they close before it.
    PdfiumFont regular(api.FPDFText_LoadStandardFont(chunk.get(), "Helvetica"), FontCloser{&api});
    PdfiumFont oblique(api.FPDFText_LoadStandardFont(chunk.get(), "Helvetica-Oblique"), FontCloser{&api});
    if (!regular || !oblique) return velyn::fail("loading the standard fonts: " + pdfium_error_text(api));
    for (std::size_t i = begin; i < end; ++i) {
      if (markup[i].empty()) continue;  // keeps its copied content untouched
      PdfiumPage page = load_pdfium_page(api, chunk.get(), static_cast<int>(i - begin));
      if (!page) return velyn::fail(fmt::format("opening page {} to flatten: {}", i + 1, pdfium_error_text(api)));
      PageFlattener flattener(api, chunk.get(), page.get(), sizes[i].height, regular.get(), oblique.get());
      for (const Annotation* anno : markup[i].annotations) {
        if (auto drawn = draw_annotation(flattener, *anno, first_comment); !drawn) return drawn;
      }
      for (const Signature* sig : markup[i].signatures) {
        if (auto drawn = draw_signature(flattener, *sig); !drawn) return drawn;
      }
      if (api.FPDFPage_GenerateContent(page.get()) == 0) {
        return velyn::fail(fmt::format("writing the content of page {}: {}", i + 1, pdfium_error_text(api)));
      }
    }
    std::vector<int> all(end - begin);
    for (std::size_t k = 0; k < all.size(); ++k) all[k] = static_cast<int>(k);
    if (api.FPDF_ImportPagesByIndex(out.get(), chunk.get(), all.data(), static_cast<unsigned long>(all.size()),
                                    static_cast<int>(begin)) == 0) {
      return velyn::fail(fmt::format("copying page {} into the output: {}", begin + 1, pdfium_error_text(api)));
    }
  }

  if (auto saved = save_document_to_file(api, out.get(), output); !saved) {
    return velyn::fail(fmt::format("saving flattened PDF to {}: {}", output.string(), saved.error().message));
  }
  return {};
}

}  // namespace pdf::source
