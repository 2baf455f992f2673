// DrawText of a 200-character line into a 32-bit surface against QPainter::drawText of the same
// line with the same face and pixel size on a QImage of the same size (the peer is Qt itself,
// which our text stands on). Each iteration draws with the peer, then with ours; the reported
// time is ours, the counter ratio = peer time / our time. Antialiased and not.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/QtHost.h"
#include "platform/gdi/WinGdi.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

constexpr int32_t kWidth = 1800;
constexpr int32_t kHeight = 32;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::string Line() {
  const std::string words = "The quick brown fox jumps over the lazy dog, 0123456789! ";
  std::string s;
  while (s.size() < 200) s += words;
  s.resize(200);
  return s;
}

void BM_DrawText(benchmark::State& state) {
  const BYTE quality = state.range(0) ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
  const std::string line = Line();
  TSurface surface(kWidth, kHeight, 32);
  HDC dc = CreateSurfaceDC(&surface);
  LOGFONT lf;
  lf.lfHeight = -11;
  lf.lfQuality = quality;
  std::strcpy(lf.lfFaceName, "Tahoma");
  HFONT font = CreateFontIndirect(lf);
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QFont qfont(QString::fromStdString(ResolveFontFace("Tahoma")));
  qfont.setPixelSize(11);
  qfont.setStyleStrategy(state.range(0) ? QFont::PreferAntialias : QFont::NoAntialias);
  const QString qline = QString::fromStdString(line);

  double ours = 0, peer = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    {
      QPainter p(&image);
      p.setFont(qfont);
      p.setPen(Qt::black);
      p.drawText(QPointF(2, 20), qline);
    }
    const auto b = Clock::now();
    TRect r{2, 4, kWidth, kHeight};
    DrawText(dc, line, &r, DT_SINGLELINE | DT_NOPREFIX);
    const auto c = Clock::now();
    peer += Seconds(a, b);
    ours += Seconds(b, c);
    state.SetIterationTime(Seconds(b, c));
  }
  state.counters["ours_us"] = ours / static_cast<double>(state.iterations()) * 1e6;
  state.counters["peer_us"] = peer / static_cast<double>(state.iterations()) * 1e6;
  state.counters["ratio"] = peer / ours;
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  DeleteDC(dc);
}

}  // namespace

BENCHMARK(BM_DrawText)->Arg(1)->Arg(0)->ArgName("antialiased")->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  EnsureGuiApplication();
  ::benchmark::Initialize(&argc, argv);
  if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
