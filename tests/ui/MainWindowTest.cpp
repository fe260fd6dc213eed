#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

#include "ScriptedAgent.h"
#include "WindowFixture.h"

namespace {

class MainWindow : public TWindowTest {
 protected:
  static void SetUpTestSuite() { Agent.Start(Data("empty")); }
  static void TearDownTestSuite() { Agent.Stop(); }
  // Logging on, into a file that already holds a row; returns its path.
  QString LogIntoExistingFile() {
    const QString path = Folder.path() + "/activity.csv";
    QFile existing(path);
    EXPECT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me\r\n");
    Options->chkLog->setChecked(true);
    Options->feFile->setText(path);
    return path;
  }
  // Logging of the interfaces on, into a new file; returns its path.
  QString LogInterfaces() {
    const QString path = Folder.path() + "/activity.csv";
    Options->chkLog->setChecked(true);
    Options->chkInterface->setChecked(true);
    Options->feFile->setText(path);
    return path;
  }
  static QByteArray Content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static TSnmpSimAgent Agent;
};
TSnmpSimAgent MainWindow::Agent;

TEST_F(MainWindow, StartsWithDefaultsAndNoHistory) {
  EXPECT_EQ(Form->cbxCommunity->currentText(), "pewter");
  EXPECT_EQ(Form->cbxHost->currentText(), "127.0.0.1");
  EXPECT_EQ(Form->cbxCommunity->count(), 0);
  EXPECT_EQ(Form->cbxHost->count(), 0);
  EXPECT_EQ(Form->windowTitle(), "Corvane");
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_FALSE(Form->acDisconnect->isEnabled());
  EXPECT_EQ(Form->Poller(), nullptr);
}

TEST_F(MainWindow, ConnectSetsCaptionActionsAndTimerPeriod) {
  Options->cbxInterval->setCurrentIndex(1);  // 5 minutes
  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected()) << (Boxes.Shown.empty() ? "" : Boxes.Shown[0].Text.toStdString());
  EXPECT_EQ(Form->windowTitle(), "Corvane - " + HostOf(Agent));
  EXPECT_EQ(Form->Poller()->PollPeriod(), 300000);
  EXPECT_TRUE(Boxes.Shown.empty());
  // The next poll comes five minutes on.
  QSignalSpy polls(Form.get(), &TForm1::PollFinished);
  Clock.Advance(299999);
  EXPECT_EQ(polls.count(), 0);
  Clock.Advance(1);
  WaitIdle();
  EXPECT_EQ(polls.count(), 1);

  Form->acDisconnect->trigger();
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_EQ(Form->Poller(), nullptr);
  EXPECT_EQ(Form->windowTitle(), "Corvane");
}

TEST_F(MainWindow, HistoryMovesEntriesToTheFrontIgnoringCase) {
  const QString a = HostOf(Agent);
  const QString b = QStringLiteral("localhost:%1").arg(Agent.Port());
  ConnectTo(a);
  ConnectTo(b);
  ConnectTo(a);
  ASSERT_EQ(Form->cbxHost->count(), 2);
  EXPECT_EQ(Form->cbxHost->itemText(0), a);
  EXPECT_EQ(Form->cbxHost->itemText(1), b);
  EXPECT_EQ(Form->cbxHost->currentIndex(), 0);

  ConnectTo(b.toUpper());  // the list compares without case and keeps its entry's text
  ASSERT_EQ(Form->cbxHost->count(), 2);
  EXPECT_EQ(Form->cbxHost->itemText(0), b);
  EXPECT_EQ(Form->cbxCommunity->count(), 1);
}

