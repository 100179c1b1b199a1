#include "source/pdf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

namespace pdf::source {
namespace {

// PDFium hands out many small blocks; batching them keeps the system calls few.
constexpr std::size_t kWriteBufferBytes = 1u << 20;

// FPDF_FILEWRITE must be the first member: PDFium calls back with its address.
struct FileSink {
  FPDF_FILEWRITE base{};
  int fd = -1;
  int error = 0;  // errno of the first failed write
  std::vector<std::uint8_t> buffer;

  bool flush() {
    std::size_t done = 0;
    while (done < buffer.size()) {
      const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = errno;
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    buffer.clear();
    return true;
  }

  static int write_block(FPDF_FILEWRITE* self, const void* data, unsigned long size) {
    auto* sink = reinterpret_cast<FileSink*>(self);
    if (sink->error != 0) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (sink->buffer.size() + size > kWriteBufferBytes && !sink->flush()) return 0;
    if (size >= kWriteBufferBytes) {
      sink->buffer.assign(bytes, bytes + size);
      return sink->flush() ? 1 : 0;
    }
    sink->buffer.insert(sink->buffer.end(), bytes, bytes + size);
    return 1;
  }
};

struct MemorySink {
  FPDF_FILEWRITE base{};
  std::vector<std::uint8_t> bytes;

  static int write_block(FPDF_FILEWRITE* self, const void* data, unsigned long size) {
    auto* sink = reinterpret_cast<MemorySink*>(self);
    const auto* p = static_cast<const std::uint8_t*>(data);
    sink->bytes.insert(sink->bytes.end(), p, p + size);
    return 1;
  }
};

}  // namespace

std::string pdfium_error_text(const PdfiumApi& api) {
  switch (api.FPDF_GetLastError()) {
    case 1:
      return "PDFium reported an unknown error";
    case 2:
      return "PDFium could not read the file";
    case 3:
      return "PDFium found a damaged or unsupported PDF";
    case 4:
      return "PDFium needs a password";
    case 5:
      return "PDFium refused an unsupported security scheme";
    case 6:
      return "PDFium could not find or read the page";
    default:
      return "PDFium refused the operation";
  }
}

velyn::Result<void> save_document_to_file(const PdfiumApi& api, FPDF_DOCUMENT document,
                                          const std::filesystem::path& path) {
  FileSink sink;
  sink.base.version = 1;
  sink.base.WriteBlock = &FileSink::write_block;
  sink.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (sink.fd < 0) return velyn::fail(std::strerror(errno));
  sink.buffer.reserve(kWriteBufferBytes);
  const bool saved = api.FPDF_SaveAsCopy(document, &sink.base, kFpdfSaveNoIncremental) != 0;
  const bool flushed = sink.error == 0 && sink.flush();
  const int close_result = ::close(sink.fd);
  if (sink.error != 0) return velyn::fail(std::strerror(sink.error));
  if (!saved) return velyn::fail(pdfium_error_text(api));
  if (!flushed || close_result != 0) return velyn::fail(std::strerror(errno));
  return {};
}

velyn::Result<std::vector<std::uint8_t>> save_document_to_memory(const PdfiumApi& api, FPDF_DOCUMENT document) {
  MemorySink sink;
  sink.base.version = 1;
  sink.base.WriteBlock = &MemorySink::write_block;
  if (api.FPDF_SaveAsCopy(document, &sink.base, kFpdfSaveNoIncremental) == 0) {
    return velyn::fail(pdfium_error_text(api));
  }
  return std::move(sink.bytes);
}

}  // namespace pdf::source
