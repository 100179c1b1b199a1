// Arbitrary bytes as the JSON of a viewer action or operation: decoding must
// never crash, and whatever decodes must encode to text that decodes the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "actions/action_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto action = pdf_actions::decode_action(text)) {
    auto encoded = pdf_actions::encode_action(*action);
    if (!encoded) std::abort();  // decoded strings are valid UTF-8, so they encode
    auto again = pdf_actions::decode_action(encoded->json);
    if (!again) std::abort();
    auto twice = pdf_actions::encode_action(*again);
    if (!twice || twice->json != encoded->json) std::abort();
  }
  if (auto op = pdf_actions::decode_operation(text)) {
    auto encoded = pdf_actions::encode_operation(*op);
    if (!encoded || !pdf_actions::decode_operation(encoded->json)) std::abort();
  }
  return 0;
}
