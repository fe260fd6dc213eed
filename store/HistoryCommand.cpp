#include "HistoryCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cmath>
#include <optional>

#include "ActivityLog.h"
#include "Computations.h"

namespace {

const char* const kUsage =
    "Usage: corvane --history HOST [--since YYYY-MM-DDTHH:MM] [--until YYYY-MM-DDTHH:MM]\n";

// The value as the log writes it: processor loads are whole numbers in plain digits.
QString ValueText(const THistoryRow& row, const QLocale& locale) {
  if (row.Tag == LogTag::Processor && row.Value == std::trunc(row.Value) &&
      std::abs(row.Value) < 1e15)
    return QString::number(static_cast<qint64>(row.Value));
  return FormatGeneral(row.Value, locale);
}

void Say(QIODevice& err, const QString& text) {
  err.write((text + QLatin1Char('\n')).toLocal8Bit());
}

int Usage(QIODevice& err, const QString& problem) {
  Say(err, QStringLiteral("corvane: %1").arg(problem));
  err.write(kUsage);
  return 2;
}

// A local date and time; nothing when the text is not one.
std::optional<int64_t> LocalMinute(const QString& text) {
  const QDateTime moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd'T'HH:mm"));
  if (!moment.isValid()) return std::nullopt;
  return moment.toSecsSinceEpoch();
}

}  // namespace

QByteArray HistoryCsvLine(const THistoryRow& row, const QLocale& locale) {
  const QDateTime moment = QDateTime::fromSecsSinceEpoch(row.Time).toLocalTime();
  return (LogRow(moment, locale, row.Tag, row.Item, ValueText(row, locale)) +
          QStringLiteral("\r\n"))
      .toLocal8Bit();
}

bool IsHistoryCommand(const QStringList& arguments) {
  for (const QString& argument : arguments)
    if (argument == QLatin1String("--history") || argument.startsWith(QLatin1String("--history=")))
      return true;
  return false;
}

int RunHistoryCommand(const QStringList& arguments, const QString& storePath, QIODevice& out,
                      QIODevice& err) {
  QCommandLineParser parser;
  const QCommandLineOption history(QStringLiteral("history"), {}, QStringLiteral("HOST"));
  const QCommandLineOption since(QStringLiteral("since"), {}, QStringLiteral("TIME"));
  const QCommandLineOption until(QStringLiteral("until"), {}, QStringLiteral("TIME"));
  parser.addOptions({history, since, until});
  if (!parser.parse(arguments)) return Usage(err, parser.errorText());
  if (!parser.positionalArguments().isEmpty())
    return Usage(err,
                 QStringLiteral("unexpected argument %1").arg(parser.positionalArguments()[0]));
  const QString host = parser.value(history);
  if (host.isEmpty()) return Usage(err, QStringLiteral("--history needs a host"));
  std::optional<int64_t> range[2];
  for (const auto& [index, option] : {std::pair{0, &since}, std::pair{1, &until}}) {
    if (!parser.isSet(*option)) continue;
    range[index] = LocalMinute(parser.value(*option));
    if (!range[index])
      return Usage(err, QStringLiteral("--%1 %2 is not a time of the form YYYY-MM-DDTHH:MM")
                            .arg(option->names().constFirst(), parser.value(*option)));
  }

  const auto none = [&](const char* when) {
    Say(err, QStringLiteral("No history for %1%2.").arg(host, QLatin1String(when)));
    return 1;
  };
  if (!QFileInfo::exists(storePath)) return none("");
  try {
    THistoryStore store;
    store.Open(storePath, THistoryStore::TMode::Read);
    if (!store.HasHost(host)) return none("");
    const QLocale locale = QLocale::system();
    QByteArray chunk;
    bool any = false;
    store.Rows(host, range[0], range[1], [&](const THistoryRow& row) {
      any = true;
      chunk += HistoryCsvLine(row, locale);
      if (chunk.size() >= 64 * 1024) {
        out.write(chunk);
        chunk.clear();
      }
    });
    out.write(chunk);
    if (!any) return none(" in that time");
  } catch (const std::exception& e) {
    Say(err, QStringLiteral("Cannot read the history in %1: %2")
                 .arg(storePath, QString::fromUtf8(e.what())));
    return 1;
  }
  return 0;
}
