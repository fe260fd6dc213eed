#include "HostsModel.h"

#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <map>

#include "ActivityLog.h"
#include "ViewTexts.h"

namespace {

void Raise(std::optional<int>& worst, std::optional<int> value) {
  if (value && (!worst || *value > *worst)) worst = value;
}

// Failed hosts first, those that answer last.
int Severity(TPollerState state) {
  switch (state) {
    case TPollerState::Failed:
      return 0;
    case TPollerState::PassphraseNeeded:
      return 1;
    case TPollerState::Silent:
      return 2;
    case TPollerState::Connecting:
      return 3;
    case TPollerState::Stopped:
      return 4;
    case TPollerState::Answering:
      return 5;
  }
  return 4;
}

QIcon DrawMark(TPollerState state) {
  struct TLook {
    QColor Fill;
    enum { Disc, Ring, Bar, Cross, Dot } Sign;
  };
  const std::map<TPollerState, TLook> looks = {
      {TPollerState::Answering, {QColor(0x2e, 0x9d, 0x3a), TLook::Disc}},
      {TPollerState::Silent, {QColor(0xe0, 0x8a, 0x00), TLook::Bar}},
      {TPollerState::Connecting, {QColor(0x80, 0x80, 0x80), TLook::Ring}},
      {TPollerState::PassphraseNeeded, {QColor(0x2f, 0x6f, 0xdb), TLook::Dot}},
      {TPollerState::Failed, {QColor(0xd0, 0x2c, 0x2c), TLook::Cross}},
      {TPollerState::Stopped, {QColor(0xb0, 0xb0, 0xb0), TLook::Ring}}};
  const TLook look = looks.at(state);
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF disc(1.5, 1.5, 11, 11);
  if (look.Sign == TLook::Ring) {
    painter.setPen(QPen(look.Fill, 2));
    painter.drawEllipse(disc);
    return QIcon(pixmap);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(look.Fill);
  painter.drawEllipse(disc);
  painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::white);
  switch (look.Sign) {
    case TLook::Bar:
      painter.drawLine(QPointF(4.5, 7), QPointF(9.5, 7));
      break;
    case TLook::Cross:
      painter.drawLine(QPointF(5, 5), QPointF(9, 9));
      painter.drawLine(QPointF(9, 5), QPointF(5, 9));
      break;
    case TLook::Dot:
      painter.drawEllipse(QPointF(7, 7), 1.5, 1.5);
      break;
    default:
      break;
  }
  return QIcon(pixmap);
}

}  // namespace

TWorstValues WorstValues(const std::vector<TItemView>& items) {
  TWorstValues worst;
  for (const TItemView& item : items) {
    if (!item.Last) continue;
    switch (item.Row.Kind) {
      case TItemKind::Processor:
        Raise(worst.Processor, item.Last->Gauge);
        break;
      case TItemKind::Interface:
        Raise(worst.Interface, item.Last->Gauge);
        break;
      case TItemKind::Storage:
        Raise(worst.Storage, item.Last->Gauge);
        break;
    }
  }
  return worst;
}

QString StateText(TPollerState state) {
  switch (state) {
    case TPollerState::Stopped:
      return QStringLiteral("stopped");
    case TPollerState::PassphraseNeeded:
      return QStringLiteral("passphrase needed");
    case TPollerState::Connecting:
      return QStringLiteral("connecting");
    case TPollerState::Answering:
      return QStringLiteral("answering");
    case TPollerState::Silent:
      return QStringLiteral("no answer");
    case TPollerState::Failed:
      return QStringLiteral("failed");
  }
  return {};
}

QIcon StateMark(TPollerState state) {
  static std::map<TPollerState, QIcon> marks;
  auto found = marks.find(state);
  if (found == marks.end()) found = marks.emplace(state, DrawMark(state)).first;
  return found->second;
}

THostsModel::THostsModel(QObject* parent) : QAbstractTableModel(parent) {}

void THostsModel::Add(TPoller* poller) {
  if (RowOf(poller) >= 0) return;
  const int row = static_cast<int>(FRows.size());
  beginInsertRows({}, row, row);
  FRows.push_back(
      {poller, WorstValues(poller->Items()), 0,
       connect(poller, &TPoller::StatusChanged, this, [this, poller] { Refresh(poller); })});
  endInsertRows();
}

