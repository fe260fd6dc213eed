#include "SnmpAgents.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int BoundLoopbackSocket(uint16_t& port) {
  const int handle = socket(AF_INET, SOCK_DGRAM, 0);
  if (handle < 0) throw std::runtime_error("socket failed");
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (bind(handle, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(handle);
    throw std::runtime_error("bind to 127.0.0.1 failed");
  }
  port = ntohs(address.sin_port);
  return handle;
}

// An SNMPv1 GetRequest for sysUpTime.0, built by hand so the probe does not rely on the codec
// under test.
std::string ProbeRequest(const std::string& community) {
  const std::string pdu(
      "\xA0\x19\x02\x01\x00\x02\x01\x00\x02\x01\x00\x30\x0E\x30\x0C\x06\x08\x2B"
      "\x06\x01\x02\x01\x01\x03\x00\x05\x00",
      27);
  std::string body("\x02\x01\x00\x04", 4);
  body += static_cast<char>(community.size());
  body += community + pdu;
  return std::string(1, '\x30') + static_cast<char>(body.size()) + body;
}

void ApplyEnvironment(const std::vector<std::string>& environment) {
  for (const std::string& entry : environment) {
    const auto equals = entry.find('=');
    setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
  }
}

[[noreturn]] void Exec(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void RequireAnswer(uint16_t port, const std::string& community, const std::string& what,
                   const std::string& log) {
  if (!WaitForAgent(port, community)) {
    throw std::runtime_error(what + " did not answer on 127.0.0.1:" + std::to_string(port) + "\n" +
                             log);
  }
}

}  // namespace

std::string TestDataDir() {
  return CORVANE_TEST_DATA_DIR;
}

uint16_t FreeUdpPort() {
  uint16_t port = 0;
  close(BoundLoopbackSocket(port));
  return port;
}

std::string RunCommand(const std::vector<std::string>& argv, int* exitCode,
                       const std::vector<std::string>& environment) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    ApplyEnvironment(environment);
    Exec(argv);
  }
  close(pipeEnds[1]);
  std::string output;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0) output.append(buffer, count);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (exitCode != nullptr) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

TTempDir::TTempDir() {
  char pattern[] = "/tmp/corvane-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  // Agents that drop their privileges must still reach what lies inside.
  chmod(path_.c_str(), 0755);
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TAgentProcess::Start(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment, const std::string& logFile) {
  Stop();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    ApplyEnvironment(environment);
    Exec(argv);
  }
  setpgid(pid, pid);
  pid_ = pid;
}

void TAgentProcess::Stop() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(20000);
  }
  pid_ = -1;
}

bool WaitForAgent(uint16_t port, const std::string& community, int timeoutMs) {
  uint16_t localPort = 0;
  const int handle = BoundLoopbackSocket(localPort);
  const std::string request = ProbeRequest(community);
  const sockaddr_in agent = Loopback(port);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool answered = false;
  while (!answered && Clock::now() < deadline) {
    sendto(handle, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&agent),
           sizeof agent);
    pollfd waiter{handle, POLLIN, 0};
    answered = poll(&waiter, 1, 200) > 0;
  }
  close(handle);
  return answered;
}

void TSnmpSimAgent::Start(const std::string& dataDir, const std::vector<std::string>& v3Options) {
  Stop();
  if (port_ == 0) port_ = FreeUdpPort();
  // A fresh index cache each time, so swapped data files are read again.
  const std::string cache = work_.Path() + "/cache" + std::to_string(starts_ + 1);
  std::filesystem::create_directory(cache);
  chmod(cache.c_str(), 0777);
  std::string community;
  for (const auto& entry : std::filesystem::directory_iterator(dataDir)) {
    if (entry.path().extension() == ".snmprec") community = entry.path().stem().string();
  }
  if (community.empty()) throw std::runtime_error("no .snmprec file in " + dataDir);
  std::string data = dataDir;
  if (!v3Options.empty()) {
    // For an empty context name snmpsimd takes the file named after its first transport.
    data = work_.Path() + "/data" + std::to_string(starts_ + 1);
    std::filesystem::create_directory(data);
    const std::string file = dataDir + "/" + community + ".snmprec";
    std::filesystem::copy_file(file, data + "/" + community + ".snmprec");
    std::filesystem::copy_file(file, data + "/1.3.6.1.6.1.1.0.snmprec");
  }
  ++starts_;
  std::vector<std::string> argv = {"snmpsimd", "--cache-dir=" + cache, "--logging-method=stderr"};
  if (geteuid() == 0) {
    argv.push_back("--process-user=nobody");
    argv.push_back("--process-group=nogroup");
  }
  // The engine's options come first: the endpoint and data that follow belong to it.
  argv.insert(argv.end(), v3Options.begin(), v3Options.end());
  argv.push_back("--agent-udpv4-endpoint=127.0.0.1:" + std::to_string(port_));
  argv.push_back("--data-dir=" + data);
  process_.Start(argv, {}, work_.Path() + "/snmpsimd.log");
  RequireAnswer(port_, community, "snmpsimd", Log());
}

