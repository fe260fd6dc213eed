#include "Poller.h"

#include <QByteArray>
#include <utility>

#include "Computations.h"

namespace {

// How long after the first poll the reading for the first rates comes: long enough for the
// up-time's hundredths and the time between reads to weigh little.
constexpr int64_t kFirstRateDelayMs = 5000;
// How soon that reading tries again while a poll is under way.
constexpr int64_t kFirstRateRetryMs = 100;

// A passphrase's UTF-8 octets into text, with no copy left behind in between.
void AssignSecret(std::string& text, const QString& secret) {
  QByteArray utf8 = secret.toUtf8();
  text.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
  WipeSecret(utf8.data(), static_cast<size_t>(utf8.size()));
}

// The SNMPv3 user of the settings with its passphrases.
TUsmUser UsmUser(const TConnectionSettings& settings, const QString& authentication,
                 const QString& privacy) {
  TUsmUser user;
  user.name = settings.SecurityName.toStdString();
  switch (settings.SecurityLevel) {
    case TSecurityLevel::NoAuthNoPriv:
      user.level = TUsmSecurityLevel::NoAuthNoPriv;
      return user;
    case TSecurityLevel::AuthNoPriv:
      user.level = TUsmSecurityLevel::AuthNoPriv;
      break;
    case TSecurityLevel::AuthPriv:
      user.level = TUsmSecurityLevel::AuthPriv;
      user.priv = TUsmPrivProtocol::Aes128;
      AssignSecret(user.privPassphrase, privacy);
      break;
  }
  constexpr TUsmAuthProtocol kProtocols[] = {TUsmAuthProtocol::Md5,    TUsmAuthProtocol::Sha1,
                                             TUsmAuthProtocol::Sha224, TUsmAuthProtocol::Sha256,
                                             TUsmAuthProtocol::Sha384, TUsmAuthProtocol::Sha512};
  user.auth = kProtocols[static_cast<int>(settings.AuthProtocol)];
  AssignSecret(user.authPassphrase, authentication);
  return user;
}

QString MessageOf(std::exception_ptr error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("Unknown error.");
  }
}

}  // namespace

TPoller::TPoller(TPollerSettings settings, std::unique_ptr<TTransport> transport, TClock& clock,
                 TPollSlots& limiter, QObject* parent)
    : QObject(parent),
      FSettings(std::move(settings)),
      FClock(clock),
      FSlots(limiter),
      FTransport(std::move(transport)),
      FRequester(*FTransport, clock, this),
      FConnection(FRequester),
      FMetrics(FSettings.Host),
      FTick(clock, this),
      FFollowUp(clock, this) {
  FConnection.AutoHeight = [this] { return AutoHeight && AutoHeight(); };
}

TPoller::~TPoller() {
  ReleaseSlot();
  FRequester.Cancel();
}

QString TPoller::Target() const {
  QString host;
  int port = 161;
  SplitHostPort(FSettings.Host, host, port);
  return (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2"))
      .arg(host)
      .arg(port);
}

int64_t TPoller::PollPeriod() const {
  return FConnected ? int64_t{FSettings.IntervalMinutes} * 60 * 1000 : 0;
}

std::vector<TItemView> TPoller::Items() const {
  std::vector<TItemView> items;
  const auto add = [&](const std::vector<TRowSpec>& rows, auto history) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const auto last = FLast.find({rows[i].Kind, rows[i].Index});
      items.push_back(
          {rows[i], history(static_cast<int>(i)), last == FLast.end() ? nullptr : &last->second});
    }
  };
  add(FConnection.Processors.Rows(),
      [this](int i) { return &FConnection.Processors.List.Record(i).History; });
  add(FConnection.Interfaces.Rows(),
      [this](int i) { return &FConnection.Interfaces.List.Record(i).History; });
  add(FConnection.Storage.Rows(),
      [this](int i) { return &FConnection.Storage.List.Record(i).History; });
  return items;
}

void TPoller::Reset() {
  ++FGeneration;
  FRequester.Cancel();
  FTick.Stop();
  FFollowUp.Stop();
  ReleaseSlot();
  FConnection.Cancel();
  FLast.clear();
  FMetrics.Disconnect();
  FConnecting = FPolling = FConnected = FFirstPoll = false;
}

void TPoller::SetState(TPollerState state) {
  FStatus.State = state;
  emit StatusChanged(FStatus);
}

