#include "SystemInfo.h"

#include <gnu/libc-version.h>
#include <link.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <cmath>
#include <iterator>
#include <vector>

#include "FileVersion.h"

namespace {

// ---- Formatting ----------------------------------------------------------

// "%0.0n": a whole number with the locale's thousands separators.
QString Whole(const QLocale& locale, std::uint64_t value) {
  return locale.toString(static_cast<qulonglong>(value));
}

// "%0.0n" of a fractional amount: rounded half to even, then grouped.
QString Rounded(const QLocale& locale, double value) {
  return locale.toString(std::nearbyint(value), 'f', 0);
}

QString Kbytes(const QLocale& locale, std::uint64_t bytes) {
  return Whole(locale, bytes / 1000) + QStringLiteral(" Kbytes");
}

QString Kbytes(const QLocale& locale, double bytes) {
  return Rounded(locale, bytes / 1000.0) + QStringLiteral(" Kbytes");
}

void AddIfPresent(QStringList& lines, const char* label, const std::optional<QString>& value) {
  if (value) lines << QString::fromLatin1(label) + *value;
}

void AddName(QStringList& lines, const char* label, const std::optional<QString>& name) {
  if (name && name->size() <= kMaxNameLength) lines << QString::fromLatin1(label) + *name;
}

QString ProcessorName(int type) {
  switch (type) {
    case 386:
      return QStringLiteral("80386");
    case 486:
      return QStringLiteral("80486");
    case 586:
      return QStringLiteral("Pentium");
  }
  return {};
}

QString SerialText(std::uint32_t serial) {
  return QStringLiteral("%1-%2")
      .arg(serial >> 16, 4, 16, QLatin1Char('0'))
      .arg(serial & 0xFFFFu, 4, 16, QLatin1Char('0'))
      .toUpper();
}

// ---- Gathering -----------------------------------------------------------

QString ReadFirstLine(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  return QString::fromUtf8(file.readLine()).trimmed();
}

// Value of `key` in a "key: value" or KEY=value file, or empty text.
QString ReadKeyedValue(const QString& path, const QString& key, QChar separator) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream in(&file);
  for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
    const auto at = line.indexOf(separator);
    if (at < 0 || line.left(at).trimmed() != key) continue;
    QString value = line.mid(at + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
      value = value.mid(1, value.size() - 2);
    return value;
  }
  return {};
}

std::optional<TOsFacts> GatherOs(const utsname& names) {
  TOsFacts os = SplitKernelRelease(QString::fromUtf8(names.release));
  os.version = QString::fromUtf8(names.version);
  os.name = ReadKeyedValue(QStringLiteral("/etc/os-release"), QStringLiteral("PRETTY_NAME"), u'=');
  if (os.name.isEmpty())
    os.name =
        ReadKeyedValue(QStringLiteral("/usr/lib/os-release"), QStringLiteral("PRETTY_NAME"), u'=');
  if (os.name.isEmpty()) os.name = QString::fromUtf8(names.sysname);
  return os;
}

int CpuFamily() {
  bool ok = false;
  const int family =
      ReadKeyedValue(QStringLiteral("/proc/cpuinfo"), QStringLiteral("cpu family"), u':')
          .toInt(&ok);
  return ok ? family : -1;
}

std::optional<QString> HostName() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return std::nullopt;
  return QString::fromLocal8Bit(buffer);
}

std::optional<QString> UserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return QString::fromLocal8Bit(found->pw_name);
  if (const char* login = getlogin()) return QString::fromLocal8Bit(login);
  return std::nullopt;
}

std::vector<QString> LoadedObjects() {
  std::vector<QString> paths;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        if (info->dlpi_name && *info->dlpi_name)
          static_cast<std::vector<QString>*>(data)->push_back(
              QString::fromLocal8Bit(info->dlpi_name));
        return 0;
      },
      &paths);
  return paths;
}

// Canonical path of the loaded object whose file name starts with `prefix`.
QString LoadedObject(const std::vector<QString>& objects, const QString& prefix) {
  for (const QString& path : objects) {
    if (QFileInfo(path).fileName().startsWith(prefix)) return QFileInfo(path).canonicalFilePath();
  }
  return {};
}

