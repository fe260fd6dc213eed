#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MonitorTypes.h"
#include "Requester.h"

// Requests one host may have in flight at once in SNMPv2c and 3.
constexpr int kParallelRequests = 4;

// Walks and item reads on the requester. In SNMPv1 every value takes a request of its own and
// one waits for the other, in the order they are asked for. In SNMPv2c and 3 walks go by GetBulk,
// several columns together, each walk its own chain of requests beside the others, and item reads
// share multi-binding requests with one sysUpTime each, several of them in flight at once.
class TSnmpReader {
 public:
  explicit TSnmpReader(TRequester& requester) : FRequester(requester) {}
  TSnmpReader(const TSnmpReader&) = delete;
  TSnmpReader& operator=(const TSnmpReader&) = delete;

  // The community of the requests, and their version field: 0 SNMPv1, 1 SNMPv2c.
  std::string Community;
  int32_t Version = 0;
  // The largest reply the requester takes, which bounds how much one request may ask for.
  int BufferSize = 8192;
  bool Batched() const { return Version >= 1; }

  // Starts counting a new run (see TRequester::StartRun).
  void StartRun() { FRequester.StartRun(); }
  // A new connection: also the batch limit starts afresh, and the requests in flight follow the
  // version.
  void StartConnection();
  const TReadRun& Run() const { return FRequester.Run(); }

  // Walks a column with GetNext from its base name; done gets the rows in order. The walk ends
  // as TWalkCursor says.
  void Walk(const std::string& column, std::function<void(std::vector<TWalkRow>)> done);
  // Walks several columns of one table; with GetBulk together, in SNMPv1 one after the other.
  // A column also ends at endOfMibView. A batched walk that does not end in its first two
  // replies goes on in up to the given number of chains of requests side by side, its columns
  // shared out in order.
  // With upTime, each GetBulk also asks for sysUpTime, and every row carries its reply's.
  void WalkColumns(std::vector<std::string> columns, std::function<void(TWalkTable)> done,
                   int chains = 1, bool upTime = false);

  // Reads the items; each gets one item's values in the items' order, as soon as they and those
  // of the items before are all in. Once the run is abandoned, the items not yet asked for get
  // theirs as unanswered without a request. When each raises, nothing more is asked and done
  // gets the exception once the requests in flight have ended; otherwise done gets nothing.
  void Read(std::vector<TItemRead> items, std::function<void(size_t, const TItemValues&)> each,
            std::function<void(std::exception_ptr)> done);

  // Forgets the walk or read under way; none of its functions runs again.
  void Cancel() { FRequester.Cancel(); }

  // Sends one request as it is, counted in the run.
  void Send(TSNMPInfo request, std::function<void(const TSnmpResult&)> done);

 private:
  struct TReadJob;
  struct TWalkJob;
  struct TBulkWalk;
  struct TBulkJob;
  TSNMPInfo Request(int32_t pduType) const;
  void Get(const std::string& oid, int32_t pduType, std::function<void(const TSnmpResult&)> done);
  void Next(const std::shared_ptr<TReadJob>& job);
  // Sends the batches that may go out now, and hands on what is in.
  void Pump(const std::shared_ptr<TReadJob>& job);
  // The end of the batch of items that starts at first and ends before bound at the latest.
  size_t BatchEnd(const TReadJob& job, size_t first, size_t bound, int& bindings,
                  bool& upTime) const;
  void SendBatch(const std::shared_ptr<TReadJob>& job, size_t first, size_t end, int bindings,
                 bool upTime);
  // Hands the values in to each in the items' order; ends the read when all are handed.
  void Hand(const std::shared_ptr<TReadJob>& job);
  void Step(const std::shared_ptr<TWalkJob>& job, const TSnmpResult& result);
  void BulkStep(const std::shared_ptr<TBulkJob>& job);
  void SplitBulk(const std::shared_ptr<TBulkJob>& job);
  // Runs f from the event loop unless cancelled first.
  void Later(std::function<void()> f) { FRequester.Later(std::move(f)); }
  bool Abandoned() const { return FRequester.Run().Abandoned; }

  TRequester& FRequester;
  // Bindings one multi-binding request may carry; halved when a reply is too big.
  int FBatchLimit = 0;
};

// The value of a reply's first binding, or why there is none.
TReadValue FirstValue(const TSnmpResult& result);
// The value of one binding of an answered reply: none for the SNMPv2 exceptions.
TReadValue BindingValue(const TSNMPInfo& reply, size_t index);
