// Library-wide definitions of the image library: its exception, colour records, pixel formats,
// storage locations, resampling filters, floating-point points, the dynamic arrays, the progress
// record and the soft-shadow settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Events.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Types.h"

// The library's exception: a short English message.
PX_DECLARE_EXCEPTION(EPXException, Exception);

// A globally unique identifier in the platform's layout (layers and the image cache store it).
struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};
  friend bool operator==(const TGUID&, const TGUID&) = default;
};

// ---------------------------------------------------------------------------------------------
// Colour records (packed, exactly as they lie in pixel rows).

#pragma pack(push, 1)
// Blue, green, red bytes.
struct TRGB {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  friend constexpr bool operator==(const TRGB&, const TRGB&) = default;
};
// Red, green, blue 16-bit words.
struct TRGB48 {
  uint16_t r = 0;
  uint16_t g = 0;
  uint16_t b = 0;
  friend constexpr bool operator==(const TRGB48&, const TRGB48&) = default;
};
// Cyan, magenta, yellow, black, each stored as its complement (255 = no ink).
struct TCMYK {
  uint8_t c = 0;
  uint8_t m = 0;
  uint8_t y = 0;
  uint8_t k = 0;
  friend constexpr bool operator==(const TCMYK&, const TCMYK&) = default;
};
// L* scaled 0..100 -> 0..255; a* and b* as signed bytes.
struct TCIELab {
  uint8_t l = 0;
  int8_t a = 0;
  int8_t b = 0;
  friend constexpr bool operator==(const TCIELab&, const TCIELab&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TRGB) == 3 && sizeof(TRGB48) == 6 && sizeof(TCMYK) == 4 && sizeof(TCIELab) == 3);

using PRGB = TRGB*;

// ---------------------------------------------------------------------------------------------
// Floating-point points and the library's dynamic arrays.

struct TDPoint {
  double X = 0;
  double Y = 0;
  friend constexpr bool operator==(const TDPoint&, const TDPoint&) = default;
};

TDPoint DPoint(double X, double Y);
// Each coordinate rounded to the nearest integer, halves to even.
TPoint DPointToPoint(const TDPoint& P);

using TPXDPointArray = std::vector<TDPoint>;
using TPXArrayOfTPoint = std::vector<TPoint>;
using TPXArrayOfTRGB = std::vector<TRGB>;
using TPXIntegerArray = std::vector<int32_t>;

// ---------------------------------------------------------------------------------------------
// Pixel formats, storage locations, resampling filters.

enum class TPXPixelFormat : uint8_t {
  pxNoFormat = 0,
  px1g = 1,      // 1 bit, leftmost pixel in bit 7, set = white
  px8p = 2,      // index into a 256-entry palette of TRGB
  px8g = 3,      // 8-bit grey
  px16g = 4,     // 16-bit grey
  px24RGB = 5,   // TRGB
  px32f = 6,     // single-precision grey, 0.0 black .. 1.0 white
  pxCMYK = 7,    // TCMYK
  pxRGB48 = 8,   // TRGB48
  pxCIELab = 9,  // TCIELab
  px32RGB = 10,  // blue, green, red and a fourth byte
};
using enum TPXPixelFormat;
inline constexpr int PXPixelFormatCount = 11;

// A set of pixel formats, bit n for format n; the empty set means any format.
using TPXPixelFormatSet = TSet<TPXPixelFormat>;

// Where the pixels of a bitmap live.
enum class TPXBitmapLocation : uint8_t { pxMemory = 0, pxFile = 1, pxTBitmap = 2 };
using enum TPXBitmapLocation;

enum class TResampleFilter : uint8_t {
  rfNone = 0,
  rfTriangle = 1,
  rfHermite = 2,
  rfBell = 3,
  rfBSpline = 4,
  rfLanczos3 = 5,
  rfMitchell = 6,
  rfNearest = 7,
  rfLinear = 8,
  rfFastLinear = 9,
  rfBilinear = 10,
  rfBicubic = 11,
  rfProjectBW = 12,
  rfProjectWB = 13,
  rfWICNearestNeighbor = 14,
  rfWICLinear = 15,
  rfWICCubic = 16,
  rfWICFant = 17,
};
using enum TResampleFilter;

// ---------------------------------------------------------------------------------------------
// Progress record: filled by the caller of a long operation; the operation reports
// trunc(Count * PerCentPerUnit) through Event and stops when *Aborting is true.

PX_EVENT_TYPE(TPXProgressEvent, void(TObject* Sender, int32_t per));

// The owner's abort flag; atomic because workers read it while the owner sets it.
using TPXAbortFlag = std::atomic<bool>;

struct TPXProgressRecord {
  TPXProgressEvent Event;
  TObject* Sender = nullptr;
  int32_t Count = 0;
  int32_t Aux1 = 0;
  int32_t Aux2 = 0;
  double PerCentPerUnit = 0;
  double PerCentPerUnit2 = 0;
  TPXAbortFlag* Aborting = nullptr;  // not owned; may be nil
};

// ---------------------------------------------------------------------------------------------
// Soft-shadow settings of a layer.

class TPXVSoftShadow : public TObject {
 public:
  TPXVSoftShadow() = default;
  void Assign(const TPXVSoftShadow* Source);

  uint8_t Enabled = 0;
  double Radius = 3.0;
  int32_t OffsetX = 3;
  int32_t OffsetY = 3;
  int32_t Intensity = 100;
  TRGB Color{0, 0, 0};
};
