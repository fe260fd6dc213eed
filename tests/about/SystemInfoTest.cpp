#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <array>
#include <functional>

#include "FileVersion.h"
#include "SystemInfo.h"

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TSystemFacts SampleFacts() {
  TSystemFacts f;
  f.os = TOsFacts{"Debian GNU/Linux 12 (bookworm)", "6", "1", "0-18-amd64", "#1 SMP Debian"};
  f.processorType = 486;
  f.processorCount = 8;
  f.computerName = QStringLiteral("buildhost");
  f.userName = QStringLiteral("operator");
  f.windowsDir = QStringLiteral("/usr");
  f.tempDir = QStringLiteral("/tmp");
  f.systemDir = QStringLiteral("/usr/lib/x86_64-linux-gnu");
  f.libraries = {"6.4.2", "6.4.3", "6.4.4", "2.36"};
  f.memory = TMemoryFacts{16'777'216'000,      8'000'999,          52, 2'000'000'000, 1'999'999,
                          140'737'488'355'328, 140'000'000'000'000};
  f.volume = TVolumeFacts{"rootfs", 0x0A1B2C3D, TDriveType::Fixed, 250'000'000'000.0, 1'999.0};
  return f;
}

QString Line(const QStringList& lines, const QString& label) {
  for (const QString& line : lines)
    if (line.startsWith(label)) return line;
  return {};
}

bool HasLabel(const QStringList& lines, const QString& label) {
  return !Line(lines, label).isEmpty();
}

}  // namespace

TEST(SystemInfoLines, ListsEveryLineInOrderWithItsFormat) {
  const QStringList expected{
      "Operating System: Debian GNU/Linux 12 (bookworm)",
      "OS Version: 6.1 (Build 0-18-amd64) #1 SMP Debian",
      "Processor Type: 80486",
      "# of Processors: 8",
      "Computer Name: buildhost",
      "User Name: operator",
      "Windows Dir: /usr",
      "Temp Dir: /tmp",
      "System Dir: /usr/lib/x86_64-linux-gnu",
      "Comctl32.Dll: 6.4.2",
      "Shell32.Dll: 6.4.3",
      "Shlwapi.dll: 6.4.4",
      "Kernel32.dll: 2.36",
      "Physical Memory: 16,777,216 Kbytes",
      "Avail Phys Memory: 8,000 Kbytes",
      "Memory Load: 52%",
      "Page File: 2,000,000 Kbytes",
      "Avail Page File: 1,999 Kbytes",
      "Virtual Memory: 140,737,488,355 Kbytes",
      "Avail Virtual Memory: 140,000,000,000 Kbytes",
      "Volume Name: rootfs",
      "Vol Serial Number: 0A1B-2C3D",
      "Drive Type: Fixed disk",
      "Disk Size: 250,000,000 Kbytes",
      "Disk Free: 2 Kbytes",
  };
  EXPECT_EQ(SystemInfoLines(SampleFacts(), kEnglish), expected);
}

