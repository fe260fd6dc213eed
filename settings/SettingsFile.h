#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "WatchList.h"

class QComboBox;
class QIODevice;
class TfrmOptions;

// The controls that hold the settings: the two history lists and the options dialog; and the
// watched hosts, when given.
struct TSettingsControls {
  QComboBox* Community;
  QComboBox* Host;
  TfrmOptions* Options;
  std::vector<TWatchedHost>* Watch = nullptr;
};

// The executable's path with its extension replaced by ".XML", or ".XML" appended when the
// file name has none.
QString SettingsPathFor(const QString& executablePath);

// Whether new files can be created in the folder (access check plus a real probe file).
bool IsDirWritable(const QString& dir);

// The settings file: beside the executable, or, when that folder takes no new files, the same
// file name in the user's application configuration folder.
QString SettingsLocation(const QString& executablePath,
                         const std::function<bool(const QString&)>& dirWritable = IsDirWritable);

// A list as comma text: items joined by ',', items with blanks, control characters, quotes or
// commas inside double quotes (quotes doubled); a lone empty item as "".
QString ToCommaText(const QStringList& items);
// Reads comma text back; unquoted items also end at blanks.
QStringList FromCommaText(const QString& text);

// How bytes are put into an open file; returns the count written or -1.
using TWriteData = std::function<qint64(QIODevice&, const QByteArray&)>;

// Replaces the file's content by data through a temporary file and an atomic rename, so a
// failure leaves the old file as it was. An existing file keeps its mode; a new one is made
// readable and writable by its owner only. Returns false on any failure.
bool SaveFileAtomically(const QString& path, const QByteArray& data,
                        const TWriteData& write = nullptr);

// Reads the settings file into the controls and writes them back. Failures are silent: reading
// of the first twelve values stops at the first bad one, keeping what was applied, while a
// bad later value only gives its default; writing leaves the old file.
class TSettingsFile {
 public:
  explicit TSettingsFile(QString executablePath,
                         QString applicationTitle = QStringLiteral("Corvane"));

  QString FilePath() const;
  // Creates the file when missing, then applies its values to the controls.
  void Load(const TSettingsControls& controls) noexcept;
  // Replaces the "Settings" element by the controls' state; does nothing without a file.
  void Save(const TSettingsControls& controls) noexcept;

  // The document read at start-up, kept open for the save at exit.
  QDomDocument XMLDocument1;

  // Seams: which folders take new files, and how the file's bytes are stored.
  std::function<bool(const QString&)> DirWritable = IsDirWritable;
  std::function<bool(const QString&, const QByteArray&)> WriteFile =
      [](const QString& path, const QByteArray& data) { return SaveFileAtomically(path, data); };

 private:
  bool CreateFile(const QString& path);
  bool Open(const QString& path);
  void Apply(const QDomElement& settings, const TSettingsControls& controls) const;
  void Fill(QDomElement& settings, const TSettingsControls& controls);
  void FillWatch(QDomElement& settings, const std::vector<TWatchedHost>& hosts);

  QString FExecutablePath;
  QString FApplicationTitle;
  QString FOpenPath;  // the file XMLDocument1 was read from; empty while none is open
};
