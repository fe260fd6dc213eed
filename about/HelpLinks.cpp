#include "HelpLinks.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <utility>

#include "CorvaneVersion.h"

namespace {

TUrlOpener& Opener() {
  static TUrlOpener opener;
  return opener;
}

bool OpenUrl(const QUrl& url) {
  if (const TUrlOpener& opener = Opener()) return opener(url);
  return QDesktopServices::openUrl(url);
}

QString ExecutableDir() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

}  // namespace

void SetUrlOpener(TUrlOpener opener) {
  Opener() = std::move(opener);
}

QString HelpAnchor(int context) {
  static const std::pair<int, const char*> anchors[] = {{kMainHelpContext, "overview"},
                                                        {110, "connecting"},
                                                        {120, "tabs"},
                                                        {130, "options"},
                                                        {140, "logging"},
                                                        {150, "settings-file"}};
  for (const auto& [number, anchor] : anchors)
    if (number == context) return QString::fromLatin1(anchor);
  return {};
}

QStringList HelpFileCandidates(const QString& executableDir) {
  const QString name = QString::fromLatin1(kHelpFileName);
  const QDir dir(executableDir);
  return {QDir::cleanPath(dir.filePath(name)),
          QDir::cleanPath(dir.filePath(QStringLiteral("../share/corvane/") + name)),
          QStringLiteral(CORVANE_HELP_SOURCE_PATH)};
}

QUrl HelpUrl(int context, const QString& executableDir) {
  const QStringList candidates = HelpFileCandidates(executableDir);
  QString path = candidates.front();
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) {
      path = candidate;
      break;
    }
  }
  QUrl url = QUrl::fromLocalFile(path);
  if (const QString anchor = HelpAnchor(context); !anchor.isEmpty()) url.setFragment(anchor);
  return url;
}

void ShowHelpContext(int context) {
  OpenUrl(HelpUrl(context, ExecutableDir()));
}

void OpenMakerSite() {
  OpenUrl(QUrl(QString::fromLatin1(kMakerSiteUrl)));
}
