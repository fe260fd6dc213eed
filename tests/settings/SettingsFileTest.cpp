#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <optional>

#include "FileEdit.h"
#include "OptionsDialog.h"
#include "SettingsFile.h"
#include "TestHelpers.h"

namespace {

const QStringList kWritingOrder = {"Community",      "Host",         "Interval",
                                   "Graph",          "Type",         "Log",
                                   "LogProcessor",   "LogInterface", "LogStorage",
                                   "LogPath",        "AutoHeight",   "Level",
                                   "Version",        "SecurityName", "SecurityLevel",
                                   "AuthProtocol",   "PrivProtocol", "LogAppend",
                                   "MetricsAddress", "HistoryDays",  "AlertProcessor",
                                   "AlertInterface", "AlertStorage", "AlertDown",
                                   "AlertNoAnswer",  "AlertPolls",   "Tray"};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(data);
}

QDomElement RootOf(const QString& path) {
  QDomDocument document;
  document.setContent(ReadAll(path));
  return document.documentElement();
}

QStringList ChildNames(const QDomElement& parent) {
  QStringList names;
  for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
    names << e.tagName();
  return names;
}

// A settings file whose "Settings" element holds the given name/value pairs.
QByteArray SettingsXml(const std::vector<std::pair<QString, QString>>& values) {
  QByteArray xml = "<Corvane><Settings>";
  for (const auto& [name, value] : values)
    xml += QStringLiteral("<%1>%2</%1>").arg(name, value).toUtf8();
  return xml + "</Settings></Corvane>";
}

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest() {
    Community.setEditable(true);
    Host.setEditable(true);
  }

  QString Exe() const { return Dir.filePath("corvane"); }
  QString Xml() const { return Dir.filePath("corvane.XML"); }
  TSettingsControls Controls() { return {&Community, &Host, &Options}; }
  void LoadFile(const QByteArray& content) {
    WriteAll(Xml(), content);
    TSettingsFile(Exe()).Load(Controls());
  }

  QTemporaryDir Dir;
  QComboBox Community;
  QComboBox Host;
  TfrmOptions Options;
};

TEST_F(SettingsFileTest, FirstStartCreatesBareRootAndSaveAddsAllValues) {
  TSettingsFile file(Exe());
  file.Load(Controls());
  const QDomElement root = RootOf(Xml());
  EXPECT_EQ(root.tagName(), "Corvane");
  EXPECT_EQ(root.attribute("Path"), Exe());
  EXPECT_TRUE(ChildNames(root).isEmpty());
  EXPECT_EQ(Options.Snapshot(), TOptionsSnapshot{});
  EXPECT_EQ(Community.count(), 0);

  file.Save(Controls());
  EXPECT_EQ(ChildNames(RootOf(Xml()).firstChildElement("Settings")), kWritingOrder);
}

TEST_F(SettingsFileTest, NewFileIsTheOwnersAloneAndAChosenModeIsKept) {
  auto mode = [this] {
    struct stat info {};
    return ::stat(QFile::encodeName(Xml()).constData(), &info) == 0 ? info.st_mode & 07777 : 0u;
  };
  const mode_t oldMask = ::umask(022);
  TSettingsFile file(Exe());
  file.Load(Controls());
  ::umask(oldMask);
  EXPECT_EQ(mode(), 0600u);
  Community.addItem("secret");
  file.Save(Controls());
  EXPECT_EQ(mode(), 0600u);
  ASSERT_EQ(::chmod(QFile::encodeName(Xml()).constData(), 0640), 0);
  file.Save(Controls());
  EXPECT_EQ(mode(), 0640u);
  EXPECT_TRUE(ReadAll(Xml()).contains("secret"));
}

