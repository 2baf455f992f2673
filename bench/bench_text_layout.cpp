// The in-place text control's layout and drawing: PaintTo of a 20,000-character memo in three
// formats into a 24-bit bitmap, and one keystroke in its middle followed by a paint, against
// QTextLayout laying out and drawing the same text with the same three formats (fonts, sizes,
// styles, colours) with QPainter into a 24-bit QImage of the same size. Both sides run on this
// thread in each iteration; the reported time is ours, ratio = ours / peer over the fastest call of each.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/pxcanvas.h"
#include "bench/BenchFormsMain.h"
#include "bench/BenchSupport.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/FontEngine.h"
#include "vector/pxtextc.h"

namespace {


constexpr int32_t kWidth = 600, kHeight = 6000;
constexpr int32_t kRun = 50;  // characters per format run

struct TFormatSpec {
  const char* Face;
  int32_t Pixels;
  uint8_t Style;  // bit 0 bold, 1 italic
  TColor Color;
};
constexpr TFormatSpec kFormats[3] = {
    {"Arial", 16, 0, 0x000000}, {"Times New Roman", 18, 1, 0x0000C0}, {"Courier New", 14, 2, 0xC00000}};

std::u16string MemoText() {
  const std::u16string words = u"The quick brown fox jumps over the lazy dog and runs on ";
  std::u16string s;
  while (s.size() < 20000) {
    s += words;
    if (s.size() % 7 == 0) s += u'\n';
  }
  s.resize(20000);
  return s;
}

// Our control with the memo in three formats, laid out in the bitmap's width.
struct TOurs {
  TPXTextControl Control{nullptr};
  TBitmap Bitmap;
  TOurs() {
    TPXCharFormatList formats(3);
    for (int i = 0; i < 3; ++i) {
      TPXCharFormat& f = formats[static_cast<size_t>(i)];
      f = TPXCharFormat{};
      f.SetName(kFormats[i].Face);
      f.FontHeight = -kFormats[i].Pixels;
      f.FontStyle = kFormats[i].Style;
      f.FontColor = kFormats[i].Color;
      f.BackColor = clWhite;
      f.BackStyle = static_cast<uint8_t>(bsClear);
    }
    const std::u16string text = MemoText();
    std::vector<int32_t> indexes(text.size());
    for (size_t i = 0; i < text.size(); ++i) indexes[i] = static_cast<int32_t>((i / kRun) % 3);
    for (size_t i = 0; i < text.size(); ++i) ++formats[static_cast<size_t>(indexes[i])].UseCount;
    Control.SetText(text);
    Control.SetCharFormats(indexes);
    Control.SetFormats(formats);
    Control.PrepareText();
    Control.BoxBrush()->SetColor(clWhite);
    Control.BorderPen()->SetColor(clNone);
    Bitmap.SetPixelFormat(pf24bit);
    Bitmap.SetSize(kWidth, kHeight);
  }
  void Paint() {
    TPXCanvas canvas(Bitmap.Canvas(), false, false);
    Control.PaintTo(&canvas, 0, 0, kWidth, kHeight);
  }
};

// The peer: the same text and format runs in a QTextLayout per paragraph.
struct TPeer {
  QString Text;
  QList<QTextLayout::FormatRange> Ranges;
  QImage Image{kWidth, kHeight, QImage::Format_RGB888};
  QFont Base;
  TPeer() {
    const std::u16string t = MemoText();
    Text = QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
    Base = QFont(QString::fromStdString(ResolveFontFace(kFormats[0].Face)));
    Base.setPixelSize(kFormats[0].Pixels);
    Base.setKerning(false);
    for (qsizetype start = 0; start < Text.size(); start += kRun) {
      const TFormatSpec& s = kFormats[(start / kRun) % 3];
      QTextLayout::FormatRange r;
      r.start = static_cast<int>(start);
      r.length = static_cast<int>(std::min<qsizetype>(kRun, Text.size() - start));
      QFont f(QString::fromStdString(ResolveFontFace(s.Face)));
      f.setPixelSize(s.Pixels);
      f.setBold(s.Style & 1);
      f.setItalic(s.Style & 2);
      f.setKerning(false);
      r.format.setFont(f);
      r.format.setForeground(QColor(s.Color & 0xFF, (s.Color >> 8) & 0xFF, (s.Color >> 16) & 0xFF));
      Ranges.append(r);
    }
  }
  // Lays out every paragraph at the width and draws it below the one before.
  void Paint() {
    Image.fill(Qt::white);
    QPainter p(&Image);
    double y = 0;
    qsizetype start = 0;
    while (start <= Text.size()) {
      qsizetype end = Text.indexOf(QChar(u'\n'), start);
      if (end < 0) end = Text.size();
      QTextLayout layout(Text.mid(start, end - start), Base);
      QList<QTextLayout::FormatRange> local;
      for (const auto& r : Ranges) {
        const qsizetype a = std::max<qsizetype>(r.start, start), b = std::min<qsizetype>(r.start + r.length, end);
        if (a >= b) continue;
        QTextLayout::FormatRange l = r;
        l.start = static_cast<int>(a - start);
        l.length = static_cast<int>(b - a);
        local.append(l);
      }
      layout.setFormats(local);
      layout.beginLayout();
      for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(kWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
      }
      layout.endLayout();
      layout.draw(&p, QPointF(0, 0));
      start = end + 1;
    }
  }
};

TOurs* GOurs = nullptr;

void BM_PaintMemo(benchmark::State& state) {
  TPeer peerSide;
  GOurs->Paint();
  OursAndPeerTimes times;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    peerSide.Paint();
    const auto b = BenchClock::now();
    GOurs->Paint();
    const auto c = BenchClock::now();
    // The peer ran first: ours is the first span, the peer's the second.
    times.Add(0, BenchSeconds(b, c), BenchSeconds(b, c) + BenchSeconds(a, b));
    state.SetIterationTime(BenchSeconds(b, c));
  }
  times.Report(state, "qt");
}

// A character typed in the middle, then a paint; the peer inserts it into its text and lays out
// and draws again. The character is taken out again outside the timing.
void BM_KeystrokeAndPaint(benchmark::State& state) {
  TPeer peerSide;
  TPXTextControl& c = GOurs->Control;
  GOurs->Paint();
  const int32_t middle = c.TextLength() / 2;
  OursAndPeerTimes times;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    peerSide.Text.insert(middle, QChar(u'x'));
    for (auto& r : peerSide.Ranges)
      if (r.start > middle) ++r.start;
      else if (r.start + r.length > middle) ++r.length;
    peerSide.Paint();
    const auto b = BenchClock::now();
    c.SetCaretPos(middle);
    c.InsertChar(u'x');
    GOurs->Paint();
    const auto d = BenchClock::now();
    times.Add(0, BenchSeconds(b, d), BenchSeconds(b, d) + BenchSeconds(a, b));
    state.SetIterationTime(BenchSeconds(b, d));
    c.DeleteChar(middle);
    peerSide.Text.remove(middle, 1);
    for (auto& r : peerSide.Ranges)
      if (r.start > middle) --r.start;
      else if (r.start + r.length > middle) --r.length;
  }
  times.Report(state, "qt");
}

BENCHMARK(BM_PaintMemo)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeAndPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchFormsMain(argc, argv, GOurs); }
