// The program's language on the Qt side: the built-in English texts behind
// tr() and trText, or nothing at all for the Chinese default.
#pragma once

#include <QString>

#include "base/tr_text.h"

namespace velmora::ui {

// English: loads the embedded velmora_en.qm into a translator for
// QCoreApplication::translate and routes trText through it. Chinese loads
// nothing (the source texts are the Chinese ones) and undoes an earlier
// English. False when the English texts cannot be loaded; the program then
// stays Chinese. After the QCoreApplication exists; windows made before a
// change keep their texts.
bool useLanguage(Language language);

// A logic text (UTF-8 from trText or a table marked with VELMORA_TR_NOOP)
// translated in context, as a QString.
QString trQ(const char* context, const char* source);

}  // namespace velmora::ui
