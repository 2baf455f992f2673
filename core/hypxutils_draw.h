// Drawing routines shared by the views and dialogs: a two-colour frame, a hint box that keeps
// the background it covers, the measurement label, the shadows painted around view backgrounds,
// the video drawing wrappers, and the two colour pickers (the platform's colour dialog and the
// library's palette dialog).
//
// Where they are defined:
//   hypxutils_draw.cpp      frames, hint box and label, shadows, video drawing wrappers
//   hypxutils_colordlg.cpp  ExecuteColorDialog, ExecutePaletteDialog, TPixoranPaletteDialog
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/hypxdefs.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/Graphics.h"

class TButton;

// Pen in copy mode, solid, width 1: (Left, Bottom) to (Left, Top) to (Right, Top) in
// TopLeftColor, then (Left, Bottom) to (Right, Bottom) to (Right, Top) in BottomRightColor. Each
// line leaves out its end point, so (Right, Top) is not drawn.
void DrawFrame3D(TCanvas* Canvas, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, TColor TopLeftColor,
                 TColor BottomRightColor);

// A framed box with Text, drawn with Font and Brush at (X, Y) kept inside the area (the caller
// gets the clamped position back). Background (when given) becomes a 24-bit copy of the canvas
// area the box covers, so the caller can restore it.
void DrawHintBox(TCanvas* Canvas, int32_t& X, int32_t& Y, std::string_view Text, TFont* Font, TBrush* Brush,
                 TBitmap* Background, int32_t AreaWidth, int32_t AreaHeight, TColor TopLeftColor,
                 TColor BottomRightColor);

// The measurement label in the settings' hint style (translucent fill when its opacity is below
// 255), wide enough for Text and SizeText, with the library's default interface font.
void DrawHintLabel(TCanvas* Canvas, int32_t X, int32_t Y, std::string_view Text, std::string_view SizeText,
                   bool Centered);

// The shadow right of (or below) the rectangle: Kind 1 fills with the canvas brush, 2 darkens
// what is there, 3 paints a grey ramp. A pixel inside Bitmap (a 24-bit platform bitmap the
// canvas draws on, may be nil) is darkened in its rows, others through the canvas. Spare is not
// read.
void DrawShadowRight(TCanvas* Canvas, TBitmap* Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                     int32_t Kind, int32_t Spare);
void DrawShadowBottom(TCanvas* Canvas, TBitmap* Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                      int32_t Kind, int32_t Spare);
// Darkens a soft shadow (margin 5) around the rectangle of a 24-bit platform bitmap; the
// rectangle itself is left alone. Spare is not read.
void DrawSoftShadow(TBitmap* Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Spare);

// Video-for-Windows drawing does not exist here: the wrappers report failure (no context,
// False, no colours realised) and callers take their plain blit.
using HDRAWDIB = void*;
HDRAWDIB VfwDrawDibOpen();
BOOL VfwDrawDibClose(HDRAWDIB Hdd);
BOOL VfwDrawDibDraw(HDRAWDIB Hdd, HDC DC, int32_t XDst, int32_t YDst, int32_t DXDst, int32_t DYDst,
                    const BITMAPINFOHEADER* Header, const void* Bits, int32_t XSrc, int32_t YSrc, int32_t DXSrc,
                    int32_t DYSrc, UINT Flags);
UINT VfwDrawDibRealize(HDRAWDIB Hdd, HDC DC, BOOL Background);

// The platform's colour dialog with the settings' custom colours, placed at (X, Y) unless both
// are 0. True and Color changed when confirmed; the custom colours go back to the settings in
// every case.
bool ExecuteColorDialog(TColor& Color, int32_t X, int32_t Y);

// The palette dialog over Count colours (at most 256 are shown), placed at (X, Y) when one of
// them is not 0 and the dialog fits on the screen there, else centred. True and Color the
// picked colour when a cell was clicked; Color is left alone when cancelled. EPXException
// "Invalid Palette!" without a palette.
bool ExecutePaletteDialog(TColor& Color, const TRGB* Palette, int32_t Count, int32_t X, int32_t Y);

// The palette dialog: cells of 16 x 16 pixels, 32 a row; hovering frames a cell, clicking it
// picks its colour and closes the dialog with OK.
class TPixoranPaletteDialog : public TForm {
  PX_CLASS(TPixoranPaletteDialog)
 public:
  explicit TPixoranPaletteDialog(TComponent* AOwner);
  ~TPixoranPaletteDialog() override;

  // Palette is the caller's and must outlive the dialog's showing.
  void SetPalette(const TRGB* Palette, int32_t Count);
  // Shows the dialog modally; true when closed with OK.
  bool Execute();

  int32_t Hovered() const { return FHovered; }
  TColor Chosen() const { return FChosen; }
  TButton* CancelButton() const { return FCancelButton; }
  // The cell under client point (X, Y), -1 when none.
  int32_t CellAt(int32_t X, int32_t Y) const;

 protected:
  void Paint() override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void Click() override;

 private:
  int32_t FHovered = -1;
  const TRGB* FPalette = nullptr;  // not owned
  int32_t FCount = 0;
  TButton* FCancelButton = nullptr;  // owned by the form
  TColor FChosen = -1;
};
