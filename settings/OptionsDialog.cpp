#include "OptionsDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "FileEdit.h"

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QComboBox* NewList(QWidget* parent, const char* name, const QStringList& items) {
  auto* box = Named(new QComboBox(parent), name);
  box->setEditable(false);
  box->addItems(items);
  box->setCurrentIndex(0);
  return box;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& caption, QWidget* buddy) {
  auto* label = Named(new QLabel(caption, parent), name);
  label->setBuddy(buddy);
  return label;
}

// A check box whose caption stands to the left of the box.
QCheckBox* NewLeftCaptionBox(QWidget* parent, const char* name, const QString& caption,
                             const QString& toolTip) {
  auto* box = Named(new QCheckBox(caption, parent), name);
  box->setLayoutDirection(Qt::RightToLeft);
  box->setToolTip(toolTip);
  return box;
}

// A percent from 1 to 100, or nothing (off). Every prefix of such a number is one itself, so
// the field never holds a text that is neither.
QLineEdit* NewPercentEdit(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit(parent), name);
  static const QRegularExpression percent(QStringLiteral("100|[1-9][0-9]?|"));
  edit->setValidator(new QRegularExpressionValidator(percent, edit));
  edit->setPlaceholderText(QStringLiteral("off"));
  edit->setToolTip(QStringLiteral("An alert at or above this percent; empty: no alert."));
  return edit;
}

std::optional<int> Percent(const QLineEdit* edit) {
  bool ok = false;
  const int value = edit->text().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

void SetPercent(QLineEdit* edit, std::optional<int> value) {
  edit->setText(value && *value >= 1 && *value <= 100 ? QString::number(*value) : QString());
}

// A group's labelled fields, one pair a row, the fields taking the width.
QGridLayout* FieldGrid(QGroupBox* group, std::initializer_list<std::pair<QLabel*, QWidget*>> rows) {
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(8, 4, 8, 8);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  for (int row = 0; const auto& [label, field] : rows) {
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row++, 1);
  }
  grid->setColumnStretch(1, 1);
  return grid;
}

QFont DialogFont() {
  QFont font = QFontDatabase::hasFamily(QStringLiteral("Tahoma")) ? QFont(QStringLiteral("Tahoma"))
                                                                  : QFont();
  font.setPixelSize(13);
  return font;
}

}  // namespace

