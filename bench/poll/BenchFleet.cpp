// Many hosts at once. One agent answers on many loopback ports, each reply a fixed delay after
// its request without holding back the others, so that the figures are the engine's:
//   - a poll round of every host (48 interfaces, 4 processors, 6 storage areas each, SNMPv2c):
//     how long it takes, how many requests, and how late a 10 ms timer fires meanwhile;
//   - Connect and the first poll of one host with 1,000 interfaces;
//   - memory per host with full 1440-minute histories at a 1-minute interval, filled on a clock
//     the benchmark moves and a transport without sockets.
//   bench_fleet [hosts=200] [delay in microseconds=1000] [hosts for the memory figure=20]
#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "FakeClock.h"
#include "Lateness.h"
#include "Oids.h"
#include "Pollers.h"
#include "ScriptedAgent.h"
#include "UdpTransport.h"

namespace {

using TSteadyClock = std::chrono::steady_clock;

// A host of 48 interfaces, 4 processors and 6 storage areas (5 of them shown).
void FillFleetHost(TScriptedMib& mib) {
  FillHost(mib, 48);
  for (int p : {770, 771}) {
    mib.Set("1.3.6.1.2.1.25.3.3.1.1." + std::to_string(p), 6, "0.0");
    mib.Set("1.3.6.1.2.1.25.3.3.1.2." + std::to_string(p), 2, "12");
  }
  for (int area : {32, 33, 34}) {
    const std::string column = "1.3.6.1.2.1.25.2.3.1.", index = std::to_string(area);
    mib.Set(column + "1." + index, 2, index);
    mib.Set(column + "2." + index, 6, "1.3.6.1.2.1.25.2.1.4");
    mib.Set(column + "3." + index, 4, "/srv/" + index);
    mib.Set(column + "4." + index, 2, "4096");
    mib.Set(column + "5." + index, 2, "262144");
    mib.Set(column + "6." + index, 2, "131072");
  }
}

// Where the request-id of a version 1 or 2c message stands: the offset and size of its whole
// item; false for anything else.
bool RequestIdAt(const std::string& message, size_t& at, size_t& size) {
  size_t pos = 0;
  const auto length = [&]() -> size_t {
    if (pos >= message.size()) return std::string::npos;
    const auto first = static_cast<uint8_t>(message[pos++]);
    if (first < 0x80) return first;
    size_t value = 0;
    for (int n = first & 0x7F; n > 0 && pos < message.size(); --n) {
      value = value << 8 | static_cast<uint8_t>(message[pos++]);
    }
    return value;
  };
  const auto skip = [&] {
    ++pos;
    const size_t content = length();
    pos = content == std::string::npos ? message.size() : pos + content;
  };
  ++pos;
  length();  // the message
  skip();    // version
  skip();    // community
  ++pos;
  length();  // the PDU
  at = pos;
  if (at >= message.size() || message[at] != 0x02) return false;
  skip();
  size = pos - at;
  return pos <= message.size();
}

// One table served on many loopback ports by one thread. Requests are read as they come; each
// answer waits its delay in a queue ordered by when it is due, so a delay per reply costs no
// more than that delay however many requests are in flight. sysUpTime counts from the start,
// unless the table is fixed: then it stands still, and an answer is kept and given again to a
// request that differs only in its request-id, so that the agent's own work stays out of the
// figures.
class TDelayedAgent {
 public:
  TDelayedAgent(TScriptedMib& mib, int ports, std::chrono::microseconds delay, bool fixed)
      : FMib(mib), FDelay(delay), FFixed(fixed), FStart(TSteadyClock::now()) {
    for (int i = 0; i < ports; ++i) {
      const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      socklen_t size = sizeof address;
      bind(socket, reinterpret_cast<sockaddr*>(&address), size);
      getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
      FSockets.push_back({socket, POLLIN, 0});
      FPorts.push_back(ntohs(address.sin_port));
    }
    FThread = std::thread([this] { Serve(); });
  }
  ~TDelayedAgent() {
    FStop = true;
    FThread.join();
    for (const pollfd& socket : FSockets) close(socket.fd);
  }
  TDelayedAgent(const TDelayedAgent&) = delete;
  TDelayedAgent& operator=(const TDelayedAgent&) = delete;

  uint16_t Port(size_t i) const { return FPorts.at(i); }
  int Requests() const { return FRequests; }

 private:
  struct TAnswer {
    TSteadyClock::time_point Due;
    int Socket;
    sockaddr_in To;
    std::string Datagram;
    bool operator>(const TAnswer& other) const { return Due > other.Due; }
  };

