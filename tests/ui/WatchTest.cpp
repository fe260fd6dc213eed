#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QFile>
#include <memory>

#include "../credentials/FakeSecretStore.h"
#include "PassphraseDialog.h"
#include "ScriptedAgent.h"
#include "WindowFixture.h"

// Hosts watched in the background: from the settings file at start-up, through "Watch This
// Host", and shown from the Hosts panel.
namespace {

QByteArray WatchedHost(const QString& name, const char* community, const char* version) {
  return QStringLiteral(
             "<Host><Name>%1</Name><Community>%2</Community><Version>%3</Version></Host>")
      .arg(name, QLatin1String(community), QLatin1String(version))
      .toUtf8();
}

class Watching : public TWindowTest {
 protected:
  Watching() : B("public") {
    FillHost(A.Mib, 1);
    FillHost(B.Mib, 3);
    FillHost(C.Mib, 2);
  }
  // As a run before left them: A in version 2c, B in version 1 with its own community.
  void BeforeShow() override {
    QFile file(Folder.path() + "/corvane.XML");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Corvane><Settings><Community>pewter</Community><Watch>" +
               WatchedHost(Host(A), "pewter", "2c") + WatchedHost(Host(B), "public", "1") +
               "</Watch></Settings></Corvane>");
  }
  static QString Host(const TScriptedAgent& agent) {
    return QStringLiteral("127.0.0.1:%1").arg(agent.Port());
  }
  // Every watched poller has connected or failed, and has nothing under way.
  void WaitForWatched() const {
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
          for (TPoller* poller : Form->WatchList.Pollers())
            if (poller->Busy() || poller->Status().State == TPollerState::Connecting) return false;
          return true;
        },
        10000));
  }
  // The clock moves on by an interval, and the hosts' polls end.
  void NextTick() {
    Clock.Advance(60000);
    QTest::qWait(20);
    WaitForWatched();
  }
  // Enter on the panel's row of host.
  void ShowFromPanel(const QString& host) {
    QAbstractItemModel* model = Form->tblHosts->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      const QModelIndex index = model->index(row, THostsModel::ColHost);
      if (model->data(index).toString() != host) continue;
      Form->tblHosts->setCurrentIndex(index);
      QTest::keyClick(Form->tblHosts, Qt::Key_Return);
      return;
    }
    ADD_FAILURE() << "no row of " << host.toStdString();
  }
  int PanelRows() const { return Form->tblHosts->model()->rowCount(); }

  TScriptedAgent A, B, C;
};

