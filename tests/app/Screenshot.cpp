// Shows the main window connected to an agent, with the options dialog beside it, and saves
// a picture of the screen: corvane_screenshot HOST[:PORT] OUT.png [TAB]
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "MainWindow.h"
#include "OptionsDialog.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  if (argc < 3) return 2;
  const QString host = QString::fromLocal8Bit(argv[1]);
  const QString out = QString::fromLocal8Bit(argv[2]);
  const int tab = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 0;

  TForm1 form(QStringLiteral("/tmp/corvane-screenshot/corvane"));
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.move(10, 10);
  form.resize(640, 600);
  form.show();
  form.cbxHost->setEditText(host);
  options->chkAutoHeight->setChecked(true);
  form.acConnect->trigger();
  form.PageControl1->setCurrentIndex(tab);
  options->move(form.frameGeometry().right() + 12, 10);
  options->show();
  QTimer::singleShot(1500, [&] { form.acRefresh->trigger(); });
  QTimer::singleShot(3000, [&] {
    QApplication::primaryScreen()->grabWindow(0).save(out);
    QApplication::quit();
  });
  return QApplication::exec();
}
