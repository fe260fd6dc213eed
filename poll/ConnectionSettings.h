#pragma once

#include <QString>

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
