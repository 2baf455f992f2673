// The buttons, edits and track bars against QPainter doing the same drawing in the same run:
// - a paint of each control at the application's sizes (the hot 99 x 65 and 25 x 25 tool buttons,
//   the 181 x 24 track bar, the 47 x 21 spin edit, the hot-track check box and radio button, the
//   33 x 23 bitmap button and the 75 x 25 hot-track push button) against QPainter drawing the same
//   frames, gradients, polygons, text and blits into a QImage of the same size (target ratio
//   <= 2);
// - the track bar's drag step (one mouse move while dragging: the thumb moves over its kept
//   background) against memcpy of the bar's 181 x 24 surface (target ratio <= 10).
// Each iteration runs the peer, then ours, each a batch of times in a row; the ratios weigh the
// thread's processor time (both sides work on this thread), which a busy machine does not inflate
// as it does the wall clock, and the batches keep the clock's own cost out of the short paints.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/ControlsBenchSupport.h"
#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvControls.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTrkBar.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"

namespace {

double Now() { return ThreadCpuSeconds(); }
constexpr int kBatch = 16;  // runs of each side per timed batch (paints)
constexpr int kSteps = 64;  // the same for the drag step, whose peer is shorter

QColor Q(TColor c) { return BenchQColor(c); }

// A W x H picture in one colour with a transparent corner.
std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, TColor Fill, TColor Corner) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(W, H);
  b->Canvas()->Brush()->SetColor(Fill);
  b->Canvas()->FillRect(TRect(0, 0, W, H));
  b->Canvas()->Brush()->SetColor(Corner);
  b->Canvas()->FillRect(TRect(0, 0, W / 4, H / 4));
  return b;
}

QImage QPicture(int W, int H, QColor Fill) {
  QImage image(W, H, QImage::Format_ARGB32_Premultiplied);
  image.fill(Fill);
  QPainter p(&image);
  p.setCompositionMode(QPainter::CompositionMode_Clear);
  p.fillRect(0, 0, W / 4, H / 4, Qt::transparent);
  return image;
}

// The controls of the application at their sizes, shown on one form.
struct TBenchForm {
  std::unique_ptr<TForm> Form;
  std::unique_ptr<TCustomImageList> Images16, Images40;
  TCvToolButton *Big = nullptr, *Zoom = nullptr;
  TCvTrackBar* Bar = nullptr;
  TCvSpinEdit* Spin = nullptr;
  TCvCheckBox* Check = nullptr;
  TCvRadioButton* Radio = nullptr;
  TCvBmpButton* Position = nullptr;
  TCvButton* Push = nullptr;

  template <class T>
  T* Make(int32_t L, int32_t T_, int32_t W, int32_t H) {
    auto* c = new T(Form.get());  // owned by the form
    c->SetBounds(L, T_, W, H);
    c->SetParent(Form.get());
    return c;
  }

  TBenchForm() {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 200, 200);
    Form->SetClientWidth(400);
    Form->SetClientHeight(300);
    Form->SetColor(static_cast<TColor>(RGB(226, 240, 246)));
    Images40 = std::make_unique<TCustomImageList>(40, 40);
    Images40->AddMasked(Picture(40, 40, clNavy, clFuchsia).get(), clFuchsia);
    Images16 = std::make_unique<TCustomImageList>(16, 16);
    Images16->AddMasked(Picture(16, 16, clNavy, clFuchsia).get(), clFuchsia);
    auto tool = [this](TCvToolButton* b) {
      b->SetVisualStyle(vsGradient);
      b->SetGradientColorStyle(gcsCustom);
      b->SetSelectionColorStart(static_cast<TColor>(RGB(141, 210, 243)));
      b->SetSelectionColorStop(static_cast<TColor>(RGB(57, 171, 225)));
      b->SetSelectionFrameColor(static_cast<TColor>(RGB(48, 129, 208)));
      b->SetImageIndex(0);
      b->Perform(CM_MOUSEENTER);
    };
    Big = Make<TCvToolButton>(0, 0, 99, 65);
    Big->SetImages(Images40.get());
    Big->SetLayout(blGlyphTop);
    Big->SetShowCaption(true);
    Big->SetCaption("Open");
    tool(Big);
    Zoom = Make<TCvToolButton>(100, 0, 25, 25);
    Zoom->SetImages(Images16.get());
    tool(Zoom);
    Bar = Make<TCvTrackBar>(0, 70, 181, 24);
    Bar->SetMax(100);
    Bar->SetPosition(30);
    Bar->SetShowTicks(false);
    Bar->SetCustomThumb(Picture(54, 18, clBlue, clBlack).get());
    Bar->SetTrackOffset(10);
    Bar->SetTrackFrame(TFrameStyleEx::fsFlat);
    Bar->SetTrackWidth(4);
    Spin = Make<TCvSpinEdit>(200, 70, 47, 21);
    Spin->SetFlatButtons(true);
    Spin->SetFrameVisible(true);
    Check = Make<TCvCheckBox>(0, 100, 150, 20);
    Check->SetHotTrack(true);
    Check->SetChecked(true);
    Check->SetCaption("Wave");
    Radio = Make<TCvRadioButton>(0, 125, 150, 20);
    Radio->SetHotTrack(true);
    Radio->SetChecked(true);
    Radio->SetCaption("Grey");
    Position = Make<TCvBmpButton>(200, 100, 33, 23);
    Position->Bitmaps()->SetUp(Picture(33, 23, clSilver, clOlive).get());
    Push = Make<TCvButton>(200, 130, 75, 25);
    Push->SetHotTrack(true);
    Push->SetCaption("Open");
    Push->Perform(CM_MOUSEENTER);
    Form->Show();
    ProcessPending();
  }
};

