#include "Computations.h"

#include <QStringList>
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

uint32_t ElapsedHundredths(uint32_t nowTicks, uint32_t lastTicks) {
  return CounterDifference(nowTicks, lastTicks);
}

namespace {
// Whole hundredths give whole seconds exactly, so such rates are what they always were.
double Seconds(uint32_t hundredths) {
  return static_cast<double>(hundredths) / 100.0;
}
}  // namespace

double RateKbits(uint64_t octets, uint32_t hundredths) {
  // In floating point: octets x 8 can exceed even 64 bits on a 64-bit counter.
  return static_cast<double>(octets) * 8.0 / Seconds(hundredths) / 1024.0;
}

double UtilisationPercent(uint64_t octets, uint64_t speedBits, uint32_t hundredths) {
  return static_cast<double>(octets) * 8.0 / static_cast<double>(speedBits) / Seconds(hundredths) *
         100.0;
}

TRateStep NextReading(TCounterReading& last, uint64_t octets, uint32_t upTime,
                      const TCounterLimits& limits) {
  TRateStep step;
  const TCounterReading reading{true, octets, upTime};
  if (!last.Valid || upTime < last.UpTime || limits.Discontinuity) {
    step.Kind = !last.Valid            ? TRateStep::NoBaseline
                : upTime < last.UpTime ? TRateStep::Restarted
                                       : TRateStep::Reset;
    last = reading;
    return step;
  }
  const uint32_t elapsed = ElapsedHundredths(upTime, last.UpTime);
  if (elapsed < MinimumRateHundredths) {
    step.Kind = TRateStep::TooShort;
    return step;
  }
  const uint64_t difference = CounterDifference(octets, last.Octets, limits.Bits);
  // The readings of one poll are not taken at the same instant as its up-time: a tenth more
  // and a second of line rate are allowed for that.
  const double allowed =
      static_cast<double>(limits.SpeedBits) / 8.0 * (Seconds(elapsed) * 1.1 + 1.0);
  // A 64-bit octet counter takes decades to wrap even at 100 Gbit/s.
  const bool wentBack = limits.Bits >= 64 && octets < last.Octets;
  const bool tooMuch = limits.SpeedBits > 0 && static_cast<double>(difference) > allowed;
  last = reading;
  if (wentBack || tooMuch) {
    step.Kind = TRateStep::Reset;
    return step;
  }
  step.Kind = TRateStep::Rate;
  step.Octets = difference;
  step.Elapsed = elapsed;
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

QString UpTimeText(uint32_t ticks) {
  const uint32_t minutes = ticks / 100 / 60;
  return QStringLiteral("up %1 d %2:%3")
      .arg(minutes / (24 * 60))
      .arg(minutes / 60 % 24, 2, 10, QLatin1Char('0'))
      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString FirstLine(const QString& text, int limit) {
  const auto end = std::find_if(text.begin(), text.end(), [](QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
  });
  QString line = QStringView(text.begin(), end).toString().simplified();
  if (line.size() > limit) line = line.left(limit - 1).trimmed() + QChar(0x2026);
  return line;
}

QString IdentityText(const QString& name, const QString& descr, std::optional<uint32_t> upTime) {
  QStringList parts = {FirstLine(name, 40), FirstLine(descr, 60)};
  if (upTime) parts << UpTimeText(*upTime);
  parts.removeAll(QString());
  return parts.join(QStringLiteral(" | "));
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
