#include "MainWindow.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QDBusConnection>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "AboutBox.h"
#include "AlertHistory.h"
#include "Computations.h"
#include "Dialogs.h"
#include "FileEdit.h"
#include "HelpLinks.h"
#include "HistoryFeed.h"
#include "HistoryWriter.h"
#include "Icons.h"
#include "OptionsDialog.h"
#include "UdpTransport.h"
#include "ValueText.h"
#include "ViewTexts.h"

TForm1::TForm1(const QString& executablePath, QWidget* parent, TClock& clock)
    : QMainWindow(parent),
      Pollers(clock, [] { return std::make_unique<TUdpTransport>(); }),
      Settings(executablePath.isEmpty() ? QCoreApplication::applicationFilePath()
                                        : executablePath) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(ApplicationTitle);
  setWindowIcon(ActionIcon(5));
  QFont tahoma = font();
  tahoma.setPointSize(8);
  setFont(tahoma);
  resize(520, 461 + 50);

  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreatePages();
  CreateHostsPanel();
  PassphraseSource = std::make_unique<TPassphraseSource>(*Secrets);
  Pollers.AutoHeight = [this] { return frmOptions && frmOptions->chkAutoHeight->isChecked(); };
  Metrics.Render = [this] { return Pollers.RenderMetrics() + Alerts.RenderMetrics(); };
  lblStatus = new QLabel(statusBar());
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(lblStatus, 1);
  lblAlert = new QLabel(statusBar());
  lblAlert->setObjectName(QStringLiteral("lblAlert"));
  lblAlert->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(lblAlert);
  lblIdentity = new QLabel(statusBar());
  lblIdentity->setObjectName(QStringLiteral("lblIdentity"));
  lblIdentity->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(lblIdentity);
  lblHistory = new QLabel(statusBar());
  lblHistory->setObjectName(QStringLiteral("lblHistory"));
  lblHistory->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(lblHistory);
  lblHistory->hide();

  connect(&Alerts, &TAlerts::Changed, this, [this](TPoller* poller, const TAlertEvent& event) {
    Guarded([&] { AlertChanged(poller, event); });
  });
  connect(&Alerts, &TAlerts::StatesChanged, this, [this] { Guarded([this] { ShowAlerts(); }); });
  connect(Tray.get(), &TTrayIcon::ShowRequested, this, &TForm1::ShowFromTray);
  connect(Tray.get(), &TTrayIcon::ExitRequested, this, [this] {
    FExiting = true;
    close();
  });
  Tray->Show();
  SetNotifier(std::make_unique<TNotifier>(QDBusConnection::sessionBus()));
}

void TForm1::SetNotifier(std::unique_ptr<TNotifier> notifier) {
  FNotifier = std::move(notifier);
  NotifyAlerts(Alerts, *FNotifier);
  // The status bar tells every alert anyway; a tray message stands in for the notification.
  connect(
      FNotifier.get(), &TNotifier::Unsent, this,
      [this](const QString& summary, const QString& body) { Tray->ShowMessage(summary, body); });
}

TForm1::~TForm1() {
  ReleasePoller();
  LogFile.Close();
  // The panel's rows point at pollers the watch list is about to give back.
  delete dckHosts;
}

