#include "IdSNMP.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kHostNotFound = 11001;
constexpr int32_t kConnectionReset = 10054;
constexpr int32_t kMessageTooLong = 10040;
constexpr int32_t kNoTimeLimit = -2;
// Room for any UDP datagram.
constexpr size_t kLargestDatagram = 65536;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

sockaddr_in MakeAddress(const std::string& dottedQuad, int32_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  uint32_t value = 0;
  std::string rest = dottedQuad;
  for (int part = 0; part < 4; ++part) {
    const auto dot = rest.find('.');
    value = (value << 8) | static_cast<uint32_t>(std::stoul(rest.substr(0, dot)));
    rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
  }
  address.sin_addr.s_addr = htonl(value);
  return address;
}

}  // namespace

void RaiseSocketError(int32_t code) {
  if (code == 10038) throw EIdNotASocket(code, SocketErrorMessage(code));
  throw EIdSocketError(code, SocketErrorMessage(code));
}

int32_t TIdStack::TranslateErrno(int err) {
  return SocketErrorCode(err);
}

int32_t TIdStack::LastError() {
  return TranslateErrno(errno);
}

bool TIdStack::IsIPv4Address(const std::string& text) {
  return IsDottedQuad(text);
}

std::string TIdStack::HostByName(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (result == EAI_SYSTEM) RaiseSocketError(LastError());
  if (result != 0 || found == nullptr) RaiseSocketError(kHostNotFound);
  char text[INET_ADDRSTRLEN] = {};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return text;
}

std::string TIdStack::ResolveHost(const std::string& host, const THostLookup& lookup) {
  if (Upper(host) == "LOCALHOST") return "127.0.0.1";
  if (IsIPv4Address(host)) return host;
  return lookup(host);
}

void TIdSocketHandle::AllocateSocket() {
  if (HandleAllocated()) return;
  const int handle = socket(AF_INET, SOCK_DGRAM, 0);
  if (handle < 0) RaiseSocketError(TIdStack::LastError());
  const int broadcast = 0;
  if (setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &broadcast, sizeof broadcast) != 0) {
    const int32_t code = TIdStack::LastError();
    close(handle);
    RaiseSocketError(code);
  }
  handle_ = handle;
}

void TIdSocketHandle::CloseSocket() {
  const std::lock_guard<std::mutex> guard(closeLock_);
  if (handle_ >= 0) {
    close(handle_);
    handle_ = -1;
  }
}

void TIdUDPBase::SetActive(bool active) {
  if (!active) binding_.CloseSocket();
}

void TIdUDPBase::SendDatagram(const std::string& host, int32_t port, const std::string& data) {
  const std::string address = TIdStack::ResolveHost(host);
  binding_.AllocateSocket();
  if (port < 0 || port > 65535) throw ERangeError();
  const sockaddr_in target = MakeAddress(address, port);
  const ssize_t sent = sendto(binding_.Handle(), data.data(), data.size(), 0,
                              reinterpret_cast<const sockaddr*>(&target), sizeof target);
  if (sent < 0) {
    const int32_t code = TIdStack::LastError();
    if (code == kMessageTooLong) throw EIdPackageSizeTooBig();
    RaiseSocketError(code);
  }
  if (static_cast<size_t>(sent) < data.size()) throw EIdNotAllBytesSent();
}

std::string TIdUDPBase::ReceiveDatagram(std::string& sourceHost, int32_t& sourcePort,
                                        int32_t timeout) {
  bool arrived = false;
  return ReceiveFrom(sourceHost, sourcePort, timeout, arrived,
                     static_cast<size_t>(std::max(bufferSize_, 0)));
}

