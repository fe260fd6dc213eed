#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// The arithmetic of the polls, apart from any widget.

// Difference of two readings of a 32-bit counter that wraps once at 2^32.
uint32_t CounterDifference(uint32_t now, uint32_t last);
// The same for a counter `bits` (32 or 64) wide.
uint64_t CounterDifference(uint64_t now, uint64_t last, int bits);

// Hundredths of a second between two sysUpTime readings, the up-time wrapping at 2^32.
uint32_t ElapsedHundredths(uint32_t nowTicks, uint32_t lastTicks);

// Kilobits (of 1024 bits) per second for an octet count over hundredths of a second.
double RateKbits(uint64_t octets, uint32_t hundredths);

// Utilisation in percent: an octet count in bits over the speed and hundredths of a second.
double UtilisationPercent(uint64_t octets, uint64_t speedBits, uint32_t hundredths);

// The shortest time a rate is taken over, in hundredths of a second: over less, the up-time's
// resolution and the time between the reads of one poll weigh too much.
inline constexpr uint32_t MinimumRateHundredths = 100;

// The last good reading of an octet counter and the sysUpTime it came with.
struct TCounterReading {
  bool Valid = false;
  uint64_t Octets = 0;
  uint32_t UpTime = 0;
};

// What a new reading of a counter gives against the last good one.
struct TRateStep {
  enum TKind {
    Rate,
    NoBaseline,  // the first reading
    Restarted,   // the up-time went back: the agent restarted
    TooShort,    // too soon after the baseline to give a rate; the baseline stays
    Reset        // the counter was reset or announced a discontinuity
  };
  TKind Kind = NoBaseline;
  uint64_t Octets = 0;   // the difference, for a rate
  uint32_t Elapsed = 0;  // hundredths of a second, for a rate
};

// What a reading is checked against.
struct TCounterLimits {
  int Bits = 32;               // width of the counter: 32 or 64
  uint64_t SpeedBits = 0;      // the interface's speed; 0 when not known
  bool Discontinuity = false;  // the agent announced a discontinuity since the baseline
};

// Takes a new reading of a counter made at upTime. It becomes the baseline, except when it
// came too soon after the old one. A difference beyond what the speed allows, a 64-bit
// counter going back, or an announced discontinuity is a reset, not a rate.
TRateStep NextReading(TCounterReading& last, uint64_t octets, uint32_t upTime,
                      const TCounterLimits& limits = {});

// Rounds half to even to one decimal place, and to a whole number.
double RoundToTenth(double value);
int RoundToInt(double value);

// Megabytes (of 1024 x 1024 bytes) of a count of allocation units, to one decimal place.
double UnitsToMegabytes(int32_t allocationUnits, int64_t units);

// Percentage of used in total, rounded; 0 when the total is 0.
int UsedPercent(double usedMegabytes, double totalMegabytes);

// "%<w>.<d>n": a number with the locale's group and decimal separators and d decimals.
QString FormatNumber(double value, int decimals, const QLocale& locale);

// The shortest general form with up to 15 significant digits, the locale's decimal
// separator and no group separators (the log's number form).
QString FormatGeneral(double value, const QLocale& locale);

// An agent's up-time (hundredths of a second) as "up 12 d 03:04": days, hours and minutes.
QString UpTimeText(uint32_t ticks);

// The first line of an agent's text with its runs of white space made one blank, shortened to
// `limit` characters with an ellipsis.
QString FirstLine(const QString& text, int limit);

// What the status bar shows of a host: its name, the first line of its description and its
// up-time, each left out where it did not come; the texts shortened.
QString IdentityText(const QString& name, const QString& descr, std::optional<uint32_t> upTime);

// Splits "host", "host:port", an IPv6 address ("fe80::1%eth0") or one in brackets with or
// without a port ("[::1]:1161"); without a port (or with one that is not a port number) the
// whole text is the host and the port is the default.
void SplitHostPort(const QString& text, QString& host, int& port, int defaultPort = 161);