void TForm1::CreateActions() {
  struct TActionRow {
    QAction** Target;
    const char* Name;
    QString Caption;
    QKeySequence Shortcut;
    QString Hint;
    int Icon;
    QString Category;
  };
  const QString menus = QStringLiteral("Menus");
  const QString process = QStringLiteral("Process");
  const QString app = QStringLiteral("App");
  const TActionRow rows[] = {
      {&acConnect, "acConnect", "Connect", QKeySequence(Qt::ALT | Qt::Key_C), "Connect", 5, menus},
      {&acDisconnect, "acDisconnect", "Disconnect", QKeySequence(Qt::ALT | Qt::Key_D), "Disconnect",
       4, menus},
      {&axExit, "axExit", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X), "", 1, menus},
      {&acAbout, "acAbout", "About...", {}, "", 0, menus},
      {&acTesselby, "acTesselby", QString::fromLatin1(kMakerSiteCaption), {}, "", 2, menus},
      {&acRefresh, "acRefresh", "Refresh", QKeySequence(Qt::Key_F5), "", -1, menus},
      {&acOptions, "acOptions", "Options...", QKeySequence(Qt::ALT | Qt::Key_O), "Options", 6,
       menus},
      {&acHelp, "acHelp", "Help", {}, "", 3, menus},
      {&acProcessorUpdate, "acProcessorUpdate", "acProcessorUpdate", {}, "", -1, process},
      {&acInterfaceUpdate, "acInterfaceUpdate", "acInterfaceUpdate", {}, "", -1, process},
      {&acStorageUpdate, "acStorageUpdate", "acStorageUpdate", {}, "", -1, process},
      {&acLoadSettings, "acLoadSettings", "acLoadSettings", {}, "", -1, app},
      {&acSaveSettings, "acSaveSettings", "acSaveSettings", {}, "", -1, app},
      {&acWatch, "acWatch", "Watch This Host", {}, "Poll this host in the background", -1, menus},
      {&acStopWatching,
       "acStopWatching",
       "Stop Watching",
       {},
       "Stop polling this host in the background",
       -1,
       menus},
  };
  for (const TActionRow& row : rows) {
    auto* action = new QAction(row.Caption, this);
    action->setObjectName(QLatin1String(row.Name));
    action->setShortcut(row.Shortcut);
    action->setToolTip(row.Hint.isEmpty() ? QString(row.Caption).remove(QLatin1Char('&'))
                                          : row.Hint);
    action->setStatusTip(row.Hint);
    action->setProperty("category", row.Category);
    if (row.Icon >= 0) action->setIcon(ActionIcon(row.Icon));
    addAction(action);
    *row.Target = action;
  }
  acDisconnect->setEnabled(false);
  acWatch->setEnabled(false);
  acStopWatching->setEnabled(false);

  connect(acConnect, &QAction::triggered, this, [this] { Guarded([this] { Connect(); }); });
  connect(acDisconnect, &QAction::triggered, this, [this] { Guarded([this] { Disconnect(); }); });
  connect(axExit, &QAction::triggered, this, [this] {
    FExiting = true;
    close();
  });
  connect(acAbout, &QAction::triggered, this, [this] { Guarded([this] { ShowAbout(); }); });
  connect(acTesselby, &QAction::triggered, this, [this] { Guarded([] { OpenMakerSite(); }); });
  connect(acHelp, &QAction::triggered, this, [this] { Guarded([] { ShowHelpContext(100); }); });
  // The help key of the window leads to the same topic.
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, acHelp, &QAction::trigger);
  connect(acRefresh, &QAction::triggered, this, &TForm1::Timer1Timer);
  connect(acOptions, &QAction::triggered, this, [this] { Guarded([this] { RunOptions(); }); });
  // Each kind can also be polled on its own.
  connect(acProcessorUpdate, &QAction::triggered, this,
          [this] { PollKinds({TItemKind::Processor}); });
  connect(acInterfaceUpdate, &QAction::triggered, this,
          [this] { PollKinds({TItemKind::Interface}); });
  connect(acStorageUpdate, &QAction::triggered, this, [this] { PollKinds({TItemKind::Storage}); });
  connect(acLoadSettings, &QAction::triggered, this, [this] {
    Settings.Load({cbxCommunity, cbxHost, frmOptions, &FWatched});
  });
  connect(acSaveSettings, &QAction::triggered, this, [this] {
    std::vector<TWatchedHost> watched = WatchList.Hosts();
    Settings.Save({cbxCommunity, cbxHost, frmOptions, &watched});
  });
  connect(acWatch, &QAction::triggered, this, [this] { Guarded([this] { WatchShown(); }); });
  connect(acStopWatching, &QAction::triggered, this,
          [this] { Guarded([this] { StopWatchingShown(); }); });
}

void TForm1::CreateMenus() {
  QMenu* snmp = menuBar()->addMenu(QStringLiteral("SNMP"));
  snmp->setObjectName(QStringLiteral("mnuSNMP"));
  snmp->addAction(acConnect);
  snmp->addAction(acDisconnect);
  snmp->addSeparator();
  snmp->addAction(acWatch);
  snmp->addAction(acStopWatching);
  snmp->addSeparator();
  snmp->addAction(acOptions);
  snmp->addAction(acRefresh);
  snmp->addSeparator();
  snmp->addAction(axExit);
  QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  help->addAction(acHelp);
  help->addAction(acTesselby);
  help->addSeparator();
  help->addAction(acAbout);
}

void TForm1::CreateToolBar() {
  ToolBar2 = addToolBar(QStringLiteral("ToolBar2"));
  ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
  ToolBar2->setMovable(false);
  ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar2->setIconSize(QSize(20, 20));

  auto makeBox = [this](const char* name, const QString& hint) {
    auto* box = new QComboBox(ToolBar2);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setFixedWidth(125);
    box->setToolTip(hint);
    // Only the user's own edits and picks disconnect; changes made by code do not.
    connect(box->lineEdit(), &QLineEdit::textEdited, this,
            [this] { Guarded([this] { Disconnect(); }); });
    connect(box, &QComboBox::activated, this, [this] { Guarded([this] { Disconnect(); }); });
    box->view()->installEventFilter(this);
    return box;
  };
  cbxCommunity = makeBox("cbxCommunity", QStringLiteral("SNMP community name"));
  // Communities are case-sensitive: the box must not trade the typed one for a history entry.
  cbxCommunity->completer()->setCaseSensitivity(Qt::CaseSensitive);
  cbxHost = makeBox("cbxHost", QStringLiteral("SNMP community address or host name"));

  // Alt+C belongs to Connect, so the community label shows its mnemonic without taking it.
  auto* lblCommunity = new QLabel(QStringLiteral("<u>C</u>ommunity:&nbsp;"), ToolBar2);
  lblCommunity->setObjectName(QStringLiteral("lblCommunity"));
  auto* lblHost = new QLabel(QStringLiteral("&Host: "), ToolBar2);
  lblHost->setObjectName(QStringLiteral("lblHost"));
  lblHost->setBuddy(cbxHost);

  ToolBar2->addWidget(lblCommunity);
  ToolBar2->addWidget(cbxCommunity);
  ToolBar2->addSeparator();
  ToolBar2->addWidget(lblHost);
  ToolBar2->addWidget(cbxHost);
  ToolBar2->addSeparator();
  ToolBar2->addAction(acConnect);
  ToolBar2->addAction(acDisconnect);
  ToolBar2->addSeparator();
  ToolBar2->addAction(acOptions);
}

