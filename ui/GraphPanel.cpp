#include "GraphPanel.h"

#include <QEvent>
#include <QPalette>
#include <QRegularExpression>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "Computations.h"

std::vector<TChartPoint> ChartPoints(const THistorySeries& series, int64_t zero,
                                     const QColor& color) {
  std::vector<TChartPoint> points;
  points.reserve(series.Points.size());
  for (const THistoryPoint& point : series.Points)
    points.push_back({MinutesBefore(zero, point.Time), point.Y, color});
  return points;
}

QString KindName(TItemKind kind) {
  switch (kind) {
    case TItemKind::Processor:
      return QStringLiteral("Processor");
    case TItemKind::Interface:
      return QStringLiteral("Interface");
    case TItemKind::Storage:
      return QStringLiteral("Storage");
  }
  return {};
}

QString CaptionName(TItemKind kind, int index) {
  return QStringLiteral("lbl") + KindName(kind) + QString::number(index);
}

QString GaugeName(TItemKind kind, int index) {
  return KindName(kind) + QStringLiteral("Gauge") + QString::number(index);
}

QString ChartName(TItemKind kind, int index) {
  return KindName(kind) + QStringLiteral("Chart") + QString::number(index);
}

TSeriesKind SeriesKindForType(int typeRow) {
  switch (typeRow) {
    case 1:
      return TSeriesKind::Bar;
    case 2:
      return TSeriesKind::Area;
    case 3:
      return TSeriesKind::Point;
    default:
      return TSeriesKind::Line;
  }
}

TScrollBox::TScrollBox(QWidget* parent) : QScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  auto* rows = new QWidget;
  rows->setObjectName(QStringLiteral("Rows"));
  // Value texts such as "Avail: 24,105.2 Mb" must fit the 100-pixel column under the gauge.
  QFont narrow = rows->font();
  narrow.setStretch(QFont::SemiCondensed);
  rows->setFont(narrow);
  setWidget(rows);
  rows->installEventFilter(this);
}

int TScrollBox::RowsWidth() const {
  const int width = viewport()->width();
  return width > ChartWidthReserve && testAttribute(Qt::WA_WState_Created) ? width : 0;
}

void TScrollBox::SetRowCount(int count) {
  FRowCount = count;
  // The last row's chart reaches below the row pitch; leave room for all of it.
  Rows()->setMinimumHeight(count > 0 ? (count - 1) * RowHeight + 24 + ChartHeight + 8 : 0);
}

void TScrollBox::DestroyRows() {
  FNamed.clear();
  const QObjectList children = Rows()->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if ((*it)->isWidgetType()) delete *it;
  }
  SetRowCount(0);
}

void TScrollBox::ShowNoRows(const QString& text) {
  auto* label = new QLabel(text, Rows());
  label->setObjectName(QStringLiteral("lblNoRows"));
  label->setWordWrap(true);
  label->setGeometry(8, 8, std::max(RowsWidth() - 16, 300), label->sizeHint().height() * 2);
  KeepName(label);
  label->show();
}

bool TScrollBox::eventFilter(QObject* watched, QEvent* event) {
  // Charts are anchored left, top and right: they widen and narrow with the box.
  if (watched == Rows() && event->type() == QEvent::Resize) {
    const int width = Rows()->width() - ChartWidthReserve;
    if (width > 0) {
      for (TChart* chart : Rows()->findChildren<TChart*>(Qt::FindDirectChildrenOnly)) {
        chart->resize(width, chart->height());
      }
    }
  }
  return QScrollArea::eventFilter(watched, event);
}

QString OneLine(const QString& text) {
  static const QRegularExpression lineBreak(
      QStringLiteral("\\r\\n|[\\n\\v\\f\\r\\x{85}\\x{2028}\\x{2029}]"));
  QString line = text;
  return line.replace(lineBreak, QStringLiteral(" "));
}

QString PlainToolTip(const QString& text) {
  QString lines = text;
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'));
  // Qt takes a tooltip for markup when it looks like some; as markup made from the plain text it
  // shows that text exactly.
  return Qt::convertFromPlainText(lines, Qt::WhiteSpaceNormal);
}

namespace {

// What a caption keeps beside its label: the item's whole name, and whether it is in alert.
constexpr const char* kCaptionText = "captionText";
constexpr const char* kCaptionAlert = "captionAlert";

void ShowCaption(QLabel* caption) {
  const QString text = caption->property(kCaptionText).toString();
  const bool alert = caption->property(kCaptionAlert).toBool();
  caption->setTextFormat(Qt::PlainText);
  caption->setText((alert ? QStringLiteral("\u26a0 ") : QString()) + OneLine(text));
  caption->setToolTip(text.isEmpty() ? QString() : PlainToolTip(text));
  // Only the text's colour is set, so that the rest follows the window's palette.
  QPalette palette;
  if (alert) palette.setColor(QPalette::WindowText, AlertColor);
  caption->setPalette(palette);
  caption->adjustSize();
}

}  // namespace

void SetCaptionText(QLabel* caption, const QString& text) {
  caption->setProperty(kCaptionText, text);
  ShowCaption(caption);
}

