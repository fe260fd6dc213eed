#pragma once

#include <QString>
#include <QStringList>

// The SNMP versions, security levels and protocols, in the order the options list them.
enum class TSnmpVersion { V1, V2c, V3 };
enum class TSecurityLevel { NoAuthNoPriv, AuthNoPriv, AuthPriv };
enum class TAuthProtocol { Md5, Sha, Sha224, Sha256, Sha384, Sha512 };
enum class TPrivProtocol { Aes };

// How a connection talks to its agent. The user name, level and protocols serve version 3
// only. Passphrases are no options and never part of this.
struct TConnectionSettings {
  TSnmpVersion Version = TSnmpVersion::V1;
  QString SecurityName;
  TSecurityLevel SecurityLevel = TSecurityLevel::AuthPriv;
  TAuthProtocol AuthProtocol = TAuthProtocol::Sha256;
  TPrivProtocol PrivProtocol = TPrivProtocol::Aes;

  bool operator==(const TConnectionSettings&) const = default;
};

// The names the options list and the settings file give the versions, security levels and
// protocols, in the order of their enums.
inline const QStringList& VersionTexts() {
  static const QStringList texts{QStringLiteral("1"), QStringLiteral("2c"), QStringLiteral("3")};
  return texts;
}
inline const QStringList& SecurityLevelTexts() {
  static const QStringList texts{QStringLiteral("noAuthNoPriv"), QStringLiteral("authNoPriv"),
                                 QStringLiteral("authPriv")};
  return texts;
}
inline const QStringList& AuthProtocolTexts() {
  static const QStringList texts{QStringLiteral("MD5"),     QStringLiteral("SHA"),
                                 QStringLiteral("SHA-224"), QStringLiteral("SHA-256"),
                                 QStringLiteral("SHA-384"), QStringLiteral("SHA-512")};
  return texts;
}
inline const QStringList& PrivProtocolTexts() {
  static const QStringList texts{QStringLiteral("AES")};
  return texts;
}
