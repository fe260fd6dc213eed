#include "ActivityLog.h"

#include <QRegularExpression>
#include <stdexcept>

QString ClockTime(const QTime& time, const QLocale& locale) {
  // Qt's long time format names the time zone; only the clock time is wanted.
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
  timeFormat.remove(zone);
  return locale.toString(time, timeFormat.trimmed());
}

QString LogTimestamp(const QDateTime& moment, const QLocale& locale) {
  return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char('-') +
         ClockTime(moment.time(), locale);
}

QString CsvField(const QString& text) {
  const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                           text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
  if (!needsQuotes) return text;
  QString quoted = text;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString FormulaSafeItem(const QString& item) {
  static const QString starters = QStringLiteral("=+-@\t\r");
  if (item.isEmpty() || !starters.contains(item.front())) return item;
  return QLatin1Char('\'') + item;
}

QString LogRow(const QDateTime& moment, const QLocale& locale, const QString& tag,
               const QString& item, const QString& value) {
  return CsvField(LogTimestamp(moment, locale)) + QLatin1Char(',') + CsvField(tag) +
         QLatin1Char(',') + CsvField(FormulaSafeItem(item)) + QLatin1Char(',') + CsvField(value);
}

void TActivityLog::Open(const QString& path, bool append) {
  Close();
  FFile.setFileName(path);
  if (!FFile.open(QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate))) {
    throw std::runtime_error(QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(path, FFile.errorString())
                                 .toStdString());
  }
}

void TActivityLog::WriteRow(const QDateTime& moment, const QString& tag, const QString& item,
                            const QString& value) noexcept {
  if (!FFile.isOpen()) return;
  const QString row = LogRow(moment, QLocale::system(), tag, item, value);
  // Each row goes to the disk at once, so the file can be followed while it grows.
  FFile.write((row + QStringLiteral("\r\n")).toLocal8Bit());
  FFile.flush();
}

void TActivityLog::Close() noexcept {
  if (FFile.isOpen()) FFile.close();
}
