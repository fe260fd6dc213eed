// Connect and first poll of a host with many interfaces, served by a scripted agent on loopback:
// the blocking exchange against the engine on the event loop, in the same run, and how late a
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
#include <functional>

#include "MainWindow.h"
#include "Monitors.h"
#include "Oids.h"
#include "OptionsDialog.h"
#include "ScriptedAgent.h"
#include "SnmpQueries.h"
#include "SnmpReader.h"

namespace {

// How late a 10 ms timer fires while the event loop runs.
class TLateness {
 public:
  TLateness() {
    FTimer.setTimerType(Qt::PreciseTimer);
    FTimer.setInterval(10);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      const qint64 now = FClock.nsecsElapsed();
      Worst = std::max(Worst, (now - FLast) / 1e6 - 10);
      FLast = now;
    });
  }
  void Start() {
    Worst = 0;
    FClock.start();
    FLast = 0;
    FTimer.start();
  }
  void Stop() {
    // A wait that blocked the loop until now counts too.
    Worst = std::max(Worst, (FClock.nsecsElapsed() - FLast) / 1e6 - 10);
    FTimer.stop();
  }
  double Worst = 0;

 private:
  QTimer FTimer;
  QElapsedTimer FClock;
  qint64 FLast = 0;
};

struct TFigures {
  double Seconds = 0;
  int Requests = 0;
  double WorstLateMs = 0;
};

bool Kept(const std::string& type) {
  const std::string arc = type.substr(type.rfind('.') + 1);
  return arc == "2" || arc == "3" || arc == "4" || arc == "8";
}

// Connect and the first poll with one blocking exchange per value, as the window did before.
TFigures Blocking(TScriptedAgent& agent, int timeoutMs) {
  TLateness lateness;
  lateness.Start();
  const int before = agent.Requests();
  QElapsedTimer clock;
  clock.start();
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
  const double seconds = clock.nsecsElapsed() / 1e9;
  lateness.Stop();
  return {seconds, agent.Requests() - before, lateness.Worst};
}

void Report(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::printf("error: %s\n", e.what());
  }
}

// The same through the client, the reader and the monitors, without widgets.
TFigures EventLoop(TScriptedAgent& agent, int timeoutMs) {
  TSnmpClient client;
  client.SetReceiveTimeout(timeoutMs);
  TSnmpReader reader(client);
  reader.Community = "pewter";
  TProcessorMonitor processors;
  TInterfaceMonitor interfaces;
  TStorageMonitor storage;
  QEventLoop loop;
  TLateness lateness;
  lateness.Start();
  const int before = agent.Requests();
  QElapsedTimer clock;
  clock.start();

  const auto poll = [&] {
    std::vector<TItemRead> reads = processors.PollReads();
    const size_t from = reads.size();
    for (TItemRead& read : interfaces.PollReads()) reads.push_back(std::move(read));
    const size_t storageFrom = reads.size();
    for (TItemRead& read : storage.PollReads()) reads.push_back(std::move(read));
    reader.Read(
        std::move(reads),
        [&, from, storageFrom](size_t item, const TItemValues& values) {
          if (item < from) {
            processors.Poll(static_cast<int>(item), values);
          } else if (item < storageFrom) {
            interfaces.Poll(static_cast<int>(item - from), values, false);
          } else {
            storage.Poll(static_cast<int>(item - storageFrom), values);
          }
        },
        [&](std::exception_ptr error) {
          Report(error);
          loop.quit();
        });
  };
  const auto discoverInterfaces = [&] {
    reader.Walk(Oids::IfIndex, [&](const std::vector<TWalkRow>& rows) {
      reader.Read(
          interfaces.DiscoveryReads(rows),
          [&](size_t item, const TItemValues& values) {
            interfaces.Discover(static_cast<int>(item), values);
          },
          [&](std::exception_ptr error) {
            Report(error);
            poll();
          });
    });
  };
  const auto discover = [&] {
    reader.Walk(Oids::StorageIndex, [&](const std::vector<TWalkRow>& rows) {
      reader.Read(
          storage.DiscoveryReads(rows),
          [&](size_t item, const TItemValues& values) {
            storage.Discover(static_cast<int>(item), values);
          },
          [&](std::exception_ptr error) {
            Report(error);
            reader.Walk(Oids::ProcessorIdColumn, [&](const std::vector<TWalkRow>& found) {
              processors.Discover(found);
              discoverInterfaces();
            });
          });
    });
  };
  client.Open("127.0.0.1", agent.Port(), [&](const QString&) {
    TSNMPInfo probe(nullptr);
    probe.SetCommunity("pewter");
    probe.PduType = SnmpTag::GetRequest;
    client.Send(probe, [&](const TSnmpResult&) { discover(); });
  });
  loop.exec();
  const double seconds = clock.nsecsElapsed() / 1e9;
  lateness.Stop();
  return {seconds, agent.Requests() - before, lateness.Worst};
}

// Runs step in the window and waits until it is no longer busy.
TFigures InWindow(TForm1& form, TScriptedAgent& agent, const std::function<void()>& step) {
  TLateness lateness;
  lateness.Start();
  const int before = agent.Requests();
  QElapsedTimer clock;
  clock.start();
  step();
  while (form.Busy()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double seconds = clock.nsecsElapsed() / 1e9;
  lateness.Stop();
  return {seconds, agent.Requests() - before, lateness.Worst};
}

void Print(const char* what, const TFigures& figures) {
  std::printf("%-44s %8.3f s %7d requests   worst timer lateness %8.1f ms\n", what,
              figures.Seconds, figures.Requests, figures.WorstLateMs);
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
  Print("Event loop engine: Connect + first poll", EventLoop(agent, timeoutMs));

  TForm1 form(QDir::tempPath() + "/corvane-bench");
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.IdSNMP1.SetReceiveTimeout(timeoutMs);
  form.show();
  form.cbxHost->setEditText(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));
  Print("Window: Connect + first poll (with rows)",
        InWindow(form, agent, [&] { form.acConnect->trigger(); }));
  Print("Window: one poll", InWindow(form, agent, [&] { form.acRefresh->trigger(); }));
  agent.Silent = true;
  Print("Window: one poll of a silent host", InWindow(form, agent, [&] {
          form.acRefresh->trigger();
        }));
  return 0;
}
