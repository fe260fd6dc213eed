#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

// Every message box of the program goes through this interface, so tests can answer in advance.
class TMessageBoxes {
 public:
  virtual ~TMessageBoxes() = default;
  // A question with Yes and No; true for Yes.
  virtual bool Confirm(QWidget* parent, const QString& text) = 0;
  // An error with an OK button.
  virtual void Error(QWidget* parent, const QString& text) = 0;
  // An information box with an OK button.
  virtual void Information(QWidget* parent, const QString& text) = 0;
  // A plain message with an OK button.
  virtual void Plain(QWidget* parent, const QString& text) = 0;
};

// The caption of a box over parent: the title of the topmost window above it, which the main
// window keeps as the application title; the application name without a parent or title.
QString MessageBoxTitle(const QWidget* parent);

// The box the real message boxes show: text as it is, never taken for markup.
std::unique_ptr<QMessageBox> NewMessageBox(
    QMessageBox::Icon icon, QWidget* parent, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The boxes in use: the real ones unless a test installed others.
TMessageBoxes& MessageBoxes();
// Installs other boxes (not owned); nullptr restores the real ones.
void SetMessageBoxes(TMessageBoxes* boxes);
