#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "Monitors.h"
#include "SnmpReader.h"

// The sequences of one connection on the reader: the probe, discovery and each poll, with the
// three monitors. Rows and updates go to the functions its poller gives, and every sequence ends
// in its done function (never while it is being started).
class TConnection {
 public:
  explicit TConnection(TRequester& requester) : Reader(requester) {}

  TSnmpReader Reader;
  TProcessorMonitor Processors;
  TInterfaceMonitor Interfaces;
  TStorageMonitor Storage;

  // A row to create (discovery), an item's poll to show; exceptions they raise end the
  // sequence and reach its done function.
  std::function<void(const TRowSpec&)> Row;
  // A row created before whose caption changes.
  std::function<void(const TRowSpec&)> Renamed;
  std::function<void(const TRowUpdate&)> Update;
  // Whether "Auto Height" is on, asked at each interface's update.
  std::function<bool()> AutoHeight = [] { return false; };

  // The empty GetRequest that tells whether the agent answers at all.
  void Probe(std::function<void(const TSnmpResult&)> done);
  // Finds the storage areas, processors and interfaces, with charts of the given length; their
  // rows come in that order. In SNMPv1 each table is walked and read before the next; batched,
  // the tables are walked side by side. done gets the exception that ended it, if any; Reader.Run()
  // tells whether the host fell silent meanwhile.
  void Discover(int graphLength, std::function<void(std::exception_ptr)> done);
  // Sets the time (UTC milliseconds since the epoch) the charts' points of the next poll stand
  // at.
  void SetPollTime(int64_t time);
  // One poll of the given kinds, in the order processors, interfaces, storage. Its sysUpTime
  // readings keep Identity's up-time; with batched reads a poll without interfaces reads one.
  void Poll(const std::vector<TItemKind>& kinds, std::function<void(std::exception_ptr)> done);
  // One more reading of the interfaces whose last poll came too soon after their baselines to
  // give rates; it takes that poll's place.
  void FollowUp(std::function<void(std::exception_ptr)> done);
  // Reads the host's sysDescr, sysUpTime and sysName into Identity, in one request.
  void ReadIdentity(std::function<void()> done);
  // Forgets whatever is under way, the items and the identity.
  void Cancel();

  TDeviceIdentity Identity;

 private:
  using TDone = std::function<void(std::exception_ptr)>;
  // Runs next unless the step before ended in an exception, which goes to done instead.
  static TDone Then(TDone done, std::function<void()> next);
  // What discovery's walks found.
  struct TWalked;
  // Each reads what the walks left to read and gives the rows of one kind.
  void ReadStorage(const TWalked& walked, TDone done);
  // Raises what the processors' discovery raises.
  void ProcessorRows(const TWalked& walked);
  void ReadInterfaces(const TWalked& walked, TDone done);
  void NameInterfaces(TDone done);
  // Keeps a sysUpTime reading as the host's up-time.
  void TakeUpTime(const TReadValue& value);
};
