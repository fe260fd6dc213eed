#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "AboutBox.h"
#include "CorvaneIcon.h"

namespace {

TSystemFacts FactsNamed(const QString& computer) {
  TSystemFacts facts;
  facts.computerName = computer;
  facts.processorCount = 2;
  return facts;
}

}  // namespace

TEST(AboutBox, ShowsTheProgramVersion) {
  TAboutBox2 box(nullptr, [] { return TSystemFacts{}; });
  EXPECT_EQ(box.lblVersion->text(), "Version 1.0.5.4");
  EXPECT_EQ(TAboutBox::FileVersionText("/proc/self/exe"), "1.0.5.4");
}

TEST(AboutBox, EachBoxGathersItsOwnList) {
  int gathered = 0;
  const TFactsSource source = [&gathered] {
    ++gathered;
    return FactsNamed(QStringLiteral("host%1").arg(gathered));
  };
  auto first = std::make_unique<TAboutBox2>(nullptr, source);
  auto second = std::make_unique<TAboutBox2>(nullptr, source);
  EXPECT_EQ(gathered, 2);
  EXPECT_NE(first->Memo1, second->Memo1);
  EXPECT_EQ(first->Memo1->toPlainText(),
            "# of Processors: 2\nComputer Name: host1\n"
            "Comctl32.Dll: \nShell32.Dll: \nShlwapi.dll: \n"
            "Kernel32.dll: ");
  EXPECT_TRUE(second->Memo1->toPlainText().contains("Computer Name: host2"));
  EXPECT_FALSE(second->Memo1->toPlainText().contains("host1"));
}

TEST(AboutBox, ListsTheGatheredFactsOfThisComputer) {
  TAboutBox2 box;
  const QString text = box.Memo1->toPlainText();
  EXPECT_TRUE(text.startsWith("Operating System: ")) << text.toStdString();
  EXPECT_TRUE(text.contains("Physical Memory: ")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nKernel32.dll: ")) << text.toStdString();
}

TEST(AboutBox, DerivedBoxOnlyChangesTheCopyright) {
  const auto none = [] { return TSystemFacts{}; };
  TAboutBox generic(nullptr, none);
  TAboutBox2 box(nullptr, none);
  EXPECT_NE(box.Copyright->text(), generic.Copyright->text());
  EXPECT_TRUE(box.Copyright->text().contains("Corvane"));
  EXPECT_EQ(box.Email->text(), generic.Email->text());
  EXPECT_EQ(box.lblVersion->text(), generic.lblVersion->text());
}

TEST(AboutBox, ControlsAreFoundByName) {
  TAboutBox2 box(nullptr, [] { return TSystemFacts{}; });
  EXPECT_EQ(box.windowTitle(), "About...");
  EXPECT_EQ(box.size(), QSize(286, 328));
  EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMinMaxButtonsHint);
  for (const char* name : {"Image1", "ProductName", "lblVersion", "Copyright", "Email"})
    EXPECT_NE(box.findChild<QLabel*>(name), nullptr) << name;
  auto* memo = box.findChild<QPlainTextEdit*>("Memo1");
  ASSERT_NE(memo, nullptr);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  auto* ok = box.findChild<QPushButton*>("OKButton");
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
}

TEST(AboutBox, OkClosesWithAccepted) {
  TAboutBox2 box(nullptr, [] { return TSystemFacts{}; });
  QTimer::singleShot(0, box.OKButton, &QPushButton::click);
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, ShowAboutBoxSetsTheProductNameAndDestroysTheBox) {
  QPointer<TAboutBox2> shown;
  QString product;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<TAboutBox2*>(w); box && box->isVisible()) {
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
  EXPECT_TRUE(owner.findChildren<TAboutBox*>().isEmpty());
}

TEST(CorvaneIcon, HasTheSmallSizes) {
  const QIcon icon = CorvaneIcon();
  EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
  const QImage image = CorvaneIconPixmap(32).toImage();
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);      // rounded corner stays clear
  EXPECT_EQ(qAlpha(image.pixel(16, 28)), 255);  // body is opaque
}
