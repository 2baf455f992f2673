// TImage and TBevel (the panel is in ExtCtrls_panel.cpp).
#include "platform/forms/ExtCtrls.h"

#include <algorithm>
#include <cstring>

#include "platform/forms/Forms.h"
#include "platform/rtl/Classes_streams.h"

namespace {

// The picture of an image: it stores its graphic in form descriptions as "Picture.Data": the
// graphic's class name (a length byte and the name), then the graphic's data (a bitmap: its
// byte count and a BMP file; an icon: an ICO file).
class TImagePicture : public TPicture {
  PX_CLASS(TImagePicture)
 public:
  TImagePicture() = default;

  void ReadData(TStream* Stream) {
    uint8_t len = 0;
    Stream->ReadBuffer(&len, 1);
    std::string name(len, '\0');
    if (len) Stream->ReadBuffer(name.data(), len);
    const int64_t remaining = Stream->Size() - Stream->Position();
    TMemoryStream data;
    if (SameText(name, "TBitmap")) {
      int32_t size = 0;
      Stream->ReadBuffer(&size, 4);
      if (size < 0 || size > remaining - 4) throw EReadError("Invalid property value");
      data.CopyFrom(Stream, size);
      data.SetPosition(0);
      TBitmap bitmap;
      if (size > 0) bitmap.LoadFromStream(&data);
      SetGraphic(&bitmap);
    } else if (SameText(name, "TIcon")) {
      if (remaining > 0) data.CopyFrom(Stream, remaining);
      data.SetPosition(0);
      TIcon icon;
      if (remaining > 0) icon.LoadFromStream(&data);
      SetGraphic(&icon);
    } else if (name.empty()) {
      SetGraphic(nullptr);
    } else {
      throw EReadError(Format("Unknown picture format %s", name.c_str()));
    }
  }

  void WriteData(TStream* Stream) {
    TGraphic* g = Graphic();
    std::string name;
    if (dynamic_cast<TBitmap*>(g)) name = "TBitmap";
    else if (dynamic_cast<TIcon*>(g)) name = "TIcon";
    const uint8_t len = static_cast<uint8_t>(name.size());
    Stream->WriteBuffer(&len, 1);
    Stream->WriteBuffer(name.data(), len);
    if (!g) return;
    TMemoryStream data;
    g->SaveToStream(&data);
    if (name == "TBitmap") {
      const int32_t size = static_cast<int32_t>(data.Size());
      Stream->WriteBuffer(&size, 4);
    }
    data.SetPosition(0);
    Stream->CopyFrom(&data, data.Size());
  }

  bool HasData() const {
    TGraphic* g = Graphic();
    return g && !g->Empty() && (dynamic_cast<TBitmap*>(g) || dynamic_cast<TIcon*>(g));
  }
};

}  // namespace

PX_CLASS_INFO(TImagePicture, TPicture, [](TPropertyBuilder<TImagePicture>& b) {
  b.DefineBinaryProperty("Data", &TImagePicture::ReadData, &TImagePicture::WriteData, &TImagePicture::HasData);
})

PTypeInfo TypeInfo_TBevelShape() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TBevelShape", {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"});
  return &info;
}
PTypeInfo TypeInfo_TBevelStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TBevelStyle", {"bsLowered", "bsRaised"});
  return &info;
}

// ---------------------------------------------------------------------------------------------
// TImage

PX_CLASS_INFO(TImage, TGraphicControl, [](TPropertyBuilder<TImage>& b) {
  b.Bool("Center", &TImage::Center, &TImage::SetCenter).Default(false);
  b.Object<TPicture>("Picture", &TImage::Picture);
  b.Bool("Proportional", &TImage::Proportional, &TImage::SetProportional).Default(false);
  b.Bool("Stretch", &TImage::Stretch, &TImage::SetStretch).Default(false);
  b.Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent).Default(false);
})

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TImagePicture>()) {
  SetControlStyle(ControlStyle() + csReplicatable);
  picture_->SetOnChange(TNotifyEvent(this, &TImage::PictureChanged));
  SetBounds(Left(), Top(), 105, 105);
}

TImage::~TImage() { picture_->SetOnChange(nullptr); }

TCanvas* TImage::Canvas() {
  if (!picture_->Graphic()) {
    TBitmap bitmap;
    bitmap.SetSize(Width(), Height());
    picture_->SetGraphic(&bitmap);
  }
  auto* bitmap = dynamic_cast<TBitmap*>(picture_->Graphic());
  if (!bitmap) throw EInvalidOperation("Can only modify an image if it contains a bitmap");
  return bitmap->Canvas();
}