void TForm1::CreatePages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setDocumentMode(true);
  TScrollBox** boxes[] = {&ScrollBox1, &ScrollBox2, &ScrollBox3};
  QWidget** sheets[] = {&TabSheet1, &TabSheet2, &TabSheet3};
  const QString captions[] = {QStringLiteral("Processor"), QStringLiteral("Interface"),
                              QStringLiteral("Storage")};
  for (int i = 0; i < 3; ++i) {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* box = new TScrollBox(sheet);
    box->setObjectName(QStringLiteral("ScrollBox%1").arg(i + 1));
    layout->addWidget(box);
    PageControl1->addTab(sheet, captions[i]);
    *sheets[i] = sheet;
    *boxes[i] = box;
  }
  PageControl1->setCurrentIndex(0);
  setCentralWidget(PageControl1);
}

void TForm1::CreateHostsPanel() {
  dckHosts = new QDockWidget(QStringLiteral("Hosts"), this);
  dckHosts->setObjectName(QStringLiteral("dckHosts"));
  dckHosts->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  tblHosts = new QTableView(dckHosts);
  tblHosts->setObjectName(QStringLiteral("tblHosts"));
  HostsModel = new THostsModel(tblHosts);
  auto* sorted = new QSortFilterProxyModel(tblHosts);
  sorted->setSourceModel(HostsModel);
  sorted->setSortRole(THostsModel::SortRole);
  sorted->setSortCaseSensitivity(Qt::CaseInsensitive);
  tblHosts->setModel(sorted);
  tblHosts->setSortingEnabled(true);
  tblHosts->sortByColumn(THostsModel::ColHost, Qt::AscendingOrder);
  tblHosts->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblHosts->setSelectionMode(QAbstractItemView::SingleSelection);
  tblHosts->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblHosts->setShowGrid(false);
  tblHosts->setWordWrap(false);
  tblHosts->verticalHeader()->hide();
  QHeaderView* header = tblHosts->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::ResizeToContents);
  header->setSectionResizeMode(THostsModel::ColHost, QHeaderView::Stretch);
  tblHosts->verticalHeader()->setDefaultSectionSize(tblHosts->fontMetrics().height() + 6);
  dckHosts->setWidget(tblHosts);
  addDockWidget(Qt::LeftDockWidgetArea, dckHosts);
  dckHosts->hide();
  // Enter or a double-click.
  connect(tblHosts, &QAbstractItemView::activated, this, [this, sorted](const QModelIndex& index) {
    Guarded([&] {
      if (TPoller* poller = HostsModel->Poller(sorted->mapToSource(index).row()))
        ShowWatched(*poller);
    });
  });
  connect(&WatchList, &TWatchList::Added, this, [this](TPoller* poller) {
    HostsModel->Add(poller);
    HostsModel->SetAlertCount(poller, Alerts.Count(*poller));
    dckHosts->show();
  });
  connect(&WatchList, &TWatchList::Removed, this, [this](TPoller* poller) {
    HostsModel->Remove(poller);
    dckHosts->setVisible(HostsModel->rowCount() > 0);
  });
  connect(&Alerts, &TAlerts::CountChanged, HostsModel,
          [this](TPoller* poller, int count) { HostsModel->SetAlertCount(poller, count); });
  connect(&WatchList, &TWatchList::PassphrasesWanted, this,
          [this](TPoller* poller) { ReadWatchedPassphrases(poller); });
}

template <class F>
void TForm1::Guarded(F&& command) noexcept {
  try {
    command();
  } catch (const std::exception& e) {
    ShowError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowError(QStringLiteral("Unknown error."));
  }
}

void TForm1::ShowError(const QString& message) noexcept {
  try {
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    MessageBoxes().Error(this, text);
  } catch (...) {
  }
}

void TForm1::SetCaption(const QString& caption) {
  ApplicationTitle = caption;
  setWindowTitle(caption);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  Guarded([this] { FormShow(); });
}

void TForm1::FormShow() {
  acLoadSettings->trigger();
  ApplyAlertRules();
  ServeMetrics();
  UpdateCommunityBox();
  StartWatching();
  if (cbxCommunity->count() > 0) {
    cbxCommunity->setCurrentIndex(0);
  } else {
    cbxCommunity->setEditText(QStringLiteral("pewter"));
  }
  if (cbxHost->count() > 0) {
    cbxHost->setCurrentIndex(0);
  } else {
    cbxHost->setEditText(QStringLiteral("127.0.0.1"));
  }
  OpenHistory();
}

void TForm1::UseHistory(THistoryWriter& writer, const QString& path) {
  FHistoryWriter = &writer;
  FHistory.Path = path;
  // Every poller feeds it, shown or not.
  new THistoryFeed(Pollers, writer, this);
  // And the alerts' firings and clearings, which the long views mark.
  KeepAlertEvents(Alerts, writer);
  connect(&writer, &THistoryWriter::Failed, this,
          [this](const QString& text) { ShowHistoryProblem(text, true); });
  if (FShown) OpenHistory();
}

void TForm1::OpenHistory() {
  if (!FHistoryWriter) return;
  FHistoryWriter->SetKeepDays(frmOptions->HistoryDays());
  FHistoryWriter->Open(FHistory.Path);
}

void TForm1::ShowHistoryProblem(const QString& text, bool off) {
  // The first reason stands, as what follows from it would only hide it; but history not kept at
  // all is told over history not shown.
  if (text.isEmpty() || FHistoryOff || (!off && !lblHistory->text().isEmpty())) return;
  FHistoryOff = off;
  lblHistory->setText(text);
  lblHistory->show();
}

