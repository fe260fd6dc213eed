#include <gtest/gtest.h>

#include <QSortFilterProxyModel>
#include <memory>
#include <vector>

#include "FakeClock.h"
#include "HostsModel.h"
#include "ScriptedTransport.h"

// The Hosts panel's rows from pollers on scripted transports and a clock the test moves.
namespace {

class HostsModelTest : public ::testing::Test {
 protected:
  TPoller& Add(const char* host, TScriptedMib& mib, bool silent = false,
               TSnmpVersion version = TSnmpVersion::V1) {
    TPollerSettings settings;
    settings.Host = QString::fromLatin1(host);
    settings.TimeoutMs = 1000;
    settings.Connection.Version = version;
    auto transport = std::make_unique<TScriptedTransport>(mib, Clock);
    transport->Silent = silent;
    Transports.push_back(transport.get());
    Pollers.push_back(std::make_unique<TPoller>(settings, std::move(transport), Clock, Slots));
    Model.Add(Pollers.back().get());
    Pollers.back()->Connect();
    return *Pollers.back();
  }
  // The texts of one column, row by row, as the sorted view shows them.
  QStringList Column(const QAbstractItemModel& model, int column,
                     int role = Qt::DisplayRole) const {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
      texts << model.data(model.index(row, column), role).toString();
    return texts;
  }

  TFakeClock Clock;
  TOpenSlots Slots;
  std::vector<std::unique_ptr<TPoller>> Pollers;
  std::vector<TScriptedTransport*> Transports;
  THostsModel Model;
};

TEST_F(HostsModelTest, WorstValueOfEachKindStatusMarksAndNumericSorting) {
  TScriptedMib nine, ten, hundred, none;
  for (TScriptedMib* mib : {&nine, &ten, &hundred}) FillHost(*mib, 2);
  ten.Set("1.3.6.1.2.1.25.3.3.1.2.768", 2, "10");
  hundred.Set("1.3.6.1.2.1.25.3.3.1.2.768", 2, "100");
  hundred.Set("1.3.6.1.2.1.25.2.3.1.6.1", 2, "2020000");  // memory 96.3 % used, above "/"
  Add("silent.example", none, true);
  Add("nine.example", nine);
  Add("v3.example", none, false, TSnmpVersion::V3);
  Add("hundred.example", hundred);
  Add("ten.example", ten);
  Clock.Settle();
  using M = THostsModel;
  // The first poll came too soon for rates: no interface value yet.
  EXPECT_EQ(Column(Model, M::ColInterface), QStringList({"", "", "", "", ""}));

  // Five seconds on, the reading for the first rates: 62.5 million octets in over 5 s at 1 Gbit/s.
  hundred.Set("1.3.6.1.2.1.1.3.0", 0x43, "100500");
  hundred.Set("1.3.6.1.2.1.2.2.1.10.2", 0x41, "62502000");
  Clock.Advance(5000);
  EXPECT_EQ(Column(Model, M::ColProcessor), QStringList({"", "9%", "", "100%", "10%"}));
  EXPECT_EQ(Column(Model, M::ColInterface), QStringList({"", "", "", "10%", ""}));
  EXPECT_EQ(Column(Model, M::ColStorage), QStringList({"", "95%", "", "96%", "95%"}));
  EXPECT_EQ(Column(Model, M::ColStatus, Qt::ToolTipRole),
            QStringList({"failed: No answer from silent.example:161.", "answering",
                         "passphrase needed", "answering", "answering"}));
  EXPECT_EQ(Column(Model, M::ColHost), QStringList({"silent.example", "nine.example", "v3.example",
                                                    "hundred.example", "ten.example"}));
  EXPECT_TRUE(Model.data(Model.index(0, M::ColLastPoll)).toString().isEmpty());
  EXPECT_FALSE(Model.data(Model.index(1, M::ColLastPoll)).toString().isEmpty());
  const auto mark = [this](int row) {
    return Model.data(Model.index(row, M::ColStatus), Qt::DecorationRole).value<QIcon>().cacheKey();
  };
  EXPECT_EQ(mark(1), mark(3));
  EXPECT_NE(mark(0), mark(1));
  EXPECT_NE(mark(0), mark(2));
  EXPECT_NE(mark(1), mark(2));

  // As numbers: 9 below 10 below 100, and no value below any; the worst states first.
  QSortFilterProxyModel sorted;
  sorted.setSourceModel(&Model);
  sorted.setSortRole(M::SortRole);
  sorted.sort(M::ColProcessor);
  EXPECT_EQ(Column(sorted, M::ColHost), QStringList({"silent.example", "v3.example", "nine.example",
                                                     "ten.example", "hundred.example"}));
  sorted.sort(M::ColStatus, Qt::DescendingOrder);
  EXPECT_EQ(Column(sorted, M::ColHost).mid(3), QStringList({"v3.example", "silent.example"}));
  sorted.sort(M::ColLastPoll);  // the two that never polled first, in the order they stood
  EXPECT_EQ(Column(sorted, M::ColHost).first(2), QStringList({"v3.example", "silent.example"}));

  // A poll without answers leaves the host no values; the sorted view follows.
  sorted.setDynamicSortFilter(true);
  sorted.sort(M::ColProcessor, Qt::DescendingOrder);
  EXPECT_EQ(Column(sorted, M::ColHost).first(), "hundred.example");
  Transports[3]->Silent = true;
  Pollers[3]->Refresh();
  Clock.Advance(2000);
  EXPECT_EQ(Column(sorted, M::ColHost).first(), "ten.example");
  EXPECT_TRUE(Model.data(Model.index(3, M::ColStatus), Qt::ToolTipRole)
                  .toString()
                  .startsWith("no answer: No answer from hundred.example since "));
  EXPECT_EQ(Model.data(Model.index(3, M::ColStorage)).toString(), "");

  Model.Remove(Pollers[0].get());
  EXPECT_EQ(Column(Model, M::ColHost).first(), "nine.example");
}

}  // namespace
