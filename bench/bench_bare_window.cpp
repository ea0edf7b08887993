// The reference for the start-up benchmark: a Qt Widgets program that does
// what velmora's main() does, except that the window it shows is an empty
// QWidget. The difference in time to the first painted window is what the
// tool's own construction costs.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("bench_bare_window"));
  QWidget window;
  window.resize(700, 500);
  window.show();
  return app.exec();
}
