#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <optional>
#include <vector>

#include "Poller.h"

// The highest current value of each kind among a host's items, in whole percent as their gauges
// show them: processor load, interface utilisation, storage use. Nothing where no item of the
// kind has a value now.
struct TWorstValues {
  std::optional<int> Processor, Interface, Storage;

  bool operator==(const TWorstValues&) const = default;
};
TWorstValues WorstValues(const std::vector<TItemView>& items);

// The Hosts panel's word for a state: "answering", "no answer", "connecting", "passphrase
// needed", "failed", "stopped".
QString StateText(TPollerState state);
// The state's mark: a small coloured disc, each state of its own colour and shape.
QIcon StateMark(TPollerState state);

// The watched hosts as the Hosts panel lists them, one row per poller: its status mark, its host
// text, how many alerts stand on it, the time of its last poll and the worst current value of
// each kind, following the poller's states. SortRole gives what a column sorts by: numbers for times and values (none
// below every value), and for the mark its severity, failed hosts first.
class THostsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum TColumn {
    ColStatus,
    ColHost,
    ColAlerts,
    ColLastPoll,
    ColProcessor,
    ColInterface,
    ColStorage,
    ColCount
  };
  static constexpr int SortRole = Qt::UserRole;

  explicit THostsModel(QObject* parent = nullptr);

  // A row for poller, at the end; poller must be removed before it is destroyed.
  void Add(TPoller* poller);
  void Remove(TPoller* poller);
  TPoller* Poller(int row) const;
  // How many alerts stand on the poller's host now.
  void SetAlertCount(const TPoller* poller, int count);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct TRow {
    TPoller* Poller;
    TWorstValues Worst;  // taken when its status changes, not at each paint
    int Alerts = 0;
    QMetaObject::Connection Link;
  };
  int RowOf(const TPoller* poller) const;
  void Refresh(TPoller* poller);

  std::vector<TRow> FRows;
};
