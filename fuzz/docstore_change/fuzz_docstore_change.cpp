// Untrusted input: encoded changes arriving from other replicas or a room file.
// Decoding must never crash; whatever decodes is applied to a document, which
// must either take it or refuse it, and re-encoding must reproduce the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "docstore/change.h"
#include "docstore/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto change = docstore::decode_change(std::span(data, size));
  if (!change) return 0;
  docstore::Change copy = *change;
  const auto again = docstore::encode_change(copy);
  if (again.size() != size) std::abort();
  docstore::Document doc;
  (void)doc.apply_changes(std::span(&*change, 1));
  (void)doc.keys(docstore::ObjId::root());
  (void)doc.save();
  return 0;
}
