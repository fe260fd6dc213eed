#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "MetricsServer.h"

// Where the metrics endpoint listens, as the options give it.
namespace {

struct AddressCase {
  const char* name;
  const char* text;
  const char* host;  // nullptr: refused
  quint16 port;
  const char* error;
};

void PrintTo(const AddressCase& c, std::ostream* out) {
  *out << c.text;
}

class ListenAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ListenAddress, ParsesOrSaysWhy) {
  const AddressCase& c = GetParam();
  QString error;
  const std::optional<TListenAddress> address = ParseListenAddress(c.text, error);
  if (c.host == nullptr) {
    EXPECT_FALSE(address);
    EXPECT_EQ(error, c.error);
    return;
  }
  ASSERT_TRUE(address) << error.toStdString();
  EXPECT_EQ(address->Host, QHostAddress(c.host));
  EXPECT_EQ(address->Port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Metrics, ListenAddress,
    ::testing::Values(AddressCase{"Ipv4", "127.0.0.1:9163", "127.0.0.1", 9163, ""},
                      AddressCase{"Ipv6", "[::1]:65535", "::1", 65535, ""},
                      AddressCase{"Localhost", "LocalHost:1", "127.0.0.1", 1, ""},
                      AddressCase{"Ipv6WithoutBrackets", "::1:9163", nullptr, 0,
                                  "write an IPv6 address in brackets, for example [::1]:9163"},
                      AddressCase{"PortTooBig", "127.0.0.1:65536", nullptr, 0,
                                  "\"65536\" is no port number from 1 to 65535"},
                      AddressCase{"HostName", "example.org:9163", nullptr, 0,
                                  "\"example.org\" is no IP address"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
