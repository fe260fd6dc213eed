#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised on any read past the end of a byte string and on values the codec cannot hold.
class ERangeError : public std::runtime_error {
 public:
  ERangeError() : std::runtime_error("Range check error") {}
};

// The text of a socket error code ("Connection reset by peer."), empty for unknown codes.
std::string SocketErrorText(int32_t code);

// "Socket Error # <code>\r\n<text>".
std::string SocketErrorMessage(int32_t code);

// 10000 + the BSD number of a Linux errno value (ECONNRESET gives 10054).
int32_t SocketErrorCode(int err);

// Exactly four dot-separated decimal numbers from 0 to 255.
bool IsDottedQuad(const std::string& text);
