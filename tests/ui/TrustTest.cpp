#include <gtest/gtest.h>

#include "ScriptedAgent.h"
#include "WindowFixture.h"

// Datagrams that are not the agent's answer, sent ahead of every answer by a forger.
namespace {

QString ScriptedHost(const TScriptedAgent& agent) {
  return QStringLiteral("127.0.0.1:%1").arg(agent.Port());
}

TEST_F(TWindowTest, RepliesFromAnotherPortOrInAnotherCommunityAreDropped) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 2);
  // The request's own request-id, value 66 for everything: from another port in the right
  // community, and from the agent's port in another one.
  agent.SetForger([](const std::string& request) {
    return TFakeUdpAgent::TOutgoing{{ForgedReply(request, "forged", "66")},
                                    {ForgedReply(request, "pewter", "66")}};
  });
  ConnectTo(ScriptedHost(agent));
  ASSERT_TRUE(Connected());
  EXPECT_EQ(RowCount(Form->ScrollBox2), 2);
  EXPECT_EQ(RowCount(Form->ScrollBox3), 2);
  EXPECT_EQ(Find<TGauge>("ProcessorGauge768")->Position(), 8);
  EXPECT_EQ(Find<TGauge>("ProcessorGauge769")->Position(), 9);
  EXPECT_EQ(LabelText("lblInterface1"), "eth1");
}

TEST_F(TWindowTest, OversizedStrangersNeitherEndAConnectNorShrinkItsRequests) {
  TConnectionSettings settings = Options->ConnectionSettings();
  settings.Version = TSnmpVersion::V2c;
  Options->SetConnectionSettings(settings);
  TScriptedAgent agent;
  FillHost(agent.Mib, 40);
  // Replies too big for the agent halve the batches of this connection...
  agent.Mib.MaxReply = 700;
  ConnectTo(ScriptedHost(agent));
  ASSERT_TRUE(Connected());
  agent.ClearReceived();
  Refresh();
  EXPECT_GT(agent.Received().size(), 1u);

  // ...not of the next one, whatever datagrams over 8192 octets come meanwhile: junk, and a
  // reply to a request not in flight (its neighbours may be: several go out at once).
  agent.Mib.MaxReply = 65507;
  agent.SetForger([](const std::string& request) {
    return TFakeUdpAgent::TOutgoing{
        {std::string(9000, 'x'),
         ForgedReply(request, "pewter", std::string(9000, 'x'), SnmpTag::OctetString, 100)},
        {}};
  });
  ConnectTo(ScriptedHost(agent));
  ASSERT_TRUE(Connected()) << Form->lblStatus->text().toStdString();
  EXPECT_EQ(RowCount(Form->ScrollBox2), 40);
  EXPECT_TRUE(Boxes.Shown.empty());
  agent.ClearReceived();
  Refresh();
  // Every value of the poll fits one request.
  EXPECT_EQ(agent.Received().size(), 1u);
  EXPECT_TRUE(Form->lblStatus->text().startsWith("Last poll "))
      << Form->lblStatus->text().toStdString();
}

}  // namespace