void TPoller::AcquireSlot(std::function<void()> granted) {
  FSlot = TSlot::Waiting;
  const uint64_t generation = FGeneration;
  FSlots.Acquire(*this, [this, generation, granted = std::move(granted)] {
    if (generation != FGeneration || FSlot != TSlot::Waiting) return;
    FSlot = TSlot::Held;
    granted();
  });
}

void TPoller::ReleaseSlot() {
  if (FSlot == TSlot::None) return;
  FSlot = TSlot::None;
  FSlots.Release(*this);
}

void TPoller::Connect() {
  Reset();
  FStatus = {};
  const uint64_t generation = FGeneration;
  FRequester.TimeoutMs = FSettings.TimeoutMs;
  FRequester.Session.SetSecurity(nullptr);
  TSnmpReader& reader = FConnection.Reader;
  reader.Community = FSettings.Community;
  reader.Version = FSettings.Connection.Version == TSnmpVersion::V1    ? 0
                   : FSettings.Connection.Version == TSnmpVersion::V2c ? 1
                                                                       : 3;
  // Rows and updates of an older Connect are not told.
  FConnection.Row = [this, generation](const TRowSpec& row) {
    if (generation == FGeneration) emit RowDiscovered(row);
  };
  FConnection.Renamed = [this, generation](const TRowSpec& row) {
    if (generation == FGeneration) emit RowRenamed(row);
  };
  FConnection.Update = [this, generation](const TRowUpdate& update) {
    if (generation != FGeneration) return;
    FLast[{update.Kind, update.Index}] = update;
    FMetrics.Add(update);
    if (update.In.Missing == TMissing::Restarted || update.Out.Missing == TMissing::Restarted)
      FRestarted = true;
    emit ItemUpdated(update);
  };
  FConnecting = true;
  if (FSettings.Connection.Version == TSnmpVersion::V3) {
    SetState(TPollerState::PassphraseNeeded);
    if (generation == FGeneration) emit PassphrasesNeeded();
    return;
  }
  SetState(TPollerState::Connecting);
  if (generation == FGeneration) AcquireSlot([this] { Open(); });
}

void TPoller::SetPassphrases(const QString& authentication, const QString& privacy) {
  if (FStatus.State != TPollerState::PassphraseNeeded || !FConnecting) return;
  // The peer keeps the keys and wipes the passphrases it was given.
  FRequester.Session.SetSecurity(
      std::make_shared<TUsmPeer>(UsmUser(FSettings.Connection, authentication, privacy)));
  const uint64_t generation = FGeneration;
  SetState(TPollerState::Connecting);
  if (generation == FGeneration) AcquireSlot([this] { Open(); });
}

void TPoller::Open() {
  QString host;
  int port = 161;
  SplitHostPort(FSettings.Host, host, port);
  FRequester.Open(host, static_cast<quint16>(port), [this](const TTransport::TOpened& opened) {
    if (!opened.Error.isEmpty()) {
      Fail({opened.NotFound ? TConnectOutcome::HostNotFound : TConnectOutcome::OpenFailed,
            opened.Error});
      return;
    }
    Probe();
  });
}

void TPoller::Probe() {
  FConnection.Probe([this](const TSnmpResult& result) {
    if (result.Outcome == TSnmpResult::Failed || result.Outcome == TSnmpResult::Report) {
      Fail({result.Outcome == TSnmpResult::Report ? TConnectOutcome::Report
                                                  : TConnectOutcome::SendFailed,
            result.Error, result.ReportKind});
      return;
    }
    if (result.Outcome == TSnmpResult::TimedOut) {
      const TUsmPeer* security = FRequester.Session.Security();
      TConnectOutcome outcome;
      outcome.Kind = TConnectOutcome::NoAnswer;
      outcome.PrivacySuspected = security && security->Discovered() &&
                                 FSettings.Connection.SecurityLevel == TSecurityLevel::AuthPriv;
      Fail(outcome);
      return;
    }
    if (!result.Ok()) {
      Fail({TConnectOutcome::ErrorStatus,
            QString::fromStdString(ErrorStatusName(result.Reply.ErrStatus))});
      return;
    }
    FStatus.LastAnswer = FClock.Now();
    const uint64_t generation = FGeneration;
    emit Answered();
    if (generation == FGeneration) Discover();
  });
}

void TPoller::Discover() {
  const uint64_t generation = FGeneration;
  FConnection.Discover(FSettings.GraphLength, [this, generation](std::exception_ptr error) {
    if (generation != FGeneration) return;
    if (error) {
      Fail({TConnectOutcome::Failed, MessageOf(error)});
    } else if (FConnection.Reader.Run().Abandoned) {
      // A host that fell silent during discovery would show a partial picture.
      Fail({TConnectOutcome::FellSilent, {}});
    } else {
      FinishConnect();
    }
  });
}

