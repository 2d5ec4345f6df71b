// Entry point of the Wrenly program.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Wrenly Mobile");
  QLabel window("Wrenly: the screens are not built yet. Use wrenly-cli.");
  window.setWindowTitle("Wrenly");
  window.resize(480, 640);
  window.show();
  return app.exec();
}
