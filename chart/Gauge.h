#pragma once

#include <QWidget>

// A needle dial: a half-circle scale from MinValue to MaxValue with one needle.
// Positions outside the range are held at the nearest bound.
class TGauge : public QWidget {
  Q_OBJECT
 public:
  explicit TGauge(QWidget* parent = nullptr);

  int MinValue() const { return FMinValue; }
  int MaxValue() const { return FMaxValue; }
  void SetRange(int minValue, int maxValue);
  int Position() const { return FPosition; }
  void SetPosition(int value);
  bool BorderVisible = false;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int FMinValue = 0;
  int FMaxValue = 100;
  int FPosition = 0;
};
