// GoogleTest main for window tests: one QApplication on the offscreen
// platform, and modal boxes replaced by recorders so no test blocks.
#include <QApplication>
#include <gtest/gtest.h>

#include "tests/support/ui_recorder.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  velmora::testing::UiRecorder::install();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
