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
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "AboutBox.h"
#include "Clock.h"
#include "Computations.h"
#include "Dialogs.h"
#include "FileEdit.h"
#include "HelpLinks.h"
#include "Icons.h"
#include "Oids.h"
#include "OptionsDialog.h"
#include "ValueText.h"

namespace {

// How long after the first poll the reading for the first rates comes: long enough for the
// up-time's hundredths and the time between reads to weigh little.
constexpr int kFirstRateDelayMs = 5000;

// A passphrase's UTF-8 octets into text, with no copy left behind in between.
void AssignSecret(std::string& text, const QString& secret) {
  QByteArray utf8 = secret.toUtf8();
  text.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
  WipeSecret(utf8.data(), static_cast<size_t>(utf8.size()));
}

// The user of an SNMPv3 connection from the options and the passphrases.
TUsmUser UsmUser(const TConnectionSettings& settings, const TSnmpPassphrases& passphrases) {
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
      AssignSecret(user.privPassphrase, passphrases.Privacy);
      break;
  }
  constexpr TUsmAuthProtocol kProtocols[] = {TUsmAuthProtocol::Md5,    TUsmAuthProtocol::Sha1,
                                             TUsmAuthProtocol::Sha224, TUsmAuthProtocol::Sha256,
                                             TUsmAuthProtocol::Sha384, TUsmAuthProtocol::Sha512};
  user.auth = kProtocols[static_cast<int>(settings.AuthProtocol)];
  AssignSecret(user.authPassphrase, passphrases.Authentication);
  return user;
}

}  // namespace

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
  Reader.Community = "pewter";

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(60000);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  tmrFirstRate = new QTimer(this);
  tmrFirstRate->setObjectName(QStringLiteral("tmrFirstRate"));
  tmrFirstRate->setSingleShot(true);
  connect(tmrFirstRate, &QTimer::timeout, this, &TForm1::FirstRateTimer);

  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreatePages();
  PassphraseSource = std::make_unique<TPassphraseSource>(*Secrets);
  Connection.Row = [this](const TRowSpec& rowSpec) { CreateRows(rowSpec); };
  Connection.Renamed = [this](const TRowSpec& rowSpec) {
    if (auto* caption =
            BoxOf(rowSpec.Kind)->Named<QLabel>(CaptionName(rowSpec.Kind, rowSpec.Index)))
      SetCaptionText(caption, rowSpec.Caption);
  };
  Connection.Update = [this](const TRowUpdate& update) { ApplyUpdate(update); };
  Connection.AutoHeight = [this] { return frmOptions->chkAutoHeight->isChecked(); };
  lblStatus = new QLabel(statusBar());
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(lblStatus, 1);
  lblIdentity = new QLabel(statusBar());
  lblIdentity->setObjectName(QStringLiteral("lblIdentity"));
  lblIdentity->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(lblIdentity);
}