TfrmOptions::TfrmOptions(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Options"));
  setFont(DialogFont());
  setSizeGripEnabled(false);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  cbxInterval = NewList(this, "cbxInterval", {"1", "5", "10", "15"});
  cbxGraph = NewList(this, "cbxGraph",
                     {"15", "30", "45", "60", "75", "90", "180", "360", "720", "900", "1440"});
  cbxType = NewList(this, "cbxType", {"Line", "Bar", "Area", "Point"});
  lblInterval =
      NewLabel(this, "lblInterval", QStringLiteral("Query Interval (minutes):"), cbxInterval);
  lblGraph = NewLabel(this, "lblGraph", QStringLiteral("Graph Length (minutes):"), cbxGraph);
  lblType = NewLabel(this, "lblType", QStringLiteral("Graph Type:"), cbxType);

  chkAutoHeight =
      NewLeftCaptionBox(this, "chkAutoHeight", QStringLiteral("Auto Height"),
                        QStringLiteral("Adjust the height of the graph based on visible values."));
  chkLevel = NewLeftCaptionBox(
      this, "chkLevel", QStringLiteral("Smooth Graph"),
      QStringLiteral("Level spikes in activity based on visible average of values."));

  chkLog = Named(new QCheckBox(QStringLiteral("Enable Logging"), this), "chkLog");
  GroupBox1 = Named(new QGroupBox(this), "GroupBox1");
  chkProcessor = Named(new QCheckBox(QStringLiteral("Log Processor"), GroupBox1), "chkProcessor");
  chkInterface = Named(new QCheckBox(QStringLiteral("Log Interface"), GroupBox1), "chkInterface");
  chkStorage = Named(new QCheckBox(QStringLiteral("Log Storage"), GroupBox1), "chkStorage");
  feFile = Named(new TFileEdit(GroupBox1), "feFile");
  lblFile = NewLabel(GroupBox1, "lblFile", QStringLiteral("Log File:"), feFile);
  feFile->SetHint = true;
  feFile->IncludePath = true;
  feFile->DialogSettings.Title = QStringLiteral("Log File");
  feFile->DialogSettings.DefaultExt = QStringLiteral("csv");
  feFile->DialogSettings.Filter = QStringLiteral("CSV File (*.csv)|*.csv");
  feFile->DialogSettings.Options = TFileDialogOption::OverwritePrompt |
                                   TFileDialogOption::HideReadOnly |
                                   TFileDialogOption::EnableSizing;
  chkAppend =
      Named(new QCheckBox(QStringLiteral("Append to the log file"), GroupBox1), "chkAppend");

  cbxVersion = NewList(this, "cbxVersion", VersionTexts());
  lblVersion = NewLabel(this, "lblVersion", QStringLiteral("SNMP Version:"), cbxVersion);
  GroupBox2 = Named(new QGroupBox(QStringLiteral("SNMPv3"), this), "GroupBox2");
  edtUser = Named(new QLineEdit(GroupBox2), "edtUser");
  lblUser = NewLabel(GroupBox2, "lblUser", QStringLiteral("User name:"), edtUser);
  cbxSecurityLevel = NewList(GroupBox2, "cbxSecurityLevel", SecurityLevelTexts());
  lblSecurityLevel =
      NewLabel(GroupBox2, "lblSecurityLevel", QStringLiteral("Security level:"), cbxSecurityLevel);
  cbxAuth = NewList(GroupBox2, "cbxAuth", AuthProtocolTexts());
  lblAuth = NewLabel(GroupBox2, "lblAuth", QStringLiteral("Authentication:"), cbxAuth);
  cbxPriv = NewList(GroupBox2, "cbxPriv", PrivProtocolTexts());
  lblPriv = NewLabel(GroupBox2, "lblPriv", QStringLiteral("Privacy:"), cbxPriv);
  edtMetrics = Named(new QLineEdit(this), "edtMetrics");
  edtMetrics->setPlaceholderText(QStringLiteral("127.0.0.1:9163"));
  lblMetrics = NewLabel(this, "lblMetrics", QStringLiteral("Serve metrics at:"), edtMetrics);
  spnHistoryDays = Named(new QSpinBox(this), "spnHistoryDays");
  spnHistoryDays->setRange(0, kMaxHistoryDays);
  spnHistoryDays->setValue(kDefaultHistoryDays);
  spnHistoryDays->setToolTip(
      QStringLiteral("How long polled values are kept for the charts and corvane --history; "
                     "0 keeps none."));
  lblHistoryDays =
      NewLabel(this, "lblHistoryDays", QStringLiteral("Keep history (days):"), spnHistoryDays);
  SetConnectionSettings({});

  GroupBox3 = Named(new QGroupBox(QStringLiteral("Alerts"), this), "GroupBox3");
  edtAlertProcessor = NewPercentEdit(GroupBox3, "edtAlertProcessor");
  lblAlertProcessor = NewLabel(GroupBox3, "lblAlertProcessor",
                               QStringLiteral("Processor load (%):"), edtAlertProcessor);
  edtAlertInterface = NewPercentEdit(GroupBox3, "edtAlertInterface");
  lblAlertInterface = NewLabel(GroupBox3, "lblAlertInterface", QStringLiteral("Interface use (%):"),
                               edtAlertInterface);
  edtAlertStorage = NewPercentEdit(GroupBox3, "edtAlertStorage");
  lblAlertStorage =
      NewLabel(GroupBox3, "lblAlertStorage", QStringLiteral("Storage use (%):"), edtAlertStorage);
  chkAlertDown = Named(new QCheckBox(QStringLiteral("Interface down"), GroupBox3), "chkAlertDown");
  chkAlertNoAnswer =
      Named(new QCheckBox(QStringLiteral("Host does not answer"), GroupBox3), "chkAlertNoAnswer");
  spnAlertPolls = Named(new QSpinBox(GroupBox3), "spnAlertPolls");
  spnAlertPolls->setRange(1, 99);
  spnAlertPolls->setToolTip(
      QStringLiteral("How many polls in a row a condition must hold before it is told."));
  lblAlertPolls =
      NewLabel(GroupBox3, "lblAlertPolls", QStringLiteral("Polls in a row:"), spnAlertPolls);
  chkTray = Named(
      new QCheckBox(QStringLiteral("Keep running in the tray when the window is closed"), this),
      "chkTray");
  SetAlertRules({});

  Button1 = Named(new QPushButton(QStringLiteral("&Ok"), this), "Button1");
  Button1->setDefault(true);
  Button1->setAutoDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  auto* lists = new QGridLayout;
  lists->setHorizontalSpacing(6);
  lists->setVerticalSpacing(4);
  lists->addWidget(lblInterval, 0, 0);
  lists->addWidget(cbxInterval, 0, 1);
  lists->addWidget(lblGraph, 1, 0);
  lists->addWidget(cbxGraph, 1, 1);
  lists->addWidget(lblType, 2, 0);
  lists->addWidget(cbxType, 2, 1);
  lists->addWidget(chkAutoHeight, 3, 0, 1, 2);
  lists->addWidget(chkLevel, 4, 0, 1, 2);
  lists->setColumnStretch(1, 1);

  auto* group = new QVBoxLayout(GroupBox1);
  group->setContentsMargins(8, 4, 8, 8);
  group->setSpacing(4);
  group->addWidget(chkProcessor);
  group->addWidget(chkInterface);
  group->addWidget(chkStorage);
  group->addWidget(lblFile);
  group->addWidget(feFile);
  group->addWidget(chkAppend);

  FieldGrid(GroupBox2, {{lblUser, edtUser},
                        {lblSecurityLevel, cbxSecurityLevel},
                        {lblAuth, cbxAuth},
                        {lblPriv, cbxPriv}});
  QGridLayout* alerts = FieldGrid(GroupBox3, {{lblAlertProcessor, edtAlertProcessor},
                                              {lblAlertInterface, edtAlertInterface},
                                              {lblAlertStorage, edtAlertStorage}});
  alerts->addWidget(chkAlertDown, 3, 0, 1, 2);
  alerts->addWidget(chkAlertNoAnswer, 4, 0, 1, 2);
  alerts->addWidget(lblAlertPolls, 5, 0);
  alerts->addWidget(spnAlertPolls, 5, 1);

  auto* version = new QHBoxLayout;
  version->setSpacing(6);
  version->addWidget(lblVersion);
  version->addWidget(cbxVersion, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);

  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  left->addLayout(lists);
  left->addWidget(chkLog);
  left->addWidget(GroupBox1);
  left->addStretch(1);

  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addLayout(version);
  right->addWidget(GroupBox2);
  right->addSpacing(4);
  right->addWidget(lblMetrics);
  right->addWidget(edtMetrics);
  auto* history = new QHBoxLayout;
  history->setSpacing(6);
  history->addWidget(lblHistoryDays);
  history->addWidget(spnHistoryDays, 1);
  right->addLayout(history);
  right->addSpacing(4);
  right->addWidget(GroupBox3);
  right->addWidget(chkTray);
  right->addStretch(1);

  auto* columns = new QHBoxLayout;
  columns->setSpacing(12);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  main->setSpacing(4);
  main->addLayout(columns);
  main->addLayout(buttons);
  setFixedSize(QSize(512, 306).expandedTo(sizeHint()));

  QWidget* const order[] = {cbxInterval,      cbxGraph,          cbxType,           chkAutoHeight,
                            chkLog,           chkProcessor,      chkInterface,      chkStorage,
                            feFile,           chkAppend,         cbxVersion,        edtUser,
                            cbxSecurityLevel, cbxAuth,           cbxPriv,           edtMetrics,
                            spnHistoryDays,   edtAlertProcessor, edtAlertInterface, edtAlertStorage,
                            chkAlertDown,     chkAlertNoAnswer,  spnAlertPolls,     chkTray,
                            Button1,          chkLevel};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(chkLog, &QCheckBox::toggled, this, [this] { UpdateLogGroup(); });
  // Any change counts, the settings file's included, so the enabled states match the values.
  for (QComboBox* box : {cbxVersion, cbxSecurityLevel})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { UpdateSecurityGroup(); });
  UpdateLogGroup();
  UpdateSecurityGroup();
}

