// Connect and first poll of a host with many interfaces, served by a scripted agent on loopback:
// the blocking exchange against a poller on the event loop, in the same run, and how late a
// 10 ms timer fires meanwhile in the window (also while a silent host is polled).
//   bench_engine [interfaces=1000] [agent delay in microseconds=0] [time-out ms=5000]
// Run with QT_QPA_PLATFORM=offscreen (set here when absent).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "Lateness.h"
#include "MainWindow.h"
#include "Oids.h"
#include "OptionsDialog.h"
#include "Poller.h"
#include "ScriptedAgent.h"
#include "SnmpQueries.h"
#include "UdpTransport.h"
#include "ValueText.h"

namespace {

struct TFigures {
  double Seconds = 0;
  int Requests = 0;
  double WorstLateMs = 0;
  double CpuSeconds = 0;  // of this thread only: the window's, not the agent's
};

// Times a run: wall clock, this thread's processor time, the agent's requests.
class TStopwatch {
 public:
  explicit TStopwatch(const TScriptedAgent& agent)
      : FAgent(agent), FRequests(agent.Requests()), FCpu(ThreadCpuSeconds()) {
    FClock.start();
  }
  TFigures Stop(const TLateness& lateness) const {
    return {FClock.nsecsElapsed() / 1e9, FAgent.Requests() - FRequests, lateness.Worst,
            ThreadCpuSeconds() - FCpu};
  }

