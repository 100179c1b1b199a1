#include "source/source_protocol.h"

namespace pdf::source {

bool is_large_reply(const SourceReply& reply) {
  return std::holds_alternative<PageRendered>(reply) || std::holds_alternative<PageTextRead>(reply) ||
         std::holds_alternative<PageRenderFailed>(reply) || std::holds_alternative<PageTextFailed>(reply);
}

std::uint64_t reply_cost(const SourceReply& reply) {
  if (const auto* rendered = std::get_if<PageRendered>(&reply)) {
    return rendered->image ? rendered->image->byte_size() : 0;
  }
  if (const auto* text = std::get_if<PageTextRead>(&reply)) {
    return text->layer ? text->layer->byte_size() : 0;
  }
  return 0;
}

std::string SourceWorkerError::message() const {
  switch (kind) {
    case Kind::Stopped:
      return "the PDF source worker has stopped";
    case Kind::QueueFull:
      return "the PDF source worker queue is full";
    case Kind::ExhaustedIds:
      return "the PDF source worker has exhausted request ids";
    case Kind::Unavailable:
      return "the PDF source worker is unavailable: " + reason;
  }
  return {};
}

}  // namespace pdf::source
