#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <string>

#include "ScriptedAgent.h"
#include "TrayIcon.h"
#include "WindowFixture.h"

// What the window shows of alerts, and how it closes with the tray option on.
namespace {

constexpr const char* kLoad768 = "1.3.6.1.2.1.25.3.3.1.2.768";

class AlertsWindow : public TWindowTest {
 protected:
  void SetUp() override {
    TWindowTest::SetUp();
    FillHost(Agent.Mib, 2);
    Agent.Mib.Set(kLoad768, 2, "95");
    // An agent's name is shown as it is, on one line, mark or no mark.
    Agent.Mib.Set("1.3.6.1.2.1.2.2.1.2.1", 4, "<i>eth1</i>\nup");
    SetState(1, "2");
    SetState(2, "1");
  }
  void SetState(int index, const std::string& oper) {
    Agent.Mib.Set("1.3.6.1.2.1.2.2.1.7." + std::to_string(index), 2, "1");
    Agent.Mib.Set("1.3.6.1.2.1.2.2.1.8." + std::to_string(index), 2, oper);
  }
  QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(Agent.Port()); }
  QStringList TabTexts() const {
    QStringList texts;
    for (int i = 0; i < Form->PageControl1->count(); ++i) texts << Form->PageControl1->tabText(i);
    return texts;
  }
  TScriptedAgent Agent;
};

TEST_F(AlertsWindow, RowsTabsAndStatusBarShowTheAlertsOfTheHostShown) {
  // The rules as the user sets them: they apply when the options close.
  WhenDialogOpens([this] {
    TAlertRules rules;
    rules.Processor = 90;
    rules.Down = true;
    rules.Polls = 1;
    Options->SetAlertRules(rules);
    Options->accept();
  });
  Form->acOptions->trigger();
  const QString host = Host();
  ConnectTo(host);
  ASSERT_TRUE(Connected());

  auto* load = Find<QLabel>("lblProcessor768");
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load->text(), "\u26a0 Processor 1 (768):");
  EXPECT_EQ(load->palette().color(QPalette::WindowText), AlertColor);
  EXPECT_EQ(LabelText("lblProcessor769"), "Processor 2 (769):");
  EXPECT_EQ(LabelText("lblInterface1"), "\u26a0 <i>eth1</i> up");
  EXPECT_EQ(Find<QLabel>("lblInterface1")->textFormat(), Qt::PlainText);
  EXPECT_EQ(TabTexts(), (QStringList{"Processor (1)", "Interface (1)", "Storage"}));
  EXPECT_EQ(LabelText("lblAlert"), host + ": Interface <i>eth1</i> up is down");
  EXPECT_EQ(Form->Alerts.Count(*Form->Poller()), 2);
  // Watched, the host's count stands in the Hosts panel too.
  Form->acWatch->trigger();
  const QModelIndex count = Form->HostsModel->index(0, THostsModel::ColAlerts);
  EXPECT_EQ(count.data().toInt(), 2);
  EXPECT_TRUE(Form->Metrics.Render().contains("corvane_alert_active{host=\"" + host.toUtf8() +
                                              "\",kind=\"processor\",item=\"768\"} 1\n"));
  const TChart* chart = Find<TChart>("ProcessorChart768");
  ASSERT_EQ(chart->Events.size(), 1u);
  EXPECT_EQ(chart->Events[0].Text, "Processor 768 at 95 %");
  EXPECT_TRUE(Find<TChart>("ProcessorChart769")->Events.empty());

  Agent.Mib.Set(kLoad768, 2, "20");
  SetState(1, "1");
  Refresh();
  EXPECT_EQ(LabelText("lblProcessor768"), "Processor 1 (768):");
  EXPECT_NE(load->palette().color(QPalette::WindowText), AlertColor);
  EXPECT_EQ(TabTexts(), (QStringList{"Processor", "Interface", "Storage"}));
  EXPECT_EQ(LabelText("lblAlert"), host + ": Interface <i>eth1</i> up is up again");
  EXPECT_EQ(count.data().toInt(), 0);
  ASSERT_EQ(chart->Events.size(), 2u);
  EXPECT_EQ(chart->Events[1].Text, "Processor 768 is back to normal");
}

// Offscreen, and on a desktop without a tray (run on Xvfb too), the option changes nothing:
// closing the window ends the program as ever, its pollers stopped and its settings saved.
TEST_F(AlertsWindow, WithoutATrayClosingStillExits) {
  if (TTrayIcon::Available()) GTEST_SKIP() << "this desktop has a tray";
  Options->chkTray->setChecked(true);
  ConnectTo(Host());
  ASSERT_TRUE(Connected());
  Form->close();
  EXPECT_FALSE(Form->isVisible());
  EXPECT_TRUE(Form->Pollers.All().empty());
  EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
  QFile settings(Folder.path() + "/corvane.XML");
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  EXPECT_TRUE(settings.readAll().contains("<Tray>true</Tray>"));
}

}  // namespace
