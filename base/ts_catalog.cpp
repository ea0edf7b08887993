#include "base/ts_catalog.h"

#include "base/tr_text.h"

namespace velmora {

namespace {

// The five entities of XML and numeric character references, and the
// control characters lupdate writes as <byte value="xd"/> ("\r").
std::string unescape(std::string_view text) {
  constexpr std::string_view kByte = "<byte value=\"";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, kByte.size()) == kByte) {
      const size_t end = text.find("\"/>", i);
      if (end != std::string_view::npos) {
        const std::string_view value = text.substr(i + kByte.size(), end - i - kByte.size());
        const bool hex = !value.empty() && value[0] == 'x';
        unsigned code = 0;
        for (const char c : value.substr(hex ? 1 : 0))
          code = code * (hex ? 16 : 10) +
                 static_cast<unsigned>(c >= 'a' ? c - 'a' + 10 : c >= 'A' ? c - 'A' + 10 : c - '0');
        out += static_cast<char>(code);
        i = end + 2;
        continue;
      }
    }
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const size_t end = text.find(';', i);
    if (end == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    const std::string_view name = text.substr(i + 1, end - i - 1);
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.size() > 1 && name[0] == '#') {
      unsigned long code = 0;
      const bool hex = name[1] == 'x';
      for (const char c : name.substr(hex ? 2 : 1)) {
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (digit < 0) break;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
      }
      // As UTF-8.
      if (code < 0x80) {
        out += static_cast<char>(code);
      } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      }
    } else {
      out += text.substr(i, end - i + 1);
    }
    i = end;
  }
  return out;
}

// The text between <tag ...> and </tag> from pos on, within limit; pos moves past it.
bool element(std::string_view doc, std::string_view tag, size_t& pos, size_t limit, std::string_view& inner,
             std::string_view& attributes) {
  const std::string open = "<" + std::string(tag);
  size_t start = doc.find(open, pos);
  while (start != std::string_view::npos && start < limit) {
    const char next = start + open.size() < doc.size() ? doc[start + open.size()] : '\0';
    if (next == '>' || next == ' ' || next == '/') break;
    start = doc.find(open, start + 1);
  }
  if (start == std::string_view::npos || start >= limit) return false;
  const size_t headEnd = doc.find('>', start);
  if (headEnd == std::string_view::npos || headEnd >= limit) return false;
  attributes = doc.substr(start + open.size(), headEnd - start - open.size());
  if (!attributes.empty() && attributes.back() == '/') {  // <translation/>
    inner = {};
    pos = headEnd + 1;
    return true;
  }
  const std::string close = "</" + std::string(tag) + ">";
  const size_t end = doc.find(close, headEnd);
  if (end == std::string_view::npos || end > limit) return false;
  inner = doc.substr(headEnd + 1, end - headEnd - 1);
  pos = end + close.size();
  return true;
}

}  // namespace

TsCatalog TsCatalog::parse(std::string_view ts) {
  TsCatalog catalog;
  size_t pos = 0;
  std::string_view context, attributes;
  while (element(ts, "context", pos, ts.size(), context, attributes)) {
    size_t at = 0;
    std::string_view name;
    if (!element(context, "name", at, context.size(), name, attributes)) continue;
    const std::string contextName = unescape(name);
    std::string_view message;
    while (element(context, "message", at, context.size(), message, attributes)) {
      size_t m = 0;
      std::string_view source, translation, sourceAttributes, translationAttributes;
      if (!element(message, "source", m, message.size(), source, sourceAttributes)) continue;
      if (!element(message, "translation", m, message.size(), translation, translationAttributes)) continue;
      if (translation.empty() || translationAttributes.find("unfinished") != std::string_view::npos ||
          translationAttributes.find("obsolete") != std::string_view::npos ||
          translationAttributes.find("vanished") != std::string_view::npos)
        continue;
      catalog.texts_[contextName + '\x04' + unescape(source)] = unescape(translation);
    }
  }
  return catalog;
}

const char* TsCatalog::find(const char* context, const char* source) const {
  const auto it = texts_.find(std::string(context) + '\x04' + source);
  return it == texts_.end() ? nullptr : it->second.c_str();
}

namespace {
const TsCatalog* gEnglish = nullptr;
const char* translateEnglish(const char* context, const char* source) {
  const char* text = gEnglish->find(context, source);
  return text != nullptr ? text : source;
}
}  // namespace

void useEnglishTexts(std::string_view ts) {
  static const TsCatalog english = TsCatalog::parse(ts);
  gEnglish = &english;
  installTextTranslator(&translateEnglish, Language::English);
}

}  // namespace velmora
