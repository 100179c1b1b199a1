#include "app/page_jump.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "app/executor.h"
#include "app/pdf_app.h"

namespace pdf_app {

std::optional<std::uint64_t> parse_page_number(std::string_view text, std::uint64_t page_count) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || page_count == 0) return std::nullopt;
  std::uint64_t n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  // Past 64 bits it is still a number, and beyond the last page.
  if (error == std::errc::result_out_of_range) return page_count;
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return std::clamp<std::uint64_t>(n, 1, page_count);
}

void open_page_jump(PdfApp& app) {
  if (!app.document_loaded || app.page_count() == 0) return;
  velyn_ui::widget::TextInput field(velyn_ui::widget::TextInputMode::SingleLine, kPageJumpMaxBytes);
  field.set_text(std::to_string(app.current_page));
  field.select_all();
  field.set_focused(true);
  (void)field.take_dirty();
  // One field has the keyboard: the search field and the sidebar's editor give it up.
  app.search.field.set_focused(false);
  if (app.sidebar.editor) app.sidebar.editor->input.set_focused(false);
  app.page_jump.field = std::move(field);
  app.page_bubble_pinned = true;
  app.redraw_requested = true;
}

void close_page_jump(PdfApp& app) {
  if (!app.page_jump.field) return;
  app.page_jump.field.reset();
  app.page_bubble_pinned = false;
  app.redraw_requested = true;
}

velyn_ui::Handled page_jump_event(PdfApp& app, const velyn_ui::Event& event, double now) {
  using velyn_ui::Handled;
  auto& field = app.page_jump.field;
  if (!field) return Handled::No;
  if (const auto* press = std::get_if<velyn_ui::PointerPress>(&event)) {
    if (field->rect().contains(press->at)) {
      field->handle_event(event, now);
      app.redraw_requested = true;
      return Handled::Yes;
    }
    close_page_jump(app);
    return Handled::No;
  }
  if (std::holds_alternative<velyn_ui::PointerMove>(event) || std::holds_alternative<velyn_ui::PointerRelease>(event)) {
    field->handle_event(event, now);  // a drag selecting digits
    return Handled::No;
  }
  const bool keyboard = std::holds_alternative<velyn_ui::KeyPress>(event) ||
                        std::holds_alternative<velyn_ui::TextCommit>(event) ||
                        std::holds_alternative<velyn_ui::TextPreedit>(event);
  if (!keyboard) return Handled::No;
  using velyn_ui::widget::TextInputResponse;
  const TextInputResponse response = field->handle_event(event, now);
  app.redraw_requested = true;
  if (response == TextInputResponse::Cancel) {
    close_page_jump(app);
  } else if (response == TextInputResponse::Submit) {
    // A text that names no page leaves the field open to be corrected.
    if (const auto page = parse_page_number(field->text(), app.page_count())) {
      close_page_jump(app);
      execute(app, pdf_actions::PdfOperation::GoToPage{*page});
    }
  }
  return velyn_ui::widget::focused_field_answer(response, event);
}

}  // namespace pdf_app
