#include "ViewTexts.h"

#include "ActivityLog.h"
#include "Computations.h"

QString MissingText(TMissing missing) {
  switch (missing) {
    case TMissing::None:
      return {};
    case TMissing::NoAnswer:
      return QStringLiteral("no answer");
    case TMissing::NoValue:
      return QStringLiteral("no value");
    case TMissing::Restarted:
      return QStringLiteral("agent restarted");
    case TMissing::NewBaseline:
      return QStringLiteral("new baseline");
    case TMissing::Measuring:
      return QStringLiteral("measuring");
    case TMissing::CountersReset:
      return QStringLiteral("counters reset");
  }
  return {};
}

std::vector<std::pair<QString, QString>> ValueLabels(const TRowUpdate& update,
                                                     const QLocale& locale) {
  const QString index = QString::number(update.Index);
  std::vector<std::pair<QString, QString>> labels;
  switch (update.Kind) {
    case TItemKind::Processor:
      break;
    case TItemKind::Interface: {
      const TPolledValue& percent = update.Percent;
      labels.emplace_back(QStringLiteral("lblInterfaceVal") + index,
                          percent.Value ? FormatNumber(*percent.Value, 2, locale) + "%"
                                        : MissingText(percent.Missing));
      const auto rate = [&](const char* caption, const TPolledValue& value) {
        return QString::fromLatin1(caption).arg(value.Value
                                                    ? FormatNumber(*value.Value, 2, locale) + " K"
                                                    : MissingText(value.Missing));
      };
      labels.emplace_back(QStringLiteral("lblInterfaceIn") + index, rate("In: %1", update.In));
      labels.emplace_back(QStringLiteral("lblInterfaceOut") + index, rate("Out: %1", update.Out));
      break;
    }
    case TItemKind::Storage: {
      const TPolledValue& used = update.UsedMegabytes;
      labels.emplace_back(
          QStringLiteral("lblStorageAvail") + index,
          QStringLiteral("Avail: %1 Mb").arg(FormatNumber(update.TotalMegabytes, 1, locale)));
      labels.emplace_back(
          QStringLiteral("lblStorageUsed") + index,
          used.Value ? QStringLiteral("Used: %1 Mb").arg(FormatNumber(*used.Value, 1, locale))
                     : QStringLiteral("Used: ") + MissingText(used.Missing));
      break;
    }
  }
  return labels;
}

QString LogValueText(const TLogLine& line, const QLocale& locale) {
  if (line.Tag == LogTag::Processor) return QString::number(static_cast<qint64>(line.Value));
  return FormatGeneral(line.Value, locale);
}

QString StatusText(const TPollerStatus& status, const QString& host, const QString& target,
                   const QLocale& locale) {
  const auto clock = [&locale](const QDateTime& moment) {
    return ClockTime(moment.toLocalTime().time(), locale);
  };
  const QString report = status.Report.isEmpty() ? QString() : ": " + status.Report;
  switch (status.State) {
    case TPollerState::Stopped:
      return {};
    case TPollerState::PassphraseNeeded:
      return QStringLiteral("%1: passphrase needed.").arg(host);
    case TPollerState::Connecting:
      return QStringLiteral("Connecting to %1...").arg(host);
    case TPollerState::Answering:
      // A report during a poll (its values are missing) is told, though it is no answer.
      return QStringLiteral("Last poll %1").arg(clock(status.LastPoll)) + report;
    case TPollerState::Silent:
      return QStringLiteral("No answer from %1 since %2").arg(host, clock(status.LastAnswer)) +
             report;
    case TPollerState::Failed:
      break;
  }
  const TConnectOutcome& outcome = status.Outcome;
  switch (outcome.Kind) {
    case TConnectOutcome::HostNotFound:
      return QStringLiteral("%1: host not found.").arg(host);
    case TConnectOutcome::Report:
      return QStringLiteral("%1: %2").arg(target, outcome.Text);
    case TConnectOutcome::NoAnswer:
      // An agent that told its engine but does not answer the request itself drops what it
      // cannot decrypt.
      if (outcome.PrivacySuspected)
        return QStringLiteral("No answer from %1 (wrong privacy passphrase?).").arg(target);
      return QStringLiteral("No answer from %1.").arg(target);
    case TConnectOutcome::FellSilent:
      return QStringLiteral("No answer from %1.").arg(target);
    case TConnectOutcome::ErrorStatus:
      return QStringLiteral("%1 answered with error status %2.").arg(target, outcome.Text);
    default:
      return {};
  }
}
