#include "SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace {

// Bus names of the services QtKeychain can keep secrets with on Linux.
const char* const kSecretServices[] = {"org.freedesktop.secrets", "org.kde.kwalletd5",
                                       "org.kde.kwalletd6"};

QString KeyPart(const QString& text) {
  return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral(":[]")));
}

}  // namespace

QString SecretKey(const TSnmpIdentity& identity, TSecretKind kind) {
  return QStringLiteral("snmpv3/") + KeyPart(identity.User) + QLatin1Char('@') +
         KeyPart(identity.Host.toLower()) +
         (kind == TSecretKind::Authentication ? QStringLiteral("/auth") : QStringLiteral("/priv"));
}

TKeychainStore::TKeychainStore(QString service, QObject* parent)
    : QObject(parent), FService(std::move(service)) {}

void TKeychainStore::Start(QKeychain::Job* job, const QString& key,
                           std::function<void(QKeychain::Job&)> finished) {
  // Jobs delete themselves once finished. They are not children of the store: QtKeychain's
  // libsecret callbacks hold on to a job until it ends, so deleting one early would crash.
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  job->setKey(key);
  connect(job, &QKeychain::Job::finished, this,
          [finished = std::move(finished)](QKeychain::Job* ended) { finished(*ended); });
  job->start();
}

void TKeychainStore::Fail(const QKeychain::Job& job, const TSecretCallback& done) {
  const QString text = job.errorString();
  switch (job.error()) {
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
      done({TSecretOutcome::NoKeyring, {}, text});
      return;
    case QKeychain::OtherError:
      break;
    default:
      done({TSecretOutcome::KeyringError, {}, text});
      return;
  }
  // The libsecret backend says OtherError alike for a missing bus, a missing secret service and
  // a failing one; the bus tells them apart (a missing service was not even activatable).
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) {
    done({TSecretOutcome::NoKeyring, {}, text});
    return;
  }
  auto* watcher =
      new QDBusPendingCallWatcher(bus.interface()->asyncCall(QStringLiteral("ListNames")), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [text, done](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QStringList> names = *call;
            const bool served = !names.isError() &&
                                std::any_of(std::begin(kSecretServices), std::end(kSecretServices),
                                            [&](const char* name) {
                                              return names.value().contains(QLatin1String(name));
                                            });
            done({served ? TSecretOutcome::KeyringError : TSecretOutcome::NoKeyring, {}, text});
          });
}

void TKeychainStore::Read(const TSnmpIdentity& identity, bool withPrivacy, TSecretCallback done) {
  const QString privKey = SecretKey(identity, TSecretKind::Privacy);
  Start(new QKeychain::ReadPasswordJob(FService), SecretKey(identity, TSecretKind::Authentication),
        [this, privKey, withPrivacy, done](QKeychain::Job& authJob) {
          if (authJob.error() != QKeychain::NoError && authJob.error() != QKeychain::EntryNotFound)
            return Fail(authJob, done);
          const QString auth = static_cast<QKeychain::ReadPasswordJob&>(authJob).textData();
          if (auth.isEmpty()) return done({TSecretOutcome::NotFound, {}, {}});
          if (!withPrivacy) return done({TSecretOutcome::Done, {auth, {}}, {}});
          Start(new QKeychain::ReadPasswordJob(FService), privKey,
                [this, auth, done](QKeychain::Job& privJob) {
                  if (privJob.error() != QKeychain::NoError &&
                      privJob.error() != QKeychain::EntryNotFound)
                    return Fail(privJob, done);
                  const QString priv = static_cast<QKeychain::ReadPasswordJob&>(privJob).textData();
                  if (priv.isEmpty()) return done({TSecretOutcome::NotFound, {}, {}});
                  done({TSecretOutcome::Done, {auth, priv}, {}});
                });
        });
}

void TKeychainStore::Write(const TSnmpIdentity& identity, const TSnmpPassphrases& passphrases,
                           TSecretCallback done) {
  auto* authJob = new QKeychain::WritePasswordJob(FService);
  authJob->setTextData(passphrases.Authentication);
  const QString privKey = SecretKey(identity, TSecretKind::Privacy);
  const QString priv = passphrases.Privacy;
  Start(authJob, SecretKey(identity, TSecretKind::Authentication),
        [this, privKey, priv, done](QKeychain::Job& ended) {
          if (ended.error() != QKeychain::NoError) return Fail(ended, done);
          if (priv.isEmpty()) return done({});
          auto* privJob = new QKeychain::WritePasswordJob(FService);
          privJob->setTextData(priv);
          Start(privJob, privKey, [this, done](QKeychain::Job& privEnded) {
            if (privEnded.error() != QKeychain::NoError) return Fail(privEnded, done);
            done({});
          });
        });
}

void TKeychainStore::Delete(const TSnmpIdentity& identity, TSecretCallback done) {
  const QString privKey = SecretKey(identity, TSecretKind::Privacy);
  const auto failed = [](const QKeychain::Job& job) {
    return job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound;
  };
  Start(new QKeychain::DeletePasswordJob(FService),
        SecretKey(identity, TSecretKind::Authentication),
        [this, privKey, failed, done](QKeychain::Job& authJob) {
          if (failed(authJob)) return Fail(authJob, done);
          Start(new QKeychain::DeletePasswordJob(FService), privKey,
                [this, failed, done](QKeychain::Job& privJob) {
                  if (failed(privJob)) return Fail(privJob, done);
                  done({});
                });
        });
}