TOptionsSnapshot TfrmOptions::Snapshot() const {
  return {cbxInterval->currentIndex(), cbxGraph->currentIndex(),  cbxType->currentIndex(),
          chkLog->isChecked(),         chkProcessor->isChecked(), chkInterface->isChecked(),
          chkStorage->isChecked(),     ConnectionSettings()};
}

TConnectionSettings TfrmOptions::ConnectionSettings() const {
  return {static_cast<TSnmpVersion>(cbxVersion->currentIndex()), edtUser->text(),
          static_cast<TSecurityLevel>(cbxSecurityLevel->currentIndex()),
          static_cast<TAuthProtocol>(cbxAuth->currentIndex()),
          static_cast<TPrivProtocol>(cbxPriv->currentIndex())};
}

void TfrmOptions::SetConnectionSettings(const TConnectionSettings& settings) {
  cbxVersion->setCurrentIndex(static_cast<int>(settings.Version));
  edtUser->setText(settings.SecurityName);
  cbxSecurityLevel->setCurrentIndex(static_cast<int>(settings.SecurityLevel));
  cbxAuth->setCurrentIndex(static_cast<int>(settings.AuthProtocol));
  cbxPriv->setCurrentIndex(static_cast<int>(settings.PrivProtocol));
}

TAlertRules TfrmOptions::AlertRules() const {
  return {Percent(edtAlertProcessor), Percent(edtAlertInterface),    Percent(edtAlertStorage),
          chkAlertDown->isChecked(),  chkAlertNoAnswer->isChecked(), spnAlertPolls->value()};
}

