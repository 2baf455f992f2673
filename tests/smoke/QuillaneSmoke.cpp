// The program itself on a real display: its own start-up and message loop, with Options.ini
// ("Size=50") in a folder of its own. It opens a picture with a transparent hole through the
// Open button (dialog scripted), waits for the view's first paint and checks what the display
// shows: the picture's colour, the chessboard through the hole's mirror in the cleared half of
// the reflection, the pale band of the window, the styled menu bar; then grabs the window and
// ends the program through File > Exit. Usage: quillane_smoke <screenshot.png>. Exit code 0 when
// all showed.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/Quillane.h"
#include "app/UnitQuillane.h"
#include "controls/CvButton.h"
#include "controls/CvMenus.h"
#include "controls/CvPanel.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "view/pixoran.h"

namespace {

constexpr int32_t W = 40, H = 30;
constexpr TRGB kColour{40, 160, 200};  // blue, green, red

// A picture W x H in kColour with a transparent hole at rows 2..10, columns 10..29: mirrored
// below it, the hole lies in the half of the reflection that size 50 clears.
void WriteFixture(const std::string& File) {
  TPixoran view(nullptr);
  TPXBitmap* b = view.GetPXBitmap();
  b->Allocate(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      *b->GetPixelPtr24(x, y) = kColour;
      b->SetAlpha(x, y, y >= 2 && y <= 10 && x >= 10 && x <= 29 ? 0 : 255);
    }
  view.IO()->SaveToFile(File, 0);
}

struct TSmoke {
  std::string Shot;
  std::string Folder;
  TTimer* Timer = nullptr;
  int32_t State = 0;
  uint64_t Start = 0;
  bool Painted = false;
  bool Ok = false;

  TColorRef Screen(TControl* C, int32_t X, int32_t Y) {
    const TPoint p = FrmQuillane->ScreenToClient(C->ClientToScreen(TPoint(X, Y)));
    return ScreenPixel(FrmQuillane->Handle(), p.X, p.Y);
  }

  void Tick() {
    TFrmQuillane* f = FrmQuillane;
    TPixoran* v = f->PixoranDis;
    if (State == 0) {
      TDialogScript::Push(TDialogAnswer::ChooseFiles({Folder + "fixture.png"}));
      v->SetOnPaint([this](TObject*) { Painted = true; });
      f->M_OpenClick(f->BtnOpen);
      Start = GetTickCount64();
      State = 1;
      return;
    }
    // Client points of the view: the picture at (5, 20), the hole's mirror at (20, 53).
    const TColorRef picture = Screen(v, v->BitmapToClientX(5, false), v->BitmapToClientY(20, false));
    const TColorRef mirror = Screen(v, v->BitmapToClientX(20, false), v->BitmapToClientY(53, false));
    const TColorRef band = Screen(f->CvPanel2, 2, 2);
    // The File item of the menu bar: the top row of the styler's root gradient.
    TColorRef menu = CLR_INVALID;
    TRect file;
    if (TWinControl* bar = f->MenuBar(); bar && GetMenuItemRect(f->Handle(), f->CvMainMenu1->Handle(), 0, &file)) {
      const TPoint o = bar->ClientToScreen(TPoint(0, 0));
      menu = Screen(bar, file.Left - o.X + 2, file.Top - o.Y);
    }
    const bool chessboard = mirror == RGB(212, 208, 200) || mirror == RGB(240, 255, 255);
    const bool seen = Painted && picture == RGB(kColour.r, kColour.g, kColour.b) && chessboard &&
                      band == RGB(226, 240, 246) && menu == RGB(141, 210, 243);
    if (!seen && GetTickCount64() - Start < 5000) return;
    Timer->SetEnabled(false);
    std::printf("loaded: %s, zoom %.0f, first paint: %s\n", f->ImageLoaded() ? "yes" : "no", v->Zoom(), Painted ? "yes" : "no");
    std::printf("picture: %06X (expected %06X)\n", static_cast<unsigned>(picture),
                static_cast<unsigned>(RGB(kColour.r, kColour.g, kColour.b)));
    std::printf("hole's mirror: %06X (expected D4D0C8 or FFFFF0: the chessboard)\n", static_cast<unsigned>(mirror));
    std::printf("band: %06X (expected F6F0E2)\n", static_cast<unsigned>(band));
    std::printf("menu bar: %06X (expected F3D28D)\n", static_cast<unsigned>(menu));
    const bool saved = GrabScreenToFile(f->Handle(), Shot);
    std::printf("screenshot %s\n", saved ? Shot.c_str() : "not saved");
    Ok = seen && saved && f->Label9->Caption() == "50%";
    // File > Exit ends the message loop.
    f->M_Close->Click();
  }
};

}  // namespace

int main(int argc, char** argv) {
  TSmoke smoke;
  smoke.Shot = argc > 1 ? argv[1] : "quillane_smoke.png";
  char folder[] = "/tmp/quillane-smoke-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  smoke.Folder = std::string(folder) + "/";
  std::ofstream(smoke.Folder + "Options.ini") << "[OPTIONS]\nSize=50\n[LANGUAGE]\nDefault=7\n";
  AppDirOverride = smoke.Folder;
  const int rc = QuillaneMain([&] {
    WriteFixture(smoke.Folder + "fixture.png");
    TDialogScript::Start();
    smoke.Timer = new TTimer(FrmQuillane);  // owned by the window
    smoke.Timer->SetInterval(50);
    smoke.Timer->SetOnTimer([&](TObject*) { smoke.Tick(); });
    smoke.Timer->SetEnabled(true);
  });
  TDialogScript::Stop();
  std::ifstream options(smoke.Folder + "Options.ini");
  const std::string text(std::istreambuf_iterator<char>(options), {});
  const bool written = text.find("Size=50") != std::string::npos;
  std::printf("program exit code %d, Options.ini written at exit: %s\n", rc, written ? "yes" : "no");
  for (const char* name : {"fixture.png", "Options.ini"}) std::remove((smoke.Folder + name).c_str());
  rmdir(folder);
  return rc == 0 && smoke.Ok && written ? 0 : 1;
}
