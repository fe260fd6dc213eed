#pragma once

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QString>

// Kind tags of the log rows.
namespace LogTag {
inline const QString Processor = QStringLiteral("Processor");
inline const QString InterfaceIn = QStringLiteral("InterFaceIn");
inline const QString InterfaceOut = QStringLiteral("InterFaceOut");
inline const QString Storage = QStringLiteral("Storage");
}  // namespace LogTag

// A clock time in the locale's long time format, without the time zone.
QString ClockTime(const QTime& time, const QLocale& locale);

// The timestamp of a row: the locale's short date, "-", and its long time (without zone).
QString LogTimestamp(const QDateTime& moment, const QLocale& locale);

// One CSV field: quoted, with inner quotes doubled, only when it holds a comma, a quote or
// a line break; otherwise as it is.
QString CsvField(const QString& text);

// An item as a spreadsheet takes it for text: one that would start a formula (=, +, -, @, tab
// or carriage return first) gets a leading apostrophe; others stay as they are.
QString FormulaSafeItem(const QString& item);

// One row without its line end: timestamp, tag, item (formula-safe) and value, comma-separated.
QString LogRow(const QDateTime& moment, const QLocale& locale, const QString& tag,
               const QString& item, const QString& value);

// The activity log file of one connection.
class TActivityLog {
 public:
  // Creates the file, or truncates it, or with append keeps its rows and writes after them;
  // raises std::runtime_error with the reason on failure.
  void Open(const QString& path, bool append = false);
  // Appends one row stamped with moment (local time); failures are dropped.
  void WriteRow(const QDateTime& moment, const QString& tag, const QString& item,
                const QString& value) noexcept;
  // Closes the file if it is open; never fails.
  void Close() noexcept;
  bool IsOpen() const { return FFile.isOpen(); }

 private:
  QFile FFile;
};
