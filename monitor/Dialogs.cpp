#include "Dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class TWidgetMessageBoxes : public TMessageBoxes {
 public:
  bool Confirm(QWidget* parent, const QString& text) override {
    return QMessageBox::question(parent, Title(), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  }
  void Error(QWidget* parent, const QString& text) override {
    QMessageBox::critical(parent, Title(), text);
  }
  void Information(QWidget* parent, const QString& text) override {
    QMessageBox::information(parent, Title(), text);
  }
  void Plain(QWidget* parent, const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, parent);
    box.exec();
  }

 private:
  static QString Title() { return QApplication::applicationName(); }
};

TWidgetMessageBoxes WidgetBoxes;
TMessageBoxes* Installed = nullptr;

}  // namespace

TMessageBoxes& MessageBoxes() {
  return Installed ? *Installed : WidgetBoxes;
}

void SetMessageBoxes(TMessageBoxes* boxes) {
  Installed = boxes;
}
