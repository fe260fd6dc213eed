#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "AlertRules.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

// The worst of the states; normal when there are none.
THostState WorstState(const std::vector<THostState>& states);

// The program's icon with a mark in the state's colour (none when normal).
QIcon TrayStateIcon(THostState state);

// The tray icon's tool tip, such as "Corvane: 2 hosts in alert, 1 not answering".
QString TrayToolTip(const std::vector<THostState>& states);

// The tray icon: the worst state of all watched hosts, and a menu to show the window or exit.
class TTrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TTrayIcon(QObject* parent = nullptr);
  ~TTrayIcon() override;

  // Whether the desktop has a tray to show the icon in.
  static bool Available();

  // The states of all watched hosts.
  void SetStates(const std::vector<THostState>& states);
  THostState State() const { return FState; }

  // Shows the icon where a tray exists; returns whether it is shown.
  bool Show();

  // Whether closing the window should leave the program running in the tray: only when the
  // option asks for it and the icon is shown, so the program is never left without a window
  // or an icon to come back through.
  bool KeepsRunningOnClose(bool trayOption) const;

  // A message from the icon; false (and nothing shown) where there is no tray.
  bool ShowMessage(const QString& summary, const QString& body);

  QSystemTrayIcon* Icon() const { return FIcon; }
  QAction* acTrayShow;
  QAction* acTrayExit;

 signals:
  // "Show Corvane", or a click on the icon.
  void ShowRequested();
  void ExitRequested();

 private:
  std::unique_ptr<QMenu> FMenu;  // a widget, so not owned as a child of this object
  QSystemTrayIcon* FIcon;
  THostState FState = THostState::Normal;
};
