// The owner-drawn controls against QPainter doing the same drawing in the same run:
// - a full repaint of a 1920 x 1080 form of panels (gradient, raised, flat), six group boxes (one
//   per style) and a status bar with three panes and its grip, against QPainter drawing the same
//   rectangles, lines and linear gradients into a QImage of that size (target ratio <= 2);
// - PaintGradientRect over 1920 x 1080 in each of the ten directions, against std::fill of the same
//   pixels (ratio_fill), and for the end and diagonal directions against QPainter's
//   QLinearGradient fill (ratio_qt, target <= 1.5).
// Each iteration runs the peers, then ours; the reported time is ours.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "controls/CvControls.h"
#include "controls/CvGrafx.h"
#include "controls/CvPanel.h"
#include "controls/CvStatus.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"

namespace {

constexpr int32_t kW = 1920;
constexpr int32_t kH = 1080;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

QColor Q(TColor c) {
  const auto v = static_cast<TColorRef>(ColorToRGB(c));
  return QColor(GetRValue(v), GetGValue(v), GetBValue(v));
}

// ---------------------------------------------------------------------------------------------
// The form

struct TBenchForm {
  std::unique_ptr<TForm> Form;
  std::vector<TWinControl*> Windows;

  template <class T>
  T* Make(TWinControl* Parent, int32_t L, int32_t T_, int32_t W, int32_t H) {
    auto* c = new T(Form.get());  // owned by the form
    c->SetBounds(L, T_, W, H);
    c->SetParent(Parent);
    if (auto* w = dynamic_cast<TWinControl*>(c)) Windows.push_back(w);
    return c;
  }

  TBenchForm() {
    using enum TFrameStyleEx;
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 200, 200);
    Form->SetClientWidth(kW);
    Form->SetClientHeight(kH);
    Form->SetColor(clBtnFace);
    auto* top = Make<TCvPanel>(Form.get(), 0, 0, kW, 75);
    top->SetBorderOuter(fsNone);
    top->SetVisualStyle(vsGradient);
    top->SetGradientColorStyle(gcsCustom);
    top->SetGradientColorStop(static_cast<TColor>(RGB(216, 228, 248)));
    Make<TCvPanel>(Form.get(), 0, 80, 900, 900);  // raised
    auto* flat = Make<TCvPanel>(Form.get(), 905, 80, 400, 900);
    flat->SetBorderOuter(fsFlat);
    int32_t y = 80;
    for (TCvGroupBoxStyle s : {TCvGroupBoxStyle::gsStandard, TCvGroupBoxStyle::gsCustom, TCvGroupBoxStyle::gsTopLine,
                               TCvGroupBoxStyle::gsFlat, TCvGroupBoxStyle::gsBanner, TCvGroupBoxStyle::gsUnderline}) {
      auto* g = Make<TCvGroupBox>(Form.get(), 1310, y, 600, 140);
      g->SetGroupStyle(s);
      g->SetCaption(" ");
      y += 150;
    }
    auto* bar = Make<TCvStatusBar>(Form.get(), 0, 0, kW, 19);
    bar->SetVisualStyle(vsGradient);
    for (int i = 0; i < 3; ++i) {
      auto* p = Make<TCvStatusPane>(bar, i * 300, 0, 300, 19);
      p->SetAlign(alLeft);
    }
    Form->Show();
    ProcessPending();
  }

  void Repaint() {
    for (TWinControl* w : Windows) InvalidateRect(w->Handle(), nullptr, TRUE);
    InvalidateRect(Form->Handle(), nullptr, TRUE);
    UpdateWindow(Form->Handle());
    for (TWinControl* w : Windows) UpdateWindow(w->Handle());
  }
};

