#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Computations.h"
#include "Dialogs.h"
#include "FakeClock.h"
#include "FileEdit.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "SnmpAgents.h"

// A chart series' points as (x, value); NaN compares unequal to itself, so a gap is -1 here.
inline std::vector<std::pair<double, double>> Points(const TChartSeries& series) {
  std::vector<std::pair<double, double>> points;
  for (const auto& point : series.Points)
    points.emplace_back(point.X, std::isnan(point.Y) ? -1 : point.Y);
  return points;
}

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

// A main window with its options dialog, its settings in a temporary folder, scripted message
// boxes, and a clock the test moves: replies come over loopback at once, while time-outs, the
// first-rate reading and poll ticks wait until the test advances the clock.
class TWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxes(&Boxes);
    Form = std::make_unique<TForm1>(Folder.path() + "/corvane", nullptr, Clock);
    Options = new TfrmOptions(Form.get());
    Form->SetOptionsDialog(Options);
    Form->ReceiveTimeoutMs = 1000;
    BeforeShow();
    Form->show();
  }
  // What a test sets up before the window's first show reads the settings.
  virtual void BeforeShow() {}
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
  // As ConnectTo, to a host that does not answer: its deadline passes.
  void ConnectToSilent(const QString& host) {
    Form->acDisconnect->trigger();
    Form->cbxHost->setEditText(host);
    Form->acConnect->trigger();
    TimeOutAfter(1);
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
    return !Form->acConnect->isEnabled() && Form->acDisconnect->isEnabled() && Form->Poller() &&
           Form->Poller()->Connected();
  }
  // Datagrams the poller shown has sent.
  int Sent() const { return Form->Poller() ? Form->Poller()->Requester().Sent() : 0; }
  // Waits until the poller shown has sent sent datagrams, then moves the clock past their
  // deadlines.
  void TimeOutAfter(int sent) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return Sent() >= sent; }, 10000));
    Clock.Advance(Form->ReceiveTimeoutMs);
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
  TFakeClock Clock;
  std::unique_ptr<TForm1> Form;
  TfrmOptions* Options = nullptr;
};
