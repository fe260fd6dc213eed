#include "Connection.h"

#include <algorithm>

#include "Oids.h"
#include "ValueText.h"

TConnection::TDone TConnection::Then(TDone done, std::function<void()> next) {
  return [done = std::move(done), next = std::move(next)](std::exception_ptr error) {
    if (error) {
      done(error);
      return;
    }
    try {
      next();
    } catch (...) {
      done(std::current_exception());
    }
  };
}

void TConnection::Probe(std::function<void(const TSnmpResult&)> done) {
  Reader.StartConnection();
  TSNMPInfo probe(nullptr);
  probe.SetCommunity(Reader.Community);
  probe.Version = Reader.Version;
  probe.PduType = SnmpTag::GetRequest;
  Reader.Send(std::move(probe), std::move(done));
}

struct TConnection::TWalked {
  TWalkTable Storage, Interfaces, Extension;
  std::vector<TWalkRow> Processors;
};

void TConnection::Discover(int graphLength, std::function<void(std::exception_ptr)> done) {
  for (TMonitorSetup* setup : {&Processors.Setup, &Interfaces.Setup, &Storage.Setup}) {
    setup->GraphLength = graphLength;
  }
  Reader.StartRun();
  auto walked = std::make_shared<TWalked>();
  const bool batched = Reader.Batched();
  const auto storageColumns = TStorageMonitor::DiscoveryColumns(batched);
  const auto interfaceColumns = TInterfaceMonitor::DiscoveryColumns(batched);
  if (!batched) {
    // SNMPv1, one request after the other: each table is walked and read before the next.
    Reader.WalkColumns(storageColumns, [this, walked, done, interfaceColumns](TWalkTable table) {
      walked->Storage = std::move(table);
      ReadStorage(*walked, Then(done, [this, walked, done, interfaceColumns] {
        Reader.Walk(Oids::ProcessorIdColumn,
                    [this, walked, done, interfaceColumns](std::vector<TWalkRow> rows) {
                      walked->Processors = std::move(rows);
                      Then(done, [&] {
                        ProcessorRows(*walked);
                        Reader.WalkColumns(interfaceColumns, [this, walked, done](TWalkTable ifs) {
                          walked->Interfaces = std::move(ifs);
                          ReadInterfaces(*walked, done);
                        });
                      })(nullptr);
                    });
      }));
    });
    return;
  }
  // The tables are walked side by side, each walk its own chain of requests; once all are in,
  // the rows come in the same order as above.
  auto left = std::make_shared<int>(4);
  const auto walkedOne = [this, walked, done, left] {
    if (--*left > 0) return;
    ReadStorage(*walked, Then(done, [this, walked, done] {
      ProcessorRows(*walked);
      ReadInterfaces(*walked, done);
    }));
  };
  Reader.WalkColumns(storageColumns, [walked, walkedOne](TWalkTable table) {
    walked->Storage = std::move(table);
    walkedOne();
  });
  Reader.Walk(Oids::ProcessorIdColumn, [walked, walkedOne](std::vector<TWalkRow> rows) {
    walked->Processors = std::move(rows);
    walkedOne();
  });
  // The two interface tables are the long ones: they go on in up to three chains of two columns
  // each (the last may have one), which keeps
  // every request a host may have in flight busy. The 64-bit counters come with the up-time of
  // their replies, as the baselines of the first rates.
  constexpr int kInterfaceChains = 3;
  Reader.WalkColumns(
      interfaceColumns,
      [walked, walkedOne](TWalkTable table) {
        walked->Interfaces = std::move(table);
        walkedOne();
      },
      kInterfaceChains);
  Reader.WalkColumns(
      TInterfaceMonitor::ExtensionColumns(batched),
      [walked, walkedOne](TWalkTable table) {
        walked->Extension = std::move(table);
        walkedOne();
      },
      kInterfaceChains, true);
}

void TConnection::ReadStorage(const TWalked& walked, TDone done) {
  Then(done, [&] {
    Reader.Read(
        Storage.DiscoveryReads(walked.Storage),
        [this](size_t item, const TItemValues& values) {
          if (auto rowSpec = Storage.Discover(static_cast<int>(item), values)) Row(*rowSpec);
        },
        done);
  })(nullptr);
}

void TConnection::ProcessorRows(const TWalked& walked) {
  for (const TRowSpec& rowSpec : Processors.Discover(walked.Processors)) Row(rowSpec);
}

