// The page control and the styled main menu against QPainter doing the same drawing in the same run:
// - a full repaint of a 1920 x 1080 page control with 60 round tabs in three rows, against QPainter
//   drawing the same tab polygons (no antialiasing), outline lines, gradients and captions and the
//   card into a QImage of that size (target ratio <= 2);
// - a hot-track repaint (the mouse from one tab to the next), reported as a ratio to the full
//   repaint, with the number of layouts it ran (a counter: it must stay 0);
// - a paint of the application's File drop-down, against QPainter drawing its icon bar, selected
//   item, separator, images and captions into a QImage of its size (target ratio <= 2).
// Each iteration runs the peer, then ours; the reported time is ours.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/ControlsBenchSupport.h"
#include "controls/CvControls.h"
#include "controls/CvTabs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "tests/controls/MenuTestSupport.h"

namespace {

// The ratios weigh the thread's processor time (both sides paint on this thread), which a busy
// machine does not inflate as it does the wall clock.
double Now() { return ThreadCpuSeconds(); }


constexpr int kW = 1920, kH = 1080, kTabs = 60;
const QColor kPage(226, 240, 246), kOutline(101, 175, 218), kBar(10, 36, 106);

struct TBenchForm {
  std::unique_ptr<TForm> Form;
  TCvPageControl* Pages = nullptr;
  AppMenu* Menu = nullptr;
  std::unique_ptr<AppMenu> menu_;

  TBenchForm() {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 200, 200);
    Form->SetClientWidth(kW);
    Form->SetClientHeight(kH);
    Form->SetColor(static_cast<TColor>(RGB(226, 240, 246)));
    Pages = new TCvPageControl(Form.get());  // owned by the form
    Pages->SetBounds(0, 0, kW, kH);
    Pages->SetParent(Form.get());
    Pages->SetTabStyle(TCvTabStyle::tsRoundCorners);
    Pages->SetFlatColor(13408306);
    Pages->SetFlatColorAdjustment(30);
    Pages->SetShowShadow(false);
    Pages->SetHotTrack(true);
    Pages->SetMultiLine(true);
    for (int i = 0; i < kTabs; ++i) {
      auto* sheet = new TCvTabSheet(Form.get());  // owned by the form
      sheet->SetCaption("Reflection " + std::to_string(i));
      sheet->SetPageControl(Pages);
      sheet->SetColor(static_cast<TColor>(RGB(226, 240, 246)));
    }
    Pages->SetActivePage(Pages->Pages(0));
    menu_ = std::make_unique<AppMenu>(Form.get());
    Menu = menu_.get();
    Form->Show();
    ProcessPending();
  }
};

TBenchForm* g_form = nullptr;  // made by main for the run
TBenchForm& Bench() { return *g_form; }

// The peer of a page control's paint: for every tab its round polygon filled with a vertical
// gradient and outlined, its caption; the card outlined and filled; the selected tab's bar.
void PeerPages(QPainter& p, TCvPageControl* Pc) {
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(0, 0, kW, kH, kPage);
  const TRect card = Pc->ClientRect();
  for (int i = 0; i < Pc->Tabs()->Count(); ++i) {
    const TRect r = Pc->TabClientRect(i);
    const QPolygon shape({QPoint(r.Left, r.Bottom), QPoint(r.Left, r.Top + 3), QPoint(r.Left + 1, r.Top + 1),
                          QPoint(r.Left + 3, r.Top), QPoint(r.Right - 4, r.Top), QPoint(r.Right - 2, r.Top + 1),
                          QPoint(r.Right - 1, r.Top + 3), QPoint(r.Right - 1, r.Bottom)});
    QLinearGradient g(0, r.Top, 0, r.Bottom);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(212, 208, 200));
    p.setPen(kOutline);
    p.setBrush(g);
    p.drawPolygon(shape);
    if (i == Pc->TabIndex()) p.fillRect(r.Left + 1, r.Top + 1, r.Width() - 2, 6, kBar);
    p.setPen(Qt::black);
    p.drawText(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::AlignCenter,
               QString::fromStdString(Pc->Tabs()->Items(i)->Caption));
  }
  p.setPen(kOutline);
  p.setBrush(kPage);
  p.drawRect(card.Left, 66, card.Width() - 1, card.Height() - 67);
}