TEST_F(Watching, HostsOfTheSettingsArePolledFromStartAndShownFromThePanelWithoutADiscovery) {
  WaitForWatched();
  for (TPoller* poller : Form->WatchList.Pollers())
    EXPECT_TRUE(poller->Connected()) << poller->Host().toStdString();
  EXPECT_EQ(Form->Poller(), nullptr);
  EXPECT_EQ(Form->windowTitle(), "Corvane");
  EXPECT_TRUE(Form->dckHosts->isVisible());
  EXPECT_EQ(PanelRows(), 2);
  const int a = A.Requests(), b = B.Requests();
  NextTick();
  EXPECT_GT(A.Requests(), a);
  EXPECT_GT(B.Requests(), b);
  const QByteArray metrics = Form->Pollers.RenderMetrics();
  for (const TScriptedAgent* agent : {&A, &B})
    EXPECT_TRUE(metrics.contains("corvane_up{host=\"" + Host(*agent).toUtf8() + "\"} 1\n"))
        << metrics.toStdString();

  // Shown at once from what its poller holds; its texts in the boxes are no edit.
  const int asked = B.Requests();
  ShowFromPanel(Host(B));
  EXPECT_EQ(B.Requests(), asked);
  ASSERT_NE(Form->Poller(), nullptr);
  EXPECT_EQ(Form->Poller()->Host(), Host(B));
  EXPECT_EQ(RowCount(Form->ScrollBox2), 3);
  EXPECT_EQ(LabelText("lblStorageUsed31"), "Used: 976.6 Mb");
  EXPECT_EQ(Form->cbxHost->currentText(), Host(B));
  EXPECT_EQ(Form->cbxCommunity->currentText(), "public");
  EXPECT_EQ(Form->windowTitle(), "Corvane - " + Host(B));
  EXPECT_TRUE(Form->acDisconnect->isEnabled());
  EXPECT_TRUE(Form->acStopWatching->isEnabled());
  EXPECT_FALSE(Form->acWatch->isEnabled());
  NextTick();
  EXPECT_EQ(Find<TChart>("InterfaceChart3")->Series[0].Points.size(), 3u);

  // No longer watched, it is polled while shown, and no more once the window lets it go.
  Form->acStopWatching->trigger();
  EXPECT_EQ(PanelRows(), 1);
  EXPECT_FALSE(Form->acStopWatching->isEnabled());
  EXPECT_NE(Form->Pollers.Find(Host(B)), nullptr);
  Form->acDisconnect->trigger();
  EXPECT_EQ(Form->Pollers.Find(Host(B)), nullptr);
  const int stopped = B.Requests();
  NextTick();
  EXPECT_EQ(B.Requests(), stopped);

  Form->close();
  QFile file(Folder.path() + "/corvane.XML");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  EXPECT_TRUE(saved.contains("<Watch>\n      <Host>\n        <Name>" + Host(A).toUtf8() +
                             "</Name>\n        <Community>pewter</Community>\n        "
                             "<Version>2c</Version>\n      </Host>\n    </Watch>"))
      << saved.toStdString();
}

// The log belongs to the tool bar's connection: showing a watched host ends it as an edit of the
// boxes would, while the host it logged goes on being polled once watched.
TEST_F(Watching, WatchThisHostKeepsItPolledAndShowingAnotherEndsTheToolBarsConnection) {
  WaitForWatched();
  const QString log = Folder.path() + "/activity.csv";
  Options->chkLog->setChecked(true);
  Options->chkProcessor->setChecked(true);
  Options->feFile->setText(log);
  EXPECT_FALSE(Form->acWatch->isEnabled());
  ConnectTo(Host(C));
  ASSERT_TRUE(Connected());
  EXPECT_TRUE(Form->acWatch->isEnabled());
  Form->acWatch->trigger();
  EXPECT_EQ(PanelRows(), 3);
  EXPECT_FALSE(Form->acWatch->isEnabled());
  EXPECT_TRUE(Form->acStopWatching->isEnabled());
  const qint64 logged = QFileInfo(log).size();
  EXPECT_GT(logged, 0);

  ShowFromPanel(Host(A));
  EXPECT_EQ(Form->Poller()->Host(), Host(A));
  const int c = C.Requests();
  NextTick();
  EXPECT_GT(C.Requests(), c);
  EXPECT_EQ(QFileInfo(log).size(), logged);
  EXPECT_EQ(Form->WatchList.Hosts().back(), (TWatchedHost{Host(C), "pewter", {}}));

  // Disconnected, a watched host goes on in the background.
  Form->acDisconnect->trigger();
  const int a = A.Requests();
  NextTick();
  EXPECT_GT(A.Requests(), a);
  EXPECT_TRUE(Boxes.Shown.empty());
}

constexpr const char* kUser =
    "createUser corvane-priv SHA-256 pewter-auth-256 AES pewter-priv-aes\n"
    "rouser corvane-priv priv\n";