void TConnection::ReadInterfaces(const TWalked& walked, TDone done) {
  Then(done, [&] {
    Reader.Read(
        Interfaces.DiscoveryReads(walked.Interfaces, walked.Extension),
        [this](size_t item, const TItemValues& values) {
          Row(Interfaces.Discover(static_cast<int>(item), values));
        },
        Then(done, [this, done] { NameInterfaces(done); }));
  })(nullptr);
}

void TConnection::NameInterfaces(TDone done) {
  // Interfaces without a description are called by their ifName where the agent has one.
  Reader.Read(
      Interfaces.NameReads(),
      [this](size_t item, const TItemValues& values) {
        if (auto rowSpec = Interfaces.Name(static_cast<int>(item), values)) Renamed(*rowSpec);
      },
      done);
}

void TConnection::SetPollTime(int64_t time) {
  for (TMonitorSetup* setup : {&Processors.Setup, &Interfaces.Setup, &Storage.Setup}) {
    setup->PollTime = time;
  }
}

void TConnection::Poll(const std::vector<TItemKind>& kinds,
                       std::function<void(std::exception_ptr)> done) {
  const auto wanted = [&kinds](TItemKind kind) {
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
  };
  Reader.StartRun();
  // One read for the whole poll.
  std::vector<TItemRead> reads;
  if (wanted(TItemKind::Processor)) reads = Processors.PollReads();
  const size_t interfacesFrom = reads.size();
  if (wanted(TItemKind::Interface)) {
    for (TItemRead& read : Interfaces.PollReads()) reads.push_back(std::move(read));
  }
  const size_t storageFrom = reads.size();
  if (wanted(TItemKind::Storage)) {
    for (TItemRead& read : Storage.PollReads()) reads.push_back(std::move(read));
  }
  // Interface reads carry the up-time; without them a batched poll takes one binding for it.
  const size_t upTimeFrom = reads.size();
  if (Reader.Batched() && interfacesFrom == storageFrom) reads.push_back({{Oids::SysUpTime}, {}});
  Reader.Read(
      std::move(reads),
      [this, interfacesFrom, storageFrom, upTimeFrom](size_t item, const TItemValues& values) {
        if (item < interfacesFrom) {
          Update(Processors.Poll(static_cast<int>(item), values));
        } else if (item < storageFrom) {
          TakeUpTime(values.at(0));
          Update(Interfaces.Poll(static_cast<int>(item - interfacesFrom), values, AutoHeight()));
        } else if (item < upTimeFrom) {
          Update(Storage.Poll(static_cast<int>(item - storageFrom), values));
        } else {
          TakeUpTime(values.at(0));
        }
      },
      std::move(done));
}

void TConnection::FollowUp(std::function<void(std::exception_ptr)> done) {
  Reader.StartRun();
  Reader.Read(
      Interfaces.FollowUpReads(),
      [this](size_t item, const TItemValues& values) {
        TakeUpTime(values.at(0));
        Update(Interfaces.FollowUp(static_cast<int>(item), values, AutoHeight()));
      },
      std::move(done));
}

void TConnection::ReadIdentity(std::function<void()> done) {
  TSNMPInfo request(nullptr);
  request.SetCommunity(Reader.Community);
  request.Version = Reader.Version;
  request.PduType = SnmpTag::GetRequest;
  // Empty values, as every SNMPv1 request of this program carries; Null from version 2c on.
  const int32_t empty = Reader.Batched() ? SnmpTag::Null : SnmpTag::OctetString;
  for (const char* oid : {Oids::SysDescr, Oids::SysUpTime, Oids::SysName}) {
    request.AddVarBind(oid, "", empty);
  }
  Reader.Send(std::move(request), [this, done = std::move(done)](const TSnmpResult& result) {
    // In SNMPv1 an agent without one of them refuses all three.
    if (result.Ok()) {
      const auto text = [&result](size_t binding) {
        const TReadValue value = BindingValue(result.Reply, binding);
        return value.Ok() ? QString::fromLocal8Bit(value.Text) : QString();
      };
      Identity.Descr = text(0);
      TakeUpTime(BindingValue(result.Reply, 1));
      Identity.Name = text(2);
    }
    done();
  });
}

void TConnection::TakeUpTime(const TReadValue& value) {
  uint32_t ticks = 0;
  if (value.Ok() && TryStrToLW(value.Text, ticks)) Identity.UpTime = ticks;
}

void TConnection::Cancel() {
  Reader.Cancel();
  Processors.List.Clear();
  Interfaces.List.Clear();
  Storage.List.Clear();
  Identity = {};
}