TBenchForm* g_form = nullptr;  // made by main for the run
TBenchForm& Bench() { return *g_form; }

// Frame lines of a one-pixel box.
void QBox(QPainter& p, int x, int y, int w, int h, QColor c) {
  p.setPen(c);
  p.drawRect(x, y, w - 1, h - 1);
}

void QVertical(QPainter& p, int x, int y, int w, int h, QColor a, QColor b) {
  QLinearGradient g(0, y, 0, y + h);
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  p.fillRect(x, y, w, h, g);
}

struct TCase {
  const char* Name;
  std::function<TControl*()> Control;
  int W, H;
  std::function<void(QPainter&)> Peer;
};

const std::vector<TCase>& Cases() {
  static const QImage big = QPicture(40, 40, Qt::darkBlue), small = QPicture(16, 16, Qt::darkBlue);
  static const QImage thumb = QPicture(18, 18, Qt::blue), position = QPicture(33, 23, Qt::lightGray);
  static const QColor frame(48, 129, 208), start(141, 210, 243), stop(57, 171, 225), face = Q(clBtnFace);
  static const std::vector<TCase> cases = {
      {"tool_99x65", [] { return Bench().Big; }, 99, 65,
       [](QPainter& p) {
         QBox(p, 0, 0, 99, 65, frame);
         QVertical(p, 1, 1, 97, 63, start, stop);
         p.drawImage(29, 4, big);
         p.setPen(Qt::black);
         p.drawText(QRect(2, 48, 95, 13), Qt::AlignCenter, "Open");
       }},
      {"tool_25x25", [] { return Bench().Zoom; }, 25, 25,
       [](QPainter& p) {
         QBox(p, 0, 0, 25, 25, frame);
         QVertical(p, 1, 1, 23, 23, start, stop);
         p.drawImage(4, 4, small);
       }},
      {"trackbar_181x24", [] { return Bench().Bar; }, 181, 24,
       [](QPainter& p) {
         p.fillRect(0, 0, 181, 24, QColor(226, 240, 246));
         p.fillRect(13, 10, 155, 4, Q(cl3DLight));
         QBox(p, 13, 10, 155, 4, Q(clBtnShadow));
         p.drawImage(50, 3, thumb);
       }},
      {"spinedit_47x21", [] { return Bench().Spin; }, 47, 21,
       [](QPainter& p) {
         p.fillRect(0, 0, 47, 21, Qt::white);
         QBox(p, 0, 0, 47, 21, Q(clBtnShadow));
         p.setPen(Qt::black);
         p.drawText(QRect(2, 2, 24, 17), Qt::AlignRight | Qt::AlignVCenter, "0");
         p.fillRect(26, 0, 17, 18, face);
         p.setBrush(Qt::black);
         p.setPen(Qt::NoPen);
         p.drawPolygon(QPolygon({QPoint(34, 3), QPoint(30, 7), QPoint(38, 7)}));
         p.drawPolygon(QPolygon({QPoint(34, 14), QPoint(30, 10), QPoint(38, 10)}));
       }},
      {"checkbox_hot", [] { return Bench().Check; }, 150, 20,
       [](QPainter& p) {
         p.fillRect(0, 0, 150, 20, face);
         QBox(p, 0, 2, 13, 13, Q(clBtnShadow));
         p.fillRect(1, 3, 11, 11, Qt::white);
         p.setPen(Q(clHighlight));
         p.drawPolyline(QPolygon({QPoint(3, 7), QPoint(5, 9), QPoint(9, 5)}));
         p.setPen(Qt::black);
         p.drawText(QRect(18, 1, 131, 18), Qt::AlignLeft | Qt::AlignTop, "Wave");
       }},
      {"radio_hot", [] { return Bench().Radio; }, 150, 20,
       [](QPainter& p) {
         p.fillRect(0, 0, 150, 20, face);
         p.setPen(Q(clBtnShadow));
         p.setBrush(Qt::white);
         p.drawEllipse(0, 2, 12, 12);
         p.fillRect(5, 7, 3, 3, Q(clHighlight));
         p.setPen(Qt::black);
         p.drawText(QRect(18, 1, 131, 18), Qt::AlignLeft | Qt::AlignTop, "Grey");
       }},
      {"bmpbutton_33x23", [] { return Bench().Position; }, 33, 23,
       [](QPainter& p) {
         p.fillRect(0, 0, 33, 23, QColor(226, 240, 246));
         p.drawImage(0, 0, position);
       }},
      {"pushbutton_hot_75x25", [] { return Bench().Push; }, 75, 25,
       [](QPainter& p) {
         p.setPen(Q(ShadeColor(clBtnFace, 20)));
         p.drawLine(0, 2, 0, 22);
         p.drawLine(2, 0, 72, 0);
         p.setPen(Q(TintColor(clBtnFace, 20)));
         p.drawLine(74, 2, 74, 22);
         p.drawLine(2, 24, 72, 24);
         QBox(p, 1, 1, 73, 23, Q(cl3DDkShadow));
         QVertical(p, 2, 2, 71, 19, Q(TintColor(clBtnFace, 30)), Q(ShadeColor(clBtnFace, 10)));
         QVertical(p, 2, 2, 71, 21, QColor(250, 228, 194), QColor(240, 155, 20));
         QVertical(p, 4, 4, 67, 17, Q(TintColor(clBtnFace, 30)), Q(ShadeColor(clBtnFace, 10)));
         p.setPen(Qt::black);
         p.drawText(QRect(5, 5, 65, 15), Qt::AlignCenter, "Open");
       }},
  };
  return cases;
}

