#include "app/write_check.h"

#include "base/text.h"
#include "base/tr_text.h"

namespace velmora {

WriteCheckReport writeCheckReport(const std::vector<CheckFinding>& findings) {
  WriteCheckReport report;
  // The findings carry their English words already (velmora-cli prints them).
  const DiffLanguage language = diffLanguageOfWindow();
  const bool english = language == DiffLanguage::English;
  std::vector<const CheckFinding*> errors;
  for (const CheckFinding& f : findings) {
    if (f.severity == CheckSeverity::Error)
      errors.push_back(&f);
    else
      report.logLines.push_back(strprintf(trText("WriteCheck", "配置检查：%s"), findingLine(f, language).c_str()));
  }
  if (errors.empty()) return report;
  // The heading says they are errors; the lines need not say it again.
  report.question = trText("WriteCheck", "配置检查发现以下错误：\n");
  for (size_t i = 0; i < errors.size() && i < kWriteCheckListed; ++i)
    report.question += (english ? errors[i]->english : errors[i]->chinese) + "\n";
  // A box taller than the screen would hide its buttons.
  if (errors.size() > kWriteCheckListed)
    report.question += strprintf(trText("WriteCheck", "……等 %d 项\n"), static_cast<int>(errors.size()));
  report.question += trText("WriteCheck", "\n仍要下发配置吗？");
  return report;
}

}  // namespace velmora
