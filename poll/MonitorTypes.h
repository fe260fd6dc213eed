#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "History.h"

// What the monitors ask to read, what they get back, and what they give their consumers: numbers
// and states, never texts for the screen.

enum class TItemKind { Processor, Interface, Storage };

// One value read for an item: its text and type, or why there is none.
enum class TValueState {
  Value,     // the agent gave it
  NoAnswer,  // the request timed out, or could not be sent
  NoValue    // the agent answered without it (an error status, or no such object)
};

struct TReadValue {
  TValueState State = TValueState::NoAnswer;
  std::string Text;
  int32_t Type = 0;
  bool Ok() const { return State == TValueState::Value; }
};

using TItemValues = std::vector<TReadValue>;

// The objects one item needs read, in the order they are asked for. A value already known (from
// a walk) is not asked for again.
struct TItemRead {
  std::vector<std::string> Oids;
  std::vector<std::optional<TReadValue>> Known;  // empty, or one entry per object
};

// One row of a walked column: the object's name, its last arc, and its value; where the walk
// asked for it, the sysUpTime of the reply the row came in.
struct TWalkRow {
  std::string Oid;
  std::string Index;
  TReadValue Value;
  TReadValue UpTime;
};

// Columns walked together: the rows of each, in the order the columns were given.
using TWalkTable = std::vector<std::vector<TWalkRow>>;

// The rows of a walked column by their index.
std::unordered_map<std::string, TReadValue> ByIndex(const std::vector<TWalkRow>& column);

// A row to create on a tab.
struct TRowSpec {
  TItemKind Kind = TItemKind::Processor;
  int32_t Index = 0;
  QString Caption;
  double AxisMaximum = 0;       // the storage chart's fixed total
  int32_t AllocationUnits = 0;  // storage areas: the bytes of each unit the log counts
};

// How the activity log and the history name one series of an item's chart.
struct TSeriesName {
  QString Tag;
  QString Item;
};

// A row for the activity log, written when the options ask for its kind at that moment.
struct TLogLine {
  QString Tag;
  QString Item;
  double Value = 0;  // a processor's load is a whole number
};

// Why a value of a poll is missing.
enum class TMissing {
  None,
  NoAnswer,      // the request timed out, or could not be sent
  NoValue,       // the agent answered without it (an error status, or no such object)
  Restarted,     // the agent's up-time went back: it restarted
  NewBaseline,   // the first reading of a counter, which a rate needs a second one for
  Measuring,     // too soon after the last reading to give a rate
  CountersReset  // the counters were reset or announced a discontinuity
};

// A number of one poll, or why there is none.
struct TPolledValue {
  std::optional<double> Value;
  TMissing Missing = TMissing::None;  // when there is no value
};

// The values of one poll as the agent gave them, for consumers beyond the screen.
struct TRawValues {
  QString Name;                                  // the interface's or storage area's description
  std::optional<int64_t> Load;                   // processor load in percent, unclamped
  std::optional<uint64_t> InOctets, OutOctets;   // octet counters as read
  int CounterBits = 32;                          // width of those counters
  uint64_t SpeedBits = 0;                        // interface speed, bits per second (0: unknown)
  bool Loopback = false;                         // a software loopback: it has no line rate
  std::optional<uint64_t> SizeBytes, UsedBytes;  // storage area
  // Interfaces, while their state is read: ifAdminStatus and ifOperStatus (1 up, 2 down ...).
  std::optional<int> AdminStatus, OperStatus;
};

// What one poll of one item found.
struct TRowUpdate {
  TItemKind Kind = TItemKind::Processor;
  int32_t Index = 0;
  // The gauge's percent: a processor's load (not held within 0 to 100), an interface's
  // utilisation or a storage area's use, rounded; nothing: no value this time.
  std::optional<int> Gauge;
  // Interfaces: the utilisation in percent, and the rates in and out in Kbit/s.
  TPolledValue Percent, In, Out;
  // Storage areas: the size and the used part, in Mb.
  double TotalMegabytes = 0;
  TPolledValue UsedMegabytes;
  const TItemHistory* History = nullptr;  // the chart after this poll
  std::vector<TLogLine> Log;
  TRawValues Raw;
};

// Who the connected host says it is, and how long its agent has been up.
struct TDeviceIdentity {
  QString Name;                    // sysName
  QString Descr;                   // sysDescr
  std::optional<uint32_t> UpTime;  // sysUpTime of the last reading, hundredths of a second
};

// Why a value that did not come is missing: no answer, or no value.
inline TMissing MissingOf(const TReadValue& value) {
  return value.State == TValueState::NoAnswer ? TMissing::NoAnswer : TMissing::NoValue;
}
