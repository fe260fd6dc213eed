#pragma once

// Where SNMPv3 passphrases are kept between runs: the desktop keyring, never the settings file.
//
// Each identity (a user name at one host) has up to two entries under the service "Corvane":
//   snmpv3/<user>@<host>/auth   the authentication passphrase
//   snmpv3/<user>@<host>/priv   the privacy passphrase (authPriv only)
// <user> and <host> are percent-encoded (all but letters, digits, "-._~" and, for IPv6 hosts,
// ":[]"), so an '@' or '/' inside a name cannot make two identities share an entry; the host is
// lower-cased, as host names are case-insensitive. User names keep their case.

#include <QObject>
#include <QString>
#include <functional>

namespace QKeychain {
class Job;
}

// The SNMPv3 user whose passphrases these are, at the host it connects to.
struct TSnmpIdentity {
  QString User;
  QString Host;
};

struct TSnmpPassphrases {
  QString Authentication;
  QString Privacy;  // empty below authPriv
};

enum class TSecretOutcome {
  Done,          // read: every entry asked for was there; write, delete: done
  NotFound,      // read: an entry asked for is missing (or empty)
  NoKeyring,     // no secret service on the session bus, or no session bus at all
  KeyringError,  // the secret service is there but failed: locked, refused, no collection...
};

struct TSecretResult {
  TSecretOutcome Outcome = TSecretOutcome::Done;
  TSnmpPassphrases Passphrases;  // read with Done only
  QString Error;                 // NoKeyring and KeyringError: the keyring's words, never a secret
};

using TSecretCallback = std::function<void(const TSecretResult&)>;

enum class TSecretKind { Authentication, Privacy };

// The entry name of one passphrase of the identity (see the top of this file).
QString SecretKey(const TSnmpIdentity& identity, TSecretKind kind);

// The passphrases of SNMPv3 identities, kept somewhere safer than the settings file. Every call
// returns at once; its callback runs exactly once, later, from the event loop, unless the store
// is destroyed first.
class TSecretStore {
 public:
  virtual ~TSecretStore() = default;
  // Reads the authentication passphrase and, with withPrivacy, the privacy one; NotFound when
  // any of them is missing.
  virtual void Read(const TSnmpIdentity& identity, bool withPrivacy, TSecretCallback done) = 0;
  // Stores the authentication passphrase and, when not empty, the privacy one.
  virtual void Write(const TSnmpIdentity& identity, const TSnmpPassphrases& passphrases,
                     TSecretCallback done) = 0;
  // Deletes both entries of the identity; entries already missing are no failure.
  virtual void Delete(const TSnmpIdentity& identity, TSecretCallback done) = 0;
};

// The desktop keyring through QtKeychain (on Linux the freedesktop secret service, such as
// gnome-keyring, or KWallet). QtKeychain's fallback to a plain-text file stays off.
class TKeychainStore : public QObject, public TSecretStore {
  Q_OBJECT

 public:
  explicit TKeychainStore(QString service = QStringLiteral("Corvane"), QObject* parent = nullptr);

  void Read(const TSnmpIdentity& identity, bool withPrivacy, TSecretCallback done) override;
  void Write(const TSnmpIdentity& identity, const TSnmpPassphrases& passphrases,
             TSecretCallback done) override;
  void Delete(const TSnmpIdentity& identity, TSecretCallback done) override;

 private:
  // Starts a job on the entry; finished runs when it ends, unless this store is gone by then.
  void Start(QKeychain::Job* job, const QString& key,
             std::function<void(QKeychain::Job&)> finished);
  // Tells NoKeyring from KeyringError for a job that failed, and calls done with it.
  void Fail(const QKeychain::Job& job, const TSecretCallback& done);

  QString FService;
};