  void Serve() {
    std::priority_queue<TAnswer, std::vector<TAnswer>, std::greater<>> due;
    std::string buffer(65536, '\0');
    while (!FStop) {
      auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(20));
      if (!due.empty()) {
        wait = std::max(std::chrono::nanoseconds(0), due.top().Due - TSteadyClock::now());
      }
      const timespec limit{static_cast<time_t>(wait.count() / 1000000000),
                           static_cast<long>(wait.count() % 1000000000)};
      if (ppoll(FSockets.data(), FSockets.size(), &limit, nullptr) > 0) {
        for (const pollfd& socket : FSockets) {
          if ((socket.revents & POLLIN) == 0) continue;
          sockaddr_in from{};
          socklen_t size = sizeof from;
          ssize_t count = 0;
          while ((count = recvfrom(socket.fd, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &size)) > 0) {
            ++FRequests;
            std::string answer = Answer(buffer.substr(0, static_cast<size_t>(count)));
            if (!answer.empty()) {
              due.push({TSteadyClock::now() + FDelay, socket.fd, from, std::move(answer)});
            }
          }
        }
      }
      const auto now = TSteadyClock::now();
      while (!due.empty() && due.top().Due <= now) {
        const TAnswer& answer = due.top();
        sendto(answer.Socket, answer.Datagram.data(), answer.Datagram.size(), 0,
               reinterpret_cast<const sockaddr*>(&answer.To), sizeof answer.To);
        due.pop();
      }
    }
  }

  std::string Answer(const std::string& request) {
    if (!FFixed) {
      const auto ticks =
          std::chrono::duration_cast<std::chrono::milliseconds>(TSteadyClock::now() - FStart)
              .count() /
          10;
      FMib.Set(Oids::SysUpTime, 0x43, std::to_string(100000 + ticks));
      return FMib.Answer(request);
    }
    size_t at = 0, size = 0;
    if (!RequestIdAt(request, at, size)) return FMib.Answer(request);
    std::string key = request;
    key.erase(at, size);
    std::string& kept = FKept[key];
    size_t keptAt = 0, keptSize = 0;
    if (!RequestIdAt(kept, keptAt, keptSize) || keptSize != size) {
      kept = FMib.Answer(request);
      return kept;
    }
    std::string answer = kept;
    answer.replace(keptAt, keptSize, request, at, size);
    return answer;
  }

  TScriptedMib& FMib;
  std::chrono::microseconds FDelay;
  bool FFixed;
  std::unordered_map<std::string, std::string> FKept;  // answers by request less its id
  TSteadyClock::time_point FStart;
  std::vector<pollfd> FSockets;
  std::vector<uint16_t> FPorts;
  std::atomic<bool> FStop{false};
  std::atomic<int> FRequests{0};
  std::thread FThread;
};

// Runs the event loop until done() holds, measuring the time and the timer's lateness.
struct TRun {
  double Seconds = 0;
  double CpuSeconds = 0;  // of the event loop's thread
  double WorstLateMs = 0;
  int Requests = 0;
};
TRun RunUntil(const TDelayedAgent& agent, const std::function<void()>& start,
              const std::function<bool()>& done) {
  TLateness lateness;
  QEventLoop loop;
  QTimer check;
  check.setInterval(1);
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  const int requests = agent.Requests();
  QElapsedTimer clock;
  const double cpu = ThreadCpuSeconds();
  lateness.Start();
  clock.start();
  start();
  check.start();
  loop.exec();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  lateness.Stop();
  return {seconds, ThreadCpuSeconds() - cpu, lateness.Worst, agent.Requests() - requests};
}

void Print(const char* what, const TRun& run) {
  std::printf("%-50s %7.3f s (cpu %6.3f s) %5d requests, timer up to %5.1f ms late\n", what,
              run.Seconds, run.CpuSeconds, run.Requests, run.WorstLateMs);
}

TPollerSettings Settings(const QString& host) {
  TPollerSettings settings;
  settings.Host = host;
  settings.Connection.Version = TSnmpVersion::V2c;
  return settings;
}

bool Settled(const std::vector<TPoller*>& pollers) {
  return std::all_of(pollers.begin(), pollers.end(), [](const TPoller* poller) {
    return poller->Connected() && !poller->Busy() && !poller->FollowUpPending();
  });
}