void TForm1::closeEvent(QCloseEvent* event) {
  const bool exiting = std::exchange(FExiting, false);
  if (!exiting && frmOptions && Tray->KeepsRunningOnClose(frmOptions->KeepInTray())) {
    // Polling goes on out of sight; the tray icon brings the window back or ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    acSaveSettings->trigger();
    event->accept();
    return;
  }
  ReleasePoller();
  LogFile.Close();
  acSaveSettings->trigger();
  event->accept();
  // Ended from the tray while hidden: no last window closes to end the program.
  if (!QGuiApplication::quitOnLastWindowClosed()) QCoreApplication::quit();
}

void TForm1::ShowFromTray() {
  QGuiApplication::setQuitOnLastWindowClosed(true);
  showNormal();
  raise();
  activateWindow();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // Delete in a dropped-down history list removes the highlighted entry.
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    for (QComboBox* box : {cbxCommunity, cbxHost}) {
      if (box && watched == box->view()) {
        const int row = box->view()->currentIndex().row();
        if (row < 0) continue;
        const QString before = box->currentText();
        box->removeItem(row);
        // Removing the current entry puts another text in the box: that is an edit too.
        if (box->currentText() != before) Guarded([this] { Disconnect(); });
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::SetStatus(const QString& text) {
  lblStatus->setText(text);
}

void TForm1::Connect() {
  if (Busy() || !acConnect->isEnabled()) return;
  Logging = frmOptions->chkLog->isChecked();
  if (Logging) {
    const QString path = frmOptions->feFile->text();
    const bool append = frmOptions->LogAppend();
    try {
      if (!append && QFileInfo::exists(path) &&
          !MessageBoxes().Confirm(this, QStringLiteral("Overwrite %1?").arg(path))) {
        throw std::runtime_error(QStringLiteral("Cannot overwrite %1.").arg(path).toStdString());
      }
      LogFile.Open(path, append);
    } catch (const std::exception& e) {
      MessageBoxes().Error(this, QString::fromLocal8Bit(e.what()));
      return;
    }
  }

  TPollerSettings settings;
  try {
    settings = OptionSettings();
  } catch (const std::exception& e) {
    FailConnect(QString::fromLocal8Bit(e.what()));
    return;
  }
  settings.Host = cbxHost->currentText();
  settings.Community = cbxCommunity->currentText().toStdString();
  // While it connects, Disconnect (and any edit of the two boxes) cancels it.
  acConnect->setEnabled(false);
  acDisconnect->setEnabled(true);
  FToolBar = true;
  // A watched host's poller is shared: it reconnects with these settings, and is watched with
  // them from now on.
  TPoller& poller = Pollers.Hold(settings);
  FPoller = &poller;
  ShowPoller(poller);
  FLogLink = connect(&poller, &TPoller::ItemUpdated, this,
                     [this](const TRowUpdate& update) { Guarded([&] { LogUpdate(update); }); });
  FConnectLinks = {
      connect(&poller, &TPoller::PassphrasesNeeded, this,
              [this] { Guarded([this] { AskPassphrases(); }); }),
      connect(&poller, &TPoller::Answered, this, [this] { Guarded([this] { Answered(); }); }),
      connect(&poller, &TPoller::ConnectFinished, this,
              [this](const TConnectOutcome& outcome) { Guarded([&] { ConnectEnded(outcome); }); })};
  SetStatus(QStringLiteral("Connecting to %1...").arg(settings.Host));
  poller.Connect();
}

void TForm1::AskPassphrases() {
  // SNMPv3: the passphrases come from the keyring, or else from the user.
  const TConnectionSettings settings = FPoller->Settings().Connection;
  QPointer<TPoller> poller = FPoller.data();
  PassphraseSource->RequestPassphrases(
      settings.SecurityName, FPoller->Host(), settings.SecurityLevel, this,
      [this, poller](const TPassphraseAnswer& answer) {
        if (!poller || poller != FPoller ||
            poller->Status().State != TPollerState::PassphraseNeeded) {
          return;
        }
        if (answer.Cancelled) {
          // A watched host shown from the panel stays shown, still waiting.
          if (FToolBar) AbandonConnect(QString());
          return;
        }
        Guarded([&] {
          try {
            poller->SetPassphrases(answer.Passphrases.Authentication, answer.Passphrases.Privacy);
          } catch (...) {
            if (FToolBar) AbandonConnect(QString());
            throw;
          }
        });
      });
}

void TForm1::Answered() {
  // The agent authenticated the passphrases: now they may replace the stored ones.
  PassphraseSource->Accepted();
  UpdateHistory(cbxCommunity);
  UpdateHistory(cbxHost);
  // Rows are built out of sight: showing each control in a visible window costs a pass over
  // every widget already there.
  for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) box->Rows()->hide();
}

void TForm1::ConnectEnded(const TConnectOutcome& outcome) {
  const QString status =
      StatusText(FPoller->Status(), FPoller->Host(), FPoller->Target(), QLocale::system());
  switch (outcome.Kind) {
    case TConnectOutcome::Connected:
      FinishConnect();
      return;
    case TConnectOutcome::HostNotFound:
      // The status bar tells it before the box opens.
      AbandonConnect(status);
      ShowError(status);
      return;
    case TConnectOutcome::OpenFailed:
      AbandonConnect(status);
      ShowError(outcome.Text);
      return;
    case TConnectOutcome::SendFailed:
    case TConnectOutcome::Report:
      // Anyone who saw the request can forge this report: the keyring keeps its passphrases,
      // and the next Connect asks for them.
      if (outcome.ReportKind == TUsmReport::WrongDigest) PassphraseSource->Rejected();
      ShowError(outcome.Text);
      AbandonConnect(status);
      return;
    case TConnectOutcome::Failed:
      FailConnect(outcome.Text);
      return;
    default:
      AbandonConnect(status);
      return;
  }
}

void TForm1::FinishConnect() {
  for (const QMetaObject::Connection& link : FConnectLinks) disconnect(link);
  FConnectLinks.clear();
  RecallHistory();
  ShowNoRows();
  SetCaption(QStringLiteral("Corvane - ") + FPoller->Host());
  UpdateWatchActions();
  emit ConnectFinished();
}

void TForm1::ShowNoRows() {
  // A tab without rows says why.
  const std::pair<TScrollBox*, const char*> empty[] = {
      {ScrollBox1, "This host reports no processors."},
      {ScrollBox2, "This host reports no network interfaces."},
      {ScrollBox3, "This host reports no storage areas of the kinds shown here."}};
  for (const auto& [box, text] : empty) {
    if (box->RowCount() == 0) box->ShowNoRows(QString::fromLatin1(text));
    box->Rows()->show();
  }
}

void TForm1::AbandonConnect(const QString& status) {
  // A log opened for a connection that never started is closed again, so the next Connect
  // can reopen it.
  LogFile.Close();
  Disconnect();
  SetStatus(status);
  emit ConnectFinished();
}

void TForm1::FailConnect(const QString& message) {
  MessageBoxes().Plain(this, message);
  LogFile.Close();
  Logging = false;
  Disconnect();
  emit ConnectFinished();
}

void TForm1::Disconnect() {
  PassphraseSource->Cancel();
  ReleasePoller();
  FToolBar = FShownConnected = false;
  if (Logging) LogFile.Close();
  lblIdentity->clear();
  for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) {
    box->DestroyRows();
    box->Rows()->show();
  }
  FHistory.Clear();
  ShowAlerts();
  acConnect->setEnabled(true);
  acDisconnect->setEnabled(false);
  SetCaption(QStringLiteral("Corvane"));
  SetStatus(QString());
  UpdateWatchActions();
}

void TForm1::ReleasePoller() {
  for (auto* links : {&FViewLinks, &FConnectLinks}) {
    for (const QMetaObject::Connection& link : *links) disconnect(link);
    links->clear();
  }
  disconnect(FLogLink);
  // The registry stops it, unless the host is also held elsewhere (watched, say).
  if (FPoller) Pollers.Release(*FPoller);
  FPoller = nullptr;
}

void TForm1::ShowPoller(TPoller& poller) {
  for (const QMetaObject::Connection& link : FViewLinks) disconnect(link);
  FViewLinks.clear();
  if (FPoller != &poller) {
    // The window holds what it shows, so that it keeps polling while shown.
    Pollers.Hold(poller);
    if (FPoller) Pollers.Release(*FPoller);
    FPoller = &poller;
  }
  // Built out of sight, as at discovery.
  for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) {
    box->DestroyRows();
    box->Rows()->hide();
  }
  FHistory.Clear();
  for (const TItemView& item : poller.Items()) {
    CreateRows(item.Row);
    if (item.Last) ShowUpdate(*item.Last);
  }
  // Its charts show what the store has from before its own points; a poller that is still to
  // discover its items is read once it has.
  RecallHistory();
  if (poller.Connected()) {
    ShowNoRows();
    SetCaption(QStringLiteral("Corvane - ") + poller.Host());
  } else {
    for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) box->Rows()->show();
    SetCaption(QStringLiteral("Corvane"));
  }
  ShowStatus();
  ShowAlerts();
  FViewLinks = {connect(&poller, &TPoller::RowDiscovered, this,
                        [this](const TRowSpec& row) { Guarded([&] { CreateRows(row); }); }),
                connect(&poller, &TPoller::RowRenamed, this,
                        [this](const TRowSpec& row) {
                          Guarded([&] {
                            if (auto* caption = BoxOf(row.Kind)->Named<QLabel>(
                                    CaptionName(row.Kind, row.Index)))
                              SetCaptionText(caption, row.Caption);
                          });
                        }),
                connect(&poller, &TPoller::ItemUpdated, this,
                        [this](const TRowUpdate& update) { Guarded([&] { ShowUpdate(update); }); }),
                connect(&poller, &TPoller::PollFinished, this,
                        [this](const TPollResult& result) { Guarded([&] { EndPoll(result); }); }),
                connect(&poller, &TPoller::StatusChanged, this,
                        [this] { Guarded([this] { FollowStatus(); }); })};
  UpdateWatchActions();
}

