#include <benchmark/benchmark.h>

#include "BenchMessages.h"
#include "SnmpInfo.h"

namespace {

void BM_EncodeGetRequest(benchmark::State& state) {
  TSNMPInfo info(nullptr);
  info.SetCommunity(kBenchCommunity);
  info.AddVarBind(kBenchOid, "", 4);
  info.PduType = 0xA0;
  for (auto _ : state) {
    std::string packet = info.EncodeMessage();
    benchmark::DoNotOptimize(packet);
  }
}
BENCHMARK(BM_EncodeGetRequest);

void BM_DecodeCounterReply(benchmark::State& state) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  for (auto _ : state) {
    info.Reset();
    info.SetCommunity("pewter");
    info.DecodeMessage(kCounterReply);
    benchmark::DoNotOptimize(info.ValueAt(0));
  }
  if (info.ValueAt(0) != "4294967295") state.SkipWithError("wrong value decoded");
}
BENCHMARK(BM_DecodeCounterReply);

}  // namespace

BENCHMARK_MAIN();