std::optional<TMemoryFacts> GatherMemory() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return std::nullopt;
  const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
  TMemoryFacts memory;
  memory.totalPhys = std::uint64_t{info.totalram} * unit;
  bool ok = false;
  const QString available =
      ReadKeyedValue(QStringLiteral("/proc/meminfo"), QStringLiteral("MemAvailable"), u':');
  const std::uint64_t availableKib = available.section(u' ', 0, 0).toULongLong(&ok);
  memory.availPhys =
      ok ? availableKib * 1024 : (std::uint64_t{info.freeram} + info.bufferram) * unit;
  memory.load = MemoryLoadPercent(memory.totalPhys, memory.availPhys);
  memory.totalPageFile = std::uint64_t{info.totalswap} * unit;
  memory.availPageFile = std::uint64_t{info.freeswap} * unit;

  // The user address space: the process's limit if it has one, else what the
  // architecture leaves to user mode.
  memory.totalVirtual = sizeof(void*) == 8 ? std::uint64_t{1} << 47 : std::uint64_t{3} << 30;
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    memory.totalVirtual = limit.rlim_cur;
  const std::uint64_t usedPages =
      ReadFirstLine(QStringLiteral("/proc/self/statm")).section(u' ', 0, 0).toULongLong();
  const long pageSize = sysconf(_SC_PAGESIZE);
  const std::uint64_t used = usedPages * static_cast<std::uint64_t>(pageSize > 0 ? pageSize : 4096);
  memory.availVirtual = used < memory.totalVirtual ? memory.totalVirtual - used : 0;
  return memory;
}

// Undoes the octal escapes of /proc/self/mounts and udev link names ("\040", "\x20").
QString UnescapeMountField(const QString& field) {
  QString out;
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == u'\\' && i + 3 < field.size() && field[i + 1].isDigit()) {
      bool ok = false;
      const int code = field.mid(i + 1, 3).toInt(&ok, 8);
      if (ok) {
        out += QChar(code);
        i += 3;
        continue;
      }
    }
    if (field[i] == u'\\' && i + 3 < field.size() && field[i + 1] == u'x') {
      bool ok = false;
      const int code = field.mid(i + 2, 2).toInt(&ok, 16);
      if (ok) {
        out += QChar(code);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

struct TMount {
  QString device;
  QString mountPoint;
  QString fsType;
};

// The mount with the longest mount point containing `path`.
std::optional<TMount> MountOf(const QString& path) {
  QFile file(QStringLiteral("/proc/self/mounts"));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
  std::optional<TMount> best;
  QTextStream in(&file);
  for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
    const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
    if (fields.size() < 3) continue;
    const TMount mount{UnescapeMountField(fields[0]), UnescapeMountField(fields[1]), fields[2]};
    const bool contains = mount.mountPoint == u'/' || path == mount.mountPoint ||
                          path.startsWith(mount.mountPoint + u'/');
    // A later entry on the same mount point hides an earlier one.
    if (contains && (!best || mount.mountPoint.size() >= best->mountPoint.size())) best = mount;
  }
  return best;
}

QString VolumeLabel(const QString& device) {
  const QString target = QFileInfo(device).canonicalFilePath();
  if (target.isEmpty()) return {};
  const QDir labels(QStringLiteral("/dev/disk/by-label"));
  for (const QFileInfo& link : labels.entryInfoList(QDir::System | QDir::Files)) {
    if (link.canonicalFilePath() == target) return UnescapeMountField(link.fileName());
  }
  return {};
}

bool IsRemovable(const QString& device) {
  if (!device.startsWith(QStringLiteral("/dev/"))) return false;
  const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
  if (name.isEmpty()) return false;
  QString sysDir = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
  if (sysDir.isEmpty()) return false;
  if (QFileInfo::exists(sysDir + QStringLiteral("/partition")))
    sysDir = QFileInfo(sysDir).absolutePath();
  return ReadFirstLine(sysDir + QStringLiteral("/removable")) == u'1';
}

std::optional<TVolumeFacts> GatherVolume() {
  struct statvfs stats {};
  if (statvfs(".", &stats) != 0) return std::nullopt;
  TVolumeFacts volume;
  const double fragment = static_cast<double>(stats.f_frsize ? stats.f_frsize : stats.f_bsize);
  volume.sizeBytes = static_cast<double>(stats.f_blocks) * fragment;
  volume.freeBytes = static_cast<double>(stats.f_bavail) * fragment;
  volume.serial = static_cast<std::uint32_t>(stats.f_fsid);
  if (const auto mount = MountOf(QDir::current().canonicalPath())) {
    volume.name = VolumeLabel(mount->device);
    if (volume.name.isEmpty()) volume.name = mount->device;
    volume.driveType = DriveTypeFor(mount->fsType, mount->device, IsRemovable(mount->device));
  }
  return volume;
}

}  // namespace

