#include "source/image_decode.h"

#include <png.h>
#include <turbojpeg.h>

#include <cstring>
#include <memory>

#include <fmt/format.h>

#include "velyn/try.h"

namespace pdf::source {
namespace {

constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::uint8_t kJpegSignature[] = {0xff, 0xd8, 0xff};

bool starts_with(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// Checked before the pixel buffer exists; the 64-bit product cannot overflow
// for 32-bit sides.
velyn::Result<std::size_t> checked_rgba_size(std::uint64_t width, std::uint64_t height, std::uint64_t max_pixels) {
  if (width == 0 || height == 0) return velyn::fail("the image has no pixels");
  if (width * height > max_pixels) {
    return velyn::fail(fmt::format("the image is {} x {} pixels, above the {}-pixel limit", width, height, max_pixels));
  }
  return static_cast<std::size_t>(width * height * 4);
}

velyn::Result<DecodedImage> decode_png(std::span<const std::uint8_t> bytes, std::uint64_t max_pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
    std::string message = image.message;
    png_image_free(&image);
    return velyn::fail(message.empty() ? std::string("unreadable PNG") : message);
  }
  auto size = checked_rgba_size(image.width, image.height, max_pixels);
  if (!size) {
    png_image_free(&image);
    return std::unexpected(size.error());
  }
  image.format = PNG_FORMAT_RGBA;
  DecodedImage out{image.width, image.height, std::vector<std::uint8_t>(*size)};
  if (png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) == 0) {
    std::string message = image.message;
    png_image_free(&image);
    return velyn::fail(message.empty() ? std::string("unreadable PNG") : message);
  }
  png_image_free(&image);
  return out;
}

struct TurboJpegCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};

velyn::Result<DecodedImage> decode_jpeg(std::span<const std::uint8_t> bytes, std::uint64_t max_pixels) {
  std::unique_ptr<void, TurboJpegCloser> handle(tjInitDecompress());
  if (!handle) return velyn::fail("the JPEG decoder could not be started");
  // TurboJPEG's signatures take non-const buffers but only read them.
  auto* data = const_cast<unsigned char*>(bytes.data());
  const auto length = static_cast<unsigned long>(bytes.size());
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), data, length, &width, &height, &subsampling, &colorspace) != 0) {
    return velyn::fail(tjGetErrorStr2(handle.get()));
  }
  if (width <= 0 || height <= 0) return velyn::fail("the image has no pixels");
  const auto size =
      VELYN_TRY(checked_rgba_size(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), max_pixels));
  DecodedImage out{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                   std::vector<std::uint8_t>(size)};
  if (tjDecompress2(handle.get(), data, length, out.rgba.data(), width, 0, height, TJPF_RGBA, 0) != 0) {
    // A warning (e.g. a truncated scan) still leaves a complete, if damaged,
    // picture; only errors refuse the file.
    if (tjGetErrorCode(handle.get()) != TJERR_WARNING) return velyn::fail(tjGetErrorStr2(handle.get()));
  }
  return out;
}

}  // namespace

velyn::Result<DecodedImage> decode_image(std::span<const std::uint8_t> bytes, std::uint64_t max_pixels) {
  if (starts_with(bytes, kPngSignature)) return decode_png(bytes, max_pixels);
  if (starts_with(bytes, kJpegSignature)) return decode_jpeg(bytes, max_pixels);
  return velyn::fail("unsupported image format (PNG and JPEG are accepted)");
}

}  // namespace pdf::source
