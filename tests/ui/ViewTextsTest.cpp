#include <gtest/gtest.h>

#include <QLocale>
#include <string>
#include <utility>
#include <vector>

#include "ViewTexts.h"

// What the window says of a poller's numbers and states, in the English locale.
namespace {

using TLabels = std::vector<std::pair<QString, QString>>;

TPolledValue Number(double value) {
  return {value, TMissing::None};
}
TPolledValue Missing(TMissing why) {
  return {std::nullopt, why};
}

TEST(ViewTexts, ValueLabelsOfInterfacesAndStorageAreas) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  TRowUpdate update;
  update.Kind = TItemKind::Interface;
  update.Index = 3;
  update.Percent = Number(0.08192);
  update.In = Number(97656250);
  update.Out = Missing(TMissing::NoAnswer);
  EXPECT_EQ(ValueLabels(update, english), (TLabels{{"lblInterfaceVal3", "0.08%"},
                                                   {"lblInterfaceIn3", "In: 97,656,250.00 K"},
                                                   {"lblInterfaceOut3", "Out: no answer"}}));
  update.Percent = Missing(TMissing::CountersReset);
  update.In = Missing(TMissing::Measuring);
  update.Out = Missing(TMissing::Restarted);
  EXPECT_EQ(ValueLabels(update, english), (TLabels{{"lblInterfaceVal3", "counters reset"},
                                                   {"lblInterfaceIn3", "In: measuring"},
                                                   {"lblInterfaceOut3", "Out: agent restarted"}}));

  update.Kind = TItemKind::Storage;
  update.Index = 1;
  update.TotalMegabytes = 16777216;
  update.UsedMegabytes = Number(8388608);
  EXPECT_EQ(ValueLabels(update, english), (TLabels{{"lblStorageAvail1", "Avail: 16,777,216.0 Mb"},
                                                   {"lblStorageUsed1", "Used: 8,388,608.0 Mb"}}));
  update.UsedMegabytes = Missing(TMissing::NoValue);
  EXPECT_EQ(ValueLabels(update, english)[1].second, "Used: no value");
  update.Kind = TItemKind::Processor;
  EXPECT_TRUE(ValueLabels(update, english).empty());
  // The log's numbers: a load whole, a rate in the general form, no group separators.
  EXPECT_EQ(LogValueText({"Processor", "768", 150}, english), "150");
  EXPECT_EQ(LogValueText({"InterFaceIn", "eth0", 976.5625}, english), "976.5625");
  EXPECT_EQ(LogValueText({"Storage", "/", 2147483648.0}, english), "2147483648");
}

TEST(ViewTexts, StatusBarOfEachStateAndWhyAConnectFailed) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  const QDateTime local(QDate(2026, 12, 7), QTime(10, 31, 5));
  const auto text = [&](TPollerState state, TConnectOutcome outcome = {},
                        const QString& report = {}) {
    TPollerStatus status;
    status.State = state;
    status.LastPoll = local.toUTC();
    status.LastAnswer = local.addSecs(-60).toUTC();
    status.Report = report;
    status.Outcome = outcome;
    return StatusText(status, "edge1", "edge1:161", english).toStdString();
  };
  using O = TConnectOutcome;
  EXPECT_EQ(text(TPollerState::Stopped), "");
  EXPECT_EQ(text(TPollerState::PassphraseNeeded), "edge1: passphrase needed.");
  EXPECT_EQ(text(TPollerState::Answering), "Last poll 10:31:05 AM");
  EXPECT_EQ(text(TPollerState::Answering, {}, "Wrong digest (wrong passphrase?)."),
            "Last poll 10:31:05 AM: Wrong digest (wrong passphrase?).");
  EXPECT_EQ(text(TPollerState::Silent), "No answer from edge1 since 10:30:05 AM");
  EXPECT_EQ(text(TPollerState::Failed, {O::HostNotFound, "Socket Error # 11001"}),
            "edge1: host not found.");
  EXPECT_EQ(text(TPollerState::Failed, {O::Report, "Unknown user name."}),
            "edge1:161: Unknown user name.");
  EXPECT_EQ(text(TPollerState::Failed, {O::NoAnswer, {}}), "No answer from edge1:161.");
  EXPECT_EQ(text(TPollerState::Failed, {O::NoAnswer, {}, TUsmReport::Other, true}),
            "No answer from edge1:161 (wrong privacy passphrase?).");
  EXPECT_EQ(text(TPollerState::Failed, {O::ErrorStatus, "genErr"}),
            "edge1:161 answered with error status genErr.");
  EXPECT_EQ(text(TPollerState::Failed, {O::SendFailed, "Socket Error # 10051"}), "");
}

}  // namespace