TEST_F(SettingsFileTest, AllValuesSurviveSaveAndLoad) {
  Community.addItems({"public", "my net"});
  Host.addItems({"10.0.0.1", "router"});
  Options.cbxInterval->setCurrentIndex(2);
  Options.cbxGraph->setCurrentIndex(10);
  Options.cbxType->setCurrentIndex(3);
  for (QCheckBox* box : Options.findChildren<QCheckBox*>()) box->setChecked(true);
  Options.feFile->setText("/var/log/run 1.csv");
  const TConnectionSettings connection{TSnmpVersion::V2c, "ops team", TSecurityLevel::AuthNoPriv,
                                       TAuthProtocol::Sha512, TPrivProtocol::Aes};
  Options.SetConnectionSettings(connection);
  Options.edtMetrics->setText("127.0.0.1:9200");
  Options.spnHistoryDays->setValue(0);
  const TAlertRules rules{90, std::nullopt, 100, true, true, 7};
  Options.SetAlertRules(rules);
  TSettingsFile file(Exe());
  file.Load(Controls());  // the new file has no settings: nothing changes
  file.Save(Controls());
  const QDomElement settings = RootOf(Xml()).firstChildElement("Settings");
  EXPECT_EQ(settings.firstChildElement("Community").text(), "public,\"my net\"");
  EXPECT_EQ(settings.firstChildElement("Graph").text(), "10");
  EXPECT_EQ(settings.firstChildElement("Level").text(), "true");
  EXPECT_EQ(settings.firstChildElement("Version").text(), "2c");
  EXPECT_EQ(settings.firstChildElement("SecurityLevel").text(), "authNoPriv");
  EXPECT_EQ(settings.firstChildElement("AuthProtocol").text(), "SHA-512");
  EXPECT_EQ(settings.firstChildElement("AlertProcessor").text(), "90");
  EXPECT_EQ(settings.firstChildElement("AlertInterface").text(), "");  // off
  EXPECT_EQ(settings.firstChildElement("AlertPolls").text(), "7");
  EXPECT_EQ(settings.firstChildElement("Tray").text(), "true");

  QComboBox community, host;
  TfrmOptions options;
  TSettingsFile(Exe()).Load({&community, &host, &options});
  EXPECT_EQ(Items(community), Items(Community));
  EXPECT_EQ(Items(host), Items(Host));
  EXPECT_EQ(options.Snapshot(), Options.Snapshot());
  EXPECT_TRUE(options.chkAutoHeight->isChecked());
  EXPECT_TRUE(options.chkLevel->isChecked());
  EXPECT_EQ(options.feFile->text(), "/var/log/run 1.csv");
  EXPECT_EQ(options.ConnectionSettings(), connection);
  EXPECT_TRUE(options.LogAppend());
  EXPECT_EQ(options.MetricsAddress(), "127.0.0.1:9200");
  EXPECT_EQ(options.HistoryDays(), 0);
  EXPECT_EQ(options.AlertRules(), rules);
  EXPECT_TRUE(options.KeepInTray());
}

TEST_F(SettingsFileTest, MissingGraphKeepsLaterDefaultsAndSaveRestoresAll) {
  TSettingsFile file(Exe());
  WriteAll(Xml(), SettingsXml({{"Community", "c1,c2"},
                               {"Host", "h"},
                               {"Interval", "3"},
                               {"Type", "2"},
                               {"Log", "true"},
                               {"LogPath", "x.csv"},
                               {"Version", "3"}}));
  file.Load(Controls());
  EXPECT_EQ(Options.ConnectionSettings().Version, TSnmpVersion::V3);  // read on its own
  EXPECT_EQ(Items(Community), QStringList({"c1", "c2"}));
  EXPECT_EQ(Items(Host), QStringList({"h"}));
  EXPECT_EQ(Options.cbxInterval->currentIndex(), 3);
  EXPECT_EQ(Options.cbxType->currentIndex(), 0);
  EXPECT_FALSE(Options.chkLog->isChecked());
  EXPECT_TRUE(Options.feFile->text().isEmpty());
  file.Save(Controls());
  EXPECT_EQ(ChildNames(RootOf(Xml()).firstChildElement("Settings")), kWritingOrder);
}

struct FileCase {
  const char* name;
  QByteArray content;
};

class SettingsFileIgnored : public SettingsFileTest,
                            public ::testing::WithParamInterface<FileCase> {};

TEST_P(SettingsFileIgnored, AppliesNothing) {
  LoadFile(GetParam().content);
  EXPECT_EQ(Community.count(), 0);
  EXPECT_EQ(Options.cbxInterval->currentIndex(), 0);
}

const QByteArray kGood = SettingsXml({{"Community", "a"}, {"Interval", "2"}});

INSTANTIATE_TEST_SUITE_P(SettingsFile, SettingsFileIgnored,
                         ::testing::Values(FileCase{"NotWellFormed", kGood.chopped(1)},
                                           FileCase{"NoSettings", "<Corvane><Other/></Corvane>"}),
                         CaseName());

