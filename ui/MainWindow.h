#pragma once

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <memory>

#include "ActivityLog.h"
#include "Connection.h"
#include "GraphPanel.h"
#include "Items.h"
#include "MetricsServer.h"
#include "PassphraseSource.h"
#include "SecretStore.h"
#include "SettingsFile.h"
#include "SnmpClient.h"
#include "SnmpReader.h"

class TfrmOptions;

// The main window: the connection to one host, its poll cycle and the rows of its items. Every
// exchange runs from the event loop: Connect, discovery and each poll are sequences of replies,
// and Disconnect, an edit of either box or closing the window cancels them at once.
class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // The settings file lies beside the given executable path.
  explicit TForm1(const QString& executablePath = QString(), QWidget* parent = nullptr);
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
  QTimer* Timer1 = nullptr;
  // The reading after Connect that gives the first rates where the first poll came too soon.
  QTimer* tmrFirstRate = nullptr;
  QLabel* lblStatus = nullptr;
  QLabel* lblIdentity = nullptr;  // the host's name, description and up-time

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

  TSnmpClient IdSNMP1;
  TConnection Connection{IdSNMP1};
  TSnmpReader& Reader = Connection.Reader;
  TItemList<TProcessor>& ProcessorList = Connection.Processors.List;
  TItemList<TInterface>& InterfaceList = Connection.Interfaces.List;
  TItemList<TStorage>& StorageList = Connection.Storage.List;
  int32_t QueryInterval = 1;
  bool Logging = false;
  TActivityLog LogFile;
  TSettingsFile Settings;
  // Where SNMPv3 passphrases are kept, and what finds them at Connect (tests replace both).
  std::unique_ptr<TSecretStore> Secrets = std::make_unique<TKeychainStore>();
  std::unique_ptr<TPassphraseSource> PassphraseSource;
  TMetricsServer Metrics;

  // A Connect or a poll is under way (or its message box is open).
  bool Busy() const { return FConnecting || FPolling; }

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

  // Runs a command; an exception it raises ends it and is shown in the error box.
  template <class F>
  void Guarded(F&& command) noexcept;
  void ShowError(const QString& message) noexcept;

  // A function for the reader that runs f guarded like a discovery step: an exception ends
  // the Connect with its message in a plain box, and Disconnect.
  template <class F>
  auto Discovery(F f);

  void FormShow();
  void Connect();
  void Probe();
  void FinishConnect();
  // Ends a Connect that did not come through, leaving text in the status bar.
  void AbandonConnect(const QString& status);
  void FailConnect(const QString& message);
  void Disconnect();
  void Timer1Timer();
  void PollKinds(std::initializer_list<TItemKind> kinds);
  void EndPoll(std::exception_ptr error);
  void FirstRateTimer();
  void RunOptions();
  // Serves the metrics where the options say; an address that cannot be served is boxed.
  void ServeMetrics();
  // The community box is disabled while the options choose SNMP version 3.
  void UpdateCommunityBox();
  void ShowAbout();
  void UpdateHistory(QComboBox* box);
  void SetCaption(const QString& caption);
  void SetStatus(const QString& text);

  TScrollBox* BoxOf(TItemKind kind) const;
  void CreateRows(const TRowSpec& rowSpec);
  // Shows one item's poll on its row and writes its log rows; a row no longer there is skipped.
  void ApplyUpdate(const TRowUpdate& update);
  // Whether logging and the kind's own log box are both checked now.
  bool LogKindChecked(TItemKind kind) const;
  TChartSetup ChartSetup() const;

  TfrmOptions* frmOptions = nullptr;
  bool FShown = false;
  bool FConnecting = false;
  bool FPolling = false;
  QString FHostText;                // the host box's text of this connection
  QString FTarget;                  // host:port as asked
  QDateTime FLastAnswer;            // when the host last answered
  bool FFirstPoll = false;          // the next poll is the first of this connection
  QDateTime FFirstRateDue;          // when tmrFirstRate's reading is due
  uint64_t FConnectGeneration = 0;  // a passphrase answer for an older Connect is dropped
};
