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

const TSnmpIdentity kOps{"ops", "router.example"};

// Shows the dialog as the active window, so keys go where a person's would.
void ShowActive(TPassphraseDialog& dialog) {
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

void Key(Qt::Key key) {
  QTest::keyClick(QApplication::focusWidget(), key);
}

TEST(PassphraseDialog, FocusStartsInAuthenticationAndTabSkipsDisabledPrivacy) {
  TPassphraseDialog authPriv({"<b>ops</b>", "10.0.0.1"}, TSecurityLevel::AuthPriv);
  ShowActive(authPriv);
  // User names come from the settings file: markup in them is shown, not rendered.
  EXPECT_EQ(authPriv.lblIdentity->textFormat(), Qt::PlainText);
  EXPECT_TRUE(authPriv.lblIdentity->text().contains("\"<b>ops</b>\" at 10.0.0.1"));
  EXPECT_EQ(QApplication::focusWidget(), authPriv.edtAuth);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), authPriv.edtPriv);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), authPriv.chkRemember);
  authPriv.reject();

  TPassphraseDialog authNoPriv(kOps, TSecurityLevel::AuthNoPriv);
  ShowActive(authNoPriv);
  EXPECT_FALSE(authNoPriv.edtPriv->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), authNoPriv.edtAuth);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), authNoPriv.chkRemember);
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
  TPassphraseDialog dialog(kOps, c.level);
  ShowActive(dialog);
  dialog.edtAuth->insert(c.auth);  // as typed; keyClicks takes ASCII only
  if (dialog.edtPriv->isEnabled()) dialog.edtPriv->insert(c.priv);
  EXPECT_EQ(dialog.Buttons->button(QDialogButtonBox::Ok)->isEnabled(), c.ok);
  Key(Qt::Key_Return);
  EXPECT_EQ(dialog.result(), c.ok ? QDialog::Accepted : QDialog::Rejected);
  EXPECT_EQ(dialog.isVisible(), !c.ok);
}

INSTANTIATE_TEST_SUITE_P(
    PassphraseDialog, PassphraseLengths,
    ::testing::Values(
        LengthCase{"AuthSevenChars", TSecurityLevel::AuthNoPriv, "1234567", "", false},
        LengthCase{"PrivacyIgnoredAtAuthNoPriv", TSecurityLevel::AuthNoPriv, "12345678", "", true},
        LengthCase{"PrivacySevenChars", TSecurityLevel::AuthPriv, "12345678", "1234567", false},
        LengthCase{"BothEight", TSecurityLevel::AuthPriv, "12345678", "abcdefgh", true},
        LengthCase{"FourTwoOctetChars", TSecurityLevel::AuthNoPriv, QString::fromUtf8("ääää"), "",
                   true}),
    CaseName());

TEST(PassphraseDialog, EnterGivesTheTypedTextEscapeCancelsAndBothEmptyTheFields) {
  TPassphraseDialog dialog(kOps, TSecurityLevel::AuthPriv);
  TSnmpPassphrases seen;
  QObject::connect(&dialog, &QDialog::accepted, [&] { seen = dialog.Passphrases(); });
  ShowActive(dialog);
  QTest::keyClicks(QApplication::focusWidget(), " auth pass ");
  Key(Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), "priv pass");
  Key(Qt::Key_Enter);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(seen.Authentication, " auth pass ");  // blanks are part of a passphrase
  EXPECT_EQ(seen.Privacy, "priv pass");
  EXPECT_TRUE(dialog.edtAuth->text().isEmpty());
  EXPECT_TRUE(dialog.edtPriv->text().isEmpty());

  ShowActive(dialog);
  QTest::keyClicks(dialog.edtAuth, "12345678");
  QTest::keyClicks(dialog.edtPriv, "abcdefgh");
  Key(Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(dialog.edtAuth->text().isEmpty());
  EXPECT_TRUE(dialog.edtPriv->text().isEmpty());
}

}  // namespace
