#pragma once

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <memory>
#include <optional>
#include <vector>

#include "ActivityLog.h"
#include "Alerts.h"
#include "Clock.h"
#include "GraphPanel.h"
#include "HistoryView.h"
#include "HostsModel.h"
#include "MetricsServer.h"
#include "Notifier.h"
#include "PassphraseSource.h"
#include "Pollers.h"
#include "SecretStore.h"
#include "SettingsFile.h"
#include "WatchList.h"
#include "TrayIcon.h"

class TfrmOptions;
class THistoryWriter;

// The main window: a view of one poller. Connect makes the poller of the typed host through the
// registry and shows what it finds; Disconnect, an edit of either box or closing the window
// stops it at once, unless the host is watched. Watched hosts are polled in the background from
// start-up and listed in the Hosts panel, from which any of them can be shown. The window writes
// the activity log of the host it connected through the tool bar, serves the metrics of every
// poller, has every poller's polls kept in the history store, whose points its charts show, and
// tells of the alerts of every poller: on the desktop, in the tray, in the Hosts panel, and on
// the rows, tabs and status bar of the host shown. With the tray option on and a tray to show it
// in, closing the window leaves the program polling in the tray.
class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // The settings file lies beside the given executable path. The pollers run on clock.
  explicit TForm1(const QString& executablePath = QString(), QWidget* parent = nullptr,
                  TClock& clock = SystemClock());
  ~TForm1() override;

  // The options dialog, created after the main window and kept for the whole run.
  void SetOptionsDialog(TfrmOptions* options) { frmOptions = options; }
  TfrmOptions* OptionsDialog() const { return frmOptions; }

  QString ApplicationTitle = QStringLiteral("Corvane");

  QToolBar* ToolBar2 = nullptr;
  QComboBox* cbxCommunity = nullptr;
  QComboBox* cbxHost = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  TScrollBox* ScrollBox1 = nullptr;
  TScrollBox* ScrollBox2 = nullptr;
  TScrollBox* ScrollBox3 = nullptr;
  QLabel* lblStatus = nullptr;
  QLabel* lblIdentity = nullptr;    // the host's name, description and up-time
  QDockWidget* dckHosts = nullptr;  // the Hosts panel, shown while hosts are watched
  QTableView* tblHosts = nullptr;
  THostsModel* HostsModel = nullptr;
  QLabel* lblAlert = nullptr;       // the newest alert of any host
  QLabel* lblHistory = nullptr;     // why history is not kept or shown, if so

  QAction* acConnect = nullptr;
  QAction* acDisconnect = nullptr;
  QAction* axExit = nullptr;
  QAction* acAbout = nullptr;
  QAction* acTesselby = nullptr;
  QAction* acRefresh = nullptr;
  QAction* acOptions = nullptr;
  QAction* acHelp = nullptr;
  QAction* acProcessorUpdate = nullptr;
  QAction* acInterfaceUpdate = nullptr;
  QAction* acStorageUpdate = nullptr;
  QAction* acLoadSettings = nullptr;
  QAction* acSaveSettings = nullptr;
  QAction* acWatch = nullptr;
  QAction* acStopWatching = nullptr;

  // Every poller of the program, over UDP, and their alerts.
  TPollers Pollers;
  // The hosts polled in the background, kept in the settings file.
  TWatchList WatchList{Pollers};
  TAlerts Alerts{Pollers};
  // The tray icon: the worst state of all hosts.
  std::unique_ptr<TTrayIcon> Tray = std::make_unique<TTrayIcon>();
  // The longest wait for each reply of the hosts connected here.
  int ReceiveTimeoutMs = 5000;
  bool Logging = false;
  TActivityLog LogFile;
  TSettingsFile Settings;
  // Where SNMPv3 passphrases are kept, and what finds them at Connect (tests replace both).
  std::unique_ptr<TSecretStore> Secrets = std::make_unique<TKeychainStore>();
  std::unique_ptr<TPassphraseSource> PassphraseSource;
  TMetricsServer Metrics;

  // Keeps the polls of every poller through writer, in the store at path, which the charts
  // read. The store opens once the settings are read, keeping the days the options say.
  void UseHistory(THistoryWriter& writer, const QString& path);

  // The poller shown, or null.
  TPoller* Poller() const { return FPoller; }
  // Shows poller from its state at once: its rows with their histories and last values, its
  // status and identity; what it finds from then on follows. No new discovery.
  void ShowPoller(TPoller& poller);
  // Shows a watched host as the Hosts panel does: ends the tool-bar connection, shows the
  // poller at once and puts its community and host text into the boxes. A host that waits for
  // its passphrases asks for them; one whose Connect failed is tried again.
  void ShowWatched(TPoller& poller);

  // A Connect or a poll of the poller shown is under way (or its message box is open).
  bool Busy() const { return FPoller && FPoller->Busy(); }

  // What sends the alerts' desktop notifications: at first one on the session bus. What it
  // cannot send becomes a tray message where there is a tray, and is left to the status bar
  // otherwise.
  TNotifier* Notifier() const { return FNotifier.get(); }
  void SetNotifier(std::unique_ptr<TNotifier> notifier);

 signals:
  // A Connect has ended, connected or not, and a poll has ended (after any message box).
  void ConnectFinished();
  void PollFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateToolBar();
  void CreateMenus();
  void CreatePages();
  void CreateHostsPanel();

  // Runs a command; an exception it raises ends it and is shown in the error box.
  template <class F>
  void Guarded(F&& command) noexcept;
  void ShowError(const QString& message) noexcept;

  void FormShow();
  // The poller settings the options give now, with no host; raises for an interval that is no
  // number.
  TPollerSettings OptionSettings() const;
  // Watches the hosts read from the settings file.
  void StartWatching();
  // Reads the keyring for a watched host's Connect, never asking the user.
  void ReadWatchedPassphrases(TPoller* poller);
  void WatchShown();
  void StopWatchingShown();
  void UpdateWatchActions();
  // What a host shown from the Hosts panel changes on the screen as it connects or fails in the
  // background; a Connect through the tool bar tells its own steps.
  void FollowStatus();
  void Connect();
  void AskPassphrases();
  void Answered();
  void ConnectEnded(const TConnectOutcome& outcome);
  void FinishConnect();
  // Ends a Connect that did not come through, leaving text in the status bar.
  void AbandonConnect(const QString& status);
  void FailConnect(const QString& message);
  void Disconnect();
  // The window no longer shows its poller; the registry stops it unless another holds it.
  void ReleasePoller();
  void Timer1Timer();
  void PollKinds(const std::vector<TItemKind>& kinds);
  void EndPoll(const TPollResult& result);
  void RunOptions();
  // Serves the metrics where the options say; an address that cannot be served is boxed.
  void ServeMetrics();
  // The community box is disabled while the options choose SNMP version 3.
  void UpdateCommunityBox();
  void ShowAbout();
  void UpdateHistory(QComboBox* box);
  void SetCaption(const QString& caption);
  void SetStatus(const QString& text);
  // The status bar and the identity as the poller shown has them now.
  void ShowStatus();

  TScrollBox* BoxOf(TItemKind kind) const;
  void CreateRows(const TRowSpec& rowSpec);
  // Shows one item's values on its row; a row no longer there is skipped.
  void ShowUpdate(const TRowUpdate& update);
  // Draws an item's history on its chart.
  void ShowHistory(TItemKind kind, int32_t index, const TItemHistory& history);
  // Reads what the store has of the shown poller's items from before its own points, and draws
  // their charts again.
  void RecallHistory();
  // Opens the store with the kept days of the options.
  void OpenHistory();
  // Why history is not kept (off) or not shown, in the status bar; empty: no problem.
  void ShowHistoryProblem(const QString& text, bool off = false);
  // The context menu of a chart: its graph length or a long view.
  void ShowChartMenu(TItemKind kind, int32_t index, const QPoint& pos);
  void SetChartSpan(TItemKind kind, int32_t index, TChartSpan span);
  // Marks on an item's chart where its alerts (and the host's) fired and cleared.
  void ShowAlertEvents(TItemKind kind, int32_t index);
  // The shown host's rows in alert and the count on each tab; the newest alert of any host in
  // the status bar; the tray's state.
  void ShowAlerts();
  void AlertChanged(TPoller* poller, const TAlertEvent& event);
  // The rules of the options, for every host at once.
  void ApplyAlertRules();
  void ShowFromTray();
  // Writes an item's log rows when the options ask for its kind now.
  void LogUpdate(const TRowUpdate& update);
  // A line in place of the rows of each tab without any.
  void ShowNoRows();
  // Whether logging and the kind's own log box are both checked now.
  bool LogKindChecked(TItemKind kind) const;
  TChartSetup ChartSetup() const;

  TfrmOptions* frmOptions = nullptr;
  bool FShown = false;
  QPointer<TPoller> FPoller;
  // The shown poller's signals the window follows, and those of its Connect.
  std::vector<QMetaObject::Connection> FViewLinks;
  std::vector<QMetaObject::Connection> FConnectLinks;
  // The poller shown came through the tool bar's Connect, not from the Hosts panel.
  bool FToolBar = false;
  // The rows of the poller shown from the Hosts panel are complete: it is connected.
  bool FShownConnected = false;
  // The watched hosts the settings file held at start-up.
  std::vector<TWatchedHost> FWatched;
  // The log follows the poller connected through the tool bar.
  QMetaObject::Connection FLogLink;
  THistoryWriter* FHistoryWriter = nullptr;
  THistoryView FHistory;
  bool FHistoryOff = false;  // the status bar says the store failed
  std::unique_ptr<TNotifier> FNotifier;
  // The last firing or clearing, which the status bar tells while no alert stands.
  std::optional<TAlertEvent> FLastAlertEvent;
  // The window closes for good (Exit), not into the tray.
  bool FExiting = false;
};