TForm1::~TForm1() {
  Reader.Cancel();
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
  // Each kind can also be polled on its own.
  connect(acProcessorUpdate, &QAction::triggered, this,
          [this] { PollKinds({TItemKind::Processor}); });
  connect(acInterfaceUpdate, &QAction::triggered, this,
          [this] { PollKinds({TItemKind::Interface}); });
  connect(acStorageUpdate, &QAction::triggered, this, [this] { PollKinds({TItemKind::Storage}); });
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
  ServeMetrics();
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
  Reader.Cancel();
  Timer1->stop();
  tmrFirstRate->stop();
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

void TForm1::SetStatus(const QString& text) {
  lblStatus->setText(text);
}

template <class F>
auto TForm1::Discovery(F f) {
  return [this, f = std::move(f)](auto&&... arguments) {
    try {
      f(std::forward<decltype(arguments)>(arguments)...);
    } catch (const std::exception& e) {
      FailConnect(QString::fromLocal8Bit(e.what()));
    } catch (...) {
      FailConnect(QStringLiteral("Unknown error."));
    }
  };
}

void TForm1::Connect() {
  if (FConnecting || !acConnect->isEnabled()) return;
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
  FHostText = cbxHost->currentText();
  FTarget = (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2"))
                .arg(host)
                .arg(port);
  const TConnectionSettings settings = frmOptions->ConnectionSettings();
  Reader.Community = cbxCommunity->currentText().toStdString();
  Reader.Version = settings.Version == TSnmpVersion::V1    ? 0
                   : settings.Version == TSnmpVersion::V2c ? 1
                                                           : 3;
  IdSNMP1.Session.SetSecurity(nullptr);
  // While it connects, Disconnect (and any edit of the two boxes) cancels it.
  FConnecting = true;
  acConnect->setEnabled(false);
  acDisconnect->setEnabled(true);
  SetStatus(QStringLiteral("Connecting to %1...").arg(FHostText));
  const auto open = [this, host, port] {
    IdSNMP1.Open(host, static_cast<quint16>(port), [this](const QString& error) {
      if (!error.isEmpty()) {
        // A name that did not resolve leaves no address. The status bar tells it before the
        // box opens.
        const bool notFound = IdSNMP1.Address().isNull();
        const QString text = QStringLiteral("%1: host not found.").arg(FHostText);
        AbandonConnect(notFound ? text : QString());
        ShowError(notFound ? text : error);
        return;
      }
      Probe();
    });
  };
  if (settings.Version != TSnmpVersion::V3) {
    open();
    return;
  }
  // SNMPv3: the passphrases come from the keyring, or else from the user.
  const uint64_t generation = ++FConnectGeneration;
  PassphraseSource->RequestPassphrases(
      settings.SecurityName, FHostText, settings.SecurityLevel, this,
      [this, generation, settings, open](const TPassphraseAnswer& answer) {
        if (generation != FConnectGeneration || !FConnecting) return;
        if (answer.Cancelled) {
          AbandonConnect(QString());
          return;
        }
        Guarded([&] {
          try {
            // The peer keeps the keys and wipes the passphrases it was given.
            TUsmUser user = UsmUser(settings, answer.Passphrases);
            IdSNMP1.Session.SetSecurity(std::make_shared<TUsmPeer>(user));
          } catch (...) {
            AbandonConnect(QString());
            throw;
          }
          open();
        });
      });
}

void TForm1::Probe() {
  Connection.Probe([this](const TSnmpResult& result) {
    Guarded([&] {
      if (result.Outcome == TSnmpResult::Failed || result.Outcome == TSnmpResult::Report) {
        // Anyone who saw the request can forge this report: the keyring keeps its passphrases,
        // and the next Connect asks for them.
        if (result.ReportKind == TUsmReport::WrongDigest) PassphraseSource->Rejected();
        const QString status = result.Outcome == TSnmpResult::Report
                                   ? QStringLiteral("%1: %2").arg(FTarget, result.Error)
                                   : QString();
        ShowError(result.Error);
        AbandonConnect(status);
        return;
      }
      if (result.Outcome == TSnmpResult::TimedOut) {
        // An agent that told its engine but does not answer the request itself drops what it
        // cannot decrypt.
        const TUsmPeer* security = IdSNMP1.Session.Security();
        const bool privacy =
            security && security->Discovered() &&
            frmOptions->ConnectionSettings().SecurityLevel == TSecurityLevel::AuthPriv;
        AbandonConnect(
            privacy ? QStringLiteral("No answer from %1 (wrong privacy passphrase?).").arg(FTarget)
                    : QStringLiteral("No answer from %1.").arg(FTarget));
        return;
      }
      if (!result.Ok()) {
        AbandonConnect(
            QStringLiteral("%1 answered with error status %2.")
                .arg(FTarget, QString::fromStdString(ErrorStatusName(result.Reply.ErrStatus))));
        return;
      }
      // The agent authenticated the passphrases: now they may replace the stored ones.
      PassphraseSource->Accepted();
      FLastAnswer = Clock::Now();
      Discovery([this] {
        UpdateHistory(cbxCommunity);
        UpdateHistory(cbxHost);
        // Rows are built out of sight: showing each control in a visible window costs a pass
        // over every widget already there.
        for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) box->Rows()->hide();
        Connection.Discover(ChartSetup().GraphLength, Discovery([this](std::exception_ptr error) {
                              if (error) std::rethrow_exception(error);
                              FinishConnect();
                            }));
      })();
    });
  });
}

void TForm1::FinishConnect() {
  // A tab without rows says why.
  const std::pair<TScrollBox*, const char*> empty[] = {
      {ScrollBox1, "This host reports no processors."},
      {ScrollBox2, "This host reports no network interfaces."},
      {ScrollBox3, "This host reports no storage areas of the kinds shown here."}};
  for (const auto& [box, text] : empty) {
    if (box->RowCount() == 0) box->ShowNoRows(QString::fromLatin1(text));
    box->Rows()->show();
  }
  // A host that fell silent during discovery would show a partial picture: no connection.
  if (Reader.Run().Abandoned) {
    AbandonConnect(QStringLiteral("No answer from %1.").arg(FTarget));
    return;
  }
  QueryInterval = StrToInt(frmOptions->cbxInterval->currentText().toStdString());
  Connection.SetInterval(QueryInterval);
  Timer1->setInterval(QueryInterval * 60 * 1000);
  Timer1->start();
  SetCaption(QStringLiteral("Corvane - ") + FHostText);
  Metrics.Values.Connect(FHostText);
  FConnecting = false;
  // The first values appear without waiting a full period.
  FFirstPoll = true;
  Timer1Timer();
  emit ConnectFinished();
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
  Timer1->stop();
  Disconnect();
  emit ConnectFinished();
}

void TForm1::Disconnect() {
  ++FConnectGeneration;
  PassphraseSource->Cancel();
  Connection.Cancel();
  Metrics.Values.Disconnect();
  FConnecting = false;
  FPolling = false;
  FFirstPoll = false;
  if (Logging) LogFile.Close();
  Timer1->stop();
  tmrFirstRate->stop();
  lblIdentity->clear();
  ProcessorList.Clear();
  InterfaceList.Clear();
  StorageList.Clear();
  for (TScrollBox* box : {ScrollBox1, ScrollBox2, ScrollBox3}) {
    box->DestroyRows();
    box->Rows()->show();
  }
  acConnect->setEnabled(true);
  acDisconnect->setEnabled(false);
  SetCaption(QStringLiteral("Corvane"));
  SetStatus(QString());
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

void TForm1::ApplyUpdate(const TRowUpdate& update) {
  const TScrollBox* rows = BoxOf(update.Kind);
  auto* gauge = rows->Named<TGauge>(GaugeName(update.Kind, update.Index));
  auto* chart = rows->Named<TChart>(ChartName(update.Kind, update.Index));
  if (!gauge || !chart) return;
  Metrics.Values.Add(update);
  if (update.Gauge) {
    gauge->SetPosition(*update.Gauge);
  } else {
    gauge->ClearPosition();
  }
  for (const auto& [name, text] : update.Labels) {
    if (auto* label = rows->Named<QLabel>(name)) SetValueText(label, text);
  }
  if (update.History) {
    const auto& series = update.History->Series;
    for (size_t s = 0; s < series.size() && s < chart->Series.size(); ++s) {
      chart->Series[s].Points = series[s].Points;
    }
    chart->LeftAxis.Maximum = update.History->AxisMaximum;
  }
  chart->update();
  if (!update.Log.empty() && LogKindChecked(update.Kind)) {
    for (const TLogLine& line : update.Log) LogFile.WriteRow(line.Tag, line.Item, line.Value);
  }
}

void TForm1::Timer1Timer() {
  PollKinds({TItemKind::Processor, TItemKind::Interface, TItemKind::Storage});
}

void TForm1::PollKinds(std::initializer_list<TItemKind> kinds) {
  // A tick that comes while a poll (or its error box) is still under way is skipped; so is
  // Refresh while not connected.
  if (FPolling || !Timer1->isActive()) return;
  FPolling = true;
  Metrics.Values.StartPoll();
  const bool first = std::exchange(FFirstPoll, false);
  Connection.Poll(kinds, [this, first](std::exception_ptr error) {
    if (!first || Reader.Run().Abandoned) {
      EndPoll(error);
      return;
    }
    // After the first values: who the host is, and where that poll came too soon after the
    // discovery's readings for rates, one more reading a few seconds on.
    Connection.ReadIdentity([this, error] {
      if (Connection.Interfaces.Measuring()) {
        FFirstRateDue = Clock::Now().addMSecs(kFirstRateDelayMs);
        tmrFirstRate->start(kFirstRateDelayMs);
      }
      EndPoll(error);
    });
  });
}

void TForm1::FirstRateTimer() {
  if (!Timer1->isActive() || !Connection.Interfaces.Measuring()) return;
  const qint64 left = Clock::Now().msecsTo(FFirstRateDue);
  if (left > 0 || Busy()) {
    tmrFirstRate->start(static_cast<int>(std::clamp<qint64>(left, 100, kFirstRateDelayMs)));
    return;
  }
  FPolling = true;
  Metrics.Values.StartPoll();
  Connection.FollowUp([this](std::exception_ptr error) { EndPoll(error); });
}

void TForm1::EndPoll(std::exception_ptr error) {
  const TReadRun& run = Reader.Run();
  Metrics.Values.EndPoll(run);
  if (run.Answers > 0) FLastAnswer = Clock::Now();
  if (run.Answers == 0 && run.Requests > 0) {
    // A report that came instead is told, though it is no answer.
    SetStatus(QStringLiteral("No answer from %1 since %2%3")
                  .arg(FHostText, ClockTime(FLastAnswer.time(), QLocale::system()),
                       run.Report.isEmpty() ? QString() : QStringLiteral(": ") + run.Report));
  } else if (!run.Report.isEmpty()) {
    // An SNMPv3 report during a poll (its values are missing) is told, not boxed.
    SetStatus(QStringLiteral("Last poll %1: %2")
                  .arg(ClockTime(Clock::Now().time(), QLocale::system()), run.Report));
  } else {
    SetStatus(
        QStringLiteral("Last poll %1").arg(ClockTime(Clock::Now().time(), QLocale::system())));
  }
  // A poll that gave every rate leaves nothing for the first-rate reading to do.
  if (!Connection.Interfaces.Measuring()) tmrFirstRate->stop();
  const TDeviceIdentity& identity = Connection.Identity;
  lblIdentity->setText(IdentityText(identity.Name, identity.Descr, identity.UpTime));
  // The error box of a poll keeps the next ticks away until it is closed.
  if (error) Guarded([&error] { std::rethrow_exception(error); });
  FPolling = false;
  emit PollFinished();
}

void TForm1::RunOptions() {
  const TOptionsSnapshot before = frmOptions->Snapshot();
  frmOptions->exec();
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
