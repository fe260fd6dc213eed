#include "Icons.h"

#include <QString>

static void InitIcons() {
  Q_INIT_RESOURCE(icons);
}

QIcon ActionIcon(int index) {
  // The resources live in a static library, so they are registered on first use.
  static const bool registered = (InitIcons(), true);
  (void)registered;
  static const char* const names[] = {"0-about",      "1-exit",    "2-web",    "3-help",
                                      "4-disconnect", "5-connect", "6-options"};
  if (index < 0 || index > 6) return {};
  return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(names[index])));
}
