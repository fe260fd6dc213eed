#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "OptionsDialog.h"
#include "SecretStore.h"

class QWidget;

struct TPassphraseAnswer {
  bool Cancelled = false;        // the dialog was cancelled: no Connect
  TSnmpPassphrases Passphrases;  // what the level needs; the rest empty
  bool FromKeyring = false;      // read from the store rather than typed
  QString KeyringProblem;        // a failed keyring read or store, worth a log line; never a secret
};

using TPassphraseCallback = std::function<void(const TPassphraseAnswer&)>;

// Finds the passphrases a Connect needs: from the store when it holds all of them, otherwise
// from a TPassphraseDialog, storing the typed ones when "Remember in the keyring" is checked.
class TPassphraseSource : public QObject {
  Q_OBJECT

 public:
  // The store must outlive this source.
  explicit TPassphraseSource(TSecretStore& store, QObject* parent = nullptr);

  // Calls done once, from the event loop: at once with empty passphrases for noAuthNoPriv, with
  // the stored ones when all are there, else after the dialog (window-modal over parent) is
  // closed and any store is finished. A failed store does not hold back the typed passphrases.
  // done is dropped when this source or a given parent is destroyed first.
  void RequestPassphrases(const QString& user, const QString& host, TSecurityLevel level,
                          QWidget* parent, TPassphraseCallback done);
  // Deletes the stored passphrases of the identity, so that the next request asks again (say,
  // after the agent reported a wrong digest); done, if given, gets the outcome.
  void Forget(const QString& user, const QString& host, TSecretCallback done = nullptr);

 private:
  void Ask(const TSnmpIdentity& identity, TSecurityLevel level, QWidget* parent,
           bool keyringAvailable, const QString& problem, const TPassphraseCallback& done);

  TSecretStore& FStore;
};
