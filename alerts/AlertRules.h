#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

// When a host or one of its items is in trouble: the rules, one engine per host that applies
// them to each poll's readings, and the texts that tell about it.

// The alert options. A threshold that is empty is off.
struct TAlertRules {
  std::optional<int> Processor = {};  // load at or above this percent
  std::optional<int> Interface = {};  // utilisation, in or out, at or above this percent
  std::optional<int> Storage = {};    // use at or above this percent of the size
  bool Down = false;                  // ifAdminStatus up(1) with ifOperStatus down(2)
  bool NoAnswer = false;              // the host does not answer
  int Polls = 3;                      // polls in a row a condition must hold before it fires

  bool operator==(const TAlertRules&) const = default;
};

// How a watched host is, from good to bad.
enum class THostState { Normal, Alert, NoAnswer };

enum class TAlertItemKind { Processor, Interface, Storage };

// What one poll read of one item. Any value may be missing: a gap.
struct TItemReading {
  TAlertItemKind Kind = TAlertItemKind::Processor;
  int32_t Index = 0;
  QString Name;                      // processor index text, interface or storage description
  std::optional<double> Percent;     // load, incoming utilisation, or use of the size
  std::optional<double> OutPercent;  // interfaces: outgoing utilisation
  std::optional<int> AdminStatus;    // interfaces: ifAdminStatus, when read
  std::optional<int> OperStatus;     // interfaces: ifOperStatus, when read
};

// One poll of a host. Items lists every item the host has (values that did not come are gaps);
// an item missing from the list has gone, unless the host did not answer at all.
struct TPollReadings {
  QDateTime Time;
  bool Answered = true;
  std::vector<TItemReading> Items;
};

enum class TAlertKind { ProcessorLoad, InterfaceUse, InterfaceDown, StorageUse, NoAnswer };

struct TAlert {
  TAlertKind Kind = TAlertKind::NoAnswer;
  int32_t Index = 0;              // the item's row index; 0 for no answer
  QString Name;                   // the item's name; empty for no answer
  std::optional<double> Percent;  // load and use alerts: the value when it fired
  int Polls = 0;                  // how many readings in a row it had held when it fired
  QDateTime Since;                // no answer: the last answer, or the first unanswered poll
  QDateTime Fired;                // the time of the poll it fired at

  bool operator==(const TAlert&) const = default;
};

enum class TAlertChangeKind {
  Fired,
  Cleared,  // the condition no longer holds
  Gone,     // the item is no longer on the host
  Off       // its rule was switched off
};

struct TAlertChange {
  TAlertChangeKind Change = TAlertChangeKind::Fired;
  TAlert Alert;

  bool operator==(const TAlertChange&) const = default;
};

// The alerts of one host. A condition fires once it has held for the rules' Polls readings in
// a row and clears once a reading shows it no longer holds. A missing reading (a gap) tells
// neither way: it does not count toward the run, nor break it, nor clear a standing alert.
class TAlertEngine {
 public:
  explicit TAlertEngine(TAlertRules rules = {});

  // Takes new rules; standing alerts whose rule is now off clear at once, and are returned.
  std::vector<TAlertChange> SetRules(const TAlertRules& rules);
  const TAlertRules& Rules() const { return FRules; }

  // Applies one poll; returns what fired and cleared at it.
  std::vector<TAlertChange> Poll(const TPollReadings& readings);

  // The alerts that stand, by kind, then index and name.
  std::vector<TAlert> Standing() const;

 private:
  // What a condition is identified by: no answer has index 0 and no name.
  using TKey = std::tuple<TAlertKind, int32_t, QString>;
  struct TState {
    int Run = 0;
    std::optional<TAlert> Alert;  // while it stands
  };

  void Apply(const TKey& key, std::optional<bool> holds, std::optional<double> percent,
             const QDateTime& time, std::vector<TAlertChange>& changes);
  std::optional<int> Threshold(TAlertKind kind) const;
  bool RuleOn(TAlertKind kind) const;

  TAlertRules FRules;
  std::map<TKey, TState> FStates;
  QDateTime FLastAnswer;
  QDateTime FFirstUnanswered;  // of the unanswered polls since the last answer
};

// The notification's summary: "Corvane: HOST".
QString AlertSummary(const QString& host);
// What a firing or clearing says, such as "Processor 768 at 95 % for 3 polls",
// "No answer from HOST since 03:02" or "Interface eth0 is back to normal". Names from the agent
// are flattened to one line.
QString AlertText(const TAlertChange& change, const QString& host,
                  const QLocale& locale = QLocale::system());
// The kind as the metrics label shows it: "processor", "interface", "interface_down",
// "storage" or "no_answer".
QString AlertKindLabel(TAlertKind kind);
// The kind of such a label; none for a label it never gives.
std::optional<TAlertKind> AlertKindOfLabel(const QString& label);