void BM_Paint(benchmark::State& state) {
  const TCase& c = Cases()[static_cast<size_t>(state.range(0))];
  state.SetLabel(c.Name);
  TControl* control = c.Control();
  QImage image(c.W, c.H, QImage::Format_RGB32);
  double ours = 0, peer = 0;
  for (auto _ : state) {
    const double p0 = Now();
    for (int k = 0; k < kBatch; ++k) {
      QPainter p(&image);
      c.Peer(p);
    }
    benchmark::DoNotOptimize(image.constBits());
    const double o0 = Now();
    for (int k = 0; k < kBatch; ++k) control->Repaint();
    const double o1 = Now();
    peer += o0 - p0;
    ours += o1 - o0;
  }
  state.counters["ours_us"] = ours / (double(state.iterations()) * kBatch) * 1e6;
  state.counters["ratio"] = peer > 0 ? ours / peer : 0;
}

void BM_TrackBarDragStep(benchmark::State& state) {
  TCvTrackBar* bar = Bench().Bar;
  bar->SetPosition(30);
  ProcessPending();
  const TRect t = bar->ThumbRect();
  const int32_t cy = (t.Top + t.Bottom) / 2;
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam((t.Left + t.Right) / 2, cy));
  const size_t bytes = 181 * 24 * 4;
  std::vector<uint8_t> from(bytes, 7), to(bytes);
  double ours = 0, peer = 0;
  int32_t x = 20;
  for (auto _ : state) {
    const double p0 = Now();
    for (int k = 0; k < kSteps; ++k) {
      std::memcpy(to.data(), from.data(), bytes);
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
    }
    const double o0 = Now();
    for (int k = 0; k < kSteps; ++k) {
      x = x >= 160 ? 20 : x + 7;
      bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, PointToLParam(x, cy));
    }
    const double o1 = Now();
    peer += o0 - p0;
    ours += o1 - o0;
  }
  bar->Perform(WM_LBUTTONUP, 0, PointToLParam(x, cy));
  state.counters["ours_us"] = ours / (double(state.iterations()) * kSteps) * 1e6;
  state.counters["ratio"] = peer > 0 ? ours / peer : 0;
}

}  // namespace

BENCHMARK(BM_Paint)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TrackBarDragStep)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return ControlsBenchMainWithForm(argc, argv, g_form); }
