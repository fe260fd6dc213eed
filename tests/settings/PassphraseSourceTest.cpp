#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <memory>
#include <optional>

#include "FakeSecretStore.h"
#include "PassphraseDialog.h"
#include "PassphraseSource.h"
#include "TestHelpers.h"

namespace {

const TSnmpIdentity kOps{"ops", "router.example"};

class PassphraseSourceTest : public ::testing::Test {
 protected:
  TFakeSecretStore Store;
  TPassphraseSource Source{Store};
  QWidget Window;
  std::optional<TPassphraseAnswer> Answer;

  void Request(TSecurityLevel level, const TSnmpIdentity& identity = kOps) {
    Answer.reset();
    Source.RequestPassphrases(identity.User, identity.Host, level, &Window,
                              [this](const TPassphraseAnswer& answer) { Answer = answer; });
  }

  // The dialog the source opened over the window, once the store has answered.
  TPassphraseDialog* Dialog() {
    TPassphraseDialog* dialog = nullptr;
    const bool opened = QTest::qWaitFor([&] { return (dialog = OpenDialog()) != nullptr; }, 2000);
    return opened ? dialog : nullptr;
  }

  TPassphraseDialog* OpenDialog() {
    for (auto* dialog : Window.findChildren<TPassphraseDialog*>())
      if (dialog->isVisible()) return dialog;
    return nullptr;
  }

  // Types into the dialog's enabled fields, sets the keyring box and closes it with OK or Cancel.
  static void Fill(TPassphraseDialog* dialog, const QString& auth, const QString& priv,
                   bool remember, bool ok = true) {
    QTest::keyClicks(dialog->edtAuth, auth);
    if (dialog->edtPriv->isEnabled()) QTest::keyClicks(dialog->edtPriv, priv);
    dialog->chkRemember->setChecked(remember);
    ok ? dialog->accept() : dialog->reject();
  }

  bool Answered() {
    return QTest::qWaitFor([&] { return Answer.has_value(); }, 2000);
  }

  void Keep(const TSnmpIdentity& identity, const QString& auth, const QString& priv) {
    Store.Entries[SecretKey(identity, TSecretKind::Authentication)] = auth;
    Store.Entries[SecretKey(identity, TSecretKind::Privacy)] = priv;
  }
};

TEST_F(PassphraseSourceTest, StoredPassphrasesNeedNoDialog) {
  Keep(kOps, "auth-secret", "priv-secret");
  Request(TSecurityLevel::AuthPriv);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(OpenDialog(), nullptr);
  EXPECT_FALSE(Answer->Cancelled);
  EXPECT_TRUE(Answer->FromKeyring);
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_EQ(Answer->Passphrases.Privacy, "priv-secret");

  Request(TSecurityLevel::AuthNoPriv);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_TRUE(Answer->Passphrases.Privacy.isEmpty());

  // Another user at the same host has nothing stored.
  Request(TSecurityLevel::AuthNoPriv, {"admin", kOps.Host});
  ASSERT_NE(Dialog(), nullptr);
}

TEST_F(PassphraseSourceTest, NoAuthNoPrivAnswersFromTheEventLoopWithoutStoreOrDialog) {
  Request(TSecurityLevel::NoAuthNoPriv);
  EXPECT_FALSE(Answer);  // never from inside the call
  ASSERT_TRUE(Answered());
  EXPECT_FALSE(Answer->Cancelled);
  EXPECT_TRUE(Answer->Passphrases.Authentication.isEmpty());
  EXPECT_EQ(Store.Reads, 0);
  EXPECT_EQ(OpenDialog(), nullptr);
}

TEST_F(PassphraseSourceTest, MissingPrivacyAsksForBothAndRemembers) {
  Store.Entries[SecretKey(kOps, TSecretKind::Authentication)] = "old-auth-secret";
  Request(TSecurityLevel::AuthPriv);
  TPassphraseDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isModal());
  EXPECT_TRUE(dialog->edtAuth->text().isEmpty());  // nothing pre-filled
  EXPECT_TRUE(dialog->chkRemember->isEnabled());
  EXPECT_FALSE(dialog->chkRemember->isChecked());
  Fill(dialog, "new-auth-secret", "new-priv-secret", true);
  ASSERT_TRUE(Answered());
  EXPECT_FALSE(Answer->FromKeyring);
  EXPECT_EQ(Answer->Passphrases.Authentication, "new-auth-secret");
  EXPECT_EQ(Answer->Passphrases.Privacy, "new-priv-secret");
  EXPECT_TRUE(Answer->KeyringProblem.isEmpty());
  EXPECT_EQ(Store.Entries.value(SecretKey(kOps, TSecretKind::Authentication)), "new-auth-secret");
  EXPECT_EQ(Store.Entries.value(SecretKey(kOps, TSecretKind::Privacy)), "new-priv-secret");