TEST_F(MainWindow, TypingIntoEitherBoxDisconnects) {
  for (QComboBox* box : {Form->cbxHost, Form->cbxCommunity}) {
    Form->cbxCommunity->setEditText("pewter");
    ConnectTo(HostOf(Agent));
    ASSERT_TRUE(Connected());
    QTest::keyClick(box->lineEdit(), Qt::Key_End);
    QTest::keyClicks(box->lineEdit(), "x");
    EXPECT_TRUE(Form->acConnect->isEnabled()) << box->objectName().toStdString();
    EXPECT_EQ(Form->Poller(), nullptr);
    EXPECT_EQ(Form->windowTitle(), "Corvane");
  }
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(MainWindow, DeleteInTheDroppedDownListRemovesTheHighlightedEntry) {
  Form->cbxHost->addItems({"alpha", "beta", "gamma"});
  Form->cbxHost->showPopup();
  QAbstractItemView* view = Form->cbxHost->view();
  view->setCurrentIndex(view->model()->index(1, 0));
  QTest::keyClick(view, Qt::Key_Delete);
  Form->cbxHost->hidePopup();
  ASSERT_EQ(Form->cbxHost->count(), 2);
  EXPECT_EQ(Form->cbxHost->itemText(0), "alpha");
  EXPECT_EQ(Form->cbxHost->itemText(1), "gamma");
}

// Removing the entry the box shows changes its text, which ends the connection
// like typing.
TEST_F(MainWindow, DeletingTheShownHistoryEntryDisconnects) {
  const QString a = HostOf(Agent);
  const QString b = QStringLiteral("localhost:%1").arg(Agent.Port());
  ConnectTo(a);
  ConnectTo(b);
  ASSERT_TRUE(Connected());
  QAbstractItemView* view = Form->cbxHost->view();
  auto deleteRow = [&](int row) {
    Form->cbxHost->showPopup();
    view->setCurrentIndex(view->model()->index(row, 0));
    QTest::keyClick(view, Qt::Key_Delete);
    Form->cbxHost->hidePopup();
  };
  deleteRow(1);  // another entry
  EXPECT_TRUE(Connected());
  EXPECT_EQ(Form->cbxHost->currentText(), b);
  deleteRow(0);  // the shown one
  EXPECT_NE(Form->cbxHost->currentText(), b);
  EXPECT_FALSE(Connected());
  EXPECT_EQ(Form->windowTitle(), "Corvane");
}

// Communities are case-sensitive: neither the box nor the history swaps the
// typed one for an entry that differs only in case.
TEST_F(MainWindow, CommunityHistoryKeepsLetterCase) {
  Form->cbxCommunity->addItems({"Pewter"});
  Form->cbxCommunity->lineEdit()->selectAll();
  QTest::keyClicks(Form->cbxCommunity->lineEdit(), "pewter");
  QTest::keyClick(Form->cbxCommunity->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(Form->cbxCommunity->currentText(), "pewter");
  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected());
  ASSERT_EQ(Form->cbxCommunity->count(), 2);
  EXPECT_EQ(Form->cbxCommunity->itemText(0), "pewter");
  EXPECT_EQ(Form->cbxCommunity->itemText(1), "Pewter");
  EXPECT_EQ(Form->cbxCommunity->currentText(), "pewter");
}

TEST_F(MainWindow, CommunityBoxIsDisabledForVersion3) {
  auto chooseVersion = [this](TSnmpVersion version) {
    WhenDialogOpens([this, version] {
      Options->cbxVersion->setCurrentIndex(static_cast<int>(version));
      Options->Button1->click();
    });
    Form->acOptions->trigger();
  };
  chooseVersion(TSnmpVersion::V3);
  EXPECT_FALSE(Form->cbxCommunity->isEnabled());
  chooseVersion(TSnmpVersion::V2c);
  EXPECT_TRUE(Form->cbxCommunity->isEnabled());

  // The same after the settings are read at the first show.
  QFile file(Folder.path() + "/second.XML");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<Corvane><Settings><Version>3</Version></Settings></Corvane>");
  file.close();
  TForm1 second(Folder.path() + "/second");
  second.SetOptionsDialog(new TfrmOptions(&second));
  second.show();
  EXPECT_FALSE(second.cbxCommunity->isEnabled());
}

TEST_F(MainWindow, RefreshWhileDisconnectedDoesNothing) {
  Form->acRefresh->trigger();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_TRUE(Form->acConnect->isEnabled());
}

TEST_F(MainWindow, DecliningOverwriteStaysDisconnected) {
  const QString path = LogIntoExistingFile();
  Boxes.Answers = {false};

  ConnectTo(HostOf(Agent));
  ASSERT_EQ(Boxes.Shown.size(), 2u);
  EXPECT_EQ(Boxes.Shown[0].Kind, "confirm");
  EXPECT_EQ(Boxes.Shown[0].Text, "Overwrite " + path + "?");
  EXPECT_EQ(Boxes.Shown[0].Title, "Corvane");
  EXPECT_EQ(Boxes.Shown[1].Kind, "error");
  EXPECT_EQ(Boxes.Shown[1].Text, "Cannot overwrite " + path + ".");
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_EQ(Content(path), "keep me\r\n");
}

TEST_F(MainWindow, AppendingLogKeepsTheFileWithoutAsking) {
  const QString path = LogIntoExistingFile();
  Options->chkAppend->setChecked(true);

  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected());
  EXPECT_TRUE(Boxes.Shown.empty());
  Form->LogFile.WriteRow(QDateTime::currentDateTime(), LogTag::Processor, "1", "5");
  const QByteArray content = Content(path);
  EXPECT_TRUE(content.startsWith("keep me\r\n")) << content.toStdString();
  EXPECT_TRUE(content.endsWith(",Processor,1,5\r\n")) << content.toStdString();
}

