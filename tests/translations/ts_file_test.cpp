// translations/velmora_en.ts read with Qt's XML reader: every text the
// product marks has a finished English text that keeps what the program
// fills in or the user presses (printf and %1 placeholders, the menu
// accelerator, the shortcut after a tab, the blanks and line ends that
// pieces of a line are joined by).
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace {

struct Message {
  QString source;
  QString translation;
  bool finished = false;
};
using Messages = std::map<std::pair<QString, QString>, Message>;  // (context, source)

// lupdate writes a carriage return as <byte value="xd"/> inside the text.
QString readText(QXmlStreamReader& xml) {
  QString text;
  while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() == QLatin1String("byte")) {
    if (xml.hasError()) return text;
    if (xml.isCharacters()) text += xml.text();
    if (xml.isStartElement() && xml.name() == QLatin1String("byte")) {
      const QString value = xml.attributes().value(QLatin1String("value")).toString();
      text += QChar(value.mid(1).toUShort(nullptr, 16));
    }
  }
  return text;
}

Messages readTs(const QString& path, QString* error) {
  Messages out;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot open ") + path;
    return out;
  }
  QXmlStreamReader xml(&file);
  QString context;
  Message m;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("name")) context = readText(xml);
    if (xml.name() == QLatin1String("source")) m.source = readText(xml);
    if (xml.name() == QLatin1String("translation")) {
      m.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
      m.translation = readText(xml);
      out[{context, m.source}] = m;
      m = {};
    }
  }
  if (xml.hasError()) *error = path + QStringLiteral(": ") + xml.errorString();
  return out;
}

// The printf conversions and Qt's %1..%99, in order.
QStringList placeholders(const QString& text) {
  static const QRegularExpression re(
      QStringLiteral(R"(%(?:[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|z)?[diouxXscp%]|\d{1,2}))"));
  QStringList out;
  for (auto it = re.globalMatch(text); it.hasNext();) out << it.next().captured();
  return out;
}

// How many single '&' (an accelerator; "&&" is a literal ampersand).
int accelerators(const QString& text) {
  int n = 0;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (i + 1 < text.size() && text[i + 1] == u'&')
      ++i;
    else
      ++n;
  }
  return n;
}

QString leading(const QString& t) {
  return t.left(t.size() - QString(t).remove(QRegularExpression(QStringLiteral("^\\s+"))).size());
}
QString trailing(const QString& t) {
  return t.right(t.size() - QString(t).remove(QRegularExpression(QStringLiteral("\\s+$"))).size());
}

bool hasCjk(const QString& text) {
  for (QChar c : text)
    if ((c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) || (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E) ||
        (c.unicode() >= 0x3000 && c.unicode() <= 0x303F))
      return true;
  return false;
}

std::string name(const std::pair<QString, QString>& key) {
  return (key.first + QStringLiteral(" / ") + key.second).toStdString();
}

class TsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    committed = readTs(QStringLiteral(VELMORA_TS_FILE), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    current = readTs(QStringLiteral(VELMORA_CURRENT_TS), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  }
  Messages committed, current;
};

// The build's lupdate run lists what the sources mark today; each of them
// must be in the committed file, and the file keeps nothing no source has.
TEST_F(TsFile, HoldsExactlyTheTextsTheSourcesMark) {
  ASSERT_GT(current.size(), 300u) << "lupdate found too few texts: are trText and VELMORA_TR_NOOP still aliased?";
  for (const auto& [key, m] : current) EXPECT_TRUE(committed.count(key)) << "not in velmora_en.ts: " << name(key);
  for (const auto& [key, m] : committed)
    EXPECT_TRUE(current.count(key)) << "no source marks it any more: " << name(key);
}

TEST_F(TsFile, EveryTranslationIsFinishedEnglishAndKeepsWhatTheProgramFillsIn) {
  ASSERT_FALSE(committed.empty());
  for (const auto& [key, m] : committed) {
    const std::string what = name(key);
    EXPECT_TRUE(m.finished && !m.translation.trimmed().isEmpty()) << "unfinished: " << what;
    EXPECT_FALSE(hasCjk(m.translation)) << "Chinese left in the English of " << what;
    EXPECT_EQ(placeholders(m.translation), placeholders(m.source)) << what;
    EXPECT_EQ(accelerators(m.translation), accelerators(m.source)) << "the & accelerator of " << what;
    const int tab = m.source.indexOf(u'\t');
    if (tab >= 0) {
      EXPECT_TRUE(m.translation.endsWith(m.source.mid(tab))) << "the shortcut of " << what;
    }
    // Pieces joined into one line or box keep their blanks and line ends.
    if (!hasCjk(m.source.left(1))) {
      EXPECT_EQ(leading(m.translation), leading(m.source)) << "leading blanks of " << what;
    }
    // A full-width mark carries its own spacing ("、" becomes ", ").
    if (!hasCjk(m.source.right(1))) {
      EXPECT_EQ(trailing(m.translation), trailing(m.source)) << "trailing blanks of " << what;
    }
    EXPECT_EQ(m.translation.count(QStringLiteral("\r\n")), m.source.count(QStringLiteral("\r\n"))) << what;
  }
}

// The checks themselves, on texts a translator gets wrong.
TEST(TsChecks, CatchDroppedPlaceholdersAndAccelerators) {
  EXPECT_EQ(placeholders(QStringLiteral("收到配置数据包 %d/%d, 数据长度 %d")), (QStringList{"%d", "%d", "%d"}));
  EXPECT_NE(placeholders(QStringLiteral("packet %d, length")), placeholders(QStringLiteral("包 %d, 长度 %d")));
  EXPECT_NE(placeholders(QStringLiteral("%s at %d")), placeholders(QStringLiteral("%d 于 %s")))
      << "order counts for printf";
  EXPECT_EQ(placeholders(QStringLiteral("%02X %03d %llu %zu %1 %%")),
            (QStringList{"%02X", "%03d", "%llu", "%zu", "%1", "%%"}));
  EXPECT_EQ(accelerators(QStringLiteral("文件(&F)")), 1);
  EXPECT_EQ(accelerators(QStringLiteral("Save && quit")), 0);
  EXPECT_EQ(trailing(QStringLiteral("55 protocol ")), QStringLiteral(" "));
  EXPECT_TRUE(hasCjk(QStringLiteral("Port：")));
}

}  // namespace
