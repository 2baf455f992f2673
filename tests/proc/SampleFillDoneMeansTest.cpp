// The 3 x 3 convolution presets: names, order, kernels and divisors as the filters list shows them.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "proc/pixoranproc.h"

namespace {

struct PresetCase {
  const char* Name;
  std::array<int32_t, 9> Values;
  int32_t Divisor;
};

TEST(FilterPresets, NamesKernelsAndDivisorsInOrder) {
  const PresetCase cases[] = {
      {"None", {0, 0, 0, 0, 1, 0, 0, 0, 0}, 0},
      {"Blur", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 9},
      {"Edges", {1, 1, 1, 1, -8, 1, 1, 1, 1}, 1},
      {"Emboss", {-1, 0, 1, -1, 1, 1, -1, 0, 1}, 1},
      {"High Pass 1", {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1},
      {"High Pass 2", {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1},
      {"High Pass 3", {1, -2, 1, -2, 5, -2, 1, -2, 1}, 1},
      {"Low Pass 1", {1, 1, 1, 1, 1, 1, 1, 1, 1}, 10},
      {"Low Pass 2", {1, 2, 1, 2, 4, 2, 1, 2, 1}, 16},
  };
  const std::vector<std::string>& names = PXFilterPresetNames();
  const std::vector<TPXConvolutionKernel>& kernels = PXFilterPresets();
  ASSERT_EQ(names.size(), std::size(cases));
  ASSERT_EQ(kernels.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].Name);
    EXPECT_EQ(names[i], cases[i].Name);
    EXPECT_EQ(std::vector<int32_t>(kernels[i].Values, kernels[i].Values + 9),
              std::vector<int32_t>(cases[i].Values.begin(), cases[i].Values.end()));
    EXPECT_EQ(kernels[i].Divisor, cases[i].Divisor);
  }
}

}  // namespace
