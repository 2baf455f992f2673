// Shows the rich edit on a real display: formatted text loaded as RTF, a word typed into it and
// selected. Reads a few pixels back from the screen and grabs the window.
// Usage: richedit_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "tests/smoke/LibrarySmoke.h"
#include "tests/smoke/SmokeSupport.h"
#include "vector/pxxRichEdit.h"

namespace {

int Run(const std::string& shot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Rich text");
  form->SetBounds(50, 50, 340, 200);
  form->SetClientWidth(320);
  form->SetClientHeight(160);
  auto* edit = new TPXRichEdit(form.get());  // owned by the form
  edit->SetParent(form.get());
  edit->SetBounds(10, 10, 300, 140);
  edit->SetRTFText(
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red200\\green0\\blue0;}"
      "\\f0\\fs32 {\\b Bold} {\\cf1 red} text\\par\\qc centred\\par}");
  form->Show();
  edit->SetFocus();
  edit->SetSelection(edit->Doc().TextLength(), edit->Doc().TextLength(), true);
  Application()->ProcessMessages();
  for (char ch : std::string(" Quillane")) {
    const uint16_t vk = static_cast<uint16_t>(ch >= 'a' ? ch - 32 : ch);
    SimulateKey(true, vk, std::string(1, ch));
    SimulateKey(false, vk);
    Application()->ProcessMessages();
  }
  const int32_t end = edit->Doc().TextLength();
  edit->SetSelection(end - 8, end, false);
  const TPoint sel = edit->PosFromChar(end - 8);
  const TColorRef highlight = static_cast<TColorRef>(ColorToRGB(clHighlight));
  // The word's cell shows the highlight above the small letters; the red word has red ink; the
  // right part of the first line is white.
  const TPoint red = edit->PosFromChar(5);
  const bool shown = WaitFor([&] {
    bool reddish = false;
    for (int32_t x = red.X; x < red.X + 20; ++x)
      for (int32_t y = red.Y; y < red.Y + 20; ++y) {
        const TColorRef c = ScreenPixel(edit->Handle(), x, y);
        reddish = reddish || (GetRValue(c) > 150 && GetGValue(c) < 80 && GetBValue(c) < 80);
      }
    return reddish && ScreenPixel(edit->Handle(), sel.X + 3, sel.Y + 2) == highlight &&
           ScreenPixel(edit->Handle(), 280, red.Y + 4) == RGB(255, 255, 255);
  });
  std::printf("text \"%s\", selection cell %06X\n", edit->GetText().c_str(),
              static_cast<unsigned>(ScreenPixel(edit->Handle(), sel.X + 3, sel.Y + 2)));
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  return shown && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "richedit_smoke.png";
  return RunWithLibrary([&] { return Run(shot); });
}
