#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised on any read past the end of a byte string and on values the codec cannot hold.
class ERangeError : public std::runtime_error {
 public:
  ERangeError() : std::runtime_error("Range check error") {}
};

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

// The text of a socket error code ("Connection reset by peer."), empty for unknown codes.
std::string SocketErrorText(int32_t code);

// "Socket Error # <code>\r\n<text>".
std::string SocketErrorMessage(int32_t code);

// Throws EIdSocketError (EIdNotASocket for 10038) for the code.
[[noreturn]] void RaiseSocketError(int32_t code);
