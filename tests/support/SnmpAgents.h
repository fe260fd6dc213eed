#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Data files of the repository's tests (pewter.snmprec, ...).
std::string TestDataDir();

// A UDP port on 127.0.0.1 that was free a moment ago.
uint16_t FreeUdpPort();

// Runs argv (PATH searched) with the given extra environment and returns its standard output;
// exitCode receives the exit status (-1 when it did not exit normally).
std::string RunCommand(const std::vector<std::string>& argv, int* exitCode = nullptr,
                       const std::vector<std::string>& environment = {});

// Lines of a command's standard output.
std::vector<std::string> SplitLines(const std::string& text);

// A temporary directory, removed with its contents on destruction.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A child process started by a test agent; stopped with SIGTERM, then SIGKILL.
class TAgentProcess {
 public:
  TAgentProcess() = default;
  ~TAgentProcess() { Stop(); }
  TAgentProcess(const TAgentProcess&) = delete;
  TAgentProcess& operator=(const TAgentProcess&) = delete;

  void Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
             const std::string& logFile);
  void Stop();
  bool Running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// True once an SNMPv1 agent on 127.0.0.1:port answers a GetRequest with this community.
bool WaitForAgent(uint16_t port, const std::string& community, int timeoutMs = 20000);

// snmpsimd serving the .snmprec files of a data directory on 127.0.0.1 (community = file name).
class TSnmpSimAgent {
 public:
  TSnmpSimAgent() = default;
  ~TSnmpSimAgent() { Stop(); }
  TSnmpSimAgent(const TSnmpSimAgent&) = delete;
  TSnmpSimAgent& operator=(const TSnmpSimAgent&) = delete;

  // Starts on a free port (the same port as before when it ran already) and waits until it
  // answers; throws std::runtime_error when it does not within 20 s. With v3 options (an engine
  // first: "--v3-engine-id=...", then "--v3-user=..." and its keys) it also serves SNMPv3, the
  // data files answering the empty context name.
  void Start(const std::string& dataDir, const std::vector<std::string>& v3Options = {});
  // Stops and starts again on the same port with another data directory.
  void Restart(const std::string& dataDir) { Start(dataDir); }
  void Stop();
  uint16_t Port() const { return port_; }
  // Log of the last start (for test failure messages).
  std::string Log() const;

 private:
  TAgentProcess process_;
  TTempDir work_;
  uint16_t port_ = 0;
  int starts_ = 0;
};

// net-snmp snmpd showing this host on 127.0.0.1, read-only community "pewter".
class TSnmpdAgent {
 public:
  TSnmpdAgent() = default;
  ~TSnmpdAgent() { Stop(); }
  TSnmpdAgent(const TSnmpdAgent&) = delete;
  TSnmpdAgent& operator=(const TSnmpdAgent&) = delete;

  // Starts on a free port and waits until it answers; throws std::runtime_error otherwise.
  // The extra lines go into its configuration (createUser ...); with ipv6 it listens on [::1]
  // as well, on the same port.
  void Start(const std::string& extraConfig = "", bool ipv6 = false);
  void Stop() { process_.Stop(); }
  uint16_t Port() const { return port_; }
  std::string Community() const { return "pewter"; }
  std::string Log() const;

 private:
  TAgentProcess process_;
  TTempDir work_;
  uint16_t port_ = 0;
};

// net-snmp's snmpget/snmpwalk (-On -Oq) against 127.0.0.1:port in the given version ("1",
// "2c"): lines "<.oid> <value>". In version 2c the walk goes by GetBulk (snmpbulkwalk). For
// version "3" the community is the command's security options ("-l authPriv -u ... -a ...").
std::vector<std::string> NetSnmpGet(uint16_t port, const std::string& community,
                                    const std::string& oid, const std::string& version = "1");
std::vector<std::string> NetSnmpWalk(uint16_t port, const std::string& community,
                                     const std::string& oid, const std::string& version = "1");

// A scripted peer on a 127.0.0.1 UDP port: for each datagram it receives, the handler gives the
// datagrams to send back to its source, from its own port and, as a stranger would, from
// another one (those first).
class TFakeUdpAgent {
 public:
  struct TOutgoing {
    std::vector<std::string> Replies;
    std::vector<std::string> FromOtherPort;
  };
  using THandler = std::function<std::vector<std::string>(const std::string& request)>;
  using TForgingHandler = std::function<TOutgoing(const std::string& request)>;
  explicit TFakeUdpAgent(THandler handler);
  explicit TFakeUdpAgent(TForgingHandler handler);
  ~TFakeUdpAgent();
  TFakeUdpAgent(const TFakeUdpAgent&) = delete;
  TFakeUdpAgent& operator=(const TFakeUdpAgent&) = delete;
  uint16_t Port() const { return port_; }
  uint16_t OtherPort() const { return otherPort_; }
  int Requests() const { return requests_; }

 private:
  void Serve();
  TForgingHandler handler_;
  int socket_ = -1, otherSocket_ = -1;
  uint16_t port_ = 0, otherPort_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};
