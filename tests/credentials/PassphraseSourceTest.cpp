#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>

#include "FakeSecretStore.h"
#include "PassphraseDialog.h"
#include "PassphraseSource.h"
#include "TestHelpers.h"

namespace {

const TSnmpIdentity kOps{"ops", "router.example"};
using namespace std::chrono_literals;

class PassphraseSourceTest : public ::testing::Test {
 protected:
  TFakeSecretStore Store;
  TPassphraseSource Source{Store, nullptr, 50ms};
  QWidget Window;
  std::optional<TPassphraseAnswer> Answer;
  int Answers = 0;
  // How the last dialog was set up when it showed.
  struct {
    QString Note;
    bool RememberOffered = false;
    bool RememberChecked = false;
  } Seen;

  void Request(TSecurityLevel level) {
    Answer.reset();
    Source.RequestPassphrases(kOps.User, kOps.Host, level, &Window,
                              [this](const TPassphraseAnswer& answer) {
                                Answer = answer;
                                ++Answers;
                              });
  }

  // The dialog shown over the window once the store has answered, or nullptr.
  TPassphraseDialog* Dialog(int waitMs = 2000) {
    TPassphraseDialog* shown = nullptr;
    static_cast<void>(QTest::qWaitFor(
        [&] {
          for (auto* dialog : Window.findChildren<TPassphraseDialog*>())
            if (dialog->isVisible()) shown = dialog;
          return shown != nullptr || Answer.has_value();
        },
        waitMs));
    return shown;
  }

  // Types into the enabled fields, sets the keyring box and closes with OK or Cancel.
  void Fill(const QString& auth, const QString& priv, bool remember, bool ok = true) {
    TPassphraseDialog* dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->edtAuth->text().isEmpty());  // nothing pre-filled
    Seen = {dialog->lblNote->isVisible() ? dialog->lblNote->text() : QString(),
            dialog->chkRemember->isVisible(), dialog->chkRemember->isChecked()};
    QTest::keyClicks(dialog->edtAuth, auth);
    if (dialog->edtPriv->isEnabled()) QTest::keyClicks(dialog->edtPriv, priv);
    dialog->chkRemember->setChecked(remember);
    ok ? dialog->accept() : dialog->reject();
  }

