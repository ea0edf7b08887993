// The reference for the start-up benchmark: a Qt Widgets program that does
// what velmora's main() does, except that the window it shows is an empty
// QWidget. The difference in time to the first painted window is what the
// tool's own construction costs.
//
// Built a second time as bench_cjk_window (BENCH_CJK_LABEL): the same window
// with one line of Chinese in the page font, which tells how much of that
// difference is only the CJK font being found, loaded and rasterised.
#include <QApplication>
#include <QWidget>

#ifdef BENCH_CJK_LABEL
#include <QLabel>

#include "ui/ui_kit_qt.h"
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("bench_bare_window"));
  QWidget window;
  window.resize(700, 500);
#ifdef BENCH_CJK_LABEL
  auto* label = new QLabel(QStringLiteral("设备配置工具：连接、串口、网络、读取配置、下发配置、状态：未连接、空闲"), &window);
  label->setFont(velmora::ui::pageFont());
  label->move(10, 10);
#endif
  window.show();
  return app.exec();
}
