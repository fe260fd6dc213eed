#pragma once

#include <QMap>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

#include "SecretStore.h"

// A keyring in memory. Answers come from the event loop like the real one's, or wait in
// Pending until Release() when Hold is set. Forced outcomes stand for a missing or failing
// keyring.
class TFakeSecretStore : public QObject, public TSecretStore {
 public:
  QMap<QString, QString> Entries;  // by SecretKey
  TSecretOutcome ReadOutcome = TSecretOutcome::Done;
  TSecretOutcome WriteOutcome = TSecretOutcome::Done;
  QString Error = QStringLiteral("The collection is locked");
  bool Hold = false;
  int Reads = 0, Writes = 0;
  std::deque<std::function<void()>> Pending;

  void Read(const TSnmpIdentity& identity, bool withPrivacy, TSecretCallback done) override {
    ++Reads;
    Answer(std::move(done), [this, identity, withPrivacy]() -> TSecretResult {
      if (ReadOutcome != TSecretOutcome::Done) return {ReadOutcome, {}, Error};
      const QString auth = Entries.value(SecretKey(identity, TSecretKind::Authentication));
      const QString priv = Entries.value(SecretKey(identity, TSecretKind::Privacy));
      if (auth.isEmpty() || (withPrivacy && priv.isEmpty()))
        return {TSecretOutcome::NotFound, {}, {}};
      return {TSecretOutcome::Done, {auth, withPrivacy ? priv : QString()}, {}};
    });
  }

  void Write(const TSnmpIdentity& identity, const TSnmpPassphrases& passphrases,
             TSecretCallback done) override {
    ++Writes;
    Answer(std::move(done), [this, identity, passphrases]() -> TSecretResult {
      if (WriteOutcome != TSecretOutcome::Done) return {WriteOutcome, {}, Error};
      Entries[SecretKey(identity, TSecretKind::Authentication)] = passphrases.Authentication;
      if (!passphrases.Privacy.isEmpty())
        Entries[SecretKey(identity, TSecretKind::Privacy)] = passphrases.Privacy;
      return {};
    });
  }

  void Delete(const TSnmpIdentity& identity, TSecretCallback done) override {
    Answer(std::move(done), [this, identity]() -> TSecretResult {
      Entries.remove(SecretKey(identity, TSecretKind::Authentication));
      Entries.remove(SecretKey(identity, TSecretKind::Privacy));
      return {};
    });
  }

  void Release() {
    while (!Pending.empty()) {
      auto next = std::move(Pending.front());
      Pending.pop_front();
      next();
    }
  }

 private:
  void Answer(TSecretCallback done, std::function<TSecretResult()> outcome) {
    auto run = [done = std::move(done), outcome = std::move(outcome)] { done(outcome()); };
    if (Hold)
      Pending.push_back(std::move(run));
    else
      QTimer::singleShot(0, this, std::move(run));
  }
};
