// TLinkLabel: a one-line caption in which parts written as <a href="...">text</a> (or
// <a id="...">) are links, drawn in the hot-light colour and underlined; clicking one fires
// OnLinkClick with its address. Other markup shows as written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"

enum class TSysLinkType : uint8_t { sltURL, sltID };
using enum TSysLinkType;

PX_EVENT_TYPE(TSysLinkEvent, void(TObject* Sender, const std::string& Link, TSysLinkType LinkType));

class TLinkLabel : public TCustomControl {
  PX_CLASS(TLinkLabel)
 public:
  // A run of the caption as shown: plain text or a link with its address.
  struct TRun {
    std::string Text;
    bool IsLink = false;
    std::string Link;  // href, else id, else the link's text
    TSysLinkType LinkType = sltURL;
    int32_t Left = 0, Right = 0;  // where it is drawn (client x)
  };

  explicit TLinkLabel(TComponent* AOwner);
  ~TLinkLabel() override;

  // The caption split into runs, laid out from the left.
  std::vector<TRun> Runs();
  // The link under a client point (nullptr-like: an empty Text when none).
  TRun LinkAt(int32_t X, int32_t Y);

  const TSysLinkEvent& OnLinkClick() const { return on_link_click_; }
  void SetOnLinkClick(const TSysLinkEvent& Value) { on_link_click_ = Value; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void CMTextChanged(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;

 private:
  void AdjustBounds();
  std::string pressed_link_;
  bool pressed_ = false;
  TSysLinkEvent on_link_click_;
};
