#pragma once

#include <QDialog>
#include <functional>

#include "SystemInfo.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Source of the facts listed in the box; GatherSystemFacts unless a test gives another.
using TFactsSource = std::function<TSystemFacts()>;

// The generic About box: fixed layout, version label and the system information list,
// filled once when the box is created.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr, const TFactsSource& facts = GatherSystemFacts);

  // Version of the file at `path` as text, or empty text when it carries none.
  static QString FileVersionText(const QString& path);

  QFrame* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* lblVersion = nullptr;
  QFrame* Bevel1 = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Email = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* OKButton = nullptr;
};

// Corvane's About box: the generic box with the program's copyright line.
class TAboutBox2 : public TAboutBox {
  Q_OBJECT

 public:
  explicit TAboutBox2(QWidget* parent = nullptr, const TFactsSource& facts = GatherSystemFacts);
};

// Shows a fresh About box for `productName` modally over `owner` and destroys it afterwards,
// also when showing it throws; returns the dialog's result.
int ShowAboutBox(QWidget* owner, const QString& productName);
