#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "SnmpAgents.h"
#include "SnmpQueries.h"
#include "SnmpSimFixture.h"
#include "WalkCursor.h"

namespace {

using QueriesAgainstSnmpSim = TSnmpSimSuite;

struct TWalkCase {
  const char* name;
  const char* base;
  const char* list;
  int32_t count;
};

class WalkTest : public QueriesAgainstSnmpSim, public ::testing::WithParamInterface<TWalkCase> {};

TEST_P(WalkTest, CollectsRowIndexes) {
  std::string list = "left over";
  EXPECT_EQ(GetParam().count, SnmpWalkIndexes(snmp_, GetParam().base, list));
  EXPECT_EQ(GetParam().list, list);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, WalkTest,
    ::testing::Values(TWalkCase{"IfIndex", "1.3.6.1.2.1.2.2.1.1", "1,2,10,", 3},
                      TWalkCase{"EmptyColumn", "1.3.6.1.2.1.2.2.1.4", "", 0},
                      TWalkCase{"StopsAtNextColumn", "1.3.6.1.2.1.25.3.3.1.1", "768,769,", 2},
                      TWalkCase{"StorageIndex", "1.3.6.1.2.1.25.2.3.1.1", "1,3,31,40,", 4},
                      TWalkCase{"EndOfView", "1.3.6.1.2.1.25.3.3.1.2", "768,769,", 2}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(QueriesAgainstSnmpSim, GetValueReadsValuesAsText) {
  EXPECT_EQ("4294967295", SnmpGetValue(snmp_, "1.3.6.1.2.1.2.2.1.10.2"));
  EXPECT_EQ("360000", SnmpGetValue(snmp_, "1.3.6.1.2.1.1.3.0"));
  EXPECT_EQ("12", SnmpGetValue(snmp_, "1.3.6.1.2.1.25.3.3.1.2.768"));
  EXPECT_EQ("Physical memory", SnmpGetValue(snmp_, "1.3.6.1.2.1.25.2.3.1.3.1"));
}

TEST_F(QueriesAgainstSnmpSim, GetValueOfUnknownNameIsEmpty) {
  EXPECT_EQ("", SnmpGetValue(snmp_, "1.3.6.1.2.1.99.0"));
}

TEST_F(QueriesAgainstSnmpSim, OtherCommunityGetsNoAnswer) {
  snmp_.SetCommunity("public");
  snmp_.SetReceiveTimeout(300);
  EXPECT_EQ("", SnmpGetValue(snmp_, "1.3.6.1.2.1.1.3.0"));
}

TEST(Queries, NoAgentGivesEmptyResults) {
  TIdSNMP snmp;
  AimAt(snmp, FreeUdpPort(), 300);
  std::string list = "x";
  EXPECT_EQ(0, SnmpWalkIndexes(snmp, "1.3.6.1.2.1.2.2.1.1", list));
  EXPECT_EQ("", list);
  EXPECT_EQ("", SnmpGetValue(snmp, "1.3.6.1.2.1.1.3.0"));
}

TEST(Queries, GetValueSwallowsErrorsButWalkPassesThemOn) {
  TIdSNMP snmp;
  snmp.SetHost("no..such..host");  // malformed: fails without asking a name server
  EXPECT_EQ("", SnmpGetValue(snmp, "1.3.6.1.2.1.1.3.0"));
  std::string list;
  EXPECT_THROW(SnmpWalkIndexes(snmp, "1.3.6.1.2.1.2.2.1.1", list), EIdSocketError);
}

// Answers every GetNext with `answer` (a fixed name in the column).
std::string GetNextAnswer(const std::string& request, const std::string& answer) {
  TSNMPInfo asked(nullptr);
  asked.DecodeMessage(request);
  TSNMPInfo reply(nullptr);
  reply.SetCommunity(asked.Community());
  reply.PduType = 0xA2;
  reply.RequestId = asked.RequestId;
  reply.AddVarBind(answer, "1", 2);
  return reply.EncodeMessage();
}

TEST(Queries, WalkStopsWhenTheAgentDoesNotAdvance) {
  TFakeUdpAgent agent([](const std::string& request) {
    return std::vector<std::string>{GetNextAnswer(request, "1.3.6.1.2.1.2.2.1.1.5")};
  });
  TIdSNMP snmp;
  AimAt(snmp, agent.Port(), 2000);
  std::string list;
  EXPECT_EQ(1, SnmpWalkIndexes(snmp, "1.3.6.1.2.1.2.2.1.1", list));
  EXPECT_EQ("5,", list);
  EXPECT_EQ(2, agent.Requests());
}

TEST(Queries, WalkStopsWhenTheAgentGoesBack) {
  TFakeUdpAgent agent([](const std::string& request) {
    TSNMPInfo asked(nullptr);
    asked.DecodeMessage(request);
    const bool first = asked.OidAt(0) == "1.3.6.1.2.1.2.2.1.1";
    return std::vector<std::string>{
        GetNextAnswer(request, first ? "1.3.6.1.2.1.2.2.1.1.9" : "1.3.6.1.2.1.2.2.1.1.10.0")};
  });
  TIdSNMP snmp;
  AimAt(snmp, agent.Port(), 2000);
  std::string list;
  // 1.10.0 comes after 1.9 numerically although "10.0" < "9" as text.
  EXPECT_EQ(2, SnmpWalkIndexes(snmp, "1.3.6.1.2.1.2.2.1.1", list));
  EXPECT_EQ("9,0,", list);
}

struct TOidOrderCase {
  const char* a;
  const char* b;
  int order;
};

class CompareOidsTest : public ::testing::TestWithParam<TOidOrderCase> {};
TEST_P(CompareOidsTest, OrdersArcByArc) {
  EXPECT_EQ(GetParam().order, CompareOids(GetParam().a, GetParam().b));
  EXPECT_EQ(-GetParam().order, CompareOids(GetParam().b, GetParam().a));
}
INSTANTIATE_TEST_SUITE_P(Queries, CompareOidsTest,
                         ::testing::Values(TOidOrderCase{"1.3.6.1.9", "1.3.6.1.10", -1},
                                           TOidOrderCase{"1.3.6", "1.3.6", 0},
                                           TOidOrderCase{"1.3.6", "1.3.6.0", -1},
                                           TOidOrderCase{"1.3.7", "1.3.6.5", 1},
                                           TOidOrderCase{"1.3.4294967295", "1.3.4294967294", 1},
                                           TOidOrderCase{"", "1", -1}));

// One reply of one binding to a walk of ifIndex: a row, or the end of the walk.
struct TCursorCase {
  const char* name;
  const char* oid;
  int32_t type;
  int32_t errStatus;
  bool row;
};

TSNMPInfo WalkReply(const std::vector<std::pair<std::string, int32_t>>& bindings,
                    int32_t errStatus = 0) {
  TSNMPInfo reply(nullptr);
  reply.PduType = SnmpTag::GetResponse;
  reply.ErrStatus = errStatus;
  for (const auto& [oid, type] : bindings) reply.AddVarBind(oid, "1", type);
  return reply;
}

class WalkCursorTest : public ::testing::TestWithParam<TCursorCase> {};
TEST_P(WalkCursorTest, TakesRowsOfTheColumnOnly) {
  TWalkCursor cursor({"1.3.6.1.2.1.2.2.1.1"});
  const TCursorCase& c = GetParam();
  const TSNMPInfo reply =
      *c.oid == '\0' ? WalkReply({}) : WalkReply({{c.oid, c.type}}, c.errStatus);
  const TWalkCursor::TStep step = cursor.Accept(reply);
  EXPECT_EQ(step.Rows.size(), c.row ? 1u : 0u);
  EXPECT_EQ(step.Done, !c.row);
  EXPECT_EQ(cursor.Asking(), c.row ? std::vector<std::string>{c.oid} : std::vector<std::string>{});
}
INSTANTIATE_TEST_SUITE_P(
    Queries, WalkCursorTest,
    ::testing::Values(
        TCursorCase{"Row", "1.3.6.1.2.1.2.2.1.1.7", SnmpTag::Integer, 0, true},
        TCursorCase{"SiblingColumnSharingItsText", "1.3.6.1.2.1.2.2.1.10.1", SnmpTag::Counter32, 0,
                    false},
        TCursorCase{"NextColumn", "1.3.6.1.2.1.2.2.1.2.1", SnmpTag::OctetString, 0, false},
        TCursorCase{"TheColumnItself", "1.3.6.1.2.1.2.2.1.1", SnmpTag::Integer, 0, false},
        TCursorCase{"ColumnAndADot", "1.3.6.1.2.1.2.2.1.1.", SnmpTag::Integer, 0, false},
        TCursorCase{"EndOfMibView", "1.3.6.1.2.1.2.2.1.1.7", SnmpTag::EndOfMibView, 0, false},
        TCursorCase{"ErrorStatus", "1.3.6.1.2.1.2.2.1.1.7", SnmpTag::Integer,
                    SnmpErrorStatus::NoSuchName, false},
        TCursorCase{"NoBinding", "", 0, 0, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TakeListElement, TakesFromTheFrontThroughTheComma) {
  std::string list = "1,2,10,";
  EXPECT_EQ("1", TakeListElement(list));
  EXPECT_EQ("2", TakeListElement(list));
  EXPECT_EQ("10", TakeListElement(list));
  EXPECT_EQ("", list);
  list = "7";
  EXPECT_EQ("7", TakeListElement(list));
  EXPECT_EQ("", list);
  list = ",5,";
  EXPECT_EQ(",5,", TakeListElement(list));
  EXPECT_EQ("5,", list);
}

// net-snmp's own tools read the same names from a real snmpd; both must agree.
class CrossCheckWithSnmpd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    agent_ = std::make_unique<TSnmpdAgent>();
    agent_->Start();
  }
  static void TearDownTestSuite() { agent_.reset(); }

  void SetUp() override {
    snmp_.SetHost("127.0.0.1");
    snmp_.SetPort(agent_->Port());
    snmp_.SetCommunity(agent_->Community());
    snmp_.SetReceiveTimeout(3000);
  }

  // Last arcs of the names snmpwalk prints for a column.
  static std::string OracleIndexes(const std::string& base) {
    std::string list;
    for (const std::string& line : NetSnmpWalk(agent_->Port(), agent_->Community(), base)) {
      const std::string name = line.substr(0, line.find(' '));
      list += name.substr(name.rfind('.') + 1) + ",";
    }
    return list;
  }

  static std::string OracleValue(const std::string& oid) {
    const auto lines = NetSnmpGet(agent_->Port(), agent_->Community(), oid);
    if (lines.size() != 1) return "<no answer>";
    const auto blank = lines[0].find(' ');
    std::string value = blank == std::string::npos ? "" : lines[0].substr(blank + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }

  static std::unique_ptr<TSnmpdAgent> agent_;
  TIdSNMP snmp_;
};
std::unique_ptr<TSnmpdAgent> CrossCheckWithSnmpd::agent_;

TEST_F(CrossCheckWithSnmpd, WalksMatchSnmpwalk) {
  for (const char* base : {"1.3.6.1.2.1.2.2.1.1", "1.3.6.1.2.1.25.2.3.1.1"}) {
    std::string list;
    const int32_t count = SnmpWalkIndexes(snmp_, base, list);
    EXPECT_GT(count, 0) << base;
    EXPECT_EQ(OracleIndexes(base), list) << base;
  }
}

TEST_F(CrossCheckWithSnmpd, ValuesMatchSnmpget) {
  std::string storage;
  SnmpWalkIndexes(snmp_, "1.3.6.1.2.1.25.2.3.1.1", storage);
  std::vector<std::string> names = {"1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.2.1.0"};
  while (!storage.empty()) {
    const std::string row = TakeListElement(storage);
    for (const char* column : {"1.3.6.1.2.1.25.2.3.1.2.", "1.3.6.1.2.1.25.2.3.1.3.",
                               "1.3.6.1.2.1.25.2.3.1.4.", "1.3.6.1.2.1.25.2.3.1.5."}) {
      names.push_back(column + row);
    }
  }
  std::string interfaces;
  SnmpWalkIndexes(snmp_, "1.3.6.1.2.1.2.2.1.1", interfaces);
  while (!interfaces.empty()) {
    const std::string row = TakeListElement(interfaces);
    names.push_back("1.3.6.1.2.1.2.2.1.2." + row);
    names.push_back("1.3.6.1.2.1.2.2.1.5." + row);
  }
  for (const std::string& name : names) {
    std::string expected = OracleValue(name);
    // -On prints OID values with a leading dot.
    if (!expected.empty() && expected[0] == '.') expected.erase(0, 1);
    EXPECT_EQ(expected, SnmpGetValue(snmp_, name)) << name;
  }
}

}  // namespace
