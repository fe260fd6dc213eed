#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Computations.h"
#include "History.h"
#include "MonitorTypes.h"

struct TProcessor {
  int32_t Index = 0;
  std::string LoadOid;
  TItemHistory History;
};

struct TInterface {
  int32_t Index = 0;
  QString Descr;
  QString IfType;
  uint64_t Speed = 1;          // bits per second, never 0
  uint64_t ReportedSpeed = 0;  // as the agent gave it; 0: unknown
  uint64_t KnownSpeed = 0;     // what the counters' differences are checked against; 0: none
  int CounterBits = 32;        // the octet counters read: 32 or 64 bits wide
  TCounterReading In;
  TCounterReading Out;
  bool Measuring = false;  // its last reading came too soon after a baseline to give a rate
  std::optional<uint32_t> DiscontinuityTime;  // ifCounterDiscontinuityTime as last read
  std::string OutOctetsOid;
  std::string InOctetsOid;
  std::string DiscontinuityOid;  // empty where it is not read (SNMPv1)
  TItemHistory History;
};

struct TStorage {
  int32_t Index = 0;
  int32_t AllocationUnits = 0;
  QString TypeName;
  QString Descr;
  uint32_t Size = 0;
  std::string UsedOid;
  std::string SizeOid;
  TItemHistory History;
};

// An ordered list of items: the row index as text, and the record the list owns.
template <class T>
class TItemList {
 public:
  struct TEntry {
    QString Text;
    std::unique_ptr<T> Record;
  };

  void Add(const QString& text, std::unique_ptr<T> record) {
    FEntries.push_back({text, std::move(record)});
  }
  void Clear() { FEntries.clear(); }
  int Count() const { return static_cast<int>(FEntries.size()); }
  const QString& Text(int i) const { return FEntries.at(i).Text; }
  T& Record(int i) const { return *FEntries.at(i).Record; }

 private:
  std::vector<TEntry> FEntries;
};

// Type name of a kept storage type (last arc of hrStorageType); empty for the others.
QString StorageTypeName(int32_t lastArc);
