#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Computations.h"
#include "Dialogs.h"
#include "FileEdit.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "SnmpAgents.h"

// Message boxes that record what they were asked and answer from a script.
class TScriptedBoxes : public TMessageBoxes {
 public:
  struct TShown {
    QString Kind;
    QString Text;
    QString Title;  // the caption the real box would carry
  };
  bool Confirm(QWidget* parent, const QString& text) override {
    Shown.push_back({"confirm", text, MessageBoxTitle(parent)});
    if (Answers.empty()) return false;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void Error(QWidget* parent, const QString& text) override {
    Shown.push_back({"error", text, MessageBoxTitle(parent)});
  }
  void Information(QWidget* parent, const QString& text) override {
    Shown.push_back({"information", text, MessageBoxTitle(parent)});
  }
  void Plain(QWidget* parent, const QString& text) override {
    Shown.push_back({"plain", text, MessageBoxTitle(parent)});
  }

  std::deque<bool> Answers;
  std::vector<TShown> Shown;
};

// A main window with its options dialog, its settings in a temporary folder, and scripted
// message boxes.
class TWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxes(&Boxes);
    Form = std::make_unique<TForm1>(Folder.path() + "/corvane");
    Options = new TfrmOptions(Form.get());
    Form->SetOptionsDialog(Options);
    Form->IdSNMP1.SetReceiveTimeout(1000);
    Form->show();
  }
  void TearDown() override {
    Form.reset();
    SetMessageBoxes(nullptr);
  }

  static std::string Data(const std::string& name) { return TestDataDir() + "/monitor/" + name; }
  QString HostOf(const TSnmpSimAgent& agent) const {
    return QStringLiteral("127.0.0.1:%1").arg(agent.Port());
  }
  // As a user would: a new host text ends the current connection, then Connect; waits until
  // the Connect and its first poll are over.
  void ConnectTo(const QString& host) {
    Form->acDisconnect->trigger();
    Form->cbxHost->setEditText(host);
    Form->acConnect->trigger();
    WaitIdle();
  }
  // Refresh, and wait for the poll to end.
  void Refresh() {
    Form->acRefresh->trigger();
    WaitIdle();
  }
  void WaitIdle() const {
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Form->Busy(); }, 30000));
  }
  bool Connected() const {
    return !Form->acConnect->isEnabled() && Form->acDisconnect->isEnabled() &&
           Form->Timer1->isActive();
  }
  template <class T>
  T* Find(const QString& name) const {
    return Form->findChild<T*>(name);
  }
  QString LabelText(const QString& name) const {
    auto* label = Find<QLabel>(name);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
  }
  int RowCount(TScrollBox* box) const {
    return static_cast<int>(box->Rows()->findChildren<TGauge*>().size());
  }
  // Runs `step` once the next modal dialog is open (scheduled before opening it).
  static void WhenDialogOpens(std::function<void()> step) {
    QTimer::singleShot(0, [step = std::move(step)] { step(); });
  }

  QTemporaryDir Folder;
  TScriptedBoxes Boxes;
  std::unique_ptr<TForm1> Form;
  TfrmOptions* Options = nullptr;
};
