#include "Computations.h"

#include <algorithm>
#include <cmath>

uint32_t CounterDifference(uint32_t now, uint32_t last) {
  // Unsigned arithmetic is modulo 2^32, which is exactly one wrap.
  return now - last;
}

uint64_t CounterDifference(uint64_t now, uint64_t last, int bits) {
  const uint64_t difference = now - last;
  return bits >= 64 ? difference : difference & 0xFFFFFFFFu;
}

int64_t ElapsedSeconds(uint32_t nowTicks, uint32_t lastTicks) {
  const uint32_t hundredths = CounterDifference(nowTicks, lastTicks);
  return static_cast<int64_t>(std::nearbyint(hundredths * 0.01));
}

double RateKbits(uint64_t octets, int64_t elapsedSeconds) {
  // In floating point: octets x 8 can exceed even 64 bits on a 64-bit counter.
  return static_cast<double>(octets) * 8.0 / static_cast<double>(elapsedSeconds) / 1024.0;
}

double UtilisationPercent(uint64_t octets, uint64_t speedBits, int64_t elapsedSeconds) {
  return static_cast<double>(octets) * 8.0 / static_cast<double>(speedBits) /
         static_cast<double>(elapsedSeconds) * 100.0;
}

TRateStep NextReading(TCounterReading& last, uint64_t octets, uint32_t upTime, int bits) {
  TRateStep step;
  if (last.Valid && upTime < last.UpTime) {
    step.Kind = TRateStep::Restarted;
  } else if (last.Valid) {
    step.Kind = TRateStep::Rate;
    step.Octets = CounterDifference(octets, last.Octets, bits);
    step.Elapsed = std::max<int64_t>(ElapsedSeconds(upTime, last.UpTime), 1);
  }
  last = {true, octets, upTime};
  return step;
}

double RoundToTenth(double value) {
  return std::nearbyint(value * 10.0) / 10.0;
}

int RoundToInt(double value) {
  const double rounded = std::nearbyint(value);
  if (rounded >= 2147483647.0) return 2147483647;
  if (rounded <= -2147483648.0) return -2147483647 - 1;
  if (std::isnan(rounded)) return 0;
  return static_cast<int>(rounded);
}

double UnitsToMegabytes(int32_t allocationUnits, int64_t units) {
  const double bytes = static_cast<double>(allocationUnits) * static_cast<double>(units);
  return RoundToTenth(bytes / 1024.0 / 1024.0);
}

int UsedPercent(double usedMegabytes, double totalMegabytes) {
  if (totalMegabytes == 0) return 0;
  return RoundToInt(usedMegabytes / totalMegabytes * 100.0);
}

QString FormatNumber(double value, int decimals, const QLocale& locale) {
  QLocale grouped = locale;
  grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return grouped.toString(value, 'f', decimals);
}

QString FormatGeneral(double value, const QLocale& locale) {
  QLocale plain = locale;
  plain.setNumberOptions(QLocale::OmitGroupSeparator);
  return plain.toString(value, 'g', 15);
}

void SplitHostPort(const QString& text, QString& host, int& port, int defaultPort) {
  host = text;
  port = defaultPort;
  const auto portOf = [](const QString& digits) {
    bool ok = false;
    const int value = digits.toInt(&ok);
    return ok && !digits.isEmpty() && digits.front().isDigit() && value >= 1 && value <= 65535
               ? value
               : 0;
  };
  // An IPv6 address in brackets, with or without a port after them.
  if (text.startsWith(QLatin1Char('['))) {
    const int close = text.indexOf(QLatin1Char(']'));
    if (close < 0) return;
    if (close == text.size() - 1) {
      host = text.mid(1, close - 1);
    } else if (text.at(close + 1) == QLatin1Char(':')) {
      if (const int value = portOf(text.mid(close + 2))) {
        host = text.mid(1, close - 1);
        port = value;
      }
    }
    return;
  }
  // More than one colon is a bare IPv6 address, which takes no port.
  const int colon = text.lastIndexOf(QLatin1Char(':'));
  if (colon <= 0 || text.indexOf(QLatin1Char(':')) != colon) return;
  if (const int value = portOf(text.mid(colon + 1))) {
    host = text.left(colon);
    port = value;
  }
}
