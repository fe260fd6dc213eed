#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
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

  const std::vector<QWidget*> expected = {
      dialog.cbxInterval, dialog.cbxGraph,     dialog.cbxType,      dialog.chkAutoHeight,
      dialog.chkLog,      dialog.chkProcessor, dialog.chkInterface, dialog.chkStorage,
      dialog.feFile,      dialog.Button1,      dialog.chkLevel};
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

TEST(OptionsDialog, SnapshotComparesOnlyTheSevenValues) {
  TfrmOptions dialog;
  const TOptionsSnapshot before = dialog.Snapshot();
  for (QComboBox* box : {dialog.cbxInterval, dialog.cbxGraph, dialog.cbxType}) {
    box->setCurrentIndex(2);
    EXPECT_NE(dialog.Snapshot(), before) << box->objectName().toStdString();
    box->setCurrentIndex(0);
  }
  for (QCheckBox* box :
       {dialog.chkLog, dialog.chkProcessor, dialog.chkInterface, dialog.chkStorage}) {
    box->setChecked(true);
    EXPECT_NE(dialog.Snapshot(), before) << box->objectName().toStdString();
    box->setChecked(false);
  }
  dialog.feFile->setText("a.csv");
  dialog.chkAutoHeight->setChecked(true);
  dialog.chkLevel->setChecked(true);
  EXPECT_EQ(dialog.Snapshot(), before);
}

TEST(OptionsDialog, CentredOnMainWindow) {
  QMainWindow main;
  main.setGeometry(200, 150, 800, 600);
  main.show();
  TfrmOptions dialog(&main);
  dialog.show();
  const QPoint offset = dialog.frameGeometry().center() - main.frameGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 4);
}

}  // namespace