struct StopCase {
  const char* name;
  QString element;
  QString value;
};

class SettingsReadingStops : public SettingsFileTest,
                             public ::testing::WithParamInterface<StopCase> {};

// A bad value leaves its own control and every later one as they were; earlier ones apply.
TEST_P(SettingsReadingStops, AtBadValue) {
  Options.cbxInterval->setCurrentIndex(1);
  Options.chkAutoHeight->setChecked(true);
  std::vector<std::pair<QString, QString>> values = {
      {"Community", "a"},       {"Host", "b"},          {"Interval", "2"},
      {"Graph", "3"},           {"Type", "1"},          {"AutoHeight", "false"},
      {"Level", "true"},        {"Log", "true"},        {"LogProcessor", "true"},
      {"LogInterface", "true"}, {"LogStorage", "true"}, {"LogPath", "p.csv"}};
  for (auto& [name, value] : values)
    if (name == GetParam().element) value = GetParam().value;
  LoadFile(SettingsXml(values));
  EXPECT_EQ(Items(Community), QStringList{"a"});
  const bool intervalBad = GetParam().element == "Interval";
  EXPECT_EQ(Options.cbxInterval->currentIndex(), intervalBad ? 1 : 2);
  EXPECT_EQ(Options.chkAutoHeight->isChecked(), intervalBad);
  EXPECT_FALSE(Options.chkLog->isChecked());
  EXPECT_TRUE(Options.feFile->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(SettingsFile, SettingsReadingStops,
                         ::testing::Values(StopCase{"RowPastEnd", "Interval", "4"},
                                           StopCase{"NegativeRow", "Interval", "-1"},
                                           StopCase{"EmptyRow", "Interval", ""},
                                           StopCase{"RowNotANumber", "Interval", "two"},
                                           StopCase{"BooleanWord", "Level", "yes"},
                                           StopCase{"EmptyBoolean", "Level", ""}),
                         CaseName());

// Files that an XML tool has touched start with a declaration, maybe comments: they still
// hold the settings, keep what stands before the root, and stay readable in their encoding.
TEST_F(SettingsFileTest, PrologBeforeTheRootIsReadAndKept) {
  const QByteArray prolog =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- by hand -->\n<?editor keep?>\n";
  TSettingsFile file(Exe());
  const QByteArray utf8 =
      SettingsXml({{"Community", QStringLiteral("caf\u00e9")}, {"Host", "h"}, {"Interval", "2"}});
  WriteAll(Xml(), prolog + QByteArray(utf8).replace("caf\xc3\xa9", "caf\xe9"));
  file.Load(Controls());
  EXPECT_EQ(Items(Community), QStringList{"caf\u00e9"});
  EXPECT_EQ(Options.cbxInterval->currentIndex(), 2);

  file.Save(Controls());
  QDomDocument saved;
  ASSERT_TRUE(saved.setContent(ReadAll(Xml())));
  const QDomNodeList top = saved.childNodes();
  ASSERT_EQ(top.size(), 4);
  EXPECT_EQ(top.at(0).toProcessingInstruction().target(), "xml");
  EXPECT_EQ(top.at(1).toComment().data(), " by hand ");
  EXPECT_EQ(top.at(2).toProcessingInstruction().data(), "keep");
  EXPECT_EQ(ChildNames(saved.documentElement().firstChildElement("Settings")), kWritingOrder);

  QComboBox community, host;
  TfrmOptions options;
  TSettingsFile(Exe()).Load({&community, &host, &options});
  EXPECT_EQ(Items(community), QStringList{"caf\u00e9"});
}

// The values added after the first twelve are read one by one: a missing or unknown one gives
// its default, whatever the control held, and the others are read all the same.
TEST_F(SettingsFileTest, LaterValuesGiveTheirDefaultsOneByOne) {
  const std::vector<std::pair<QString, QString>> twelve = {
      {"Community", "a"},       {"Host", "b"},          {"Interval", "2"},
      {"Graph", "3"},           {"Type", "1"},          {"AutoHeight", "false"},
      {"Level", "true"},        {"Log", "false"},       {"LogProcessor", "true"},
      {"LogInterface", "true"}, {"LogStorage", "true"}, {"LogPath", "p.csv"}};
  auto holdOthers = [this] {
    Options.SetConnectionSettings(
        {TSnmpVersion::V2c, "old", TSecurityLevel::AuthNoPriv, TAuthProtocol::Sha, {}});
    Options.chkAppend->setChecked(true);
    Options.edtMetrics->setText("old:1");
    Options.spnHistoryDays->setValue(7);
    Options.SetAlertRules({50, 50, 50, true, true, 9});
    Options.chkTray->setChecked(true);
  };
  holdOthers();
  auto values = twelve;
  values.insert(values.end(), {{"Version", "4"},
                               {"SecurityLevel", "none"},
                               {"AuthProtocol", "MD5"},
                               {"PrivProtocol", "DES"},
                               {"LogAppend", "yes"},
                               {"MetricsAddress", "127.0.0.1:9200"},
                               {"HistoryDays", "-1"},
                               {"AlertProcessor", "150"},
                               {"AlertInterface", " 80 "},
                               {"AlertStorage", "0"},
                               {"AlertDown", "yes"},
                               {"AlertNoAnswer", "TRUE"},
                               {"AlertPolls", "0"},
                               {"Tray", "1"}});
  LoadFile(SettingsXml(values));
  EXPECT_EQ(Options.ConnectionSettings(),
            (TConnectionSettings{TSnmpVersion::V1, "", TSecurityLevel::AuthPriv, TAuthProtocol::Md5,
                                 TPrivProtocol::Aes}));
  EXPECT_FALSE(Options.LogAppend());
  EXPECT_EQ(Options.MetricsAddress(), "127.0.0.1:9200");
  EXPECT_EQ(Options.HistoryDays(), 90);
  EXPECT_EQ(Options.AlertRules(), (TAlertRules{std::nullopt, 80, std::nullopt, false, true, 3}));
  EXPECT_TRUE(Options.KeepInTray());

  // A file of the program before them.
  holdOthers();
  LoadFile(SettingsXml(twelve));
  EXPECT_EQ(Options.feFile->text(), "p.csv");
  EXPECT_EQ(Options.ConnectionSettings(), TConnectionSettings{});
  EXPECT_FALSE(Options.LogAppend());
  EXPECT_TRUE(Options.MetricsAddress().isEmpty());
  EXPECT_EQ(Options.HistoryDays(), 90);
  EXPECT_EQ(Options.AlertRules(), TAlertRules{});
  EXPECT_FALSE(Options.KeepInTray());
}

// Numbers in the file are plain text whatever the user's locale: "0,5" is no number.
TEST_F(SettingsFileTest, BooleansReadInAnyCaseOrAsNumbers) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  for (const auto& [text, expected] :
       std::vector<std::pair<QString, std::optional<bool>>>{{"TRUE", true},
                                                            {"False", false},
                                                            {"-3", true},
                                                            {"1.5", true},
                                                            {"0.0", false},
                                                            {"0,5", std::nullopt}}) {
    Options.chkAutoHeight->setChecked(false);
    Options.chkLevel->setChecked(false);
    LoadFile(SettingsXml({{"Community", ""},
                          {"Host", ""},
                          {"Interval", "0"},
                          {"Graph", "0"},
                          {"Type", "0"},
                          {"AutoHeight", text},
                          {"Level", "1"}}));
    EXPECT_EQ(Options.chkAutoHeight->isChecked(), expected.value_or(false)) << text.toStdString();
    EXPECT_EQ(Options.chkLevel->isChecked(), expected.has_value()) << text.toStdString();
  }
  QLocale::setDefault(QLocale::c());
}

TEST_F(SettingsFileTest, EmptyHistoryElementKeepsTheList) {
  Community.addItems({"kept"});
  LoadFile(SettingsXml({{"Community", ""}, {"Host", "h1 h2"}}));
  EXPECT_EQ(Items(Community), QStringList{"kept"});
  EXPECT_EQ(Items(Host), QStringList({"h1", "h2"}));
}

TEST_F(SettingsFileTest, SaveKeepsOtherRootContentAndIgnoresLaterEdits) {
  TSettingsFile file(Exe());
  WriteAll(Xml(),
           "<Corvane Path=\"/old\" Window=\"3\"><Layout left=\"1\">x</Layout>"
           "<Settings><Community>a</Community></Settings><Extra/></Corvane>");
  file.Load(Controls());
  WriteAll(Xml(), "<Corvane><Foreign/></Corvane>");  // the start-up reading wins
  file.Save(Controls());
  const QDomElement root = RootOf(Xml());
  EXPECT_EQ(root.attribute("Path"), "/old");
  EXPECT_EQ(root.attribute("Window"), "3");
  EXPECT_EQ(root.firstChildElement("Layout").attribute("left"), "1");
  EXPECT_EQ(root.firstChildElement("Layout").text(), "x");
  EXPECT_EQ(ChildNames(root), QStringList({"Layout", "Extra", "Settings"}));
}

TEST_F(SettingsFileTest, SaveWritesNothingWhenTheFileIsGone) {
  TSettingsFile file(Exe());
  file.Load(Controls());
  QFile::remove(Xml());
  file.Save(Controls());
  EXPECT_FALSE(QFile::exists(Xml()));
}

TEST_F(SettingsFileTest, UnwritableFolderUsesUserConfigFolder) {
  TSettingsFile file(Exe());
  file.DirWritable = [](const QString&) { return false; };
  const QString expected = QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                               .filePath("corvane.XML");
  QFile::remove(expected);
  EXPECT_EQ(file.FilePath(), expected);
  file.Load(Controls());
  EXPECT_TRUE(QFile::exists(expected));
  EXPECT_FALSE(QFile::exists(Xml()));
  QFile::remove(expected);

  EXPECT_TRUE(IsDirWritable(Dir.path()));
  EXPECT_FALSE(IsDirWritable(Dir.filePath("missing")));
  EXPECT_EQ(SettingsLocation(Exe()), Xml());
}

// Saving must never leave a damaged or emptied file behind.
class FailedSave : public SettingsFileTest {
 protected:
  void ExpectOldFileKept(TSettingsFile& file, const QString& path,
                         const QString& newItem = QStringLiteral("new")) {
    WriteAll(path, kGood);
    file.Load(Controls());
    Community.addItem(newItem);
    file.Save(Controls());
    EXPECT_EQ(ReadAll(path), kGood);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 1);
  }
};

