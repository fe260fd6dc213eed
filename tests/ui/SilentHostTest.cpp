#include <gtest/gtest.h>

#include <QFile>
#include <QStatusBar>
#include <cmath>

#include "ScriptedAgent.h"
#include "WindowFixture.h"

// A host that stops answering, with the client on a clock the test moves: time-outs come when
// the test says so, not after seconds of waiting.
namespace {

const QDateTime Moment(QDate(2026, 12, 7), QTime(8, 30, 0));

class SilentHost : public TWindowTest {
 protected:
  void SetUp() override {
    Clock.SetNow(Moment);
    TWindowTest::SetUp();
    FillHost(Agent.Mib, 2);
    LogPath = Folder.path() + "/activity.csv";
    Options->chkLog->setChecked(true);
    for (QCheckBox* box : {Options->chkProcessor, Options->chkInterface, Options->chkStorage})
      box->setChecked(true);
    Options->feFile->setText(LogPath);
    ConnectTo(Host());
    ASSERT_TRUE(Connected());
  }
  QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(Agent.Port()); }
  // Lets the request number n reach the agent, then moves the clock past its deadline.
  void TimeOut(int n) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return Agent.Requests() >= n; }, 5000));
    Clock.Advance(5000);
  }
  QString Status() const { return Form->lblStatus->text(); }
  bool Needle(const QString& gauge) const { return Find<TGauge>(gauge)->HasPosition(); }
  double Newest(const QString& chart, int series = 0) const {
    return Find<TChart>(chart)->Series[static_cast<size_t>(series)].Points.at(0).Y;
  }

  TScriptedAgent Agent;
  QString LogPath;
};

TEST_F(SilentHost, TwoTimeOutsEndThePollWithGapsAndNoBoxThenRatesResume) {
  EXPECT_TRUE(Status().startsWith("Last poll ")) << Status().toStdString();
  Agent.Silent = true;
  const int before = Agent.Requests();
  Form->acRefresh->trigger();
  TimeOut(before + 1);
  TimeOut(before + 2);
  WaitIdle();
  EXPECT_EQ(Agent.Requests(), before + 2);  // the rest of the poll was not sent
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(Status(),
            "No answer from " + Host() + " since " + ClockTime(Moment.time(), QLocale::system()));
  EXPECT_TRUE(Connected());
  for (const char* gauge : {"ProcessorGauge768", "InterfaceGauge2", "StorageGauge31"})
    EXPECT_FALSE(Needle(gauge)) << gauge;
  EXPECT_EQ(LabelText("lblInterfaceVal2"), "no answer");
  EXPECT_EQ(LabelText("lblStorageUsed31"), "Used: no answer");
  EXPECT_TRUE(std::isnan(Newest("ProcessorChart768")));
  EXPECT_TRUE(std::isnan(Newest("InterfaceChart1", 1)));

  // Back again two minutes on: 122880 octets in on interface 1 since the last good reading.
  Agent.Silent = false;
  Agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "112000");
  Agent.Mib.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, "123880");
  Refresh();
  EXPECT_TRUE(Status().startsWith("Last poll ")) << Status().toStdString();
  EXPECT_EQ(LabelText("lblInterfaceIn1"), "In: 8.00 K");
  EXPECT_TRUE(Needle("InterfaceGauge1"));

  // The silent poll wrote no rows: 4 from the first poll (no rates yet), 8 from the last.
  Form->acDisconnect->trigger();
  QFile log(LogPath);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll().count("\r\n"), 12);
}

TEST_F(SilentHost, DisconnectCancelsAPollAtOnceAndLateRepliesFindNothing) {
  Agent.Silent = true;
  const int before = Agent.Requests();
  Form->acRefresh->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Agent.Requests() > before; }, 5000));
  Form->acDisconnect->trigger();
  EXPECT_FALSE(Form->Busy());
  EXPECT_TRUE(Form->acConnect->isEnabled());
  Clock.Advance(60000);
  QTest::qWait(50);
  EXPECT_EQ(Agent.Requests(), before + 1);
  EXPECT_TRUE(Boxes.Shown.empty());

  // Connect to a host that does not answer: a word in the status bar, no box.
  Options->chkLog->setChecked(false);
  Form->acConnect->trigger();
  EXPECT_TRUE(Form->Busy());
  EXPECT_EQ(Status(), "Connecting to " + Host() + "...");
  TimeOut(before + 2);
  WaitIdle();
  EXPECT_EQ(Status(), "No answer from " + Host() + ".");
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_TRUE(Form->acConnect->isEnabled());
}

}  // namespace
