#pragma once

#include <QDialog>
#include <QString>

#include "AlertRules.h"
#include "ConnectionSettings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TFileEdit;

// Days of history kept unless the user says otherwise, and the most the dialog offers.
inline constexpr int kDefaultHistoryDays = 90;
inline constexpr int kMaxHistoryDays = 36500;

// The option values whose change matters to a running connection.
struct TOptionsSnapshot {
  int Interval = 0;  // chosen rows
  int Graph = 0;
  int Type = 0;
  bool Log = false;
  bool LogProcessor = false;
  bool LogInterface = false;
  bool LogStorage = false;
  TConnectionSettings Connection;

  bool operator==(const TOptionsSnapshot&) const = default;
};

// The options dialog. Its controls are the only store of the options: callers read and set
// them directly. There is no Cancel: changes stay however the dialog closes.
class TfrmOptions : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOptions(QWidget* parent = nullptr);

  TOptionsSnapshot Snapshot() const;
  TConnectionSettings ConnectionSettings() const;
  void SetConnectionSettings(const TConnectionSettings& settings);
  // The address:port to serve metrics at, blanks trimmed; empty when serving is off.
  QString MetricsAddress() const;
  // Whether a connection appends to an existing log file rather than asking to overwrite it.
  bool LogAppend() const;
  // How many days of polled values the history keeps; 0 keeps none.
  int HistoryDays() const;
  // The rules of the Alerts group; a percent field left empty is off. They apply at once, to
  // running connections too.
  TAlertRules AlertRules() const;
  void SetAlertRules(const TAlertRules& rules);
  // Whether closing the window leaves the program running in the tray.
  bool KeepInTray() const;
  // Closing is refused while logging is on without a file name.
  bool CanClose() const;

  void done(int result) override;

  QLabel* lblInterval;
  QComboBox* cbxInterval;
  QLabel* lblGraph;
  QComboBox* cbxGraph;
  QLabel* lblType;
  QComboBox* cbxType;
  QCheckBox* chkAutoHeight;
  QCheckBox* chkLevel;
  QCheckBox* chkLog;
  QGroupBox* GroupBox1;
  QCheckBox* chkProcessor;
  QCheckBox* chkInterface;
  QCheckBox* chkStorage;
  QLabel* lblFile;
  TFileEdit* feFile;
  QCheckBox* chkAppend;
  QLabel* lblVersion;
  QComboBox* cbxVersion;
  QGroupBox* GroupBox2;  // the version-3 settings
  QLabel* lblUser;
  QLineEdit* edtUser;
  QLabel* lblSecurityLevel;
  QComboBox* cbxSecurityLevel;
  QLabel* lblAuth;
  QComboBox* cbxAuth;
  QLabel* lblPriv;
  QComboBox* cbxPriv;
  QLabel* lblMetrics;
  QLineEdit* edtMetrics;
  QLabel* lblHistoryDays;
  QSpinBox* spnHistoryDays;
  QGroupBox* GroupBox3;  // the alert rules
  QLabel* lblAlertProcessor;
  QLineEdit* edtAlertProcessor;
  QLabel* lblAlertInterface;
  QLineEdit* edtAlertInterface;
  QLabel* lblAlertStorage;
  QLineEdit* edtAlertStorage;
  QCheckBox* chkAlertDown;
  QCheckBox* chkAlertNoAnswer;
  QLabel* lblAlertPolls;
  QSpinBox* spnAlertPolls;
  QCheckBox* chkTray;
  QPushButton* Button1;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateLogGroup();
  // Enables the version-3 group for version 3 only, and within it the protocols the chosen
  // security level uses.
  void UpdateSecurityGroup();
};