TRect TImage::DestRect() {
  int32_t w = picture_->Width(), h = picture_->Height();
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      const double aspect = static_cast<double>(w) / h;
      if (w > h) {
        w = cw;
        h = Trunc32(cw / aspect);
        if (h > ch) {
          h = ch;
          w = Trunc32(ch * aspect);
        }
      } else {
        h = ch;
        w = Trunc32(ch * aspect);
        if (w > cw) {
          w = cw;
          h = Trunc32(cw / aspect);
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r(0, 0, w, h);
  if (center_) r.Offset((cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  TCanvas* canvas = TGraphicControl::Canvas();
  if (ComponentState().Contains(csDesigning)) {
    canvas->Pen()->SetStyle(psDash);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(0, 0, Width(), Height());
  }
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  const bool saved = drawing_;
  drawing_ = true;
  try {
    canvas->StretchDraw(DestRect(), g);
  } catch (...) {
    drawing_ = saved;
    throw;
  }
  drawing_ = saved;
}

bool TImage::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  if (picture_->Width() <= 0 || picture_->Height() <= 0) return false;
  const TAlign a = Align();
  if (a == alNone || a == alLeft || a == alRight) NewWidth = picture_->Width();
  if (a == alNone || a == alTop || a == alBottom) NewHeight = picture_->Height();
  return true;
}

void TImage::PictureChanged(TObject*) {
  if (AutoSize() && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
  TGraphic* g = picture_->Graphic();
  if (g) {
    if (!dynamic_cast<TIcon*>(g)) g->SetTransparent(transparent_);
    const TRect d = DestRect();
    if (!g->Transparent() && d.Left <= 0 && d.Top <= 0 && d.Right >= Width() && d.Bottom >= Height())
      SetControlStyle(ControlStyle() + csOpaque);
    else
      SetControlStyle(ControlStyle() - csOpaque);
  } else {
    SetControlStyle(ControlStyle() - csOpaque);
  }
  if (!drawing_) Invalidate();
}

void TImage::SetCenter(bool Value) {
  if (center_ == Value) return;
  center_ = Value;
  PictureChanged(this);
}

void TImage::SetStretch(bool Value) {
  if (stretch_ == Value) return;
  stretch_ = Value;
  PictureChanged(this);
}

void TImage::SetProportional(bool Value) {
  if (proportional_ == Value) return;
  proportional_ = Value;
  PictureChanged(this);
}

void TImage::SetTransparent(bool Value) {
  if (transparent_ == Value) return;
  transparent_ = Value;
  PictureChanged(this);
}

// ---------------------------------------------------------------------------------------------
// TBevel

PX_CLASS_INFO(TBevel, TGraphicControl, [](TPropertyBuilder<TBevel>& b) {
  b.Enum("Shape", TypeInfo_TBevelShape(), &TBevel::Shape, &TBevel::SetShape).Default(bsBox);
  b.Enum("Style", TypeInfo_TBevelStyle(), &TBevel::Style, &TBevel::SetStyle).Default(bsLowered);
})

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + csReplicatable);
  SetBounds(Left(), Top(), 50, 50);
}

TBevel::~TBevel() = default;

void TBevel::SetShape(TBevelShape Value) {
  if (shape_ == Value) return;
  shape_ = Value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
  if (style_ == Value) return;
  style_ = Value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* canvas = TGraphicControl::Canvas();
  if (ComponentState().Contains(csDesigning) && shape_ == bsSpacer) {
    canvas->Pen()->SetStyle(psDot);
    canvas->Pen()->SetColor(clBlack);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(0, 0, ClientWidth(), ClientHeight());
    return;
  }
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  // Lowered: shadow at the top-left, highlight at the bottom-right; raised the other way.
  TColor shadow = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor light = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  const int32_t w = Width(), h = Height();
  auto box = [&](const TRect& r, TColor first, TColor second) {
    canvas->Pen()->SetColor(first);
    canvas->Polyline({TPoint(r.Left, r.Bottom), TPoint(r.Left, r.Top), TPoint(r.Right, r.Top)});
    canvas->Pen()->SetColor(second);
    canvas->Polyline({TPoint(r.Right, r.Top), TPoint(r.Right, r.Bottom), TPoint(r.Left, r.Bottom)});
  };
  auto line = [&](TColor c, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    canvas->Pen()->SetColor(c);
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  switch (shape_) {
    case bsBox: box(TRect(0, 0, w - 1, h - 1), shadow, light); break;
    case bsFrame:
      // Two rings one pixel apart: the inner one in the opposite colours.
      box(TRect(1, 1, w - 1, h - 1), light, light);
      box(TRect(0, 0, w - 2, h - 2), shadow, shadow);
      break;
    case bsTopLine:
      line(shadow, 0, 0, w, 0);
      line(light, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(shadow, 0, h - 2, w, h - 2);
      line(light, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(shadow, 0, 0, 0, h);
      line(light, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(shadow, w - 2, 0, w - 2, h);
      line(light, w - 1, 0, w - 1, h);
      break;
    case bsSpacer: break;
  }
}

void ExtCtrlsRegisterClasses() {
  RegisterClass(TImage::StaticClass());
  RegisterClass(TBevel::StaticClass());
  RegisterClass(TPanel::StaticClass());
}
