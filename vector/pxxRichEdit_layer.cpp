// The hidden rich edit that lays out and paints the rich text of text layers.
#include "vector/pxxRichEdit_layer.h"

#include "platform/forms/WinUser.h"
#include "vector/pxxRichEdit.h"

namespace {

class TPXHiddenLayerRichEdit : public IPXLayerRichEdit {
 public:
  TPXHiddenLayerRichEdit() {
    // The control needs a parent window to have a window of its own (layout, measuring and
    // painting go through its messages), but must never show: a message-only window serves.
    FParent = AllocateHWnd([](TMessage&) {});
    FEdit = std::make_unique<TPXRichEdit>(nullptr);
    FEdit->SetVisible(false);
    FEdit->SetWordWrap(false);
    FEdit->SetBounds(0, 0, 200, 100);
    FEdit->SetParentWindow(FParent);
    FEdit->HandleNeeded();
  }
  ~TPXHiddenLayerRichEdit() override {
    FEdit.reset();
    if (FParent) DeallocateHWnd(FParent);
  }
  TPXHiddenLayerRichEdit(const TPXHiddenLayerRichEdit&) = delete;
  TPXHiddenLayerRichEdit& operator=(const TPXHiddenLayerRichEdit&) = delete;

  void SetRTFText(const std::string& Rtf) override { FEdit->SetRTFText(Rtf); }
  std::string GetPlainText() override { return FEdit->GetText(); }
  void PaintToDC(HDC DC, const TRect& Rect, int32_t HAlign, uint8_t VAlign, double ZoomX, double ZoomY) override {
    FEdit->PaintToDC(DC, Rect, HAlign, VAlign, ZoomX, ZoomY);
  }
  int32_t GetUnwrappedWidth() override { return FEdit->GetUnwrappedWidth(); }
  int32_t MeasureRichTextHeight(HDC DC, int32_t Width) override {
    return TPXRichEdit::MeasureRichTextHeight(FEdit.get(), DC, Width);
  }
  int32_t GetTextAttributesHeight() override { return FEdit->SelAttributes()->Height(); }
  void AddTransparentStyle() override {
    const HWND wnd = FEdit->Handle();
    SetWindowLong(wnd, GWL_EXSTYLE, GetWindowLong(wnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
  }

 private:
  HWND FParent = nullptr;
  std::unique_ptr<TPXRichEdit> FEdit;
};

}  // namespace

std::unique_ptr<IPXLayerRichEdit> CreateHiddenLayerRichEdit() { return std::make_unique<TPXHiddenLayerRichEdit>(); }

void RegisterRichEditLayerUnit() { SetLayerRichEditFactory(&CreateHiddenLayerRichEdit); }
