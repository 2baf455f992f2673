// The image library's start-up and tear-down: StaticInitialize and StaticFinalize, counted and
// locked, with their fixed lists of steps. main (and each test program's main) calls them.
//
// Steps that belong to later subsystems are slots: each subsystem fills its slots through
// RegisterLibrarySlot before StaticInitialize; an empty slot is skipped. The lists:
//   start-up  1 slot lsInitGdiPlus         tear-down  1 gesture functions freed
//             2 shared definitions (none)             2 slot lsFreeCcittTables
//             3 utilities: settings object,           3 slot lsFreeViewStatics
//               cosine ramp, word table reset         4 slot lsFinalizeProcessing
//             4 slot lsInitVect                       5 I/O component (nothing)
//             5 slot lsInitTextControl                6 slot lsDoneIOSupport
//             6 I/O component (nothing)               7 text-memo unit (nothing)
//             7 slot lsInitIOSupport                  8 slot lsFinalizeVect
//             8 slot lsInitProcessing                 9 slot lsReleaseJpeg2000
//             9 slot lsInitViewStatics               10 utilities: default font freed
//            10 slot lsInitCcittTables               11 shared definitions: word table freed
//            11 gesture functions looked up          12 slot lsFinalizeGdiPlus
//                                                    13 slot lsUnloadVisionLibrary
//                                                    14 slot lsUnloadImageMagick
//                                                    15 settings object freed
//                                                    16 marked as not started
#pragma once

#include <array>
#include <cstdint>

#include "platform/gdi/Graphics.h"

enum class TPXLibrarySlot : uint8_t {
  lsInitGdiPlus,          // start-up step 1
  lsInitVect,             // start-up step 4
  lsInitTextControl,      // start-up step 5
  lsInitIOSupport,        // start-up step 7
  lsInitProcessing,       // start-up step 8
  lsInitViewStatics,      // start-up step 9
  lsInitCcittTables,      // start-up step 10
  lsFreeCcittTables,      // tear-down step 2
  lsFreeViewStatics,      // tear-down step 3
  lsFinalizeProcessing,   // tear-down step 4
  lsDoneIOSupport,        // tear-down step 6
  lsFinalizeVect,         // tear-down step 8
  lsReleaseJpeg2000,      // tear-down step 9
  lsFinalizeGdiPlus,      // tear-down step 12
  lsUnloadVisionLibrary,  // tear-down step 13
  lsUnloadImageMagick,    // tear-down step 14
};
using enum TPXLibrarySlot;
inline constexpr int PXLibrarySlotCount = 16;

using TPXLibraryStepProc = void (*)();
// Fills a slot (nil empties it) and answers what it held.
TPXLibraryStepProc RegisterLibrarySlot(TPXLibrarySlot Slot, TPXLibraryStepProc Proc);

// Counted start-up: the first call runs the start-up list, every call counts. An exception of a
// step leaves the lock and propagates with the count unchanged. A step must not call
// StaticInitialize or StaticFinalize (EPXException).
void StaticInitialize();
// Counted tear-down: the call that brings the count back to 0 runs the tear-down list; without a
// matching StaticInitialize nothing happens.
void StaticFinalize();
// Calls of StaticInitialize not yet matched by StaticFinalize.
int32_t GetStaticInitCount();

// Called before every step of either list with its number (1-based): lets a test pin the order.
using TPXLibraryStepObserver = void (*)(bool StartUp, int32_t Step);
TPXLibraryStepObserver SetLibraryStepObserver(TPXLibraryStepObserver Observer);

// The utilities unit's own steps in the two lists.
void InitUtilitiesUnit();
void FinalizeUtilitiesUnit();

// Touch-gesture entry points: this platform has no gesture API, so none is found and
// GestureApiAvailable stays False.
void LoadGestureFunctions();
void FreeGestureFunctions();
bool GestureApiAvailable();

// The platform's GradientFill is part of the drawing layer, always at hand.
bool LoadGradientFill();
// Fills Rect on the canvas with a two-colour gradient from its top-left (Color1) to its
// bottom-right corner (Color2), vertical or horizontal; system colours are resolved first.
bool GradientFillRect(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2, bool Vertical);

// 64 - 64 cos(i pi / 255) rounded half to even, i = 0..255 (0 .. 128); built at start-up.
extern std::array<int32_t, 256> CosineRamp;
void BuildCosineRamp();
