#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "SnmpInfo.h"

// A binding of a reply that is a row: the column it belongs to and where it stands in the reply.
struct TWalkHit {
  size_t Column = 0;
  size_t Binding = 0;
};

// The one end rule of walking table columns, with no I/O: what to ask for next, and which
// bindings of a reply are rows. A column ends at a request without a reply or with an error
// status, at endOfMibView, at a name outside it (its name and a dot must begin the name), and
// at a name that does not come after the one asked for. A GetNext walk asks for one column; a
// GetBulk walk for several, whose reply repeats one binding per open column in turn.
class TWalkCursor {
 public:
  explicit TWalkCursor(std::vector<std::string> columns);

  // The names to ask for next, one per open column, in the order of the columns.
  std::vector<std::string> Asking() const;
  bool Done() const;

  struct TStep {
    std::vector<TWalkHit> Rows;
    bool Done = false;
  };
  // Takes the reply to a request for Asking(), whose first skip bindings answer something else
  // (a GetBulk's non-repeaters).
  TStep Accept(const TSNMPInfo& reply, size_t skip = 0);
  // The request got no reply: the walk ends.
  void Fail();

  // The positions of the columns still open.
  std::vector<size_t> Open() const;
  // A cursor over some of the open columns (positions from Open()), each going on from where it
  // stands here; its columns are numbered in the order given.
  TWalkCursor Part(const std::vector<size_t>& columns) const;

 private:
  std::vector<std::string> columns_;
  std::vector<std::string> cursors_;  // the last name of each column; empty once it ended
};

// The last arc of a name: a row's index in a table with one index.
std::string LastArc(const std::string& name);

// Orders dotted OIDs arc by arc numerically (negative: a before b, 0: equal).
int CompareOids(const std::string& a, const std::string& b);
