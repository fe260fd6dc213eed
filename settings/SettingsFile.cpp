#include "SettingsFile.h"

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <optional>
#include <type_traits>

#include "FileEdit.h"
#include "OptionsDialog.h"

namespace {

const QString kSettings = QStringLiteral("Settings");

bool IsBlank(QChar c) {
  return c.unicode() <= 32;
}

bool NeedsQuotes(const QString& item) {
  for (const QChar c : item)
    if (IsBlank(c) || c == QLatin1Char('"') || c == QLatin1Char(',')) return true;
  return false;
}

QString BoolText(bool value) {
  return value ? QStringLiteral("true") : QStringLiteral("false");
}

std::optional<int> ToInt(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

// "true"/"false" in any letter case, or a number: zero is false, anything else true.
std::optional<bool> ToBool(const QString& text) {
  if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
  bool ok = false;
  const double number = text.toDouble(&ok);
  if (!ok || std::isnan(number)) return std::nullopt;
  return number != 0;
}

// The text of the first child element with the name, or nothing when there is none.
std::optional<QString> ElementText(const QDomElement& parent, const QString& name) {
  const QDomElement element = parent.firstChildElement(name);
  if (element.isNull()) return std::nullopt;
  return element.text();
}

bool ApplyList(const QDomElement& settings, const QString& name, QComboBox* box) {
  const std::optional<QString> text = ElementText(settings, name);
  if (!text) return false;
  if (!text->isEmpty()) {
    box->clear();
    box->addItems(FromCommaText(*text));
  }
  return true;
}

// A row outside the list counts as a value that does not convert.
bool ApplyRow(const QDomElement& settings, const QString& name, QComboBox* box) {
  const std::optional<QString> text = ElementText(settings, name);
  const std::optional<int> row = text ? ToInt(*text) : std::nullopt;
  if (!row || *row < 0 || *row >= box->count()) return false;
  box->setCurrentIndex(*row);
  return true;
}

bool ApplyCheck(const QDomElement& settings, const QString& name, QCheckBox* box) {
  const std::optional<QString> text = ElementText(settings, name);
  const std::optional<bool> checked = text ? ToBool(*text) : std::nullopt;
  if (!checked) return false;
  box->setChecked(*checked);
  return true;
}

bool ApplyPath(const QDomElement& settings, const QString& name, TFileEdit* edit) {
  const std::optional<QString> text = ElementText(settings, name);
  if (!text) return false;
  if (!text->isEmpty()) edit->setText(*text);
  return true;
}

// Chooses the row whose text the element holds; nothing happens when it holds none of them.
void ApplyItem(const QDomElement& settings, const QString& name, QComboBox* box) {
  const std::optional<QString> text = ElementText(settings, name);
  const int row = text ? box->findText(*text) : -1;
  if (row >= 0) box->setCurrentIndex(row);
}

// A whole number the box offers; nothing happens for any other text.
void ApplyNumber(const QDomElement& settings, const QString& name, QSpinBox* box) {
  const std::optional<QString> text = ElementText(settings, name);
  const std::optional<int> number = text ? ToInt(*text) : std::nullopt;
  if (number && *number >= box->minimum() && *number <= box->maximum()) box->setValue(*number);
}

void ApplyText(const QDomElement& settings, const QString& name, QLineEdit* edit) {
  if (const std::optional<QString> text = ElementText(settings, name)) edit->setText(*text);
}

// Takes the text only when the edit's own validator would accept it as typed.
void ApplyValidText(const QDomElement& settings, const QString& name, QLineEdit* edit) {
  std::optional<QString> text = ElementText(settings, name);
  if (text) *text = text->trimmed();
  int position = 0;
  if (text && edit->validator()->validate(*text, position) == QValidator::Acceptable)
    edit->setText(*text);
}

// The file is written in UTF-8. A declaration that names another encoding would have every
// later reading garble the non-ASCII text, so it is made to name UTF-8.
void DeclareUtf8(QDomDocument& document) {
  QDomProcessingInstruction declaration = document.firstChild().toProcessingInstruction();
  if (declaration.isNull() || declaration.target() != QLatin1String("xml")) return;
  static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*([\"'])([^\"']*)\\1"));
  const QRegularExpressionMatch match = encoding.match(declaration.data());
  if (!match.hasMatch() ||
      match.captured(2).compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0)
    return;
  QString data = declaration.data();
  data.replace(match.capturedStart(), match.capturedLength(), QStringLiteral("encoding='UTF-8'"));
  declaration.setData(data);
}

void ApplyLaterValues(const QDomElement& settings, TfrmOptions& options) {
  // Values added after the first twelve: each one missing or unknown gives its default
  // without stopping the reading of the others.
  options.SetConnectionSettings({});
  options.chkAppend->setChecked(false);
  options.edtMetrics->clear();
  options.spnHistoryDays->setValue(kDefaultHistoryDays);
  options.SetAlertRules({});
  options.chkTray->setChecked(false);
  ApplyItem(settings, QStringLiteral("Version"), options.cbxVersion);
  ApplyText(settings, QStringLiteral("SecurityName"), options.edtUser);
  ApplyItem(settings, QStringLiteral("SecurityLevel"), options.cbxSecurityLevel);
  ApplyItem(settings, QStringLiteral("AuthProtocol"), options.cbxAuth);
  ApplyItem(settings, QStringLiteral("PrivProtocol"), options.cbxPriv);
  ApplyCheck(settings, QStringLiteral("LogAppend"), options.chkAppend);
  ApplyText(settings, QStringLiteral("MetricsAddress"), options.edtMetrics);
  ApplyNumber(settings, QStringLiteral("HistoryDays"), options.spnHistoryDays);
  ApplyValidText(settings, QStringLiteral("AlertProcessor"), options.edtAlertProcessor);
  ApplyValidText(settings, QStringLiteral("AlertInterface"), options.edtAlertInterface);
  ApplyValidText(settings, QStringLiteral("AlertStorage"), options.edtAlertStorage);
  ApplyCheck(settings, QStringLiteral("AlertDown"), options.chkAlertDown);
  ApplyCheck(settings, QStringLiteral("AlertNoAnswer"), options.chkAlertNoAnswer);
  ApplyNumber(settings, QStringLiteral("AlertPolls"), options.spnAlertPolls);
  ApplyCheck(settings, QStringLiteral("Tray"), options.chkTray);
}

// One watched host, or nothing when it names no host, has an unknown version, level or protocol,
// or lacks what its version needs (a community; a user name). What is absent of the rest takes
// its default.
std::optional<TWatchedHost> ReadWatchedHost(const QDomElement& element) {
  TWatchedHost host;
  const std::optional<QString> name = ElementText(element, QStringLiteral("Name"));
  if (!name || name->isEmpty()) return std::nullopt;
  host.Host = *name;
  TConnectionSettings& connection = host.Connection;
  const auto choose = [&element](const char* tag, const QStringList& texts, auto& value) {
    const std::optional<QString> text = ElementText(element, QLatin1String(tag));
    if (!text) return true;
    const qsizetype index = texts.indexOf(*text);
    if (index < 0) return false;
    value = static_cast<std::remove_reference_t<decltype(value)>>(index);
    return true;
  };
  if (!choose("Version", VersionTexts(), connection.Version)) return std::nullopt;
  if (connection.Version != TSnmpVersion::V3) {
    const std::optional<QString> community = ElementText(element, QStringLiteral("Community"));
    if (!community) return std::nullopt;
    host.Community = community->toStdString();
    return host;
  }
  const std::optional<QString> user = ElementText(element, QStringLiteral("SecurityName"));
  if (!user || user->isEmpty()) return std::nullopt;
  connection.SecurityName = *user;
  if (!choose("SecurityLevel", SecurityLevelTexts(), connection.SecurityLevel) ||
      !choose("AuthProtocol", AuthProtocolTexts(), connection.AuthProtocol) ||
      !choose("PrivProtocol", PrivProtocolTexts(), connection.PrivProtocol))
    return std::nullopt;
  return host;
}

// The watched hosts in their order; a host named twice counts once.
std::vector<TWatchedHost> ReadWatch(const QDomElement& settings) {
  std::vector<TWatchedHost> hosts;
  const QDomElement watch = settings.firstChildElement(QStringLiteral("Watch"));
  for (QDomElement element = watch.firstChildElement(QStringLiteral("Host")); !element.isNull();
       element = element.nextSiblingElement(QStringLiteral("Host"))) {
    std::optional<TWatchedHost> host = ReadWatchedHost(element);
    if (host && std::none_of(hosts.begin(), hosts.end(), [&host](const TWatchedHost& other) {
          return other.Host == host->Host;
        }))
      hosts.push_back(std::move(*host));
  }
  return hosts;
}

// A child element holding value as its text; an empty value gives an empty element.
void AppendValue(QDomDocument& document, QDomElement& parent, const QString& name,
                 const QString& value) {
  QDomElement element = document.createElement(name);
  if (!value.isEmpty()) element.appendChild(document.createTextNode(value));
  parent.appendChild(element);
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

QString SettingsPathFor(const QString& executablePath) {
  const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = executablePath.lastIndexOf(QLatin1Char('.'));
  // A dot in a folder name or at the start of a hidden file's name is no extension.
  const bool hasExtension = dot > slash + 1;
  return (hasExtension ? executablePath.left(dot) : executablePath) + QStringLiteral(".XML");
}

bool IsDirWritable(const QString& dir) {
  if (::access(QFile::encodeName(dir).constData(), W_OK) != 0) return false;
  // Permission bits do not tell about read-only mounts; a real file does.
  QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".write-probe-XXXXXX")));
  return probe.open();
}

