#include "WalkCursor.h"

#include <utility>

#include "SnmpQueries.h"

namespace {

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

void TWalkCursor::Fail() {
  for (std::string& cursor : cursors_) cursor.clear();
}

TWalkCursor::TStep TWalkCursor::Accept(const TSNMPInfo& reply) {
  TStep step;
  std::vector<size_t> asked;
  for (size_t c = 0; c < cursors_.size(); ++c) {
    if (!cursors_[c].empty()) asked.push_back(c);
  }
  // A reply without a binding for every column asked would ask the same again forever.
  if (reply.ErrStatus != SnmpErrorStatus::NoError || reply.Count() < asked.size()) {
    Fail();
    step.Done = true;
    return step;
  }
  for (size_t b = 0; b < reply.Count(); ++b) {
    const size_t c = asked[b % asked.size()];
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
