#pragma once
// What platform-wide search calls on an application: plain search plus the
// catalogue's own operations. The catalogue provider answers from a
// SearchCatalog with the plain search capped at kPlainSearchLimit.
#include <optional>
#include <string_view>
#include <vector>

#include "velyn_ui/search/search_catalog.h"

namespace velyn_ui::search::provider {

class SearchProvider {
 public:
  virtual ~SearchProvider() = default;
  virtual velyn::Result<std::vector<SearchHit>> search(std::string_view query) = 0;
  virtual velyn::Result<std::vector<SearchHit>> search_limited(std::string_view query, std::size_t limit) = 0;
  virtual velyn::Result<SearchPage> query_page(std::string_view query, const std::optional<SearchCursor>& cursor,
                                               std::size_t page_size) = 0;
  virtual velyn::Result<CatalogStats> stats() = 0;
  virtual bool cursor_is_current(const SearchCursor& cursor) = 0;
};

class CatalogSearchProvider final : public SearchProvider {
 public:
  static constexpr std::size_t kPlainSearchLimit = 256;

  // The catalogue must outlive the provider.
  explicit CatalogSearchProvider(SearchCatalog& catalog) : catalog_(catalog) {}

  velyn::Result<std::vector<SearchHit>> search(std::string_view query) override {
    return catalog_.search_limited(query, kPlainSearchLimit);
  }
  velyn::Result<std::vector<SearchHit>> search_limited(std::string_view query, std::size_t limit) override {
    return catalog_.search_limited(query, limit);
  }
  velyn::Result<SearchPage> query_page(std::string_view query, const std::optional<SearchCursor>& cursor,
                                       std::size_t page_size) override {
    return catalog_.query_page(query, cursor, page_size);
  }
  velyn::Result<CatalogStats> stats() override { return catalog_.stats(); }
  bool cursor_is_current(const SearchCursor& cursor) override { return catalog_.cursor_is_current(cursor); }

 private:
  SearchCatalog& catalog_;
};

}  // namespace velyn_ui::search::provider
