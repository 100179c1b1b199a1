#pragma once
// Finding and binding the PDFium shared library at run time.
//
// States of the process-wide slot: not yet probed -> probing (first call of
// shared_pdfium(), concurrent callers wait) -> loaded | absent. Once loaded or
// absent it never changes again: the library is never unloaded, never searched
// for again, and a library installed later is not seen until restart.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "source/pdfium_api.h"

namespace pdf::source {

// A bound, initialised PDFium. Lives until process exit once published through
// shared_pdfium(); documents borrow it.
class Pdfium {
 public:
  Pdfium(const Pdfium&) = delete;
  Pdfium& operator=(const Pdfium&) = delete;
  ~Pdfium();

  const PdfiumApi& api() const { return api_; }
  const std::string& path() const { return path_; }

  // Opens `path` with dlopen(RTLD_LAZY) and binds every entry point of
  // PdfiumApi. Nothing (and no open library) when the library cannot be opened
  // or lacks any entry point. Does not initialise the library.
  static std::unique_ptr<Pdfium> bind(const std::string& path);

  // Calls FPDF_InitLibrary once for this instance.
  void initialise();

 private:
  Pdfium(void* handle, PdfiumApi api, std::string path);
  void* handle_ = nullptr;
  PdfiumApi api_;
  std::string path_;
  bool initialised_ = false;
};

// What discovery reads from the environment; tests pass their own.
struct PdfiumEnvironment {
  std::optional<std::string> pdfium_lib;  // VELYN_PDFIUM_LIB, when set and valid UTF-8
  std::optional<std::string> home;        // HOME, when set and valid UTF-8
};

PdfiumEnvironment read_pdfium_environment();

// The fixed-path candidates after VELYN_PDFIUM_LIB, in order, existence not yet
// tested; the bare loader name comes after them.
std::vector<std::string> pdfium_fixed_candidates(const PdfiumEnvironment& env);
inline constexpr const char* kPdfiumBareName = "libpdfium.so";

// The first candidate that binds, following the discovery order: the variable
// (tried without an existence test), the fixed paths that exist, then the bare
// name. Not initialised; nothing when every candidate fails. Errors are
// discarded by design: a missing PDFium is a mode, not a failure.
std::unique_ptr<Pdfium> discover_pdfium(const PdfiumEnvironment& env);

// The process-wide PDFium: discovered and initialised on the first call
// (blocking concurrent callers until done), the stored result afterwards.
// nullptr when none could be loaded. Worker thread in practice.
const Pdfium* shared_pdfium();

}  // namespace pdf::source
