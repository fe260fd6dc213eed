// Cost of the monitor's rows: building a caption, a gauge and a history chart per item, and
// painting one chart. Run with QT_QPA_PLATFORM=offscreen (set here when absent).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "Chart.h"
#include "Gauge.h"

namespace {

constexpr int kRowHeight = 128;
constexpr int kChartWidth = 400;

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

void SetUpChart(TChart& chart) {
  chart.MaxPointsPerPage = 15;
  chart.BottomAxis.Minimum = 0;
  chart.BottomAxis.Maximum = 15;
  chart.BottomAxis.Increment = 5;
  chart.BottomAxis.LabelsBetweenTicks = true;
  chart.BottomAxis.Inverted = true;
  chart.BottomAxis.Title = "Minutes";
  chart.LeftAxis.Minimum = -1;
  chart.LeftAxis.Maximum = 100;
  chart.LeftAxis.Increment = 25;
  chart.LeftAxis.Title = "% Load";
  chart.AddSeries(TSeriesKind::Line, Qt::red);
}

// One row as a monitor tab builds it: caption, gauge and chart, shown in the scrolled content.
void BuildRow(QWidget* content, int k) {
  const int top = kRowHeight * k;
  auto* label = new QLabel(QStringLiteral("Processor %1 (%2):").arg(k + 1).arg(768 + k), content);
  label->setObjectName(QStringLiteral("lblProcessor%1").arg(768 + k));
  label->move(4, top + 8);
  auto* gauge = new TGauge(content);
  gauge->setObjectName(QStringLiteral("ProcessorGauge%1").arg(768 + k));
  gauge->setGeometry(0, top + 24, 100, 60);
  auto* chart = new TChart(content);
  chart->setObjectName(QStringLiteral("ProcessorChart%1").arg(768 + k));
  chart->setGeometry(104, top + 24, kChartWidth, 113);
  SetUpChart(*chart);
  label->show();
  gauge->show();
  chart->show();
}

struct TRowsWindow {
  QScrollArea Area;
  QWidget* Content = new QWidget;
  explicit TRowsWindow(int rows) {
    Content->resize(kChartWidth + 144, kRowHeight * rows);
    Area.setWidget(Content);
    Area.resize(kChartWidth + 160, 480);
    Area.show();
    QApplication::processEvents();
  }
};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Processor time of this process, which other load on the machine does not inflate.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TRowsFigures {
  double Wall = 0;  // seconds
  double Cpu = 0;   // seconds
  double Heap = 0;  // bytes
  double Resident = 0;
};

// Builds rows into a fresh window; with hidden, the scrolled content is hidden while the rows
// are added and shown once afterwards.
TRowsFigures BuildRows(int rows, bool hidden) {
  TRowsWindow window(rows);
  if (hidden) window.Content->hide();
  const long rssBefore = ResidentBytes();
  const size_t heapBefore = mallinfo2().uordblks;
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  for (int k = 0; k < rows; ++k) BuildRow(window.Content, k);
  if (hidden) window.Content->show();
  TRowsFigures figures;
  figures.Cpu = CpuSeconds() - cpuStart;
  figures.Wall = Seconds(std::chrono::steady_clock::now() - start);
  figures.Heap = static_cast<double>(mallinfo2().uordblks - heapBefore);
  figures.Resident = static_cast<double>(ResidentBytes() - rssBefore);
  QApplication::processEvents();
  return figures;
}

void Report(const char* title, int rows, const TRowsFigures& f, bool firstRun) {
  std::printf("%s\n", title);
  std::printf("  build time:      %.3f s for %d rows, %.4f ms per row (wall clock)\n", f.Wall, rows,
              f.Wall * 1000 / rows);
  std::printf("  processor time:  %.3f s, %.4f ms per row\n", f.Cpu, f.Cpu * 1000 / rows);
  std::printf("  heap per row:    %.1f KB (mallinfo2)\n", f.Heap / rows / 1024);
  // Only the first run grows the process; later ones reuse the heap the first one freed.
  if (f.Resident > 0 && firstRun)
    std::printf("  resident per row %.1f KB (/proc/self/statm)\n", f.Resident / rows / 1024);
}

// The headline figures: 1,000 rows built in one go, time and memory per row.
void MeasureThousandRows() {
  constexpr int kRows = 1000;
  Report("rows shown one by one in the visible scroll area:", kRows, BuildRows(kRows, false), true);
  Report("rows added to hidden scrolled content, shown at the end:", kRows, BuildRows(kRows, true),
         false);
  std::printf("\n");
}

void BM_BuildRow(benchmark::State& state) {
  constexpr int kRows = 1000;
  auto window = std::make_unique<TRowsWindow>(kRows);
  int k = 0;
  for (auto _ : state) {
    if (k == kRows) {
      state.PauseTiming();
      window = std::make_unique<TRowsWindow>(kRows);
      k = 0;
      state.ResumeTiming();
    }
    BuildRow(window->Content, k++);
  }
}
BENCHMARK(BM_BuildRow);

void BM_PaintChart16Points(benchmark::State& state) {
  TChart chart;
  chart.resize(kChartWidth, 113);
  SetUpChart(chart);
  for (int i = 0; i <= 15; ++i) chart.Series[0].Points.push_back({double(i), 40.0 + i, Qt::red});
  QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    chart.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PaintChart16Points);

void BM_PaintGauge(benchmark::State& state) {
  TGauge gauge;
  gauge.resize(100, 60);
  gauge.SetPosition(63);
  QImage image(gauge.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    gauge.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PaintGauge);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  MeasureThousandRows();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
