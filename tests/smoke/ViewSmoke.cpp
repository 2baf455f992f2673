// Shows an image view on a real display: a 100 x 50 picture, its left half opaque red and its
// right half transparent, fitted into a 200 x 100 view over the chessboard; then zoomed so far
// that both scroll bars show. Grabs the window from the screen.
// Usage: view_smoke <screenshot.png> <zoomed screenshot.png>. Exit code 0 when the display shows
// what was painted.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"
#include "view/pixoran.h"
#include "tests/smoke/SmokeSupport.h"

namespace {

int Run(const std::string& shot, const std::string& zoomedShot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("View");
  form->SetBounds(50, 50, 260, 180);
  form->SetClientWidth(200);
  form->SetClientHeight(100);
  auto* view = new TPixoran(form.get());  // owned by the form
  view->SetBorderStyle(bsNone);
  view->SetBackgroundStyle(pxbsChessboard);
  view->SetBackground(clBtnFace);
  view->SetParent(form.get());
  view->SetBounds(0, 0, 200, 100);
  TPXBitmap* picture = view->GetPXBitmap();
  picture->Allocate(100, 50, px24RGB);
  picture->Fill(static_cast<double>(clRed));
  TPXBitmap* alpha = picture->GetAlphaChannel();
  alpha->Fill(255);
  alpha->FillRect(50, 0, 99, 49, 0);
  alpha->FFull = 0;
  form->Show();
  view->Update();
  view->Fit(true);
  struct Probe {
    int32_t X, Y;
    TColorRef Expected;
  };
  // The composition blends with 256 steps: an opaque red pixel over the chessboard may come out
  // one level short.
  const Probe probes[] = {{10, 10, RGB(255, 0, 0)}, {150, 10, RGB(212, 208, 200)}, {170, 10, RGB(240, 255, 255)}};
  const auto near = [](TColorRef a, TColorRef b) {
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 1 && std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 1 &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 1;
  };
  const bool shown = WaitFor([&] {
    for (const Probe& p : probes)
      if (!near(ScreenPixel(view->Handle(), p.X, p.Y), p.Expected)) return false;
    return true;
  });
  for (const Probe& p : probes)
    std::printf("(%d, %d): %06X\n", p.X, p.Y, static_cast<unsigned>(ScreenPixel(view->Handle(), p.X, p.Y)));
  const bool saved = GrabScreenToFile(form->Handle(), shot);

  view->SetZoom(400);
  const bool bars = WaitFor([&] {
    return view->HScrollShown() && view->VScrollShown() && view->ClientWidth() < 200 && view->ClientHeight() < 100 &&
           ScreenPixel(form->Handle(), 199, 99) == RGB(212, 208, 200);
  });
  std::printf("zoom %.0f, client %d x %d, scroll bars %s\n", view->Zoom(), view->ClientWidth(), view->ClientHeight(),
              bars ? "shown" : "missing");
  const bool zoomedSaved = GrabScreenToFile(form->Handle(), zoomedShot);
  return shown && saved && bars && zoomedSaved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "view_smoke.png";
  // The zoomed shot goes beside the first: <name>_zoomed.png.
  const std::string zoomed =
      argc > 2 ? argv[2] : shot.substr(0, shot.size() - (shot.ends_with(".png") ? 4 : 0)) + "_zoomed.png";
  RtlStartup();
  FormsStartup();
  RegisterImageLibrary();
  StaticInitialize();
  int rc = Run(shot, zoomed);
  StaticFinalize();
  FormsShutdown();
  RtlShutdown();
  return rc;
}
