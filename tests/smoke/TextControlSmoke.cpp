// Shows the in-place text control on a real display: text typed into it, its last space and word
// selected (drawn complemented on a solid brush). Reads a few pixels back from the screen and
// grabs the window.
// Usage: textcontrol_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/SysUtils.h"
#include "vector/pxtextc.h"
#include "tests/smoke/LibrarySmoke.h"
#include "tests/smoke/SmokeSupport.h"

namespace {

int Run(const std::string& shot) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Text");
  form->SetBounds(50, 50, 320, 160);
  form->SetClientWidth(300);
  form->SetClientHeight(120);
  auto* text = new TPXTextControl(form.get());  // owned by the form
  text->Font()->SetName("Arial");
  text->Font()->SetHeight(-24);
  text->Font()->SetColor(clBlack);
  text->TextBrush()->SetColor(clWhite);
  text->TextBrush()->SetStyle(bsClear);
  text->BoxBrush()->SetColor(clWhite);
  text->BorderPen()->SetColor(clNone);
  text->SetParent(form.get());
  text->SetBounds(0, 0, 300, 120);
  text->PrepareText();
  form->Show();
  text->SetFocus();
  Application()->ProcessMessages();
  for (char ch : std::string("Quillane text")) {
    const uint16_t vk = static_cast<uint16_t>(ch >= 'a' ? ch - 32 : ch);  // VK_SPACE is the space
    SimulateKey(true, vk, std::string(1, ch));
    SimulateKey(false, vk);
    Application()->ProcessMessages();
  }
  text->SetSelection(8, 13);  // the space and "text"
  text->Invalidate();
  const bool typed = WaitFor([&] { return text->Text() == u"Quillane text" && text->CharX(8) > 0; });
  const int32_t cellY = text->CharY(8) + 14;
  // The selected space's cell is black; the box's right part white; the first letter has ink.
  const bool shown = typed && WaitFor([&] {
    bool ink = false;
    for (int32_t x = text->CharX(0); x < text->CharX(1); ++x)
      ink = ink || ScreenPixel(text->Handle(), x, cellY) != RGB(255, 255, 255);
    return ink && ScreenPixel(text->Handle(), text->CharX(8) + 2, cellY) == RGB(0, 0, 0) &&
           ScreenPixel(text->Handle(), 290, 100) == RGB(255, 255, 255);
  });
  std::printf("typed %s, selection cell %06X, box %06X\n", typed ? "yes" : "no",
              static_cast<unsigned>(ScreenPixel(text->Handle(), text->CharX(8) + 2, cellY)),
              static_cast<unsigned>(ScreenPixel(text->Handle(), 290, 100)));
  const bool saved = GrabScreenToFile(form->Handle(), shot);
  return shown && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "textcontrol_smoke.png";
  return RunWithLibrary([&] { return Run(shot); });
}