// The same drawing with QPainter: fills, frame lines, the gradients and the grip's squares.
void PeerForm(QImage& image) {
  QPainter p(&image);
  const QColor face = Q(clBtnFace), shadow = Q(clBtnShadow), light = Q(clBtnHighlight), dark = Q(cl3DDkShadow);
  const QColor flat(159, 159, 159);
  p.fillRect(0, 0, kW, kH, face);
  QLinearGradient top(0, 0, 0, 75);
  top.setColorAt(0, Qt::white);
  top.setColorAt(1, QColor(216, 228, 248));
  p.fillRect(0, 0, kW, 75, top);
  auto box = [&p](int x, int y, int w, int h, QColor ul, QColor lr) {
    p.setPen(ul);
    p.drawLine(x, y, x + w - 1, y);
    p.drawLine(x, y, x, y + h - 1);
    p.setPen(lr);
    p.drawLine(x + w - 1, y, x + w - 1, y + h - 1);
    p.drawLine(x, y + h - 1, x + w - 1, y + h - 1);
  };
  p.fillRect(0, 80, 900, 900, face);
  box(0, 80, 900, 900, face, dark);
  box(1, 81, 898, 898, light, shadow);
  p.fillRect(905, 80, 400, 900, face);
  box(905, 80, 400, 900, dark, dark);
  for (int i = 0, y = 80; i < 6; ++i, y += 150) {
    p.fillRect(1310, y, 600, 140, face);
    box(1310, y + 5, 600, 135, shadow, light);
    if (i == 4) {
      QLinearGradient banner(0, y, 0, y + 20);
      banner.setColorAt(0, Qt::white);
      banner.setColorAt(1, QColor(193, 188, 176));
      p.fillRect(1311, y + 1, 598, 18, banner);
    }
  }
  QLinearGradient bar(0, kH - 19, 0, kH);
  bar.setColorAt(0, QColor(193, 188, 176));
  bar.setColorAt(1, Qt::white);
  p.fillRect(0, kH - 19, kW, 19, bar);
  for (int i = 0; i < 3; ++i) box(i * 300, kH - 18, 300, 17, flat, flat);
  for (QColor c : {QColor(Qt::white), QColor(175, 168, 153)})
    for (int i = 0; i < 6; ++i) p.fillRect(kW - 5 - 4 * (i % 3), kH - 4 - 4 * (i / 3), 2, 2, c);
}

void BM_FormRepaint(benchmark::State& state) {
  TBenchForm form;
  QImage image(kW, kH, QImage::Format_RGB32);
  double ours = 0, peer = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto p0 = Clock::now();
    PeerForm(image);
    benchmark::DoNotOptimize(image.constBits());
    peer += Seconds(p0, Clock::now());
    state.ResumeTiming();
    const auto o0 = Clock::now();
    form.Repaint();
    ours += Seconds(o0, Clock::now());
  }
  state.counters["ratio"] = peer > 0 ? ours / peer : 0;
}

// ---------------------------------------------------------------------------------------------
// Gradients

void BM_GradientRect(benchmark::State& state) {
  const auto direction = static_cast<TGradientDirection>(state.range(0));
  TBitmap bitmap(kW, kH);
  TCanvas* canvas = bitmap.Canvas();
  auto* pixels = static_cast<uint32_t*>(bitmap.ScanLine(kH - 1));  // the lowest address of the rows
  QImage image(kW, kH, QImage::Format_RGB32);
  // The Qt peer of the directions it has: a linear gradient along the same axis.
  using enum TGradientDirection;
  bool qt = true;
  QLinearGradient g;
  switch (direction) {
    case gdHorizontalEnd: g = QLinearGradient(0, 0, 0, kH); break;
    case gdVerticalEnd: g = QLinearGradient(0, 0, kW, 0); break;
    case gdDiagonalUp: g = QLinearGradient(0, kH, kW, 0); break;
    case gdDiagonalDown: g = QLinearGradient(0, 0, kW, kH); break;
    default: qt = false; break;
  }
  g.setColorAt(0, QColor(20, 40, 200));
  g.setColorAt(1, QColor(250, 220, 10));
  double ours = 0, fill = 0, peer = 0;
  uint32_t v = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto f0 = Clock::now();
    std::fill(pixels, pixels + static_cast<size_t>(kW) * kH, ++v);
    benchmark::DoNotOptimize(pixels);
    const auto f1 = Clock::now();
    fill += Seconds(f0, f1);
    if (qt) {
      QPainter p(&image);
      p.fillRect(0, 0, kW, kH, g);
      p.end();
      benchmark::DoNotOptimize(image.constBits());
      peer += Seconds(f1, Clock::now());
    }
    state.ResumeTiming();
    const auto o0 = Clock::now();
    PaintGradientRect(canvas, TRect(0, 0, kW, kH), direction, static_cast<TColor>(RGB(20, 40, 200)),
                      static_cast<TColor>(RGB(250, 220, 10)), 1);
    benchmark::DoNotOptimize(pixels);
    ours += Seconds(o0, Clock::now());
  }
  state.counters["ratio_fill"] = fill > 0 ? ours / fill : 0;
  if (qt) state.counters["ratio_qt"] = peer > 0 ? ours / peer : 0;
}

}  // namespace

BENCHMARK(BM_FormRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradientRect)->DenseRange(0, 9)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  RtlStartup();
  FormsStartup();
  CvControlsStartup();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CvControlsShutdown();
  FormsShutdown();
  RtlShutdown();
  return 0;
}
