#include "AlertRules.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

std::optional<double> Known(std::optional<double> value) {
  return value && !std::isnan(*value) ? value : std::nullopt;
}

// Whether the higher of the values reaches the threshold: yes as soon as one known value does,
// no only when every value is known and below it.
std::optional<bool> AtOrAbove(std::initializer_list<std::optional<double>> values, int threshold) {
  bool allKnown = true;
  for (const std::optional<double>& value : values) {
    if (!value) {
      allKnown = false;
    } else if (*value >= threshold) {
      return true;
    }
  }
  return allKnown ? std::optional<bool>(false) : std::nullopt;
}

std::optional<double> Higher(std::optional<double> a, std::optional<double> b) {
  if (a && b) return std::max(*a, *b);
  return a ? a : b;
}

// ifAdminStatus up(1) and ifOperStatus down(2). An interface the administrator has taken down,
// or one that reads anything but down, does not hold, whatever the other value.
std::optional<bool> IsDown(std::optional<int> admin, std::optional<int> oper) {
  if ((admin && *admin != 1) || (oper && *oper != 2)) return false;
  if (admin && oper) return true;
  return std::nullopt;
}

// Agents' names on one line, so a line break cannot make a notification say more than it is.
QString OneLine(const QString& text) {
  QString line = text;
  for (QChar& c : line)
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator)
      c = QLatin1Char(' ');
  return line;
}

QString Subject(const TAlert& alert, const QString& host) {
  switch (alert.Kind) {
    case TAlertKind::ProcessorLoad:
      return QStringLiteral("Processor ") + OneLine(alert.Name);
    case TAlertKind::InterfaceUse:
    case TAlertKind::InterfaceDown:
      return QStringLiteral("Interface ") + OneLine(alert.Name);
    case TAlertKind::StorageUse:
      return QStringLiteral("Storage ") + OneLine(alert.Name);
    case TAlertKind::NoAnswer:
      break;
  }
  return OneLine(host);
}

QString PercentText(double value, const QLocale& locale) {
  return locale.toString(static_cast<qlonglong>(std::nearbyint(value))) + QStringLiteral(" %");
}

// The local clock time (pollers keep UTC), with the date in front when it is not the day the
// alert fired.
QString SinceText(const TAlert& alert, const QLocale& locale) {
  const QDateTime since = alert.Since.toLocalTime();
  if (since.date() == alert.Fired.toLocalTime().date())
    return locale.toString(since.time(), QLocale::ShortFormat);
  return locale.toString(since, QLocale::ShortFormat);
}

// "SUBJECT at 95 %"; the engine always knows the value of a load or use alert that fires.
QString AtText(const TAlert& alert, const QString& subject, const QLocale& locale) {
  if (!alert.Percent) return subject + QStringLiteral(" is over its limit");
  return subject + QStringLiteral(" at ") + PercentText(*alert.Percent, locale);
}

QString FiredText(const TAlert& alert, const QString& subject, const QLocale& locale) {
  switch (alert.Kind) {
    case TAlertKind::ProcessorLoad:
    case TAlertKind::InterfaceUse: {
      QString text = AtText(alert, subject, locale);
      if (alert.Polls > 1)
        text += QStringLiteral(" for %1 polls").arg(locale.toString(alert.Polls));
      return text;
    }
    case TAlertKind::StorageUse:
      return AtText(alert, subject, locale);
    case TAlertKind::InterfaceDown:
      return subject + QStringLiteral(" is down");
    case TAlertKind::NoAnswer:
      break;
  }
  return QStringLiteral("No answer from %1 since %2").arg(subject, SinceText(alert, locale));
}

QString ClearedText(const TAlert& alert, const QString& subject) {
  switch (alert.Kind) {
    case TAlertKind::InterfaceDown:
      return subject + QStringLiteral(" is up again");
    case TAlertKind::NoAnswer:
      return subject + QStringLiteral(" answers again");
    default:
      return subject + QStringLiteral(" is back to normal");
  }
}

}  // namespace

TAlertEngine::TAlertEngine(TAlertRules rules) : FRules(std::move(rules)) {}

std::vector<TAlertChange> TAlertEngine::SetRules(const TAlertRules& rules) {
  FRules = rules;
  std::vector<TAlertChange> changes;
  for (auto it = FStates.begin(); it != FStates.end();) {
    const TAlertKind kind = std::get<0>(it->first);
    if (RuleOn(kind)) {
      ++it;
      continue;
    }
    if (it->second.Alert) changes.push_back({TAlertChangeKind::Off, *it->second.Alert});
    it = FStates.erase(it);
  }
  return changes;
}

std::optional<int> TAlertEngine::Threshold(TAlertKind kind) const {
  switch (kind) {
    case TAlertKind::ProcessorLoad:
      return FRules.Processor;
    case TAlertKind::InterfaceUse:
      return FRules.Interface;
    case TAlertKind::StorageUse:
      return FRules.Storage;
    default:
      return std::nullopt;
  }
}

bool TAlertEngine::RuleOn(TAlertKind kind) const {
  switch (kind) {
    case TAlertKind::InterfaceDown:
      return FRules.Down;
    case TAlertKind::NoAnswer:
      return FRules.NoAnswer;
    default:
      return Threshold(kind).has_value();
  }
}

