// The English texts read straight from a Qt Linguist .ts document, for a
// program without Qt (velmora-cli.exe): each context's sources with their
// translations, looked up as trText asks. An unfinished or empty
// translation gives the source back, as Qt's translator does.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace velmora {

class TsCatalog {
 public:
  // Reads every <context>'s <message> pairs; what it cannot read is skipped.
  static TsCatalog parse(std::string_view ts);

  // The translation of source in context, or nullptr when there is none.
  const char* find(const char* context, const char* source) const;
  size_t size() const { return texts_.size(); }

 private:
  std::map<std::string, std::string, std::less<>> texts_;  // context '\x04' source -> translation
};

// Makes every later trText answer in English from the .ts document ts (its
// text must live as long as the program), for the programs without Qt.
void useEnglishTexts(std::string_view ts);

}  // namespace velmora
