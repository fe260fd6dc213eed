// Shows the main window connected to an agent, with the options dialog beside it, and saves a
// picture of the screen: corvane_screenshot HOST[:PORT] OUT.png [TAB [AGENT_PID]]
// With AGENT_PID, the agent is stopped (SIGSTOP) after the first poll and the window is shown
// polling a host that no longer answers, without the dialog.
#include <signal.h>

#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "MainWindow.h"
#include "OptionsDialog.h"
#include "WhenIdle.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  if (argc < 3) return 2;
  const QString host = QString::fromLocal8Bit(argv[1]);
  const QString out = QString::fromLocal8Bit(argv[2]);
  const int tab = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 0;
  const pid_t agent = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;

  TForm1 form(QStringLiteral("/tmp/corvane-screenshot/corvane"));
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.ReceiveTimeoutMs = 2000;
  form.move(10, 10);
  form.resize(640, 600);
  form.show();
  form.cbxHost->setEditText(host);
  options->chkAutoHeight->setChecked(true);
  form.acConnect->trigger();
  form.PageControl1->setCurrentIndex(tab);
  if (agent == 0) {
    options->move(form.frameGeometry().right() + 12, 10);
    options->show();
  }
  const auto save = [&out] {
    QApplication::primaryScreen()->grabWindow(0).save(out);
    QApplication::quit();
  };
  WhenIdle(form, [&] {
    QTimer::singleShot(1500, [&] {
      if (agent != 0) kill(agent, SIGSTOP);
      form.acRefresh->trigger();
      WhenIdle(form, [&] {
        if (agent != 0) kill(agent, SIGCONT);
        QTimer::singleShot(300, save);
      });
    });
  });
  return QApplication::exec();
}
