// Controls of the extended set: the image, the bevel and the panel.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls_panel.h"

// ---------------------------------------------------------------------------------------------
// TImage: shows a picture, stretched, centred or proportionally fitted. Canvas draws on the
// picture's bitmap (an empty picture becomes a bitmap of the control's size first).
class TImage : public TGraphicControl {
  PX_CLASS(TImage)
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;

  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(TPicture* Value) { picture_->Assign(Value); }
  // The bitmap's canvas; EInvalidOperation "Can only modify an image if it contains a bitmap"
  // when the picture holds another kind of graphic.
  TCanvas* Canvas();
  bool Center() const { return center_; }
  void SetCenter(bool Value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool Value);
  // Scaled down to fit (keeping the aspect ratio) when larger than the control, or always when
  // Stretch.
  bool Proportional() const { return proportional_; }
  void SetProportional(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  // The rectangle the picture is drawn in.
  TRect DestRect();

 protected:
  void Paint() override;
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  void PictureChanged(TObject* Sender);

 private:
  std::unique_ptr<TPicture> picture_;
  bool center_ = false;
  bool stretch_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
  bool drawing_ = false;
};

// ---------------------------------------------------------------------------------------------
// TBevel: a lowered or raised box, frame or line in the classic 3-D colours.
enum class TBevelShape : uint8_t { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
using enum TBevelShape;
enum class TBevelStyle : uint8_t { bsLowered, bsRaised };
using enum TBevelStyle;
PTypeInfo TypeInfo_TBevelShape();
PTypeInfo TypeInfo_TBevelStyle();

class TBevel : public TGraphicControl {
  PX_CLASS(TBevel)
 public:
  explicit TBevel(TComponent* AOwner);
  ~TBevel() override;
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape Value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle Value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

// TPanel: the panel as forms place it (TCustomPanel is in ExtCtrls_panel.h).
class TPanel : public TCustomPanel {
  PX_CLASS(TPanel)
 public:
  explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

// Registers the image, the bevel and the panel with the form loader (FormsStartup calls it).
void ExtCtrlsRegisterClasses();
