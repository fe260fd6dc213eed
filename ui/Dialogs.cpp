#include "Dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace {

bool ShowModal(const std::unique_ptr<QMessageBox>& box) {
  return box->exec() == QMessageBox::Yes;
}

class TWidgetMessageBoxes : public TMessageBoxes {
 public:
  bool Confirm(QWidget* parent, const QString& text) override {
    return ShowModal(NewMessageBox(QMessageBox::Question, parent, text,
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No));
  }
  void Error(QWidget* parent, const QString& text) override {
    ShowModal(NewMessageBox(QMessageBox::Critical, parent, text));
  }
  void Information(QWidget* parent, const QString& text) override {
    ShowModal(NewMessageBox(QMessageBox::Information, parent, text));
  }
  void Plain(QWidget* parent, const QString& text) override {
    ShowModal(NewMessageBox(QMessageBox::NoIcon, parent, text));
  }
};

TWidgetMessageBoxes WidgetBoxes;
TMessageBoxes* Installed = nullptr;

}  // namespace

std::unique_ptr<QMessageBox> NewMessageBox(QMessageBox::Icon icon, QWidget* parent,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) {
  auto box = std::make_unique<QMessageBox>(icon, MessageBoxTitle(parent), text, buttons, parent);
  // Messages quote agents' strings and file names, which must not be taken for markup.
  box->setTextFormat(Qt::PlainText);
  if (defaultButton != QMessageBox::NoButton) box->setDefaultButton(defaultButton);
  return box;
}

QString MessageBoxTitle(const QWidget* parent) {
  if (!parent) return QApplication::applicationName();
  while (parent->parentWidget()) parent = parent->parentWidget();
  const QString title = parent->windowTitle();
  return title.isEmpty() ? QApplication::applicationName() : title;
}

TMessageBoxes& MessageBoxes() {
  return Installed ? *Installed : WidgetBoxes;
}

void SetMessageBoxes(TMessageBoxes* boxes) {
  Installed = boxes;
}