void TForm1::ShowWatched(TPoller& poller) {
  if (FPoller != &poller) {
    // Another host on the screen ends the tool-bar connection as an edit of the boxes does, and
    // its log with it; the log is of tool-bar connections only.
    Disconnect();
    acConnect->setEnabled(false);
    acDisconnect->setEnabled(true);
    ShowPoller(poller);
    FShownConnected = poller.Connected();
    // Set by code, which the boxes do not take for the user's edit.
    cbxHost->setEditText(poller.Host());
    if (poller.Settings().Connection.Version != TSnmpVersion::V3)
      cbxCommunity->setEditText(QString::fromStdString(poller.Settings().Community));
    // Passphrases asked for here are judged by the agent as at a Connect of the tool bar.
    FConnectLinks = {
        connect(&poller, &TPoller::Answered, this,
                [this] { Guarded([this] { PassphraseSource->Accepted(); }); }),
        connect(&poller, &TPoller::ConnectFinished, this, [this](const TConnectOutcome& outcome) {
          if (outcome.ReportKind == TUsmReport::WrongDigest &&
              outcome.Kind == TConnectOutcome::Report)
            PassphraseSource->Rejected();
        })};
  }
  // Shown, a host whose Connect failed is tried at once rather than at its next try.
  if (poller.Status().State == TPollerState::Failed) poller.Connect();
  if (poller.Status().State == TPollerState::PassphraseNeeded) AskPassphrases();
}

