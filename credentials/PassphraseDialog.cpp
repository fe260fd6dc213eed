#include "PassphraseDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QLineEdit* NewPassphraseEdit(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit(parent), name);
  edit->setEchoMode(QLineEdit::Password);
  edit->setMinimumWidth(220);
  return edit;
}

}  // namespace

bool PassphraseLongEnough(const QString& passphrase) {
  return passphrase.toUtf8().size() >= kMinPassphraseOctets;
}

TPassphraseDialog::TPassphraseDialog(const TSnmpIdentity& identity, TSecurityLevel level,
                                     QWidget* parent)
    : QDialog(parent), FLevel(level) {
  setObjectName(QStringLiteral("frmPassphrases"));
  setWindowTitle(QStringLiteral("SNMPv3 passphrases"));
  setModal(true);

  // Names come from the user: plain text, so markup in them is shown, not rendered.
  lblIdentity = Named(
      new QLabel(
          QStringLiteral("Passphrases of user \"%1\" at %2").arg(identity.User, identity.Host),
          this),
      "lblIdentity");
  lblIdentity->setTextFormat(Qt::PlainText);
  lblNote = Named(new QLabel(this), "lblNote");
  lblNote->setTextFormat(Qt::PlainText);
  lblNote->setWordWrap(true);
  lblNote->hide();
  edtAuth = NewPassphraseEdit(this, "edtAuth");
  lblAuth = Named(new QLabel(QStringLiteral("Authentication passphrase"), this), "lblAuth");
  lblAuth->setBuddy(edtAuth);
  edtPriv = NewPassphraseEdit(this, "edtPriv");
  lblPriv = Named(new QLabel(QStringLiteral("Privacy passphrase"), this), "lblPriv");
  lblPriv->setBuddy(edtPriv);
  lblHint = Named(
      new QLabel(
          QStringLiteral("Each passphrase needs at least %1 characters.").arg(kMinPassphraseOctets),
          this),
      "lblHint");
  chkRemember =
      Named(new QCheckBox(QStringLiteral("Remember in the keyring"), this), "chkRemember");
  Buttons =
      Named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this), "Buttons");
  QPushButton* ok = Buttons->button(QDialogButtonBox::Ok);
  ok->setDefault(true);
  Buttons->button(QDialogButtonBox::Cancel)->setAutoDefault(false);

  auto* fields = new QFormLayout;
  fields->addRow(lblAuth, edtAuth);
  fields->addRow(lblPriv, edtPriv);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(lblIdentity);
  layout->addWidget(lblNote);
  layout->addLayout(fields);
  layout->addWidget(lblHint);
  layout->addWidget(chkRemember);
  layout->addWidget(Buttons);

  const bool needsAuth = level != TSecurityLevel::NoAuthNoPriv;
  edtAuth->setEnabled(needsAuth);
  lblAuth->setEnabled(needsAuth);
  edtPriv->setEnabled(level == TSecurityLevel::AuthPriv);
  lblPriv->setEnabled(level == TSecurityLevel::AuthPriv);
  lblHint->setVisible(needsAuth);
  setTabOrder(edtAuth, edtPriv);
  setTabOrder(edtPriv, chkRemember);
  setTabOrder(chkRemember, ok);
  setTabOrder(ok, Buttons->button(QDialogButtonBox::Cancel));
  if (needsAuth) edtAuth->setFocus();

  connect(edtAuth, &QLineEdit::textChanged, this, &TPassphraseDialog::UpdateOk);
  connect(edtPriv, &QLineEdit::textChanged, this, &TPassphraseDialog::UpdateOk);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  UpdateOk();
}

TSnmpPassphrases TPassphraseDialog::Passphrases() const {
  TSnmpPassphrases passphrases;
  if (FLevel != TSecurityLevel::NoAuthNoPriv) passphrases.Authentication = edtAuth->text();
  if (FLevel == TSecurityLevel::AuthPriv) passphrases.Privacy = edtPriv->text();
  return passphrases;
}

bool TPassphraseDialog::Remember() const {
  return !chkRemember->isHidden() && chkRemember->isChecked();
}

void TPassphraseDialog::SetKeyringAvailable(bool available) {
  chkRemember->setHidden(!available);
  if (!available) chkRemember->setChecked(false);
}

void TPassphraseDialog::SetNote(const QString& note) {
  lblNote->setText(note);
  lblNote->setHidden(note.isEmpty());
}

void TPassphraseDialog::done(int result) {
  QDialog::done(result);
  // setText, unlike clear(), also drops the undo history that holds what was typed.
  edtAuth->setText(QString());
  edtPriv->setText(QString());
}

void TPassphraseDialog::UpdateOk() {
  const TSnmpPassphrases typed = Passphrases();
  const bool ready =
      (FLevel == TSecurityLevel::NoAuthNoPriv || PassphraseLongEnough(typed.Authentication)) &&
      (FLevel != TSecurityLevel::AuthPriv || PassphraseLongEnough(typed.Privacy));
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(ready);
}