TEST_F(MainWindow, LogFileCanBeReopenedAfterAFailedConnect) {
  const QString path = Folder.path() + "/activity.csv";
  Options->chkLog->setChecked(true);
  Options->feFile->setText(path);
  ConnectToSilent(QStringLiteral("127.0.0.1:%1").arg(FreeUdpPort()));  // nothing answers there
  EXPECT_FALSE(Form->LogFile.IsOpen());
  Boxes.Answers = {true};
  ConnectTo(HostOf(Agent));
  EXPECT_TRUE(Connected());
  EXPECT_TRUE(Form->LogFile.IsOpen());
}

TEST_F(MainWindow, UnresolvableHostIsNamedInTheBoxAndTheStatusBarAndStaysUsable) {
  // What the status bar says while the box is open.
  struct TBoxes : TScriptedBoxes {
    QLabel* Status = nullptr;
    QString Behind;
    void Error(QWidget* parent, const QString& text) override {
      Behind = Status->text();
      TScriptedBoxes::Error(parent, text);
    }
  } boxes;
  boxes.Status = Form->lblStatus;
  SetMessageBoxes(&boxes);
  ConnectTo("no..such..host");  // malformed, so the resolver fails without asking a server
  SetMessageBoxes(&Boxes);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Kind, "error");
  EXPECT_EQ(boxes.Shown[0].Text, "no..such..host: host not found.");
  EXPECT_EQ(boxes.Behind, "no..such..host: host not found.");
  EXPECT_EQ(Form->lblStatus->text(), "no..such..host: host not found.");
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_FALSE(Form->acDisconnect->isEnabled());

  ConnectTo(HostOf(Agent));
  EXPECT_TRUE(Connected());
}

TEST_F(MainWindow, SilentHostLeavesTheWindowDisconnectedWithoutAMessage) {
  ConnectToSilent(QStringLiteral("127.0.0.1:%1").arg(FreeUdpPort()));
  EXPECT_TRUE(Boxes.Shown.empty()) << Boxes.Shown[0].Text.toStdString();
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_EQ(Form->windowTitle(), "Corvane");
}

TEST_F(MainWindow, NonNumericIntervalEndsInAPlainMessageAndDisconnect) {
  Options->cbxInterval->setItemText(0, "often");
  ConnectTo(HostOf(Agent));
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, "plain");
  EXPECT_EQ(Boxes.Shown[0].Text, "often is not a valid integer value");
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_EQ(Form->Poller(), nullptr);
}

TEST_F(MainWindow, OptionChangesWhileConnectedAreAnnouncedOnce) {
  WhenDialogOpens([this] { Options->Button1->click(); });
  Form->acOptions->trigger();
  EXPECT_TRUE(Boxes.Shown.empty());

  WhenDialogOpens([this] {
    Options->cbxInterval->setCurrentIndex(2);
    Options->Button1->click();
  });
  Form->acOptions->trigger();
  EXPECT_TRUE(Boxes.Shown.empty());  // not connected

  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected());
  WhenDialogOpens([this] {
    Options->chkAutoHeight->setChecked(true);
    Options->cbxType->setCurrentIndex(1);
    Options->cbxType->setCurrentIndex(0);  // changed and changed back
    Options->Button1->click();
  });
  Form->acOptions->trigger();
  EXPECT_TRUE(Boxes.Shown.empty());

  WhenDialogOpens([this] {
    Options->cbxGraph->setCurrentIndex(3);
    Options->Button1->click();
  });
  Form->acOptions->trigger();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, "information");
  EXPECT_EQ(Boxes.Shown[0].Text, "Changes will not be applied to active connections.");
  EXPECT_EQ(Boxes.Shown[0].Title, "Corvane - " + HostOf(Agent));
}