TEST_F(FailedSave, DiskFullMidWrite) {
  TSettingsFile file(Exe());
  file.WriteFile = [](const QString& path, const QByteArray& data) {
    return SaveFileAtomically(path, data, [](QIODevice& device, const QByteArray& bytes) {
      device.write(bytes.left(bytes.size() / 2));
      return qint64(-1);
    });
  };
  ExpectOldFileKept(file, Xml());
}

TEST_F(FailedSave, FolderTakesNoNewFiles) {
  if (geteuid() != 0) {
    TSettingsFile file(Exe());
    file.DirWritable = [](const QString&) { return true; };
    WriteAll(Xml(), kGood);
    file.Load(Controls());
    QFile::setPermissions(Dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Community.addItems({"new"});
    file.Save(Controls());
    QFile::setPermissions(Dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadAll(Xml()), kGood);
    return;
  }
  // Root writes anywhere; a name too long for the temporary file beside it fails the same way.
  const QString exe = Dir.filePath(QString(250, QLatin1Char('x')));
  TSettingsFile file(exe);
  ExpectOldFileKept(file, SettingsPathFor(exe));
}

TEST_F(FailedSave, ValueThatWouldNotReadBack) {
  TSettingsFile file(Exe());
  ExpectOldFileKept(file, Xml(), QStringLiteral("bad\x01"));
}

struct PathCase {
  const char* name;
  QString executable;
  QString settings;
};

class SettingsPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath, ReplacesOrAddsExtension) {
  EXPECT_EQ(SettingsPathFor(GetParam().executable), GetParam().settings);
}

