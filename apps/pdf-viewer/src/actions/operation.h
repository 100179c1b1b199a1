#pragma once
// Navigation and file commands that automation can address. Each travels as the
// kind "pdf_viewer.operation" plus its JSON text (action_json.h); what an
// operation does is the viewer's business, not this module's.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace pdf_actions {

inline constexpr std::string_view kOperationKind = "pdf_viewer.operation";

// The alternatives live in their own namespace so that they are complete
// types before the variant that holds them is declared.
namespace operation {
struct PreviousPage { friend bool operator==(const PreviousPage&, const PreviousPage&) = default; };
struct NextPage { friend bool operator==(const NextPage&, const NextPage&) = default; };
struct ZoomIn { friend bool operator==(const ZoomIn&, const ZoomIn&) = default; };
struct ZoomOut { friend bool operator==(const ZoomOut&, const ZoomOut&) = default; };
struct FitPage { friend bool operator==(const FitPage&, const FitPage&) = default; };
struct FitWidth { friend bool operator==(const FitWidth&, const FitWidth&) = default; };
struct ToggleSidebar { friend bool operator==(const ToggleSidebar&, const ToggleSidebar&) = default; };
struct ToggleRail { friend bool operator==(const ToggleRail&, const ToggleRail&) = default; };
struct OpenSearch { friend bool operator==(const OpenSearch&, const OpenSearch&) = default; };
struct GoToPage {
  std::uint64_t page = 1;
  friend bool operator==(const GoToPage&, const GoToPage&) = default;
};
struct GoToSearchResult {
  std::string query;
  bool whole_word = false;
  bool case_sensitive = false;
  std::uint64_t index = 0;
  std::uint64_t page = 1;
  friend bool operator==(const GoToSearchResult&, const GoToSearchResult&) = default;
};
struct Open {
  std::optional<std::string> path;  // absent: ask the user with a picker
  friend bool operator==(const Open&, const Open&) = default;
};
struct SaveAs {
  std::optional<std::string> path;  // absent: ask the user with a picker
  friend bool operator==(const SaveAs&, const SaveAs&) = default;
};
}  // namespace operation

struct PdfOperation {
  using PreviousPage = operation::PreviousPage;
  using NextPage = operation::NextPage;
  using ZoomIn = operation::ZoomIn;
  using ZoomOut = operation::ZoomOut;
  using FitPage = operation::FitPage;
  using FitWidth = operation::FitWidth;
  using ToggleSidebar = operation::ToggleSidebar;
  using ToggleRail = operation::ToggleRail;
  using OpenSearch = operation::OpenSearch;
  using GoToPage = operation::GoToPage;
  using GoToSearchResult = operation::GoToSearchResult;
  using Open = operation::Open;
  using SaveAs = operation::SaveAs;

  using Variant = std::variant<PreviousPage, NextPage, ZoomIn, ZoomOut, FitPage, FitWidth, ToggleSidebar,
                               ToggleRail, OpenSearch, GoToPage, GoToSearchResult, Open, SaveAs>;

  Variant value;

  PdfOperation() = default;
  template <class V>
    requires std::is_constructible_v<Variant, V&&> && (!std::is_same_v<std::remove_cvref_t<V>, PdfOperation>)
  PdfOperation(V&& v) : value(std::forward<V>(v)) {}  // NOLINT: implicit by design, like the variant

  [[nodiscard]] std::string_view variant_name() const;

  friend bool operator==(const PdfOperation&, const PdfOperation&) = default;
};

inline constexpr std::size_t kOperationVariants = std::variant_size_v<PdfOperation::Variant>;
static_assert(kOperationVariants == 13);

inline constexpr std::string_view kOperationNames[kOperationVariants] = {
    "PreviousPage", "NextPage",  "ZoomIn",     "ZoomOut", "FitPage", "FitWidth", "ToggleSidebar",
    "ToggleRail",   "OpenSearch", "GoToPage", "GoToSearchResult", "Open", "SaveAs"};

inline std::string_view PdfOperation::variant_name() const { return kOperationNames[value.index()]; }

}  // namespace pdf_actions
