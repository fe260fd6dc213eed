#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "PassphraseDialog.h"
#include "TestHelpers.h"

namespace {

const TSnmpIdentity kIdentity{"ops", "router.example"};

QPushButton* Ok(TPassphraseDialog& dialog) {
  return dialog.Buttons->button(QDialogButtonBox::Ok);
}

// Shows the dialog as the active window, so keys go where a person's would.
void ShowActive(TPassphraseDialog& dialog) {
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

void Key(Qt::Key key) {
  QTest::keyClick(QApplication::focusWidget(), key);
}

TEST(PassphraseDialog, FocusStartsInAuthenticationAndTabSkipsDisabledPrivacy) {
  TPassphraseDialog authPriv(kIdentity, TSecurityLevel::AuthPriv);
  ShowActive(authPriv);
  EXPECT_EQ(authPriv.windowTitle(), "SNMPv3 passphrases");
  EXPECT_EQ(QApplication::focusWidget(), authPriv.edtAuth);
  EXPECT_EQ(authPriv.edtAuth->echoMode(), QLineEdit::Password);
  EXPECT_EQ(authPriv.edtPriv->echoMode(), QLineEdit::Password);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), authPriv.edtPriv);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), authPriv.chkRemember);
  authPriv.reject();

  TPassphraseDialog authNoPriv(kIdentity, TSecurityLevel::AuthNoPriv);
  ShowActive(authNoPriv);
  EXPECT_FALSE(authNoPriv.edtPriv->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), authNoPriv.edtAuth);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), authNoPriv.chkRemember);
}

// Names come from the settings and the history: markup in them is shown as typed.
TEST(PassphraseDialog, IdentityLineShowsNamesAsText) {
  TPassphraseDialog dialog({"<b>ops</b>", "10.0.0.1"}, TSecurityLevel::AuthPriv);
  ShowActive(dialog);
  EXPECT_EQ(dialog.lblIdentity->textFormat(), Qt::PlainText);
  EXPECT_TRUE(dialog.lblIdentity->text().contains("\"<b>ops</b>\" at 10.0.0.1"));
}

struct LengthCase {
  const char* name;
  TSecurityLevel level;
  QString auth, priv;
  bool ok;
};

class PassphraseLengths : public ::testing::TestWithParam<LengthCase> {};

// OK, and Enter with it, waits until every enabled passphrase has 8 octets.
TEST_P(PassphraseLengths, OkAndEnterNeedEightOctetsInEachEnabledField) {
  const LengthCase& c = GetParam();
  TPassphraseDialog dialog(kIdentity, c.level);
  ShowActive(dialog);
  EXPECT_FALSE(Ok(dialog)->isEnabled());
  EXPECT_TRUE(dialog.lblHint->text().contains("at least 8 characters"));
  dialog.edtAuth->insert(c.auth);  // as typed (keyClicks takes ASCII only)
  if (dialog.edtPriv->isEnabled()) dialog.edtPriv->insert(c.priv);
  EXPECT_EQ(Ok(dialog)->isEnabled(), c.ok);
  Key(Qt::Key_Return);
  EXPECT_EQ(dialog.isVisible(), !c.ok);
  EXPECT_EQ(dialog.result(), c.ok ? QDialog::Accepted : QDialog::Rejected);
}

INSTANTIATE_TEST_SUITE_P(
    PassphraseDialog, PassphraseLengths,
    ::testing::Values(
        LengthCase{"AuthSevenChars", TSecurityLevel::AuthNoPriv, "1234567", "", false},
        LengthCase{"AuthEightChars", TSecurityLevel::AuthNoPriv, "12345678", "", true},
        LengthCase{"PrivacyIgnoredAtAuthNoPriv", TSecurityLevel::AuthNoPriv, "12345678", "short",
                   true},
        LengthCase{"PrivacyMissing", TSecurityLevel::AuthPriv, "12345678", "", false},
        LengthCase{"PrivacySevenChars", TSecurityLevel::AuthPriv, "12345678", "1234567", false},
        LengthCase{"BothEight", TSecurityLevel::AuthPriv, "12345678", "abcdefgh", true},
        LengthCase{"FourTwoOctetChars", TSecurityLevel::AuthNoPriv, QString::fromUtf8("ääää"), "",
                   true},
        LengthCase{"BlanksCount", TSecurityLevel::AuthNoPriv, "        ", "", true}),
    CaseName());

TEST(PassphraseDialog, EnterAcceptsWithTheTypedTextThenFieldsAreEmptied) {
  TPassphraseDialog dialog(kIdentity, TSecurityLevel::AuthPriv);
  TSnmpPassphrases seen;
  QObject::connect(&dialog, &QDialog::accepted, [&] { seen = dialog.Passphrases(); });
  ShowActive(dialog);
  QTest::keyClicks(QApplication::focusWidget(), " auth pass ");
  Key(Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), "priv pass");
  Key(Qt::Key_Enter);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(seen.Authentication, " auth pass ");
  EXPECT_EQ(seen.Privacy, "priv pass");
  EXPECT_TRUE(dialog.edtAuth->text().isEmpty());
  EXPECT_TRUE(dialog.edtPriv->text().isEmpty());
}

TEST(PassphraseDialog, EscapeCancelsAndEmptiesFields) {
  TPassphraseDialog dialog(kIdentity, TSecurityLevel::AuthPriv);
  ShowActive(dialog);
  QTest::keyClicks(dialog.edtAuth, "12345678");
  QTest::keyClicks(dialog.edtPriv, "abcdefgh");
  Key(Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(dialog.edtAuth->text().isEmpty());
  EXPECT_TRUE(dialog.edtPriv->text().isEmpty());
}

TEST(PassphraseDialog, RememberOnlyWithAKeyring) {
  TPassphraseDialog dialog(kIdentity, TSecurityLevel::AuthNoPriv);
  dialog.chkRemember->setChecked(true);
  EXPECT_TRUE(dialog.Remember());
  dialog.SetKeyringAvailable(false);
  EXPECT_FALSE(dialog.chkRemember->isEnabled());
  EXPECT_FALSE(dialog.Remember());
  EXPECT_FALSE(dialog.chkRemember->toolTip().isEmpty());
}

}  // namespace
