// The configuration check on arbitrary bytes: it must not crash, every
// finding names units that exist and says something in both languages,
// and errors come before warnings before notes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/image_check.h"
#include "fuzz/fuzz_check.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Past a full image nothing new can be found, only more of the same.
  const std::vector<uint8_t> image(data, data + std::min<size_t>(size, 4096));
  const int32_t unitCount = static_cast<int32_t>(image.size() / kUnitBytes);
  const std::vector<CheckFinding> findings = checkImage(image);
  for (size_t i = 0; i < findings.size(); ++i) {
    const CheckFinding& f = findings[i];
    FUZZ_CHECK(!f.rule.empty() && !f.english.empty() && !f.chinese.empty());
    FUZZ_CHECK(!findingLine(f, DiffLanguage::Chinese).empty());
    for (int32_t u : f.units) FUZZ_CHECK(u >= 0 && u < unitCount);
    if (i > 0) FUZZ_CHECK(findings[i - 1].severity >= f.severity);
  }
  FUZZ_CHECK(!findingsJson(findings).empty());
  return 0;
}