void TForm1::FollowStatus() {
  UpdateWatchActions();
  if (FToolBar || !FPoller) return;
  TPoller& poller = *FPoller;
  ShowStatus();
  if (poller.Connected()) {
    if (std::exchange(FShownConnected, true)) return;
    RecallHistory();
    ShowNoRows();
    SetCaption(QStringLiteral("Corvane - ") + poller.Host());
    return;
  }
  // A new Connect, or one that failed, has no rows yet: the window shows none either.
  if (poller.Status().State != TPollerState::Connecting || FShownConnected) {
    for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) box->DestroyRows();
    FHistory.Clear();
  }
  FShownConnected = false;
  SetCaption(QStringLiteral("Corvane"));
}

TPollerSettings TForm1::OptionSettings() const {
  TPollerSettings settings;
  settings.Connection = frmOptions->ConnectionSettings();
  settings.TimeoutMs = ReceiveTimeoutMs;
  settings.IntervalMinutes = StrToInt(frmOptions->cbxInterval->currentText().toStdString());
  settings.GraphLength = ChartSetup().GraphLength;
  return settings;
}

void TForm1::StartWatching() {
  const TPollerSettings base = OptionSettings();
  for (const TWatchedHost& host : std::exchange(FWatched, {}))
    WatchList.Watch(WatchedSettings(host, base));
}

void TForm1::ReadWatchedPassphrases(TPoller* poller) {
  const TConnectionSettings& connection = poller->Settings().Connection;
  ReadStoredPassphrases(
      *Secrets, {connection.SecurityName, poller->Host()}, connection.SecurityLevel, poller,
      [this, poller](const std::optional<TSnmpPassphrases>& found) {
        // Without them it waits, "passphrase needed", until the user shows it.
        if (!found || poller->Status().State != TPollerState::PassphraseNeeded) return;
        Guarded([&] { poller->SetPassphrases(found->Authentication, found->Privacy); });
      });
}

void TForm1::WatchShown() {
  if (!FPoller || !FPoller->Connected() || WatchList.Find(FPoller->Host())) return;
  WatchList.Watch(FPoller->Settings());
  UpdateWatchActions();
}

void TForm1::StopWatchingShown() {
  if (FPoller) WatchList.Unwatch(FPoller->Host());
  UpdateWatchActions();
}

void TForm1::UpdateWatchActions() {
  const bool watched = FPoller && WatchList.Find(FPoller->Host()) == FPoller;
  acWatch->setEnabled(FPoller && FPoller->Connected() && !watched);
  acStopWatching->setEnabled(watched);
}

void TForm1::UpdateHistory(QComboBox* box) {
  const QString text = box->currentText();
  // Host names ignore case; communities do not.
  const Qt::MatchFlags match =
      box == cbxCommunity ? Qt::MatchExactly | Qt::MatchCaseSensitive : Qt::MatchFixedString;
  const int found = box->findText(text, match);
  if (found < 0) {
    box->insertItem(0, text);
  } else if (found > 0) {
    const QString entry = box->itemText(found);
    box->removeItem(found);
    box->insertItem(0, entry);
  }
  box->setCurrentIndex(0);
}

TChartSetup TForm1::ChartSetup() const {
  return {SeriesKindForType(frmOptions->cbxType->currentIndex()),
          static_cast<int>(StrToInt(frmOptions->cbxGraph->currentText().toStdString()))};
}

bool TForm1::LogKindChecked(TItemKind kind) const {
  if (!frmOptions->chkLog->isChecked()) return false;
  switch (kind) {
    case TItemKind::Processor:
      return frmOptions->chkProcessor->isChecked();
    case TItemKind::Interface:
      return frmOptions->chkInterface->isChecked();
    case TItemKind::Storage:
      return frmOptions->chkStorage->isChecked();
  }
  return false;
}

TScrollBox* TForm1::BoxOf(TItemKind kind) const {
  switch (kind) {
    case TItemKind::Processor:
      return ScrollBox1;
    case TItemKind::Interface:
      return ScrollBox2;
    case TItemKind::Storage:
      return ScrollBox3;
  }
  return ScrollBox1;
}

void TForm1::CreateRows(const TRowSpec& rowSpec) {
  TScrollBox* box = BoxOf(rowSpec.Kind);
  const int count = box->RowCount();
  const TRowControls row =
      CreateRow(box, rowSpec.Kind, rowSpec.Index, RowHeight * count, rowSpec.Caption, ChartSetup());
  connect(row.Chart, &QWidget::customContextMenuRequested, this,
          [this, kind = rowSpec.Kind, index = rowSpec.Index](const QPoint& pos) {
            Guarded([&] { ShowChartMenu(kind, index, pos); });
          });
  const int valueTop = row.Gauge->y() + row.Gauge->height() + 4;
  if (rowSpec.Kind == TItemKind::Interface) {
    QLabel* value = CreateValueLabel(box, QStringLiteral("lblInterfaceVal%1").arg(rowSpec.Index),
                                     valueTop, Qt::AlignHCenter);
    const int labelHeight = value->height();
    CreateValueLabel(box, QStringLiteral("lblInterfaceIn%1").arg(rowSpec.Index),
                     valueTop + labelHeight, Qt::AlignLeft, InColor);
    CreateValueLabel(box, QStringLiteral("lblInterfaceOut%1").arg(rowSpec.Index),
                     valueTop + 2 * labelHeight, Qt::AlignLeft, OutColor);
  } else if (rowSpec.Kind == TItemKind::Storage) {
    row.Chart->LeftAxis.Maximum = rowSpec.AxisMaximum;
    QLabel* avail = CreateValueLabel(box, QStringLiteral("lblStorageAvail%1").arg(rowSpec.Index),
                                     valueTop, Qt::AlignLeft);
    CreateValueLabel(box, QStringLiteral("lblStorageUsed%1").arg(rowSpec.Index),
                     valueTop + avail->height(), Qt::AlignLeft);
  }
  box->SetRowCount(count + 1);
}

