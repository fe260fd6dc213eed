#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ConnectionSettings.h"
#include "Poller.h"
#include "Pollers.h"

// A host watched in the background as the settings file keeps it: how to reach it, never its
// passphrases.
struct TWatchedHost {
  QString Host;           // as typed
  std::string Community;  // versions 1 and 2c
  TConnectionSettings Connection;

  bool operator==(const TWatchedHost&) const = default;
};

// The hosts watched in the background. Each one's poller is held in the registry from the moment
// it is watched and polls at its interval whether it is shown or not. A Connect that did not come
// through is tried again an interval later, except after an SNMPv3 report: a wrong user or
// passphrase takes the user to mend.
class TWatchList : public QObject {
  Q_OBJECT
 public:
  explicit TWatchList(TPollers& pollers, QObject* parent = nullptr);
  // Gives back every hold.
  ~TWatchList() override;

  // Watches the host of settings: holds its poller and connects it unless it is connected or on
  // its way already (the window's, say). A host watched already stays as it is.
  TPoller& Watch(const TPollerSettings& settings);
  // Stops watching host: its poller stops unless another holds it.
  void Unwatch(const QString& host);
  TPoller* Find(const QString& host) const;
  // In the order they were watched.
  std::vector<TPoller*> Pollers() const;
  // What the settings file keeps of each, from the settings its poller runs with.
  std::vector<TWatchedHost> Hosts() const;

 signals:
  void Added(TPoller* poller);
  // Emitted before the hold is given back.
  void Removed(TPoller* poller);
  // A Connect the list started waits for poller's SNMPv3 passphrases (SetPassphrases).
  void PassphrasesWanted(TPoller* poller);

 private:
  struct TEntry {
    TPoller* Poller;
    std::unique_ptr<TTimer> Retry;
    QMetaObject::Connection Link;
  };
  void Connect(TEntry& entry);
  void Follow(TEntry& entry);

  TPollers& FPollers;
  std::vector<std::unique_ptr<TEntry>> FEntries;
};

// The poller settings of a watched host, with the interval, chart length and time-out given.
TPollerSettings WatchedSettings(const TWatchedHost& host, const TPollerSettings& base);
// A watched host as its poller's settings describe it.
TWatchedHost WatchedHostOf(const TPollerSettings& settings);