 private:
  const TScriptedAgent& FAgent;
  int FRequests;
  double FCpu;
  QElapsedTimer FClock;
};

bool Kept(const std::string& type) {
  const std::string arc = type.substr(type.rfind('.') + 1);
  return arc == "2" || arc == "3" || arc == "4" || arc == "8";
}

// Connect and the first poll with one blocking exchange per value, as the window did before.
TFigures Blocking(TScriptedAgent& agent, int timeoutMs) {
  TLateness lateness;
  lateness.Start();
  const TStopwatch watch(agent);
  TIdSNMP snmp;
  snmp.SetHost("127.0.0.1");
  snmp.SetPort(agent.Port());
  snmp.SetReceiveTimeout(timeoutMs);
  snmp.QueryInfo().Reset();
  snmp.QueryInfo().PduType = SnmpTag::GetRequest;
  snmp.ExchangeQuery();

  std::string list;
  std::vector<int32_t> storage;
  for (int n = SnmpWalkIndexes(snmp, Oids::StorageIndex, list); n > 0; --n) {
    const int32_t index = StrToInt(TakeListElement(list));
    for (const char* column :
         {Oids::StorageDescr, Oids::StorageSize, Oids::StorageAllocationUnits}) {
      SnmpGetValue(snmp, Oids::Instance(column, index));
    }
    if (Kept(SnmpGetValue(snmp, Oids::Instance(Oids::StorageType, index))))
      storage.push_back(index);
  }
  std::vector<std::string> processors;
  for (int n = SnmpWalkIndexes(snmp, Oids::ProcessorIdColumn, list); n > 0; --n)
    processors.push_back(std::string(Oids::ProcessorLoad) + "." + TakeListElement(list));
  std::vector<int32_t> interfaces;
  for (int n = SnmpWalkIndexes(snmp, Oids::IfIndex, list); n > 0; --n) {
    const int32_t index = StrToInt(TakeListElement(list));
    for (const char* column : {Oids::IfDescr, Oids::IfSpeed, Oids::IfType}) {
      SnmpGetValue(snmp, Oids::Instance(column, index));
    }
    StrToLW(SnmpGetValue(snmp, Oids::SysUpTime));
    SnmpGetValue(snmp, Oids::Instance(Oids::IfInOctets, index));
    SnmpGetValue(snmp, Oids::Instance(Oids::IfOutOctets, index));
    interfaces.push_back(index);
  }
  for (const std::string& load : processors) SnmpGetValue(snmp, load);
  for (const int32_t index : interfaces) {
    StrToLW(SnmpGetValue(snmp, Oids::SysUpTime));
    SnmpGetValue(snmp, Oids::Instance(Oids::IfInOctets, index));
    SnmpGetValue(snmp, Oids::Instance(Oids::IfOutOctets, index));
  }
  for (const int32_t index : storage) SnmpGetValue(snmp, Oids::Instance(Oids::StorageUsed, index));
  lateness.Stop();
  return watch.Stop(lateness);
}

// The same through a poller on UDP, without widgets: Connect and its first poll.
TFigures EventLoop(TScriptedAgent& agent, int timeoutMs, TSnmpVersion version) {
  TPollerSettings settings;
  settings.Host = QStringLiteral("127.0.0.1:%1").arg(agent.Port());
  settings.Connection.Version = version;
  settings.TimeoutMs = timeoutMs;
  TOpenSlots limiter;
  TPoller poller(settings, std::make_unique<TUdpTransport>(), SystemClock(), limiter);
  QEventLoop loop;
  QObject::connect(&poller, &TPoller::ConnectFinished, [&](const TConnectOutcome& outcome) {
    if (outcome.Kind != TConnectOutcome::Connected) {
      std::printf("no connection: %s\n", qPrintable(outcome.Text));
      loop.quit();
    }
  });
  QObject::connect(&poller, &TPoller::PollFinished, [&](const TPollResult& result) {
    if (!result.Error.isEmpty()) std::printf("error: %s\n", qPrintable(result.Error));
    loop.quit();
  });
  TLateness lateness;
  lateness.Start();
  const TStopwatch watch(agent);
  poller.Connect();
  loop.exec();
  lateness.Stop();
  return watch.Stop(lateness);
}

// Runs step in the window and waits until it is no longer busy.
TFigures InWindow(TForm1& form, TScriptedAgent& agent, const std::function<void()>& step) {
  TLateness lateness;
  lateness.Start();
  const TStopwatch watch(agent);
  // The window's own event loop runs, as it does for the user; it is left once idle.
  QEventLoop loop;
  QTimer idle;
  idle.setInterval(5);
  QObject::connect(&idle, &QTimer::timeout, [&] {
    if (!form.Busy()) loop.quit();
  });
  step();
  idle.start();
  loop.exec();
  lateness.Stop();
  return watch.Stop(lateness);
}

void Print(const char* what, const TFigures& figures) {
  std::printf("%-46s %7.3f s (cpu %6.3f s) %6d requests, timer up to %7.1f ms late\n", what,
              figures.Seconds, figures.CpuSeconds, figures.Requests, figures.WorstLateMs);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int delay = argc > 2 ? std::atoi(argv[2]) : 0;
  const int timeoutMs = argc > 3 ? std::atoi(argv[3]) : 5000;

  TScriptedAgent agent;
  FillHost(agent.Mib, count);
  agent.DelayMicroseconds = delay;
  std::printf("Host with %d interfaces, agent delay %d us, time-out %d ms\n", count, delay,
              timeoutMs);
  Print("Blocking exchange: Connect + first poll", Blocking(agent, timeoutMs));
  Print("Event loop engine, v1: Connect + first poll",
        EventLoop(agent, timeoutMs, TSnmpVersion::V1));
  Print("Event loop engine, v2c: Connect + first poll",
        EventLoop(agent, timeoutMs, TSnmpVersion::V2c));

  TForm1 form(QDir::tempPath() + "/corvane-bench");
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.ReceiveTimeoutMs = timeoutMs;
  form.show();
  form.cbxHost->setEditText(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  Print("Window: Connect + first poll (with rows)",
        InWindow(form, agent, [&] { form.acConnect->trigger(); }));
  Print("Window: one poll", InWindow(form, agent, [&] { form.acRefresh->trigger(); }));
  agent.Silent = true;
  Print("Window: one poll of a silent host",
        InWindow(form, agent, [&] { form.acRefresh->trigger(); }));
  return 0;
}