void THostsModel::Remove(TPoller* poller) {
  const int row = RowOf(poller);
  if (row < 0) return;
  beginRemoveRows({}, row, row);
  disconnect(FRows[static_cast<size_t>(row)].Link);
  FRows.erase(FRows.begin() + row);
  endRemoveRows();
}

TPoller* THostsModel::Poller(int row) const {
  return row >= 0 && row < rowCount() ? FRows[static_cast<size_t>(row)].Poller : nullptr;
}

void THostsModel::SetAlertCount(const TPoller* poller, int count) {
  const int row = RowOf(poller);
  if (row < 0 || FRows[static_cast<size_t>(row)].Alerts == count) return;
  FRows[static_cast<size_t>(row)].Alerts = count;
  emit dataChanged(index(row, ColAlerts), index(row, ColAlerts));
}

int THostsModel::RowOf(const TPoller* poller) const {
  const auto found = std::find_if(FRows.begin(), FRows.end(),
                                  [poller](const TRow& row) { return row.Poller == poller; });
  return found == FRows.end() ? -1 : static_cast<int>(found - FRows.begin());
}

void THostsModel::Refresh(TPoller* poller) {
  const int row = RowOf(poller);
  if (row < 0) return;
  FRows[static_cast<size_t>(row)].Worst = WorstValues(poller->Items());
  emit dataChanged(index(row, 0), index(row, ColCount - 1));
}

int THostsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int THostsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColCount;
}

QVariant THostsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TRow& row = FRows[static_cast<size_t>(index.row())];
  const TPoller& poller = *row.Poller;
  const TPollerStatus& status = poller.Status();
  const QLocale locale = QLocale::system();
  const auto percent = [&](std::optional<int> value) -> QVariant {
    if (role == SortRole) return value ? *value : -1;
    if (role == Qt::DisplayRole && value) return locale.toString(*value) + QLatin1Char('%');
    if (role == Qt::TextAlignmentRole) return (Qt::AlignRight | Qt::AlignVCenter).toInt();
    return {};
  };
  switch (index.column()) {
    case ColStatus:
      switch (role) {
        case Qt::DecorationRole:
          return StateMark(status.State);
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole: {
          // Why it failed, or since when it has not answered, as the status bar would say.
          const QString why =
              status.State == TPollerState::Failed || status.State == TPollerState::Silent
                  ? StatusText(status, poller.Host(), poller.Target(), locale)
                  : QString();
          return why.isEmpty() ? StateText(status.State) : StateText(status.State) + ": " + why;
        }
        case SortRole:
          return Severity(status.State);
      }
      return {};
    case ColHost:
      if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == SortRole)
        return poller.Host();
      return {};
    case ColAlerts:
      switch (role) {
        case Qt::DisplayRole:
        case SortRole:
          return row.Alerts;
        case Qt::TextAlignmentRole:
          return (Qt::AlignRight | Qt::AlignVCenter).toInt();
        case Qt::ForegroundRole:
          return row.Alerts > 0 ? QVariant(QColor(Qt::red)) : QVariant();
      }
      return {};
    case ColLastPoll:
      if (role == SortRole)
        return status.LastPoll.isValid() ? status.LastPoll.toMSecsSinceEpoch() : qint64{-1};
      if (role == Qt::DisplayRole && status.LastPoll.isValid())
        return ClockTime(status.LastPoll.toLocalTime().time(), locale);
      return {};
    case ColProcessor:
      return percent(row.Worst.Processor);
    case ColInterface:
      return percent(row.Worst.Interface);
    case ColStorage:
      return percent(row.Worst.Storage);
  }
  return {};
}

QVariant THostsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  static const char* const captions[] = {"",          "Host",      "Alerts",  "Last poll",
                                         "Processor", "Interface", "Storage"};
  static const char* const tips[] = {"Status",
                                     "The host as typed",
                                     "How many alerts stand on the host",
                                     "When the last poll ended",
                                     "Highest processor load",
                                     "Highest interface utilisation",
                                     "Highest storage use"};
  if (section < 0 || section >= ColCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(captions[section]);
  if (role == Qt::ToolTipRole) return QString::fromLatin1(tips[section]);
  return {};
}