  bool Answered() {
    return QTest::qWaitFor([&] { return Answer.has_value(); }, 2000);
  }
  QString Stored(TSecretKind kind) const { return Store.Entries.value(SecretKey(kOps, kind)); }
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

// A wrong-digest report may be forged: it deletes nothing, but the stored passphrases are not
// used again until typed ones have been accepted and stored in their place. Typed passphrases
// are stored only once accepted.
TEST_F(PassphraseSourceTest, WrongDigestKeepsTheStoreAndAsksUntilAcceptedOnesReplaceIt) {
  Store.Entries[SecretKey(kOps, TSecretKind::Authentication)] = "old-auth-secret";
  Request(TSecurityLevel::AuthPriv);  // the privacy passphrase is missing: both are asked for
  Fill("new-auth-secret", "new-priv-secret", true);
  ASSERT_TRUE(Answered());
  EXPECT_FALSE(Answer->FromKeyring);
  EXPECT_EQ(Answer->Passphrases.Privacy, "new-priv-secret");
  EXPECT_TRUE(Seen.Note.isEmpty());
  EXPECT_FALSE(Seen.RememberChecked);
  QTest::qWait(20);
  EXPECT_EQ(Store.Writes, 0);  // not before the agent has accepted them
  std::optional<TSecretResult> written;
  Source.Accepted([&](const TSecretResult& result) { written = result; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 2000));
  EXPECT_EQ(written->Outcome, TSecretOutcome::Done);
  EXPECT_EQ(Stored(TSecretKind::Authentication), "new-auth-secret");

  Request(TSecurityLevel::AuthPriv);
  ASSERT_TRUE(Answered());
  EXPECT_TRUE(Answer->FromKeyring);
  Source.Rejected();
  const auto stored = Store.Entries;
  for (const bool right : {false, true}) {
    Request(TSecurityLevel::AuthPriv);
    Fill(right ? "right-auth-secret" : "wrong-auth-secret", "right-priv-secret", true);
    ASSERT_TRUE(Answered());
    EXPECT_EQ(Seen.Note, "The host reported a wrong digest for the passphrases in the keyring.");
    EXPECT_TRUE(Seen.RememberChecked);
    EXPECT_EQ(Store.Entries, stored);
    if (!right) Source.Rejected();
  }
  Source.Accepted();
  QTest::qWait(20);
  EXPECT_EQ(Store.Writes, 2);
  EXPECT_EQ(Stored(TSecretKind::Authentication), "right-auth-secret");
  EXPECT_EQ(Stored(TSecretKind::Privacy), "right-priv-secret");
  Request(TSecurityLevel::AuthPriv);
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_TRUE(Answer && Answer->FromKeyring);

  // Typed passphrases of a Connect dropped before the agent's answer are never stored.
  Store.Entries.clear();
  Request(TSecurityLevel::AuthNoPriv);
  Fill("dropped-auth-secret", {}, true);
  ASSERT_TRUE(Answered());
  Source.Cancel();
  Source.Accepted();
  QTest::qWait(20);
  EXPECT_EQ(Store.Writes, 2);
}

TEST_F(PassphraseSourceTest, CancelIsCancelledAndStoresNothing) {
  Request(TSecurityLevel::AuthPriv);
  Fill("auth-secret", "priv-secret", true, false);
  ASSERT_TRUE(Answered());
  EXPECT_TRUE(Answer->Cancelled);
  EXPECT_TRUE(Answer->Passphrases.Authentication.isEmpty());
  Source.Accepted();
  QTest::qWait(20);
  EXPECT_EQ(Store.Writes, 0);
}

struct ReadCase {
  const char* name;
  TSecretOutcome read;
  const char* note;      // how the dialog starts
  bool rememberOffered;  // and whether it can store at all
  int writes;            // once accepted, with "Remember" checked
};

class PassphraseRead : public PassphraseSourceTest,
                       public ::testing::WithParamInterface<ReadCase> {};

// Without a keyring there is nothing to remember in; a failing one is worth telling, and may
// still take the store.
TEST_P(PassphraseRead, FallsBackToTheDialogAndStoresWhereItCan) {
  const ReadCase& c = GetParam();
  Store.ReadOutcome = c.read;
  Request(TSecurityLevel::AuthNoPriv);
  Fill("auth-secret", {}, true);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(Answer->Passphrases.Authentication, "auth-secret");
  EXPECT_EQ(Seen.Note, QString::fromUtf8(c.note));
  EXPECT_EQ(Seen.RememberOffered, c.rememberOffered);
  EXPECT_FALSE(Answer->KeyringProblem.contains("auth-secret"));
  Source.Accepted();
  QTest::qWait(20);
  EXPECT_EQ(Store.Writes, c.writes);
}

INSTANTIATE_TEST_SUITE_P(
    PassphraseSource, PassphraseRead,
    ::testing::Values(ReadCase{"NotStored", TSecretOutcome::NotFound, "", true, 1},
                      ReadCase{"NoKeyring", TSecretOutcome::NoKeyring,
                               "The keyring did not answer.", false, 0},
                      ReadCase{"KeyringError", TSecretOutcome::KeyringError,
                               "The keyring could not be read: The collection is locked", true, 1}),
    CaseName());

// A keyring job may never end (a prompt no one sees, a bus that swallows the call): the dialog
// asks once the limit has passed, and the late answer is dropped. While that read is still
// open, later requests ask at once rather than queue behind it.
TEST_F(PassphraseSourceTest, KeyringThatNeverAnswersIsGivenUpAfterTheLimit) {
  Store.Entries[SecretKey(kOps, TSecretKind::Authentication)] = "stored-auth-secret";
  Store.Hold = true;
  Request(TSecurityLevel::AuthNoPriv);
  QTest::qWait(10);
  EXPECT_EQ(Dialog(0), nullptr);  // the keyring has its time
  Fill("typed-auth-secret", {}, true);
  ASSERT_TRUE(Answered());
  EXPECT_EQ(Seen.Note, "The keyring did not answer.");
  EXPECT_FALSE(Seen.RememberOffered);
  EXPECT_EQ(Answer->Passphrases.Authentication, "typed-auth-secret");
  Store.Release();
  QTest::qWait(20);
  EXPECT_EQ(Answers, 1);
  EXPECT_EQ(Dialog(0), nullptr);

  // Cancelled while waiting: nothing shows later.
  Request(TSecurityLevel::AuthNoPriv);
  Source.Cancel();
  QTest::qWait(150);
  EXPECT_EQ(Dialog(0), nullptr);
  EXPECT_FALSE(Answer);

  Request(TSecurityLevel::AuthNoPriv);
  TPassphraseDialog* dialog = Dialog(40);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->lblNote->text(), "The keyring did not answer.");
  EXPECT_EQ(Store.Reads, 2);
  dialog->reject();
  ASSERT_TRUE(Answered());
  EXPECT_TRUE(Answer->Cancelled);
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
