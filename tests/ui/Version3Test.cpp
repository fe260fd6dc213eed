#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../credentials/FakeSecretStore.h"
#include "PassphraseDialog.h"
#include "WindowFixture.h"

// SNMPv3 against net-snmp's snmpd with users of three security levels, on IPv4 and IPv6.
namespace {

constexpr const char* kUsers =
    "createUser corvane-priv SHA-256 pewter-auth-256 AES pewter-priv-aes\n"
    "createUser corvane-auth SHA pewter-auth-sha\n"
    "createUser corvane-none\n"
    "rouser corvane-priv priv\nrouser corvane-auth auth\nrouser corvane-none noauth\n";

class Version3 : public TWindowTest {
 protected:
  static void SetUpTestSuite() {
    Snmpd = std::make_unique<TSnmpdAgent>();
    Snmpd->Start(kUsers, true);
  }
  static void TearDownTestSuite() { Snmpd.reset(); }
  void SetUp() override {
    TWindowTest::SetUp();
    Store = new TFakeSecretStore;
    Form->Secrets.reset(Store);
    Form->PassphraseSource = std::make_unique<TPassphraseSource>(*Form->Secrets);
  }
  void Use(const char* user, TSecurityLevel level, TAuthProtocol auth) {
    Options->SetConnectionSettings({TSnmpVersion::V3, user, level, auth, TPrivProtocol::Aes});
  }
  void Keep(const QString& user, const QString& host, const QString& auth, const QString& priv) {
    Store->Entries[SecretKey({user, host}, TSecretKind::Authentication)] = auth;
    if (!priv.isEmpty()) Store->Entries[SecretKey({user, host}, TSecretKind::Privacy)] = priv;
  }
  static QString Host(bool ipv6 = false) {
    return (ipv6 ? QStringLiteral("[::1]:%1") : QStringLiteral("127.0.0.1:%1")).arg(Snmpd->Port());
  }
  // The "Avail:" text of the first kept storage area, as net-snmp reads it.
  static QString NetSnmpAvail(const std::string& options, const std::string& index) {
    const auto value = [&](int column) {
      const auto lines =
          NetSnmpGet(Snmpd->Port(), options,
                     "1.3.6.1.2.1.25.2.3.1." + std::to_string(column) + "." + index, "3");
      return lines.empty() ? -1.0 : std::stod(lines[0].substr(lines[0].find(' ') + 1));
    };
    return "Avail: " + FormatNumber(UnitsToMegabytes(value(4), value(5)), 1, QLocale::system()) +
           " Mb";
  }
  // The deadlines of two requests in a row pass, well before the next poll is due.
  void Expire() { Clock.Advance(3 * Form->ReceiveTimeoutMs); }
  // Datagrams the poller shown has received.
  int Received() const { return Form->Poller() ? Form->Poller()->Requester().Received() : 0; }
  // Connects to a host that answers with reports only: the deadline passes once the discovery's
  // report and the request's have come.
  void ConnectAwaitingReports(const QString& host) {
    Form->acDisconnect->trigger();
    Form->cbxHost->setEditText(host);
    Form->acConnect->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Received() >= 2; }, 10000));
    Expire();
    WaitIdle();
  }
  QString Status() const { return Form->lblStatus->text(); }
  TPassphraseDialog* Dialog() const {
    auto* dialog = Form->findChild<TPassphraseDialog*>();
    return dialog && dialog->isVisible() ? dialog : nullptr;
  }

  static inline std::unique_ptr<TSnmpdAgent> Snmpd;
  TFakeSecretStore* Store = nullptr;
};

// snmpsimd's options for user corvane-auth (SHA) at an engine.
std::vector<std::string> SimUser(const std::string& engineId) {
  return {"--v3-engine-id=" + engineId, "--v3-user=corvane-auth", "--v3-auth-key=pewter-auth-sha",
          "--v3-auth-proto=SHA"};
}

