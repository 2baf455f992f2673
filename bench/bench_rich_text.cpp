// Rich text: reading and writing a two-page RTF document of 200 format runs against Qt's own
// HTML import and export of the same document (QTextDocument::setHtml / toHtml), and
// TPXRichEdit::PaintToDC at zoom 1, 2 and 4 into a 32-bit surface against
// QTextDocument::drawContents of the same document into a QImage of the same size at the same
// scale. Both sides run on this thread, one after the other in each iteration; the reported time
// is ours, ratio = ours / peer over the fastest call of each.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <chrono>
#include <memory>
#include <string>

#include "bench/BenchFormsMain.h"
#include "bench/BenchSupport.h"
#include "platform/forms/Forms.h"
#include "platform/forms/RichEdit.h"
#include "platform/forms/RichEditInternal.h"
#include "platform/gdi/Surface.h"
#include "platform/gdi/WinGdi.h"
#include "vector/pxxRichEdit.h"

namespace {


// About two pages of text in 40 paragraphs, with 200 runs of changing fonts, sizes, colours and
// styles.
std::string TwoPages() {
  static const char* kFaces[] = {"Arial", "Times New Roman", "Courier New", "Tahoma"};
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl";
  for (int f = 0; f < 4; ++f) rtf += "{\\f" + std::to_string(f) + " " + kFaces[f] + ";}";
  rtf += "}{\\colortbl;\\red200\\green0\\blue0;\\red0\\green120\\blue0;\\red0\\green0\\blue180;}";
  const std::string words = "The quick brown fox jumps over the lazy dog and keeps on running ";
  for (int run = 0; run < 200; ++run) {
    if (run % 5 == 0) rtf += run == 0 ? "\\pard" : "\\par\\pard";
    if (run % 5 == 0 && run % 3 == 1) rtf += "\\qc";
    rtf += "{\\f" + std::to_string(run % 4) + "\\fs" + std::to_string(18 + 2 * (run % 6));
    if (run % 3 == 0) rtf += "\\b";
    if (run % 7 == 0) rtf += "\\i";
    if (run % 4 != 0) rtf += "\\cf" + std::to_string(run % 4);
    rtf += " " + words + "}";
  }
  return rtf + "\\par}";
}

// Our edit on a hidden form, loaded with the document.
struct TBenchEdit {
  TForm Form{nullptr};
  TPXRichEdit* Edit;
  TBenchEdit() : Edit(new TPXRichEdit(&Form)) {
    Form.SetBounds(0, 0, 700, 900);
    Edit->SetParent(&Form);
    Edit->SetBounds(0, 0, 600, 800);
    Edit->SetBorderStyle(bsNone);
    Edit->HandleNeeded();
    Edit->SetRTFText(TwoPages());
  }
};
TBenchEdit* GEdit = nullptr;

// The peer's document: the same paragraphs and runs built in a QTextDocument.
void BuildPeer(QTextDocument& Q, const std::string& Rtf) {
  TRichDocument d;
  ReadRtf(Rtf, d);
  FillRichDocument(Q, d);
}

void BM_RtfRead(benchmark::State& state) {
  const std::string rtf = TwoPages();
  QTextDocument source;
  BuildPeer(source, rtf);
  const QString html = source.toHtml();
  TRichEditDocument doc;
  QTextDocument peerDoc;
  OursAndPeerTimes times;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    peerDoc.setHtml(html);
    const auto b = BenchClock::now();
    doc.LoadRtf(rtf);
    const auto c = BenchClock::now();
    // The peer ran first: ours is the first span, the peer's the second.
    times.Add(0, BenchSeconds(b, c), BenchSeconds(b, c) + BenchSeconds(a, b));
    state.SetIterationTime(BenchSeconds(b, c));
  }
  times.Report(state, "qt");
}

void BM_RtfWrite(benchmark::State& state) {
  const std::string rtf = TwoPages();
  TRichEditDocument doc;
  doc.LoadRtf(rtf);
  QTextDocument peerDoc;
  BuildPeer(peerDoc, rtf);
  OursAndPeerTimes times;
  size_t sink = 0;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    sink += static_cast<size_t>(peerDoc.toHtml().size());
    const auto b = BenchClock::now();
    sink += doc.SaveRtf().size();
    const auto c = BenchClock::now();
    times.Add(0, BenchSeconds(b, c), BenchSeconds(b, c) + BenchSeconds(a, b));
    state.SetIterationTime(BenchSeconds(b, c));
  }
  benchmark::DoNotOptimize(sink);
  times.Report(state, "qt");
}

// Both draw the document into a 600 x 800 pixel area at the zoom, laid out in 600 / zoom.
void BM_PaintToDC(benchmark::State& state) {
  const double zoom = static_cast<double>(state.range(0));
  constexpr int32_t kW = 600, kH = 800;
  TSurface surface(kW, kH, 32);
  HDC dc = CreateSurfaceDC(&surface);
  QImage image(kW, kH, QImage::Format_RGB32);
  image.fill(Qt::white);
  QTextDocument peerDoc;
  peerDoc.setDocumentMargin(0);
  BuildPeer(peerDoc, TwoPages());
  peerDoc.setTextWidth(kW / zoom);
  OursAndPeerTimes times;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    {
      QPainter p(&image);
      p.scale(zoom, zoom);
      peerDoc.drawContents(&p, QRectF(0, 0, kW / zoom, kH / zoom));
    }
    const auto b = BenchClock::now();
    GEdit->Edit->PaintToDC(dc, TRect(0, 0, kW, kH), 0, 0, zoom, zoom);
    const auto c = BenchClock::now();
    SetMapMode(dc, MM_TEXT);
    times.Add(0, BenchSeconds(b, c), BenchSeconds(b, c) + BenchSeconds(a, b));
    state.SetIterationTime(BenchSeconds(b, c));
  }
  DeleteDC(dc);
  times.Report(state, "qt");
}

BENCHMARK(BM_RtfRead)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RtfWrite)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintToDC)->Arg(1)->Arg(2)->Arg(4)->ArgName("zoom")->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return BenchFormsMain(argc, argv, GEdit); }