QString SettingsLocation(const QString& executablePath,
                         const std::function<bool(const QString&)>& dirWritable) {
  const QFileInfo beside(SettingsPathFor(executablePath));
  if (dirWritable(beside.absolutePath())) return beside.filePath();
  const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  if (config.isEmpty()) return beside.filePath();
  return QDir(config).filePath(beside.fileName());
}

QString ToCommaText(const QStringList& items) {
  if (items.size() == 1 && items.constFirst().isEmpty()) return QStringLiteral("\"\"");
  QStringList parts;
  for (const QString& item : items) {
    if (NeedsQuotes(item)) {
      QString quoted = item;
      quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
      parts << QLatin1Char('"') + quoted + QLatin1Char('"');
    } else {
      parts << item;
    }
  }
  return parts.join(QLatin1Char(','));
}

QStringList FromCommaText(const QString& text) {
  QStringList items;
  const qsizetype end = text.size();
  qsizetype p = 0;
  auto skipBlanks = [&] {
    while (p < end && IsBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < end) {
    QString item;
    if (text[p] == QLatin1Char('"')) {
      ++p;
      while (p < end) {
        if (text[p] == QLatin1Char('"')) {
          if (p + 1 < end && text[p + 1] == QLatin1Char('"')) {
            item += QLatin1Char('"');
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const qsizetype start = p;
      while (p < end && !IsBlank(text[p]) && text[p] != QLatin1Char(',')) ++p;
      item = text.mid(start, p - start);
    }
    items << item;
    skipBlanks();
    if (p < end && text[p] == QLatin1Char(',')) {
      if (p + 1 == end) items << QString();
      ++p;
      skipBlanks();
    }
  }
  return items;
}

bool SaveFileAtomically(const QString& path, const QByteArray& data, const TWriteData& write) {
  const bool existed = QFileInfo::exists(path);
  QSaveFile file(path);
  // The replacement takes the mode of an existing file; a new one is the owner's alone, since
  // the settings hold the communities, which are passwords. Set before any byte is in it.
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!existed && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
    file.cancelWriting();
    return false;
  }
  const qint64 written = write ? write(file, data) : file.write(data);
  if (written != data.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

TSettingsFile::TSettingsFile(QString executablePath, QString applicationTitle)
    : FExecutablePath(std::move(executablePath)), FApplicationTitle(std::move(applicationTitle)) {}

QString TSettingsFile::FilePath() const {
  return SettingsLocation(FExecutablePath, DirWritable);
}

bool TSettingsFile::CreateFile(const QString& path) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QDomDocument document;
  QDomElement root = document.createElement(FApplicationTitle);
  root.setAttribute(QStringLiteral("Path"), FExecutablePath);
  document.appendChild(root);
  return WriteFile(path, document.toByteArray(2));
}

bool TSettingsFile::Open(const QString& path) {
  if (!FOpenPath.isEmpty() && FOpenPath == path) return true;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QDomDocument document;
  if (!document.setContent(&file)) return false;
  XMLDocument1 = document;
  FOpenPath = path;
  return true;
}

void TSettingsFile::Load(const TSettingsControls& controls) noexcept {
  try {
    const QString path = FilePath();
    if (!QFileInfo::exists(path) && !CreateFile(path)) return;
    if (!Open(path)) return;
    // The first element is the root; a declaration or comments may stand before it.
    const QDomElement settings = XMLDocument1.documentElement().firstChildElement(kSettings);
    if (settings.isNull()) return;
    Apply(settings, controls);
    ApplyLaterValues(settings, *controls.Options);
    if (controls.Watch) *controls.Watch = ReadWatch(settings);
  } catch (...) {
    // Reading never reports; the controls keep what they hold.
  }
}

void TSettingsFile::Apply(const QDomElement& settings, const TSettingsControls& controls) const {
  TfrmOptions& options = *controls.Options;
  // Reading stops at the first missing or unconvertible value.
  (void)(ApplyList(settings, QStringLiteral("Community"), controls.Community) &&
         ApplyList(settings, QStringLiteral("Host"), controls.Host) &&
         ApplyRow(settings, QStringLiteral("Interval"), options.cbxInterval) &&
         ApplyRow(settings, QStringLiteral("Graph"), options.cbxGraph) &&
         ApplyRow(settings, QStringLiteral("Type"), options.cbxType) &&
         ApplyCheck(settings, QStringLiteral("AutoHeight"), options.chkAutoHeight) &&
         ApplyCheck(settings, QStringLiteral("Level"), options.chkLevel) &&
         ApplyCheck(settings, QStringLiteral("Log"), options.chkLog) &&
         ApplyCheck(settings, QStringLiteral("LogProcessor"), options.chkProcessor) &&
         ApplyCheck(settings, QStringLiteral("LogInterface"), options.chkInterface) &&
         ApplyCheck(settings, QStringLiteral("LogStorage"), options.chkStorage) &&
         ApplyPath(settings, QStringLiteral("LogPath"), options.feFile));
}

void TSettingsFile::Fill(QDomElement& settings, const TSettingsControls& controls) {
  const TfrmOptions& options = *controls.Options;
  auto add = [&](const QString& name, const QString& value) {
    AppendValue(XMLDocument1, settings, name, value);
  };
  add(QStringLiteral("Community"), ToCommaText(Items(controls.Community)));
  add(QStringLiteral("Host"), ToCommaText(Items(controls.Host)));
  add(QStringLiteral("Interval"), QString::number(options.cbxInterval->currentIndex()));
  add(QStringLiteral("Graph"), QString::number(options.cbxGraph->currentIndex()));
  add(QStringLiteral("Type"), QString::number(options.cbxType->currentIndex()));
  add(QStringLiteral("Log"), BoolText(options.chkLog->isChecked()));
  add(QStringLiteral("LogProcessor"), BoolText(options.chkProcessor->isChecked()));
  add(QStringLiteral("LogInterface"), BoolText(options.chkInterface->isChecked()));
  add(QStringLiteral("LogStorage"), BoolText(options.chkStorage->isChecked()));
  add(QStringLiteral("LogPath"), options.feFile->text());
  add(QStringLiteral("AutoHeight"), BoolText(options.chkAutoHeight->isChecked()));
  add(QStringLiteral("Level"), BoolText(options.chkLevel->isChecked()));
  add(QStringLiteral("Version"), options.cbxVersion->currentText());
  add(QStringLiteral("SecurityName"), options.edtUser->text());
  add(QStringLiteral("SecurityLevel"), options.cbxSecurityLevel->currentText());
  add(QStringLiteral("AuthProtocol"), options.cbxAuth->currentText());
  add(QStringLiteral("PrivProtocol"), options.cbxPriv->currentText());
  add(QStringLiteral("LogAppend"), BoolText(options.chkAppend->isChecked()));
  add(QStringLiteral("MetricsAddress"), options.edtMetrics->text());
  add(QStringLiteral("HistoryDays"), QString::number(options.spnHistoryDays->value()));
  add(QStringLiteral("AlertProcessor"), options.edtAlertProcessor->text());
  add(QStringLiteral("AlertInterface"), options.edtAlertInterface->text());
  add(QStringLiteral("AlertStorage"), options.edtAlertStorage->text());
  add(QStringLiteral("AlertDown"), BoolText(options.chkAlertDown->isChecked()));
  add(QStringLiteral("AlertNoAnswer"), BoolText(options.chkAlertNoAnswer->isChecked()));
  add(QStringLiteral("AlertPolls"), QString::number(options.spnAlertPolls->value()));
  add(QStringLiteral("Tray"), BoolText(options.chkTray->isChecked()));
  if (controls.Watch) FillWatch(settings, *controls.Watch);
}

void TSettingsFile::FillWatch(QDomElement& settings, const std::vector<TWatchedHost>& hosts) {
  QDomElement watch = XMLDocument1.createElement(QStringLiteral("Watch"));
  for (const TWatchedHost& host : hosts) {
    QDomElement element = XMLDocument1.createElement(QStringLiteral("Host"));
    const auto add = [&](const QString& name, const QString& value) {
      AppendValue(XMLDocument1, element, name, value);
    };
    const TConnectionSettings& connection = host.Connection;
    const bool v3 = connection.Version == TSnmpVersion::V3;
    add(QStringLiteral("Name"), host.Host);
    if (!v3) add(QStringLiteral("Community"), QString::fromStdString(host.Community));
    add(QStringLiteral("Version"), VersionTexts().value(static_cast<int>(connection.Version)));
    if (v3) {
      add(QStringLiteral("SecurityName"), connection.SecurityName);
      add(QStringLiteral("SecurityLevel"),
          SecurityLevelTexts().value(static_cast<int>(connection.SecurityLevel)));
      add(QStringLiteral("AuthProtocol"),
          AuthProtocolTexts().value(static_cast<int>(connection.AuthProtocol)));
      add(QStringLiteral("PrivProtocol"),
          PrivProtocolTexts().value(static_cast<int>(connection.PrivProtocol)));
    }
    watch.appendChild(element);
  }
  settings.appendChild(watch);
}

void TSettingsFile::Save(const TSettingsControls& controls) noexcept {
  try {
    const QString path = FilePath();
    if (!QFileInfo::exists(path) || !Open(path)) return;
    QDomElement root = XMLDocument1.documentElement();
    if (root.isNull()) return;
    const QDomElement old = root.firstChildElement(kSettings);
    if (!old.isNull()) root.removeChild(old);
    QDomElement settings = XMLDocument1.createElement(kSettings);
    root.appendChild(settings);
    Fill(settings, controls);
    DeclareUtf8(XMLDocument1);

    const QByteArray bytes = XMLDocument1.toByteArray(2);
    // Text the parser would reject (control characters) must not replace a readable file.
    if (QDomDocument check; !check.setContent(bytes)) return;
    WriteFile(path, bytes);
  } catch (...) {
    // Writing never reports; the old file stays.
  }
}
