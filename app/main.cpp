#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "CorvaneIcon.h"
#include "MainWindow.h"
#include "OptionsDialog.h"

int main(int argc, char* argv[]) {
  // Without a display Qt would abort with a platform plugin message; say it plainly instead.
  const bool headless =
      !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
  if (headless) {
    std::fprintf(stderr, "Corvane needs a graphical display: DISPLAY is not set.\n");
    return 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
  QApplication::setWindowIcon(CorvaneIcon());

  TForm1 Form1;
  auto* frmOptions = new TfrmOptions(&Form1);
  Form1.SetOptionsDialog(frmOptions);
  Form1.show();
  return QApplication::exec();
}
