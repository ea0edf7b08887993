#include "config/image_rules.h"

#include "base/tr_text.h"

#include <algorithm>
#include <cctype>

namespace velmora {

std::string fileDialogFilter(std::string_view barSeparated) {
  std::string out;
  size_t pos = 0;
  bool description = true;
  while (pos < barSeparated.size()) {
    const size_t bar = barSeparated.find('|', pos);
    const std::string_view part = barSeparated.substr(pos, bar == std::string_view::npos ? std::string_view::npos : bar - pos);
    if (part.empty()) break;  // "||" ends the list
    if (description) {
      if (!out.empty()) out += ";;";
      out += part;
    }
    description = !description;
    if (bar == std::string_view::npos) break;
    pos = bar + 1;
  }
  return out;
}

std::string barSeparatedFilter(std::string_view qtFilter) {
  std::string out;
  size_t pos = 0;
  while (pos < qtFilter.size()) {
    const size_t end = std::min(qtFilter.find(";;", pos), qtFilter.size());
    const std::string_view description = qtFilter.substr(pos, end - pos);
    pos = end + 2;
    if (description.empty()) continue;
    std::string pattern = "*";
    const size_t open = description.rfind('(');
    const size_t close = description.rfind(')');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
      pattern = std::string(description.substr(open + 1, close - open - 1));
      for (char& c : pattern)
        if (c == ' ') c = ';';
    }
    out.append(description).append("|").append(pattern).append("|");
  }
  return out + "|";
}

bool isJsonConfigPath(std::string_view path) {
  constexpr std::string_view kSuffix = ".json";
  if (path.size() < kSuffix.size()) return false;
  const std::string_view tail = path.substr(path.size() - kSuffix.size());
  for (size_t i = 0; i < kSuffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kSuffix[i]) return false;
  return true;
}

bool gatherPageIntoImage(std::vector<uint8_t>& image, DialogChildBase& page,
                         const std::function<void(const std::string&)>& log) {
  std::vector<uint8_t> buffer(kMaxImageBytes, 0);
  if (image.size() > static_cast<size_t>(kMaxImageBytes)) {
    if (log) log(trText("ImageRules", "数据包长度超过最大长度"));
    return false;
  }
  std::copy(image.begin(), image.end(), buffer.begin());
  int32_t length = static_cast<int32_t>(image.size());
  const StoreResult result = page.storeToImage(buffer.data(), length, kMaxImageBytes);
  if (result.keepsImage()) {
    if (log && !result.reason.empty()) log(result.reason);
    return false;
  }
  if (length < 0) return false;
  if (length > kMaxImageBytes) length = kMaxImageBytes;  // a page never claims more than the buffer
  image.assign(buffer.begin(), buffer.begin() + length);
  return true;
}

}  // namespace velmora
