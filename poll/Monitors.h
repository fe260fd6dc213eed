#pragma once

#include <optional>
#include <vector>

#include "Items.h"
#include "MonitorTypes.h"

// The three monitors: plain classes that turn what was read into rows and updates. They own the
// item records; their consumers only show what they give back.

// What every chart of one connection shares.
struct TMonitorSetup {
  int GraphLength = 15;  // minutes a chart shows
  int64_t PollTime = 0;  // UTC milliseconds since the epoch: where the points read now stand
};

class TProcessorMonitor {
 public:
  TMonitorSetup Setup;
  TItemList<TProcessor> List;

  // One row per walked processor, in walk order; a non-numeric index raises EConvertError.
  std::vector<TRowSpec> Discover(const std::vector<TWalkRow>& rows);
  // The rows of the processors found, in order.
  std::vector<TRowSpec> Rows() const;
  // Each processor's load.
  std::vector<TItemRead> PollReads() const;
  TRowUpdate Poll(int item, const TItemValues& values);
};

class TInterfaceMonitor {
 public:
  TMonitorSetup Setup;
  TItemList<TInterface> List;
  // Whether each poll also reads the interfaces' ifAdminStatus and ifOperStatus.
  bool ReadState = false;

  // The ifTable columns walked at discovery: the index, and with batched reads (SNMPv2c) the
  // descriptions, types and speeds as well.
  static std::vector<std::string> DiscoveryColumns(bool batched);
  // The ifXTable columns walked beside them with batched reads: names, 64-bit counters and
  // speeds in Mbit/s. None in SNMPv1.
  static std::vector<std::string> ExtensionColumns(bool batched);
  // What to read of each interface of the walked index column; what the walks gave is known.
  // Interfaces with 64-bit counters are read through them. A non-numeric index raises
  // EConvertError.
  std::vector<TItemRead> DiscoveryReads(const TWalkTable& table, const TWalkTable& extension = {});
  // Adds the interface of one of those reads and gives its row; an interface without a
  // description is called by its ifName, else "Interface N". A sysUpTime that is no number
  // raises EConvertError.
  TRowSpec Discover(int item, const TItemValues& values);
  // ifName of the interfaces that have no description, where the walks did not give it.
  std::vector<TItemRead> NameReads();
  // The row of a named interface with its new caption, or nothing.
  std::optional<TRowSpec> Name(int read, const TItemValues& values);
  // The rows of the interfaces found, in order, with their present captions.
  std::vector<TRowSpec> Rows() const;
  // sysUpTime and both octet counters of each interface, with batched reads (SNMPv2c and 3)
  // also its ifCounterDiscontinuityTime, and with ReadState its ifAdminStatus and ifOperStatus.
  std::vector<TItemRead> PollReads() const;
  // Rates since the last good readings; a sysUpTime that is no number raises EConvertError.
  TRowUpdate Poll(int item, const TItemValues& values, bool autoHeight);

  // Whether an interface's last reading came too soon after its baseline to give a rate.
  bool Measuring() const;
  // The reads of those interfaces, for one more reading.
  std::vector<TItemRead> FollowUpReads();
  // One of those readings: it stands in the place of the poll that had no rate, on the chart
  // and in the labels, and is logged.
  TRowUpdate FollowUp(int read, const TItemValues& values, bool autoHeight);

 private:
  struct TPending {
    int32_t Index;
    int Bits;
  };
  static TItemRead PollRead(const TInterface& interface, bool state);
  TRowUpdate Reading(TInterface& interface, const TItemValues& values, bool autoHeight,
                     bool inPlace);
  std::vector<TPending> FPending;
  std::vector<int> FUnnamed;   // list positions waiting for their ifName
  std::vector<int> FFollowUp;  // list positions of the follow-up reads
};

class TStorageMonitor {
 public:
  TMonitorSetup Setup;
  TItemList<TStorage> List;

  // The hrStorageTable columns walked at discovery: the index, and with batched reads the
  // description, size, unit and type as well.
  static std::vector<std::string> DiscoveryColumns(bool batched);
  // What to read of each area of the walked index column; what the walk gave is known. A
  // non-numeric index raises EConvertError.
  std::vector<TItemRead> DiscoveryReads(const TWalkTable& table);
  // Adds the area of one of those reads when it is of a kind shown, and gives its row. Values
  // that are no numbers raise EConvertError; an area whose size, unit or type did not come is
  // left out.
  std::optional<TRowSpec> Discover(int item, const TItemValues& values);
  // The rows of the areas kept, in order.
  std::vector<TRowSpec> Rows() const;
  // Each area's use.
  std::vector<TItemRead> PollReads() const;
  TRowUpdate Poll(int item, const TItemValues& values);

 private:
  std::vector<int32_t> FPending;
};

// The indexes of walked rows as numbers; raises EConvertError on one that is not.
std::vector<int32_t> WalkIndexes(const std::vector<TWalkRow>& rows);

// The cells of walked columns: column name, then row index.
using TWalkedCells = std::unordered_map<std::string, std::unordered_map<std::string, TReadValue>>;
TWalkedCells Cells(const std::vector<std::string>& columns, const TWalkTable& table);

// The read of one item: the columns' instances for the index. Where a column was walked its
// cell is known (a missing cell known to have no value); the other columns are asked for.
TItemRead InstanceRead(const std::vector<std::string>& columns, int32_t index,
                       const TWalkedCells& walked);

// An empty chart history of count series and the given value-axis maximum.
TItemHistory NewHistory(int count, double axisMaximum);

// Pushes a value (NaN: a gap) into one series of a history at the poll's time.
void PushHistory(TItemHistory& history, int series, double value, const TMonitorSetup& setup);

// The series of an item's chart in their order, as the log names them: a processor's load (its
// item is its index), an interface's rates in and out, a storage area's use (their item is
// their description).
std::vector<TSeriesName> SeriesNames(TItemKind kind, int32_t index, const QString& description);

// A value as the log has it, as the row's chart shows it: a processor's load held within 0 to
// 100, a storage area's units in Mb, rates as they are.
double ChartValue(const TRowSpec& row, double logged);