void TForm1::ShowUpdate(const TRowUpdate& update) {
  const TScrollBox* rows = BoxOf(update.Kind);
  auto* gauge = rows->Named<TGauge>(GaugeName(update.Kind, update.Index));
  if (!gauge) return;
  if (update.Gauge) {
    gauge->SetPosition(*update.Gauge);
  } else {
    gauge->ClearPosition();
  }
  for (const auto& [name, text] : ValueLabels(update, QLocale::system())) {
    if (auto* label = rows->Named<QLabel>(name)) SetValueText(label, text);
  }
  if (update.History) ShowHistory(update.Kind, update.Index, *update.History);
}

void TForm1::ShowHistory(TItemKind kind, int32_t index, const TItemHistory& history) {
  auto* chart = BoxOf(kind)->Named<TChart>(ChartName(kind, index));
  if (!chart) return;
  ShowHistoryProblem(FHistory.Draw(*chart, history, Pollers.Clock().Now()));
  ShowAlertEvents(kind, index);
}

void TForm1::RecallHistory() {
  const std::vector<TItemView> items = FPoller->Items();
  if (items.empty()) return;
  const TPollerSettings& settings = FPoller->Settings();
  ShowHistoryProblem(FHistory.Recall(FPoller->Host(), items, settings.GraphLength,
                                     settings.IntervalMinutes, Pollers.Clock().Now()));
  for (const TItemView& item : items) ShowHistory(item.Row.Kind, item.Row.Index, *item.History);
}

void TForm1::ShowChartMenu(TItemKind kind, int32_t index, const QPoint& pos) {
  auto* chart = BoxOf(kind)->Named<TChart>(ChartName(kind, index));
  if (!chart) return;
  // Not modal: polls go on while it is open, and it goes when it closes.
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("mnuChartView"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  auto* spans = new QActionGroup(menu);
  const TChartSpan shown = FHistory.Span(*chart);
  for (const TChartSpan span :
       {TChartSpan::GraphLength, TChartSpan::Day, TChartSpan::Week, TChartSpan::Month}) {
    QAction* action = menu->addAction(SpanText(span));
    action->setCheckable(true);
    action->setChecked(span == shown);
    spans->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, kind, index, span] { Guarded([&] { SetChartSpan(kind, index, span); }); });
  }
  menu->popup(chart->mapToGlobal(pos));
}

void TForm1::SetChartSpan(TItemKind kind, int32_t index, TChartSpan span) {
  auto* chart = BoxOf(kind)->Named<TChart>(ChartName(kind, index));
  if (!chart || !FPoller) return;
  for (const TItemView& item : FPoller->Items()) {
    if (item.Row.Kind != kind || item.Row.Index != index) continue;
    ShowHistoryProblem(FHistory.SetSpan(*chart, span, FPoller->Host(), item.Row, *item.History,
                                        Pollers.Clock().Now()));
    ShowAlertEvents(kind, index);
    return;
  }
}

void TForm1::ShowAlertEvents(TItemKind kind, int32_t index) {
  auto* chart = BoxOf(kind)->Named<TChart>(ChartName(kind, index));
  if (!chart || !FPoller) return;
  chart->Events.clear();
  // A long view marks what the store kept, of earlier runs too.
  if (FHistory.Span(*chart) != TChartSpan::GraphLength) {
    chart->Events = FHistory.LongViewEvents(*chart);
    chart->update();
    return;
  }
  // Time before the chart's right edge, in the units its points count.
  const QDateTime zero =
      chart->TimeAtZero.isValid() ? chart->TimeAtZero : FPoller->Status().LastPoll;
  if (zero.isValid()) {
    const QLocale locale = QLocale::system();
    for (const TAlertEvent& event : Alerts.Events(*FPoller)) {
      const std::optional<TItemKind> on = ItemKindOf(event.Change.Alert.Kind);
      if (on && (*on != kind || event.Change.Alert.Index != index)) continue;
      const double x =
          static_cast<double>(event.Time.msecsTo(zero)) / (chart->UnitSeconds * 1000.0);
      if (x < 0 || x > chart->BottomAxis.Maximum) continue;
      chart->Events.push_back(
          {x, AlertText(event.Change, event.Host, locale),
           event.Change.Change == TAlertChangeKind::Fired ? AlertColor : ClearedColor});
    }
  }
  chart->update();
}

void TForm1::AlertChanged(TPoller* poller, const TAlertEvent& event) {
  FLastAlertEvent = event;
  if (poller != FPoller) return;
  if (const std::optional<TItemKind> kind = ItemKindOf(event.Change.Alert.Kind)) {
    ShowAlertEvents(*kind, event.Change.Alert.Index);
    return;
  }
  for (const TItemView& item : poller->Items()) ShowAlertEvents(item.Row.Kind, item.Row.Index);
}

