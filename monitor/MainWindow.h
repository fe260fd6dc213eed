#pragma once

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <memory>

#include "ActivityLog.h"
#include "GraphPanel.h"
#include "IdSNMP.h"
#include "Items.h"
#include "SettingsFile.h"

class TfrmOptions;

// The main window: the connection to one host, its poll cycle and the rows of its items.
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

  TIdSNMP IdSNMP1;
  TItemList<TProcessor> ProcessorList;
  TItemList<TInterface> InterfaceList;
  TItemList<TStorage> StorageList;
  int32_t QueryInterval = 1;
  bool Logging = false;
  TActivityLog LogFile;
  TSettingsFile Settings;

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

  void FormShow();
  void Connect();
  void Disconnect();
  void Poll();
  void Timer1Timer();
  void RunOptions();
  // The community box is disabled while the options choose SNMP version 3.
  void UpdateCommunityBox();
  void ShowAbout();
  void UpdateHistory(QComboBox* box);
  void SetCaption(const QString& caption);

  void BuildProcessors();
  void BuildInterfaces();
  void BuildStorage();
  void acProcessorUpdateExecute();
  void acInterfaceUpdateExecute();
  void acStorageUpdateExecute();
  // Whether logging and the kind's own log box are both checked now.
  bool LogKindChecked(TItemKind kind) const;
  TChartSetup ChartSetup() const;

  TfrmOptions* frmOptions = nullptr;
  bool FShown = false;
  bool FPolling = false;
};
