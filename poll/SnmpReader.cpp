#include "SnmpReader.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <tuple>

#include "Oids.h"
#include "ValueText.h"
#include "WalkCursor.h"

namespace {

// What one binding of a reply is taken to need, for sizing requests to the receive buffer: the
// name of a table cell, a counter or a short text, and the headers around them.
constexpr int kBindingBudget = 48;
constexpr int kMessageOverhead = 200;
constexpr int kMostRepetitions = 100;
// Replies of a walk before it may go on in several chains: a table that fits two takes no more
// requests than it would in one chain.
constexpr int kRepliesBeforeChains = 2;

bool TooBig(const TSnmpResult& result) {
  return result.Outcome == TSnmpResult::Answered &&
         result.Reply.ErrStatus == SnmpErrorStatus::TooBig;
}

// A row of a walked column from the reply's binding.
TWalkRow WalkRow(const TSNMPInfo& reply, size_t binding) {
  const std::string& name = reply.OidAt(binding);
  return {name, LastArc(name), BindingValue(reply, binding), {}};
}

// GetNext from the column's name gives sysUpTime.0 as a GetBulk's non-repeater.
constexpr const char* kUpTimeColumn = "1.3.6.1.2.1.1.3";

}  // namespace

struct TSnmpReader::TReadJob {
  std::vector<TItemRead> Items;
  std::function<void(size_t, const TItemValues&)> Each;
  std::function<void(std::exception_ptr)> Done;
  size_t Item = 0;     // the next item handed to each
  TItemValues Values;  // SNMPv1: what came of the item being read
  // Batched reads: the items from Planned on are in no batch yet; Again has the ranges of items
  // whose request came back too big; Ready the values in and not yet handed, by item.
  size_t Planned = 0;
  std::deque<std::pair<size_t, size_t>> Again;
  std::vector<std::optional<TItemValues>> Ready;
  int Sending = 0;  // requests in flight
  std::exception_ptr Error;
  bool Ended = false;
};

struct TSnmpReader::TWalkJob {
  explicit TWalkJob(const std::string& column) : Cursor({column}) {}
  TWalkCursor Cursor;
  std::vector<TWalkRow> Rows;
  std::function<void(std::vector<TWalkRow>)> Done;
};

struct TSnmpReader::TBulkWalk {
  TWalkTable Rows;
  int Chains = 1;  // chains of requests still under way
  bool UpTime = false;
  std::function<void(TWalkTable)> Done;
};

// One chain of GetBulk requests of a walk, over some of its columns.
struct TSnmpReader::TBulkJob {
  TBulkJob(std::shared_ptr<TBulkWalk> walk, TWalkCursor cursor, std::vector<size_t> columns)
      : Walk(std::move(walk)), Cursor(std::move(cursor)), Columns(std::move(columns)) {}
  std::shared_ptr<TBulkWalk> Walk;
  TWalkCursor Cursor;
  std::vector<size_t> Columns;  // the walk's column of each of the cursor's
  int Repetitions = 1;
  int Split = 1;  // the chains to go on in once kRepliesBeforeChains replies are in
  int Replies = 0;
};

std::unordered_map<std::string, TReadValue> ByIndex(const std::vector<TWalkRow>& column) {
  std::unordered_map<std::string, TReadValue> cells;
  for (const TWalkRow& row : column) cells.emplace(row.Index, row.Value);
  return cells;
}

TReadValue BindingValue(const TSNMPInfo& reply, size_t index) {
  TReadValue value;
  value.State = TValueState::NoValue;
  if (index >= reply.ValueCount()) return value;
  const int32_t type = reply.ValueTypeAt(index);
  if (type >= SnmpTag::NoSuchObject && type <= SnmpTag::EndOfMibView) return value;
  value.State = TValueState::Value;
  value.Text = reply.ValueAt(index);
  value.Type = type;
  return value;
}

TReadValue FirstValue(const TSnmpResult& result) {
  if (!result.Replied()) return {};
  if (!result.Ok()) return {TValueState::NoValue, {}, 0};
  return BindingValue(result.Reply, 0);
}

void TSnmpReader::StartConnection() {
  FBatchLimit = 0;
  // SNMPv1 keeps one request in flight: each waits for the one before.
  FRequester.InFlightLimit = Batched() ? kParallelRequests : 1;
  StartRun();
}

TSNMPInfo TSnmpReader::Request(int32_t pduType) const {
  TSNMPInfo request(nullptr);
  request.SetCommunity(Community);
  request.Version = Version;
  request.PduType = pduType;
  return request;
}

