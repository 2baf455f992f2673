// Opens a form with the application's styled main menu and its options page control on a real
// display, checks what the screen shows (the card's outline, the selected tab's bar), opens the
// File menu with the mouse, moves onto its first item and checks the drop-down window, then
// grabs the form from the screen.
// Usage: tabs_menu_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <memory>
#include <string>

#include "controls/CvControls.h"
#include "controls/CvPanel.h"
#include "controls/CvTabs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"
#include "tests/controls/MenuTestSupport.h"

namespace {

struct Probe {
  const char* What;
  HWND Window;
  TPoint At;  // client coordinates
  TColorRef Expected;
};

// Lets the display catch up until every probe shows its colour (at most 5 seconds).
bool Settle(const std::vector<Probe>& Probes) {
  const uint64_t start = GetTickCount64();
  bool all = false;
  while (GetTickCount64() - start < 5000) {
    Application()->ProcessMessages();
    all = true;
    for (const Probe& p : Probes) all = all && ScreenPixel(p.Window, p.At.X, p.At.Y) == p.Expected;
    if (all) break;
    Sleep(20);
  }
  for (const Probe& p : Probes) {
    const TColorRef seen = ScreenPixel(p.Window, p.At.X, p.At.Y);
    std::printf("%s: %06X (want %06X)\n", p.What, static_cast<unsigned>(seen), static_cast<unsigned>(p.Expected));
  }
  return all;
}

int Run(const std::string& shot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Quillane");
  form->SetBounds(40, 40, 740, 540);
  const TColor pale = static_cast<TColor>(RGB(226, 240, 246));
  form->SetColor(pale);
  AppMenu menu(form.get());
  auto* pages = new TCvPageControl(form.get());  // owned by the form
  pages->SetBounds(480, 10, 250, 378);
  pages->SetTabStyle(TCvTabStyle::tsRoundCorners);
  pages->SetFlatColor(13408306);
  pages->SetFlatColorAdjustment(30);
  pages->SetShowShadow(false);
  pages->SetParent(form.get());
  for (const char* caption : {"Reflection", "Wave"}) {
    auto* sheet = new TCvTabSheet(form.get());  // owned by the form
    sheet->SetCaption(caption);
    sheet->SetPageControl(pages);
    sheet->SetColor(pale);
  }
  pages->SetActivePage(pages->Pages(0));
  form->Show();
  bool ok = Settle({{"card outline", pages->Handle(), TPoint(249, 200), RGB(101, 175, 218)}});
  const TRect tab = pages->TabClientRect(0);  // laid out by the first paint
  ok = Settle({{"selected tab's bar", pages->Handle(), TPoint(tab.Left + 10, tab.Top + 3), RGB(10, 36, 106)}}) && ok;
  // The File menu by the mouse, then onto its first item.
  TRect file;
  GetMenuItemRect(form->Handle(), menu.Menu->Handle(), 0, &file);
  const TPoint at((file.Left + file.Right) / 2, (file.Top + file.Bottom) / 2);
  SimulateMouse(TSimMouseAction::Press, mbLeft, at);
  SimulateMouse(TSimMouseAction::Release, mbLeft, at);
  ProcessPending();
  HWND drop = MenuWindowFromMenu(menu.File->Handle());
  if (!drop) {
    std::printf("the File menu did not open\n");
    return 1;
  }
  TRect open;
  GetMenuItemRect(drop, menu.File->Handle(), 0, &open);
  SimulateMouse(TSimMouseAction::Move, mbLeft, TPoint(open.Left + 40, (open.Top + open.Bottom) / 2));
  ProcessPending();
  TPoint origin(0, 0);
  ClientToScreen(drop, &origin);
  ok = Settle({{"selected item's frame", drop, TPoint(open.Left - origin.X + 40, open.Top - origin.Y), RGB(48, 129, 208)}}) && ok;
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  std::printf("screenshot %s\n", saved ? shot.c_str() : "not saved");
  EndMenu();
  ProcessPending();
  return ok && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "tabs_menu_smoke.png";
  RtlStartup();
  FormsStartup();
  CvControlsStartup();
  int rc = Run(shot);
  CvControlsShutdown();
  FormsShutdown();
  RtlShutdown();
  return rc;
}
