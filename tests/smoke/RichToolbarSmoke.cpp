// Shows a focused rich edit with its floating tool bar on a real display. Reads the bar's black
// frame, its panel and the colour square back from the screen and grabs the screen around both.
// Usage: richtoolbar_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/forms/ExtCtrls_paintbox.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "tests/smoke/LibrarySmoke.h"
#include "tests/smoke/SmokeSupport.h"
#include "vector/pxxRichEdit.h"
#include "vector/pxxToolbars.h"

namespace {

int Run(const std::string& shot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Rich text tool bar");
  form->SetBounds(40, 120, 440, 220);
  auto* edit = new TPXRichEdit(form.get());  // owned by the form
  edit->SetParent(form.get());
  edit->SetBounds(10, 10, 410, 160);
  edit->SetRTFText(
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red200\\green0\\blue0;}"
      "\\f0\\fs28\\cf1 {\\b Bold} red text\\par\\pard\\fi-200\\li400{\\pntext\\'b7\\tab}bulleted\\par}");
  TPXRichAutoToolbar settings;
  settings.SetEnabled(true);
  settings.SetPosition(pxpBelow);
  edit->SetAutoToolbar(&settings);
  form->Show();
  edit->SetFocus();
  edit->SetSelection(0, 4, false);
  Application()->ProcessMessages();
  TPXRichToolbar* bar = edit->Toolbar();
  if (!bar || !bar->Visible()) {
    std::printf("the tool bar did not show\n");
    return 1;
  }
  const TPoint square = bar->ScreenToClient(bar->pbxFontColor->ClientToScreen(TPoint(9, 15)));
  const TColorRef face = static_cast<TColorRef>(ColorToRGB(clBtnFace));
  const bool shown = WaitFor([&] {
    return ScreenPixel(bar->Handle(), -1, 5) == RGB(0, 0, 0) && ScreenPixel(bar->Handle(), 1, 1) == face &&
           ScreenPixel(bar->Handle(), square.X, square.Y) == RGB(200, 0, 0);
  });
  std::printf("bar at (%d, %d) %d x %d, frame %06X, square %06X\n", bar->Left(), bar->Top(), bar->Width(),
              bar->Height(), static_cast<unsigned>(ScreenPixel(bar->Handle(), -1, 5)),
              static_cast<unsigned>(ScreenPixel(bar->Handle(), square.X, square.Y)));
  const bool saved = GrabScreenToFile(bar->Handle(), shot);
  return shown && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "richtoolbar_smoke.png";
  return RunWithLibrary([&] { return Run(shot); });
}