TEST_F(Version3, AuthPrivOverIPv4AndIPv6ReadsWhatNetSnmpReads) {
  Use("corvane-priv", TSecurityLevel::AuthPriv, TAuthProtocol::Sha256);
  const std::string options =
      "-l authPriv -u corvane-priv -a SHA-256 -A pewter-auth-256 -x AES -X pewter-priv-aes";
  const auto areas = NetSnmpWalk(Snmpd->Port(), options, "1.3.6.1.2.1.25.2.3.1.1", "3");
  ASSERT_FALSE(areas.empty());
  const std::string first = areas[0].substr(areas[0].rfind(' ') + 1);
  for (const bool ipv6 : {false, true}) {
    Keep("corvane-priv", Host(ipv6), "pewter-auth-256", "pewter-priv-aes");
    ConnectTo(Host(ipv6));
    ASSERT_TRUE(Connected()) << Form->lblStatus->text().toStdString() << Snmpd->Log();
    EXPECT_EQ(Form->windowTitle(), "Corvane - " + Host(ipv6));
    EXPECT_EQ(
        RowCount(Form->ScrollBox2),
        static_cast<int>(NetSnmpWalk(Snmpd->Port(), options, "1.3.6.1.2.1.2.2.1.1", "3").size()));
    EXPECT_EQ(LabelText("lblStorageAvail" + QString::fromStdString(first)),
              NetSnmpAvail(options, first));
    EXPECT_TRUE(Form->lblStatus->text().startsWith("Last poll "))
        << Form->lblStatus->text().toStdString();
  }
  EXPECT_TRUE(Boxes.Shown.empty()) << Boxes.Shown[0].Text.toStdString();
}

TEST_F(Version3, AuthNoPrivAndNoAuthNoPrivUsersConnect) {
  Use("corvane-auth", TSecurityLevel::AuthNoPriv, TAuthProtocol::Sha);
  Keep("corvane-auth", Host(), "pewter-auth-sha", "");
  ConnectTo(Host());
  EXPECT_TRUE(Connected()) << Form->lblStatus->text().toStdString();
  Use("corvane-none", TSecurityLevel::NoAuthNoPriv, TAuthProtocol::Sha);
  ConnectTo(Host());
  EXPECT_TRUE(Connected()) << Form->lblStatus->text().toStdString();
  EXPECT_GT(RowCount(Form->ScrollBox2), 0);
  EXPECT_EQ(Store->Reads, 1);  // noAuthNoPriv needs no passphrase
  EXPECT_TRUE(Boxes.Shown.empty());
}

// snmpd's wrong-digest report is no more authenticated than a forged one: it is told, the keyring
// keeps what it holds, the next Connect asks, and only passphrases that authenticated replace it.
TEST_F(Version3, WrongDigestKeepsTheKeyringAndOnlyAuthenticatedPassphrasesReplaceIt) {
  const QString log = Folder.path() + "/activity.csv";
  Options->chkLog->setChecked(true);
  Options->chkInterface->setChecked(true);
  Options->feFile->setText(log);
  Use("corvane-priv", TSecurityLevel::AuthPriv, TAuthProtocol::Sha256);
  Keep("corvane-priv", Host(), "not-the-passphrase", "pewter-priv-aes");
  const auto stored = Store->Entries;
  ConnectAwaitingReports(Host());
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, "error");
  EXPECT_EQ(Boxes.Shown[0].Text, "Wrong digest (wrong passphrase?).");
  EXPECT_EQ(Status(), Host() + ": Wrong digest (wrong passphrase?).");
  EXPECT_FALSE(Connected());
  EXPECT_EQ(RowCount(Form->ScrollBox2) + RowCount(Form->ScrollBox3), 0);
  EXPECT_EQ(QFile(log).size(), 0);
  QTest::qWait(50);
  EXPECT_EQ(Store->Entries, stored);

  Boxes.Answers = {true, true, true};  // overwrite the log at each Connect
  for (const bool right : {false, true}) {
    Form->acConnect->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Dialog() != nullptr; }, 5000));
    TPassphraseDialog* dialog = Dialog();
    EXPECT_TRUE(dialog->lblNote->text().contains("wrong digest"));
    EXPECT_TRUE(dialog->chkRemember->isChecked());
    dialog->edtAuth->setText(right ? "pewter-auth-256" : "still-not-the-passphrase");
    dialog->edtPriv->setText("pewter-priv-aes");
    const int before = Received();
    dialog->accept();
    if (!right) {
      // The agent's reports end nothing: the request's deadline does.
      ASSERT_TRUE(QTest::qWaitFor([&] { return Received() >= before + 2; }, 10000));
      Expire();
    }
    WaitIdle();
    EXPECT_EQ(Connected(), right) << Form->lblStatus->text().toStdString();
    if (!right) {
      EXPECT_EQ(Store->Entries, stored);  // typed and "Remember"ed, but wrong
    }
  }
  EXPECT_TRUE(QTest::qWaitFor([this] { return Store->Writes == 1; }, 2000));
  EXPECT_EQ(Store->Entries.value(SecretKey({"corvane-priv", Host()}, TSecretKind::Authentication)),
            "pewter-auth-256");

  Use("nobody-here", TSecurityLevel::NoAuthNoPriv, TAuthProtocol::Sha);
  Boxes.Answers = {true};  // overwrite the log
  ConnectAwaitingReports(Host());
  EXPECT_EQ(Boxes.Shown.back().Text, "Unknown user name.");

  // A user without privacy asked for it: the agent says so, and no passphrase is blamed.
  Use("corvane-auth", TSecurityLevel::AuthPriv, TAuthProtocol::Sha);
  Keep("corvane-auth", Host(), "pewter-auth-sha", "pewter-priv-aes");
  Boxes.Answers = {true};
  ConnectAwaitingReports(Host());
  EXPECT_EQ(Boxes.Shown.back().Text, "Unsupported security level.");
  EXPECT_EQ(Status(), Host() + ": Unsupported security level.");
}

