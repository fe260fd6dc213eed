#pragma once

#include <QColor>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QString>

#include "Chart.h"
#include "Gauge.h"
#include "History.h"
#include "MonitorTypes.h"

// Rows of monitored items: a caption, a needle gauge and a history chart, found again by
// object name at each poll.

inline constexpr int RowHeight = 128;
inline constexpr int ChartLeft = 104;
inline constexpr int ChartHeight = 113;
// The chart keeps this much room on its right inside the scroll box.
inline constexpr int ChartWidthReserve = 144;
inline constexpr int ChartFallbackWidth = 345;

// Colours of the series: incoming traffic, and outgoing traffic or storage use.
inline const QColor InColor{0, 128, 0};
inline const QColor OutColor{0, 0, 255};
// Captions of items in alert, and the lines that mark alerts on the charts.
inline const QColor AlertColor{192, 0, 0};
// The lines that mark where an alert cleared.
inline const QColor ClearedColor{0, 128, 0};

// A history's points as a chart whose right edge is zero (UTC milliseconds) draws them, x in
// minutes before it, each in the series' colour.
std::vector<TChartPoint> ChartPoints(const THistorySeries& series, int64_t zero,
                                     const QColor& color);

// Object-name prefixes of a kind: "Processor", "Interface" or "Storage".
QString KindName(TItemKind kind);
QString CaptionName(TItemKind kind, int index);
QString GaugeName(TItemKind kind, int index);
QString ChartName(TItemKind kind, int index);

// Series kind for a position of the "Graph Type" list.
TSeriesKind SeriesKindForType(int typeRow);

// A scroll box whose rows are placed at fixed positions; charts follow its width.
class TScrollBox : public QScrollArea {
  Q_OBJECT
 public:
  explicit TScrollBox(QWidget* parent = nullptr);
  // The widget that holds the rows' controls.
  QWidget* Rows() const { return widget(); }
  // Width available to rows, or 0 when the box has not been laid out yet.
  int RowsWidth() const;
  // Makes room for the given number of rows.
  void SetRowCount(int count);
  int RowCount() const { return FRowCount; }
  // Destroys every control of the rows, last first.
  void DestroyRows();
  // A line in place of the rows, saying why there are none (gone with DestroyRows).
  void ShowNoRows(const QString& text);
  // A control of the rows by its object name, or null; names are kept as controls are made.
  template <class T>
  T* Named(const QString& name) const {
    return qobject_cast<T*>(FNamed.value(name).data());
  }
  void KeepName(QWidget* control) { FNamed.insert(control->objectName(), control); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int FRowCount = 0;
  // Looking controls up by name must not cost a pass over thousands of them at every poll.
  QHash<QString, QPointer<QWidget>> FNamed;
};

struct TRowControls {
  QLabel* Caption = nullptr;
  TGauge* Gauge = nullptr;
  TChart* Chart = nullptr;
};

struct TChartSetup {
  TSeriesKind SeriesKind = TSeriesKind::Line;
  int GraphLength = 15;
};

// Text from an agent on one line: each line break (CR LF, CR, LF or a Unicode line or paragraph
// separator) becomes one space.
QString OneLine(const QString& text);

// A tooltip that shows text as it is, line breaks included, even where it looks like markup.
QString PlainToolTip(const QString& text);

// Shows an item's name in its caption as plain text on one line, and whole in the tooltip;
// the caption keeps at least its minimum width.
void SetCaptionText(QLabel* caption, const QString& text);
// Marks a caption as in alert (a warning sign before the name, in AlertColor), or no longer.
void SetCaptionAlert(QLabel* caption, bool alert);

// The base font, made smaller until text is at most width pixels wide, or down to half its
// size.
QFont FittingFont(const QFont& base, const QString& text, int width);

// Shows a value under the gauge whole: in a smaller font when its column is too narrow.
void SetValueText(QLabel* label, const QString& text);

// Creates the caption, gauge and chart of one row at the given top.
TRowControls CreateRow(TScrollBox* box, TItemKind kind, int index, int top, const QString& caption,
                       const TChartSetup& setup);

// A label under the gauge (value labels of interfaces and storage areas).
QLabel* CreateValueLabel(TScrollBox* box, const QString& name, int top, Qt::Alignment alignment,
                         const QColor& color = QColor());
