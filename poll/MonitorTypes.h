#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Chart.h"

// What the monitors ask to read, what they get back, and what they give the window to show.

enum class TItemKind { Processor, Interface, Storage };

// Colours of the series: incoming traffic, and outgoing traffic or storage use.
inline const QColor InColor{0, 128, 0};
inline const QColor OutColor{0, 0, 255};

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

// One row of a walked column: the object's name, its last arc, and its value.
struct TWalkRow {
  std::string Oid;
  std::string Index;
  TReadValue Value;
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
  double AxisMaximum = 0;  // the storage chart's fixed total
};

// The points and value axis of one item's chart.
struct TItemHistory {
  std::vector<TChartSeries> Series;
  double AxisMaximum = 0;
};

// A row for the activity log, written when the options ask for its kind at that moment.
struct TLogLine {
  QString Tag;
  QString Item;
  QString Value;
};

// The values of one poll as the agent gave them, for consumers beyond the screen.
struct TRawValues {
  QString Name;                                  // the interface's or storage area's description
  std::optional<int64_t> Load;                   // processor load in percent, unclamped
  std::optional<uint64_t> InOctets, OutOctets;   // octet counters as read
  int CounterBits = 32;                          // width of those counters
  uint64_t SpeedBits = 0;                        // interface speed, bits per second (0: unknown)
  std::optional<uint64_t> SizeBytes, UsedBytes;  // storage area
};

// What one poll of one item changes on the screen and in the log.
struct TRowUpdate {
  TItemKind Kind = TItemKind::Processor;
  int32_t Index = 0;
  std::optional<int> Gauge;                         // nothing: no value this time
  std::vector<std::pair<QString, QString>> Labels;  // object name, text
  const TItemHistory* History = nullptr;            // the chart after this poll
  std::vector<TLogLine> Log;
  TRawValues Raw;
};

// Who the connected host says it is, and how long its agent has been up.
struct TDeviceIdentity {
  QString Name;                    // sysName
  QString Descr;                   // sysDescr
  std::optional<uint32_t> UpTime;  // sysUpTime of the last reading, hundredths of a second
};

// Texts of a value label when a poll has no number to show.
namespace NoValueText {
inline const QString NoAnswer = QStringLiteral("no answer");
inline const QString NoValue = QStringLiteral("no value");
inline const QString Restarted = QStringLiteral("agent restarted");
inline const QString NewBaseline = QStringLiteral("new baseline");
inline const QString Measuring = QStringLiteral("measuring");
inline const QString CountersReset = QStringLiteral("counters reset");
}  // namespace NoValueText

// "no answer" or "no value" for a value that did not come.
inline const QString& MissingText(const TReadValue& value) {
  return value.State == TValueState::NoAnswer ? NoValueText::NoAnswer : NoValueText::NoValue;
}
