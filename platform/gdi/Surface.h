// A surface: plain pixel memory that device contexts draw on. Rows are 4-byte aligned.
// Formats: 1, 4, 8 bits (palette), 15 and 16 bits (5-5-5 / 5-6-5), 24 bits (B,G,R) and
// 32 bits (B,G,R,A). Row 0 is the top row; Stride is negative for bottom-up storage, so
// Row(y) is always the address of the y-th row from the top.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/Types.h"

struct TRGBQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
  friend constexpr bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// Bytes of one 4-byte aligned row.
constexpr int32_t SurfaceRowBytes(int32_t width, int32_t bitCount) {
  return static_cast<int32_t>(((static_cast<int64_t>(width) * bitCount + 31) / 32) * 4);
}

class TSurface {
 public:
  // An owned, zero-filled surface; bottomUp stores rows bottom to top (as DIBs do).
  TSurface(int32_t width, int32_t height, int32_t bitCount, bool bottomUp = false);
  // A surface over memory owned elsewhere (a DIB section's bits, a window's store).
  TSurface(uint8_t* top, int32_t stride, int32_t width, int32_t height, int32_t bitCount);
  ~TSurface();
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bit_count_; }
  int32_t Stride() const { return stride_; }
  bool OwnsBits() const { return !storage_.empty() || width_ == 0 || height_ == 0; }
  uint8_t* Row(int32_t y) { return top_ + static_cast<intptr_t>(y) * stride_; }
  const uint8_t* Row(int32_t y) const { return top_ + static_cast<intptr_t>(y) * stride_; }
  // Lowest address of the pixel memory (the bottom row for bottom-up storage).
  uint8_t* BaseAddress() { return stride_ < 0 ? Row(height_ - 1) : top_; }
  size_t ByteSize() const { return static_cast<size_t>(stride_ < 0 ? -stride_ : stride_) * height_; }
  TRect BoundsRect() const { return {0, 0, width_, height_}; }

  // Colour table for 1, 4 and 8 bits (2, 16, 256 entries at most).
  std::vector<TRGBQuad>& Palette() { return palette_; }
  const std::vector<TRGBQuad>& Palette() const { return palette_; }
  // For 16 bits: true is 5-6-5, false is 5-5-5 (BitCount 15 is always 5-5-5).
  bool Is565() const { return is565_; }
  void SetIs565(bool v) { is565_ = v; }

  // Pixel access in $00BBGGRR form (palette entries resolved); slow paths for tests and
  // odd formats, the pixel core has its own row loops.
  TColorRef GetPixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, TColorRef c);

 private:
  std::vector<uint8_t> storage_;
  uint8_t* top_ = nullptr;
  int32_t stride_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bit_count_ = 32;
  bool is565_ = false;
  std::vector<TRGBQuad> palette_;
};