void TAlertEngine::Apply(const TKey& key, std::optional<bool> holds, std::optional<double> percent,
                         const QDateTime& time, std::vector<TAlertChange>& changes) {
  if (!holds) return;
  const auto found = FStates.find(key);
  if (!*holds) {
    if (found == FStates.end()) return;
    if (found->second.Alert) changes.push_back({TAlertChangeKind::Cleared, *found->second.Alert});
    FStates.erase(found);
    return;
  }
  TState& state = FStates[key];
  ++state.Run;
  if (state.Alert || state.Run < std::max(1, FRules.Polls)) return;
  TAlert alert;
  std::tie(alert.Kind, alert.Index, alert.Name) = key;
  alert.Percent = percent;
  alert.Polls = state.Run;
  alert.Fired = time;
  if (alert.Kind == TAlertKind::NoAnswer)
    alert.Since = FLastAnswer.isValid() ? FLastAnswer : FFirstUnanswered;
  state.Alert = alert;
  changes.push_back({TAlertChangeKind::Fired, alert});
}

std::vector<TAlertChange> TAlertEngine::Poll(const TPollReadings& readings) {
  std::vector<TAlertChange> changes;
  const QDateTime& time = readings.Time;
  if (!readings.Answered && !FFirstUnanswered.isValid()) FFirstUnanswered = time;
  if (FRules.NoAnswer)
    Apply({TAlertKind::NoAnswer, 0, QString()}, !readings.Answered, std::nullopt, time, changes);
  // A host that does not answer says nothing about its items.
  if (!readings.Answered) return changes;
  FLastAnswer = time;
  FFirstUnanswered = QDateTime();

  std::set<TKey> seen;
  auto apply = [&](TAlertKind kind, const TItemReading& item, std::optional<bool> holds,
                   std::optional<double> percent) {
    if (!RuleOn(kind)) return;
    const TKey key{kind, item.Index, item.Name};
    seen.insert(key);
    Apply(key, holds, percent, time, changes);
  };
  for (const TItemReading& item : readings.Items) {
    const std::optional<double> in = Known(item.Percent);
    switch (item.Kind) {
      case TAlertItemKind::Processor:
        if (const auto threshold = FRules.Processor)
          apply(TAlertKind::ProcessorLoad, item, AtOrAbove({in}, *threshold), in);
        break;
      case TAlertItemKind::Storage:
        if (const auto threshold = FRules.Storage)
          apply(TAlertKind::StorageUse, item, AtOrAbove({in}, *threshold), in);
        break;
      case TAlertItemKind::Interface: {
        const std::optional<double> out = Known(item.OutPercent);
        if (const auto threshold = FRules.Interface)
          apply(TAlertKind::InterfaceUse, item, AtOrAbove({in, out}, *threshold), Higher(in, out));
        apply(TAlertKind::InterfaceDown, item, IsDown(item.AdminStatus, item.OperStatus),
              std::nullopt);
        break;
      }
    }
  }

  for (auto it = FStates.begin(); it != FStates.end();) {
    if (std::get<0>(it->first) == TAlertKind::NoAnswer || seen.contains(it->first)) {
      ++it;
      continue;
    }
    if (it->second.Alert) changes.push_back({TAlertChangeKind::Gone, *it->second.Alert});
    it = FStates.erase(it);
  }
  return changes;
}

std::vector<TAlert> TAlertEngine::Standing() const {
  std::vector<TAlert> standing;
  for (const auto& [key, state] : FStates)
    if (state.Alert) standing.push_back(*state.Alert);
  return standing;
}

QString AlertSummary(const QString& host) {
  return QStringLiteral("Corvane: ") + OneLine(host);
}

QString AlertText(const TAlertChange& change, const QString& host, const QLocale& locale) {
  const QString subject = Subject(change.Alert, host);
  switch (change.Change) {
    case TAlertChangeKind::Fired:
      return FiredText(change.Alert, subject, locale);
    case TAlertChangeKind::Cleared:
      return ClearedText(change.Alert, subject);
    case TAlertChangeKind::Gone:
      return subject + QStringLiteral(" is gone");
    case TAlertChangeKind::Off:
      break;
  }
  return subject + QStringLiteral(": alert switched off");
}

QString AlertKindLabel(TAlertKind kind) {
  switch (kind) {
    case TAlertKind::ProcessorLoad:
      return QStringLiteral("processor");
    case TAlertKind::InterfaceUse:
      return QStringLiteral("interface");
    case TAlertKind::InterfaceDown:
      return QStringLiteral("interface_down");
    case TAlertKind::StorageUse:
      return QStringLiteral("storage");
    case TAlertKind::NoAnswer:
      break;
  }
  return QStringLiteral("no_answer");
}

std::optional<TAlertKind> AlertKindOfLabel(const QString& label) {
  for (const TAlertKind kind :
       {TAlertKind::ProcessorLoad, TAlertKind::InterfaceUse, TAlertKind::InterfaceDown,
        TAlertKind::StorageUse, TAlertKind::NoAnswer})
    if (AlertKindLabel(kind) == label) return kind;
  return std::nullopt;
}
