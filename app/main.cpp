#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "CorvaneIcon.h"
#include "HistoryCommand.h"
#include "HistoryWriter.h"
#include "MainWindow.h"
#include "OptionsDialog.h"

namespace {

// `--history`: the stored rows to standard output, without a window or a display.
int PrintHistory(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  QFile out, err;
  out.open(stdout, QIODevice::WriteOnly);
  err.open(stderr, QIODevice::WriteOnly);
  return RunHistoryCommand(QCoreApplication::arguments(), DefaultHistoryPath(), out, err);
}

}  // namespace

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (IsHistoryCommand(arguments)) return PrintHistory(argc, argv);

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

  // Outlives the window, so that the polls still queued are written at the end.
  THistoryWriter history;
  TForm1 Form1;
  auto* frmOptions = new TfrmOptions(&Form1);
  Form1.SetOptionsDialog(frmOptions);
  Form1.UseHistory(history, DefaultHistoryPath());
  Form1.show();
  return QApplication::exec();
}