void TSnmpReader::Send(TSNMPInfo request, std::function<void(const TSnmpResult&)> done) {
  FRequester.Send(std::move(request), std::move(done));
}

void TSnmpReader::Get(const std::string& oid, int32_t pduType,
                      std::function<void(const TSnmpResult&)> done) {
  TSNMPInfo request = Request(pduType);
  request.AddVarBind(oid, "", SnmpTag::OctetString);
  Send(std::move(request), std::move(done));
}

void TSnmpReader::Walk(const std::string& column, std::function<void(std::vector<TWalkRow>)> done) {
  if (Batched()) {
    WalkColumns({column},
                [done = std::move(done)](TWalkTable table) { done(std::move(table.front())); });
    return;
  }
  auto job = std::make_shared<TWalkJob>(column);
  job->Done = std::move(done);
  if (Abandoned()) {
    Later([job] { job->Done({}); });
    return;
  }
  Get(column, SnmpTag::GetNextRequest,
      [this, job](const TSnmpResult& result) { Step(job, result); });
}

void TSnmpReader::Step(const std::shared_ptr<TWalkJob>& job, const TSnmpResult& result) {
  if (!result.Replied() || Abandoned()) {
    job->Cursor.Fail();
  } else {
    for (const TWalkHit& row : job->Cursor.Accept(result.Reply).Rows) {
      job->Rows.push_back(WalkRow(result.Reply, row.Binding));
    }
  }
  if (job->Cursor.Done()) {
    job->Done(std::move(job->Rows));
    return;
  }
  Get(job->Cursor.Asking().front(), SnmpTag::GetNextRequest,
      [this, job](const TSnmpResult& next) { Step(job, next); });
}

void TSnmpReader::WalkColumns(std::vector<std::string> columns,
                              std::function<void(TWalkTable)> done, int chains, bool upTime) {
  if (!Batched()) {
    // One column after the other, each with GetNext.
    auto table = std::make_shared<TWalkTable>();
    auto next = std::make_shared<std::function<void()>>();
    *next = [this, columns, table, next, done = std::move(done)] {
      if (table->size() == columns.size()) {
        done(std::move(*table));
        *next = nullptr;
        return;
      }
      Walk(columns[table->size()], [table, next](std::vector<TWalkRow> rows) {
        table->push_back(std::move(rows));
        (*next)();
      });
    };
    (*next)();
    return;
  }
  auto walk = std::make_shared<TBulkWalk>();
  walk->Rows.resize(columns.size());
  walk->Done = std::move(done);
  walk->UpTime = upTime;
  if (Abandoned()) {
    Later([walk] { walk->Done(std::move(walk->Rows)); });
    return;
  }
  std::vector<size_t> all(columns.size());
  for (size_t c = 0; c < all.size(); ++c) all[c] = c;
  const int perRow = static_cast<int>(columns.size()) * kBindingBudget;
  auto job = std::make_shared<TBulkJob>(walk, TWalkCursor(std::move(columns)), std::move(all));
  job->Repetitions = std::clamp((BufferSize - kMessageOverhead) / perRow, 1, kMostRepetitions);
  job->Split = chains;
  BulkStep(job);
}

void TSnmpReader::BulkStep(const std::shared_ptr<TBulkJob>& job) {
  if (job->Cursor.Done() || Abandoned()) {
    TBulkWalk& walk = *job->Walk;
    if (--walk.Chains == 0) walk.Done(std::move(walk.Rows));
    return;
  }
  const bool upTime = job->Walk->UpTime;
  TSNMPInfo request = Request(SnmpTag::GetBulkRequest);
  request.ErrStatus = upTime ? 1 : 0;  // non-repeaters
  request.ErrIndex = job->Repetitions;
  if (upTime) request.AddVarBind(kUpTimeColumn, "", SnmpTag::Null);
  for (const std::string& name : job->Cursor.Asking()) {
    request.AddVarBind(name, "", SnmpTag::Null);
  }
  Send(std::move(request), [this, job, upTime](const TSnmpResult& result) {
    if (TooBig(result) && job->Repetitions > 1) {
      job->Repetitions /= 2;
      BulkStep(job);
      return;
    }
    if (!result.Replied()) {
      job->Cursor.Fail();
    } else {
      const TSNMPInfo& reply = result.Reply;
      // An up-time under another name is none.
      TReadValue now;
      if (upTime && reply.Count() > 0 && reply.OidAt(0) == Oids::SysUpTime) {
        now = BindingValue(reply, 0);
      } else {
        now.State = TValueState::NoValue;
      }
      for (const TWalkHit& row : job->Cursor.Accept(reply, upTime ? 1 : 0).Rows) {
        TWalkRow& walked =
            job->Walk->Rows[job->Columns[row.Column]].emplace_back(WalkRow(reply, row.Binding));
        if (upTime) walked.UpTime = now;
      }
    }
    if (job->Split > 1 && ++job->Replies == kRepliesBeforeChains) {
      SplitBulk(job);
    } else {
      BulkStep(job);
    }
  });
}

