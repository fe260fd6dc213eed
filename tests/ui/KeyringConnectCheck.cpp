// An SNMPv3 Connect of the window with the desktop keyring as it is, on a real display:
//   keyring_connect_check silent|stores [SCREENSHOT.png]
// silent: the keyring gives nothing (no bus, a dead one, a job that never ends); the passphrase
// dialog must come within a few seconds, say "The keyring did not answer." and offer no storing.
// stores: a working keyring (keyring_test.sh "unlocked"); the dialog offers storing, and what was
// typed is in the keyring once the Connect is through.
// Either way the typed passphrases must then connect to an snmpd started here. Before that, a
// second snmpd is watched from start-up: it connects with what the keyring holds for it
// ("stores"), or waits for its passphrases (silent), without a dialog either way. Prints what it
// saw; exits 0 when all of it held.
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <optional>

#include "MainWindow.h"
#include "OptionsDialog.h"
#include "PassphraseDialog.h"
#include "SnmpAgents.h"

namespace {

int Failures = 0;

void Check(bool held, const QString& what) {
  std::printf("%s: %s\n", held ? "ok" : "FAIL", qPrintable(what));
  if (!held) ++Failures;
}

// Runs the event loop until done() or the time is up.
bool WaitFor(const std::function<bool()>& done, int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(10);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  const QString expect = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  const QString screenshot = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  if (expect != "silent" && expect != "stores") {
    std::fprintf(stderr, "usage: %s silent|stores [SCREENSHOT.png]\n", argv[0]);
    return 2;
  }
  if (expect == "stores" && qEnvironmentVariable("CORVANE_TEST_KEYRING") != "unlocked") {
    std::printf("[  SKIPPED ] needs a private unlocked keyring (keyring_test.sh); missing: %s\n",
                qPrintable(qEnvironmentVariable("CORVANE_TEST_KEYRING_MISSING", "-")));
    return 0;
  }
  std::printf("platform %s, session bus \"%s\"\n", qPrintable(QApplication::platformName()),
              qPrintable(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS", "(none)")));

  const char* const user =
      "createUser corvane-priv SHA-256 pewter-auth-256 AES pewter-priv-aes\n"
      "rouser corvane-priv priv\n";
  TSnmpdAgent snmpd, watchedAgent;
  snmpd.Start(user);
  watchedAgent.Start(user);
  const QString host = QStringLiteral("127.0.0.1:%1").arg(snmpd.Port());
  const QString watched = QStringLiteral("127.0.0.1:%1").arg(watchedAgent.Port());
  const TSnmpPassphrases typed{QStringLiteral("pewter-auth-256"),
                               QStringLiteral("pewter-priv-aes")};
  const bool silent = expect == "silent";

  QTemporaryDir folder;
  QFile settings(folder.path() + "/corvane.XML");
  if (!settings.open(QIODevice::WriteOnly)) return 1;
  settings.write(("<Corvane><Settings><Watch><Host><Name>" + watched +
                  "</Name><Version>3</Version><SecurityName>corvane-priv</SecurityName>"
                  "</Host></Watch></Settings></Corvane>")
                     .toUtf8());
  settings.close();
  if (!silent) {
    TKeychainStore keyring;
    std::optional<TSecretResult> written;
    keyring.Write({QStringLiteral("corvane-priv"), watched}, typed,
                  [&](const TSecretResult& result) { written = result; });
    WaitFor([&] { return written.has_value(); }, 10000);
    Check(written && written->Outcome == TSecretOutcome::Done,
          QStringLiteral("the watched host's passphrases are in the keyring"));
  }

  TForm1 form(folder.path() + "/corvane");
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.move(20, 20);
  form.show();
  TPoller* background = form.WatchList.Find(watched);
  if (!background) {
    Check(false, QStringLiteral("%1 is watched").arg(watched));
    return 1;
  }
  const auto dialogShown = [&form] {
    auto* dialog = form.findChild<TPassphraseDialog*>();
    return dialog && dialog->isVisible();
  };
  if (silent) {
    WaitFor(dialogShown, 4000);
    Check(!dialogShown() && background->Status().State == TPollerState::PassphraseNeeded,
          QStringLiteral("the watched host waits for its passphrases without a dialog"));
  } else {
    WaitFor([&] { return background->Connected() || dialogShown(); }, 15000);
    Check(!dialogShown() && background->Connected(),
          QStringLiteral("the watched host connected with the keyring's passphrases"));
  }
  options->SetConnectionSettings({TSnmpVersion::V3, QStringLiteral("corvane-priv"),
                                  TSecurityLevel::AuthPriv, TAuthProtocol::Sha256,
                                  TPrivProtocol::Aes});
  form.cbxHost->setEditText(host);

  QElapsedTimer clock;
  clock.start();
  form.acConnect->trigger();
  TPassphraseDialog* dialog = nullptr;
  WaitFor(
      [&] {
        dialog = form.findChild<TPassphraseDialog*>();
        return dialog && dialog->isVisible();
      },
      8000);
  const qint64 elapsed = clock.elapsed();
  if (!dialog || !dialog->isVisible()) {
    Check(false, QStringLiteral("no passphrase dialog after %1 ms; status \"%2\"")
                     .arg(elapsed)
                     .arg(form.lblStatus->text()));
    return 1;
  }
  Check(elapsed < 5000, QStringLiteral("the dialog came after %1 ms").arg(elapsed));
  const QString note = dialog->lblNote->isVisible() ? dialog->lblNote->text() : QString();
  Check(note == (silent ? QStringLiteral("The keyring did not answer.") : QString()),
        QStringLiteral("the dialog's line: \"%1\"").arg(note));
  Check(dialog->chkRemember->isVisible() == !silent,
        QStringLiteral("\"Remember in the keyring\" offered: %1")
            .arg(dialog->chkRemember->isVisible() ? "yes" : "no"));
  if (!screenshot.isEmpty()) {
    WaitFor([] { return false; }, 500);  // painted
    QApplication::primaryScreen()->grabWindow(0).save(screenshot);
  }

  dialog->edtAuth->setText(typed.Authentication);
  dialog->edtPriv->setText(typed.Privacy);
  dialog->chkRemember->setChecked(!silent);
  dialog->accept();
  const bool connected =
      WaitFor([&] { return !form.Busy() && form.Poller() && form.Poller()->Connected(); }, 20000);
  Check(connected, QStringLiteral("connected; status \"%1\"").arg(form.lblStatus->text()));

  if (!silent) {
    TKeychainStore keyring;
    std::optional<TSecretResult> read;
    keyring.Read({QStringLiteral("corvane-priv"), host}, true,
                 [&](const TSecretResult& result) { read = result; });
    WaitFor([&] { return read.has_value(); }, 10000);
    Check(read && read->Outcome == TSecretOutcome::Done &&
              read->Passphrases.Authentication == typed.Authentication &&
              read->Passphrases.Privacy == typed.Privacy,
          QStringLiteral("the keyring holds the typed passphrases"));
  }
  form.close();
  return Failures == 0 ? 0 : 1;
}
