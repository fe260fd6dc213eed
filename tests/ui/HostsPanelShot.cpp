// Not a test: the window watching 20 scripted agents on loopback, for the picture that
// hosts_panel_shot.sh takes of it: hosts_panel_shot READY_FILE
// Each agent has its own processor loads, interface traffic and storage use; three never answer
// (their Connect fails), two stop answering after their first poll, and one SNMPv3 host has no
// passphrases in the keyring. Once all of that shows, READY_FILE is made; the program runs until
// it is killed.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../credentials/FakeSecretStore.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "ScriptedAgent.h"

namespace {

constexpr int kAgents = 19;  // and the SNMPv3 host, which needs none
constexpr int kNeverAnswer[] = {4, 11, 16};
constexpr int kFallSilent[] = {7, 13};

template <size_t N>
bool In(int i, const int (&list)[N]) {
  return std::find(std::begin(list), std::end(list), i) != std::end(list);
}

// Runs then once ready() holds, looking every 200 ms.
void When(std::function<bool()> ready, std::function<void()> then) {
  QTimer::singleShot(200, [ready, then] {
    if (ready()) {
      then();
    } else {
      When(ready, then);
    }
  });
}

QByteArray Element(const char* name, const QString& text) {
  return "<" + QByteArray(name) + ">" + text.toHtmlEscaped().toUtf8() + "</" + name + ">";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  if (argc < 2) return 2;
  const QString ready = QString::fromLocal8Bit(argv[1]);

  std::vector<std::unique_ptr<TScriptedAgent>> agents;
  QByteArray watch;
  for (int i = 0; i < kAgents; ++i) {
    auto agent = std::make_unique<TScriptedAgent>();
    FillHost(agent->Mib, 1 + i % 3);
    agent->Mib.Set("1.3.6.1.2.1.25.3.3.1.2.768", 2, std::to_string((i * 37 + 11) % 97));
    agent->Mib.Set("1.3.6.1.2.1.25.3.3.1.2.769", 2, std::to_string((i * 13 + 5) % 61));
    agent->Mib.Set("1.3.6.1.2.1.25.2.3.1.6.1", 2, std::to_string(20971 * (10 + i * 29 % 60)));
    agent->Mib.Set("1.3.6.1.2.1.25.2.3.1.6.31", 2, std::to_string(2621 * (20 + i * 41 % 79)));
    agent->Silent = In(i, kNeverAnswer);
    watch += "<Host>" + Element("Name", QStringLiteral("127.0.0.1:%1").arg(agent->Port())) +
             Element("Community", QStringLiteral("pewter")) +
             Element("Version", i % 2 ? QStringLiteral("2c") : QStringLiteral("1")) + "</Host>";
    agents.push_back(std::move(agent));
  }
  watch +=
      "<Host><Name>core1.example.org</Name><Version>3</Version>"
      "<SecurityName>ops</SecurityName></Host>";

  QTemporaryDir folder;
  QFile settings(folder.filePath(QStringLiteral("corvane.XML")));
  if (!settings.open(QIODevice::WriteOnly)) return 1;
  settings.write(
      "<Corvane><Settings><Community>pewter</Community><Host>127.0.0.1</Host>"
      "<Interval>0</Interval><Graph>0</Graph><Type>0</Type>"
      "<AutoHeight>true</AutoHeight><AlertProcessor>90</AlertProcessor><AlertPolls>1</AlertPolls>"
      "<Watch>" +
      watch + "</Watch></Settings></Corvane>");
  settings.close();

  TForm1 form(folder.filePath(QStringLiteral("corvane")));
  form.Secrets = std::make_unique<TFakeSecretStore>();
  auto* options = new TfrmOptions(&form);
  form.SetOptionsDialog(options);
  form.ReceiveTimeoutMs = 1000;
  form.move(0, 0);
  form.resize(1100, 720);
  form.show();
  form.resizeDocks({form.dckHosts}, {520}, Qt::Horizontal);
  form.tblHosts->sortByColumn(THostsModel::ColProcessor, Qt::DescendingOrder);

  const auto settled = [&form] {
    for (TPoller* poller : form.WatchList.Pollers()) {
      const TPollerState state = poller->Status().State;
      if (state == TPollerState::PassphraseNeeded) continue;  // waits for the user
      if (poller->Busy() || state == TPollerState::Connecting) return false;
    }
    return true;
  };
  When(settled, [&] {
    // Traffic for the first rates, five seconds after the first poll; two hosts fall silent.
    for (int i = 0; i < kAgents; ++i) {
      TScriptedMib& mib = agents[static_cast<size_t>(i)]->Mib;
      mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "100500");
      mib.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, std::to_string(1000 + 6250000 * (i * 7 % 23)));
      mib.Set("1.3.6.1.2.1.31.1.1.1.6.1", 0x46, std::to_string(1000 + 6250000 * (i * 7 % 23)));
      if (In(i, kFallSilent)) {
        agents[static_cast<size_t>(i)]->Silent = true;
        form.WatchList.Pollers()[static_cast<size_t>(i)]->Refresh();
      }
    }
    QTimer::singleShot(7000, [&] {
      When(settled, [&] {
        // The busiest host, as Enter on the panel's first row shows it.
        form.tblHosts->setCurrentIndex(form.tblHosts->model()->index(0, THostsModel::ColHost));
        form.tblHosts->setFocus();
        QTimer::singleShot(0, [&] {
          const QModelIndex first = form.tblHosts->currentIndex();
          emit form.tblHosts->activated(first);
          QTimer::singleShot(1000, [&ready] { QFile(ready).open(QIODevice::WriteOnly); });
        });
      });
    });
  });
  return QApplication::exec();
}
