// The main() of benchmark programs that hold controls of their own: the window layer starts on
// Qt's offscreen platform, a TFixture is made after start-up and reachable through Global while
// the benchmarks run, and freed before the layer stops.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/forms/Forms.h"
#include "platform/rtl/Startup.h"

template <class TFixture>
int BenchFormsMain(int argc, char** argv, TFixture*& Global) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  FormsStartup();
  benchmark::Initialize(&argc, argv);
  {
    TFixture fixture;
    Global = &fixture;
    benchmark::RunSpecifiedBenchmarks();
    Global = nullptr;
  }
  benchmark::Shutdown();
  FormsShutdown();
  RtlShutdown();
  return 0;
}
