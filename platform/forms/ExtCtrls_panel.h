// TCustomPanel: a window that groups controls, with an outer and an inner bevel, a border band
// of its own colour, a flat fill and a one-line caption.
#pragma once

#include <cstdint>

#include "platform/forms/Controls.h"

class TCustomPanel : public TCustomControl {
  PX_CLASS(TCustomPanel)
 public:
  explicit TCustomPanel(TComponent* AOwner);
  ~TCustomPanel() override;

  // The caption's place across the panel (it is always centred vertically).
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TBevelCut BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut Value);
  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut Value);
  // The width of each bevel (at least 1).
  int32_t BevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int32_t Value);
  // The band between the bevels, in the panel's colour. It lies inside the client area: the
  // panel's border width replaces the window's non-client one.
  TBorderWidth BorderWidth() const { return border_width_; }
  void SetBorderWidth(TBorderWidth Value);
  // A resize repaints the whole panel; otherwise only the bevel strips that moved.
  bool FullRepaint() const { return full_repaint_; }
  void SetFullRepaint(bool Value) { full_repaint_ = Value; }
  // A locked panel is not replaced by an embedded object's tools (it answers CM_ISTOOLCONTROL
  // with 0).
  bool Locked() const { return locked_; }
  void SetLocked(bool Value) { locked_ = Value; }

  // Docking settings the panel publishes.
  bool DockSite() const { return dock_site_; }
  void SetDockSite(bool Value) { dock_site_ = Value; }
  bool UseDockManager() const { return use_dock_manager_; }
  void SetUseDockManager(bool Value) { use_dock_manager_ = Value; }
  bool ShowDockClientCaptions() const { return show_dock_client_captions_; }
  void SetShowDockClientCaptions(bool Value);

 protected:
  void Paint() override;
  // Insets by the border width and the bevels.
  void AdjustClientRect(TRect& Rect) override;
  void Dispatch(TMessage& Message) override;
  void WMWindowPosChanged(TWMWindowPosMsg& Message) override;
  void CMTextChanged(TWMNoParams& Message) override;

 private:
  TAlignment alignment_ = taCenter;
  TBevelCut bevel_inner_ = bvNone;
  TBevelCut bevel_outer_ = bvRaised;
  int32_t bevel_width_ = 1;
  TBorderWidth border_width_ = 0;
  bool full_repaint_ = true;
  bool locked_ = false;
  bool dock_site_ = false;
  bool use_dock_manager_ = true;
  bool show_dock_client_captions_ = true;
};