TEST_F(MainWindow, AltCConnects) {
  Form->cbxHost->setEditText(HostOf(Agent));
  QApplication::setActiveWindow(Form.get());
  QTest::keyClick(Form.get(), Qt::Key_C, Qt::AltModifier);
  WaitIdle();
  EXPECT_TRUE(Connected());
}

TEST_F(MainWindow, ClosingSavesTheHistories) {
  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected());
  Form->close();
  QFile file(Folder.path() + "/corvane.XML");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray xml = file.readAll();
  EXPECT_TRUE(xml.contains(("<Host>" + HostOf(Agent) + "</Host>").toUtf8())) << xml.toStdString();
  EXPECT_TRUE(xml.contains("<Community>pewter</Community>"));
}

}  // namespace

namespace {

TEST_F(MainWindow, EmptyTabsSayWhy) {
  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected());
  EXPECT_EQ(Form->ScrollBox1->Named<QLabel>("lblNoRows")->text(),
            "This host reports no processors.");
  EXPECT_EQ(Form->ScrollBox2->Named<QLabel>("lblNoRows")->text(),
            "This host reports no network interfaces.");
  EXPECT_EQ(Form->ScrollBox3->Named<QLabel>("lblNoRows")->text(),
            "This host reports no storage areas of the kinds shown here.");
  Form->acDisconnect->trigger();
  EXPECT_EQ(Find<QLabel>("lblNoRows"), nullptr);
}

// An interface without a description goes by its ifName, else by its number, on the screen
// and in the log.
TEST_F(MainWindow, NamelessInterfacesGoByTheirNameOrNumber) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 3);
  agent.Mib.Set("1.3.6.1.2.1.2.2.1.2.1", 4, "");
  agent.Mib.Set("1.3.6.1.2.1.2.2.1.2.2", 4, "");
  agent.Mib.Remove("1.3.6.1.2.1.31.1.1.1.1.1");
  agent.Mib.Set("1.3.6.1.2.1.31.1.1.1.1.2", 4, "uplink0");
  const QString log = LogInterfaces();
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  ASSERT_TRUE(Connected());
  EXPECT_EQ(LabelText("lblInterface1"), "Interface 1");
  EXPECT_EQ(LabelText("lblInterface2"), "uplink0");
  EXPECT_EQ(LabelText("lblInterface3"), "eth3");
  agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "106000");  // a minute on: rates to log
  Refresh();
  Form->acDisconnect->trigger();
  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString rows = QString::fromLocal8Bit(file.readAll());
  EXPECT_TRUE(rows.contains(",InterFaceIn,Interface 1,")) << rows.toStdString();
  EXPECT_TRUE(rows.contains(",InterFaceOut,uplink0,")) << rows.toStdString();
}

TEST_F(MainWindow, StatusBarTellsWhoTheHostIsAndHowLongItHasBeenUp) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 1);
  agent.Mib.Set("1.3.6.1.2.1.1.1.0", 4, "Linux edge1 6.1.0-18-amd64\r\n#1 SMP");
  agent.Mib.Set("1.3.6.1.2.1.1.5.0", 4, "<b>edge1</b>");
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  ASSERT_TRUE(Connected());
  auto* identity = Find<QLabel>("lblIdentity");
  ASSERT_NE(identity, nullptr);
  EXPECT_EQ(identity->textFormat(), Qt::PlainText);
  EXPECT_EQ(identity->text(), "<b>edge1</b> | Linux edge1 6.1.0-18-amd64 | up 0 d 00:16");
  // The up-time of each poll, from the readings it makes anyway.
  agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "8640000");
  Refresh();
  EXPECT_EQ(identity->text(), "<b>edge1</b> | Linux edge1 6.1.0-18-amd64 | up 1 d 00:00");
  Form->acDisconnect->trigger();
  EXPECT_EQ(identity->text(), "");
}

