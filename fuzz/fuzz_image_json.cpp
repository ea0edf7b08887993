// The JSON document's import on arbitrary text: it must not crash, refuses
// with a path and a reason, and a document it accepts describes an image
// whose own document reads back as the same bytes. The input's bytes are
// also taken as an image, whose document must read back unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/image_json.h"
#include "fuzz/fuzz_check.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ImageJsonImport first = importImageJson(text);
  if (first.ok) {
    const ImageJsonImport again = importImageJson(exportImageJson(first.image));
    FUZZ_CHECK(again.ok && again.image == first.image);
  } else {
    FUZZ_CHECK(first.image.empty() && !first.path.empty() && first.path[0] == '$' && !first.reason.empty());
  }

  const std::vector<uint8_t> image(data, data + std::min<size_t>(size, 4096));
  const ImageJsonImport bytes = importImageJson(exportImageJson(image));
  FUZZ_CHECK(bytes.ok && bytes.image == image);
  return 0;
}
