// The first rate the window gives after Connect, against a host whose link carries a constant
// 1,000,000 bit/s in: a scripted agent whose sysUpTime and octet counters follow the wall clock
// (the up-time in whole hundredths, as agents keep it). For each Connect it prints the first
// rate the window would log, how long after Connect it came and how far it is from 976.5625
// Kbit/s; then the same for a Refresh 2.5 s after that first rate.
//   bench_first_rate [connects=5] [version: 1 or 2c]
// Run with QT_QPA_PLATFORM=offscreen (set here when absent).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "MainWindow.h"
#include "OptionsDialog.h"
#include "ScriptedAgent.h"

namespace {

constexpr double kTrueKbits = 1000000.0 / 1024.0;
constexpr uint64_t kOctetsPerSecond = 125000;

// Moves the agent's up-time and interface 1's in-counters with the wall clock.
class TWallClockHost {
 public:
  explicit TWallClockHost(TScriptedMib& mib) : FMib(mib) {
    FThread = std::thread([this] {
      const auto start = std::chrono::steady_clock::now();
      while (!FStop) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
        const uint64_t octets =
            1000000 + static_cast<uint64_t>(micros) * kOctetsPerSecond / 1000000;
        FMib.Set("1.3.6.1.2.1.1.3.0", 0x43, std::to_string(100000 + micros / 10000));
        FMib.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, std::to_string(octets & 0xFFFFFFFFu));
        FMib.Set("1.3.6.1.2.1.31.1.1.1.6.1", 0x46, std::to_string(octets));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
  }
  ~TWallClockHost() {
    FStop = true;
    FThread.join();
  }

 private:
  TScriptedMib& FMib;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// Runs the event loop until `ready` holds or `seconds` have passed.
bool RunUntil(const std::function<bool()>& ready, double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (!ready() && clock.elapsed() < seconds * 1000) {
    QEventLoop loop;
    QTimer::singleShot(2, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return ready();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  const int connects = argc > 1 ? std::atoi(argv[1]) : 5;
  const bool v2c = argc > 2 && std::strcmp(argv[2], "2c") == 0;

  TScriptedAgent agent;
  FillHost(agent.Mib, 1);
  const TWallClockHost host(agent.Mib);

  TForm1 form(QDir::tempPath() + "/corvane-bench-first-rate");
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  if (v2c) {
    TConnectionSettings settings = options->ConnectionSettings();
    settings.Version = TSnmpVersion::V2c;
    options->SetConnectionSettings(settings);
  }
  form.show();
  form.cbxHost->setEditText(QStringLiteral("127.0.0.1:%1").arg(agent.Port()));

  // The value of each interface-in log row the window produces, as it would write it.
  std::optional<double> rate;
  QObject::connect(&form.Pollers, &TPollers::PollerAdded, &form, [&rate](TPoller* poller) {
    QObject::connect(poller, &TPoller::ItemUpdated, poller, [&rate](const TRowUpdate& update) {
      for (const TLogLine& line : update.Log) {
        if (line.Tag == QLatin1String("InterFaceIn")) rate = line.Value;
      }
    });
  });
  const auto error = [](double kbits) { return (kbits / kTrueKbits - 1) * 100; };

  std::printf("Link at 1,000,000 bit/s = %.4f Kbit/s, SNMP version %s\n", kTrueKbits,
              v2c ? "2c" : "1");
  for (int n = 1; n <= connects; ++n) {
    rate.reset();
    QElapsedTimer sinceConnect;
    sinceConnect.start();
    form.acConnect->trigger();
    if (!RunUntil([&] { return rate.has_value(); }, 30)) {
      std::printf("connect %d: no rate within 30 s\n", n);
      form.acDisconnect->trigger();
      continue;
    }
    const double first = *rate;
    const double after = sinceConnect.elapsed() / 1000.0;
    RunUntil([&] { return !form.Busy(); }, 30);
    RunUntil([] { return false; }, 2.5);
    rate.reset();
    form.acRefresh->trigger();
    RunUntil([&] { return rate.has_value() && !form.Busy(); }, 30);
    std::printf(
        "connect %d: first rate %10.4f Kbit/s %5.2f s after Connect (%+7.2f %%); "
        "Refresh 2.5 s later %10.4f (%+6.2f %%)\n",
        n, first, after, error(first), rate.value_or(0), error(rate.value_or(0)));
    form.acDisconnect->trigger();
  }
  return 0;
}
