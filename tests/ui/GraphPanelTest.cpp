#include <gtest/gtest.h>

#include "Dialogs.h"
#include "GraphPanel.h"

TEST(ValueLabel, RatesOfTenGigabitsAndMoreShowWholeAndShortOnesKeepTheFont) {
  TScrollBox box;
  QLabel* label = CreateValueLabel(&box, "lblInterfaceIn1", 0, Qt::AlignLeft);
  const QFont rows = box.Rows()->font();
  // 10, 100 and 400 Gbit/s in K, as the interface row shows them.
  for (const char* text : {"Out: 9,765,625.00 K", "In: 97,656,250.00 K", "Out: 390,625,000.00 K"}) {
    SetValueText(label, text);
    EXPECT_EQ(label->text(), text);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
        << text;
  }
  SetValueText(label, "In: 0.05 K");
  EXPECT_EQ(label->font(), rows);
}

TEST(MessageBox, QuotedAgentTextIsNotTakenForMarkup) {
  const QString text = "<font color=red>soon</font> is not a valid integer value";
  const auto box = NewMessageBox(QMessageBox::Critical, nullptr, text);
  const auto* shown = box->findChild<QLabel*>("qt_msgbox_label");
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->textFormat(), Qt::PlainText);
  EXPECT_EQ(shown->text(), text);
}
