#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TFileEdit;

// The option values whose change matters to a running connection.
struct TOptionsSnapshot {
  int Interval = 0;  // chosen rows
  int Graph = 0;
  int Type = 0;
  bool Log = false;
  bool LogProcessor = false;
  bool LogInterface = false;
  bool LogStorage = false;

  bool operator==(const TOptionsSnapshot&) const = default;
};

// The options dialog. Its controls are the only store of the options: callers read and set
// them directly. There is no Cancel: changes stay however the dialog closes.
class TfrmOptions : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOptions(QWidget* parent = nullptr);

  TOptionsSnapshot Snapshot() const;
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
  QPushButton* Button1;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateLogGroup();
};
