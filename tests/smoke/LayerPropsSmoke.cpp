// Shows the layer properties dialog on a real display, on its General page for an image layer
// of a view. Reads a few pixels back from the screen and grabs the window.
// Usage: layerprops_smoke <screenshot.png>. Exit code 0 when the display shows what was painted.
#include <cstdio>
#include <memory>
#include <string>

#include "core/pxxBitmaps.h"
#include "platform/forms/ComCtrls_pages.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/StdCtrls.h"
#include "tests/smoke/LibrarySmoke.h"
#include "tests/smoke/SmokeSupport.h"
#include "vector/pxxLayerProps.h"
#include "view/pixoranview.h"

namespace {

int Run(const std::string& shot) {
  RegisterLayerPropertiesClasses();
  auto host = std::make_unique<TForm>(nullptr);
  host->SetBounds(20, 20, 320, 240);
  auto* view = new TPixoranView(host.get());  // owned by the form
  view->SetParent(host.get());
  view->SetBounds(0, 0, 300, 200);
  view->GetPXBitmap()->Allocate(120, 80, px24RGB);
  view->GetPXBitmap()->Fill(static_cast<double>(clWhite));
  view->Update();
  view->LayersAdd(pxlkImage, 10, 10, 40, 30);
  host->Show();
  std::unique_ptr<TPXLayerProperties> dialog(TCustomForm::Create<TPXLayerProperties>(nullptr));
  dialog->SetView(view);
  dialog->SetLayerIndex(1);
  dialog->Show();
  Application()->ProcessMessages();
  // The name edit's white inside, the page's face, and the active tab's highlighted top edge.
  TPageControl* pages = dialog->PageControl1;
  const TRect tab = pages->TabRects()[0];
  const TColorRef face = static_cast<TColorRef>(ColorToRGB(clBtnFace));
  const bool shown = WaitFor([&] {
    return ScreenPixel(dialog->edtName->Handle(), 20, 10) == RGB(255, 255, 255) &&
           ScreenPixel(dialog->tabGeneral->Handle(), 200, 320) == face &&
           ScreenPixel(pages->Handle(), (tab.Left + tab.Right) / 2, 0) == RGB(255, 255, 255);
  });
  std::printf("title \"%s\", name \"%s\"\n", dialog->lblSelectedLayer->Caption().c_str(),
              dialog->edtName->Text().c_str());
  const bool saved = GrabScreenToFile(dialog->Handle(), shot);
  dialog->Hide();
  return shown && saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shot = argc > 1 ? argv[1] : "layerprops_smoke.png";
  return RunWithLibrary([&] { return Run(shot); });
}
