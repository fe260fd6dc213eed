#include <gtest/gtest.h>

#include <map>

#include "ScriptedAgent.h"
#include "WindowFixture.h"

// SNMPv2c: GetBulk walks, batched reads and 64-bit counters, against simulated and real agents.
namespace {

class Version2 : public TWindowTest {
 protected:
  void SetUp() override {
    TWindowTest::SetUp();
    TConnectionSettings settings = Options->ConnectionSettings();
    settings.Version = TSnmpVersion::V2c;
    Options->SetConnectionSettings(settings);
  }
};

TEST_F(Version2, SixtyFourBitCountersReadATenGigabitLinkRight) {
  TSnmpSimAgent agent;
  agent.Start(Data("v2c-poll1"));
  ConnectTo(HostOf(agent));
  ASSERT_TRUE(Connected()) << agent.Log();
  EXPECT_EQ(LabelText("lblInterface3"), "Gi0/3");  // no description: called by its ifName
  agent.Restart(Data("v2c-poll2"));
  Refresh();
  // 75,000,000,000 octets in 60 s on a 10 Gbit/s port: the 32-bit counter wrapped 17 times.
  EXPECT_EQ(LabelText("lblInterfaceIn1"), "In: 9,765,625.00 K");
  EXPECT_EQ(LabelText("lblInterfaceOut1"), "Out: 4,882,812.50 K");
  EXPECT_EQ(LabelText("lblInterfaceVal1"), "100.00%");
  EXPECT_EQ(Find<TGauge>("InterfaceGauge1")->Position(), 100);
  // A port without 64-bit counters is read through the 32-bit ones.
  EXPECT_EQ(LabelText("lblInterfaceIn2"), "In: 1.00 K");
  EXPECT_EQ(Find<TGauge>("ProcessorGauge768")->Position(), 40);
}

TEST_F(Version2, TooBigHalvesTheBatchAndAMissingCounterIsAGapOfItsInterfaceOnly) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 40);
  agent.Mib.MaxReply = 700;
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  ASSERT_TRUE(Connected());
  EXPECT_EQ(RowCount(Form->ScrollBox2), 40);
  agent.Mib.Remove("1.3.6.1.2.1.31.1.1.1.10.7");  // noSuchInstance from now on
  agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "106000");
  Refresh();
  EXPECT_EQ(LabelText("lblInterfaceOut7"), "Out: no value");
  EXPECT_EQ(LabelText("lblInterfaceIn7"), "In: 0.00 K");
  for (const char* label : {"lblInterfaceOut6", "lblInterfaceOut8", "lblInterfaceOut40"})
    EXPECT_EQ(LabelText(label), "Out: 0.00 K") << label;
  EXPECT_EQ(LabelText("lblStorageUsed31"), "Used: 976.6 Mb");
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(Version2, RealHostAgreesWithNetSnmp) {
  TSnmpdAgent snmpd;
  snmpd.Start();
  const auto counters = [&] {
    std::map<std::string, uint64_t> values;
    for (const std::string& line :
         NetSnmpWalk(snmpd.Port(), "pewter", "1.3.6.1.2.1.31.1.1.1.6", "2c")) {
      const std::string oid = line.substr(0, line.find(' '));
      values[oid.substr(oid.rfind('.') + 1)] = std::stoull(line.substr(line.find(' ') + 1));
    }
    return values;
  };
  // Every interface's 64-bit counter as the window read it, between two readings of net-snmp.
  std::map<std::string, std::pair<uint64_t, int>> read;
  QObject::connect(&Form->Pollers, &TPollers::PollerAdded, Form.get(), [&read](TPoller* poller) {
    QObject::connect(poller, &TPoller::ItemUpdated, poller, [&read](const TRowUpdate& update) {
      if (update.Kind == TItemKind::Interface && update.Raw.InOctets) {
        read[std::to_string(update.Index)] = {*update.Raw.InOctets, update.Raw.CounterBits};
      }
    });
  });
  const auto before = counters();
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(snmpd.Port()));
  ASSERT_TRUE(Connected()) << snmpd.Log();
  const auto after = counters();
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(read.size(), before.size());
  for (const auto& [index, value] : before) {
    EXPECT_EQ(read[index].second, 64) << index;
    EXPECT_GE(read[index].first, value) << index;
    EXPECT_LE(read[index].first, after.at(index)) << index;
  }
  const auto descriptions = NetSnmpWalk(snmpd.Port(), "pewter", "1.3.6.1.2.1.2.2.1.2", "2c");
  ASSERT_EQ(RowCount(Form->ScrollBox2), static_cast<int>(descriptions.size()));
  for (const std::string& line : descriptions) {
    const std::string oid = line.substr(0, line.find(' '));
    const QString index = QString::fromStdString(oid.substr(oid.rfind('.') + 1));
    QString descr = QString::fromStdString(line.substr(line.find(' ') + 1));
    descr.remove('"');
    EXPECT_EQ(LabelText("lblInterface" + index), descr);
  }
  EXPECT_TRUE(Boxes.Shown.empty());
}

}  // namespace
