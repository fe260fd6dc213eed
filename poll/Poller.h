#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Clock.h"
#include "Connection.h"
#include "ConnectionSettings.h"
#include "Metrics.h"
#include "Requester.h"
#include "Transport.h"

// How to reach one host and how to keep its charts: everything a poller needs but passphrases.
struct TPollerSettings {
  QString Host;  // as typed: "host", "host:port", an IPv6 address, or "[address]:port"
  std::string Community = "pewter";
  TConnectionSettings Connection = {};  // the version; the user, level and protocols of SNMPv3
  int IntervalMinutes = 1;              // between polls
  int GraphLength = 15;                 // minutes a chart shows
  int TimeoutMs = 5000;                 // the longest wait for each reply

  bool operator==(const TPollerSettings&) const = default;
};

enum class TPollerState {
  Stopped,           // not connected, and not trying to
  PassphraseNeeded,  // an SNMPv3 Connect waits for SetPassphrases
  Connecting,
  Answering,  // connected; its last poll got answers
  Silent,     // connected; its last poll got none
  Failed      // the last Connect did not come through
};

// How a Connect ended.
struct TConnectOutcome {
  enum TKind {
    Connected,
    HostNotFound,  // the name did not resolve
    OpenFailed,    // no socket for the host (Text says why)
    SendFailed,    // the probe could not be sent (Text says why)
    Report,        // an SNMPv3 report came instead of an answer (Text, Report)
    NoAnswer,      // the probe got no answer
    ErrorStatus,   // the probe got an error status (Text: its name)
    FellSilent,    // the host stopped answering during discovery
    Failed         // discovery failed (Text: the message)
  };
  TKind Kind = Connected;
  QString Text;
  TUsmReport ReportKind = TUsmReport::Other;
  // No answer, though the agent had told its engine: it may drop what it cannot decrypt.
  bool PrivacySuspected = false;
};

// Where a poller stands, as a status line or a list of hosts tells it.
struct TPollerStatus {
  TPollerState State = TPollerState::Stopped;
  QDateTime LastPoll;       // UTC: when the last poll ended
  QDateTime LastAnswer;     // UTC: when the host last answered
  QString Report;           // the SNMPv3 report of the last poll, if one came
  bool Restarted = false;   // the last poll found the agent restarted
  TConnectOutcome Outcome;  // why, when Failed
};

// One poll that has ended.
struct TPollResult {
  QDateTime Started, Ended;  // UTC
  TReadRun Run;
  // The reading a few seconds after Connect that gives the first rates: it stands in the place
  // of the poll before it, and reads only the interfaces that had no rate.
  bool FollowUp = false;
  QString Error;  // what ended the poll early (an agent's up-time that is no number, say)
};

// One item as its poller holds it: its row, its chart's history and the last values shown.
struct TItemView {
  TRowSpec Row;
  const TItemHistory* History = nullptr;
  const TRowUpdate* Last = nullptr;  // null before its first poll
};

class TPoller;

// What stands between pollers and the requests of their Connects and polls: each starts once
// granted a slot and gives it back when it ends.
class TPollSlots {
 public:
  virtual ~TPollSlots() = default;
  // Calls granted once, at once or later from the event loop, when poller may start.
  virtual void Acquire(TPoller& poller, std::function<void()> granted) = 0;
  // poller's Connect or poll has ended, or it no longer waits: a granted that has not run yet
  // must not run.
  virtual void Release(TPoller& poller) = 0;
};

// Grants every request at once.
class TOpenSlots final : public TPollSlots {
 public:
  void Acquire(TPoller&, std::function<void()> granted) override { granted(); }
  void Release(TPoller&) override {}
};

// One host, polled in the background: its requests, monitors, histories, metrics and status,
// without any widget. Connect probes the agent, discovers the items, runs the first poll and,
// where that came too soon for rates, one more reading a few seconds on; from then on it polls
// at its interval on the clock until Stop. What it finds it emits as numbers and states. For
// SNMPv3 it reads no keyring: it asks for the passphrases (PassphrasesNeeded) and waits until it
// is given them.
class TPoller : public QObject {
  Q_OBJECT
 public:
  TPoller(TPollerSettings settings, std::unique_ptr<TTransport> transport, TClock& clock,
          TPollSlots& limiter, QObject* parent = nullptr);
  ~TPoller() override;

