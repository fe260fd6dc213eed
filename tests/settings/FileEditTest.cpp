#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <optional>

#include "FileEdit.h"
#include "TestHelpers.h"

namespace {

// A file edit whose dialog answers with a prepared result.
class TScriptedFileEdit : public TFileEdit {
 public:
  std::optional<QString> Answer;
  int DialogRuns = 0;

  // Where typed text is drawn.
  QRect TextArea() {
    QStyleOptionFrame option;
    initStyleOption(&option);
    return style()
        ->subElementRect(QStyle::SE_LineEditContents, &option, this)
        .marginsRemoved(textMargins());
  }

 protected:
  std::optional<QString> RunFileDialog() override {
    ++DialogRuns;
    return Answer;
  }
};

TEST(FileEdit, HintAndEnabledStateFollowTheEdit) {
  TFileEdit edit;
  edit.setText("a");
  EXPECT_TRUE(edit.toolTip().isEmpty());
  edit.SetHint = true;
  edit.setText("/tmp/b.csv");
  EXPECT_EQ(edit.toolTip(), "/tmp/b.csv");
  edit.setEnabled(false);
  EXPECT_FALSE(edit.Button()->isEnabled());
  edit.setEnabled(true);
  EXPECT_TRUE(edit.Button()->isEnabled());
}

class FileEditLayout : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(FileEditLayout, ButtonInsideRightEdgeAndTextClearOfIt) {
  const auto [width, framed] = GetParam();
  TScriptedFileEdit edit;
  edit.setFrame(framed);
  edit.resize(width, edit.height());
  edit.UpdateButtonLayout();
  edit.show();
  const QRect button = edit.Button()->geometry();
  EXPECT_EQ(edit.height(), 21);
  EXPECT_EQ(button.width(), 17);
  EXPECT_TRUE(edit.rect().contains(button)) << button.x() << "," << button.y();
  EXPECT_GE(button.right(), edit.width() - 4);
  EXPECT_LT(edit.TextArea().right(), button.left());
}

INSTANTIATE_TEST_SUITE_P(FileEdit, FileEditLayout,
                         ::testing::Combine(::testing::Values(40, 150, 400), ::testing::Bool()));

struct FilterCase {
  const char* name;
  QString filter;
  QString qt;
};

class FileFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileFilter, BecomesQtForm) {
  EXPECT_EQ(QtFileFilter(GetParam().filter), GetParam().qt);
}

INSTANTIATE_TEST_SUITE_P(
    FileEdit, FileFilter,
    ::testing::Values(
        FilterCase{"PatternShown", "CSV File (*.csv)|*.csv", "CSV File (*.csv)"},
        FilterCase{"PatternAdded", "CSV File|*.csv", "CSV File (*.csv)"},
        FilterCase{"SeveralPairs", "Text|*.txt;*.log|All (*)|*", "Text (*.txt *.log);;All (*)"},
        FilterCase{"ShownListRewritten", "Logs (*.log;*.txt)|*.log;*.txt", "Logs (*.log *.txt)"},
        FilterCase{"Empty", "", ""}, FilterCase{"PairWithoutPattern", "Broken|", ""}),
    CaseName());

TEST(FileEdit, ChosenFileLandsInEditAndHint) {
  TScriptedFileEdit edit;
  edit.SetHint = true;
  edit.Answer = "/tmp/logs/run.csv";
  edit.Button()->click();
  EXPECT_EQ(edit.text(), "/tmp/logs/run.csv");
  EXPECT_EQ(edit.toolTip(), "/tmp/logs/run.csv");

  edit.IncludePath = false;
  edit.Answer = "/tmp/logs/other.csv";
  edit.Button()->click();
  EXPECT_EQ(edit.text(), "other.csv");

  edit.Answer.reset();  // cancelled
  edit.Button()->click();
  EXPECT_EQ(edit.text(), "other.csv");

  TFileEdit* sender = nullptr;
  edit.OnButtonClick = [&](TFileEdit* e) { sender = e; };
  edit.Button()->click();
  EXPECT_EQ(sender, &edit);
  EXPECT_EQ(edit.DialogRuns, 3);
}

// The real dialog gets the settings and offers the last choice, not the edit's text.
TEST(FileEdit, BuiltInDialogUsesSettingsAndRemembersChoice) {
  QTemporaryDir dir;
  TFileEdit edit;
  edit.DialogSettings = {"Log File", dir.path(), "csv", "CSV File (*.csv)|*.csv", {}};
  QStringList filters, offered;
  auto answerNext = [&](const QString& name) {
    QTimer::singleShot(0, [&, name] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Log File");
      filters = dialog->nameFilters();
      offered = dialog->selectedFiles();
      if (!name.isEmpty()) dialog->selectFile(name);
      static_cast<QDialog*>(dialog)->accept();
    });
  };
  answerNext("first");
  edit.Button()->click();
  EXPECT_EQ(edit.text(), dir.filePath("first.csv"));
  EXPECT_EQ(filters, QStringList{"CSV File (*.csv)"});

  edit.setText("typed.csv");
  answerNext(QString());
  edit.Button()->click();
  EXPECT_EQ(offered, QStringList{dir.filePath("first.csv")});
}

}  // namespace
