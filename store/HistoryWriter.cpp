#include "HistoryWriter.h"

#include <QDir>

#include "Clock.h"

// The store and its state, touched only on the writer's thread.
class THistoryWorker : public QObject {
 public:
  // Runs a step on the store; a failure closes it, is reported once, and stops all further
  // steps until the next Open.
  template <typename Step>
  void Attempt(const char* doing, Step step) {
    try {
      step();
    } catch (const std::exception& e) {
      Broken = true;
      Store.Close();
      Report(QStringLiteral("History off: cannot %1 %2: %3")
                 .arg(QLatin1String(doing), QDir::toNativeSeparators(Path),
                      QString::fromUtf8(e.what())));
    }
  }
  bool Ready() const { return !Broken && Store.IsOpen(); }

  THistoryStore Store;
  QString Path;
  int KeepDays = 90;
  bool Broken = false;
  std::function<void(const QString&)> Report;
};

namespace {

void Queue(QObject* context, std::function<void()> call) {
  QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

}  // namespace

THistoryWriter::THistoryWriter(QObject* parent) : THistoryWriter(SystemClock(), parent) {}

THistoryWriter::THistoryWriter(TClock& clock, QObject* parent)
    : QObject(parent), FClock(clock), FWorker(new THistoryWorker) {
  // Failed reaches its receivers on this object's thread, whichever thread it comes from.
  FWorker->Report = [this](const QString& text) {
    Queue(this, [this, text] { emit Failed(text); });
  };
  FWorker->moveToThread(&FThread);
  connect(&FThread, &QThread::finished, FWorker, &QObject::deleteLater);
  FThread.setObjectName(QStringLiteral("history"));
  FThread.start();
  FDaily.setInterval(std::chrono::hours(24));
  connect(&FDaily, &QTimer::timeout, this, &THistoryWriter::RemoveOld);
}

THistoryWriter::~THistoryWriter() {
  // A thread told to quit drops what is still queued; the polls are written first.
  Queue(FWorker, [worker = FWorker] { worker->Store.Close(); });
  Wait();
  FThread.quit();
  FThread.wait();
}

void THistoryWriter::Open(const QString& path, int busyTimeoutMs) {
  Queue(FWorker, [worker = FWorker, path, busyTimeoutMs] {
    worker->Path = path;
    worker->Broken = false;
    worker->Attempt("open",
                    [&] { worker->Store.Open(path, THistoryStore::TMode::Write, busyTimeoutMs); });
  });
  RemoveOld();
  FDaily.start();
}

void THistoryWriter::Store(TStoredPoll poll) {
  Queue(FWorker, [worker = FWorker, poll = std::move(poll)] {
    if (!worker->Ready() || worker->KeepDays <= 0) return;
    worker->Attempt("write", [&] { worker->Store.Write(poll); });
  });
}

void THistoryWriter::StoreEvent(TStoredEvent event) {
  Queue(FWorker, [worker = FWorker, event = std::move(event)] {
    if (!worker->Ready() || worker->KeepDays <= 0) return;
    worker->Attempt("write", [&] { worker->Store.WriteEvent(event); });
  });
}

void THistoryWriter::SetKeepDays(int days) {
  Queue(FWorker, [worker = FWorker, days] { worker->KeepDays = days; });
}

void THistoryWriter::RemoveOld() {
  Queue(FWorker, [worker = FWorker, now = FClock.Now()] {
    if (!worker->Ready()) return;
    worker->Attempt("remove old values from",
                    [&] { worker->Store.RemoveOlderThan(worker->KeepDays, now); });
  });
}

void THistoryWriter::Wait() {
  QMetaObject::invokeMethod(
      FWorker, [] {}, Qt::BlockingQueuedConnection);
}
