#include "PassphraseSource.h"

#include <QCheckBox>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "PassphraseDialog.h"

namespace {

// The widget a dialog is to open over, which may be destroyed meanwhile.
struct TParent {
  explicit TParent(QWidget* widget) : Widget(widget), Given(widget != nullptr) {}
  // A parent was given and is gone.
  bool Gone() const { return Given && !Widget; }
  QPointer<QWidget> Widget;
  bool Given;
};

// Wraps done so that it is dropped once source, or parent when one was given, is gone.
TPassphraseCallback Guarded(QObject* source, QWidget* parent, TPassphraseCallback done) {
  return [source = QPointer<QObject>(source), parent = TParent(parent),
          done = std::move(done)](const TPassphraseAnswer& answer) {
    if (source && !parent.Gone()) done(answer);
  };
}

QString IdentityKey(const TSnmpIdentity& identity) {
  return SecretKey(identity, TSecretKind::Authentication);
}

}  // namespace

TPassphraseSource::TPassphraseSource(TSecretStore& store, QObject* parent,
                                     std::chrono::milliseconds keyringLimit)
    : QObject(parent), FStore(store), FKeyringLimit(keyringLimit) {}

void TPassphraseSource::RequestPassphrases(const QString& user, const QString& host,
                                           TSecurityLevel level, QWidget* parent,
                                           TPassphraseCallback done) {
  Cancel();
  const uint64_t request = FRequest;
  const TPassphraseCallback reply = Guarded(this, parent, std::move(done));
  const TSnmpIdentity identity{user, host};
  FOutstanding = TOutstanding{identity, false, std::nullopt};
  if (level == TSecurityLevel::NoAuthNoPriv) {
    QTimer::singleShot(0, this, [this, request, reply] {
      if (request == FRequest) reply({});
    });
    return;
  }
  const TAsking silent{false, QStringLiteral("The keyring did not answer."), false, {}};
  if (FDistrusted.contains(IdentityKey(identity))) {
    // Asked again with "Remember" checked: typed passphrases that work replace the stored ones.
    AskLater(
        identity, level, parent,
        {true,
         QStringLiteral("The host reported a wrong digest for the passphrases in the keyring."),
         true,
         {}},
        reply);
    return;
  }
  // The keyring answers one question at a time: a new one would wait behind the silent one.
  if (FReadPending) {
    AskLater(identity, level, parent, silent, reply);
    return;
  }
  // Whichever comes first, the keyring's answer or the limit, decides; the other is dropped.
  const auto decided = std::make_shared<bool>(false);
  const TParent window(parent);
  const auto current = [this, request, decided, window] {
    return request == FRequest && !*decided && !window.Gone();
  };
  QTimer::singleShot(FKeyringLimit, this, [=, this] {
    if (!current()) return;
    *decided = true;
    Ask(identity, level, window.Widget, silent, reply);
  });
  FReadPending = true;
  QPointer<TPassphraseSource> self(this);
  FStore.Read(
      identity, level == TSecurityLevel::AuthPriv,
      [self, current, decided, identity, level, window, silent, reply](const TSecretResult& read) {
        if (!self) return;
        self->FReadPending = false;
        if (!current()) return;
        *decided = true;
        switch (read.Outcome) {
          case TSecretOutcome::Done:
            if (self->FOutstanding) self->FOutstanding->FromKeyring = true;
            reply({false, read.Passphrases, true, {}});
            break;
          case TSecretOutcome::NotFound:
            self->Ask(identity, level, window.Widget, {}, reply);
            break;
          case TSecretOutcome::NoKeyring:
            self->Ask(identity, level, window.Widget, silent, reply);
            break;
          case TSecretOutcome::KeyringError: {
            const QString problem = QStringLiteral("The keyring could not be read: ") + read.Error;
            self->Ask(identity, level, window.Widget, {true, problem, false, problem}, reply);
            break;
          }
        }
      });
}

void TPassphraseSource::AskLater(const TSnmpIdentity& identity, TSecurityLevel level,
                                 QWidget* parent, const TAsking& asking,
                                 const TPassphraseCallback& done) {
  QTimer::singleShot(
      0, this, [this, request = FRequest, identity, level, window = TParent(parent), asking, done] {
        if (request == FRequest && !window.Gone())
          Ask(identity, level, window.Widget, asking, done);
      });
}

void TPassphraseSource::Ask(const TSnmpIdentity& identity, TSecurityLevel level, QWidget* parent,
                            const TAsking& asking, const TPassphraseCallback& done) {
  auto* dialog = new TPassphraseDialog(identity, level, parent);
  FDialog = dialog;
  dialog->SetKeyringAvailable(asking.Keyring);
  dialog->SetNote(asking.Note);
  dialog->chkRemember->setChecked(asking.Keyring && asking.Remember);
  // finished comes before the dialog empties its fields.
  connect(dialog, &QDialog::finished, this,
          [this, dialog, request = FRequest, problem = asking.Problem, done](int result) {
            dialog->deleteLater();
            if (FDialog == dialog) FDialog.clear();
            if (request != FRequest) return;
            if (result != QDialog::Accepted) return done({true, {}, false, problem});
            const TSnmpPassphrases typed = dialog->Passphrases();
            if (dialog->Remember() && FOutstanding) FOutstanding->ToStore = typed;
            done({false, typed, false, problem});
          });
  dialog->open();
}

void TPassphraseSource::Cancel() {
  ++FRequest;
  FOutstanding.reset();
  if (FDialog) FDialog->reject();
}

void TPassphraseSource::Accepted(TSecretCallback done) {
  if (!FOutstanding) return;
  const TOutstanding accepted = std::move(*FOutstanding);
  FOutstanding.reset();
  if (!accepted.ToStore) return;
  FStore.Write(accepted.Identity, *accepted.ToStore,
               [self = QPointer<TPassphraseSource>(this), key = IdentityKey(accepted.Identity),
                done = std::move(done)](const TSecretResult& written) {
                 if (!self) return;
                 if (written.Outcome == TSecretOutcome::Done) self->FDistrusted.remove(key);
                 if (done) done(written);
               });
}

void TPassphraseSource::Rejected() {
  if (!FOutstanding) return;
  if (FOutstanding->FromKeyring) FDistrusted.insert(IdentityKey(FOutstanding->Identity));
  FOutstanding.reset();
}

void ReadStoredPassphrases(TSecretStore& store, const TSnmpIdentity& identity, TSecurityLevel level,
                           QObject* context, TStoredCallback done,
                           std::chrono::milliseconds limit) {
  // Whichever comes first, the keyring's answer or the limit, decides.
  const auto decided = std::make_shared<bool>(false);
  const auto finish = [decided, context = QPointer<QObject>(context),
                       done = std::move(done)](const std::optional<TSnmpPassphrases>& found) {
    if (*decided || !context) return;
    *decided = true;
    done(found);
  };
  if (level == TSecurityLevel::NoAuthNoPriv) {
    QTimer::singleShot(0, context, [finish] { finish(TSnmpPassphrases{}); });
    return;
  }
  QTimer::singleShot(limit, context, [finish] { finish(std::nullopt); });
  store.Read(identity, level == TSecurityLevel::AuthPriv, [finish](const TSecretResult& read) {
    finish(read.Outcome == TSecretOutcome::Done ? std::optional(read.Passphrases) : std::nullopt);
  });
}