// A host whose counters run at 1,000,000 bit/s: the first poll comes too soon after discovery
// for a rate; the reading five seconds on gives it, in that poll's place.
TEST_F(MainWindow, TheFirstRateComesFromAReadingSecondsAfterConnect) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 1);
  const QString log = LogInterfaces();
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  ASSERT_TRUE(Connected());
  EXPECT_EQ(LabelText("lblInterfaceIn1"), "In: measuring");
  ASSERT_TRUE(Form->Poller()->FollowUpPending());

  agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "100500");
  agent.Mib.Set("1.3.6.1.2.1.31.1.1.1.6.1", 0x46, "626000");  // read as in version 1: 32 bits
  agent.Mib.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, "626000");
  const int requests = agent.Requests();
  Clock.Advance(4999);  // not due yet
  QTest::qWait(50);
  EXPECT_EQ(agent.Requests(), requests);
  EXPECT_TRUE(Form->Poller()->FollowUpPending());

  Clock.Advance(1);
  EXPECT_TRUE(QTest::qWaitFor([this] { return LabelText("lblInterfaceIn1") != "In: measuring"; }));
  WaitIdle();
  EXPECT_EQ(LabelText("lblInterfaceIn1"), "In: 976.56 K");
  EXPECT_FALSE(Form->Poller()->FollowUpPending());
  EXPECT_EQ(Find<TChart>("InterfaceChart1")->Series[0].Points.size(), 1u);

  Form->acDisconnect->trigger();
  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains(",InterFaceIn,eth1,976.5625\r\n"));

  // A poll that gives the rates first makes it needless, and Disconnect cancels it.
  Options->chkLog->setChecked(false);
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  EXPECT_TRUE(Form->Poller()->FollowUpPending());
  agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "106500");
  Refresh();
  EXPECT_FALSE(Form->Poller()->FollowUpPending());
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  EXPECT_TRUE(Form->Poller()->FollowUpPending());
  Form->acDisconnect->trigger();
  EXPECT_EQ(Clock.Pending(), 0u);
}

// As the list of watched hosts will: another host, polled in the background, is shown from what
// its poller holds, its history included, without a new discovery.
TEST_F(MainWindow, ShowingAnotherPollerBuildsItsRowsFromItsStateWithoutAskingItsHost) {
  TScriptedAgent connected, watched;
  FillHost(connected.Mib, 1);
  FillHost(watched.Mib, 3);
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(connected.Port()));
  ASSERT_TRUE(Connected());

  TPollerSettings settings;
  settings.Host = QStringLiteral("127.0.0.1:%1").arg(watched.Port());
  TPoller& other = Form->Pollers.Hold(settings);
  other.Connect();
  ASSERT_TRUE(QTest::qWaitFor([&] { return other.Connected() && !other.Busy(); }, 10000));
  watched.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "106000");
  watched.Mib.Set("1.3.6.1.2.1.2.2.1.10.3", 0x41, "64440");  // 8 Kbit/s over the minute
  other.Refresh();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !other.Busy(); }, 10000));
  const int requests = watched.Requests();

  Form->ShowPoller(other);
  EXPECT_EQ(watched.Requests(), requests);
  EXPECT_EQ(Form->windowTitle(), "Corvane - " + settings.Host);
  EXPECT_TRUE(Form->lblStatus->text().startsWith("Last poll "))
      << Form->lblStatus->text().toStdString();
  EXPECT_EQ(RowCount(Form->ScrollBox2), 3);
  EXPECT_EQ(LabelText("lblInterface3"), "eth3");
  EXPECT_EQ(LabelText("lblInterfaceIn3"), "In: 8.00 K");
  EXPECT_EQ(LabelText("lblStorageUsed31"), "Used: 976.6 Mb");
  EXPECT_EQ(Find<TGauge>("ProcessorGauge769")->Position(), 9);
  const auto& points = Find<TChart>("InterfaceChart3")->Series[0].Points;
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].Y, 8);
  EXPECT_TRUE(std::isnan(points[1].Y));  // the first poll was too soon for a rate
  // The host connected before is no longer polled; what the shown one finds from now on shows.
  EXPECT_EQ(Form->Pollers.Find(QStringLiteral("127.0.0.1:%1").arg(connected.Port())), nullptr);
  watched.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "112000");
  Refresh();
  EXPECT_EQ(LabelText("lblInterfaceIn3"), "In: 0.00 K");
  EXPECT_EQ(Find<TChart>("InterfaceChart3")->Series[0].Points.size(), 3u);
  Form->Pollers.Release(other);
}

}  // namespace
