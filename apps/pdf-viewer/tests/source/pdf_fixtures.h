#pragma once
// Test fixtures generated on the spot: PDFs written with cairo's PDF surface,
// encrypted copies made with qpdf, sparse files for size limits, and a
// temporary home so tests never touch the user's data.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pdf::source::testing {

struct FixturePage {
  double width = 612;
  double height = 792;
  std::vector<std::string> lines;  // drawn top to bottom
};

struct FixtureOutline {
  std::string title;
  int page = 1;        // from 1; 0: no destination
  int parent = -1;     // index of the parent entry, -1 for the top level
};

struct FixtureSpec {
  std::vector<FixturePage> pages;
  std::optional<std::string> title;
  std::optional<std::string> author;
  std::optional<std::string> subject;
  std::vector<FixtureOutline> outline;
};

void write_pdf(const std::filesystem::path& path, const FixtureSpec& spec);
// `count` pages of 612 x 792, page n showing "Page n".
void write_numbered_pdf(const std::filesystem::path& path, int count);
// qpdf --encrypt with the given user password (may be empty); true on success.
bool encrypt_pdf(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& user_password);
void write_sparse_file(const std::filesystem::path& path, std::uint64_t size);
void write_text_file(const std::filesystem::path& path, const std::string& text);

// A fresh directory under the system temp dir, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Points HOME and XDG_DATA_HOME at a private temp dir for the whole test binary.
void isolate_home();

}  // namespace pdf::source::testing
