// Prints where the settings file of this executable goes.
#include <QCoreApplication>
#include <cstdio>

#include "SettingsFile.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  std::puts(qPrintable(SettingsLocation(QCoreApplication::applicationFilePath())));
  return 0;
}
