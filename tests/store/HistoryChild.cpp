// A second program on the store, for what one process cannot show about itself:
//   history_child write PATH HOST ITEMS COUNT   writes COUNT polls (0: until killed), printing
//                                               each poll's number once it is committed
//   history_child fault PATH BUSY_MS [FSIZE]    feeds the writer 20 polls, with files limited
//                                               to FSIZE bytes if given, and prints how many
//                                               failures it reported and the first one
#include <sys/resource.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

#include "HistoryWriter.h"
#include "StoreTestData.h"

namespace {

int Write(const QString& path, const QString& host, int items, int count) {
  THistoryStore store;
  store.Open(path);
  for (int poll = 0; count == 0 || poll < count; ++poll) {
    // Ten minutes apart, so that recent polls move over every hour's worth, and a kill may
    // land in a move as well.
    store.Write(Poll(host, PollTime(poll * 10), items, poll));
    std::printf("%d\n", poll);
    std::fflush(stdout);
  }
  return 0;
}

int Fault(const QString& path, int busyMs, long fileSize) {
  if (fileSize > 0) {
    // Past the limit a write fails with EFBIG instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(fileSize), static_cast<rlim_t>(fileSize)};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  THistoryWriter writer;
  QStringList failures;
  QObject::connect(&writer, &THistoryWriter::Failed,
                   [&](const QString& text) { failures << text; });
  writer.Open(path, busyMs);
  for (int poll = 0; poll < 20; ++poll) writer.Store(Poll("h", PollTime(poll), 1000, poll));
  writer.Wait();
  QCoreApplication::processEvents();
  std::printf("%lld\n%s\n", static_cast<long long>(failures.size()),
              failures.value(0).toUtf8().constData());
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  try {
    if (arguments.value(1) == "write" && arguments.size() == 6)
      return Write(arguments[2], arguments[3], arguments[4].toInt(), arguments[5].toInt());
    if (arguments.value(1) == "fault" && arguments.size() >= 4)
      return Fault(arguments[2], arguments[3].toInt(), arguments.value(4).toLong());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: history_child write|fault ...\n");
  return 2;
}
