#include "Dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class TWidgetMessageBoxes : public TMessageBoxes {
 public:
  bool Confirm(QWidget* parent, const QString& text) override {
    return QMessageBox::question(parent, MessageBoxTitle(parent), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  }
  void Error(QWidget* parent, const QString& text) override {
    QMessageBox::critical(parent, MessageBoxTitle(parent), text);
  }
  void Information(QWidget* parent, const QString& text) override {
    QMessageBox::information(parent, MessageBoxTitle(parent), text);
  }
  void Plain(QWidget* parent, const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, MessageBoxTitle(parent), text, QMessageBox::Ok, parent);
    box.exec();
  }
};

TWidgetMessageBoxes WidgetBoxes;
TMessageBoxes* Installed = nullptr;

}  // namespace

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
