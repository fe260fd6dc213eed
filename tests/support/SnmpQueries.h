#pragma once

#include <cstdint>
#include <string>

#include "IdSNMP.h"

// Value text of one GetRequest's first reply binding; empty text on any failure (never raises).
std::string SnmpGetValue(TIdSNMP& snmp, const std::string& oid);

// Walks the column `base` with GetNext and writes its row indexes to list, each followed by ","
// ("1,2,10,"); returns their number. Ends as TWalkCursor says. Exchange errors pass to the
// caller.
int32_t SnmpWalkIndexes(TIdSNMP& snmp, const std::string& base, std::string& list);

// The first element of a walk list; removes it through its comma.
std::string TakeListElement(std::string& list);
