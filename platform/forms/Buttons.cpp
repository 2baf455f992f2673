// TBitBtn: kinds, pictures and the layout of picture and caption on the face.
#include "platform/forms/Buttons.h"

#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

PTypeInfo TypeInfo_TBitBtnKind() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TBitBtnKind",
      {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"});
  return &info;
}

PTypeInfo TypeInfo_TBitBtnLayout() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TButtonLayout", {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
  return &info;
}

namespace {

struct KindInfo {
  const char* Caption;
  TModalResult Result;
  char Picture;  // 'v' check, 'x' cross, '?' question, 'r' retry, 0 none
};

const KindInfo kKinds[] = {
    {"", mrNone, 0},          {"OK", mrOk, 'v'},        {"Cancel", mrCancel, 'x'}, {"&Help", mrNone, '?'},
    {"&Yes", mrYes, 'v'},     {"&No", mrNo, 'x'},       {"&Close", mrNone, 'x'},   {"Abort", mrAbort, 'x'},
    {"&Retry", mrRetry, 'r'}, {"&Ignore", mrIgnore, 'v'}, {"&All", mrAll, 'v'},
};

constexpr TColor kGlyphBack = clOlive;  // the kinds' pictures' transparent colour

// Draws a kind's 18 x 18 picture (lines 3 pixels wide) on a bitmap whose bottom-left pixel is
// the transparent colour.
void DrawKindPicture(TBitmap* B, char Picture) {
  B->SetSize(18, 18);
  TCanvas* c = B->Canvas();
  c->Brush()->SetColor(kGlyphBack);
  c->FillRect(TRect(0, 0, 18, 18));
  c->Pen()->SetWidth(3);
  switch (Picture) {
    case 'v':
      c->Pen()->SetColor(clGreen);
      c->MoveTo(3, 9);
      c->LineTo(7, 13);
      c->LineTo(15, 4);
      break;
    case 'x':
      c->Pen()->SetColor(clRed);
      c->MoveTo(4, 4);
      c->LineTo(14, 14);
      c->MoveTo(14, 4);
      c->LineTo(4, 14);
      break;
    case 'r':
      c->Pen()->SetColor(clNavy);
      c->Brush()->SetStyle(bsClear);
      c->Arc(3, 3, 15, 15, 15, 9, 9, 3);
      c->MoveTo(9, 1);
      c->LineTo(11, 3);
      c->LineTo(9, 5);
      break;
    case '?':
      c->Font()->SetName("Tahoma");
      c->Font()->SetHeight(-16);
      c->Font()->SetStyle({fsBold});
      c->Font()->SetColor(clNavy);
      c->Brush()->SetStyle(bsClear);
      c->TextOut((18 - c->TextWidth("?")) / 2, 0, "?");
      break;
    default: break;
  }
  c->Pen()->SetWidth(1);
}

// The caption as shown: '&' marks the next character, "&&" shows one.
std::string WithoutPrefixes(const std::string& S) {
  std::string out;
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == '&' && i + 1 < S.size()) ++i;
    else if (S[i] == '&') continue;
    out.push_back(S[i]);
  }
  return out;
}

}  // namespace