std::uint64_t MemoryLoadPercent(std::uint64_t total, std::uint64_t available) {
  if (total == 0) return 0;
  std::uint64_t used = available < total ? total - available : 0;
  if (total > UINT64_MAX / 100) {  // keep used * 100 within 64 bits
    total /= 100;
    used /= 100;
  }
  return used * 100 / total;
}

TOsFacts SplitKernelRelease(const QString& release) {
  static const QRegularExpression pattern(QStringLiteral(R"(^(\d+)(?:\.(\d+))?[.\-]?(.*)$)"));
  TOsFacts os;
  const auto match = pattern.match(release);
  if (!match.hasMatch()) {
    os.build = release;
    return os;
  }
  os.major = match.captured(1);
  os.minor = match.captured(2).isEmpty() ? QStringLiteral("0") : match.captured(2);
  os.build = match.captured(3);
  return os;
}

int ProcessorTypeFor(const QString& machine, int cpuFamily) {
  static const QRegularExpression ia32(QStringLiteral("^i[3-6]86$"));
  if (machine == QLatin1String("x86_64")) return 8664;
  if (ia32.match(machine).hasMatch() && cpuFamily > 0) return cpuFamily * 100 + 86;
  return 0;
}

TDriveType DriveTypeFor(const QString& fsType, const QString& device, bool removable) {
  static const QStringList ram{QStringLiteral("tmpfs"), QStringLiteral("ramfs")};
  static const QStringList remote{
      QStringLiteral("nfs"),    QStringLiteral("nfs4"),       QStringLiteral("cifs"),
      QStringLiteral("smb3"),   QStringLiteral("smbfs"),      QStringLiteral("ncpfs"),
      QStringLiteral("afs"),    QStringLiteral("ceph"),       QStringLiteral("glusterfs"),
      QStringLiteral("9p"),     QStringLiteral("fuse.sshfs"), QStringLiteral("davfs"),
      QStringLiteral("lustre"), QStringLiteral("virtiofs")};
  static const QStringList optical{QStringLiteral("iso9660"), QStringLiteral("udf")};
  static const QStringList localWithoutDevice{QStringLiteral("overlay"), QStringLiteral("zfs"),
                                              QStringLiteral("btrfs"), QStringLiteral("aufs")};
  if (ram.contains(fsType)) return TDriveType::RamDisk;
  if (remote.contains(fsType) || fsType.startsWith(QStringLiteral("nfs")))
    return TDriveType::Remote;
  if (optical.contains(fsType)) return TDriveType::CdRom;
  if (device.startsWith(QStringLiteral("/dev/")))
    return removable ? TDriveType::Removable : TDriveType::Fixed;
  if (localWithoutDevice.contains(fsType)) return TDriveType::Fixed;
  return TDriveType::Unknown;
}

QString DriveTypeText(TDriveType type) {
  static const char* const texts[] = {
      "Cannot be determined",  "Does not exist", "Removable drive", "Fixed disk",
      "Remote(network) drive", "CD-ROM drive",   "RAM disk"};
  const auto index = static_cast<std::size_t>(type);
  return index < std::size(texts) ? QString::fromLatin1(texts[index]) : QString();
}

