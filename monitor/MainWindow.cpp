#include "MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScopeGuard>
#include <QShortcut>
#include <array>
#include <exception>

#include "AboutBox.h"
#include "Computations.h"
#include "Dialogs.h"
#include "FileEdit.h"
#include "HelpLinks.h"
#include "Icons.h"
#include "OptionsDialog.h"
#include "SnmpQueries.h"

TForm1::TForm1(const QString& executablePath, QWidget* parent)
    : QMainWindow(parent),
      Settings(executablePath.isEmpty() ? QCoreApplication::applicationFilePath()
                                        : executablePath) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(ApplicationTitle);
  setWindowIcon(ActionIcon(5));
  QFont tahoma = font();
  tahoma.setPointSize(8);
  setFont(tahoma);
  resize(520, 461 + 50);

  IdSNMP1.SetReceiveTimeout(5000);
  IdSNMP1.SetCommunity("pewter");

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(60000);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreatePages();
}

TForm1::~TForm1() {
  Timer1->stop();
  LogFile.Close();
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

  connect(acConnect, &QAction::triggered, this, [this] { Guarded([this] { Connect(); }); });
  connect(acDisconnect, &QAction::triggered, this, [this] { Guarded([this] { Disconnect(); }); });
  connect(axExit, &QAction::triggered, this, &QWidget::close);
  connect(acAbout, &QAction::triggered, this, [this] { Guarded([this] { ShowAbout(); }); });
  connect(acTesselby, &QAction::triggered, this, [this] { Guarded([] { OpenMakerSite(); }); });
  connect(acHelp, &QAction::triggered, this, [this] { Guarded([] { ShowHelpContext(100); }); });
  // The help key of the window leads to the same topic.
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, acHelp, &QAction::trigger);
  connect(acRefresh, &QAction::triggered, this, &TForm1::Timer1Timer);
  connect(acOptions, &QAction::triggered, this, [this] { Guarded([this] { RunOptions(); }); });
  connect(acProcessorUpdate, &QAction::triggered, this,
          [this] { Guarded([this] { acProcessorUpdateExecute(); }); });
  connect(acInterfaceUpdate, &QAction::triggered, this,
          [this] { Guarded([this] { acInterfaceUpdateExecute(); }); });
  connect(acStorageUpdate, &QAction::triggered, this,
          [this] { Guarded([this] { acStorageUpdateExecute(); }); });
  connect(acLoadSettings, &QAction::triggered, this, [this] {
    Settings.Load({cbxCommunity, cbxHost, frmOptions});
  });
  connect(acSaveSettings, &QAction::triggered, this, [this] {
    Settings.Save({cbxCommunity, cbxHost, frmOptions});
  });
}

void TForm1::CreateMenus() {
  QMenu* snmp = menuBar()->addMenu(QStringLiteral("SNMP"));
  snmp->setObjectName(QStringLiteral("mnuSNMP"));
  snmp->addAction(acConnect);
  snmp->addAction(acDisconnect);
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
  UpdateCommunityBox();
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
}

void TForm1::closeEvent(QCloseEvent* event) {
  Timer1->stop();
  ProcessorList.Clear();
  InterfaceList.Clear();
  StorageList.Clear();
  LogFile.Close();
  acSaveSettings->trigger();
  event->accept();
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

void TForm1::Connect() {
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

  QString host;
  int port = 161;
  SplitHostPort(cbxHost->currentText(), host, port);
  IdSNMP1.SetCommunity(cbxCommunity->currentText().toStdString());
  IdSNMP1.SetHost(host.toStdString());
  IdSNMP1.SetPort(port);
  IdSNMP1.SetActive(true);

  bool answered = false;
  try {
    TSNMPInfo& query = IdSNMP1.QueryInfo();
    query.Reset();
    query.TargetPort = port;
    query.PduType = 160;
    answered = IdSNMP1.ExchangeQuery();
  } catch (...) {
    // A log opened for a connection that never started is closed again, so the next
    // Connect can reopen it.
    LogFile.Close();
    throw;
  }
  if (!answered) {
    LogFile.Close();
    return;
  }

  try {
    acConnect->setEnabled(false);
    acDisconnect->setEnabled(true);
    UpdateHistory(cbxCommunity);
    UpdateHistory(cbxHost);
    {
      // Rows are built out of sight: showing each control in a visible window costs a pass
      // over every widget already there.
      const std::array<QWidget*, 3> rows{ScrollBox1->Rows(), ScrollBox2->Rows(),
                                         ScrollBox3->Rows()};
      for (QWidget* page : rows) page->hide();
      const auto reveal = qScopeGuard([&rows] {
        for (QWidget* page : rows) page->show();
      });
      BuildStorage();
      BuildProcessors();
      BuildInterfaces();
    }
    QueryInterval = StrToInt(frmOptions->cbxInterval->currentText().toStdString());
    Timer1->setInterval(QueryInterval * 60 * 1000);
    if (!acConnect->isEnabled()) Timer1->start();
    SetCaption(QStringLiteral("Corvane - ") + cbxHost->currentText());
  } catch (const std::exception& e) {
    MessageBoxes().Plain(this, QString::fromLocal8Bit(e.what()));
    LogFile.Close();
    Logging = false;
    Timer1->stop();
    Disconnect();
  }
  if (Timer1->isActive()) Timer1Timer();
}

void TForm1::Disconnect() {
  if (Logging) LogFile.Close();
  Timer1->stop();
  ProcessorList.Clear();
  InterfaceList.Clear();
  StorageList.Clear();
  for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) box->DestroyRows();
  acConnect->setEnabled(true);
  acDisconnect->setEnabled(false);
  SetCaption(QStringLiteral("Corvane"));
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

void TForm1::Timer1Timer() {
  // A poll waiting in an error box lets the timer fire again; that tick is skipped rather
  // than stacking another poll (and another box) on top of it.
  if (FPolling) return;
  FPolling = true;
  Guarded([this] { Poll(); });
  FPolling = false;
}

void TForm1::Poll() {
  acProcessorUpdateExecute();
  acInterfaceUpdateExecute();
  acStorageUpdateExecute();
}

void TForm1::RunOptions() {
  const TOptionsSnapshot before = frmOptions->Snapshot();
  frmOptions->exec();
  UpdateCommunityBox();
  if (!(frmOptions->Snapshot() == before) && !acConnect->isEnabled()) {
    MessageBoxes().Information(
        this, QStringLiteral("Changes will not be applied to active connections."));
  }
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
