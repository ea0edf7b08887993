// What the window makes of the configuration check before "下发配置":
// warnings and notes for the log, errors for one question.
#pragma once

#include <string>
#include <vector>

#include "config/image_check.h"
#include "base/tr_text.h"

namespace velmora {

// The most errors the question lists one by one.
inline constexpr size_t kWriteCheckListed = 10;
inline constexpr const char* kWriteCheckDeclined = VELMORA_TR_NOOP("WriteCheck", "配置检查有错误，已取消下发配置");

struct WriteCheckReport {
  std::vector<std::string> logLines;  // one per warning or note: "配置检查：警告：..."
  std::string question;               // empty when there is no error
};

WriteCheckReport writeCheckReport(const std::vector<CheckFinding>& findings);

}  // namespace velmora
