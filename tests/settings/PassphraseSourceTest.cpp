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

  void Request(TSecurityLevel level) {
    Answer.reset();
    Source.RequestPassphrases(kOps.User, kOps.Host, level, &Window,
                              [this](const TPassphraseAnswer& answer) { Answer = answer; });
  }

  // The dialog shown over the window once the store has answered, or nullptr.
  TPassphraseDialog* Dialog() {
    TPassphraseDialog* shown = nullptr;
    static_cast<void>(QTest::qWaitFor(
        [&] {
          for (auto* dialog : Window.findChildren<TPassphraseDialog*>())
            if (dialog->isVisible()) shown = dialog;
          return shown != nullptr || Answer.has_value();
        },
        2000));
    return shown;
  }

  // Types into the enabled fields, sets the keyring box and closes with OK or Cancel.
  void Fill(const QString& auth, const QString& priv, bool remember, bool ok = true) {
    TPassphraseDialog* dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->edtAuth->text().isEmpty());  // nothing pre-filled
    QTest::keyClicks(dialog->edtAuth, auth);
    if (dialog->edtPriv->isEnabled()) QTest::keyClicks(dialog->edtPriv, priv);
    dialog->chkRemember->setChecked(remember);
    ok ? dialog->accept() : dialog->reject();
  }

  bool Answered() {
    return QTest::qWaitFor([&] { return Answer.has_value(); }, 2000);
  }
};

TEST_F(PassphraseSourceTest, StoredPassphrasesNeedNoDialogNoneNeededNoStore) {
  Store.Entries[SecretKey(kOps, TSecretKind::Authentication)] = "auth-secret";
  Store.Entries[SecretKey(kOps, TSecretKind::Privacy)] = "priv-secret";
  Request(TSecurityLevel::AuthPriv);
  EXPECT_EQ(Dialog(), nullptr);
  ASSERT_TRUE(Answer);
  EXPECT_TRUE(Answer->FromKeyring);
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_EQ(Answer->Passphrases.Privacy, "priv-secret");

  Request(TSecurityLevel::NoAuthNoPriv);
  EXPECT_FALSE(Answer);  // never from inside the call
  EXPECT_EQ(Dialog(), nullptr);
  ASSERT_TRUE(Answer);
  EXPECT_FALSE(Answer->Cancelled);
  EXPECT_TRUE(Answer->Passphrases.Authentication.isEmpty());
  EXPECT_EQ(Store.Reads, 1);
}

TEST_F(PassphraseSourceTest, MissingPrivacyAsksForBothRemembersAndForgets) {
  Store.Entries[SecretKey(kOps, TSecretKind::Authentication)] = "old-auth-secret";
  Request(TSecurityLevel::AuthPriv);
  Fill("new-auth-secret", "new-priv-secret", true);
  ASSERT_TRUE(Answered());
  EXPECT_FALSE(Answer->FromKeyring);
  EXPECT_EQ(Answer->Passphrases.Authentication, "new-auth-secret");
  EXPECT_EQ(Answer->Passphrases.Privacy, "new-priv-secret");
  EXPECT_TRUE(Answer->KeyringProblem.isEmpty());
  EXPECT_EQ(Store.Entries.value(SecretKey(kOps, TSecretKind::Authentication)), "new-auth-secret");
  EXPECT_EQ(Store.Entries.value(SecretKey(kOps, TSecretKind::Privacy)), "new-priv-secret");

  // Say the agent then reported a wrong digest: forgotten, the next Connect asks again.
  bool forgotten = false;
  Source.Forget(kOps.User, kOps.Host, [&](const TSecretResult&) { forgotten = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return forgotten; }, 2000));
  EXPECT_TRUE(Store.Entries.isEmpty());
  Request(TSecurityLevel::AuthPriv);
  EXPECT_NE(Dialog(), nullptr);
}

TEST_F(PassphraseSourceTest, CancelIsCancelledAndStoresNothing) {
  Request(TSecurityLevel::AuthPriv);
  Fill("auth-secret", "priv-secret", true, false);
  ASSERT_TRUE(Answered());
  EXPECT_TRUE(Answer->Cancelled);
  EXPECT_TRUE(Answer->Passphrases.Authentication.isEmpty());
  EXPECT_EQ(Store.Writes, 0);
}

struct ReadCase {
  const char* name;
  TSecretOutcome read;
  bool remember;  // what the user asks for
  int writes;
  bool problemTold;
};

class PassphraseRead : public PassphraseSourceTest,
                       public ::testing::WithParamInterface<ReadCase> {};

// Without a keyring the box cannot be checked; a failing one is worth telling, and may still
// take the store.
TEST_P(PassphraseRead, FallsBackToTheDialogAndStoresOnlyWhenAsked) {
  const ReadCase& c = GetParam();
  Store.ReadOutcome = c.read;
  Request(TSecurityLevel::AuthNoPriv);
  Fill("auth-secret", {}, c.remember);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_EQ(Store.Writes, c.writes);
  EXPECT_EQ(Answer->KeyringProblem.contains(Store.Error), c.problemTold);
}

INSTANTIATE_TEST_SUITE_P(
    PassphraseSource, PassphraseRead,
    ::testing::Values(ReadCase{"NotRemembered", TSecretOutcome::NotFound, false, 0, false},
                      ReadCase{"NoKeyring", TSecretOutcome::NoKeyring, true, 0, false},
                      ReadCase{"KeyringError", TSecretOutcome::KeyringError, true, 1, true}),
    CaseName());

TEST_F(PassphraseSourceTest, FailedStoreIsToldButTheConnectGoesOn) {
  Store.WriteOutcome = TSecretOutcome::KeyringError;
  Request(TSecurityLevel::AuthPriv);
  Fill("auth-secret", "priv-secret", true);
  ASSERT_TRUE(Answered());
  EXPECT_FALSE(Answer->Cancelled);
  EXPECT_EQ(Answer->Passphrases.Privacy, "priv-secret");
  EXPECT_TRUE(Answer->KeyringProblem.startsWith("The passphrases could not be stored"));
  EXPECT_TRUE(Answer->KeyringProblem.contains(Store.Error));
  EXPECT_FALSE(Answer->KeyringProblem.contains("auth-secret"));
  EXPECT_FALSE(Answer->KeyringProblem.contains("priv-secret"));
}

// Connect's window may close while the keyring is still answering.
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