std::string TIdUDPBase::ReceiveFrom(std::string& sourceHost, int32_t& sourcePort, int32_t timeout,
                                    bool& arrived, size_t capacity) {
  arrived = false;
  if (timeout == -1) timeout = receiveTimeout_ == 0 ? kNoTimeLimit : receiveTimeout_;
  if (!binding_.HandleAllocated()) throw EIdConnClosedGracefully();

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
  pollfd waiter{binding_.Handle(), POLLIN, 0};
  int ready = 0;
  while (true) {
    int wait = -1;
    if (timeout != kNoTimeLimit) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<int64_t>(left, 0));
    }
    ready = poll(&waiter, 1, wait);
    // A signal is no reason to give up the wait.
    if (ready < 0 && errno == EINTR) continue;
    break;
  }
  if (ready < 0) RaiseSocketError(TIdStack::LastError());
  if (ready == 0) {
    sourceHost.clear();
    sourcePort = 0;
    return {};
  }

  std::string buffer(capacity, '\0');
  sockaddr_in source{};
  socklen_t sourceSize = sizeof source;
  // MSG_TRUNC makes recvfrom report the datagram's full length, so a cut one is detected.
  const ssize_t received = recvfrom(binding_.Handle(), buffer.data(), buffer.size(), MSG_TRUNC,
                                    reinterpret_cast<sockaddr*>(&source), &sourceSize);
  if (received < 0) RaiseSocketError(TIdStack::LastError());
  if (static_cast<size_t>(received) > buffer.size()) RaiseSocketError(kMessageTooLong);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &source.sin_addr, text, sizeof text);
  sourceHost = text;
  sourcePort = ntohs(source.sin_port);
  buffer.resize(static_cast<size_t>(received));
  arrived = true;
  return buffer;
}

TIdSNMP::TIdSNMP() {
  SetPort(161);
  queryInfo_ = std::make_unique<TSNMPInfo>(this);
  replyInfo_ = std::make_unique<TSNMPInfo>(this);
  trapInfo_ = std::make_unique<TSNMPInfo>(this);
  queryInfo_->Reset();
  replyInfo_->Reset();
  trapInfo_->Reset();
  SetReceiveTimeout(5000);
}

void TIdSNMP::SetCommunity(const std::string& community) {
  if (community == community_) return;
  community_ = community;
  queryInfo_->SetCommunity(community);
  replyInfo_->SetCommunity(community);
  trapInfo_->SetCommunity(community);
}

bool TIdSNMP::ExchangeQuery() {
  using Clock = std::chrono::steady_clock;
  const auto now = [] {
    return std::chrono::duration_cast<TSnmpTime>(Clock::now().time_since_epoch());
  };
  TSNMPInfo& query = QueryInfo();
  TSNMPInfo& reply = ReplyInfo();
  reply.Reset();
  session_.Cancel();
  session_.LargestReply = static_cast<size_t>(std::max(BufferSize(), 0));
  const bool unlimited = ReceiveTimeout() == 0 || ReceiveTimeout() == kNoTimeLimit;
  const TSnmpTime timeout(unlimited ? INT32_MAX : std::max(ReceiveTimeout(), 0));
  session_.Start(query, now(), timeout);
  const std::string address = TIdStack::ResolveHost(query.TargetHost);
  const int32_t port = query.TargetPort;
  SendDatagram(address, port, query.Packet);

  // A late reply to an earlier request, a datagram that is no message or one from another
  // address is dropped, and the wait goes on for what is left of the time-out.
  while (true) {
    const TSnmpTime left = std::max(*session_.NextDeadline() - now(), TSnmpTime(0));
    bool arrived = false;
    std::string packet, sourceHost;
    int32_t sourcePort = 0;
    try {
      packet = ReceiveFrom(sourceHost, sourcePort,
                           unlimited ? kNoTimeLimit : static_cast<int32_t>(left.count()), arrived,
                           kLargestDatagram);
    } catch (const EIdSocketError& error) {
      if (error.LastError != kConnectionReset) throw;
      arrived = false;
    }
    if (!arrived) {
      session_.Cancel();
      query.TargetHost.clear();
      query.TargetPort = 0;
      reply.Reset();
      reply.Packet.clear();
      return false;
    }
    if (sourceHost != address || sourcePort != port) continue;
    const auto received = session_.OnDatagram(packet, reply, now());
    if (received && received->Kind == TSnmpReceived::Reply) {
      query.TargetHost = sourceHost;
      query.TargetPort = sourcePort;
      return reply.ErrStatus == 0;
    }
  }
}
