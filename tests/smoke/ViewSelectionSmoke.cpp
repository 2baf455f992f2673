// Shows an image view with a rectangle selection on a real display: a white 100 x 60 picture at
// 100 % in a 200 x 100 view, the selection (20, 10)-(80, 50) filled (inverted) with its grips.
// Grabs the window from the screen.
// Usage: view_selection_smoke <screenshot.png>. Exit code 0 when the display shows the inverted
// selection, the untouched picture around it and a grip.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"
#include "tests/smoke/SmokeSupport.h"
#include "view/pixoran.h"

namespace {

int Run(const std::string& shot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Selection");
  form->SetBounds(50, 50, 260, 180);
  form->SetClientWidth(200);
  form->SetClientHeight(100);
  auto* view = new TPixoran(form.get());  // owned by the form
  view->SetBorderStyle(bsNone);
  view->SetBackground(clBtnFace);
  view->SetParent(form.get());
  view->SetBounds(0, 0, 200, 100);
  TPXBitmap* picture = view->GetPXBitmap();
  picture->Allocate(100, 60, px24RGB);
  picture->Fill(static_cast<double>(clWhite));
  form->Show();
  view->Update();
  view->SetSelectionBase(pxsbBitmap);
  view->SetSelectionOptions(view->SelectionOptions() + pxsoFilled);
  view->Select(20, 10, 80, 50, 0);
  view->Invalidate();
  const int32_t ox = view->BitmapToClientX(0, true), oy = view->BitmapToClientY(0, true);
  struct Probe {
    int32_t X, Y;
    TColorRef Expected;
  };
  const Probe probes[] = {{ox + 50, oy + 30, RGB(0, 0, 0)},           // inside: inverted
                          {ox + 5, oy + 5, RGB(255, 255, 255)},       // picture outside
                          {ox + 50, oy + 12, RGB(0xFF, 0xFF, 0xBA)}}; // top side grip
  const bool shown = WaitFor([&] {
    for (const Probe& p : probes)
      if (ScreenPixel(view->Handle(), p.X, p.Y) != p.Expected) return false;
    return true;
  });
  for (const Probe& p : probes)
    std::printf("(%d, %d): %06X\n", p.X, p.Y, static_cast<unsigned>(ScreenPixel(view->Handle(), p.X, p.Y)));
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  return shown && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "view_selection_smoke.png";
  RtlStartup();
  FormsStartup();
  RegisterImageLibrary();
  StaticInitialize();
  int rc = Run(shot);
  StaticFinalize();
  FormsShutdown();
  RtlShutdown();
  return rc;
}
