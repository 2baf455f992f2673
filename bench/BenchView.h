// The main() of the benchmark programs that hold an image view: the forms start on Qt's offscreen
// platform, the image library is registered, the library works on one thread (as the peers do),
// and release (if any) frees the programs' views before the library stops.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "platform/forms/Forms.h"
#include "view/pixoran.h"

inline int BenchViewMain(int argc, char** argv, void (*release)() = nullptr) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  FormsStartup();
  RegisterImageLibrary();
  StaticInitialize();
  GlobalSettingsInstance()->FMaxThreads = 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (release) release();
  StaticFinalize();
  FormsShutdown();
  RtlShutdown();
  return 0;
}
