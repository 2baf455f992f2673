// Opens a form on a real display, lets the toolkit show it, and grabs it from the screen:
// the real-window path (widgets, painting, flushing to the display) end to end; then rests the
// mouse on a control until its hint window shows, and grabs that too.
// Usage: forms_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"
#include "tests/smoke/SmokeSupport.h"

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
  swatch->SetHint("Fit|Fits the picture");
  swatch->SetShowHint(true);
  form->Show();
  // Let the display map and paint the window.
  TColorRef seen = CLR_INVALID;
  WaitFor([&] { return (seen = ScreenPixel(swatch->Handle(), 50, 30)) == RGB(200, 30, 40); });
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  std::printf("screen pixel %06X, screenshot %s\n", static_cast<unsigned>(seen), saved ? shot.c_str() : "not saved");

  // Resting on the swatch shows its hint window: the hint colour inside a black frame.
  SimulateMouse(TSimMouseAction::Move, mbLeft, swatch->ClientToScreen(TPoint(10, 10)));
  TColorRef hintInside = CLR_INVALID, hintFrame = CLR_INVALID;
  const bool hinted = WaitFor([&] {
    THintWindow* hint = Application()->HintWindow();
    if (!hint || !hint->HandleAllocated() || !IsWindowVisible(hint->Handle())) return false;
    hintInside = ScreenPixel(hint->Handle(), 1, 1);
    hintFrame = ScreenPixel(hint->Handle(), -1, -1);
    return hintInside == RGB(255, 255, 225) && hintFrame == RGB(0, 0, 0);
  });
  const std::string hintShot = shot.substr(0, shot.rfind('.')) + "_hint.png";
  const bool hintSaved = hinted && GrabScreenToFile(Application()->HintWindow()->Handle(), hintShot);
  std::printf("hint pixels %06X inside, %06X frame, screenshot %s\n", static_cast<unsigned>(hintInside),
              static_cast<unsigned>(hintFrame), hintSaved ? hintShot.c_str() : "not saved");
  return seen == RGB(200, 30, 40) && saved && hinted && hintSaved ? 0 : 1;
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
