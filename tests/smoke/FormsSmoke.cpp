// Opens a form on a real display, lets the toolkit show it, and grabs it from the screen:
// the real-window path (widgets, painting, flushing to the display) end to end.
// Usage: forms_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"

namespace {

class TSwatch : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(200, 30, 40)));
    Canvas()->FillRect(ClientRect());
  }
};

int Run(const std::string& shot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Smoke");
  form->SetBounds(50, 50, 320, 240);
  auto* swatch = new TSwatch(form.get());  // owned by the form
  swatch->SetBounds(20, 20, 100, 60);
  swatch->SetParent(form.get());
  form->Show();
  // Let the display map and paint the window.
  TColorRef seen = CLR_INVALID;
  const uint64_t start = GetTickCount64();
  while (GetTickCount64() - start < 5000) {
    Application()->ProcessMessages();
    seen = ScreenPixel(swatch->Handle(), 50, 30);
    if (seen == RGB(200, 30, 40)) break;
    Sleep(20);
  }
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  std::printf("screen pixel %06X, screenshot %s\n", static_cast<unsigned>(seen), saved ? shot.c_str() : "not saved");
  return seen == RGB(200, 30, 40) && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "forms_smoke.png";
  RtlStartup();
  FormsStartup();
  int rc = Run(shot);
  FormsShutdown();
  RtlShutdown();
  return rc;
}
