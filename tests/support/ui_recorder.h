// Records what the program would have shown in modal boxes, and answers its
// questions and file dialogs with what the test queued.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>

#include "ui/ui_kit_qt.h"

namespace velmora::testing {

class UiRecorder {
 public:
  // Installs the hooks (done once by the test main).
  static void install();
  // Forgets everything recorded and queued; call at the start of a test.
  static void reset();

  // Texts of the OK boxes shown since the last reset, in order.
  static QStringList& messages();
  // Texts of the questions asked since the last reset.
  static QStringList& questions();
  // The file dialog requests made since the last reset.
  static std::deque<ui::FileDialogRequest>& fileRequests();

  // The answer to the next question (default when none queued: yes).
  static void queueAnswer(bool yes);
  // The path the next file dialog returns (default when none queued: cancel).
  static void queueFile(const QString& path);
};

}  // namespace velmora::testing