TEST(SystemInfoLines, CommaDecimalLocaleGroupsWithDots) {
  const QStringList lines =
      SystemInfoLines(SampleFacts(), QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(Line(lines, "Physical Memory"), "Physical Memory: 16.777.216 Kbytes");
  EXPECT_EQ(Line(lines, "Disk Size"), "Disk Size: 250.000.000 Kbytes");
  EXPECT_EQ(Line(lines, "Memory Load"), "Memory Load: 52%");
}

TEST(SystemInfoLines, TextFromTheSystemIsNotTreatedAsPlaceholders) {
  TSystemFacts facts = SampleFacts();
  facts.os->version = QStringLiteral("%1 %2 build");
  facts.os->build = QStringLiteral("%4");
  EXPECT_EQ(Line(SystemInfoLines(facts, kEnglish), "OS Version"),
            "OS Version: 6.1 (Build %4) %1 %2 build");
}

// Memory amounts are cut to whole kilobytes, disk amounts rounded half to even.
struct TAmountCase {
  double bytes;
  const char* memory;
  const char* disk;
};

void PrintTo(const TAmountCase& c, std::ostream* os) {
  *os << c.bytes << " bytes";
}

class AmountRounding : public testing::TestWithParam<TAmountCase> {};

TEST_P(AmountRounding, MemoryTruncatesDiskRounds) {
  const TAmountCase& c = GetParam();
  TSystemFacts facts = SampleFacts();
  facts.memory->totalPhys = static_cast<std::uint64_t>(c.bytes);
  facts.volume->sizeBytes = c.bytes;
  const QStringList lines = SystemInfoLines(facts, kEnglish);
  EXPECT_EQ(Line(lines, "Physical Memory"),
            QStringLiteral("Physical Memory: %1 Kbytes").arg(c.memory));
  EXPECT_EQ(Line(lines, "Disk Size"), QStringLiteral("Disk Size: %1 Kbytes").arg(c.disk));
}

INSTANTIATE_TEST_SUITE_P(Bytes, AmountRounding,
                         testing::Values(TAmountCase{1999, "1", "2"}, TAmountCase{999, "0", "1"},
                                         TAmountCase{500, "0", "0"}, TAmountCase{1500, "1", "2"},
                                         TAmountCase{2500, "2", "2"},
                                         TAmountCase{1'234'567'499, "1,234,567", "1,234,567"}));

struct TNameCase {
  const char* computer;
  const char* user;
  bool computerShown;
  bool userShown;
};

void PrintTo(const TNameCase& c, std::ostream* os) {
  *os << c.computer << " / " << c.user;
}

class NameLimit : public testing::TestWithParam<TNameCase> {};

TEST_P(NameLimit, NamesLongerThanFifteenCharactersGiveNoLine) {
  const TNameCase& c = GetParam();
  TSystemFacts facts = SampleFacts();
  facts.computerName = QString::fromUtf8(c.computer);
  facts.userName = QString::fromUtf8(c.user);
  const QStringList lines = SystemInfoLines(facts, kEnglish);
  EXPECT_EQ(lines.contains(QStringLiteral("Computer Name: ") + c.computer), c.computerShown);
  EXPECT_EQ(lines.contains(QStringLiteral("User Name: ") + c.user), c.userShown);
  EXPECT_EQ(HasLabel(lines, "Computer Name"), c.computerShown);
  EXPECT_EQ(HasLabel(lines, "User Name"), c.userShown);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, NameLimit,
    testing::Values(TNameCase{"host", "abcdefghijklmnop", true, false},           // user 16
                    TNameCase{"abcdefghijklmno", "abcdefghijklmno", true, true},  // both 15
                    TNameCase{"abcdefghijklmnop", "bob", false, true},            // computer 16
                    TNameCase{"h", "überlangername12", true, false}));  // 16 with a non-ASCII

// Each failing source drops exactly its own lines.
struct TFailureCase {
  const char* name;
  std::function<void(TSystemFacts&)> fail;
  QStringList dropped;
};

void PrintTo(const TFailureCase& c, std::ostream* os) {
  *os << c.name;
}

class FailingSource : public testing::TestWithParam<TFailureCase> {};

TEST_P(FailingSource, DropsOnlyItsLines) {
  const TFailureCase& c = GetParam();
  const QStringList all = SystemInfoLines(SampleFacts(), kEnglish);
  TSystemFacts facts = SampleFacts();
  c.fail(facts);
  const QStringList lines = SystemInfoLines(facts, kEnglish);
  QStringList expected;
  for (const QString& line : all) {
    bool drop = false;
    for (const QString& label : c.dropped) drop = drop || line.startsWith(label + u':');
    if (!drop) expected << line;
  }
  EXPECT_EQ(lines.size(), all.size() - c.dropped.size());
  EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, FailingSource,
    testing::Values(
        TFailureCase{
            "Os", [](TSystemFacts& f) { f.os.reset(); }, {"Operating System", "OS Version"}},
        TFailureCase{"Cpu", [](TSystemFacts& f) { f.processorType.reset(); }, {"Processor Type"}},
        TFailureCase{
            "Count", [](TSystemFacts& f) { f.processorCount.reset(); }, {"# of Processors"}},
        TFailureCase{"Host", [](TSystemFacts& f) { f.computerName.reset(); }, {"Computer Name"}},
        TFailureCase{"User", [](TSystemFacts& f) { f.userName.reset(); }, {"User Name"}},
        TFailureCase{"Folders",
                     [](TSystemFacts& f) {
                       f.windowsDir.reset();
                       f.tempDir.reset();
                       f.systemDir.reset();
                     },
                     {"Windows Dir", "Temp Dir", "System Dir"}},
        TFailureCase{"Memory",
                     [](TSystemFacts& f) { f.memory.reset(); },
                     {"Physical Memory", "Avail Phys Memory", "Memory Load", "Page File",
                      "Avail Page File", "Virtual Memory", "Avail Virtual Memory"}},
        TFailureCase{"Volume",
                     [](TSystemFacts& f) { f.volume.reset(); },
                     {"Volume Name", "Vol Serial Number", "Drive Type", "Disk Size", "Disk Free"}}),
    [](const testing::TestParamInfo<TFailureCase>& param) {
      return std::string(param.param.name);
    });

TEST(SystemInfoLines, OnlyTheThreeOldProcessorTypesAreNamed) {
  const std::pair<int, const char*> cases[] = {{386, "80386"}, {486, "80486"},  {586, "Pentium"},
                                               {686, nullptr}, {8664, nullptr}, {0, nullptr}};
  for (const auto& [type, name] : cases) {
    TSystemFacts facts = SampleFacts();
    facts.processorType = type;
    const QString line = Line(SystemInfoLines(facts, kEnglish), "Processor Type");
    EXPECT_EQ(line, name ? QStringLiteral("Processor Type: ") + name : QString()) << type;
  }
}

TEST(KernelRelease, SplitsIntoMajorMinorAndBuild) {
  const std::array<const char*, 4> cases[] = {{"6.1.0-18-amd64", "6", "1", "0-18-amd64"},
                                              {"4.19-rc1", "4", "19", "rc1"},
                                              {"7", "7", "0", ""},
                                              {"custom", "", "", "custom"}};
  for (const auto& [release, major, minor, build] : cases) {
    const TOsFacts os = SplitKernelRelease(release);
    EXPECT_EQ(QStringList({os.major, os.minor, os.build}), QStringList({major, minor, build}))
        << release;
  }
}

TEST(DriveType, MountedFileSystemsAreClassified) {
  struct {
    const char* fs;
    const char* device;
    bool removable;
    TDriveType type;
  } const cases[] = {
      {"ext4", "/dev/vda", false, TDriveType::Fixed},
      {"vfat", "/dev/sdb1", true, TDriveType::Removable},
      {"tmpfs", "tmpfs", false, TDriveType::RamDisk},
      {"nfs4", "server:/export", false, TDriveType::Remote},
      {"iso9660", "/dev/sr0", true, TDriveType::CdRom},
      {"overlay", "overlay", false, TDriveType::Fixed},
      {"proc", "proc", false, TDriveType::Unknown},
      {"", "", false, TDriveType::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(DriveTypeFor(c.fs, c.device, c.removable), c.type) << c.fs;
  EXPECT_EQ(DriveTypeText(static_cast<TDriveType>(9)), QString());
}

TEST(MemoryLoad, PercentInUseWithoutDivisionByZeroOrOverflow) {
  EXPECT_EQ(MemoryLoadPercent(0, 0), 0u);
  EXPECT_EQ(MemoryLoadPercent(1000, 250), 75u);
  EXPECT_EQ(MemoryLoadPercent(1000, 2000), 0u);
  EXPECT_EQ(MemoryLoadPercent(UINT64_MAX, 0), 100u);
  EXPECT_EQ(MemoryLoadPercent(UINT64_MAX, UINT64_MAX / 2), 50u);
}

TEST(GatherSystemFacts, ReadsThisComputer) {
  const TSystemFacts facts = GatherSystemFacts();
  ASSERT_TRUE(facts.os);
  EXPECT_FALSE(facts.os->name.isEmpty());
  EXPECT_FALSE(facts.os->major.isEmpty());
  ASSERT_TRUE(facts.processorCount);
  EXPECT_GE(*facts.processorCount, 1);
  ASSERT_TRUE(facts.memory);
  EXPECT_GT(facts.memory->totalPhys, 0u);
  EXPECT_LE(facts.memory->availPhys, facts.memory->totalPhys);
  EXPECT_LE(facts.memory->load, 100u);
  ASSERT_TRUE(facts.systemDir);
  EXPECT_TRUE(QFileInfo(*facts.systemDir).isDir());
  ASSERT_TRUE(facts.volume);
  EXPECT_GT(facts.volume->sizeBytes, 0);
  EXPECT_LE(facts.volume->freeBytes, facts.volume->sizeBytes);
  EXPECT_EQ(facts.libraries.shlwapi, QString::fromLatin1(qVersion()));
  EXPECT_FALSE(facts.libraries.kernel32.isEmpty());
}

TEST(FileVersionText, RunningProgramAndLibrariesAndPlainFiles) {
  EXPECT_EQ(FileVersionText("/proc/self/exe"), "1.0.5.4");
  EXPECT_EQ(FileVersionText("/etc/os-release"), QString());
  EXPECT_EQ(FileVersionText("/no/such/file.so.1.2"), QString());
}
