// System helpers of the image library: running an outside program with its output captured,
// processor features, the locale's decimal separator, and pixel-format bit counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/hypxdefs.h"

// Runs Program (looked up on the PATH when it has no "/") with Args as its arguments, in Folder
// (empty: the current folder), without a shell. Standard output and standard error come back
// together; standard input is the caller's. A program still running after TimeoutMs is killed
// and what it wrote so far is returned. Empty when it cannot be started.
std::string RunCommandCapture(const std::string& Program, const std::vector<std::string>& Args,
                              const std::string& Folder, uint32_t TimeoutMs = 60000);
// The processor reports MMX (feature bit 23 of identification function 1).
bool HasMMX();
// The locale decimal separator in effect.
char DecimalSeparatorChar();
inline int64_t MakeInt64(uint32_t High, uint32_t Low) {
  return static_cast<int64_t>((static_cast<uint64_t>(High) << 32) | Low);
}
// px1g 1 and 1, px8p and px8g 8 and 1, px16g 16 and 1, every other format 8 and 3.
void BitsAndSamplesFromPixelFormat(TPXPixelFormat Format, int32_t& BitsPerSample, int32_t& SamplesPerPixel);
// 1, 4, 8: that many bits and 1 sample; 15: 5 and 3; 32: 8 and 4 with alpha, else 8 and 3;
// everything else 8 and 3.
void BitsAndSamplesFromBitCount(int32_t BitCount, bool HasAlpha, int32_t& BitsPerSample, int32_t& SamplesPerPixel);
