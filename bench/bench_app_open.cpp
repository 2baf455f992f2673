// Opening a 12-megapixel picture in the main window (offscreen), from the Open click (dialog
// scripted) to the first paint of the view at 1920 x 1080, against a plain decode of the same
// file by libpng or libjpeg-turbo in the same run. ratio = open / peer over the fastest
// iteration of each (targets: PNG 2, JPEG 4); decode, pipeline, fit and paint are reported apart
// (the same steps run alone on the loaded picture).
#include <benchmark/benchmark.h>
#include <png.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/UnitQuillane.h"
#include "bench/BenchSupport.h"
#include "io/pixoranio.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "view/pixoran.h"
#include "controls/CvButton.h"

// Last: the library defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;
constexpr int32_t kViewWidth = 1920, kViewHeight = 1080;

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

struct TBenchWindow {
  std::string Folder;
  TFrmQuillane* Form = nullptr;
  bool Painted = false;

  TBenchWindow() {
    char dir[] = "/tmp/pxbench-open-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    Folder = std::string(dir) + "/";
    AppDirOverride = Folder;
    TDialogScript::Start();
    Form = TCustomForm::Create<TFrmQuillane>(nullptr);
    Form->Show();
    ProcessPending();
    // The view at 1920 x 1080.
    TPixoran* v = Form->PixoranDis;
    Form->SetBounds(0, 0, Form->Width() + kViewWidth - v->Width(), Form->Height() + kViewHeight - v->Height());
    ProcessPending();
    v->SetOnPaint([this](TObject*) { Painted = true; });
    auto picture = BenchGradientPicture(kWidth, kHeight, 7, 64, 48);
    TPixoran source(nullptr);
    source.GetPXBitmap()->Assign(picture.get());
    source.IO()->SaveToFile(Folder + "big.png", 0);
    source.IO()->SaveToFile(Folder + "big.jpg", 0);
  }
  ~TBenchWindow() {
    Form->Free();
    TDialogScript::Stop();
    for (const char* f : {"big.png", "big.jpg", "Options.ini"}) std::remove((Folder + f).c_str());
    rmdir(Folder.c_str());
  }

  // The Open click to the first paint.
  double Open(const std::string& File) {
    const auto t = Clock::now();
    TDialogScript::Push(TDialogAnswer::ChooseFiles({File}));
    Painted = false;
    Form->M_OpenClick(Form->BtnOpen);
    Form->PixoranDis->Invalidate();
    while (!Painted) ProcessPending(1);
    return Since(t);
  }
};

// The peers: the whole file decoded into a buffer of pixels.
double DecodePng(const std::string& File) {
  const auto t = Clock::now();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, File.c_str())) std::abort();
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) std::abort();
  benchmark::DoNotOptimize(pixels.data());
  return Since(t);
}

double DecodeJpeg(const std::string& File) {
  const auto t = Clock::now();
  FILE* f = std::fopen(File.c_str(), "rb");
  if (!f) std::abort();
  jpeg_decompress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, f);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  std::vector<uint8_t> pixels(static_cast<size_t>(info.output_width) * info.output_height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + static_cast<size_t>(info.output_scanline) * info.output_width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(f);
  benchmark::DoNotOptimize(pixels.data());
  return Since(t);
}

// Made by the first benchmark, freed by main before the libraries stop.
std::unique_ptr<TBenchWindow> g_window;
TBenchWindow& Window() {
  if (!g_window) g_window = std::make_unique<TBenchWindow>();
  return *g_window;
}

void OpenBench(benchmark::State& state, const char* Name, double (*Peer)(const std::string&)) {
  TBenchWindow& w = Window();
  const std::string file = w.Folder + Name;
  double bestOpen = 1e9, bestPeer = 1e9, decode = 1e9, pipeline = 1e9, fit = 1e9, paint = 1e9;
  for (auto _ : state) {
    const double open = w.Open(file);
    state.SetIterationTime(open);
    bestOpen = std::min(bestOpen, open);
    bestPeer = std::min(bestPeer, Peer(file));
    // The steps alone on the loaded picture.
    TFrmQuillane* f = w.Form;
    auto t = Clock::now();
    LoadSourceImage(f->ImageSrc(), file);
    decode = std::min(decode, Since(t));
    t = Clock::now();
    BuildReflection(*f->PixoranDis, *f->ImageSrc(), f->ReadReflectionParams());
    pipeline = std::min(pipeline, Since(t));
    t = Clock::now();
    f->FitIfLarger(f->PixoranDis);
    fit = std::min(fit, Since(t));
    t = Clock::now();
    w.Painted = false;
    f->PixoranDis->Invalidate();
    while (!w.Painted) ProcessPending(1);
    paint = std::min(paint, Since(t));
  }
  state.counters["ratio"] = bestOpen / bestPeer;
  state.counters["peer_s"] = bestPeer;
  state.counters["decode_s"] = decode;
  state.counters["pipeline_s"] = pipeline;
  state.counters["fit_s"] = fit;
  state.counters["paint_s"] = paint;
  // The whole picture was decoded.
  state.counters["pixels"] = double(w.Form->ImageSrc()->GetPXBitmap()->Width()) * w.Form->ImageSrc()->GetPXBitmap()->Height();
}

void BM_OpenPng(benchmark::State& state) { OpenBench(state, "big.png", DecodePng); }
void BM_OpenJpeg(benchmark::State& state) { OpenBench(state, "big.jpg", DecodeJpeg); }

BENCHMARK(BM_OpenPng)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenJpeg)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  QuillaneStartup();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_window.reset();
  QuillaneShutdown();
  RtlShutdown();
  return 0;
}
