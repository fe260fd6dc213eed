#include "SnmpReader.h"

#include <QTimer>

#include "SnmpQueries.h"

struct TSnmpReader::TReadJob {
  std::vector<TItemRead> Items;
  std::function<void(size_t, const TItemValues&)> Each;
  std::function<void(std::exception_ptr)> Done;
  size_t Item = 0;
  TItemValues Values;
};

struct TSnmpReader::TWalkJob {
  std::string Column;
  std::string Asked;
  std::vector<TWalkRow> Rows;
  std::function<void(std::vector<TWalkRow>)> Done;
};

TReadValue FirstValue(const TSnmpResult& result) {
  TReadValue value;
  if (result.Outcome != TSnmpResult::Answered) return value;
  if (!result.Ok() || result.Reply.ValueCount() == 0) {
    value.State = TValueState::NoValue;
    return value;
  }
  value.State = TValueState::Value;
  value.Text = result.Reply.ValueAt(0);
  value.Type = result.Reply.ValueTypeAt(0);
  return value;
}

void TSnmpReader::Later(std::function<void()> f) {
  const uint64_t generation = FGeneration;
  QTimer::singleShot(0, &FClient, [this, generation, f = std::move(f)] {
    if (generation == FGeneration) f();
  });
}

void TSnmpReader::Cancel() {
  ++FGeneration;
  FClient.Cancel();
}

void TSnmpReader::Count(const TSnmpResult& result) {
  ++FRun.Requests;
  if (result.Outcome == TSnmpResult::Answered) {
    ++FRun.Answers;
    FRun.TimeOutsInARow = 0;
    return;
  }
  if (result.Outcome == TSnmpResult::Failed) FRun.Error = result.Error;
  ++FRun.TimeOuts;
  if (++FRun.TimeOutsInARow >= 2) FRun.Abandoned = true;
}

void TSnmpReader::Get(const std::string& oid, int32_t pduType,
                      std::function<void(const TSnmpResult&)> done) {
  TSNMPInfo request(nullptr);
  request.SetCommunity(Community);
  request.PduType = pduType;
  request.AddVarBind(oid, "", SnmpTag::OctetString);
  const uint64_t generation = FGeneration;
  FClient.Send(request, [this, generation, done = std::move(done)](const TSnmpResult& result) {
    if (generation != FGeneration) return;
    Count(result);
    done(result);
  });
}

void TSnmpReader::Walk(const std::string& column, std::function<void(std::vector<TWalkRow>)> done) {
  auto job = std::make_shared<TWalkJob>();
  job->Column = column;
  job->Asked = column;
  job->Done = std::move(done);
  if (FRun.Abandoned) {
    Later([job] { job->Done({}); });
    return;
  }
  Get(column, SnmpTag::GetNextRequest,
      [this, job](const TSnmpResult& result) { Step(job, result); });
}

void TSnmpReader::Step(const std::shared_ptr<TWalkJob>& job, const TSnmpResult& result) {
  const bool more = result.Ok() && result.Reply.Count() > 0 && !FRun.Abandoned;
  const std::string name = more ? result.Reply.OidAt(0) : std::string();
  // An agent that answers with a name not after the one asked for would never end the walk.
  if (!more || name.compare(0, job->Column.size(), job->Column) != 0 ||
      CompareOids(name, job->Asked) <= 0) {
    job->Done(std::move(job->Rows));
    return;
  }
  const auto dot = name.rfind('.');
  job->Rows.push_back(
      {name, dot == std::string::npos ? name : name.substr(dot + 1), FirstValue(result)});
  job->Asked = name;
  Get(name, SnmpTag::GetNextRequest, [this, job](const TSnmpResult& next) { Step(job, next); });
}

void TSnmpReader::Read(std::vector<TItemRead> items,
                       std::function<void(size_t, const TItemValues&)> each,
                       std::function<void(std::exception_ptr)> done) {
  auto job = std::make_shared<TReadJob>();
  job->Items = std::move(items);
  job->Each = std::move(each);
  job->Done = std::move(done);
  Later([this, job] { Next(job); });
}

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
    if (job->Values.size() < item.Oids.size() && !FRun.Abandoned) {
      Get(item.Oids[job->Values.size()], SnmpTag::GetRequest,
          [this, job](const TSnmpResult& result) {
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
