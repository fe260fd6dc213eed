#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "SnmpErrors.h"
#include "SnmpInfo.h"
#include "SnmpSession.h"

// Base of the errors of the UDP and socket layers.
class EIdException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed socket call or name lookup; LastError holds the code (10000 + BSD errno, 11001...).
class EIdSocketError : public EIdException {
 public:
  EIdSocketError(int32_t code, const std::string& message)
      : EIdException(message), LastError(code) {}
  int32_t LastError;
};

class EIdNotASocket : public EIdSocketError {
 public:
  using EIdSocketError::EIdSocketError;
};

class EIdPackageSizeTooBig : public EIdException {
 public:
  EIdPackageSizeTooBig() : EIdException("Package Size Too Big.") {}
};

class EIdNotAllBytesSent : public EIdException {
 public:
  EIdNotAllBytesSent() : EIdException("Not all bytes sent.") {}
};

class EIdConnClosedGracefully : public EIdException {
 public:
  EIdConnClosedGracefully() : EIdException("Connection Closed Gracefully.") {}
};

class EIdIPv6Unavailable : public EIdException {
 public:
  EIdIPv6Unavailable() : EIdException("IPv6 unavailable") {}
};

// Throws EIdSocketError (EIdNotASocket for 10038) for the code.
[[noreturn]] void RaiseSocketError(int32_t code);

// Name lookup: host name to dotted IPv4 text; raises EIdSocketError 11001 when it fails.
using THostLookup = std::function<std::string(const std::string& host)>;

// The socket layer: errno translation, address texts and name resolution.
class TIdStack {
 public:
  // 10000 + the BSD number of a Linux errno value (ECONNRESET gives 10054).
  static int32_t TranslateErrno(int err);
  // The translated code of the calling thread's errno.
  static int32_t LastError();
  // Exactly four dot-separated decimal numbers from 0 to 255.
  static bool IsIPv4Address(const std::string& text);
  // Looks the name up (getaddrinfo, IPv4) and gives the first address.
  static std::string HostByName(const std::string& host);
  // "LOCALHOST" (any case) and dotted quads without a lookup, anything else through lookup.
  static std::string ResolveHost(const std::string& host, const THostLookup& lookup = HostByName);
};

// One IPv4 datagram socket, opened on demand.
class TIdSocketHandle {
 public:
  TIdSocketHandle() = default;
  TIdSocketHandle(const TIdSocketHandle&) = delete;
  TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;
  ~TIdSocketHandle() { CloseSocket(); }

  // Opens the socket (SO_BROADCAST off); raises EIdSocketError.
  void AllocateSocket();
  void CloseSocket();
  bool HandleAllocated() const { return handle_ >= 0; }
  int Handle() const { return handle_; }

 private:
  int handle_ = -1;
  std::mutex closeLock_;
};

class TIdUDPBase {
 public:
  TIdUDPBase() = default;
  TIdUDPBase(const TIdUDPBase&) = delete;
  TIdUDPBase& operator=(const TIdUDPBase&) = delete;

  int32_t ReceiveTimeout() const { return receiveTimeout_; }
  void SetReceiveTimeout(int32_t milliseconds) { receiveTimeout_ = milliseconds; }
  int32_t BufferSize() const { return bufferSize_; }
  void SetBufferSize(int32_t size) { bufferSize_ = size; }
  bool Active() const { return binding_.HandleAllocated(); }
  // Deactivating closes the socket; it is opened again by the next send.
  void SetActive(bool active);
  TIdSocketHandle& Binding() { return binding_; }

  // Sends data in one datagram to host:port. Raises ERangeError for a port outside 0..65535,
  // EIdSocketError (11001 for a failed lookup), EIdPackageSizeTooBig, EIdNotAllBytesSent.
  void SendDatagram(const std::string& host, int32_t port, const std::string& data);
  // Waits up to timeout ms (-1: ReceiveTimeout, -2: no limit) for one datagram and returns it,
  // writing its source; empty text, empty host and port 0 when nothing arrived. A datagram longer
  // than BufferSize raises EIdSocketError 10040; a closed socket EIdConnClosedGracefully.
  std::string ReceiveDatagram(std::string& sourceHost, int32_t& sourcePort, int32_t timeout = -1);

 protected:
  // As ReceiveDatagram with room for `capacity` octets; `arrived` tells an empty datagram from
  // none.
  std::string ReceiveFrom(std::string& sourceHost, int32_t& sourcePort, int32_t timeout,
                          bool& arrived, size_t capacity);

 private:
  TIdSocketHandle binding_;
  int32_t receiveTimeout_ = -2;
  int32_t bufferSize_ = 8192;
};

class TIdUDPClient : public TIdUDPBase {
 public:
  std::string Host() const { return host_; }
  void SetHost(const std::string& host) { host_ = host; }
  int32_t Port() const { return port_; }
  void SetPort(int32_t port) { port_ = port; }

 private:
  std::string host_;
  int32_t port_ = 0;
};

// SNMPv1 client: owns the query, reply and trap records and runs one request/reply exchange.
class TIdSNMP : public TIdUDPClient, public TSnmpRecordOwner {
 public:
  TIdSNMP();

  std::string DefaultCommunity() const override { return community_; }
  std::string DefaultHost() const override { return Host(); }
  int32_t DefaultPort(const TSNMPInfo& record) const override {
    return &record == trapInfo_.get() ? trapPort_ : Port();
  }

  int32_t TrapPort() const { return trapPort_; }
  void SetTrapPort(int32_t port) { trapPort_ = port; }
  std::string Community() const { return community_; }
  // A different community is given to the query, reply and trap records (resetting them).
  void SetCommunity(const std::string& community);

  TSNMPInfo& QueryInfo() { return *queryInfo_; }
  TSNMPInfo& ReplyInfo() { return *replyInfo_; }
  TSNMPInfo& TrapInfo() { return *trapInfo_; }

  // Gives the query a fresh request-id, sends it and waits up to ReceiveTimeout for the reply
  // with that id and community from the host and port asked (other datagrams are dropped). True
  // when it came with error-status 0; a reply longer than BufferSize is tooBig. Raises what
  // SendDatagram and ReceiveDatagram raise, except a connection reset (gives false).
  bool ExchangeQuery();

 private:
  int32_t trapPort_ = 162;
  std::string community_ = "pewter";
  TSnmpSession session_;
  std::unique_ptr<TSNMPInfo> queryInfo_, replyInfo_, trapInfo_;
};