void TSnmpSimAgent::Stop() {
  process_.Stop();
}

std::string TSnmpSimAgent::Log() const {
  return ReadFile(work_.Path() + "/snmpsimd.log");
}

void TSnmpdAgent::Start(const std::string& extraConfig, bool ipv6) {
  Stop();
  port_ = FreeUdpPort();
  const std::string config = work_.Path() + "/snmpd.conf";
  std::ofstream(config) << "rocommunity pewter 127.0.0.1\n"
                        << "dontLogTCPWrappersConnects yes\n"
                        << extraConfig;
  std::string listen = "udp:127.0.0.1:" + std::to_string(port_);
  if (ipv6) listen += ",udp6:[::1]:" + std::to_string(port_);
  process_.Start({"snmpd", "-f", "-Lo", "-C", "-c", config, listen},
                 {"MIBS=", "SNMP_PERSISTENT_DIR=" + work_.Path()}, work_.Path() + "/snmpd.log");
  RequireAnswer(port_, Community(), "snmpd", Log());
}

std::string TSnmpdAgent::Log() const {
  return ReadFile(work_.Path() + "/snmpd.log");
}

namespace {

std::vector<std::string> NetSnmpTool(const std::string& tool, uint16_t port,
                                     const std::string& community, const std::string& oid,
                                     const std::string& version) {
  std::vector<std::string> argv = {tool, "-v" + version};
  if (version == "3") {
    std::istringstream options(community);
    for (std::string option; options >> option;) argv.push_back(option);
  } else {
    argv.insert(argv.end(), {"-c", community});
  }
  argv.insert(argv.end(), {"-On", "-Oq", "-Ot", "-Oe", "-t", "2", "-r", "1",
                           "127.0.0.1:" + std::to_string(port), oid});
  return SplitLines(RunCommand(argv, nullptr, {"MIBS="}));
}

}  // namespace

std::vector<std::string> NetSnmpGet(uint16_t port, const std::string& community,
                                    const std::string& oid, const std::string& version) {
  return NetSnmpTool("snmpget", port, community, oid, version);
}

std::vector<std::string> NetSnmpWalk(uint16_t port, const std::string& community,
                                     const std::string& oid, const std::string& version) {
  return NetSnmpTool(version == "1" ? "snmpwalk" : "snmpbulkwalk", port, community, oid, version);
}

TFakeUdpAgent::TFakeUdpAgent(THandler handler)
    : TFakeUdpAgent(TForgingHandler([handler = std::move(handler)](const std::string& request) {
        return TOutgoing{handler(request), {}};
      })) {}

TFakeUdpAgent::TFakeUdpAgent(TForgingHandler handler) : handler_(std::move(handler)) {
  socket_ = BoundLoopbackSocket(port_);
  otherSocket_ = BoundLoopbackSocket(otherPort_);
  thread_ = std::thread([this] { Serve(); });
}

TFakeUdpAgent::~TFakeUdpAgent() {
  stop_ = true;
  thread_.join();
  close(socket_);
  close(otherSocket_);
}

void TFakeUdpAgent::Serve() {
  std::string buffer(65536, '\0');
  while (!stop_) {
    pollfd waiter{socket_, POLLIN, 0};
    if (poll(&waiter, 1, 20) <= 0) continue;
    sockaddr_in source{};
    socklen_t size = sizeof source;
    const ssize_t count = recvfrom(socket_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&source), &size);
    if (count < 0) continue;
    ++requests_;
    const TOutgoing outgoing = handler_(buffer.substr(0, static_cast<size_t>(count)));
    for (const auto& [from, datagrams] : {std::pair{otherSocket_, &outgoing.FromOtherPort},
                                          std::pair{socket_, &outgoing.Replies}}) {
      for (const std::string& datagram : *datagrams) {
        sendto(from, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&source),
               size);
      }
    }
  }
}
