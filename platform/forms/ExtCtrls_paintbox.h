// The class library's paint box: a windowless area its owner paints in OnPaint.
#pragma once

#include "platform/forms/Controls.h"

class TPaintBox : public TGraphicControl {
  PX_CLASS(TPaintBox)
 public:
  explicit TPaintBox(TComponent* AOwner);
  using TGraphicControl::Canvas;
  const TNotifyEvent& OnPaint() const { return FOnPaint; }
  void SetOnPaint(const TNotifyEvent& Value) { FOnPaint = Value; }

 protected:
  void Paint() override;

 private:
  TNotifyEvent FOnPaint;
};