void TSnmpReader::SplitBulk(const std::shared_ptr<TBulkJob>& job) {
  // A table that has not ended is long: its open columns go on as chains side by side, each of
  // fewer columns and as many more rows a request, so that the requests stay as full as before.
  // Neighbouring columns stay in one chain.
  const std::vector<size_t> open = job->Cursor.Open();
  const size_t width = (open.size() + static_cast<size_t>(job->Split) - 1) /
                       static_cast<size_t>(std::max(job->Split, 1));
  const size_t chains = width == 0 ? 0 : (open.size() + width - 1) / width;
  job->Split = 1;
  if (chains <= 1) {
    BulkStep(job);
    return;
  }
  const int perRequest = job->Repetitions * static_cast<int>(job->Columns.size());
  job->Walk->Chains += static_cast<int>(chains) - 1;
  std::vector<std::shared_ptr<TBulkJob>> parts;
  for (size_t n = 0; n < chains; ++n) {
    const std::vector<size_t> these(
        open.begin() + static_cast<ptrdiff_t>(n * width),
        open.begin() + static_cast<ptrdiff_t>(std::min((n + 1) * width, open.size())));
    std::vector<size_t> columns;
    for (const size_t c : these) columns.push_back(job->Columns[c]);
    auto part = std::make_shared<TBulkJob>(job->Walk, job->Cursor.Part(these), std::move(columns));
    part->Repetitions =
        std::clamp(perRequest / static_cast<int>(these.size()), 1, kMostRepetitions);
    parts.push_back(std::move(part));
  }
  for (const auto& part : parts) BulkStep(part);
}

void TSnmpReader::Read(std::vector<TItemRead> items,
                       std::function<void(size_t, const TItemValues&)> each,
                       std::function<void(std::exception_ptr)> done) {
  auto job = std::make_shared<TReadJob>();
  job->Items = std::move(items);
  job->Each = std::move(each);
  job->Done = std::move(done);
  if (Batched()) {
    if (FBatchLimit == 0) FBatchLimit = (BufferSize - kMessageOverhead) / kBindingBudget;
    job->Ready.resize(job->Items.size());
    Later([this, job] { Pump(job); });
  } else {
    Later([this, job] { Next(job); });
  }
}

namespace {

// Whether position i of an item still has to be asked for.
bool Unknown(const TItemRead& item, size_t i) {
  return i >= item.Known.size() || !item.Known[i];
}

}  // namespace

void TSnmpReader::Next(const std::shared_ptr<TReadJob>& job) {
  // Items that need no request (a run given up) are handed on a batch at a time, so that the
  // event loop gets its turn between batches.
  constexpr int kBatch = 64;
  int handed = 0;
  while (job->Item < job->Items.size()) {
    if (handed == kBatch) {
      Later([this, job] { Next(job); });
      return;
    }
    const TItemRead& item = job->Items[job->Item];
    const size_t at = job->Values.size();
    if (at < item.Oids.size() && !Unknown(item, at)) {
      job->Values.push_back(*item.Known[at]);
      continue;
    }
    if (at < item.Oids.size() && !Abandoned()) {
      Get(item.Oids[at], SnmpTag::GetRequest, [this, job](const TSnmpResult& result) {
        job->Values.push_back(FirstValue(result));
        Next(job);
      });
      return;
    }
    // After two time-outs in a row the rest goes unanswered without being asked.
    job->Values.resize(item.Oids.size());
    try {
      job->Each(job->Item, job->Values);
    } catch (...) {
      job->Done(std::current_exception());
      return;
    }
    job->Values.clear();
    ++job->Item;
    ++handed;
  }
  job->Done(nullptr);
}