TSystemFacts GatherSystemFacts() {
  TSystemFacts facts;
  utsname names{};
  if (uname(&names) == 0) {
    facts.os = GatherOs(names);
    facts.processorType = ProcessorTypeFor(QString::fromUtf8(names.machine), CpuFamily());
  }
  if (const long count = sysconf(_SC_NPROCESSORS_ONLN); count > 0) facts.processorCount = count;
  facts.computerName = HostName();
  facts.userName = UserName();

  const std::vector<QString> objects = LoadedObjects();
  if (const QString libc = LoadedObject(objects, QStringLiteral("libc.so")); !libc.isEmpty()) {
    facts.systemDir = QFileInfo(libc).absolutePath();
    // The system library folder lies below the system's prefix ("/usr/lib/..." -> "/usr").
    const auto lib = facts.systemDir->indexOf(QStringLiteral("/lib"));
    facts.windowsDir = lib > 0 ? facts.systemDir->left(lib) : QStringLiteral("/");
  }
  facts.tempDir = QDir::tempPath();

  facts.libraries.comctl32 =
      FileVersionText(LoadedObject(objects, QStringLiteral("libQt6Widgets.so")));
  facts.libraries.shell32 = FileVersionText(LoadedObject(objects, QStringLiteral("libQt6Gui.so")));
  facts.libraries.shlwapi = FileVersionText(LoadedObject(objects, QStringLiteral("libQt6Core.so")));
  facts.libraries.kernel32 = QString::fromLatin1(gnu_get_libc_version());

  facts.memory = GatherMemory();
  facts.volume = GatherVolume();
  return facts;
}

QStringList SystemInfoLines(const TSystemFacts& facts, const QLocale& locale) {
  QStringList lines;
  if (facts.os) {
    const TOsFacts& os = *facts.os;
    lines << QStringLiteral("Operating System: ") + os.name;
    lines << QStringLiteral("OS Version: %1.%2 (Build %3) %4")
                 .arg(os.major, os.minor, os.build, os.version);
  }
  if (facts.processorType) {
    if (const QString name = ProcessorName(*facts.processorType); !name.isEmpty())
      lines << QStringLiteral("Processor Type: ") + name;
  }
  if (facts.processorCount)
    lines << QStringLiteral("# of Processors: ") + QString::number(*facts.processorCount);
  AddName(lines, "Computer Name: ", facts.computerName);
  AddName(lines, "User Name: ", facts.userName);
  AddIfPresent(lines, "Windows Dir: ", facts.windowsDir);
  AddIfPresent(lines, "Temp Dir: ", facts.tempDir);
  AddIfPresent(lines, "System Dir: ", facts.systemDir);
  lines << QStringLiteral("Comctl32.Dll: ") + facts.libraries.comctl32;
  lines << QStringLiteral("Shell32.Dll: ") + facts.libraries.shell32;
  lines << QStringLiteral("Shlwapi.dll: ") + facts.libraries.shlwapi;
  lines << QStringLiteral("Kernel32.dll: ") + facts.libraries.kernel32;
  if (facts.memory) {
    const TMemoryFacts& m = *facts.memory;
    lines << QStringLiteral("Physical Memory: ") + Kbytes(locale, m.totalPhys);
    lines << QStringLiteral("Avail Phys Memory: ") + Kbytes(locale, m.availPhys);
    lines << QStringLiteral("Memory Load: ") + Whole(locale, m.load) + u'%';
    lines << QStringLiteral("Page File: ") + Kbytes(locale, m.totalPageFile);
    lines << QStringLiteral("Avail Page File: ") + Kbytes(locale, m.availPageFile);
    lines << QStringLiteral("Virtual Memory: ") + Kbytes(locale, m.totalVirtual);
    lines << QStringLiteral("Avail Virtual Memory: ") + Kbytes(locale, m.availVirtual);
  }
  if (facts.volume) {
    const TVolumeFacts& v = *facts.volume;
    lines << QStringLiteral("Volume Name: ") + v.name;
    lines << QStringLiteral("Vol Serial Number: ") + SerialText(v.serial);
    lines << QStringLiteral("Drive Type: ") + DriveTypeText(v.driveType);
    lines << QStringLiteral("Disk Size: ") + Kbytes(locale, v.sizeBytes);
    lines << QStringLiteral("Disk Free: ") + Kbytes(locale, v.freeBytes);
  }
  return lines;
}
