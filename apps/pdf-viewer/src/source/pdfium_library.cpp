#include "source/pdfium_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>

#include "velyn/utf8.h"

namespace pdf::source {
namespace {

std::optional<std::string> utf8_env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || !velyn::is_valid_utf8(value)) return std::nullopt;
  return std::string(value);
}

bool path_exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;  // follows symbolic links
}

}  // namespace

Pdfium::Pdfium(void* handle, PdfiumApi api, std::string path)
    : handle_(handle), api_(api), path_(std::move(path)) {}

// Only instances that lost discovery or were never published are destroyed;
// an initialised one would need FPDF_DestroyLibrary first, so it stays loaded.
Pdfium::~Pdfium() {
  if (handle_ != nullptr && !initialised_) ::dlclose(handle_);
}

std::unique_ptr<Pdfium> Pdfium::bind(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  PdfiumApi api;
  bool complete = true;
#define VELYN_PDFIUM_BIND(name, ret, params)                                    \
  api.name = reinterpret_cast<ret(*) params>(::dlsym(handle, #name));           \
  complete = complete && api.name != nullptr;
  VELYN_PDFIUM_ENTRY_POINTS(VELYN_PDFIUM_BIND)
#undef VELYN_PDFIUM_BIND
  if (!complete) {
    ::dlclose(handle);
    return nullptr;
  }
  return std::unique_ptr<Pdfium>(new Pdfium(handle, api, path));
}

void Pdfium::initialise() {
  if (initialised_) return;
  api_.FPDF_InitLibrary();
  initialised_ = true;
}

PdfiumEnvironment read_pdfium_environment() {
  PdfiumEnvironment env;
  env.pdfium_lib = utf8_env("VELYN_PDFIUM_LIB");
  env.home = utf8_env("HOME");
  return env;
}

std::vector<std::string> pdfium_fixed_candidates(const PdfiumEnvironment& env) {
  std::vector<std::string> candidates = {
      "/usr/lib64/libpdfium.so",
      "/usr/lib/libpdfium.so",
      "/usr/lib/x86_64-linux-gnu/libpdfium.so",
      "/app/lib/libpdfium.so",
  };
  if (env.home) candidates.push_back(*env.home + "/.local/lib/pdfium/libpdfium.so");
  return candidates;
}

std::unique_ptr<Pdfium> discover_pdfium(const PdfiumEnvironment& env) {
  if (env.pdfium_lib && !env.pdfium_lib->empty()) {
    if (auto bound = Pdfium::bind(*env.pdfium_lib)) return bound;
  }
  for (const std::string& candidate : pdfium_fixed_candidates(env)) {
    if (!path_exists(candidate)) continue;
    if (auto bound = Pdfium::bind(candidate)) return bound;
  }
  return Pdfium::bind(std::string("lib") + "pdfium" + ".so");
}

const Pdfium* shared_pdfium() {
  static std::once_flag once;
  static Pdfium* instance = nullptr;  // never destroyed: PDFium lives until exit
  std::call_once(once, [] {
    std::unique_ptr<Pdfium> found = discover_pdfium(read_pdfium_environment());
    if (!found) return;
    found->initialise();
    instance = found.release();
  });
  return instance;
}

}  // namespace pdf::source