  const TPollerSettings& Settings() const { return FSettings; }
  // Taken at the next Connect.
  void SetSettings(const TPollerSettings& settings) { FSettings = settings; }
  const QString& Host() const { return FSettings.Host; }
  // The host and port the requests go to: "host:port", an IPv6 address in brackets.
  QString Target() const;
  const TPollerStatus& Status() const { return FStatus; }
  // A Connect or a poll is under way (or waits for its slot, or for its consumers).
  bool Busy() const { return FConnecting || FPolling; }
  // It polls at its interval.
  bool Connected() const { return FConnected; }
  // Milliseconds between polls while connected; 0 otherwise.
  int64_t PollPeriod() const;
  // The reading for the first rates is still to come.
  bool FollowUpPending() const { return FFollowUp.Active(); }
  const TDeviceIdentity& Identity() const { return FConnection.Identity; }
  const TMetricsValues& Metrics() const { return FMetrics.Values(); }
  // Its items by kind, in the order of their rows.
  std::vector<TItemView> Items() const;
  // The requests, for tests that fix request-ids or count datagrams.
  TRequester& Requester() { return FRequester; }

  // Asked at each interface reading: whether the chart's axis follows the visible values.
  std::function<bool()> AutoHeight = [] { return false; };
  // Whether polls from the next on also read each interface's ifAdminStatus and ifOperStatus.
  void SetReadInterfaceState(bool on) { FConnection.Interfaces.ReadState = on; }

  // Starts afresh: forgets the items and whatever was under way, and connects. For SNMPv3 it
  // first asks for the passphrases.
  void Connect();
  // The passphrases PassphrasesNeeded asked for (empty where the security level needs none);
  // the Connect goes on. Ignored unless they are asked for. Raises what making the user's keys
  // raises; the Connect then waits on.
  void SetPassphrases(const QString& authentication, const QString& privacy);
  // One poll of the given kinds now, unless not connected or busy.
  void Poll(const std::vector<TItemKind>& kinds);
  void Refresh() { Poll({TItemKind::Processor, TItemKind::Interface, TItemKind::Storage}); }
  // Stops polling and forgets the items; nothing it started emits anything any more.
  void Stop();

 signals:
  void StatusChanged(const TPollerStatus& status);
  void PassphrasesNeeded();
  // The probe was answered: the agent took the community, or authenticated the passphrases.
  void Answered();
  void RowDiscovered(const TRowSpec& row);
  // A row discovered before has a new caption.
  void RowRenamed(const TRowSpec& row);
  void ItemUpdated(const TRowUpdate& update);
  void PollFinished(const TPollResult& result);
  void ConnectFinished(const TConnectOutcome& outcome);

 private:
  // Forgets what is under way and the items.
  void Reset();
  void SetState(TPollerState state);
  void AcquireSlot(std::function<void()> granted);
  void ReleaseSlot();
  void Open();
  void Probe();
  void Discover();
  void Fail(const TConnectOutcome& outcome);
  void FinishConnect();
  void Tick();
  void RunPoll(const std::vector<TItemKind>& kinds, bool first);
  void FollowUp();
  void StartPoll();
  void EndPoll(std::exception_ptr error, bool followUp);

  TPollerSettings FSettings;
  TClock& FClock;
  TPollSlots& FSlots;
  std::unique_ptr<TTransport> FTransport;
  TRequester FRequester;
  TConnection FConnection;
  TMetrics FMetrics;
  TPollerStatus FStatus;
  TTimer FTick;
  TTimer FFollowUp;
  int64_t FNextTick = 0;
  // Bumped by Connect and Stop: whatever an older one started ends without a word.
  uint64_t FGeneration = 0;
  bool FConnecting = false;
  bool FPolling = false;
  bool FConnected = false;
  bool FFirstPoll = false;
  bool FRestarted = false;  // an interface of the poll under way found the agent restarted
  enum class TSlot { None, Waiting, Held } FSlot = TSlot::None;
  QDateTime FPollStarted;
  std::map<std::pair<TItemKind, int32_t>, TRowUpdate> FLast;
};
