// TBitBtn: the push button with a picture beside its caption. A kind other than bkCustom gives
// the button its caption, modal result, default or cancel role and a picture of our own.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/forms/StdCtrls.h"

enum class TBitBtnKind : uint8_t {
  bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll
};
using enum TBitBtnKind;
// The picture's side of the caption (the class library's TButtonLayout; scoped, as the owner-drawn
// buttons have their own).
enum class TBitBtnLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
PTypeInfo TypeInfo_TBitBtnKind();
PTypeInfo TypeInfo_TBitBtnLayout();

class TBitBtn : public TButton {
  PX_CLASS(TBitBtn)
 public:
  explicit TBitBtn(TComponent* AOwner);
  ~TBitBtn() override;

  // The picture; its bottom-left pixel's colour is transparent. With NumGlyphs 2..4 it holds
  // that many images side by side: normal, disabled, pushed, down.
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  int32_t NumGlyphs() const { return num_glyphs_; }
  void SetNumGlyphs(int32_t Value);
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind Value);
  TBitBtnLayout Layout() const { return layout_; }
  void SetLayout(TBitBtnLayout Value);
  // Pixels from the edge to the picture (-1: picture and caption centred together).
  int32_t Margin() const { return margin_; }
  void SetMargin(int32_t Value);
  // Pixels between picture and caption.
  int32_t Spacing() const { return spacing_; }
  void SetSpacing(int32_t Value);

  // Where the picture and the caption go inside the face R (what Paint uses).
  void ContentLayout(const TRect& R, TRect& GlyphRect, TRect& TextRect);

 protected:
  void PaintContent(TCanvas* ACanvas, TRect R, bool IsPushed) override;

 private:
  void GlyphChanged(TObject* Sender);
  std::unique_ptr<TBitmap> glyph_;
  int32_t num_glyphs_ = 1;
  TBitBtnKind kind_ = bkCustom;
  TBitBtnLayout layout_ = TBitBtnLayout::blGlyphLeft;
  int32_t margin_ = -1;
  int32_t spacing_ = 4;
  bool kind_glyph_ = false;  // the glyph is the kind's own
};