INSTANTIATE_TEST_SUITE_P(
    SettingsFile, SettingsPath,
    ::testing::Values(PathCase{"NoExtension", "/usr/bin/corvane", "/usr/bin/corvane.XML"},
                      PathCase{"Extension", "/opt/c/Corvane.exe", "/opt/c/Corvane.XML"},
                      PathCase{"LastDotOnly", "/opt/c/corvane.bin.old", "/opt/c/corvane.bin.XML"},
                      PathCase{"DotInFolder", "/opt/corvane-1.0/corvane",
                               "/opt/corvane-1.0/corvane.XML"},
                      PathCase{"HiddenName", "/home/u/.corvane", "/home/u/.corvane.XML"},
                      PathCase{"Relative", "corvane", "corvane.XML"}),
    CaseName());

}  // namespace

TConnectionSettings Connection(TSnmpVersion version, const QString& user = {},
                               TSecurityLevel level = TSecurityLevel::AuthPriv,
                               TAuthProtocol auth = TAuthProtocol::Sha256) {
  return {version, user, level, auth, TPrivProtocol::Aes};
}

// The watched hosts follow every other value, in exactly this form, and read back as they were.
TEST_F(SettingsFileTest, WatchedHostsAreWrittenLastAndReadBackExactly) {
  const std::vector<TWatchedHost> saved = {
      {"192.0.2.7:1161", "public", Connection(TSnmpVersion::V2c)},
      {"router1", "", Connection(TSnmpVersion::V3, "ops")},
      {"[::1]:161", "a \"b\" <&>", {}},
      {"edge", "",
       Connection(TSnmpVersion::V3, "n", TSecurityLevel::NoAuthNoPriv, TAuthProtocol::Md5)}};
  std::vector<TWatchedHost> watched = {{"stale", "x", {}}};
  TSettingsControls controls = Controls();
  controls.Watch = &watched;
  TSettingsFile file(Exe());
  WriteAll(Xml(), SettingsXml({{"Community", "a"}}));
  file.Load(controls);
  EXPECT_TRUE(watched.empty());  // a file of an earlier version watches nothing
  watched = saved;
  file.Save(controls);

  const QByteArray bytes = ReadAll(Xml());
  EXPECT_TRUE(
      bytes.contains("    <Tray>false</Tray>\n"
                     "    <Watch>\n"
                     "      <Host>\n"
                     "        <Name>192.0.2.7:1161</Name>\n"
                     "        <Community>public</Community>\n"
                     "        <Version>2c</Version>\n"
                     "      </Host>\n"
                     "      <Host>\n"
                     "        <Name>router1</Name>\n"
                     "        <Version>3</Version>\n"
                     "        <SecurityName>ops</SecurityName>\n"
                     "        <SecurityLevel>authPriv</SecurityLevel>\n"
                     "        <AuthProtocol>SHA-256</AuthProtocol>\n"
                     "        <PrivProtocol>AES</PrivProtocol>\n"
                     "      </Host>\n"
                     "      <Host>\n"
                     "        <Name>[::1]:161</Name>\n"
                     "        <Community>a \"b\" &lt;&amp;></Community>\n"
                     "        <Version>1</Version>\n"
                     "      </Host>\n"))
      << bytes.toStdString();
  EXPECT_EQ(ChildNames(RootOf(Xml()).firstChildElement("Settings")),
            kWritingOrder + QStringList{"Watch"});

  std::vector<TWatchedHost> read;
  TSettingsFile(Exe()).Load({&Community, &Host, &Options, &read});
  EXPECT_EQ(read, saved);
}