  // Forgotten after, say, a wrong digest: the next Connect asks again.
  bool forgotten = false;
  Source.Forget(kOps.User, kOps.Host, [&](const TSecretResult&) { forgotten = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return forgotten; }, 2000));
  EXPECT_TRUE(Store.Entries.isEmpty());
  Request(TSecurityLevel::AuthPriv);
  ASSERT_NE(Dialog(), nullptr);
}

TEST_F(PassphraseSourceTest, TypedPassphrasesAreNotStoredUnlessRemembered) {
  Request(TSecurityLevel::AuthNoPriv);
  TPassphraseDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  Fill(dialog, "auth-secret", {}, false);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_EQ(Store.Writes, 0);
}

TEST_F(PassphraseSourceTest, CancelIsCancelledAndStoresNothing) {
  Request(TSecurityLevel::AuthPriv);
  TPassphraseDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  Fill(dialog, "auth-secret", "priv-secret", true, false);
  ASSERT_TRUE(Answered());
  EXPECT_TRUE(Answer->Cancelled);
  EXPECT_TRUE(Answer->Passphrases.Authentication.isEmpty());
  EXPECT_EQ(Store.Writes, 0);
}

struct ReadFailureCase {
  const char* name;
  TSecretOutcome outcome;
  bool rememberOffered;
  bool problemReported;
};

class PassphraseReadFailure : public PassphraseSourceTest,
                              public ::testing::WithParamInterface<ReadFailureCase> {};

// Without a keyring the dialog asks without offering to remember; a failing keyring is worth
// telling, and may work again for the store.
TEST_P(PassphraseReadFailure, FallsBackToTheDialog) {
  const ReadFailureCase& c = GetParam();
  Store.ReadOutcome = c.outcome;
  Request(TSecurityLevel::AuthNoPriv);
  TPassphraseDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->chkRemember->isEnabled(), c.rememberOffered);
  Fill(dialog, "auth-secret", {}, true);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_EQ(Store.Writes, c.rememberOffered ? 1 : 0);
  EXPECT_EQ(Answer->KeyringProblem.contains(Store.Error), c.problemReported);
}

INSTANTIATE_TEST_SUITE_P(
    PassphraseSource, PassphraseReadFailure,
    ::testing::Values(ReadFailureCase{"NoKeyring", TSecretOutcome::NoKeyring, false, false},
                      ReadFailureCase{"KeyringError", TSecretOutcome::KeyringError, true, true}),
    CaseName());

TEST_F(PassphraseSourceTest, FailedStoreIsReportedButTheConnectGoesOn) {
  Store.WriteOutcome = TSecretOutcome::KeyringError;
  Request(TSecurityLevel::AuthPriv);
  TPassphraseDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  Fill(dialog, "auth-secret", "priv-secret", true);
  ASSERT_TRUE(Answered());
  EXPECT_FALSE(Answer->Cancelled);
  EXPECT_EQ(Answer->Passphrases.Privacy, "priv-secret");
  EXPECT_TRUE(Answer->KeyringProblem.startsWith("The passphrases could not be stored"));
  EXPECT_TRUE(Answer->KeyringProblem.contains(Store.Error));
  EXPECT_FALSE(Answer->KeyringProblem.contains("auth-secret"));
  EXPECT_FALSE(Answer->KeyringProblem.contains("priv-secret"));
}

// Connect's window may close while the keyring is still thinking.
TEST_F(PassphraseSourceTest, WindowClosedDuringTheReadDropsTheRequest) {
  Store.Hold = true;
  auto window = std::make_unique<QWidget>();
  bool called = false;
  Source.RequestPassphrases(kOps.User, kOps.Host, TSecurityLevel::AuthNoPriv, window.get(),
                            [&](const TPassphraseAnswer&) { called = true; });
  window.reset();
  Store.Release();
  QTest::qWait(20);
  EXPECT_FALSE(called);
  for (QWidget* widget : QApplication::topLevelWidgets())
    EXPECT_FALSE(qobject_cast<TPassphraseDialog*>(widget) && widget->isVisible());
}

}  // namespace
