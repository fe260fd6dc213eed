#pragma once

#include <QDialog>
#include <QString>

#include "ConnectionSettings.h"
#include "SecretStore.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// The fewest octets (UTF-8) of a passphrase: RFC 3414 asks for 8, and net-snmp's agents and
// tools refuse anything shorter, so a shorter one cannot be right.
constexpr int kMinPassphraseOctets = 8;

bool PassphraseLongEnough(const QString& passphrase);

// Asks for the passphrases of one SNMPv3 identity. The privacy passphrase is enabled for
// authPriv only; OK stays disabled until every enabled passphrase is long enough. The fields
// are emptied when the dialog closes, after its closing signals, so a slot connected to
// accepted() can still take them.
class TPassphraseDialog : public QDialog {
  Q_OBJECT

 public:
  TPassphraseDialog(const TSnmpIdentity& identity, TSecurityLevel level, QWidget* parent = nullptr);

  // The passphrases as typed (nothing trimmed); the privacy one only at authPriv.
  TSnmpPassphrases Passphrases() const;
  // Whether "Remember in the keyring" is checked (and offered).
  bool Remember() const;
  // Without a keyring to store in, "Remember in the keyring" is not offered.
  void SetKeyringAvailable(bool available);
  // A line above the fields telling why the dialog asks; none when empty.
  void SetNote(const QString& note);

  void done(int result) override;

  QLabel* lblIdentity;
  QLabel* lblNote;
  QLabel* lblAuth;
  QLineEdit* edtAuth;
  QLabel* lblPriv;
  QLineEdit* edtPriv;
  QLabel* lblHint;
  QCheckBox* chkRemember;
  QDialogButtonBox* Buttons;

 private:
  void UpdateOk();

  TSecurityLevel FLevel;
};