void TfrmOptions::SetAlertRules(const TAlertRules& rules) {
  SetPercent(edtAlertProcessor, rules.Processor);
  SetPercent(edtAlertInterface, rules.Interface);
  SetPercent(edtAlertStorage, rules.Storage);
  chkAlertDown->setChecked(rules.Down);
  chkAlertNoAnswer->setChecked(rules.NoAnswer);
  spnAlertPolls->setValue(rules.Polls);
}

bool TfrmOptions::KeepInTray() const {
  return chkTray->isChecked();
}

QString TfrmOptions::MetricsAddress() const {
  return edtMetrics->text().trimmed();
}

bool TfrmOptions::LogAppend() const {
  return chkAppend->isChecked();
}

int TfrmOptions::HistoryDays() const {
  return spnHistoryDays->value();
}

bool TfrmOptions::CanClose() const {
  return !chkLog->isChecked() || !feFile->text().isEmpty();
}

void TfrmOptions::done(int result) {
  if (CanClose()) QDialog::done(result);
}

void TfrmOptions::showEvent(QShowEvent* event) {
  UpdateLogGroup();
  UpdateSecurityGroup();
  QDialog::showEvent(event);
}

void TfrmOptions::closeEvent(QCloseEvent* event) {
  if (!CanClose()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TfrmOptions::UpdateLogGroup() {
  GroupBox1->setEnabled(chkLog->isChecked());
}

void TfrmOptions::UpdateSecurityGroup() {
  const TConnectionSettings connection = ConnectionSettings();
  GroupBox2->setEnabled(connection.Version == TSnmpVersion::V3);
  const bool authenticates = connection.SecurityLevel != TSecurityLevel::NoAuthNoPriv;
  const bool encrypts = connection.SecurityLevel == TSecurityLevel::AuthPriv;
  lblAuth->setEnabled(authenticates);
  cbxAuth->setEnabled(authenticates);
  lblPriv->setEnabled(encrypts);
  cbxPriv->setEnabled(encrypts);
}