void TForm1::ShowAlerts() {
  // The shown host's rows in alert, and how many there are on each tab.
  std::set<std::pair<TItemKind, int32_t>> inAlert;
  if (FPoller) {
    for (const TAlert& alert : Alerts.Standing(*FPoller))
      if (const std::optional<TItemKind> kind = ItemKindOf(alert.Kind))
        inAlert.emplace(*kind, alert.Index);
  }
  std::map<TItemKind, int> counts;
  for (const TItemView& item : FPoller ? FPoller->Items() : std::vector<TItemView>{}) {
    const bool alert = inAlert.contains({item.Row.Kind, item.Row.Index});
    if (auto* caption =
            BoxOf(item.Row.Kind)->Named<QLabel>(CaptionName(item.Row.Kind, item.Row.Index)))
      SetCaptionAlert(caption, alert);
    counts[item.Row.Kind] += alert ? 1 : 0;
  }
  const QLocale locale = QLocale::system();
  for (const TItemKind kind : {TItemKind::Processor, TItemKind::Interface, TItemKind::Storage}) {
    const int count = counts[kind];
    PageControl1->setTabText(
        PageControl1->indexOf(BoxOf(kind)->parentWidget()),
        count > 0 ? QStringLiteral("%1 (%2)").arg(KindName(kind), locale.toString(count))
                  : KindName(kind));
  }

  // The newest alert of any host, or while none stands, the last that cleared.
  QStringList standing;
  QString newest;
  QDateTime newestTime;
  const auto text = [&locale](const QString& host, const TAlertChange& change) {
    const QString said = AlertText(change, host, locale);
    return change.Alert.Kind == TAlertKind::NoAnswer ? said : OneLine(host) + ": " + said;
  };
  for (const TPoller* poller : Pollers.All()) {
    for (const TAlert& alert : Alerts.Standing(*poller)) {
      standing << text(poller->Host(), {TAlertChangeKind::Fired, alert});
      if (newest.isEmpty() || alert.Fired >= newestTime) {
        newest = standing.back();
        newestTime = alert.Fired;
      }
    }
  }
  if (standing.isEmpty() && FLastAlertEvent && Pollers.Find(FLastAlertEvent->Host))
    newest = text(FLastAlertEvent->Host, FLastAlertEvent->Change);
  lblAlert->setText(newest);
  lblAlert->setToolTip(standing.isEmpty() ? QString() : PlainToolTip(standing.join('\n')));
  QPalette palette;
  if (!standing.isEmpty()) palette.setColor(QPalette::WindowText, AlertColor);
  lblAlert->setPalette(palette);
  Tray->SetStates(Alerts.States());
}

void TForm1::ApplyAlertRules() {
  Alerts.SetRules(frmOptions->AlertRules());
}

void TForm1::LogUpdate(const TRowUpdate& update) {
  if (update.Log.empty() || !LogKindChecked(update.Kind)) return;
  const QDateTime now = Pollers.Clock().Now().toLocalTime();
  const QLocale locale = QLocale::system();
  for (const TLogLine& line : update.Log) {
    LogFile.WriteRow(now, line.Tag, line.Item, LogValueText(line, locale));
  }
}

void TForm1::Timer1Timer() {
  // Refresh while not connected, or while a poll is under way, does nothing.
  if (FPoller) FPoller->Refresh();
}

void TForm1::PollKinds(const std::vector<TItemKind>& kinds) {
  if (FPoller) FPoller->Poll(kinds);
}

void TForm1::ShowStatus() {
  SetStatus(StatusText(FPoller->Status(), FPoller->Host(), FPoller->Target(), QLocale::system()));
  const TDeviceIdentity& identity = FPoller->Identity();
  lblIdentity->setText(IdentityText(identity.Name, identity.Descr, identity.UpTime));
}

void TForm1::EndPoll(const TPollResult& result) {
  ShowStatus();
  // The error box of a poll keeps the next ticks away until it is closed.
  if (!result.Error.isEmpty()) ShowError(result.Error);
  emit PollFinished();
}

void TForm1::RunOptions() {
  const TOptionsSnapshot before = frmOptions->Snapshot();
  const int keptDays = frmOptions->HistoryDays();
  frmOptions->exec();
  // Fewer days kept take effect now, for the values stored so far as well.
  if (FHistoryWriter && frmOptions->HistoryDays() != keptDays) {
    FHistoryWriter->SetKeepDays(frmOptions->HistoryDays());
    FHistoryWriter->RemoveOld();
  }
  ApplyAlertRules();
  ServeMetrics();
  UpdateCommunityBox();
  if (!(frmOptions->Snapshot() == before) && !acConnect->isEnabled()) {
    MessageBoxes().Information(
        this, QStringLiteral("Changes will not be applied to active connections."));
  }
}

void TForm1::ServeMetrics() {
  const QString error = Metrics.Serve(frmOptions->MetricsAddress());
  if (!error.isEmpty()) MessageBoxes().Error(this, error);
}

void TForm1::UpdateCommunityBox() {
  // Version 3 has users instead of communities.
  cbxCommunity->setEnabled(frmOptions->ConnectionSettings().Version != TSnmpVersion::V3);
}

void TForm1::ShowAbout() {
  auto box = std::make_unique<TAboutBox2>(this);
  box->ProductName->setText(QStringLiteral("Corvane"));
  box->exec();
}
