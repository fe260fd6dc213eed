#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "AlertRules.h"

// Polls of one host fed to its engine, with what each poll tells, as the notifications say it.
namespace {

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);
const QString kHost = QStringLiteral("router");

QDateTime At(int minute) {
  return QDateTime(QDate(2024, 3, 14), QTime(3, 0)).addSecs(60 * minute);
}

TItemReading Cpu(std::optional<double> load, int32_t index = 768) {
  return {TAlertItemKind::Processor, index, QString::number(index), load, {}, {}, {}};
}
TItemReading Link(std::optional<double> in, std::optional<double> out, std::optional<int> admin = 1,
                  std::optional<int> oper = 1, const QString& name = "eth0", int32_t index = 2) {
  return {TAlertItemKind::Interface, index, name, in, out, admin, oper};
}
TItemReading Disk(std::optional<double> use, const QString& name = "/", int32_t index = 31) {
  return {TAlertItemKind::Storage, index, name, use, {}, {}, {}};
}

constexpr std::nullopt_t gap = std::nullopt;

// One poll: whether the host answered, what it read, and the texts of what fired or cleared.
struct Step {
  bool Answered;
  std::vector<TItemReading> Items;
  std::vector<std::string> Texts;
};
Step Read(std::vector<TItemReading> items, std::vector<std::string> texts = {}) {
  return {true, std::move(items), std::move(texts)};
}
Step Silent(std::vector<std::string> texts = {}) {
  return {false, {}, std::move(texts)};
}

std::vector<std::string> Texts(const std::vector<TAlertChange>& changes) {
  std::vector<std::string> texts;
  for (const TAlertChange& change : changes)
    texts.push_back(AlertText(change, kHost, kBritish).toStdString());
  return texts;
}

struct RuleCase {
  const char* name;
  TAlertRules rules;
  std::vector<Step> steps;  // one a minute from 03:01
};
void PrintTo(const RuleCase& c, std::ostream* out) {
  *out << c.name;
}

class AlertEngine : public ::testing::TestWithParam<RuleCase> {};

TEST_P(AlertEngine, TellsEachPoll) {
  TAlertEngine engine(GetParam().rules);
  int minute = 0;
  for (const Step& step : GetParam().steps) {
    ++minute;
    EXPECT_EQ(Texts(engine.Poll({At(minute), step.Answered, step.Items})), step.Texts)
        << "poll " << minute;
  }
}

const double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Alerts, AlertEngine,
    ::testing::Values(
        RuleCase{"AtTheThresholdFiresAfterThePollsThenOnlyOnce",
                 {.Processor = 90, .Polls = 3},
                 {Read({Cpu(95)}), Read({Cpu(90)}),
                  Read({Cpu(92.5)}, {"Processor 768 at 92 % for 3 polls"}), Read({Cpu(100)}),
                  Read({Cpu(89.9)}, {"Processor 768 is back to normal"}), Read({Cpu(50)}),
                  Read({Cpu(95)})}},
        RuleCase{"AReadingBelowStartsTheRunAgain",
                 {.Processor = 90, .Polls = 3},
                 {Read({Cpu(95)}), Read({Cpu(95)}), Read({Cpu(89)}), Read({Cpu(95)}),
                  Read({Cpu(95)}), Read({Cpu(95)}, {"Processor 768 at 95 % for 3 polls"})}},
        RuleCase{"OnePollFiresAtOnce",
                 {.Processor = 90, .Polls = 1},
                 {Read({Cpu(100)}, {"Processor 768 at 100 %"}),
                  Read({Cpu(10)}, {"Processor 768 is back to normal"})}},
        // A lost reading is no evidence either way: it neither counts toward the run nor
        // breaks it, and a standing alert outlives it.
        RuleCase{"GapsNeitherCountNorBreakNorClear",
                 {.Processor = 90, .Polls = 3},
                 {Read({Cpu(95)}), Read({Cpu(gap)}), Read({Cpu(95)}), Read({Cpu(nan)}),
                  Read({Cpu(95)}, {"Processor 768 at 95 % for 3 polls"}), Read({Cpu(gap)}),
                  Silent(), Read({Cpu(10)}, {"Processor 768 is back to normal"})}},
        // In or out, whichever is higher; with one direction missing the other can only
        // show that it holds.
        RuleCase{
            "InterfaceTakesTheHigherDirection",
            {.Interface = 80, .Polls = 2},
            {Read({Link(10, 85)}), Read({Link(90, gap)}, {"Interface eth0 at 90 % for 2 polls"}),
             Read({Link(20, gap)}), Read({Link(gap, 81)}),
             Read({Link(20, 30)}, {"Interface eth0 is back to normal"})}},
        RuleCase{"DownOnlyWhileTheAdministratorWantsItUp",
                 {.Down = true, .Polls = 2},
                 {Read({Link(0, 0, 1, 2)}), Read({Link(0, 0, 2, 2)}), Read({Link(0, 0, 1, 2)}),
                  Read({Link(0, 0, 1, 2)}, {"Interface eth0 is down"}), Read({Link(0, 0, 1, gap)}),
                  Read({Link(0, 0, 1, 1)}, {"Interface eth0 is up again"}),
                  Read({Link(0, 0, gap, 2)}), Read({Link(0, 0, gap, 2)})}},
        RuleCase{"StorageUseOfItsSize",
                 {.Storage = 90, .Polls = 1},
                 {Read({Disk(89.99)}), Read({Disk(93.4)}, {"Storage / at 93 %"}),
                  Read({Disk(12)}, {"Storage / is back to normal"})}},
        RuleCase{"NoAnswerSinceTheLastAnswer",
                 {.NoAnswer = true, .Polls = 3},
                 {Read({}), Silent(), Silent(), Silent({"No answer from router since 03:01"}),
                  Silent(), Read({}, {"router answers again"}), Silent(), Read({})}},
        RuleCase{"NoAnswerEverSinceTheFirstSilentPoll",
                 {.NoAnswer = true, .Polls = 2},
                 {Silent(), Silent({"No answer from router since 03:01"})}},
        // A silent host says nothing of its items; a host that answers without an item has
        // lost it, and an index under another name is another item.
        RuleCase{
            "ItemsGoneAfterRediscoveryClear",
            {.Processor = 90, .Down = true, .Polls = 1},
            {Read({Cpu(95), Cpu(95, 769), Link(0, 0, 1, 2)},
                  {"Processor 768 at 95 %", "Processor 769 at 95 %", "Interface eth0 is down"}),
             Silent(),
             Read({Cpu(95, 769), Link(0, 0, 1, 2, "eth1")},
                  {"Interface eth1 is down", "Processor 768 is gone", "Interface eth0 is gone"})}},
        // An agent's text stays on one line of the notification.
        RuleCase{"AgentsNamesOnOneLine",
                 {.Down = true, .Polls = 1},
                 {Read({Link(0, 0, 1, 2, "eth0\nInterface eth1 is back to normal\r<b>")},
                       {"Interface eth0 Interface eth1 is back to normal <b> is down"})}}),
    [](const ::testing::TestParamInfo<RuleCase>& param) { return std::string(param.param.name); });

