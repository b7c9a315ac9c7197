// The memory floor of the reader: a Qt program that shows one empty
// 240 x 320 widget (offscreen under bench/peak_memory) and ends.

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QWidget window;
  window.resize(240, 320);
  window.show();
  QTimer::singleShot(0, &qt, &QApplication::quit);
  return qt.exec();
}
