#include "core/hypxutils_system.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/rtl/Process.h"
#include "platform/rtl/SysUtils.h"

std::string RunCommandCapture(const std::string& Program, const std::vector<std::string>& Args,
                              const std::string& Folder, uint32_t TimeoutMs) {
  TRunOptions options;
  options.Folder = Folder;
  options.MergeErrors = true;
  options.TimeoutMs = TimeoutMs;
  return RunProgram(Program, Args, options).Output;
}

bool HasMMX() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return ((edx >> 23) & 1u) != 0;
#endif
  return false;
}

char DecimalSeparatorChar() { return FormatSettings().DecimalSeparator; }

void BitsAndSamplesFromPixelFormat(TPXPixelFormat Format, int32_t& BitsPerSample, int32_t& SamplesPerPixel) {
  switch (Format) {
    case px1g: BitsPerSample = 1; SamplesPerPixel = 1; break;
    case px8p:
    case px8g: BitsPerSample = 8; SamplesPerPixel = 1; break;
    case px16g: BitsPerSample = 16; SamplesPerPixel = 1; break;
    default: BitsPerSample = 8; SamplesPerPixel = 3; break;
  }
}

void BitsAndSamplesFromBitCount(int32_t BitCount, bool HasAlpha, int32_t& BitsPerSample, int32_t& SamplesPerPixel) {
  switch (BitCount) {
    case 1:
    case 4:
    case 8: BitsPerSample = BitCount; SamplesPerPixel = 1; break;
    case 15: BitsPerSample = 5; SamplesPerPixel = 3; break;
    case 32: BitsPerSample = 8; SamplesPerPixel = HasAlpha ? 4 : 3; break;
    default: BitsPerSample = 8; SamplesPerPixel = 3; break;
  }
}
