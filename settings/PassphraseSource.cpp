#include "PassphraseSource.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "PassphraseDialog.h"

namespace {

// Wraps done so that it is dropped once source, or parent when one was given, is gone.
TPassphraseCallback Guarded(QObject* source, QWidget* parent, TPassphraseCallback done) {
  return [source = QPointer<QObject>(source), parent = QPointer<QWidget>(parent),
          hadParent = parent != nullptr, done = std::move(done)](const TPassphraseAnswer& answer) {
    if (source && (!hadParent || parent)) done(answer);
  };
}

}  // namespace

TPassphraseSource::TPassphraseSource(TSecretStore& store, QObject* parent)
    : QObject(parent), FStore(store) {}

void TPassphraseSource::RequestPassphrases(const QString& user, const QString& host,
                                           TSecurityLevel level, QWidget* parent,
                                           TPassphraseCallback done) {
  const TPassphraseCallback reply = Guarded(this, parent, std::move(done));
  if (level == TSecurityLevel::NoAuthNoPriv) {
    QTimer::singleShot(0, this, [reply] { reply({}); });
    return;
  }
  const TSnmpIdentity identity{user, host};
  QPointer<TPassphraseSource> self(this);
  QPointer<QWidget> window(parent);
  FStore.Read(identity, level == TSecurityLevel::AuthPriv,
              [self, window, hadParent = parent != nullptr, identity, level,
               reply](const TSecretResult& read) {
                if (!self || (hadParent && !window)) return;
                switch (read.Outcome) {
                  case TSecretOutcome::Done:
                    reply({false, read.Passphrases, true, {}});
                    break;
                  case TSecretOutcome::NotFound:
                    self->Ask(identity, level, window, true, {}, reply);
                    break;
                  case TSecretOutcome::NoKeyring:
                    self->Ask(identity, level, window, false, {}, reply);
                    break;
                  case TSecretOutcome::KeyringError:
                    self->Ask(identity, level, window, true,
                              QStringLiteral("The keyring could not be read: ") + read.Error,
                              reply);
                    break;
                }
              });
}

void TPassphraseSource::Ask(const TSnmpIdentity& identity, TSecurityLevel level, QWidget* parent,
                            bool keyringAvailable, const QString& problem,
                            const TPassphraseCallback& done) {
  auto* dialog = new TPassphraseDialog(identity, level, parent);
  dialog->SetKeyringAvailable(keyringAvailable);
  // finished comes before the dialog empties its fields.
  connect(dialog, &QDialog::finished, this, [this, dialog, identity, problem, done](int result) {
    dialog->deleteLater();
    if (result != QDialog::Accepted) return done({true, {}, false, problem});
    const TSnmpPassphrases typed = dialog->Passphrases();
    if (!dialog->Remember()) return done({false, typed, false, problem});
    FStore.Write(identity, typed, [typed, problem, done](const TSecretResult& written) {
      QString note = problem;
      if (written.Outcome != TSecretOutcome::Done)
        note =
            QStringLiteral("The passphrases could not be stored in the keyring: ") + written.Error;
      done({false, typed, false, note});
    });
  });
  dialog->open();
}

void TPassphraseSource::Forget(const QString& user, const QString& host, TSecretCallback done) {
  FStore.Delete({user, host}, [self = QPointer<TPassphraseSource>(this),
                               done = std::move(done)](const TSecretResult& result) {
    if (self && done) done(result);
  });
}