PX_CLASS_INFO(TBitBtn, TButton, [](TPropertyBuilder<TBitBtn>& b) {
  b.Object<TBitmap>("Glyph", &TBitBtn::Glyph, &TBitBtn::SetGlyph).Stored([](TBitBtn* c) {
    return c->Kind() == bkCustom;
  });
  b.Enum("Kind", TypeInfo_TBitBtnKind(), &TBitBtn::Kind, &TBitBtn::SetKind).Default(bkCustom);
  b.Enum("Layout", TypeInfo_TBitBtnLayout(), &TBitBtn::Layout, &TBitBtn::SetLayout).Default(TBitBtnLayout::blGlyphLeft);
  b.Int("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin).Default(-1);
  b.Int("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs).Default(1);
  b.Int("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing).Default(4);
})

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), glyph_(std::make_unique<TBitmap>()) {
  glyph_->SetTransparent(true);
  glyph_->SetOnChange(TNotifyEvent(this, &TBitBtn::GlyphChanged));
}

TBitBtn::~TBitBtn() = default;

void TBitBtn::GlyphChanged(TObject*) {
  kind_glyph_ = false;
  Invalidate();
}

void TBitBtn::SetGlyph(TBitmap* Value) {
  glyph_->Assign(Value);
  glyph_->SetTransparent(true);
  kind_glyph_ = false;
  // A strip of square images tells how many it holds.
  if (!glyph_->Empty() && glyph_->Height() > 0 && glyph_->Width() % glyph_->Height() == 0) {
    const int32_t n = glyph_->Width() / glyph_->Height();
    if (n >= 1 && n <= 4) num_glyphs_ = n;
  }
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int32_t Value) {
  num_glyphs_ = std::clamp(Value, 1, 4);
  Invalidate();
}

void TBitBtn::SetKind(TBitBtnKind Value) {
  if (kind_ == Value) return;
  const KindInfo& old = kKinds[static_cast<size_t>(kind_)];
  kind_ = Value;
  if (Value == bkCustom) {
    if (kind_glyph_) glyph_->SetSize(0, 0);
    kind_glyph_ = false;
    Invalidate();
    return;
  }
  const KindInfo& k = kKinds[static_cast<size_t>(Value)];
  // A caption of the user's own stays.
  if (Caption().empty() || Caption() == Name() || Caption() == old.Caption) SetCaption(k.Caption);
  SetModalResult(k.Result);
  if (Value == bkOK || Value == bkYes) SetDefault(true);
  if (Value == bkCancel || Value == bkNo) SetCancel(true);
  DrawKindPicture(glyph_.get(), k.Picture);
  glyph_->SetTransparent(true);
  num_glyphs_ = 1;
  kind_glyph_ = true;
  Invalidate();
}

void TBitBtn::SetLayout(TBitBtnLayout Value) {
  layout_ = Value;
  Invalidate();
}

void TBitBtn::SetMargin(int32_t Value) {
  margin_ = std::max(-1, Value);
  Invalidate();
}

void TBitBtn::SetSpacing(int32_t Value) {
  spacing_ = Value;
  Invalidate();
}

void TBitBtn::ContentLayout(const TRect& R, TRect& GlyphRect, TRect& TextRect) {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  const std::string shown = WithoutPrefixes(Caption());
  const TSize text = shown.empty() ? TSize{0, 0} : c->TextExtent(shown);
  const int32_t gw = glyph_->Empty() ? 0 : glyph_->Width() / num_glyphs_;
  const int32_t gh = glyph_->Empty() ? 0 : glyph_->Height();
  const int32_t gap = gw > 0 && text.cx > 0 ? spacing_ : 0;
  const bool across = layout_ == TBitBtnLayout::blGlyphLeft || layout_ == TBitBtnLayout::blGlyphRight;
  const int32_t total = across ? gw + gap + text.cx : gh + gap + text.cy;
  const int32_t room = across ? R.Width() : R.Height();
  const int32_t start = margin_ < 0 ? (room - total) / 2 : margin_;
  TPoint g, t;
  if (across) {
    g.Y = R.Top + (R.Height() - gh) / 2;
    t.Y = R.Top + (R.Height() - text.cy) / 2;
    if (layout_ == TBitBtnLayout::blGlyphLeft) {
      g.X = R.Left + start;
      t.X = g.X + gw + gap;
    } else {
      g.X = R.Right - start - gw;
      t.X = g.X - gap - text.cx;
    }
  } else {
    g.X = R.Left + (R.Width() - gw) / 2;
    t.X = R.Left + (R.Width() - text.cx) / 2;
    if (layout_ == TBitBtnLayout::blGlyphTop) {
      g.Y = R.Top + start;
      t.Y = g.Y + gh + gap;
    } else {
      g.Y = R.Bottom - start - gh;
      t.Y = g.Y - gap - text.cy;
    }
  }
  GlyphRect = TRect(g.X, g.Y, g.X + gw, g.Y + gh);
  TextRect = TRect(t.X, t.Y, t.X + text.cx, t.Y + text.cy);
}

void TBitBtn::PaintContent(TCanvas* ACanvas, TRect R, bool IsPushed) {
  TRect g, t;
  ContentLayout(R, g, t);
  if (IsPushed) {
    g.Offset(1, 1);
    t.Offset(1, 1);
  }
  if (!glyph_->Empty() && g.Width() > 0) {
    // The image for the state: disabled (2nd) and pushed (3rd) when the strip has them.
    int32_t index = 0;
    if (!Enabled() && num_glyphs_ >= 2) index = 1;
    else if (IsPushed && num_glyphs_ >= 3) index = 2;
    TBitmap part;
    part.SetSize(g.Width(), g.Height());
    part.Canvas()->CopyRect(TRect(0, 0, g.Width(), g.Height()), glyph_->Canvas(),
                            TRect(index * g.Width(), 0, (index + 1) * g.Width(), g.Height()));
    // One transparent colour for the strip: its bottom-left pixel.
    part.SetTransparentColor(glyph_->Canvas()->Pixels(0, glyph_->Height() - 1));
    part.SetTransparent(true);
    ACanvas->Draw(g.Left, g.Top, &part);
  }
  if (!Caption().empty()) DrawCaption(ACanvas, t, DT_LEFT | DT_TOP | DT_SINGLELINE, Enabled());
}
