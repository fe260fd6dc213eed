// The keyring store against a real secret service. keyring_test.sh sets up each situation in a
// private D-Bus session and a throw-away home, and names it in CORVANE_TEST_KEYRING; without it
// the tests skip rather than touch the keyring of whoever runs them.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <optional>

#include "SecretStore.h"

namespace {

// Skips unless keyring_test.sh set up this situation.
#define NEEDS_SITUATION(name)                                                                \
  do {                                                                                       \
    if (qEnvironmentVariable("CORVANE_TEST_KEYRING") != QLatin1String(name))                 \
      GTEST_SKIP() << "needs a private secret service (" name                                \
                      "): run through tests/credentials/keyring_test.sh; missing tools: "    \
                   << qPrintable(qEnvironmentVariable("CORVANE_TEST_KEYRING_MISSING", "-")); \
  } while (false)

template <typename Call>
TSecretResult Finish(Call call, qint64* elapsed = nullptr) {
  std::optional<TSecretResult> result;
  QElapsedTimer timer;
  timer.start();
  call([&](const TSecretResult& r) { result = r; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 30000));
  if (elapsed != nullptr) *elapsed = timer.elapsed();
  return result.value_or(TSecretResult{TSecretOutcome::KeyringError, {}, "no answer"});
}

TSecretResult Read(TKeychainStore& store, const TSnmpIdentity& who, bool withPrivacy) {
  return Finish([&](TSecretCallback done) { store.Read(who, withPrivacy, done); });
}
TSecretResult Write(TKeychainStore& store, const TSnmpIdentity& who, const TSnmpPassphrases& p) {
  return Finish([&](TSecretCallback done) { store.Write(who, p, done); });
}
TSecretResult Delete(TKeychainStore& store, const TSnmpIdentity& who) {
  return Finish([&](TSecretCallback done) { store.Delete(who, done); });
}

const TSnmpIdentity kOps{"ops", "Router.example"};
const TSnmpPassphrases kBoth{QString::fromUtf8(" Pässe auth 1 "), "priv pass 2"};

TEST(KeychainStore, WritesReadsBackAndDeletes) {
  NEEDS_SITUATION("unlocked");
  TKeychainStore store;
  EXPECT_EQ(Read(store, kOps, false).Outcome, TSecretOutcome::NotFound);
  ASSERT_EQ(Write(store, kOps, kBoth).Outcome, TSecretOutcome::Done);

  TSecretResult read = Read(store, kOps, true);
  ASSERT_EQ(read.Outcome, TSecretOutcome::Done) << qPrintable(read.Error);
  EXPECT_EQ(read.Passphrases.Authentication, kBoth.Authentication);  // blanks and umlaut kept
  EXPECT_EQ(read.Passphrases.Privacy, kBoth.Privacy);
  read = Read(store, {"ops", "router.EXAMPLE"}, false);  // host names ignore case
  EXPECT_EQ(read.Passphrases.Authentication, kBoth.Authentication);
  EXPECT_TRUE(read.Passphrases.Privacy.isEmpty());
  EXPECT_EQ(Read(store, {"OPS", "router.example"}, false).Outcome, TSecretOutcome::NotFound);

  ASSERT_EQ(Delete(store, kOps).Outcome, TSecretOutcome::Done);
  EXPECT_EQ(Read(store, kOps, false).Outcome, TSecretOutcome::NotFound);
  EXPECT_EQ(Delete(store, kOps).Outcome, TSecretOutcome::Done);  // nothing left to delete
}

// An '@' or '/' in a name must not let two identities share an entry. Stored at authNoPriv,
// an identity has no privacy passphrase to read.
TEST(KeychainStore, IdentitiesThatReadAlikeStayApart) {
  NEEDS_SITUATION("unlocked");
  TKeychainStore store;
  const TSnmpIdentity first{"a@b", "c"}, second{"a", "b@c"}, third{"a/x", "b"};
  ASSERT_EQ(Write(store, first, {"first pass", {}}).Outcome, TSecretOutcome::Done);
  ASSERT_EQ(Write(store, second, {"second pass", {}}).Outcome, TSecretOutcome::Done);
  EXPECT_EQ(Read(store, third, false).Outcome, TSecretOutcome::NotFound);
  EXPECT_EQ(Read(store, first, false).Passphrases.Authentication, "first pass");
  EXPECT_EQ(Read(store, second, false).Passphrases.Authentication, "second pass");
  EXPECT_EQ(Read(store, second, true).Outcome, TSecretOutcome::NotFound);
}

// secret-tool, another client of the same service, finds the entries under the documented names.
TEST(KeychainStore, EntriesAreWhereTheKeySchemeSays) {
  NEEDS_SITUATION("unlocked");
  const QString secretTool = QStandardPaths::findExecutable("secret-tool");
  if (secretTool.isEmpty()) GTEST_SKIP() << "secret-tool (libsecret-tools) is not installed";
  TKeychainStore store;
  const TSnmpIdentity who{"op@s", "[fe80::1]"};
  ASSERT_EQ(Write(store, who, kBoth).Outcome, TSecretOutcome::Done);
  const auto lookUp = [&](const QString& key) {
    QProcess tool;
    tool.start(secretTool, {"lookup", "server", "Corvane", "user", key});
    EXPECT_TRUE(tool.waitForFinished(10000));
    return QString::fromUtf8(tool.readAllStandardOutput());
  };
  EXPECT_EQ(lookUp("snmpv3/op%40s@[fe80::1]/auth"), kBoth.Authentication);
  EXPECT_EQ(lookUp("snmpv3/op%40s@[fe80::1]/priv"), kBoth.Privacy);
  ASSERT_EQ(Delete(store, who).Outcome, TSecretOutcome::Done);
  EXPECT_EQ(lookUp("snmpv3/op%40s@[fe80::1]/auth"), "");
}

// A keyring daemon with no keyring unlocked, and no prompter to ask for one: storing fails as a
// keyring error, not as "no keyring", and the text holds no secret.
TEST(KeychainStoreLocked, StoreFailsAsKeyringError) {
  NEEDS_SITUATION("never-unlocked");
  TKeychainStore store;
  const TSecretResult written = Write(store, kOps, kBoth);
  EXPECT_EQ(written.Outcome, TSecretOutcome::KeyringError);
  EXPECT_FALSE(written.Error.isEmpty());
  EXPECT_FALSE(written.Error.contains(kBoth.Authentication));
}

// No secret service, or no bus: every call says NoKeyring, and soon, so Connect can ask at once.
TEST(KeychainStoreMissing, EveryCallSaysNoKeyringQuickly) {
  const QString situation = qEnvironmentVariable("CORVANE_TEST_KEYRING");
  if (situation != "no-service" && situation != "no-bus")
    GTEST_SKIP() << "needs a session bus without a secret service, or none: run through "
                    "tests/credentials/keyring_test.sh";
  TKeychainStore store;
  qint64 elapsed = 0;
  const TSecretResult read =
      Finish([&](TSecretCallback done) { store.Read(kOps, true, done); }, &elapsed);
  EXPECT_EQ(read.Outcome, TSecretOutcome::NoKeyring) << qPrintable(read.Error);
  EXPECT_LT(elapsed, 2000);
  std::cout << "NoKeyring after " << elapsed << " ms: " << qPrintable(read.Error) << "\n";
  EXPECT_EQ(Write(store, kOps, kBoth).Outcome, TSecretOutcome::NoKeyring);
  EXPECT_EQ(Delete(store, kOps).Outcome, TSecretOutcome::NoKeyring);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
