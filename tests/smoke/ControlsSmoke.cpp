// Opens the frame of the main window on a real display (a gradient tool-bar panel, a gradient
// status bar whose pane holds a long path, a body panel with a border band and a right panel with
// two underlined group boxes), lets the toolkit show it, and grabs it from the screen.
// Usage: controls_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <memory>
#include <string>

#include "controls/CvControls.h"
#include "controls/CvPanel.h"
#include "controls/CvStatus.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr TColor Rgb(int R, int G, int B) { return static_cast<TColor>(RGB(R, G, B)); }

// A control made on the form (which owns it) in Parent.
template <class T>
T* Make(TForm* Form, TWinControl* Parent, TAlign Align, int32_t Size) {
  auto* c = new T(Form);  // owned by the form
  c->SetParent(Parent);
  c->SetAlign(Align);
  if (Align == alTop || Align == alBottom) c->SetHeight(Size);
  else if (Align == alLeft || Align == alRight) c->SetWidth(Size);
  return c;
}

struct Probe {
  const char* What;
  TControl* Control;
  TPoint At;  // in the control's client coordinates
  TColorRef Expected;
};

int Run(const std::string& shot) {
  using enum TFrameStyleEx;
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Controls");
  form->SetBounds(40, 40, 740, 540);
  const TColor pale = Rgb(226, 240, 246);
  form->SetColor(pale);

  auto* top = Make<TCvPanel>(form.get(), form.get(), alTop, 75);
  top->SetBorderOuter(fsNone);
  top->SetVisualStyle(vsGradient);
  top->SetGradientColorStyle(gcsCustom);
  top->SetGradientColorStart(clWhite);
  top->SetGradientColorStop(Rgb(216, 228, 248));

  auto* bar = Make<TCvStatusBar>(form.get(), form.get(), alBottom, 19);
  bar->SetAutoStyle(false);
  bar->SetBorderOuter(fsFlat);
  bar->SetBorderSides({sdTop});
  bar->SetVisualStyle(vsGradient);
  bar->SetGradientColorStyle(gcsCustom);
  bar->SetGradientColorStart(pale);
  bar->SetGradientColorStop(Rgb(165, 219, 245));
  auto* pane = Make<TCvStatusPane>(form.get(), bar, alClient, 0);
  pane->SetCaption("/home/user/Pictures/holidays/2023/the lake at dawn, reflected.png");

  auto* body = Make<TCvPanel>(form.get(), form.get(), alClient, 0);
  body->SetBorderOuter(fsNone);
  body->SetBorderWidth(5);
  body->SetBorderColor(pale);
  body->SetColor(pale);
  auto* right = Make<TCvPanel>(form.get(), body, alRight, 250);
  right->SetBorderOuter(fsNone);
  right->SetBorderWidth(6);
  right->SetBorderColor(pale);
  right->SetColor(pale);
  TCvGroupBox* boxes[2];
  for (TCvGroupBox*& g : boxes) {
    g = Make<TCvGroupBox>(form.get(), right, alTop, 111);
    g->SetGroupStyle(TCvGroupBoxStyle::gsUnderline);
    g->SetVisualStyle(vsGradient);
    g->SetColor(pale);
    g->SetCaption(" ");
  }
  auto* view = Make<TCvPanel>(form.get(), body, alClient, 0);
  view->SetBorderOuter(fsFlat);
  view->SetColor(clBtnFace);
  form->Show();

  const int32_t W = bar->Width();
  const int32_t underline = boxes[1]->Canvas()->TextHeight(" ") + 2;
  const Probe probes[] = {
      {"top panel's last row", top, TPoint(300, 74), RGB(216, 228, 248)},
      {"group box underline", boxes[1], TPoint(100, underline), RGB(159, 159, 159)},
      {"grip light", bar, TPoint(W - 3, 16), RGB(255, 255, 255)},
      {"grip dark", bar, TPoint(W - 5, 14), RGB(175, 168, 153)},
  };
  auto seen = [&](const Probe& p) {
    const TPoint s = form->ScreenToClient(p.Control->ClientToScreen(p.At));
    return ScreenPixel(form->Handle(), s.X, s.Y);
  };
  // Let the display map and paint the window.
  bool all = false;
  const uint64_t start = GetTickCount64();
  while (!all && GetTickCount64() - start < 5000) {
    Application()->ProcessMessages();
    all = true;
    for (const Probe& p : probes) all = all && seen(p) == p.Expected;
    if (!all) Sleep(20);
  }
  for (const Probe& p : probes)
    std::printf("%s: %06X (expected %06X)\n", p.What, static_cast<unsigned>(seen(p)), static_cast<unsigned>(p.Expected));
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  std::printf("screenshot %s\n", saved ? shot.c_str() : "not saved");
  return all && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "controls_smoke.png";
  RtlStartup();
  FormsStartup();
  CvControlsStartup();
  int rc = Run(shot);
  CvControlsShutdown();
  FormsShutdown();
  RtlShutdown();
  return rc;
}
