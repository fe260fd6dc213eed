#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MonitorTypes.h"
#include "SnmpClient.h"

// What one run of reads (a Connect's discovery, or one poll) came to.
struct TReadRun {
  int Requests = 0;
  int Answers = 0;
  int TimeOuts = 0;
  int TimeOutsInARow = 0;
  // Two requests in a row went unanswered: the rest of the run is skipped.
  bool Abandoned = false;
  QString Error;  // the last socket error, if any
};

// Walks and item reads on the client, one request at a time in the order they are asked for.
class TSnmpReader {
 public:
  explicit TSnmpReader(TSnmpClient& client) : FClient(client) {}
  TSnmpReader(const TSnmpReader&) = delete;
  TSnmpReader& operator=(const TSnmpReader&) = delete;

  // The community of the requests.
  std::string Community;

  // Starts counting a new run.
  void StartRun() { FRun = TReadRun{}; }
  const TReadRun& Run() const { return FRun; }

  // Walks a column with GetNext from its base name; done gets the rows in order. The walk ends
  // at a request that fails, a name outside the column, or one that does not come after the
  // one asked for.
  void Walk(const std::string& column, std::function<void(std::vector<TWalkRow>)> done);

  // Reads the items in order. each gets one item's values as soon as they are all in; once the
  // run is abandoned, the remaining items get theirs at once as unanswered. When each raises,
  // the read stops and done gets the exception; otherwise done gets nothing.
  void Read(std::vector<TItemRead> items, std::function<void(size_t, const TItemValues&)> each,
            std::function<void(std::exception_ptr)> done);

  // Forgets the walk or read under way; none of its functions runs again.
  void Cancel();

 private:
  struct TReadJob;
  struct TWalkJob;
  void Get(const std::string& oid, int32_t pduType, std::function<void(const TSnmpResult&)> done);
  void Count(const TSnmpResult& result);
  void Next(const std::shared_ptr<TReadJob>& job);
  void Step(const std::shared_ptr<TWalkJob>& job, const TSnmpResult& result);
  // Runs f from the event loop unless cancelled first.
  void Later(std::function<void()> f);

  TSnmpClient& FClient;
  TReadRun FRun;
  uint64_t FGeneration = 0;
};

// The value of a reply's first binding, or why there is none.
TReadValue FirstValue(const TSnmpResult& result);
