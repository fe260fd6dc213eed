#pragma once

#include <optional>
#include <vector>

#include "Items.h"
#include "MonitorTypes.h"

// The three monitors: plain classes that turn what was read into rows and updates. They own the
// item records; the window only shows what they give back.

// What every chart of one connection shares.
struct TMonitorSetup {
  int Interval = 1;      // minutes between polls
  int GraphLength = 15;  // minutes a chart shows
};

class TProcessorMonitor {
 public:
  TMonitorSetup Setup;
  TItemList<TProcessor> List;

  // One row per walked processor, in walk order; a non-numeric index raises EConvertError.
  std::vector<TRowSpec> Discover(const std::vector<TWalkRow>& rows);
  // Each processor's load.
  std::vector<TItemRead> PollReads() const;
  TRowUpdate Poll(int item, const TItemValues& values);
};

class TInterfaceMonitor {
 public:
  TMonitorSetup Setup;
  TItemList<TInterface> List;

  // What to read of each walked interface; a non-numeric index raises EConvertError.
  std::vector<TItemRead> DiscoveryReads(const std::vector<TWalkRow>& rows);
  // Adds the interface of one of those reads and gives its row. A sysUpTime that is no number
  // raises EConvertError.
  TRowSpec Discover(int item, const TItemValues& values);
  // sysUpTime and both octet counters of each interface.
  std::vector<TItemRead> PollReads() const;
  // Rates since the last good readings; a sysUpTime that is no number raises EConvertError.
  TRowUpdate Poll(int item, const TItemValues& values, bool autoHeight);

 private:
  std::vector<int32_t> FPending;
};

class TStorageMonitor {
 public:
  TMonitorSetup Setup;
  TItemList<TStorage> List;

  // What to read of each walked area; a non-numeric index raises EConvertError.
  std::vector<TItemRead> DiscoveryReads(const std::vector<TWalkRow>& rows);
  // Adds the area of one of those reads when it is of a kind shown, and gives its row. Values
  // that are no numbers raise EConvertError; an area whose size, unit or type did not come is
  // left out.
  std::optional<TRowSpec> Discover(int item, const TItemValues& values);
  // Each area's use.
  std::vector<TItemRead> PollReads() const;
  TRowUpdate Poll(int item, const TItemValues& values);

 private:
  std::vector<int32_t> FPending;
};

// The indexes of walked rows as numbers; raises EConvertError on one that is not.
std::vector<int32_t> WalkIndexes(const std::vector<TWalkRow>& rows);

// An empty chart history with one series per colour and the given value-axis maximum.
TItemHistory NewHistory(std::initializer_list<QColor> colors, double axisMaximum);

// Pushes a value (NaN: a gap) into one series of a history, as the chart's push rule says.
void PushHistory(TItemHistory& history, int series, double value, const TMonitorSetup& setup);