size_t TSnmpReader::BatchEnd(const TReadJob& job, size_t first, size_t bound, int& bindings,
                             bool& upTime) const {
  // The items from first on that fit one request; one sysUpTime serves all of them.
  size_t end = first;
  bindings = 0;
  upTime = false;
  while (end < bound) {
    const TItemRead& item = job.Items[end];
    int more = 0;
    bool needsUpTime = false;
    for (size_t i = 0; i < item.Oids.size(); ++i) {
      if (!Unknown(item, i)) continue;
      if (item.Oids[i] == Oids::SysUpTime) {
        needsUpTime = true;
      } else {
        ++more;
      }
    }
    const int added = more + (needsUpTime && !upTime ? 1 : 0);
    if (end > first && bindings + added > FBatchLimit) break;
    bindings += added;
    upTime = upTime || needsUpTime;
    ++end;
  }
  return end;
}

namespace {

// The values of items [first, end): what is known, the rest as asked gives it.
void Fill(const std::vector<TItemRead>& items, size_t first, size_t end,
          std::vector<std::optional<TItemValues>>& ready,
          const std::function<TReadValue(const std::string&)>& asked) {
  for (size_t n = first; n < end; ++n) {
    const TItemRead& item = items[n];
    TItemValues& these = ready[n].emplace();
    for (size_t i = 0; i < item.Oids.size(); ++i) {
      these.push_back(Unknown(item, i) ? asked(item.Oids[i]) : *item.Known[i]);
    }
  }
}

}  // namespace

void TSnmpReader::Pump(const std::shared_ptr<TReadJob>& job) {
  if (job->Ended) return;
  while (!job->Error && job->Sending < kParallelRequests) {
    size_t first = job->Planned, bound = job->Items.size();
    const bool again = !job->Again.empty();
    if (again) {
      std::tie(first, bound) = job->Again.front();
      job->Again.pop_front();
    } else if (first == bound) {
      break;
    }
    int bindings = 0;
    bool upTime = false;
    const size_t end = BatchEnd(*job, first, bound, bindings, upTime);
    if (!again) {
      job->Planned = end;
    } else if (end < bound) {
      job->Again.push_front({end, bound});
    }
    if (bindings > 0 && !Abandoned()) {
      SendBatch(job, first, end, bindings, upTime);
      continue;
    }
    // Nothing to ask, or a run given up: the values are what is known, the rest unanswered.
    // The event loop gets its turn before the next batch.
    Fill(job->Items, first, end, job->Ready, [](const std::string&) { return TReadValue{}; });
    Hand(job);
    Later([this, job] { Pump(job); });
    return;
  }
  Hand(job);
}

void TSnmpReader::SendBatch(const std::shared_ptr<TReadJob>& job, size_t first, size_t end,
                            int bindings, bool upTime) {
  TSNMPInfo request = Request(SnmpTag::GetRequest);
  if (upTime) request.AddVarBind(Oids::SysUpTime, "", SnmpTag::Null);
  for (size_t n = first; n < end; ++n) {
    const TItemRead& item = job->Items[n];
    for (size_t i = 0; i < item.Oids.size(); ++i) {
      if (Unknown(item, i) && item.Oids[i] != Oids::SysUpTime) {
        request.AddVarBind(item.Oids[i], "", SnmpTag::Null);
      }
    }
  }
  ++job->Sending;
  Send(std::move(request), [this, job, first, end, bindings, upTime](const TSnmpResult& result) {
    --job->Sending;
    if (job->Ended) return;
    if (job->Error) {
      // The read has stopped: it ends once its last request has.
      Hand(job);
      return;
    }
    if (TooBig(result) && end - first > 1) {
      // The same items again, in requests of half as many bindings as this one.
      FBatchLimit = std::max(1, std::min(FBatchLimit, bindings / 2));
      job->Again.push_back({first, end});
      Pump(job);
      return;
    }
    const bool answered = result.Ok();
    const TSNMPInfo& reply = result.Reply;
    size_t binding = upTime ? 1 : 0;
    Fill(job->Items, first, end, job->Ready, [&](const std::string& oid) -> TReadValue {
      if (!result.Replied()) return {};
      if (!answered) return {TValueState::NoValue, {}, 0};
      if (oid == Oids::SysUpTime) return BindingValue(reply, 0);
      return BindingValue(reply, binding++);
    });
    Pump(job);
  });
}

void TSnmpReader::Hand(const std::shared_ptr<TReadJob>& job) {
  while (!job->Error && job->Item < job->Items.size() && job->Ready[job->Item]) {
    const size_t item = job->Item++;
    const TItemValues values = std::move(*job->Ready[item]);
    job->Ready[item].reset();
    try {
      job->Each(item, values);
    } catch (...) {
      job->Error = std::current_exception();
    }
  }
  if (job->Ended || (job->Error ? job->Sending > 0 : job->Item < job->Items.size())) return;
  job->Ended = true;
  job->Done(job->Error);
}
