// 100 antialiased shape layers (outline builders and point tables, borders 1..4, plain fills and
// linear gradients, some turned) composed into a 1920 x 1080 view bitmap through Paint with a
// caching owner, against QPainter drawing the same outlines with the same pens (round joins),
// brushes and gradients, antialiased and even-odd filled, into a 1920 x 1080 QImage in the same
// run, on the same thread. ratio = our time / QPainter's.
//   layers_shapes_first: every cache dropped first (twice-size renderings and halving); goal <= 3.
//   layers_shapes_repaint: the caches warm, only the composition; goal <= 1.
#include <benchmark/benchmark.h>

#include <QtGui/QColor>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPen>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/BenchLayerOwner.h"
#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_shape.h"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;

QColor QtColor(TColor C) {
  const auto c = static_cast<uint32_t>(C);
  return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Ten rows of ten layers, each shape with its own border, fill and turn.
void AddShapes(BenchOwner& Owner) {
  const TColor fills[] = {0x3070E0, 0x20A040, 0xE08020, 0x9040C0, 0x2090D0};
  for (int32_t i = 0; i < 100; ++i) {
    auto layer = std::make_unique<TPXShapeLayer>(&Owner);
    // Every outline but the plain ellipse, rectangle and rounded rectangle, which draw as figures.
    int32_t shape = 6 + (i * 37) % 94;
    layer->SetShape(static_cast<TPXShape>(shape));
    layer->SetPosX(5 + (i % 10) * 191);
    layer->SetPosY(5 + (i / 10) * 107);
    layer->SetWidth(180);
    layer->SetHeight(100);
    layer->SetRotate(i % 4 == 3 ? 20.0 * (i % 7) : 0);
    layer->SetBorderWidth(1 + i % 4);
    layer->SetBorderColor(i % 5 == 4 ? clNone : clNavy);
    layer->SetFillColor(fills[i % 5]);
    if (i % 3 != 0) {
      layer->SetFillColor2(0xF0F0A0);
      layer->SetFillGradient(static_cast<uint8_t>(i % 3 - 1));  // horizontal, vertical
    } else {
      layer->SetFillGradient(8);
    }
    layer->SetAntiAlias(true);
    Owner.Layers.push_back(std::move(layer));
  }
}

void PaintOurs(BenchOwner& Owner, TPXBitmap* Target) {
  for (int32_t i = 0; i < Owner.GetLayersCount(); ++i)
    Owner.GetLayers(i)->Paint(Target, i, nullptr, nullptr, nullptr, 0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight,
                              true, false, rfNone, 0, false);
}

// QPainter's figures of the layers' outlines as drawn by the last paint.
struct PeerFigure {
  QPainterPath Path;
  QPen Pen;
  QBrush Brush;
};

std::vector<PeerFigure> PeerFigures(BenchOwner& Owner) {
  std::vector<PeerFigure> figures;
  for (int32_t i = 0; i < Owner.GetLayersCount(); ++i) {
    auto* l = static_cast<TPXShapeLayer*>(Owner.GetLayers(i));
    const TPXPointList& pts = l->DrawnPoints();
    PeerFigure f;
    f.Path.setFillRule(Qt::OddEvenFill);
    const double x0 = l->GetPosX(), y0 = l->GetPosY();
    for (int32_t k = 0; k < pts.Count; ++k) {
      const QPointF p(x0 + pts[k].X + 0.5, y0 + pts[k].Y + 0.5);
      if (k == 0) f.Path.moveTo(p);
      else f.Path.lineTo(p);
    }
    f.Path.closeSubpath();
    f.Pen = l->BorderColor() == clNone
                ? QPen(Qt::NoPen)
                : QPen(QBrush(QtColor(l->BorderColor())), l->BorderWidth(), Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    if (l->FillGradient() == 8) {
      f.Brush = QBrush(QtColor(l->FillColor()));
    } else {
      const QPointF end = l->FillGradient() == 0 ? QPointF(x0 + l->GetWidth(), y0) : QPointF(x0, y0 + l->GetHeight());
      QLinearGradient g(QPointF(x0, y0), end);
      g.setColorAt(0, QtColor(l->FillColor()));
      g.setColorAt(1, QtColor(l->FillColor2()));
      g.setSpread(QGradient::RepeatSpread);
      f.Brush = QBrush(g);
    }
    figures.push_back(std::move(f));
  }
  return figures;
}

void PaintPeer(const std::vector<PeerFigure>& Figures, QImage& Target) {
  QPainter p(&Target);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (const PeerFigure& f : Figures) {
    p.setPen(f.Pen);
    p.setBrush(f.Brush);
    p.drawPath(f.Path);
  }
}

void BM_LayersShapes(benchmark::State& state, bool FirstPaint) {
  BenchOwner owner;
  owner.Caching = -1;
  owner.Filter = rfTriangle;
  AddShapes(owner);
  auto target = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
  target->Fill(double(clWhite));
  PaintOurs(owner, target.get());  // lays out every outline once
  const std::vector<PeerFigure> figures = PeerFigures(owner);
  QImage peer(kWidth, kHeight, QImage::Format_RGB32);

  OursAndPeerTimes times;
  for (auto _ : state) {
    target->Fill(double(clWhite));
    peer.fill(Qt::white);
    if (FirstPaint)
      for (int32_t i = 0; i < owner.GetLayersCount(); ++i) owner.GetLayers(i)->InvalidateCache();
    const double a = ThreadCpuSeconds();
    PaintOurs(owner, target.get());
    benchmark::ClobberMemory();
    const double b = ThreadCpuSeconds();
    PaintPeer(figures, peer);
    benchmark::ClobberMemory();
    const double c = ThreadCpuSeconds();
    times.Add(a, b, c);
    state.SetIterationTime(b - a);
  }
  times.Report(state, "qpainter");
}

BENCHMARK_CAPTURE(BM_LayersShapes, layers_shapes_first, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LayersShapes, layers_shapes_repaint, false)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
