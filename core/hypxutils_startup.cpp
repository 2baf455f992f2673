#include "core/hypxutils_startup.h"

#include <cmath>
#include <exception>
#include <mutex>
#include <numbers>

#include "core/hypxdefs.h"
#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "platform/gdi/WinGdi.h"

std::array<int32_t, 256> CosineRamp{};

namespace {

std::mutex g_static_init_lock;
int32_t g_static_init_count = 0;
thread_local bool t_running_steps = false;
std::array<TPXLibraryStepProc, PXLibrarySlotCount> g_slots{};
TPXLibraryStepObserver g_observer = nullptr;
bool g_gestures_loaded = false;

// One step of a list: a routine of this library, a slot, or nothing to do.
struct TStep {
  TPXLibraryStepProc Proc;
  int Slot;  // -1: no slot
};

constexpr int kNoSlot = -1;
constexpr int SlotOf(TPXLibrarySlot s) { return static_cast<int>(s); }

const TStep kStartUp[11] = {
    {nullptr, SlotOf(lsInitGdiPlus)},     {nullptr, kNoSlot},  // shared definitions
    {&InitUtilitiesUnit, kNoSlot},        {nullptr, SlotOf(lsInitVect)},
    {nullptr, SlotOf(lsInitTextControl)}, {nullptr, kNoSlot},  // I/O component
    {nullptr, SlotOf(lsInitIOSupport)},   {nullptr, SlotOf(lsInitProcessing)},
    {nullptr, SlotOf(lsInitViewStatics)}, {nullptr, SlotOf(lsInitCcittTables)},
    {&LoadGestureFunctions, kNoSlot},
};

const TStep kTearDown[16] = {
    {&FreeGestureFunctions, kNoSlot},
    {nullptr, SlotOf(lsFreeCcittTables)},
    {nullptr, SlotOf(lsFreeViewStatics)},
    {nullptr, SlotOf(lsFinalizeProcessing)},
    {nullptr, kNoSlot},  // I/O component
    {nullptr, SlotOf(lsDoneIOSupport)},
    {nullptr, kNoSlot},  // text-memo unit
    {nullptr, SlotOf(lsFinalizeVect)},
    {nullptr, SlotOf(lsReleaseJpeg2000)},
    {&FinalizeUtilitiesUnit, kNoSlot},
    {&FreeWordTable, kNoSlot},  // the shared definitions own the word lookup's storage
    {nullptr, SlotOf(lsFinalizeGdiPlus)},
    {nullptr, SlotOf(lsUnloadVisionLibrary)},
    {nullptr, SlotOf(lsUnloadImageMagick)},
    {&FreeGlobalSettings, kNoSlot},
    {nullptr, kNoSlot},  // marked as not started: the count is 0 again
};

void RunStep(bool startUp, int32_t number, const TStep& step) {
  if (g_observer) g_observer(startUp, number);
  if (step.Proc) step.Proc();
  if (step.Slot != kNoSlot && g_slots[step.Slot]) g_slots[step.Slot]();
}

// Marks the calling thread as running a list, so that a step calling back in is refused
// instead of dead-locking.
class TStepsGuard {
 public:
  TStepsGuard() {
    if (t_running_steps) throw EPXException("Library start-up or tear-down called from one of its own steps");
    t_running_steps = true;
  }
  ~TStepsGuard() { t_running_steps = false; }
  TStepsGuard(const TStepsGuard&) = delete;
  TStepsGuard& operator=(const TStepsGuard&) = delete;
};

// Takes the lock, except on the thread that holds it while running a list.
class TLockUnlessInSteps {
 public:
  TLockUnlessInSteps() : lock_(g_static_init_lock, std::defer_lock) {
    if (!t_running_steps) lock_.lock();
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace

TPXLibraryStepProc RegisterLibrarySlot(TPXLibrarySlot Slot, TPXLibraryStepProc Proc) {
  const auto i = static_cast<size_t>(Slot);
  if (i >= g_slots.size()) throw EPXException("Invalid library slot");
  TLockUnlessInSteps guard;
  TPXLibraryStepProc old = g_slots[i];
  g_slots[i] = Proc;
  return old;
}

TPXLibraryStepObserver SetLibraryStepObserver(TPXLibraryStepObserver Observer) {
  TLockUnlessInSteps guard;
  TPXLibraryStepObserver old = g_observer;
  g_observer = Observer;
  return old;
}

void StaticInitialize() {
  TStepsGuard steps;
  std::lock_guard guard(g_static_init_lock);
  if (g_static_init_count == 0) {
    for (int32_t i = 0; i < 11; ++i) RunStep(true, i + 1, kStartUp[i]);
  }
  ++g_static_init_count;
}

void StaticFinalize() {
  TStepsGuard steps;
  std::lock_guard guard(g_static_init_lock);
  if (g_static_init_count <= 0) return;  // nothing was started
  if (--g_static_init_count != 0) return;
  // Every step runs even when an earlier one raises; the first exception comes out at the end.
  std::exception_ptr first;
  for (int32_t i = 0; i < 16; ++i) {
    try {
      RunStep(false, i + 1, kTearDown[i]);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

int32_t GetStaticInitCount() {
  TLockUnlessInSteps guard;
  return g_static_init_count;
}

void InitUtilitiesUnit() {
  GlobalSettingsInstance();
  BuildCosineRamp();
  ResetWordTable();
}

void FinalizeUtilitiesUnit() {
  if (TPXPixoranGlobalSettings* s = GlobalSettingsAssigned()) s->FDefaultFont.reset();
}

void LoadGestureFunctions() { g_gestures_loaded = false; }

void FreeGestureFunctions() { g_gestures_loaded = false; }

bool GestureApiAvailable() { return g_gestures_loaded; }

bool LoadGradientFill() { return true; }

bool GradientFillRect(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2, bool Vertical) {
  if (!Canvas || !LoadGradientFill()) return false;
  TRIVERTEX v[2];
  const TColor colors[2] = {ResolveColor(Color1), ResolveColor(Color2)};
  v[0].x = Rect.Left;
  v[0].y = Rect.Top;
  v[1].x = Rect.Right;
  v[1].y = Rect.Bottom;
  for (int i = 0; i < 2; ++i) {
    const auto c = static_cast<uint32_t>(colors[i]);
    v[i].Red = static_cast<COLOR16>((c & 0xFFu) << 8);
    v[i].Green = static_cast<COLOR16>(((c >> 8) & 0xFFu) << 8);
    v[i].Blue = static_cast<COLOR16>(((c >> 16) & 0xFFu) << 8);
    v[i].Alpha = 0;
  }
  GRADIENT_RECT r;
  r.UpperLeft = 0;
  r.LowerRight = 1;
  return GradientFill(Canvas->Handle(), v, 2, &r, 1, Vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H) != 0;
}

void BuildCosineRamp() {
  for (int i = 0; i < 256; ++i)
    CosineRamp[i] = static_cast<int32_t>(Round(64.0L - 64.0L * std::cos(i * std::numbers::pi_v<long double> / 255.0L)));
}
