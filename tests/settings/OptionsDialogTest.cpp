#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "FileEdit.h"
#include "OptionsDialog.h"
#include "TestHelpers.h"

namespace {

TEST(OptionsDialog, ItemListsAndTabOrder) {
  TfrmOptions dialog;
  EXPECT_EQ(Items(*dialog.cbxInterval), QStringList({"1", "5", "10", "15"}));
  EXPECT_EQ(Items(*dialog.cbxGraph),
            QStringList({"15", "30", "45", "60", "75", "90", "180", "360", "720", "900", "1440"}));
  EXPECT_EQ(Items(*dialog.cbxType), QStringList({"Line", "Bar", "Area", "Point"}));
  EXPECT_EQ(Items(*dialog.cbxVersion), QStringList({"1", "2c", "3"}));
  EXPECT_EQ(Items(*dialog.cbxSecurityLevel),
            QStringList({"noAuthNoPriv", "authNoPriv", "authPriv"}));
  EXPECT_EQ(Items(*dialog.cbxAuth),
            QStringList({"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"}));
  EXPECT_EQ(Items(*dialog.cbxPriv), QStringList({"AES"}));

  const std::vector<QWidget*> expected = {
      dialog.cbxInterval,       dialog.cbxGraph,        dialog.cbxType,
      dialog.chkAutoHeight,     dialog.chkLog,          dialog.chkProcessor,
      dialog.chkInterface,      dialog.chkStorage,      dialog.feFile,
      dialog.chkAppend,         dialog.cbxVersion,      dialog.edtUser,
      dialog.cbxSecurityLevel,  dialog.cbxAuth,         dialog.cbxPriv,
      dialog.edtMetrics,        dialog.spnHistoryDays,  dialog.edtAlertProcessor,
      dialog.edtAlertInterface, dialog.edtAlertStorage, dialog.chkAlertDown,
      dialog.chkAlertNoAnswer,  dialog.spnAlertPolls,   dialog.chkTray,
      dialog.Button1,           dialog.chkLevel};
  std::vector<QWidget*> order;
  for (QWidget* w = dialog.cbxInterval; order.size() < expected.size(); w = w->nextInFocusChain())
    if (std::find(expected.begin(), expected.end(), w) != expected.end()) order.push_back(w);
  EXPECT_EQ(order, expected);
}

TEST(OptionsDialog, LogGroupFollowsEnableLogging) {
  TfrmOptions dialog;
  dialog.chkProcessor->setChecked(true);
  dialog.show();
  EXPECT_FALSE(dialog.feFile->Button()->isEnabled());
  dialog.chkLog->click();
  EXPECT_TRUE(dialog.GroupBox1->isEnabled());
  EXPECT_TRUE(dialog.feFile->Button()->isEnabled());
  dialog.chkLog->click();
  EXPECT_FALSE(dialog.GroupBox1->isEnabled());
  EXPECT_TRUE(dialog.chkProcessor->isChecked());
  dialog.hide();

  // A state set without signals, as a loader might, still counts on showing.
  const QSignalBlocker blocker(dialog.chkLog);
  dialog.chkLog->setChecked(true);
  dialog.show();
  EXPECT_TRUE(dialog.GroupBox1->isEnabled());
}

struct SecurityCase {
  const char* name;
  TSnmpVersion version;
  TSecurityLevel level;
  bool group, authentication, privacy;
};

class SecurityGroup : public ::testing::TestWithParam<SecurityCase> {};

TEST_P(SecurityGroup, FollowsVersionAndLevel) {
  const SecurityCase& c = GetParam();
  TfrmOptions dialog;
  dialog.show();
  dialog.SetConnectionSettings({TSnmpVersion::V3, "", TSecurityLevel::NoAuthNoPriv});
  dialog.SetConnectionSettings({c.version, "", c.level});
  EXPECT_EQ(dialog.GroupBox2->isEnabled(), c.group);
  EXPECT_EQ(dialog.cbxAuth->isEnabledTo(dialog.GroupBox2), c.authentication);
  EXPECT_EQ(dialog.cbxPriv->isEnabledTo(dialog.GroupBox2), c.privacy);
}

INSTANTIATE_TEST_SUITE_P(
    OptionsDialog, SecurityGroup,
    ::testing::Values(
        SecurityCase{"Version1", TSnmpVersion::V1, TSecurityLevel::AuthPriv, false, true, true},
        SecurityCase{"Version2c", TSnmpVersion::V2c, TSecurityLevel::AuthPriv, false, true, true},
        SecurityCase{"NoAuthNoPriv", TSnmpVersion::V3, TSecurityLevel::NoAuthNoPriv, true, false,
                     false},
        SecurityCase{"AuthNoPriv", TSnmpVersion::V3, TSecurityLevel::AuthNoPriv, true, true, false},
        SecurityCase{"AuthPriv", TSnmpVersion::V3, TSecurityLevel::AuthPriv, true, true, true}),
    CaseName());

void PressKey(TfrmOptions& dialog, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &press);
}

