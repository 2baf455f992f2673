// The reflection pipeline of the main window: plain routines on the display view V (the
// composed picture with its reflection layer) and the source view S (the loaded picture).
// They take the two views and plain values, never the controls; the window's handlers read
// the controls and call BuildReflection or a subset of its steps. User-interface thread only.
#pragma once

#include <cstdint>

#include "platform/rtl/Types.h"

class TPixoran;
class TPXBitmap;

// Reflection position: the Tag of the position button that is down (0 when none).
inline constexpr int32_t ReflectNone = 0;
inline constexpr int32_t ReflectLeft = 1;
inline constexpr int32_t ReflectTop = 2;
inline constexpr int32_t ReflectRight = 3;
inline constexpr int32_t ReflectBottom = 4;

// Colour modes of the reflection.
inline constexpr int32_t ColorModeColor = 0;
inline constexpr int32_t ColorModeGray = 1;
inline constexpr int32_t ColorModeBlackWhite = 2;

// Every value the full pipeline reads, as the handlers take them from the controls.
struct TReflectionParams {
  int32_t Position = ReflectBottom;  // 0..4
  int32_t Spacing = 0;               // pixels, -500..500
  int32_t Size = 100;                // per cent, 0..100
  int32_t AlphaBegin = 255;          // 0..255
  int32_t AlphaEnd = 0;              // 0..255
  int32_t ColourMode = ColorModeColor;
  bool Wave = false;
  int32_t Amplitude = 10;   // 0..100
  int32_t WaveLength = 30;  // 0..100
  int32_t Phase = 0;        // 0..359
  TColor Background = 0xFFFFFF;
  bool KeepAlpha = true;
  int32_t R = -1;  // the reflection layer's index, -1 none
};

// A transparency in per cent (0..100) as an alpha byte: rnd((100 - t) * 255 / 100), halves to even.
int32_t TransparencyToAlpha(int32_t Transparency);

// The nine steps, in the order BuildReflection runs them. Each step that addresses the
// reflection layer returns at once when R < 0.
void CopySourceToBaseLayer(TPixoran& V, TPixoran& S);                                  // 1
void ResizeCanvasForReflection(TPixoran& V, TPixoran& S, int32_t Position, int32_t Spacing);  // 2
void PlaceReflectionLayer(TPixoran& V, TPixoran& S, int32_t Position, int32_t R, int32_t Spacing);  // 3
void CopyAndFlipReflection(TPixoran& V, TPixoran& S, int32_t Position, int32_t R);   // 4
void ApplyColorMode(TPixoran& V, int32_t ColourMode, int32_t R);                       // 5
void ApplyWave(TPixoran& V, int32_t Amplitude, int32_t WaveLength, bool Wave, int32_t R,
               int32_t Phase);                                                         // 6
void ApplyFade(TPixoran& V, int32_t AlphaBegin, int32_t AlphaEnd, int32_t R, int32_t Size,
               int32_t Position);                                                      // 7
void FlattenBaseLayers(TPixoran& V, TColor Background, int32_t R, bool KeepAlpha);    // 8
void FlattenReflectionLayer(TPixoran& V, TColor Background, int32_t R, bool KeepAlpha);  // 9

// Steps 1 to 9; nothing when P.R < 0.
void BuildReflection(TPixoran& V, TPixoran& S, const TReflectionParams& P);

// The handlers' subsets (all only after a picture was loaded):
// a track-bar, colour, wave or wave-value change: 4, 5, 6, 7, 9;
void RebuildReflectionLayer(TPixoran& V, TPixoran& S, const TReflectionParams& P);
// a spacing change: 1, 2, 3, 8;
void RebuildForSpacing(TPixoran& V, TPixoran& S, const TReflectionParams& P);
// remove-alpha clicked or a new background colour: 1, 2, 4, 5, 6, 7, 8, 9.
void RebuildForBackground(TPixoran& V, TPixoran& S, const TReflectionParams& P);

// Fades the current layer's alpha linearly from AlphaBegin at the line touching the picture
// towards AlphaEnd, keeping Size per cent of the lines; the rest become transparent.
void FadeReflectionAlpha(TPixoran& V, int32_t AlphaBegin, int32_t AlphaEnd, int32_t Size,
                         int32_t Position);

// Blends every pixel's colour towards Background by its alpha byte (ch = bg + floor((ch - bg)
// * A / 256)); the alpha bytes stay. A bitmap of another pixel format is made 24-bit first.
// Nothing without an alpha channel.
void FlattenAlphaOnColor(TPXBitmap& B, TColor Background);
