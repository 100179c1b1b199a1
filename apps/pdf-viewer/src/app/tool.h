#pragma once
// The markup tools, in toolbar order (ids 0 to 4).
#include <array>
#include <cstdint>
#include <string_view>

namespace pdf_app {

enum class Tool : std::uint8_t { Select, Highlight, Draw, Note, Sign };

inline constexpr std::array<Tool, 5> kTools = {Tool::Select, Tool::Highlight, Tool::Draw, Tool::Note, Tool::Sign};
inline constexpr std::array<std::string_view, 5> kToolNames = {"Select", "Highlight", "Draw", "Note", "Sign"};

constexpr std::string_view tool_name(Tool t) { return kToolNames[static_cast<std::size_t>(t)]; }
// Tools that paint in the current swatch colour.
constexpr bool tool_uses_swatch(Tool t) { return t == Tool::Highlight || t == Tool::Draw || t == Tool::Note; }

}  // namespace pdf_app
