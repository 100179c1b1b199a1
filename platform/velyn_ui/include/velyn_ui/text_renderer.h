#pragma once
// Text drawing and measuring over Pango, with a layout cache keyed by
// (text, size, weight, wrap width, alignment) so a steady frame shapes nothing.
// UI thread only.
#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "velyn_ui/color.h"
#include "velyn_ui/geometry.h"

typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;

namespace velyn_ui {

class Scene;

enum class TextAlign { Left, Center, Right };

// Weights as the interface names them: 0 regular, 1 medium, 2 semibold, 3 bold.
constexpr int kWeightRegular = 0;
constexpr int kWeightMedium = 1;
constexpr int kWeightSemibold = 2;
constexpr int kWeightBold = 3;

// The toolkit's one Pango set-up. Every text that is measured or drawn (the
// renderer's, a text field's) is laid out in a context from here and styled by
// set_layout_style, so the same text measures the same wherever it is laid
// out. The caller owns the returned reference (g_object_unref).
PangoContext* create_text_context();
// Face, size in pixels (at least 1), weight, and wrapping at word boundaries
// (then characters) within `wrap_width`; none means one unwrapped line.
void set_layout_style(PangoLayout* layout, const std::string& face, double px, int weight,
                      std::optional<double> wrap_width);

struct TextMetrics {
  double width = 0;     // logical width of the widest line
  double height = 0;    // logical height of all lines
  double baseline = 0;  // first baseline, from the top
  int lines = 0;
};

class TextRenderer {
 public:
  explicit TextRenderer(std::string face = "Inter");
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // Multiplies every size given below (the user's text zoom).
  void set_text_scale(double scale);
  double text_scale() const { return scale_; }
  const std::string& face() const { return face_; }

  // Sizes are in logical pixels before the text scale. A wrap width wraps at
  // word boundaries (then characters) and aligns lines within that width.
  TextMetrics measure(std::string_view text, double size, int weight = kWeightRegular,
                      std::optional<double> wrap_width = std::nullopt, TextAlign align = TextAlign::Left);

  // (x, y) is the top-left of the text's logical box.
  TextMetrics draw_text(Scene& scene, std::string_view text, Point at, double size, Color color);
  TextMetrics draw_text_weighted(Scene& scene, std::string_view text, Point at, double size, int weight,
                                 Color color);
  // Wrapped into `width` starting at `at`, lines aligned by `align`.
  // The box of each character of `text` laid out as draw_wrapped lays it out
  // left-aligned at `width`, relative to the layout's top-left, in text order;
  // `byte` is the character's offset in `text`.
  struct CharBox {
    std::size_t byte = 0;
    Rect box;
  };
  std::vector<CharBox> char_boxes(std::string_view text, double size, int weight, double width);
  TextMetrics draw_wrapped(Scene& scene, std::string_view text, Point at, double width, double size, int weight,
                           Color color, TextAlign align);

  // Number of cached layouts (for tests of the cache bound).
  std::size_t cached_layouts() const { return cache_.size(); }
  static constexpr std::size_t kLayoutCacheEntries = 1024;

 private:
  struct Entry {
    PangoLayout* layout;
    TextMetrics metrics;
    std::list<std::string>::iterator lru;
  };
  Entry& layout_for(std::string_view text, double size, int weight, std::optional<double> wrap_width,
                    TextAlign align);
  TextMetrics draw(Scene& scene, Entry& entry, Point at, Color color);

  std::string face_;
  double scale_ = 1.0;
  PangoContext* context_ = nullptr;
  std::unordered_map<std::string, Entry> cache_;
  std::list<std::string> lru_;  // front = most recently used
};

}  // namespace velyn_ui