void Fleet(int hosts, std::chrono::microseconds delay) {
  TScriptedMib mib;
  FillFleetHost(mib);
  TDelayedAgent agent(mib, hosts, delay, false);
  TPollers registry(SystemClock(), [] { return std::make_unique<TUdpTransport>(); });
  std::vector<TPoller*> pollers;
  for (int i = 0; i < hosts; ++i) {
    pollers.push_back(&registry.Hold(
        Settings(QStringLiteral("127.0.0.1:%1").arg(agent.Port(static_cast<size_t>(i))))));
  }
  int finished = 0;
  for (TPoller* poller : pollers) {
    QObject::connect(poller, &TPoller::PollFinished, [&finished] { ++finished; });
  }
  std::printf("%d hosts of 48 interfaces, 4 processors, 6 storage areas; %lld us per reply\n",
              hosts, static_cast<long long>(delay.count()));
  // Connect and the first poll, then the reading for the first rates five seconds on.
  Print("Connect, first poll and first-rate reading of all", RunUntil(
                                                                 agent,
                                                                 [&] {
                                                                   for (TPoller* poller : pollers)
                                                                     poller->Connect();
                                                                 },
                                                                 [&] { return Settled(pollers); }));
  for (int round = 1; round <= 3; ++round) {
    finished = 0;
    const std::string what = "Poll round " + std::to_string(round) + " of all";
    Print(what.c_str(), RunUntil(
                            agent,
                            [&] {
                              for (TPoller* poller : pollers) poller->Refresh();
                            },
                            [&] { return finished == hosts; }));
  }
}

void LargeHost(std::chrono::microseconds delay) {
  TScriptedMib mib;
  FillHost(mib, 1000);
  TDelayedAgent agent(mib, 1, delay, true);
  std::printf("One host of 1,000 interfaces, SNMPv2c, %lld us per reply\n",
              static_cast<long long>(delay.count()));
  for (int run = 1; run <= 5; ++run) {
    TOpenSlots limiter;
    TPoller poller(Settings(QStringLiteral("127.0.0.1:%1").arg(agent.Port(0))),
                   std::make_unique<TUdpTransport>(), SystemClock(), limiter);
    bool polled = false;
    QObject::connect(&poller, &TPoller::PollFinished, [&polled] { polled = true; });
    const std::string what = "Connect and first poll, run " + std::to_string(run);
    Print(what.c_str(), RunUntil(
                            agent, [&] { poller.Connect(); }, [&] { return polled; }));
  }
}

// The resident set in bytes, after giving freed memory back.
double ResidentBytes() {
  malloc_trim(0);
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Answers from the table on the clock, without sockets and without keeping what it sends.
class TInProcessTransport : public QObject, public TTransport {
 public:
  TInProcessTransport(TScriptedMib& mib, TFakeClock& clock) : FMib(mib), FClock(clock) {}
  void Open(const QString&, quint16, TOpenedFunction opened) override {
    FClock.Post(this, [opened] { opened({}); });
  }
  QString Send(const std::string& datagram) override {
    FMib.Set(Oids::SysUpTime, 0x43, std::to_string(FClock.Milliseconds() / 10));
    FClock.Post(this, [this, answer = FMib.Answer(datagram)] { Deliver(answer); });
    return {};
  }
  void Close() override {}

 private:
  TScriptedMib& FMib;
  TFakeClock& FClock;
};

void Memory(int hosts) {
  TFakeClock clock;
  TScriptedMib mib;
  FillFleetHost(mib);
  const double before = ResidentBytes();
  {
    TPollers registry(clock, [&] { return std::make_unique<TInProcessTransport>(mib, clock); });
    for (int i = 0; i < hosts; ++i) {
      TPollerSettings settings = Settings(QStringLiteral("host-%1").arg(i));
      settings.GraphLength = 1440;
      registry.Hold(settings).Connect();
    }
    QElapsedTimer elapsed;
    elapsed.start();
    for (int minute = 0; minute < 1441; ++minute) clock.Advance(60000);
    size_t points = 0;
    for (const TPoller* poller : registry.All()) {
      for (const TItemView& item : poller->Items()) {
        points += item.History->Size() * item.History->SeriesCount();
      }
    }
    const double after = ResidentBytes();
    std::printf(
        "%d hosts with 1440-minute histories (%zu points each, filled in %.1f s): %.2f MB per "
        "host\n",
        hosts, points / static_cast<size_t>(hosts), static_cast<double>(elapsed.elapsed()) / 1e3,
        (after - before) / hosts / 1e6);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  const int hosts = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::chrono::microseconds delay(argc > 2 ? std::atoi(argv[2]) : 1000);
  const int memoryHosts = argc > 3 ? std::atoi(argv[3]) : 20;
  Fleet(hosts, delay);
  LargeHost(delay);
  if (memoryHosts > 0) Memory(memoryHosts);
  return 0;
}
