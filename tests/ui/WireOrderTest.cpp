#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include "ScriptedAgent.h"
#include "WindowFixture.h"

namespace {

// Every datagram of a Connect and two polls, in order, request-ids masked.
const QString Recording = QStringLiteral(CORVANE_TEST_DATA_DIR "/monitor/wire-v1.txt");

TEST_F(TWindowTest, ConnectAndTwoPollsSendTheRecordedDatagrams) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 2);
  // Request-ids of four octets, as in the recording.
  QObject::connect(&Form->Pollers, &TPollers::PollerAdded, Form.get(),
                   [](TPoller* poller) { poller->Requester().Session = TSnmpSession(0x10000000); });
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  ASSERT_TRUE(Connected());
  for (const char* upTime : {"106000", "112000"}) {
    agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, upTime);
    Refresh();
  }

  QStringList sent;
  for (const std::string& datagram : agent.Received()) {
    sent << QString::fromStdString(MaskedHex(datagram)).trimmed();
  }
  QFile file(Recording);
  if (qEnvironmentVariableIsSet("CORVANE_RECORD_WIRE")) {
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((sent.join('\n') + '\n').toLatin1());
    return;
  }
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QStringList recorded = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(sent.size(), recorded.size());
  for (int i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i], recorded[i]) << "datagram " << i;
}

}  // namespace
