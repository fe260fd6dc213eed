#include "FileVersion.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "CorvaneVersion.h"

QString CorvaneVersionText() {
  return QStringLiteral(CORVANE_VERSION);
}

QString FileVersionText(const QString& path) {
  if (path.isEmpty()) return {};
  const QString file = QFileInfo(path).canonicalFilePath();
  if (file.isEmpty()) return {};
  if (file == QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath())
    return CorvaneVersionText();
  static const QRegularExpression soname(QStringLiteral(R"(\.so\.(\d+(?:\.\d+)*)$)"));
  const auto match = soname.match(QFileInfo(file).fileName());
  return match.hasMatch() ? match.captured(1) : QString();
}
