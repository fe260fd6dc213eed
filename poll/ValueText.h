#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The value texts of replies as numbers.

// A text that is not a valid integer; the message is the text + " is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Low 32 bits of an integer text (leading blanks, sign, decimal or "$" hex); raises
// EConvertError.
uint32_t StrToLW(const std::string& text);
// As StrToLW without raising; out is 0 when the text is no number.
bool TryStrToLW(const std::string& text, uint32_t& out);

// An unsigned 64-bit decimal text (a Counter64), nothing else around it.
bool TryStrToUInt64(const std::string& text, uint64_t& out);

// A signed 32-bit integer text; raises EConvertError on bad text or a value out of range.
int32_t StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, int32_t& out);