TEST(AlertEngine, SwitchingARuleOffClearsItsAlertsAndItsRuns) {
  TAlertRules rules{.Processor = 90, .Storage = 50, .Polls = 2};
  TAlertEngine engine(rules);
  engine.Poll({At(1), true, {Cpu(95), Disk(60)}});
  engine.Poll({At(2), true, {Cpu(95), Disk(60)}});
  ASSERT_EQ(engine.Standing().size(), 2u);

  rules.Processor.reset();
  EXPECT_EQ(Texts(engine.SetRules(rules)),
            std::vector<std::string>{"Processor 768: alert switched off"});
  ASSERT_EQ(engine.Standing().size(), 1u);
  EXPECT_EQ(engine.Standing()[0].Kind, TAlertKind::StorageUse);
  EXPECT_EQ(engine.Standing()[0].Fired, At(2));
  EXPECT_EQ(engine.Standing()[0].Percent, 60);

  // Back on, it starts from nothing: one reading is not two.
  rules.Processor = 90;
  EXPECT_TRUE(engine.SetRules(rules).empty());
  EXPECT_TRUE(engine.Poll({At(3), true, {Cpu(95), Disk(60)}}).empty());
  EXPECT_EQ(Texts(engine.Poll({At(4), true, {Cpu(95), Disk(60)}})),
            std::vector<std::string>{"Processor 768 at 95 % for 2 polls"});
}

// Numbers and times as the user's locale writes them; a silence from the evening before
// carries its date.
TEST(AlertTexts, FollowTheLocale) {
  auto text = [](const TAlertChange& change, const QLocale& locale) {
    return AlertText(change, kHost, locale).toStdString();
  };
  TAlert alert;
  alert.Kind = TAlertKind::InterfaceUse;
  alert.Name = "eth0";
  alert.Percent = 1234.5;  // an agent's speed that is too low
  alert.Polls = 3;
  const QLocale german(QLocale::German, QLocale::Germany);
  const QLocale american(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(text({TAlertChangeKind::Fired, alert}, german),
            "Interface eth0 at 1.234 % for 3 polls");

  TAlert silence;
  silence.Since = At(2);
  silence.Fired = At(4);
  EXPECT_EQ(text({TAlertChangeKind::Fired, silence}, american),
            "No answer from router since 3:02 AM");
  EXPECT_EQ(text({TAlertChangeKind::Fired, silence}, german), "No answer from router since 03:02");
  silence.Since = At(-190);
  EXPECT_EQ(text({TAlertChangeKind::Fired, silence}, german),
            "No answer from router since 13.03.24 23:50");
  EXPECT_EQ(AlertSummary(kHost).toStdString(), "Corvane: router");
}

}  // namespace
