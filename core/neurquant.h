// The colour quantizer: chooses a palette of N colours for a picture and maps colours to it.
//
// Depending on the picture it copies the existing palette (px8p), builds an even grey ramp
// (grey pictures), takes the exact colours in order of first appearance (px24RGB with at most
// N colours), or runs a quantizer chosen by the settings' FQuantizerMethod: NeuQuant (a
// Kohonen self-organising map) or a variance-split box quantizer on a 32 x 32 x 32 histogram.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/hypxdefs.h"

class TPXBitmap;

class TPXQuantizer : public TObject {
 public:
  // Fills Palette (the caller's array of at least N entries) for Bitmap, which is not owned and
  // must outlive the quantizer. N above 256 counts as 256; below 1 nothing is filled. Spare
  // is not used.
  TPXQuantizer(TPXBitmap* Bitmap, TRGB* Palette, int32_t Spare, int32_t N);
  ~TPXQuantizer() override;

  // The palette index that stands for Color.
  int32_t RGBToIndex(const TRGB& Color) const;

  // 0 NeuQuant, 1 box split; meaningful only when Quantized().
  int32_t Method() const { return FMethod; }
  // A quantizer ran (neither the exact colours, nor the bitmap's palette, nor the grey ramp).
  bool Quantized() const { return FNeural || FBoxes; }
  bool Grey() const { return FGrey; }
  int32_t Requested() const { return FRequested; }
  // N, or the number of exact colours found.
  int32_t Count() const { return FCount; }

  // NeuQuant's sampling factor for a picture of PixelCount pixels under the current settings.
  static int32_t SampleFactor(int64_t PixelCount);

 private:
  struct TNeuralState;
  struct TBoxState;

  bool ExactPaletteIfFew(TRGB* Palette);
  void QuantizeNeural(TRGB* Palette);
  void QuantizeBoxSplit(TRGB* Palette);

  int32_t FMethod = 0;
  std::unique_ptr<TNeuralState> FNeural;
  std::unique_ptr<TBoxState> FBoxes;
  bool FGrey = false;
  bool FGreyRamp = false;  // the palette is the grey ramp (lookups by value)
  bool FExactPath = false;  // the palette is the picture's own colours
  std::vector<TRGB> FExact;
  std::unordered_map<uint32_t, int32_t> FExactIndex;  // packed colour -> first position
  int32_t FRequested = 0;
  int32_t FCount = 0;
  TPXBitmap* FBitmap = nullptr;
};