// A host that cannot be reached as written is left out; the others and every other value stay.
TEST_F(SettingsFileTest, WatchedHostsThatCannotBeReadAreSkipped) {
  std::vector<TWatchedHost> read;
  WriteAll(Xml(),
           "<Corvane><Settings><Community>a</Community><Watch>"
           "<Host><Name>plain</Name><Community>c</Community></Host>"
           "<Host><Community>c</Community><Version>1</Version></Host>"
           "<Host><Name></Name><Community>c</Community></Host>"
           "<Host><Name>v4</Name><Community>c</Community><Version>4</Version></Host>"
           "<Host><Name>no-community</Name><Version>2c</Version></Host>"
           "<Host><Name>no-user</Name><Version>3</Version></Host>"
           "<Host><Name>sha1</Name><Version>3</Version><SecurityName>u</SecurityName>"
           "<AuthProtocol>SHA-1</AuthProtocol></Host>"
           "<Host><Name>plain</Name><Community>twice</Community></Host>"
           "<Host><Name>defaults</Name><Version>3</Version><SecurityName>u</SecurityName>"
           "<Later>kept apart</Later></Host>"
           "</Watch></Settings></Corvane>");
  TSettingsFile(Exe()).Load({&Community, &Host, &Options, &read});
  EXPECT_EQ(Items(Community), QStringList{"a"});
  EXPECT_EQ(read, (std::vector<TWatchedHost>{{"plain", "c", {}},
                                             {"defaults", "", Connection(TSnmpVersion::V3, "u")}}));
}
