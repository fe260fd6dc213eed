#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "IdSNMP.h"

// A text that is not a valid integer; the message is the text + " is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Value text of one GetRequest's first reply binding; empty text on any failure (never raises).
std::string SnmpGetValue(TIdSNMP& snmp, const std::string& oid);

// Walks the column `base` with GetNext and writes its row indexes to list, each followed by ","
// ("1,2,10,"); returns their number. Ends as TWalkCursor says. Exchange errors pass to the
// caller.
int32_t SnmpWalkIndexes(TIdSNMP& snmp, const std::string& base, std::string& list);

// The first element of a walk list; removes it through its comma.
std::string TakeListElement(std::string& list);

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

// Orders dotted OIDs arc by arc numerically (negative: a before b, 0: equal).
int CompareOids(const std::string& a, const std::string& b);
