#include "ValueText.h"

#include <charconv>

#include "SnmpInfo.h"

namespace {

bool ParseLeadingBlanks(const std::string& text, int64_t& value, bool& hex) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    value = 0;
    return false;
  }
  return ParseIntegerText(std::string_view(text).substr(first), value, hex);
}

[[noreturn]] void RaiseConvertError(const std::string& text) {
  throw EConvertError(text + " is not a valid integer value");
}

}  // namespace

bool TryStrToLW(const std::string& text, uint32_t& out) {
  int64_t value = 0;
  bool hex = false;
  const bool parsed = ParseLeadingBlanks(text, value, hex);
  out = parsed ? static_cast<uint32_t>(value) : 0;
  return parsed;
}

uint32_t StrToLW(const std::string& text) {
  uint32_t value = 0;
  if (!TryStrToLW(text, value)) RaiseConvertError(text);
  return value;
}

bool TryStrToUInt64(const std::string& text, uint64_t& out) {
  out = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && stop == end && !text.empty();
}

bool TryStrToInt(const std::string& text, int32_t& out) {
  int64_t value = 0;
  bool hex = false;
  out = 0;
  if (!ParseLeadingBlanks(text, value, hex)) return false;
  if (hex && value >= INT32_MIN && value <= UINT32_MAX) {
    out = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
  }
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) RaiseConvertError(text);
  return value;
}
