#include "WalkCursor.h"

#include <charconv>
#include <utility>

namespace {

// Next arc of a dotted OID from pos; pos ends past the dot (npos at the end).
uint64_t NextArc(const std::string& oid, size_t& pos) {
  const auto dot = oid.find('.', pos);
  const size_t end = dot == std::string::npos ? oid.size() : dot;
  uint64_t arc = 0;
  std::from_chars(oid.data() + pos, oid.data() + end, arc);
  pos = dot == std::string::npos ? std::string::npos : dot + 1;
  return arc;
}

bool InColumn(const std::string& name, const std::string& column) {
  return name.size() > column.size() + 1 && name[column.size()] == '.' &&
         name.compare(0, column.size(), column) == 0;
}

}  // namespace

TWalkCursor::TWalkCursor(std::vector<std::string> columns)
    : columns_(std::move(columns)), cursors_(columns_) {}

std::vector<std::string> TWalkCursor::Asking() const {
  std::vector<std::string> names;
  for (const std::string& cursor : cursors_) {
    if (!cursor.empty()) names.push_back(cursor);
  }
  return names;
}

bool TWalkCursor::Done() const {
  for (const std::string& cursor : cursors_) {
    if (!cursor.empty()) return false;
  }
  return true;
}

std::vector<size_t> TWalkCursor::Open() const {
  std::vector<size_t> open;
  for (size_t c = 0; c < cursors_.size(); ++c) {
    if (!cursors_[c].empty()) open.push_back(c);
  }
  return open;
}

TWalkCursor TWalkCursor::Part(const std::vector<size_t>& columns) const {
  TWalkCursor part({});
  for (const size_t c : columns) {
    part.columns_.push_back(columns_.at(c));
    part.cursors_.push_back(cursors_.at(c));
  }
  return part;
}

void TWalkCursor::Fail() {
  for (std::string& cursor : cursors_) cursor.clear();
}

TWalkCursor::TStep TWalkCursor::Accept(const TSNMPInfo& reply, size_t skip) {
  TStep step;
  const std::vector<size_t> asked = Open();
  // A reply without a binding for every column asked would ask the same again forever.
  if (reply.ErrStatus != SnmpErrorStatus::NoError || reply.Count() < skip + asked.size()) {
    Fail();
    step.Done = true;
    return step;
  }
  for (size_t b = skip; b < reply.Count(); ++b) {
    const size_t c = asked[(b - skip) % asked.size()];
    std::string& cursor = cursors_[c];
    if (cursor.empty()) continue;
    const std::string& name = reply.OidAt(b);
    if (reply.ValueTypeAt(b) == SnmpTag::EndOfMibView || !InColumn(name, columns_[c]) ||
        CompareOids(name, cursor) <= 0) {
      cursor.clear();
    } else {
      step.Rows.push_back({c, b});
      cursor = name;
    }
  }
  step.Done = Done();
  return step;
}

std::string LastArc(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

int CompareOids(const std::string& a, const std::string& b) {
  size_t posA = a.empty() ? std::string::npos : 0;
  size_t posB = b.empty() ? std::string::npos : 0;
  while (posA != std::string::npos && posB != std::string::npos) {
    const uint64_t arcA = NextArc(a, posA);
    const uint64_t arcB = NextArc(b, posB);
    if (arcA != arcB) return arcA < arcB ? -1 : 1;
  }
  if (posA == posB) return 0;
  return posA == std::string::npos ? -1 : 1;
}