TEST_F(Version3, AReportDuringAPollIsToldButIsNoAnswer) {
  Use("corvane-auth", TSecurityLevel::AuthNoPriv, TAuthProtocol::Sha);
  Keep("corvane-auth", Host(), "pewter-auth-sha", "");
  ConnectTo(Host());
  ASSERT_TRUE(Connected()) << Status().toStdString();
  EXPECT_TRUE(Form->Poller()->Metrics().Up);
  // The passphrase changed on the agent's side: it reports wrongDigest to every request.
  Form->Poller()->Requester().Session.SetSecurity(std::make_shared<TUsmPeer>(
      TUsmUser{"corvane-auth", TUsmSecurityLevel::AuthNoPriv, TUsmAuthProtocol::Sha1,
               TUsmPrivProtocol::None, "changed-on-the-agent", ""}));
  const int before = Received();
  Form->acRefresh->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Received() >= before + 2; }, 10000));
  Expire();
  WaitIdle();
  EXPECT_TRUE(Status().startsWith("No answer from " + Host() + " since "))
      << Status().toStdString();
  EXPECT_TRUE(Status().endsWith(": Wrong digest (wrong passphrase?).")) << Status().toStdString();
  EXPECT_FALSE(Form->Poller()->Metrics().Up);
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(Version3, SnmpSimsWrongDigestReportIsToldForAWrongPassphraseOrProtocol) {
  TSnmpSimAgent sim;
  sim.Start(Data("poll1"), SimUser("8000000001020304"));
  // Another host text for each case, so that what the keyring does with the first case's
  // passphrases cannot touch the second's.
  const struct {
    QString Host;
    TAuthProtocol Auth;
    QString Passphrase;
  } cases[] = {
      {HostOf(sim), TAuthProtocol::Sha, "not-the-passphrase"},
      {QStringLiteral("localhost:%1").arg(sim.Port()), TAuthProtocol::Md5, "pewter-auth-sha"}};
  for (const auto& wrong : cases) {
    Use("corvane-auth", TSecurityLevel::AuthNoPriv, wrong.Auth);
    Keep("corvane-auth", wrong.Host, wrong.Passphrase, "");
    ConnectAwaitingReports(wrong.Host);
    ASSERT_FALSE(Boxes.Shown.empty()) << Status().toStdString();
    EXPECT_EQ(Boxes.Shown.back().Text, "Wrong digest (wrong passphrase?).");
    EXPECT_EQ(Status(), wrong.Host + ": Wrong digest (wrong passphrase?).");
  }
}

