#include "save_fixtures.h"

#include <png.h>
#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <stdexcept>

#include "source/open_document.h"

namespace pdf::source::testing {
namespace {

std::vector<std::uint8_t> solid_rgba(std::uint32_t width, std::uint32_t height, Rgb c) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = static_cast<std::uint8_t>(c.r);
    pixels[i + 1] = static_cast<std::uint8_t>(c.g);
    pixels[i + 2] = static_cast<std::uint8_t>(c.b);
    pixels[i + 3] = 255;
  }
  return pixels;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  put_be32(out, static_cast<std::uint32_t>(data.size()));
  std::vector<std::uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  put_be32(out, crc32(body.data(), body.size()));
}

}  // namespace

std::vector<std::uint8_t> make_png(std::uint32_t width, std::uint32_t height, Rgb colour) {
  const std::vector<std::uint8_t> pixels = solid_rgba(width, height, colour);
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) throw std::runtime_error("png");
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("png");
  }
  out.resize(size);
  return out;
}

std::vector<std::uint8_t> make_jpeg(std::uint32_t width, std::uint32_t height, Rgb colour) {
  const std::vector<std::uint8_t> pixels = solid_rgba(width, height, colour);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(handle, pixels.data(), static_cast<int>(width), 0, static_cast<int>(height), TJPF_RGBA,
                             &jpeg, &size, TJSAMP_444, 95, 0);
  std::vector<std::uint8_t> out;
  if (rc == 0) out.assign(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  if (rc != 0) throw std::runtime_error("jpeg");
  return out;
}

std::vector<std::uint8_t> png_declaring(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<std::uint8_t> ihdr;
  put_be32(ihdr, width);
  put_be32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
  put_chunk(out, "IHDR", ihdr);
  put_chunk(out, "IDAT", {0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  put_chunk(out, "IEND", {});
  return out;
}

void write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

CommandResult run_command(const std::string& command) {
  CommandResult result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string pdf_text(const std::filesystem::path& pdf, int page) {
  std::string range = page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
  return run_command("pdftotext -layout" + range + " '" + pdf.string() + "' -").output;
}

bool qpdf_check_ok(const std::filesystem::path& pdf, std::string* report) {
  CommandResult r = run_command("qpdf --check '" + pdf.string() + "'");
  if (report) *report = r.output;
  // 0: clean; 3: warnings only.
  return (r.status == 0 || r.status == 3) && r.output.find("ERROR") == std::string::npos;
}

int qpdf_page_count(const std::filesystem::path& pdf) {
  CommandResult r = run_command("qpdf --show-npages '" + pdf.string() + "'");
  return r.status == 0 ? std::atoi(r.output.c_str()) : -1;
}

Rgb Raster::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

Raster render_page(const std::filesystem::path& pdf, int page) {
  const std::string p = std::to_string(page);
  const std::string root = pdf.string() + ".page" + p;
  run_command("pdftoppm -r 72 -f " + p + " -l " + p + " -singlefile '" + pdf.string() + "' '" + root + "'");
  Raster raster;
  std::ifstream in(root + ".ppm", std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> raster.width >> raster.height >> maxval;
  in.get();
  if (magic != "P6" || raster.width <= 0 || raster.height <= 0) return {};
  raster.rgb.resize(static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.height) * 3);
  in.read(reinterpret_cast<char*>(raster.rgb.data()), static_cast<std::streamsize>(raster.rgb.size()));
  std::filesystem::remove(root + ".ppm");
  return raster;
}

bool near(Rgb a, Rgb e, int tolerance) {
  return std::abs(a.r - e.r) <= tolerance && std::abs(a.g - e.g) <= tolerance && std::abs(a.b - e.b) <= tolerance;
}

std::unique_ptr<WorkerState> open_state(const std::filesystem::path& path, const std::filesystem::path& content_root) {
  auto opened = open_document(path);
  if (!opened || !opened->worker) return nullptr;
  auto state = std::make_unique<WorkerState>();
  state->content_root = content_root;
  state->documents[kClient][kDocument] = std::move(opened->worker);
  return state;
}

}  // namespace pdf::source::testing
