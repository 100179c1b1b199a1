#pragma once
// Going to a page by its number: a field that takes the page bubble's label
// ("Page [12] of 2415") while it is open. A press on the bubble's label or
// Ctrl+G opens it with the current page selected; Enter goes to the typed
// page (clamped to the document), Escape or a press elsewhere cancels.
// UI thread only.
#include <cstdint>
#include <optional>
#include <string_view>

#include "velyn_ui/event.h"
#include "velyn_ui/widget.h"
#include "velyn_ui/widget/text_input.h"

namespace pdf_app {

struct PdfApp;

// Longest page number the field takes: the page limit has four digits.
inline constexpr std::size_t kPageJumpMaxBytes = 6;

struct PageJumpState {
  std::optional<velyn_ui::widget::TextInput> field;  // open while present
};

// The page a typed text names, clamped to 1…page_count; none when it is not a
// whole number (surrounding spaces are allowed) or the document has no pages.
std::optional<std::uint64_t> parse_page_number(std::string_view text, std::uint64_t page_count);

void open_page_jump(PdfApp& app);
void close_page_jump(PdfApp& app);
// Keys, text and presses while the field is open; Handled::No when the event
// is not the field's (a press elsewhere closes the field and is not consumed).
velyn_ui::Handled page_jump_event(PdfApp& app, const velyn_ui::Event& event, double now);

}  // namespace pdf_app