void BM_PageControlRepaint(benchmark::State& state) {
  TCvPageControl* pc = Bench().Pages;
  state.counters["rows"] = pc->RowCount();
  QImage image(kW, kH, QImage::Format_RGB32);
  double ours = 0, peer = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double p0 = Now();
    {
      QPainter p(&image);
      PeerPages(p, pc);
    }
    benchmark::DoNotOptimize(image.constBits());
    peer += Now() - p0;
    state.ResumeTiming();
    const double o0 = Now();
    pc->Repaint();
    ours += Now() - o0;
  }
  state.counters["ratio"] = peer > 0 ? ours / peer : 0;
}

// The mouse from one tab to the next and back: the hot tab's repaint, against a full repaint.
void BM_PageControlHotTrack(benchmark::State& state) {
  TCvPageControl* pc = Bench().Pages;
  const int32_t layouts = pc->LayoutCount();
  TPoint at[2];
  for (int i = 0; i < 2; ++i) {
    const TRect r = pc->TabClientRect(10 + i);
    at[i] = TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  double hot = 0, full = 0;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double f0 = Now();
    pc->Repaint();
    full += Now() - f0;
    state.ResumeTiming();
    const double h0 = Now();
    pc->Perform(WM_MOUSEMOVE, 0, PointToLParam(at[n & 1].X, at[n & 1].Y));
    UpdateWindow(pc->Handle());
    hot += Now() - h0;
    ++n;
  }
  state.counters["ratio_to_full"] = full > 0 ? hot / full : 0;
  state.counters["layouts"] = pc->LayoutCount() - layouts;
}

void BM_FileDropDown(benchmark::State& state) {
  AppMenu& m = *Bench().Menu;
  Bench().Form->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  ProcessPending();
  HWND drop = MenuWindowFromMenu(m.File->Handle());
  if (!drop) {
    state.SkipWithError("the File drop-down did not open");
    return;
  }
  TRect wr;
  GetWindowRect(drop, &wr);
  const int w = wr.Width(), h = wr.Height();
  QImage image(w, h, QImage::Format_RGB32);
  const QColor iconFrom(255, 255, 255), iconTo(141, 210, 243), selFrom(141, 210, 243), selTo(57, 171, 225);
  const QColor frame(48, 129, 208), sep(176, 224, 230);
  QImage icon(16, 16, QImage::Format_RGB32);
  icon.fill(Qt::red);
  double ours = 0, peer = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double p0 = Now();
    {
      QPainter p(&image);
      p.fillRect(0, 0, w, h, Qt::white);
      QLinearGradient g(0, 0, 24, 0);
      g.setColorAt(0, iconFrom);
      g.setColorAt(1, iconTo);
      p.fillRect(0, 0, 24, h, g);
      // Open... (selected), Save As..., the separator, Exit
      QLinearGradient s(0, 0, 0, 20);
      s.setColorAt(0, selFrom);
      s.setColorAt(1, selTo);
      p.fillRect(0, 0, w - 18, 20, s);
      p.setPen(frame);
      p.drawRect(0, 0, w - 19, 19);
      for (int y : {0, 20, 43}) p.drawImage(4, y + 2, icon);
      p.setPen(sep);
      p.drawLine(30, 41, w - 18, 41);
      p.setPen(Qt::black);
      p.drawText(QRect(30, 0, w - 50, 20), Qt::AlignVCenter, "Open...");
      p.drawText(QRect(30, 20, w - 50, 20), Qt::AlignVCenter, "Save As...");
      p.drawText(QRect(30, 43, w - 50, 20), Qt::AlignVCenter, "Exit");
      p.setPen(Qt::gray);
      p.drawRect(0, 0, w - 1, h - 1);
    }
    benchmark::DoNotOptimize(image.constBits());
    peer += Now() - p0;
    state.ResumeTiming();
    const double o0 = Now();
    RedrawWindow(drop, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ours += Now() - o0;
  }
  EndMenu();
  ProcessPending();
  state.counters["ratio"] = peer > 0 ? ours / peer : 0;
}

}  // namespace

BENCHMARK(BM_PageControlRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageControlHotTrack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileDropDown)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return ControlsBenchMainWithForm(argc, argv, g_form); }
