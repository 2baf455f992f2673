// Fonts behind the device contexts: the face resolver, realised fonts with the platform's
// metrics, measuring, and rendering a run of text into an 8-bit coverage mask.
//
// Advances are whole pixels per character (hinted, no kerning, no shaping of simple scripts), so
// the width of a string is always the sum of its characters' widths and the drawn glyphs sit
// exactly where the measurement puts them. Text is UTF-8; a "character" is one code point.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Types.h"

// What a device context asks for: the fields of a logical font, face name in UTF-8.
struct TFontRequest {
  int32_t Height = 0;       // < 0: em size in pixels; > 0: cell height (ascent + descent); 0: default
  int32_t Width = 0;        // average character width; 0: the face's own proportions
  int32_t Escapement = 0;   // tenths of a degree, counter-clockwise
  int32_t Orientation = 0;  // kept; glyphs rotate with the escapement as in the compatible mode
  int32_t Weight = 0;       // 0 = 400
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  uint8_t CharSet = 0;
  uint8_t OutPrecision = 0;
  uint8_t ClipPrecision = 0;
  uint8_t Quality = 0;  // 3 (non-antialiased) draws without antialiasing, everything else greyscale
  uint8_t PitchAndFamily = 0;
  std::string FaceName;
  friend bool operator==(const TFontRequest&, const TFontRequest&) = default;
};

// Metrics of a realised font in pixels, with the platform's meaning.
struct TFontMetricsData {
  int32_t Height = 0;  // Ascent + Descent
  int32_t Ascent = 0;
  int32_t Descent = 0;
  int32_t InternalLeading = 0;  // Height - EmSize
  int32_t ExternalLeading = 0;
  int32_t AveCharWidth = 0;
  int32_t MaxCharWidth = 0;
  int32_t Weight = 400;
  int32_t EmSize = 0;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  uint8_t CharSet = 0;
  uint8_t PitchAndFamily = 0;  // TMPF_* bits (TrueType, vector, variable pitch) and FF_* family
  char32_t FirstChar = 0x20;
  char32_t LastChar = 0xFFFC;
  char32_t DefaultChar = 0x1F;
  char32_t BreakChar = 0x20;
  // Decoration lines relative to the baseline (positive is downwards): top row and thickness.
  int32_t UnderlineTop = 1;
  int32_t UnderlineSize = 1;
  int32_t StrikeOutTop = -4;
  int32_t StrikeOutSize = 1;
};

// An 8-bit coverage mask (0 = untouched, 255 = fully covered) placed at (Left, Top) in device
// pixels. Rows are Stride bytes apart.
struct TCoverageMask {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;
  std::vector<uint8_t> Bits;
  bool IsEmpty() const { return Width <= 0 || Height <= 0; }
  uint8_t At(int32_t x, int32_t y) const { return Bits[static_cast<size_t>(y) * Stride + x]; }
};

// How a run of text is placed on the device.
struct TTextRunPlacement {
  int32_t X = 0;  // device position of the run's origin: the start of its baseline
  int32_t Y = 0;
  std::span<const int32_t> Dx;  // optional advances, one per character (missing ones: natural)
  int32_t CharExtra = 0;        // added to every natural advance
  bool RightToLeft = false;     // right-to-left reading order (bidirectional layout)
  TRect Clip;                   // device rectangle the mask is limited to
};

class TRealizedFont {
 public:
  struct TImpl;
  explicit TRealizedFont(std::unique_ptr<TImpl> impl);
  ~TRealizedFont();
  TRealizedFont(const TRealizedFont&) = delete;
  TRealizedFont& operator=(const TRealizedFont&) = delete;

  const TFontRequest& Request() const;
  const TFontMetricsData& Metrics() const;
  // The face that was actually used (after resolving aliases and fallbacks).
  const std::string& FaceName() const;
  bool Antialiased() const;
  // False when Qt's fonts could not be had (no application object): metrics are estimates from
  // the size and nothing is drawn.
  bool IsValid() const;

  int32_t CharWidth(char32_t c) const;
  // Sum of the characters' advances.
  int32_t TextWidth(std::string_view text) const;
  // One advance per character.
  void Advances(std::string_view text, std::vector<int32_t>& out) const;
  // The glyph's left bearing (a), ink width (b) and the rest of the advance (c = advance - a - b).
  void CharABC(char32_t c, int32_t& a, int32_t& b, int32_t& rest) const;

  // Glyphs, underline and strike-out of the run, rotated by the escapement about the origin.
  TCoverageMask Render(std::string_view text, const TTextRunPlacement& place) const;


 private:
  std::unique_ptr<TImpl> impl_;
};

using TRealizedFontPtr = std::shared_ptr<const TRealizedFont>;

struct LOGFONT;
// The request for a logical font as it stands (no scaling).
TFontRequest FontRequestFromLogFont(const LOGFONT& lf);

// The realised font for a request (cached; safe from any thread once the application exists).
TRealizedFontPtr RealizeFont(const TFontRequest& request);
// Changes whenever registered fonts may change how faces resolve; holders of realised fonts
// realise them again when it moved.
uint64_t FontGeneration();

// The installed family that a face name maps to: the platform's UI faces to Wine's Tahoma,
// Arial/Helvetica, Times New Roman and Courier (New) to Liberation, installed or registered
// families to themselves, everything else to DejaVu Sans (DejaVu Sans Mono for fixed pitch).
std::string ResolveFontFace(std::string_view face, uint8_t pitchAndFamily = 0);

// Makes the faces of a font file available by their family names. False when it cannot be read.
bool RegisterFontFile(const std::string& path);

// Frees this thread's Qt font objects; the main thread calls it before the application object
// goes (other threads free theirs when they end).
void ReleaseThreadFontCache();

// A filled rectangle of run space (origin at (originX, originY), rotated by the escapement in
// tenths of a degree), as an aliased coverage mask limited to clip.
TCoverageMask RenderRunBox(const TRect& box, int32_t originX, int32_t originY, int32_t escapement,
                           const TRect& clip);

// Code points of UTF-8 text; a malformed byte becomes U+FFFD. byteOffsets (optional) receives the
// offset of each code point.
std::u32string DecodeUtf8(std::string_view text, std::vector<size_t>* byteOffsets = nullptr);
std::string EncodeUtf8(std::u32string_view text);
