#include <gtest/gtest.h>

#include <QCoreApplication>
#include <ctime>

int main(int argc, char** argv) {
  // Local time apart from UTC, so that a time taken for the other shows; the programs the tests
  // start inherit it.
  qputenv("TZ", "Europe/Berlin");
  tzset();
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
