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
  QString Error;   // the last socket error, if any
  QString Report;  // the last SNMPv3 report's text, if any
};

// Walks and item reads on the client, one request at a time in the order they are asked for.
// In SNMPv1 every value takes a request of its own; in SNMPv2c walks go by GetBulk, several
// columns together, and item reads share multi-binding requests with one sysUpTime each.
class TSnmpReader {
 public:
  explicit TSnmpReader(TSnmpClient& client) : FClient(client) {}
  TSnmpReader(const TSnmpReader&) = delete;
  TSnmpReader& operator=(const TSnmpReader&) = delete;

  // The community of the requests, and their version field: 0 SNMPv1, 1 SNMPv2c.
  std::string Community;
  int32_t Version = 0;
  // The largest reply the client takes, which bounds how much one request may ask for.
  int BufferSize = 8192;
  bool Batched() const { return Version >= 1; }

  // Starts counting a new run; after a run without an answer, the next request rediscovers an
  // SNMPv3 agent's engine.
  void StartRun();
  // A new connection: also the batch limit starts afresh.
  void StartConnection();
  const TReadRun& Run() const { return FRun; }

  // Walks a column with GetNext from its base name; done gets the rows in order. The walk ends
  // as TWalkCursor says.
  void Walk(const std::string& column, std::function<void(std::vector<TWalkRow>)> done);
  // Walks several columns of one table; with GetBulk together, in SNMPv1 one after the other.
  // A column also ends at endOfMibView.
  void WalkColumns(std::vector<std::string> columns, std::function<void(TWalkTable)> done);

  // Reads the items in order. each gets one item's values as soon as they are all in; once the
  // run is abandoned, the remaining items get theirs at once as unanswered. When each raises,
  // the read stops and done gets the exception; otherwise done gets nothing.
  void Read(std::vector<TItemRead> items, std::function<void(size_t, const TItemValues&)> each,
            std::function<void(std::exception_ptr)> done);

  // Forgets the walk or read under way; none of its functions runs again.
  void Cancel();

  // Sends one request as it is, counted in the run.
  void Send(TSNMPInfo request, std::function<void(const TSnmpResult&)> done);

 private:
  struct TReadJob;
  struct TWalkJob;
  struct TBulkJob;
  TSNMPInfo Request(int32_t pduType) const;
  void Get(const std::string& oid, int32_t pduType, std::function<void(const TSnmpResult&)> done);
  void Count(const TSnmpResult& result);
  void Next(const std::shared_ptr<TReadJob>& job);
  void NextBatch(const std::shared_ptr<TReadJob>& job);
  void Step(const std::shared_ptr<TWalkJob>& job, const TSnmpResult& result);
  void BulkStep(const std::shared_ptr<TBulkJob>& job);
  // Runs f from the event loop unless cancelled first.
  void Later(std::function<void()> f);

  TSnmpClient& FClient;
  TReadRun FRun;
  // Bindings one multi-binding request may carry; halved when a reply is too big.
  int FBatchLimit = 0;
  uint64_t FGeneration = 0;
};

// The value of a reply's first binding, or why there is none.
TReadValue FirstValue(const TSnmpResult& result);
// The value of one binding of an answered reply: none for the SNMPv2 exceptions.
TReadValue BindingValue(const TSNMPInfo& reply, size_t index);
