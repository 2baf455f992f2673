// What the benchmarks of the owner-drawn controls share: colours for their QPainter peers, and a
// main that starts the window layer and the controls around the run.
#pragma once

#include <benchmark/benchmark.h>

#include <QColor>
#include <cstdlib>
#include <functional>

#include "controls/CvControls.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Startup.h"

inline QColor BenchQColor(TColor c) {
  const auto v = static_cast<TColorRef>(ColorToRGB(c));
  return QColor(GetRValue(v), GetGValue(v), GetBValue(v));
}

// Runs the registered benchmarks offscreen; Run (when given) wraps the run, e.g. to keep a form
// made after start-up and freed before shutdown.
inline int ControlsBenchMain(int argc, char** argv, const std::function<void(const std::function<void()>&)>& Run = {}) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  RtlStartup();
  FormsStartup();
  CvControlsStartup();
  const std::function<void()> all = [] { benchmark::RunSpecifiedBenchmarks(); };
  if (Run) Run(all);
  else all();
  benchmark::Shutdown();
  CvControlsShutdown();
  FormsShutdown();
  RtlShutdown();
  return 0;
}

// The same, with a TBench made after start-up and freed before shutdown, reachable through Global
// while the benchmarks run.
template <class TBench>
int ControlsBenchMainWithForm(int argc, char** argv, TBench*& Global) {
  return ControlsBenchMain(argc, argv, [&Global](const std::function<void()>& Run) {
    TBench form;
    Global = &form;
    Run();
    Global = nullptr;
  });
}