// SNMPv3 hosts watched on IPv4 and IPv6, of which the keyring knows only the second.
class WatchingVersion3 : public TWindowTest {
 protected:
  static void SetUpTestSuite() {
    Snmpd = std::make_unique<TSnmpdAgent>();
    Snmpd->Start(kUser, true);
  }
  static void TearDownTestSuite() { Snmpd.reset(); }
  void BeforeShow() override {
    Store = new TFakeSecretStore;
    Form->Secrets.reset(Store);
    Form->PassphraseSource = std::make_unique<TPassphraseSource>(*Form->Secrets);
    Store->Entries[SecretKey({"corvane-priv", Host(true)}, TSecretKind::Authentication)] =
        "pewter-auth-256";
    Store->Entries[SecretKey({"corvane-priv", Host(true)}, TSecretKind::Privacy)] =
        "pewter-priv-aes";
    QByteArray hosts;
    for (const bool ipv6 : {false, true})
      hosts += "<Host><Name>" + Host(ipv6).toUtf8() +
               "</Name><Version>3</Version><SecurityName>corvane-priv</SecurityName>"
               "<SecurityLevel>authPriv</SecurityLevel><AuthProtocol>SHA-256</AuthProtocol>"
               "<PrivProtocol>AES</PrivProtocol></Host>";
    QFile file(Folder.path() + "/corvane.XML");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Corvane><Settings><Watch>" + hosts + "</Watch></Settings></Corvane>");
  }
  static QString Host(bool ipv6) {
    return (ipv6 ? QStringLiteral("[::1]:%1") : QStringLiteral("127.0.0.1:%1")).arg(Snmpd->Port());
  }
  TPassphraseDialog* Dialog() const {
    auto* dialog = Form->findChild<TPassphraseDialog*>();
    return dialog && dialog->isVisible() ? dialog : nullptr;
  }

  static inline std::unique_ptr<TSnmpdAgent> Snmpd;
  TFakeSecretStore* Store = nullptr;
};

TEST_F(WatchingVersion3, AHostWithoutKeyringEntriesWaitsForItsPassphrasesAndShowingItAsks) {
  TPoller* known = Form->WatchList.Find(Host(true));
  TPoller* unknown = Form->WatchList.Find(Host(false));
  ASSERT_TRUE(known && unknown);
  ASSERT_TRUE(QTest::qWaitFor([&] { return known->Connected() && !known->Busy(); }, 10000))
      << Snmpd->Log();
  EXPECT_EQ(unknown->Status().State, TPollerState::PassphraseNeeded);
  EXPECT_EQ(unknown->Requester().Sent(), 0);
  EXPECT_EQ(Dialog(), nullptr);  // never asked at start-up
  QAbstractItemModel* model = Form->tblHosts->model();
  QStringList marks;
  for (int row = 0; row < model->rowCount(); ++row)
    marks << model->data(model->index(row, THostsModel::ColStatus), Qt::ToolTipRole).toString();
  EXPECT_EQ(marks, QStringList({"passphrase needed", "answering"}));  // sorted by host

  Form->tblHosts->setCurrentIndex(model->index(0, THostsModel::ColHost));
  QTest::keyClick(Form->tblHosts, Qt::Key_Return);
  EXPECT_EQ(Form->lblStatus->text(), Host(false) + ": passphrase needed.");
  ASSERT_TRUE(QTest::qWaitFor([this] { return Dialog() != nullptr; }, 5000));
  TPassphraseDialog* dialog = Dialog();
  dialog->edtAuth->setText("pewter-auth-256");
  dialog->edtPriv->setText("pewter-priv-aes");
  dialog->chkRemember->setChecked(true);
  dialog->accept();
  ASSERT_TRUE(QTest::qWaitFor([&] { return unknown->Connected() && !unknown->Busy(); }, 10000))
      << Form->lblStatus->text().toStdString();
  EXPECT_GT(RowCount(Form->ScrollBox3), 0);
  EXPECT_EQ(Form->windowTitle(), "Corvane - " + Host(false));
  EXPECT_TRUE(Form->lblStatus->text().startsWith("Last poll "))
      << Form->lblStatus->text().toStdString();
  EXPECT_TRUE(QTest::qWaitFor([this] { return Store->Writes == 1; }, 2000));
  EXPECT_TRUE(Boxes.Shown.empty());
}

}  // namespace
