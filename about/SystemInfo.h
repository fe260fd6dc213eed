#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Operating system as reported by the kernel and the distribution.
struct TOsFacts {
  QString name;     // distribution name, e.g. "Debian GNU/Linux 12 (bookworm)"
  QString major;    // kernel major version
  QString minor;    // kernel minor version
  QString build;    // the rest of the kernel release after major.minor
  QString version;  // the kernel's version string
};

// Amounts in bytes; load in percent of physical memory in use.
struct TMemoryFacts {
  std::uint64_t totalPhys = 0;
  std::uint64_t availPhys = 0;
  std::uint64_t load = 0;
  std::uint64_t totalPageFile = 0;
  std::uint64_t availPageFile = 0;
  std::uint64_t totalVirtual = 0;
  std::uint64_t availVirtual = 0;
};

// Numbered as the drive types of the list ("Removable drive" = 2, "Fixed disk" = 3, ...).
enum class TDriveType : int {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

// The volume holding the current folder.
struct TVolumeFacts {
  QString name;
  std::uint32_t serial = 0;
  TDriveType driveType = TDriveType::Unknown;
  double sizeBytes = 0;
  double freeBytes = 0;
};

// Versions of the four platform libraries named in the list (empty text: no version known).
struct TLibraryVersions {
  QString comctl32;
  QString shell32;
  QString shlwapi;
  QString kernel32;
};

// Raw facts about the local computer; an empty optional means its query failed.
struct TSystemFacts {
  std::optional<TOsFacts> os;
  std::optional<int> processorType;  // 386, 486 and 586 are named; others give no line
  std::optional<long> processorCount;
  std::optional<QString> computerName;
  std::optional<QString> userName;
  std::optional<QString> windowsDir;
  std::optional<QString> tempDir;
  std::optional<QString> systemDir;
  TLibraryVersions libraries;
  std::optional<TMemoryFacts> memory;
  std::optional<TVolumeFacts> volume;
};

// Longest computer or user name that is shown; a longer one gives no line.
inline constexpr int kMaxNameLength = 15;

// Queries the running system; never throws, a failed query leaves its member empty.
TSystemFacts GatherSystemFacts();

// Formats the facts as the lines of the About box's system list, numbers in `locale`.
QStringList SystemInfoLines(const TSystemFacts& facts, const QLocale& locale);

// Text of a drive type ("Fixed disk", ...); empty text for a value outside the list.
QString DriveTypeText(TDriveType type);

// Splits a kernel release such as "6.1.0-18-amd64" into major "6", minor "1", build "0-18-amd64".
TOsFacts SplitKernelRelease(const QString& release);

// Maps an x86 CPU family to the processor type of the list (3 -> 386, 4 -> 486, 5 -> 586);
// other families and machines give a type outside the list.
int ProcessorTypeFor(const QString& machine, int cpuFamily);

// Classifies a mounted file system; `removable` is the block device's removable flag.
TDriveType DriveTypeFor(const QString& fsType, const QString& device, bool removable);

// Percent of physical memory in use, 0 when the total is unknown.
std::uint64_t MemoryLoadPercent(std::uint64_t total, std::uint64_t available);