void TPoller::Fail(const TConnectOutcome& outcome) {
  const uint64_t generation = FGeneration;
  Reset();
  FStatus.Outcome = outcome;
  SetState(TPollerState::Failed);
  if (generation + 1 == FGeneration) emit ConnectFinished(outcome);
}

void TPoller::FinishConnect() {
  const uint64_t generation = FGeneration;
  FConnecting = false;
  ReleaseSlot();
  FConnected = true;
  FMetrics.Connect(FSettings.Host);
  FStatus.Outcome = {};
  FStatus.State = TPollerState::Answering;
  FNextTick = FClock.Milliseconds() + PollPeriod();
  FTick.Start(PollPeriod(), [this] { Tick(); });
  emit ConnectFinished(FStatus.Outcome);
  if (generation != FGeneration) return;
  // The first values come at once, not a whole interval on.
  FFirstPoll = true;
  Refresh();
}

void TPoller::Tick() {
  FNextTick += PollPeriod();
  FTick.Start(std::max<int64_t>(FNextTick - FClock.Milliseconds(), 0), [this] { Tick(); });
  // A tick that comes while a poll is under way is skipped.
  Refresh();
}

void TPoller::Poll(const std::vector<TItemKind>& kinds) {
  if (!FConnected || Busy()) return;
  const bool first = std::exchange(FFirstPoll, false);
  FPolling = true;
  AcquireSlot([this, kinds, first] { RunPoll(kinds, first); });
}

void TPoller::StartPoll() {
  FRestarted = false;
  FPollStarted = FClock.Now();
  FConnection.SetPollTime(FPollStarted.toMSecsSinceEpoch());
  FMetrics.StartPoll(FClock.Milliseconds());
}

void TPoller::RunPoll(const std::vector<TItemKind>& kinds, bool first) {
  const uint64_t generation = FGeneration;
  StartPoll();
  FConnection.Poll(kinds, [this, generation, first](std::exception_ptr error) {
    if (generation != FGeneration) return;
    if (!first || FConnection.Reader.Run().Abandoned) {
      EndPoll(error, false);
      return;
    }
    // After the first values: who the host is, and where that poll came too soon after the
    // discovery's readings for rates, one more reading a few seconds on.
    FConnection.ReadIdentity([this, generation, error] {
      if (generation != FGeneration) return;
      if (FConnection.Interfaces.Measuring())
        FFollowUp.Start(kFirstRateDelayMs, [this] { FollowUp(); });
      EndPoll(error, false);
    });
  });
}

void TPoller::FollowUp() {
  if (!FConnected || !FConnection.Interfaces.Measuring()) return;
  if (Busy()) {
    FFollowUp.Start(kFirstRateRetryMs, [this] { FollowUp(); });
    return;
  }
  FPolling = true;
  AcquireSlot([this] {
    const uint64_t generation = FGeneration;
    StartPoll();
    FConnection.FollowUp([this, generation](std::exception_ptr error) {
      if (generation == FGeneration) EndPoll(error, true);
    });
  });
}

void TPoller::EndPoll(std::exception_ptr error, bool followUp) {
  const uint64_t generation = FGeneration;
  const TReadRun& run = FConnection.Reader.Run();
  FMetrics.EndPoll(run, FClock.Milliseconds());
  const QDateTime now = FClock.Now();
  if (run.Answers > 0) FStatus.LastAnswer = now;
  FStatus.LastPoll = now;
  FStatus.Report = run.Report;
  FStatus.Restarted = FRestarted;
  FStatus.State =
      run.Answers == 0 && run.Requests > 0 ? TPollerState::Silent : TPollerState::Answering;
  // A poll that gave every rate leaves nothing for the first-rate reading to do.
  if (!FConnection.Interfaces.Measuring()) FFollowUp.Stop();
  const TPollResult result{FPollStarted, now, run, followUp, MessageOf(error)};
  emit StatusChanged(FStatus);
  if (generation != FGeneration) return;
  // Busy until its consumers are done with it: an error box they open keeps the next ticks
  // away until it is closed.
  emit PollFinished(result);
  if (generation != FGeneration) return;
  FPolling = false;
  ReleaseSlot();
}

void TPoller::Stop() {
  const bool stopped = FStatus.State == TPollerState::Stopped && !Busy();
  Reset();
  FTransport->Close();
  if (!stopped) SetState(TPollerState::Stopped);
}
