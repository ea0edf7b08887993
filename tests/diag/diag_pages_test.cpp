#include <QPlainTextEdit>
#include <QPushButton>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "diag/dialog_log.h"
#include "diag/dialog_raw_bytes.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;
using velmora::testing::UiRecorder;

namespace {
template <typename T>
T* control(QWidget& page, int id) {
  T* w = page.findChild<T*>(QString::number(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

// What the main window takes as the image after the page stored into a copy
// of initial; a page that keeps the image leaves initial as it was.
Bytes store(DialogChildBase& page, Bytes initial = {}, std::string* reason = nullptr) {
  Bytes buffer(2048, 0);
  std::copy(initial.begin(), initial.end(), buffer.begin());
  int32_t length = static_cast<int32_t>(initial.size());
  const StoreResult result = page.storeToImage(buffer.data(), length, 2048);
  if (reason != nullptr) *reason = result.reason;
  if (result.keepsImage()) return initial;
  EXPECT_GE(length, 0);
  buffer.resize(static_cast<size_t>(std::max(length, 0)));
  return buffer;
}
}  // namespace

// Lines held during a transfer are kept at once and reach the view whole, in order, also
// when the log was cut back meanwhile (the cut is log_text_test's); a missed release still
// shows them a moment later.
TEST(DialogLogPage, ViewShowsWhatTheLogKeepsHeldLinesOnReleaseOrShortlyAfter) {
  DialogLog log;
  log.resize(600, 400);
  log.show();
  auto* edit = control<QPlainTextEdit>(log, DialogLog::kEditId);
  const auto viewMatchesLog = [&] {
    return edit->toPlainText() == QString::fromStdString(log.text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  };
  EXPECT_TRUE(edit->isReadOnly());
  for (int i = 0; i < 250; ++i) log.appendLog("line " + std::to_string(i));
  EXPECT_TRUE(viewMatchesLog()) << "cut back while shown";
  log.holdView();
  log.appendLog("held 1");
  EXPECT_NE(log.text().find("held 1"), std::string::npos);
  EXPECT_FALSE(edit->toPlainText().contains(QStringLiteral("held")));
  log.release();
  EXPECT_TRUE(viewMatchesLog());

  log.holdView();
  for (int i = 0; i < 250; ++i) log.appendLog("line " + std::to_string(i));
  log.release();
  EXPECT_TRUE(viewMatchesLog()) << "cut back while held";

  log.holdView();
  log.appendLog("never released");
  EXPECT_TRUE(QTest::qWaitFor([&] { return edit->toPlainText().contains(QStringLiteral("never released")); }, 1000));
  EXPECT_TRUE(viewMatchesLog());
}

// 保存... offers 日志.txt as a text file and writes the log as kept, held
// lines too; cancelled it writes nothing, and a write that fails says so.
TEST(DialogLogPage, SaveWritesTheLogAsKeptOrSaysWhyNot) {
  UiRecorder::reset();
  QTemporaryDir dir;
  DialogLog log;
  log.appendLog("first");
  log.holdView();
  log.appendLog("held");
  auto* save = control<QPushButton>(log, DialogLog::kSaveButtonId);
  const QString path = dir.filePath(QStringLiteral("log.txt"));
  UiRecorder::queueFile(path);
  save->click();
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  const ui::FileDialogRequest& request = UiRecorder::fileRequests().front();
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.initialName, QStringLiteral("日志.txt"));
  EXPECT_EQ(request.defaultSuffix, QStringLiteral("txt"));
  EXPECT_EQ(request.filter, QStringLiteral("文本文件 (*.txt);;所有文件 (*.*)"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), log.text());
  EXPECT_NE(log.text().find("] held\r\n"), std::string::npos);

  save->click();  // nothing queued: cancelled
  EXPECT_EQ(UiRecorder::fileRequests().size(), 2u);
  UiRecorder::queueFile(dir.filePath(QStringLiteral("no-such-folder/log.txt")));
  save->click();
  EXPECT_EQ(UiRecorder::messages(), QStringList{QStringLiteral("保存文件失败")});
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no-such-folder"))));
}

// Only hex text on show replaces the image; the character view is for
// looking. A mistyped digit is tests/app's (the reason reaches the log).
TEST(DialogDataTestPage, StartsWithThePatternAndOnlyHexTextReplacesTheImage) {
  DialogDataTest page;
  auto* edit = control<QPlainTextEdit>(page, DialogDataTest::kEditId);
  EXPECT_TRUE(edit->toPlainText().startsWith(QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n10 ")));
  EXPECT_EQ(store(page).size(), 180u);
  Bytes small(8, 0);
  int32_t length = 5;
  page.storeToImage(small.data(), length, 8);
  EXPECT_EQ(length, 8) << "within the capacity";

  const Bytes image{0x41, 0x42, 0x0A};
  page.loadFromImage(image.data(), 3);
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("41 42 0A "));
  EXPECT_EQ(store(page, {9, 9, 9, 9, 9, 9, 9, 9}), image) << "the text replaces the whole image";

  control<QRadioButton>(page, DialogDataTest::kAsciiRadioId)->click();
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("41 42 0A ")) << "the view changes at the next load";
  page.loadFromImage(image.data(), 3);
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("AB."));
  const Bytes unit{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(store(page, unit), unit);
  edit->setPlainText(QStringLiteral("ABCD"));  // typed over the character view: still not hex
  EXPECT_EQ(store(page, unit), unit);
  control<QRadioButton>(page, DialogDataTest::kHexRadioId)->click();
  EXPECT_EQ(store(page, unit), unit) << "the radio changes the next view, not what the text on show is";
  page.loadFromImage(image.data(), 3);
  EXPECT_EQ(store(page, unit), image);

  control<QPushButton>(page, DialogDataTest::kClearId)->click();
  EXPECT_TRUE(edit->toPlainText().isEmpty());
  std::string reason = "?";
  EXPECT_TRUE(store(page, unit, &reason).empty()) << "清空 means an empty image";
  EXPECT_TRUE(reason.empty());
}
