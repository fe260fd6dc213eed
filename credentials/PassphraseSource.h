#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

#include "ConnectionSettings.h"
#include "SecretStore.h"

class QWidget;
class TPassphraseDialog;

struct TPassphraseAnswer {
  bool Cancelled = false;        // the dialog was cancelled: no Connect
  TSnmpPassphrases Passphrases;  // what the level needs; the rest empty
  bool FromKeyring = false;      // read from the store rather than typed
  QString KeyringProblem;        // a failed keyring read, worth a log line; never a secret
};

using TPassphraseCallback = std::function<void(const TPassphraseAnswer&)>;
using TStoredCallback = std::function<void(const std::optional<TSnmpPassphrases>&)>;

// Finds the passphrases a Connect needs: from the store when it holds all of them and answers in
// time, otherwise from a TPassphraseDialog. Typed passphrases the user asks to remember are
// stored only once the agent has accepted them (Accepted), so wrong ones never replace right
// ones.
class TPassphraseSource : public QObject {
  Q_OBJECT

 public:
  // The longest a Connect waits for the keyring before it asks the user instead.
  static constexpr std::chrono::milliseconds kKeyringLimit{3000};

  // The store must outlive this source.
  explicit TPassphraseSource(TSecretStore& store, QObject* parent = nullptr,
                             std::chrono::milliseconds keyringLimit = kKeyringLimit);

  // Calls done once, from the event loop: at once with empty passphrases for noAuthNoPriv, with
  // the stored ones when all are there, else after the dialog (window-modal over parent) is
  // closed. A keyring that does not answer within the limit, or that is not there, is not
  // waited for: the dialog says so and offers no storing. One request at a time: a new one
  // drops the one under way, as Cancel does. done is dropped when this source or a given parent
  // is destroyed first.
  void RequestPassphrases(const QString& user, const QString& host, TSecurityLevel level,
                          QWidget* parent, TPassphraseCallback done);
  // Drops the request under way (its dialog closes, done never runs) and whatever typed
  // passphrases were waiting for the agent's verdict.
  void Cancel();
  // The agent accepted the passphrases of the last answer with an authenticated reply: typed
  // ones the user asked to remember are stored now, and done, if given, gets the outcome.
  void Accepted(TSecretCallback done = nullptr);
  // The agent reported a wrong digest for the passphrases of the last answer. Reports carry no
  // proof of origin, so nothing is deleted: the next request for the identity asks the user
  // even though the store holds passphrases, until typed ones have been accepted and stored.
  void Rejected();

 private:
  // How the dialog is set up: whether it offers storing, its line, "Remember" checked.
  struct TAsking {
    bool Keyring = true;
    QString Note;
    bool Remember = false;
    QString Problem;  // goes into the answer
  };
  // The last answer, until the agent has judged it.
  struct TOutstanding {
    TSnmpIdentity Identity;
    bool FromKeyring = false;
    std::optional<TSnmpPassphrases> ToStore;
  };

  void Ask(const TSnmpIdentity& identity, TSecurityLevel level, QWidget* parent,
           const TAsking& asking, const TPassphraseCallback& done);
  // Asks from the event loop, unless the request is dropped first.
  void AskLater(const TSnmpIdentity& identity, TSecurityLevel level, QWidget* parent,
                const TAsking& asking, const TPassphraseCallback& done);

  TSecretStore& FStore;
  std::chrono::milliseconds FKeyringLimit;
  uint64_t FRequest =
      0;  // bumped by each request and Cancel: what belongs to older ones is dropped
  bool FReadPending = false;  // a read has not been answered yet; the next would queue behind it
  QPointer<TPassphraseDialog> FDialog;
  std::optional<TOutstanding> FOutstanding;
  QSet<QString> FDistrusted;  // identities whose stored passphrases drew a wrong digest
};

// Reads the stored passphrases of an identity without asking anyone (for hosts polled in the
// background): done gets them when the store holds all that level needs and answers within
// limit, and nothing otherwise. Called once, from the event loop, unless context goes first.
void ReadStoredPassphrases(TSecretStore& store, const TSnmpIdentity& identity, TSecurityLevel level,
                           QObject* context, TStoredCallback done,
                           std::chrono::milliseconds limit = TPassphraseSource::kKeyringLimit);
