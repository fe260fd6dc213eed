#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QSignalSpy>
#include <QSystemTrayIcon>

#include "TrayIcon.h"

namespace {

QImage Image(const TTrayIcon& tray) {
  return tray.Icon()->icon().pixmap(32, 32).toImage();
}

TEST(TrayIcon, ShowsTheWorstStateOfAllHosts) {
  TTrayIcon tray;
  EXPECT_EQ(tray.State(), THostState::Normal);
  EXPECT_EQ(tray.Icon()->toolTip(), "Corvane: all normal");
  const QImage normal = Image(tray);

  tray.SetStates({THostState::Normal, THostState::Alert, THostState::Normal});
  EXPECT_EQ(tray.State(), THostState::Alert);
  EXPECT_EQ(tray.Icon()->toolTip(), "Corvane: 1 host in alert");
  const QImage alert = Image(tray);

  tray.SetStates({THostState::Alert, THostState::NoAnswer, THostState::Alert});
  EXPECT_EQ(tray.State(), THostState::NoAnswer);
  EXPECT_EQ(tray.Icon()->toolTip(), "Corvane: 2 hosts in alert, 1 not answering");
  const QImage silent = Image(tray);

  EXPECT_NE(normal, alert);
  EXPECT_NE(alert, silent);
  EXPECT_NE(normal, silent);
  tray.SetStates({});
  EXPECT_EQ(Image(tray), normal);
}

TEST(TrayIcon, MenuAndClickAskForTheWindowOrTheEnd) {
  TTrayIcon tray;
  QSignalSpy show(&tray, &TTrayIcon::ShowRequested);
  QSignalSpy exit(&tray, &TTrayIcon::ExitRequested);
  EXPECT_EQ(tray.acTrayShow->text(), "Show Corvane");
  tray.acTrayShow->trigger();
  emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
  emit tray.Icon()->activated(QSystemTrayIcon::Context);  // that one opens the menu
  EXPECT_EQ(show.count(), 2);
  EXPECT_EQ(exit.count(), 0);
  tray.acTrayExit->trigger();
  EXPECT_EQ(exit.count(), 1);
}

// Without a tray the option changes nothing: closing the window still ends the program, and
// messages are left to the status bar.
TEST(TrayIcon, WithoutATrayClosingStillExits) {
  if (TTrayIcon::Available()) GTEST_SKIP() << "this desktop has a tray";
  TTrayIcon tray;
  EXPECT_FALSE(tray.Show());
  EXPECT_FALSE(tray.KeepsRunningOnClose(true));
  EXPECT_FALSE(tray.KeepsRunningOnClose(false));
  EXPECT_FALSE(tray.ShowMessage("Corvane: router", "Interface eth0 is down"));
}

}  // namespace
