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
  // Sets the scale (bounds given the wrong way round are swapped) and holds the position in it.
  void SetRange(int minValue, int maxValue);
  int Position() const { return FPosition; }
  // Moves the needle to value held within the range; repaints only when the needle moves.
  void SetPosition(int value);
  // No value to show: the needle is hidden until the next SetPosition.
  void ClearPosition();
  bool HasPosition() const { return FHasPosition; }
  bool BorderVisible = false;

  QSize sizeHint() const override;

  // The needle's direction in degrees, counter-clockwise from pointing right: 180 at minValue,
  // 90 (straight up) half-way, 0 at maxValue; positions outside the range point at its ends.
  static double NeedleAngle(int position, int minValue, int maxValue);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int FMinValue = 0;
  int FMaxValue = 100;
  int FPosition = 0;
  bool FHasPosition = true;
};
