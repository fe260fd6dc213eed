#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>
#include <string>

// Names table-driven cases after their "name" field.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
    return param.param.name;
  }
};

inline QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

namespace {
// Prints table cases by name; shares the unnamed namespace of the test files that hold them.
template <typename Case>
requires requires(const Case& c) {
  c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}
}  // namespace
