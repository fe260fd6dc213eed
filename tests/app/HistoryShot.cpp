// Shows the main window with a week of an interface's history kept in a store of its own, the
// interface's chart in its 7-day view and the tooltip of one of its columns, and then creates
// READY_FILE, so that a picture of the screen can be taken: corvane_history_shot READY_FILE
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QHelpEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <numbers>

#include "HistoryWriter.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "ScriptedAgent.h"
#include "WhenIdle.h"

namespace {

// A week of polls every five minutes: busy days, quiet nights, a quieter weekend and an outage.
void StoreAWeek(const QString& path, const QString& host, const QDateTime& now) {
  THistoryStore store;
  store.Open(path);
  const int polls = 7 * 24 * 12;
  for (int poll = polls; poll > 0; --poll) {
    const QDateTime time = now.addSecs(-300LL * poll);
    const double hour =
        time.toLocalTime().time().hour() + time.toLocalTime().time().minute() / 60.0;
    const bool weekend = time.toLocalTime().date().dayOfWeek() >= 6;
    const double day = std::max(0.0, std::sin((hour - 6) / 16 * std::numbers::pi));
    const double noise = std::fmod(poll * 7919.0, 997.0) / 997.0;
    const double in = (weekend ? 150 : 600) * day + 40 + 120 * noise;
    const bool outage = poll > 3 * 24 * 12 && poll < 3 * 24 * 12 + 30;
    std::optional<double> inValue = in, outValue = in * 0.35 + 15 * noise;
    if (outage) inValue = outValue = std::nullopt;
    store.Write({host,
                 time,
                 {{TStoredKind::Interface, "InterFaceIn", 1, "eth1", inValue},
                  {TStoredKind::Interface, "InterFaceOut", 1, "eth1", outValue},
                  {TStoredKind::Interface, "InterFaceIn", 2, "eth2", 0.4 + 0.3 * noise},
                  {TStoredKind::Interface, "InterFaceOut", 2, "eth2", 0.2 + 0.1 * noise}}});
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  if (argc < 2) return 2;
  const QString ready = QString::fromLocal8Bit(argv[1]);
  QTemporaryDir dir;
  TScriptedAgent agent;
  FillHost(agent.Mib, 2);
  const QString host = QStringLiteral("127.0.0.1:%1").arg(agent.Port());
  const QString path = dir.filePath("history.sqlite");
  StoreAWeek(path, host, QDateTime::currentDateTimeUtc());

  THistoryWriter history;
  TForm1 form(dir.filePath("corvane"));
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.UseHistory(history, path);
  form.move(0, 0);
  form.resize(680, 500);
  form.show();
  form.cbxHost->setEditText(host);
  form.acConnect->trigger();
  WhenIdle(form, [&] {
    // Five seconds on, the reading for the first rates finds traffic.
    agent.Mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "100500");
    agent.Mib.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, "17000");
    agent.Mib.Set("1.3.6.1.2.1.2.2.1.16.1", 0x41, "9000");
    agent.Mib.Set("1.3.6.1.2.1.2.2.1.10.2", 0x41, "2256");
    agent.Mib.Set("1.3.6.1.2.1.2.2.1.16.2", 0x41, "4128");
    QTimer::singleShot(6000, [&] {
      WhenIdle(form, [&] {
        form.PageControl1->setCurrentIndex(1);
        auto* chart = form.findChild<TChart*>(QStringLiteral("InterfaceChart1"));
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(200, 50),
                                chart->mapToGlobal(QPoint(200, 50)));
        QApplication::sendEvent(chart, &click);
        auto* menu = form.findChild<QMenu*>(QStringLiteral("mnuChartView"));
        for (QAction* action : menu->actions())
          if (action->text() == QLatin1String("Last 7 days")) action->trigger();
        menu->close();
        QTimer::singleShot(500, [chart, ready] {
          // Rest the pointer on a column two thirds across, at its average.
          const QRect plot = chart->PlotRect();
          const QRectF area(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1);
          const TChartColumn& column =
              chart->Bands.at(0).Columns.at(static_cast<size_t>(plot.width() * 2 / 3));
          const QPoint pos =
              TChart::MapPoint(column.X, column.Average, area, chart->BottomAxis, chart->LeftAxis)
                  .toPoint();
          QCursor::setPos(chart->mapToGlobal(pos));
          // Once the pointer is there, as Qt itself would after a rest.
          QTimer::singleShot(300, [chart, pos] {
            QHelpEvent hover(QEvent::ToolTip, pos, chart->mapToGlobal(pos));
            QApplication::sendEvent(chart, &hover);
          });
          QTimer::singleShot(1000, [ready] {
            QFile file(ready);
            file.open(QIODevice::WriteOnly);
          });
        });
      });
    });
  });
  QTimer::singleShot(60000, [] { QApplication::quit(); });
  return QApplication::exec();
}
