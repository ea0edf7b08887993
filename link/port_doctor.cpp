#include "link/port_doctor.h"

#include "base/text.h"
#include "base/tr_text.h"

namespace velmora {

namespace {

// Only the system's own reasons say anything about the port (errno values,
// and Windows' codes in the categories that map them to errno); a device
// that kept its line settings opened fine.
bool isSystemError(const std::error_code& error) {
  return error && error.default_error_condition().category() == std::generic_category();
}

void accessLines(const std::string& path, const PortFacts& f, std::vector<std::string>& lines) {
  const bool groupMayUse = !f.groupName.empty() && (f.mode & 060) == 060;
  if (!groupMayUse) {
    if (f.ownerName.empty()) return;
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 只允许用户 %s 读写（权限 %04o）；请用 udev 规则把它交给 "
                                                   "dialout 组（GROUP=\"dialout\", MODE=\"0660\"）"),
                              path.c_str(), f.ownerName.c_str(), f.mode & 07777));
    return;
  }
  const char* user = f.userName.empty() ? "$USER" : f.userName.c_str();
  if (!f.accountInGroup) {
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 属于 %s 组，用户 %s 不在该组；请执行 sudo usermod -aG %s %s，"
                                                   "然后注销并重新登录"),
                              path.c_str(), f.groupName.c_str(), user, f.groupName.c_str(), user));
  } else if (!f.sessionInGroup) {
    lines.push_back(strprintf(trText("PortDoctor", "诊断: 用户 %s 已在 %s 组中，但当前登录尚未生效；请注销并重新登录（或重启）"),
                              user, f.groupName.c_str()));
  } else {
    lines.push_back(strprintf(trText("PortDoctor", "诊断: 用户 %s 在 %s 组中，系统仍拒绝访问 %s（可能是访问控制列表或安全策略）"),
                              user, f.groupName.c_str(), path.c_str()));
  }
}

void holderLines(const std::string& path, const PortFacts& f, std::vector<std::string>& lines) {
  size_t named = 0;
  bool modemManager = false, brltty = false;
  for (const PortHolder& h : f.holders) {
    if (h.self) {
      lines.push_back(strprintf(trText("PortDoctor", "诊断: 本程序已打开 %s"), path.c_str()));
      continue;
    }
    if (named++ == kMaxHoldersNamed) break;
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 正被进程 %lld（%s）占用，请关闭该程序后重试"), path.c_str(),
                              static_cast<long long>(h.pid), h.name.c_str()));
    modemManager = modemManager || h.name == "ModemManager";
    brltty = brltty || h.name == "brltty";
  }
  // The two services that take new USB serial ports on their own.
  if (modemManager)
    lines.push_back(trText("PortDoctor", "诊断: ModemManager 会探测新插入的串口；可执行 sudo systemctl stop ModemManager，"
                                         "或为该设备设置 ID_MM_DEVICE_IGNORE"));
  if (brltty)
    lines.push_back(trText("PortDoctor", "诊断: brltty（盲文显示器驱动）会占用常见的 USB 串口芯片；如不需要请执行 sudo apt remove brltty"));
  if (!f.holders.empty()) return;
  if (f.holdersUnnamed)
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 正被其他程序占用，请关闭该程序后重试"), path.c_str()));
  else if (f.holdersHidden)
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 正被其他程序占用，但无权查看是哪个进程；请执行 sudo velmora-cli ports 查看"),
                              path.c_str()));
  else
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 正被占用，但未找到打开它的进程"), path.c_str()));
}

}  // namespace

std::vector<std::string> portDoctorLines(const std::string& path, const std::error_code& error, const PortFacts& facts,
                                         std::optional<uint64_t> shortLifeUs) {
  std::vector<std::string> lines;
  if (!isSystemError(error)) return lines;
  if (!facts.exists) {
    if (shortLifeUs)
      lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 出现约 %.1f 秒后即消失，可能被其他驱动占用（例如盲文显示器驱动 "
                                                     "brltty）；如不需要请执行 sudo apt remove brltty，然后重新插入适配器"),
                                path.c_str(), static_cast<double>(*shortLifeUs) / 1e6));
    else
      lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 不存在，请检查适配器是否插好，然后从列表中重新选择"), path.c_str()));
    return lines;
  }
  if (!facts.serial) {
    lines.push_back(strprintf(trText("PortDoctor", "诊断: %s 不是串口设备，请从列表中选择串口"), path.c_str()));
    return lines;
  }
  if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted || !facts.accessible)
    accessLines(path, facts, lines);
  if (error == std::errc::device_or_resource_busy) holderLines(path, facts, lines);
  return lines;
}

std::vector<std::string> examineOpenFailure(SerialPortSystem& system, const PortHistory* history,
                                            const std::string& path, const std::error_code& error, uint64_t nowUs) {
  if (!isSystemError(error)) return {};
  const PortFacts facts = system.examine(path);
  const std::optional<uint64_t> life = history != nullptr ? history->shortLife(path, nowUs) : std::nullopt;
  return portDoctorLines(path, error, facts, life);
}

}  // namespace velmora