TEST_F(Version3, AnAgentRestartedWithANewEngineIdIsFoundAgainAtTheNextPoll) {
  TSnmpSimAgent sim;
  sim.Start(Data("poll1"), SimUser("8000000001020304"));
  Use("corvane-auth", TSecurityLevel::AuthNoPriv, TAuthProtocol::Sha);
  Keep("corvane-auth", HostOf(sim), "pewter-auth-sha", "");
  ConnectTo(HostOf(sim));
  ASSERT_TRUE(Connected()) << Status().toStdString() << sim.Log();

  // The new engine drops what is meant for the old one: the poll (one request) times out.
  sim.Start(Data("poll1"), SimUser("8000000001020399"));
  const int sent = Sent();
  Form->acRefresh->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Sent() > sent; }, 5000));
  Expire();
  WaitIdle();
  EXPECT_TRUE(Status().startsWith("No answer from ")) << Status().toStdString();

  // The next poll finds the engine again, and the user's keys fit it.
  Refresh();
  EXPECT_TRUE(Status().startsWith("Last poll ")) << Status().toStdString() << sim.Log();
  EXPECT_TRUE(Find<TGauge>("ProcessorGauge768")->HasPosition());
}

// A keyring that never answers holds no Connect up: Disconnect ends the wait, and while that
// read is still open the next Connect asks at once; the late answer changes nothing.
TEST_F(Version3, KeyringThatNeverAnswersHoldsNoConnectUp) {
  Form->PassphraseSource =
      std::make_unique<TPassphraseSource>(*Form->Secrets, nullptr, std::chrono::milliseconds(100));
  Store->Hold = true;
  Use("corvane-priv", TSecurityLevel::AuthPriv, TAuthProtocol::Sha256);
  Keep("corvane-priv", Host(), "not-the-passphrase", "pewter-priv-aes");
  Form->cbxHost->setEditText(Host());
  Form->acConnect->trigger();
  EXPECT_EQ(Form->lblStatus->text(), "Connecting to " + Host() + "...");
  Form->acDisconnect->trigger();
  QTest::qWait(300);
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_FALSE(Form->Busy());

  Form->acConnect->trigger();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Dialog() != nullptr; }, 1000));
  TPassphraseDialog* dialog = Dialog();
  EXPECT_EQ(dialog->lblNote->text(), "The keyring did not answer.");
  EXPECT_FALSE(dialog->chkRemember->isVisible());
  dialog->edtAuth->setText("pewter-auth-256");
  dialog->edtPriv->setText("pewter-priv-aes");
  dialog->accept();
  WaitIdle();
  EXPECT_TRUE(Connected()) << Form->lblStatus->text().toStdString();
  Store->Release();
  QTest::qWait(50);
  EXPECT_TRUE(Connected());
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_EQ(Store->Writes, 0);
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(Version3, PassphrasesWithoutAKeyringEntryAreAskedForAndCanBeRemembered) {
  Use("corvane-priv", TSecurityLevel::AuthPriv, TAuthProtocol::Sha256);
  Form->cbxHost->setEditText(Host());
  Form->acConnect->trigger();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Dialog() != nullptr; }, 5000));
  QTest::keyClick(Dialog(), Qt::Key_Escape);  // cancels the Connect
  WaitIdle();
  EXPECT_FALSE(Connected());
  EXPECT_TRUE(Boxes.Shown.empty());

  Form->acConnect->trigger();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Dialog() != nullptr; }, 5000));
  TPassphraseDialog* dialog = Dialog();
  QTest::keyClicks(dialog->focusWidget(), "pewter-auth-256");
  QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
  QTest::keyClicks(dialog->focusWidget(), "pewter-priv-aes");
  dialog->chkRemember->setChecked(true);
  QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
  WaitIdle();
  EXPECT_TRUE(Connected()) << Form->lblStatus->text().toStdString();
  EXPECT_EQ(Store->Entries.value(SecretKey({"corvane-priv", Host()}, TSecretKind::Privacy)),
            "pewter-priv-aes");
}

}  // namespace
