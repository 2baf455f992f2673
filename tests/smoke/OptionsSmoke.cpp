// Opens a form like the options pane's first page and the zoom bar on a real display: three track
// bars with the custom thumb, four grouped position buttons, a spin edit with flat buttons,
// hot-track radio buttons and a check box, and four zoom buttons with hints. Then rests the mouse
// on the "Fit" button until its hot frame and its hint window show, and grabs the form.
// Usage: options_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvControls.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTrkBar.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Classes_streams.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"
#include "tests/smoke/SmokeSupport.h"

namespace {

constexpr TColor Rgb(int R, int G, int B) { return static_cast<TColor>(RGB(R, G, B)); }

template <class T>
T* Make(TForm* Form, TWinControl* Parent, int32_t L, int32_t T_, int32_t W, int32_t H) {
  auto* c = new T(Form);  // owned by the form
  c->SetBounds(L, T_, W, H);
  c->SetParent(Parent);
  return c;
}

std::unique_ptr<TBitmap> Resource(const char* Name) {
  auto b = std::make_unique<TBitmap>();
  b->LoadFromResourceName(HInstance, Name);
  return b;
}

int Run(const std::string& shot) {
  const TColor pale = Rgb(226, 240, 246);
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Options");
  form->SetBounds(40, 40, 480, 420);
  form->SetColor(pale);
  TForm* f = form.get();

  auto* page = Make<TCvPanel>(f, f, 10, 10, 240, 360);
  page->SetBorderOuter(TFrameStyleEx::fsNone);
  page->SetColor(pale);

  // The position buttons: left, top, right, bottom, one of them down.
  const char* sides[] = {"LEFT", "TOP", "RIGHT", "BOTTOM"};
  for (int32_t i = 0; i < 4; ++i) {
    auto* b = Make<TCvBmpButton>(f, page, 10 + i * 40, 10, 33, 23);
    const std::string side = sides[i];
    b->Bitmaps()->SetUp(Resource(("QUILLANE_" + side + "_UP").c_str()).get());
    b->Bitmaps()->SetDown(Resource(("QUILLANE_" + side + "_DOWN").c_str()).get());
    b->Bitmaps()->SetHot(Resource(("QUILLANE_" + side + "_HOT").c_str()).get());
    b->SetGroupIndex(2);
    b->SetTabStop(false);
    if (i == 2) b->SetDown(true);
  }

  auto* spin = Make<TCvSpinEdit>(f, page, 10, 45, 47, 21);
  spin->SetMin(-500);
  spin->SetMax(500);
  spin->SetAllowBlank(true);
  spin->SetAllowKeyEdit(true);
  spin->SetFlatButtons(true);
  spin->SetFrameVisible(true);

  // The track bars with the application's thumb.
  TCvTrackBar* bars[3];
  for (int32_t i = 0; i < 3; ++i) {
    TCvTrackBar* t = bars[i] = Make<TCvTrackBar>(f, page, 10, 80 + i * 34, 181, 24);
    t->SetMax(100);
    t->SetPosition(25 * (i + 1));
    t->SetShowTicks(false);
    t->SetCustomThumb(Resource("QUILLANE_THUMB").get());
    t->SetTrackColor(pale);
    t->SetTrackFrameColor(Rgb(50, 152, 204));
    t->SetTrackOffset(10);
    t->SetTrackFrame(TFrameStyleEx::fsFlat);
    t->SetTrackWidth(4);
  }

  const char* radios[] = {"&Grey", "&Black and white", "Hidden"};
  for (int32_t i = 0; i < 3; ++i) {
    auto* r = Make<TCvRadioButton>(f, page, 10, 190 + i * 22, 200, 20);
    r->SetCaption(radios[i]);
    r->SetHotTrack(true);
    r->SetVisible(i < 2);
    if (i == 0) r->SetChecked(true);
  }
  auto* wave = Make<TCvCheckBox>(f, page, 10, 260, 200, 20);
  wave->SetCaption("&Wave");
  wave->SetHotTrack(true);
  wave->SetTransparent(true);
  wave->SetChecked(true);

  // The zoom bar: fit, real size, zoom in, zoom out (images 3 to 6 of the 16-pixel glyphs).
  auto images = std::make_unique<TCustomImageList>(16, 16);
  images->AddMasked(Resource("QUILLANE_GLYPHS16").get(), clFuchsia);
  auto* zoom = Make<TCvPanel>(f, f, 270, 10, 120, 35);
  zoom->SetBorderOuter(TFrameStyleEx::fsNone);
  zoom->SetColor(pale);
  const char* hints[] = {"Fit|Fits the picture", "Real size|Shows the picture at 100 %", "Zoom in|Enlarges",
                         "Zoom out|Reduces"};
  TCvToolButton* fit = nullptr;
  for (int32_t i = 0; i < 4; ++i) {
    auto* z = Make<TCvToolButton>(f, zoom, 5 + i * 27, 5, 25, 25);
    z->SetImages(images.get());
    z->SetImageIndex(3 + i);
    z->SetVisualStyle(vsGradient);
    z->SetGradientColorStyle(gcsCustom);
    z->SetSelectionColorStart(Rgb(141, 210, 243));
    z->SetSelectionColorStop(Rgb(57, 171, 225));
    z->SetSelectionFrameColor(Rgb(48, 129, 208));
    z->SetHint(hints[i]);
    z->SetShowHint(true);
    if (i == 0) fit = z;
  }
  form->Show();

  auto screen = [&](TControl* C, int32_t X, int32_t Y) {
    const TPoint s = form->ScreenToClient(C->ClientToScreen(TPoint(X, Y)));
    return ScreenPixel(form->Handle(), s.X, s.Y);
  };
  // The track's frame shows once the display painted the form.
  TColorRef frame = CLR_INVALID;
  WaitFor([&] { return (frame = screen(bars[0], 40, 10)) == RGB(50, 152, 204); });
  std::printf("track frame: %06X (expected 3298CC)\n", static_cast<unsigned>(frame));

  // Resting on "Fit": its hot frame, then the hint window below the cursor.
  const TPoint cursor = fit->ClientToScreen(TPoint(12, 12));
  SimulateMouse(TSimMouseAction::Move, mbLeft, cursor);
  TColorRef hot = CLR_INVALID;
  WaitFor([&] { return (hot = screen(fit, 0, 0)) == RGB(48, 129, 208); });
  std::printf("fit button's hot frame: %06X (expected 3081D0)\n", static_cast<unsigned>(hot));
  TColorRef inside = CLR_INVALID;
  TRect hintRect;
  const bool hinted = WaitFor([&] {
    THintWindow* hint = Application()->HintWindow();
    if (!hint || !hint->HandleAllocated() || !IsWindowVisible(hint->Handle())) return false;
    GetWindowRect(hint->Handle(), &hintRect);
    inside = ScreenPixel(hint->Handle(), 1, 1);
    return inside == RGB(255, 255, 225);
  });
  const bool below = hinted && hintRect.Top > cursor.Y;
  std::printf("hint window: %06X inside (expected FFFFE1), top %d below the cursor at %d: %s\n",
              static_cast<unsigned>(inside), hintRect.Top, cursor.Y, below ? "yes" : "no");
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  const std::string hintShot = shot.substr(0, shot.rfind('.')) + "_hint.png";
  const bool hintSaved = hinted && GrabScreenToFile(Application()->HintWindow()->Handle(), hintShot);
  std::printf("screenshots %s, %s\n", saved ? shot.c_str() : "not saved", hintSaved ? hintShot.c_str() : "not saved");
  const bool ok = frame == RGB(50, 152, 204) && hot == RGB(48, 129, 208) && below && saved && hintSaved;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "options_smoke.png";
  RtlStartup();
  FormsStartup();
  CvControlsStartup();
  int rc = Run(shot);
  CvControlsShutdown();
  FormsShutdown();
  RtlShutdown();
  return rc;
}