struct CloseCase {
  const char* name;
  std::function<void(TfrmOptions&)> close;
};

class OptionsDialogClosing : public ::testing::TestWithParam<CloseCase> {};

TEST_P(OptionsDialogClosing, RefusedOnlyWhileLoggingHasNoFile) {
  TfrmOptions dialog;
  dialog.chkLog->setChecked(true);
  dialog.show();
  GetParam().close(dialog);
  EXPECT_TRUE(dialog.isVisible()) << "closed with logging on and no file";

  dialog.feFile->setText("log.csv");
  GetParam().close(dialog);
  EXPECT_FALSE(dialog.isVisible());

  dialog.feFile->clear();
  dialog.chkLog->setChecked(false);
  dialog.show();
  GetParam().close(dialog);
  EXPECT_FALSE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    OptionsDialog, OptionsDialogClosing,
    ::testing::Values(CloseCase{"OkButton", [](TfrmOptions& d) { d.Button1->click(); }},
                      CloseCase{"Enter", [](TfrmOptions& d) { PressKey(d, Qt::Key_Return); }},
                      CloseCase{"Escape", [](TfrmOptions& d) { PressKey(d, Qt::Key_Escape); }},
                      CloseCase{"CloseBox", [](TfrmOptions& d) { d.close(); }}),
    CaseName());

TEST(OptionsDialog, SnapshotComparesOnlyValuesThatMatterToAConnection) {
  TfrmOptions dialog;
  const TOptionsSnapshot before = dialog.Snapshot();
  for (QComboBox* box : {dialog.cbxInterval, dialog.cbxGraph, dialog.cbxType, dialog.cbxVersion,
                         dialog.cbxSecurityLevel, dialog.cbxAuth}) {
    const int row = box->currentIndex();
    box->setCurrentIndex(row == 1 ? 2 : 1);
    EXPECT_NE(dialog.Snapshot(), before) << box->objectName().toStdString();
    box->setCurrentIndex(row);
  }
  dialog.edtUser->setText("ops");
  EXPECT_NE(dialog.Snapshot(), before);
  dialog.edtUser->clear();
  for (QCheckBox* box :
       {dialog.chkLog, dialog.chkProcessor, dialog.chkInterface, dialog.chkStorage}) {
    box->setChecked(true);
    EXPECT_NE(dialog.Snapshot(), before) << box->objectName().toStdString();
    box->setChecked(false);
  }
  dialog.feFile->setText("a.csv");
  dialog.chkAutoHeight->setChecked(true);
  dialog.chkLevel->setChecked(true);
  dialog.chkAppend->setChecked(true);
  dialog.edtMetrics->setText("127.0.0.1:9163");
  EXPECT_EQ(dialog.Snapshot(), before);
}

// A threshold is a whole percent from 1 to 100 or nothing: keys that would make anything else
// are refused as they are typed, so what the field shows is what the rule is.
TEST(OptionsDialog, AlertThresholdsTakeOneToAHundredOrNothing) {
  TfrmOptions dialog;
  EXPECT_EQ(dialog.AlertRules(), TAlertRules{});
  for (const auto& [typed, shown] : std::vector<std::pair<QString, QString>>{
           {"0", ""}, {"150", "15"}, {"100", "100"}, {"9.5", "95"}, {"-7", "7"}, {"1000", "100"}}) {
    dialog.edtAlertStorage->clear();
    QTest::keyClicks(dialog.edtAlertStorage, typed);
    EXPECT_EQ(dialog.edtAlertStorage->text(), shown) << typed.toStdString();
  }
  EXPECT_EQ(dialog.AlertRules().Storage, 100);
  dialog.edtAlertStorage->clear();
  EXPECT_EQ(dialog.AlertRules().Storage, std::nullopt);
  dialog.SetAlertRules({0, 101, 55, false, false, 3});  // out of range from code: off
  EXPECT_EQ(dialog.AlertRules(), (TAlertRules{std::nullopt, std::nullopt, 55, false, false, 3}));
}

TEST(OptionsDialog, CentredOnMainWindow) {
  QMainWindow main;
  main.setGeometry(100, 50, 600, 500);  // the dialog fits on the 800 x 600 offscreen screen
  main.show();
  TfrmOptions dialog(&main);
  dialog.show();
  const QPoint offset = dialog.frameGeometry().center() - main.frameGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 4);
}

}  // namespace
