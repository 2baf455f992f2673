// Videos made by the ffmpeg tool for the video tests: frame k of a flat colour from one table, so
// the table is the oracle of every frame read.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/rtl/Process.h"

inline constexpr int kVideoFrames = 12;
// Frame k's colour (red, green, blue).
inline constexpr uint8_t kVideoColours[kVideoFrames][3] = {
    {255, 0, 0}, {0, 255, 0},     {0, 0, 255},     {255, 255, 0},  {0, 255, 255},  {255, 0, 255},
    {128, 128, 128}, {255, 255, 255}, {0, 0, 0}, {200, 100, 50}, {50, 100, 200}, {100, 200, 50}};

// Runs ffmpeg on Raw (rgb24 frames of Width x Height at 25 per second) with the codec arguments.
inline bool MakeVideo(const std::string& Raw, int Width, int Height, const std::vector<std::string>& Codec,
                      const std::string& Out) {
  std::vector<std::string> args = {"-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s",
                                   std::to_string(Width) + "x" + std::to_string(Height), "-r", "25", "-i", "-"};
  args.insert(args.end(), Codec.begin(), Codec.end());
  args.push_back(Out);
  TRunOptions options;
  options.Input = Raw;
  const TRunResult r = RunProgram("ffmpeg", args, options);
  return r.Exited && r.ExitCode == 0;
}

// The twelve flat frames of Width x Height as raw rgb24.
inline std::string FlatColourFrames(int Width, int Height) {
  std::string raw;
  for (const auto& c : kVideoColours)
    for (int i = 0; i < Width * Height; ++i) raw.append(reinterpret_cast<const char*>(c), 3);
  return raw;
}

// The mean absolute difference of BGR pixels (Rows(y) gives row y) from frame k's colour.
template <class TRows>
double DifferenceFromColour(int Width, int Height, TRows Rows, int k) {
  double sum = 0;
  for (int y = 0; y < Height; ++y) {
    const uint8_t* row = Rows(y);
    for (int x = 0; x < Width; ++x)
      for (int c = 0; c < 3; ++c) sum += std::abs(int(row[x * 3 + c]) - int(kVideoColours[k][2 - c]));
  }
  return sum / (Width * Height * 3.0);
}
