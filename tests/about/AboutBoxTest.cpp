#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "AboutBox.h"

TEST(AboutBox, ShowsTheProgramVersionAndNamedControls) {
  TAboutBox2 box(nullptr, [] { return TSystemFacts{}; });
  EXPECT_EQ(box.lblVersion->text(), "Version 1.0.5.4");
  EXPECT_EQ(box.size(), QSize(286, 328));
  for (const char* name : {"Image1", "ProductName", "lblVersion", "Copyright", "Email"})
    EXPECT_NE(box.findChild<QLabel*>(name), nullptr) << name;
  EXPECT_EQ(box.findChild<QPlainTextEdit*>("Memo1"), box.Memo1);
  EXPECT_TRUE(box.findChild<QPushButton*>("OKButton")->isDefault());
}

TEST(AboutBox, EachBoxGathersItsOwnList) {
  int gathered = 0;
  const TFactsSource source = [&gathered] {
    TSystemFacts facts;
    facts.computerName = QStringLiteral("host%1").arg(++gathered);
    return facts;
  };
  auto first = std::make_unique<TAboutBox2>(nullptr, source);
  auto second = std::make_unique<TAboutBox2>(nullptr, source);
  EXPECT_EQ(gathered, 2);
  EXPECT_EQ(first->Memo1->toPlainText(),
            "Computer Name: host1\nComctl32.Dll: \nShell32.Dll: \nShlwapi.dll: \nKernel32.dll: ");
  EXPECT_TRUE(second->Memo1->toPlainText().startsWith("Computer Name: host2\n"));
}

TEST(AboutBox, ShowAboutBoxNamesTheProductAndDestroysTheBoxOnOk) {
  QPointer<TAboutBox2> shown;
  QString product;
  QTimer::singleShot(0, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<TAboutBox2*>(widget); box && box->isVisible()) {
        shown = box;
        product = box->ProductName->text();
        box->OKButton->click();
      }
    }
  });
  QWidget owner;
  EXPECT_EQ(ShowAboutBox(&owner, "Corvane"), QDialog::Accepted);
  EXPECT_EQ(product, "Corvane");
  EXPECT_TRUE(shown.isNull());
}
