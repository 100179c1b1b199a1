#include "pdf_fixtures.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace pdf::source::testing {

void write_pdf(const std::filesystem::path& path, const FixtureSpec& spec) {
  const FixturePage first = spec.pages.empty() ? FixturePage{} : spec.pages.front();
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), first.width, first.height);
  if (spec.title) cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, spec.title->c_str());
  if (spec.author) cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_AUTHOR, spec.author->c_str());
  if (spec.subject) cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_SUBJECT, spec.subject->c_str());
  std::vector<int> ids;
  for (const FixtureOutline& entry : spec.outline) {
    const int parent = entry.parent < 0 ? CAIRO_PDF_OUTLINE_ROOT : ids.at(static_cast<std::size_t>(entry.parent));
    const std::string link = entry.page > 0 ? "page=" + std::to_string(entry.page) : "";
    ids.push_back(cairo_pdf_surface_add_outline(surface, parent, entry.title.c_str(), link.c_str(),
                                                static_cast<cairo_pdf_outline_flags_t>(0)));
  }
  cairo_t* cr = cairo_create(surface);
  for (const FixturePage& page : spec.pages) {
    cairo_pdf_surface_set_size(surface, page.width, page.height);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 12);
    double y = 72;
    for (const std::string& line : page.lines) {
      cairo_move_to(cr, 72, y);
      cairo_show_text(cr, line.c_str());
      y += 18;
    }
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) throw std::runtime_error("cairo could not write " + path.string());
}

void write_numbered_pdf(const std::filesystem::path& path, int count) {
  FixtureSpec spec;
  for (int i = 1; i <= count; ++i) spec.pages.push_back(FixturePage{612, 792, {"Page " + std::to_string(i)}});
  write_pdf(path, spec);
}

bool encrypt_pdf(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& user_password) {
  const std::string command = "qpdf --encrypt '" + user_password + "' owner-secret 256 -- '" + in.string() + "' '" +
                              out.string() + "' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return status == 0 && std::filesystem::exists(out);
}

void write_sparse_file(const std::filesystem::path& path, std::uint64_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) throw std::runtime_error("sparse file");
  ::close(fd);
}

void write_text_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pdf-source-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void isolate_home() {
  static TempDir home;
  ::setenv("HOME", home.path().c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
}

}  // namespace pdf::source::testing