void SetCaptionAlert(QLabel* caption, bool alert) {
  if (caption->property(kCaptionAlert).toBool() == alert) return;
  caption->setProperty(kCaptionAlert, alert);
  ShowCaption(caption);
}

QFont FittingFont(const QFont& base, const QString& text, int width) {
  QFont font = base;
  const bool points = base.pointSizeF() > 0;
  const double size = points ? base.pointSizeF() : base.pixelSize();
  // Tenths of the size at a time: glyphs are hinted, so widths do not shrink in proportion.
  for (int tenths = 9; tenths >= 5 && QFontMetrics(font).horizontalAdvance(text) > width;
       --tenths) {
    if (points)
      font.setPointSizeF(size * tenths / 10);
    else
      font.setPixelSize(std::max(1, static_cast<int>(size * tenths / 10)));
  }
  return font;
}

void SetValueText(QLabel* label, const QString& text) {
  // Sized from the rows' font each time, so a label grows back once its text is short again.
  const QFont base = label->parentWidget() ? label->parentWidget()->font() : label->font();
  const QFont font = FittingFont(base, text, label->contentsRect().width());
  if (font != label->font()) label->setFont(font);
  label->setText(text);
}

namespace {

void SetupAxes(TChart* chart, TItemKind kind, const TChartSetup& setup) {
  chart->MaxPointsPerPage = setup.GraphLength;
  TChartAxis& bottom = chart->BottomAxis;
  bottom.Minimum = 0;
  bottom.Maximum = setup.GraphLength;
  bottom.Increment = 5;
  bottom.MinorTickCount = 4;
  bottom.MinorTickLength = 3;
  bottom.LabelsBetweenTicks = true;
  bottom.Title = QStringLiteral("Minutes");
  bottom.Inverted = true;

  // Tooltips tell values as the labels do: whole percent, Kbit/s to two decimals, Mb to one.
  TChartAxis& left = chart->LeftAxis;
  left.MinorTickCount = 4;
  left.MinorTickLength = 3;
  left.TickLength = 5;
  switch (kind) {
    case TItemKind::Processor:
      left.Minimum = -1;
      left.Maximum = 100;
      left.Increment = 25;
      left.Title = QStringLiteral("% Load");
      chart->ValueDecimals = 0;
      chart->AddSeries(setup.SeriesKind, Qt::red);
      break;
    case TItemKind::Interface:
      left.Minimum = 0;
      left.Maximum = 1;
      left.Increment = 0;
      left.RoundFirstLabel = false;
      left.Title = QStringLiteral("Kbits per sec");
      chart->ValueDecimals = 2;
      chart->AddSeries(setup.SeriesKind, InColor);
      chart->AddSeries(setup.SeriesKind, OutColor);
      break;
    case TItemKind::Storage:
      left.Minimum = 0;
      left.Increment = 0;
      left.RoundFirstLabel = false;
      left.Title = QStringLiteral("Mb");
      chart->ValueDecimals = 1;
      chart->AddSeries(setup.SeriesKind, OutColor);
      break;
  }
  for (TChartSeries& series : chart->Series) series.MarksVisible = false;
}

}  // namespace

TRowControls CreateRow(TScrollBox* box, TItemKind kind, int index, int top, const QString& caption,
                       const TChartSetup& setup) {
  QWidget* rows = box->Rows();
  TRowControls row;

  row.Caption = new QLabel(rows);
  row.Caption->setObjectName(CaptionName(kind, index));
  row.Caption->move(4, top + 8);
  row.Caption->setMinimumWidth(kind == TItemKind::Storage ? 75 : 100);
  SetCaptionText(row.Caption, caption);

  row.Gauge = new TGauge(rows);
  row.Gauge->setObjectName(GaugeName(kind, index));
  row.Gauge->setGeometry(0, top + 24, 100, 60);
  row.Gauge->SetRange(0, 100);
  row.Gauge->BorderVisible = false;

  row.Chart = new TChart(rows);
  row.Chart->setObjectName(ChartName(kind, index));
  const int boxWidth = box->RowsWidth();
  const int width = boxWidth > 0 ? boxWidth - ChartWidthReserve : ChartFallbackWidth;
  row.Chart->setGeometry(ChartLeft, top + 24, width, ChartHeight);
  // Its menu offers the long views; the window shows it.
  row.Chart->setContextMenuPolicy(Qt::CustomContextMenu);
  SetupAxes(row.Chart, kind, setup);

  for (QWidget* control : {static_cast<QWidget*>(row.Caption), static_cast<QWidget*>(row.Gauge),
                           static_cast<QWidget*>(row.Chart)}) {
    box->KeepName(control);
    control->show();
  }
  return row;
}

QLabel* CreateValueLabel(TScrollBox* box, const QString& name, int top, Qt::Alignment alignment,
                         const QColor& color) {
  auto* label = new QLabel(box->Rows());
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment | Qt::AlignVCenter);
  label->setGeometry(4, top, 100, label->fontMetrics().height());
  if (color.isValid()) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
  }
  box->KeepName(label);
  label->show();
  return label;
}
