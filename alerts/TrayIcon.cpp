#include "TrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <algorithm>

#include "CorvaneIcon.h"

namespace {

QPixmap MarkedPixmap(THostState state, int size) {
  QPixmap pixmap = CorvaneIconPixmap(size);
  if (state == THostState::Normal) return pixmap;
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // A round mark in the lower right corner, ringed in white to stand out on any tray.
  const QRectF mark(15, 15, 16, 16);
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(state == THostState::Alert ? QColor(0xd0, 0x1c, 0x1c) : QColor(0x20, 0x20, 0x20));
  p.drawEllipse(mark);
  p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
  if (state == THostState::Alert) {
    // An exclamation mark.
    p.drawLine(QPointF(23, 18.5), QPointF(23, 24));
    p.drawPoint(QPointF(23, 27.5));
  } else {
    // A bar, as on a no-entry sign: nothing comes through.
    p.drawLine(QPointF(19, 23), QPointF(27, 23));
  }
  return pixmap;
}

}  // namespace

THostState WorstState(const std::vector<THostState>& states) {
  return states.empty() ? THostState::Normal : *std::max_element(states.begin(), states.end());
}

QIcon TrayStateIcon(THostState state) {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(MarkedPixmap(state, size));
  return icon;
}

QString TrayToolTip(const std::vector<THostState>& states) {
  const auto alerts = std::count(states.begin(), states.end(), THostState::Alert);
  const auto silent = std::count(states.begin(), states.end(), THostState::NoAnswer);
  QStringList parts;
  if (alerts > 0)
    parts << (alerts == 1 ? QStringLiteral("1 host in alert")
                          : QStringLiteral("%1 hosts in alert").arg(alerts));
  if (silent > 0) parts << QStringLiteral("%1 not answering").arg(silent);
  if (parts.isEmpty()) parts << QStringLiteral("all normal");
  return QStringLiteral("Corvane: ") + parts.join(QStringLiteral(", "));
}

TTrayIcon::TTrayIcon(QObject* parent)
    : QObject(parent), FMenu(std::make_unique<QMenu>()), FIcon(new QSystemTrayIcon(this)) {
  acTrayShow = FMenu->addAction(QStringLiteral("Show Corvane"));
  acTrayShow->setObjectName(QStringLiteral("acTrayShow"));
  FMenu->addSeparator();
  acTrayExit = FMenu->addAction(QStringLiteral("Exit"));
  acTrayExit->setObjectName(QStringLiteral("acTrayExit"));
  connect(acTrayShow, &QAction::triggered, this, &TTrayIcon::ShowRequested);
  connect(acTrayExit, &QAction::triggered, this, &TTrayIcon::ExitRequested);
  connect(FIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
      emit ShowRequested();
  });
  FIcon->setContextMenu(FMenu.get());
  SetStates({});
}

TTrayIcon::~TTrayIcon() = default;

bool TTrayIcon::Available() {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::SetStates(const std::vector<THostState>& states) {
  const THostState worst = WorstState(states);
  if (worst != FState || FIcon->icon().isNull()) FIcon->setIcon(TrayStateIcon(worst));
  FState = worst;
  FIcon->setToolTip(TrayToolTip(states));
}

bool TTrayIcon::Show() {
  if (!Available()) return false;
  FIcon->show();
  return FIcon->isVisible();
}

bool TTrayIcon::KeepsRunningOnClose(bool trayOption) const {
  return trayOption && Available() && FIcon->isVisible();
}

bool TTrayIcon::ShowMessage(const QString& summary, const QString& body) {
  if (!Available() || !FIcon->isVisible() || !QSystemTrayIcon::supportsMessages()) return false;
  FIcon->showMessage(summary, body, QSystemTrayIcon::Warning);
  return true;
}
