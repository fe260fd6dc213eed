#pragma once

#include <cstdint>
#include <string>

// Object names read from the monitored host.
namespace Oids {
inline constexpr const char* SysDescr = "1.3.6.1.2.1.1.1.0";
inline constexpr const char* SysUpTime = "1.3.6.1.2.1.1.3.0";
inline constexpr const char* SysName = "1.3.6.1.2.1.1.5.0";

inline constexpr const char* ProcessorIdColumn = "1.3.6.1.2.1.25.3.3.1.1";
inline constexpr const char* ProcessorLoad = "1.3.6.1.2.1.25.3.3.1.2";

inline constexpr const char* IfIndex = "1.3.6.1.2.1.2.2.1.1";
inline constexpr const char* IfDescr = "1.3.6.1.2.1.2.2.1.2";
inline constexpr const char* IfType = "1.3.6.1.2.1.2.2.1.3";
inline constexpr const char* IfSpeed = "1.3.6.1.2.1.2.2.1.5";
inline constexpr const char* IfAdminStatus = "1.3.6.1.2.1.2.2.1.7";
inline constexpr const char* IfOperStatus = "1.3.6.1.2.1.2.2.1.8";
inline constexpr const char* IfInOctets = "1.3.6.1.2.1.2.2.1.10";
inline constexpr const char* IfOutOctets = "1.3.6.1.2.1.2.2.1.16";
// ifXTable
inline constexpr const char* IfName = "1.3.6.1.2.1.31.1.1.1.1";
inline constexpr const char* IfHCInOctets = "1.3.6.1.2.1.31.1.1.1.6";
inline constexpr const char* IfHCOutOctets = "1.3.6.1.2.1.31.1.1.1.10";
inline constexpr const char* IfHighSpeed = "1.3.6.1.2.1.31.1.1.1.15";
inline constexpr const char* IfCounterDiscontinuityTime = "1.3.6.1.2.1.31.1.1.1.19";

inline constexpr const char* StorageIndex = "1.3.6.1.2.1.25.2.3.1.1";
inline constexpr const char* StorageType = "1.3.6.1.2.1.25.2.3.1.2";
inline constexpr const char* StorageDescr = "1.3.6.1.2.1.25.2.3.1.3";
inline constexpr const char* StorageAllocationUnits = "1.3.6.1.2.1.25.2.3.1.4";
inline constexpr const char* StorageSize = "1.3.6.1.2.1.25.2.3.1.5";
inline constexpr const char* StorageUsed = "1.3.6.1.2.1.25.2.3.1.6";

// A table cell: the column's name, ".", and the row index.
inline std::string Instance(const char* column, int32_t index) {
  return std::string(column) + "." + std::to_string(index);
}
}  // namespace Oids
