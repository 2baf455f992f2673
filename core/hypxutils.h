// Utilities shared by the whole image library: the progress record routines, small value
// helpers, geometry, bit and format routines, text-to-number conversion, zero-terminated string
// routines, system queries, stream fields, memory blocks, temporary files and the file buffer.
//
// Definitions: hypxutils.cpp (progress, helpers, geometry, bits, text, system),
// hypxutils_stream.cpp (stream fields, CopyStreamBytes), hypxutils_file.cpp (memory blocks,
// temporary files, file buffer).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"

// ---------------------------------------------------------------------------------------------
// Progress record

// Stores Event, Sender and the flag's address; Count, Aux1, Aux2 and the steps are left alone.
void InitProgressRecord(TObject* Sender, TPXAbortFlag* Aborting, TPXProgressRecord& Rec,
                        const TPXProgressEvent& Event);
// ClearFlag: *Aborting := false first (Aborting must not be nil then); clears Event and Sender.
void ResetProgressRecord(TPXAbortFlag* Aborting, bool ClearFlag, TPXProgressRecord& Rec);
// As ResetProgressRecord, but a nil flag address is allowed.
void ResetProgressRecordSafe(TPXAbortFlag* Aborting, bool ClearFlag, TPXProgressRecord& Rec);

// Masks every floating-point exception of the calling thread for its lifetime, around calls into
// foreign code; the previous mask comes back on destruction.
class TPXFPExceptionsDisabler {
 public:
  TPXFPExceptionsDisabler();
  ~TPXFPExceptionsDisabler();
  TPXFPExceptionsDisabler(const TPXFPExceptionsDisabler&) = delete;
  TPXFPExceptionsDisabler& operator=(const TPXFPExceptionsDisabler&) = delete;

 private:
  int saved_mask_;  // exceptions that were enabled (trapping)
};

// ---------------------------------------------------------------------------------------------
// General helpers

inline int32_t IntMax(int32_t A, int32_t B) { return B > A ? B : A; }
inline int32_t IntMin(int32_t A, int32_t B) { return B < A ? B : A; }
inline double MaxFloat(double A, double B) { return B > A ? B : A; }
inline double MinFloat(double A, double B) { return B >= A ? A : B; }
inline int64_t Int64Max(int64_t A, int64_t B) { return B > A ? B : A; }
inline int64_t Int64Min(int64_t A, int64_t B) { return B < A ? B : A; }
inline uint64_t UInt64Min(uint64_t A, uint64_t B) { return B < A ? B : A; }
// Min when Value <= Min, else Value when Value < Max, else Max (Min wins when Min > Max).
inline int32_t ClampInt(int32_t Value, int32_t Min, int32_t Max) {
  return Value <= Min ? Min : (Value < Max ? Value : Max);
}
// A + B saturated to 32 bits (positions read from files may lie anywhere).
inline int32_t AddClamped(int32_t A, int32_t B) {
  const int64_t v = int64_t{A} + B;
  return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
}
inline uint8_t ClampByte(int32_t Value) {
  return static_cast<uint8_t>(Value < 0 ? 0 : (Value > 255 ? 255 : Value));
}
inline uint16_t ClampWord(int32_t Value) {
  return static_cast<uint16_t>(Value < 0 ? 0 : (Value > 65535 ? 65535 : Value));
}

template <class T>
inline void PXSwap(T& A, T& B) {
  T t = std::move(A);
  A = std::move(B);
  B = std::move(t);
}
inline void SwapInt(int32_t& A, int32_t& B) { PXSwap(A, B); }
inline void ExchangeInt(int32_t& A, int32_t& B) { PXSwap(A, B); }
inline void SwapCardinal(uint32_t& A, uint32_t& B) { PXSwap(A, B); }
inline void SwapDouble(double& A, double& B) { PXSwap(A, B); }
inline void SwapByte(uint8_t& A, uint8_t& B) { PXSwap(A, B); }
inline void SwapByteValue(uint8_t& A, uint8_t& B) { PXSwap(A, B); }
inline void SwapChar(char& A, char& B) { PXSwap(A, B); }
inline void SwapPoint(TPoint& A, TPoint& B) { PXSwap(A, B); }
inline void SwapRGB(TRGB& A, TRGB& B) { PXSwap(A, B); }
inline void SwapGUID(TGUID& A, TGUID& B) { PXSwap(A, B); }
struct TPXRecord24 {
  int32_t V[6] = {};
};
inline void SwapRecord24(TPXRecord24& A, TPXRecord24& B) { PXSwap(A, B); }
inline void SwapStrings(std::string& A, std::string& B) { A.swap(B); }
inline void SwapRGBArrays(TPXArrayOfTRGB& A, TPXArrayOfTRGB& B) { A.swap(B); }
// Exchanges charset, colour, height, name and style.
void SwapFontAttributes(TFont* A, TFont* B);

TRGB CreateRGB(uint8_t Red, uint8_t Green, uint8_t Blue);
TRGB48 CreateRGB48(uint16_t Red, uint16_t Green, uint16_t Blue);
// Bytes from the lowest: blue, green, red, alpha.
uint32_t CreateRGBA(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t Alpha);
TColor RGBToTColor(uint8_t Red, uint8_t Green, uint8_t Blue);
// A system colour resolved to its RGB value; other values unchanged.
TColor ResolveColor(TColor Color);
TRGB TColorToRGB(TColor Color);
// ResolveColor, then the low and third bytes exchanged, the top byte kept.
uint32_t TColorToPackedRGB(TColor Color);
// Low and third bytes exchanged, top byte dropped.
uint32_t SwapRedBlue(uint32_t Color);
bool SameRGB(uint32_t A, uint32_t B);
TColor RandomColor(bool Light);
bool IsRectZero(const TRect& R);
bool RectsEqual(const TRect& A, const TRect& B);
void OrderRectCoords(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2);
TRect ExtendRectToPoint(TRect& R, int32_t X, int32_t Y);
TRect MakeRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
void RectToLTWH(const TRect& Source, TRect& Dest);
bool PointsEqual(const TPoint& A, const TPoint& B);
void SetStringFromBuffer(std::string& S, const void* Buffer, int32_t Length);

// ---------------------------------------------------------------------------------------------
// Geometry

double PointDistance(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
double PointDistanceF(double X1, double Y1, double X2, double Y2);
// Distance from P0 to the infinite line through P1 and P2 (false when P1 = P2).
bool PointLineDistance(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double& Result);
double PointLineDistance(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
double PointToSegmentDistance(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// Smallest distance from (X0, Y0) to the polyline of Count points, each mapped to
// (round((x - OffsetX) * ScaleX + ShiftX), round((y - OffsetY) * ScaleY + ShiftY)).
double PolylineHitDistance(int32_t X0, int32_t Y0, const TPoint* Points, int32_t Count, double ScaleX,
                           double ScaleY, int32_t OffsetX, int32_t OffsetY, int32_t ShiftX, int32_t ShiftY,
                           int32_t LineWidth, bool Closed);
void SnapPointTo45Degrees(int32_t AnchorX, int32_t AnchorY, int32_t& X, int32_t& Y);
bool RectsIntersect(const TRect& R1, const TRect& R2);
bool RectsOverlap(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Left, int32_t Top, int32_t Right,
                  int32_t Bottom);
int32_t RectSegmentState(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                         int32_t X2, int32_t Y2);
bool PointInRectCoords(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
bool PointInRectInclusive(int32_t X, int32_t Y, const TRect& R);
bool PointInRectAnyOrder(int32_t X, int32_t Y, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// round(HalfWidth * sqrt(1 - 4x^2/n^2)), n = Height + 1, x = Row + 1 - n/2; halves to even.
int32_t EllipseRowHalfWidth(int32_t HalfWidth, int32_t Height, int32_t Row);

// ---------------------------------------------------------------------------------------------
// Bits, bytes and pixel formats

int32_t MaskBitWidth(uint32_t Mask);
int32_t MaskLowBit(uint32_t Mask);
int32_t MaskEndBit(uint32_t Mask);
// Bytes of a row of Width pixels, aligned to AlignBits (8, 16, 32, 64).
int64_t RowByteLength(int64_t Width, int32_t BitsPerPixel, int32_t AlignBits);
int32_t PixelFormatBits(TPXPixelFormat Format);
int32_t PixelFormatChannels(TPXPixelFormat Format);
int32_t GraphicPixelFormatBits(TPixelFormat Format);
TPXPixelFormat GraphicToPXPixelFormat(TPixelFormat Format);
int64_t GraphicRowByteLength(int32_t Width, TPixelFormat Format);
void PackedRGBToRGB48(uint32_t Packed, TRGB48& Result);
uint32_t SwapBytes16(uint32_t Value);
uint32_t SwapBytes32(uint32_t Value);
uint64_t SwapBytes64(uint64_t Value);
void SwapBytes16Array(void* Buffer, int64_t Count);
void SwapBytes32Array(void* Buffer, int64_t Count);
void ReverseBitsInByte(uint8_t& B);
void ReverseBits32(uint32_t& Value);
double FloatPower(double Base, double Exponent);

// ---------------------------------------------------------------------------------------------
// Text and zero-terminated strings

// Accepts either decimal separator whatever the locale; Default when neither parses.
double TextToFloatDef(std::string_view Text, double Default);
double WideTextToFloatDef(std::u16string_view Text, double Default);
int32_t PCharLength(const char* S);
int32_t PWideCharLength(const char16_t* S);
char* PCharCopy(char* Dest, const char* Source);
char16_t* WideStrCopyBuffer(char16_t* Dest, const char16_t* Source);
char* PCharFromString(char* Dest, std::string_view S);
char16_t* WideStrToBuffer(char16_t* Dest, std::u16string_view S);
char16_t* AnsiCharsToWideBuffer(char16_t* Dest, const std::vector<uint8_t>& Source);
void PCharMove(char* Dest, const char* Source, int32_t Count);
const char* StrScanChar(const char* S, char C);
const char* PCharScan(const char* S, char C);
const char* PCharScanLast(const char* S, char C);
void CopyByteArray(const std::vector<uint8_t>& Source, std::vector<uint8_t>& Dest);

// ---------------------------------------------------------------------------------------------
// System

// The Windows version id the library keys on: always 10 here.
uint8_t GetWindowsVersionId();
// Size of the file (0 when none).
int64_t GetFileSizeByName(std::string_view Path);
// The four numbers of a file's version resource; empty: no file carries one here.
std::string GetFileVersionString(std::u16string_view FileName);
// Total (or, with Available, currently available) physical memory in bytes; 0 when unknown.
int64_t GetPhysicalMemory(bool Available);

// ---------------------------------------------------------------------------------------------
// Stream fields (little-endian). Readers check every length against what the stream still
// holds and raise EReadError "Stream read error" before allocating.

void WriteAnsiStringToStream(TStream* Stream, std::string_view S);
std::string ReadAnsiStringFromStream(TStream* Stream);
void WriteWideStringToStream(TStream* Stream, std::u16string_view S);
std::u16string ReadWideStringFromStream(TStream* Stream);
// A wide-string field converted to a byte string.
std::string ReadWideStringAsAnsi(TStream* Stream);
void WriteStringListToStream(TStream* Stream, TStrings* List);
// Clears the list, then adds the strings.
void ReadStringListFromStream(TStream* Stream, TStrings* List);
void WriteFontToStream(TStream* Stream, TFont* Font);
void ReadFontFromStream(TStream* Stream, TFont* Font);
// Writes Count bytes; ErrorFlag becomes true when fewer were written (it is never reset here).
void StreamWriteChecked(TStream* Stream, bool& ErrorFlag, const void* Buffer, int64_t Count);
// Copies Count bytes from Source's position (0: the whole of Source from its start), limited to
// what remains in Source; returns the count. Short reads or writes raise.
int64_t CopyStreamBytes(TStream* Dest, TStream* Source, int64_t Count);

// ---------------------------------------------------------------------------------------------
// Memory blocks

// Size bytes; with ForceGlobal or from 1,048,576 bytes on zero-filled, else not cleared. Blocks
// are 16-byte aligned. nil when memory cannot be had or Size is negative; never raises.
void* AllocBlock(bool ForceGlobal, int64_t Size);
// Frees a block of AllocBlock (nil is ignored) and sets P to nil.
void FreeBlock(void*& P);
// A heap block of Size bytes, not cleared, without any fallback (nil on failure).
void* AllocHeapBlock(int64_t Size);
// Frees a block of AllocBlock or AllocHeapBlock.
struct TPXBlockDeleter {
  void operator()(void* P) const;
};
using TPXBlockPtr = std::unique_ptr<uint8_t, TPXBlockDeleter>;

void* GlobalAllocZeroed(int64_t Size);
void GlobalFreeAndNil(void*& P);
struct TPXGlobalDeleter {
  void operator()(void* P) const;
};
using TPXGlobalPtr = std::unique_ptr<uint8_t, TPXGlobalDeleter>;
// P := a heap block of Size bytes, or nil when memory is short.
void TryGetMem(void*& P, int64_t Size);

// ---------------------------------------------------------------------------------------------
// Temporary files

// Folder/Prefix-XXXXXXXX.Extension with 8 upper-case hexadecimal digits, drawn again while the
// name exists. Defaults: "~pxtemp", the settings' temporary folder or the system's, ".tmp".
std::string MakeTempFileName(std::string_view Prefix, std::string_view Folder, std::string_view Extension);
// Whether a file (not a folder) of that name exists; the settings may ask for the run-time's
// test instead.
bool FileExistsA(std::string_view Name);
bool FileExistsW(std::u16string_view Name);

// A new temporary file, created exclusively (never following a link), readable and writable by
// the owner only, and removed when the stream is freed. Raises EInOutError
// "Unable to create " + name (ErrorCode the system's error) when it cannot be created.
class TPXTemporaryFileStream : public THandleStream {
 public:
  explicit TPXTemporaryFileStream(std::string_view FileName);
  ~TPXTemporaryFileStream() override;
  const std::string& FileName() const { return file_name_; }

 private:
  std::string file_name_;
};

// The backing store of file-backed pictures and of the image cache: one temporary file (or a
// memory stream), regions of it copied into memory blocks for direct access, and a mapping of
// the whole content that stays valid until the size changes or the buffer is freed.
class TPXFileBuffer : public TObject {
 public:
  struct TRegion {
    int64_t Position = 0;
    int64_t Size = 0;
    TPXBlockPtr Memory;
    uint8_t Access = 0;  // bit 0: read in when mapped; bit 1: written back when released
  };

  TPXFileBuffer() = default;
  ~TPXFileBuffer() override;

  // A new temporary file (UseFile) or memory stream of Size bytes, named with Prefix. The disk
  // space is reserved up front. Any failure gives false and leaves the buffer unallocated
  // (no stream, no file).
  bool Allocate(std::string_view Prefix, bool UseFile, int64_t Size);
  bool IsAllocated() const { return Stream != nullptr; }
  // Changes the size; the whole-content mapping is dropped (remade on the next Data).
  void SetSize(int64_t Size);
  // Writes back and frees every region, frees the stream and deletes the file.
  void Deallocate();
  // A block holding Size bytes from Position (read in with Access bit 0); nil when no memory.
  void* Map(uint8_t Access, int64_t Position, int64_t Size);
  // Writes the region back (Access bit 1) and frees it; nil is ignored; an unknown address
  // raises EListError.
  void Release(void* Memory);
  void ReleaseAll();
  void Write(const void* Data, int64_t Position, int64_t Size);
  // Copies Count bytes at Position into Dest (both allocated).
  void CopyTo(TPXFileBuffer* Dest, int64_t Position, int64_t Count);
  void CopyToStream(TStream* Dest, int64_t Position, int64_t Count);

  // The whole content in memory: the temporary file mapped shared (writes reach the file), or the
  // memory stream's block. nil when not allocated, empty, or the mapping fails.
  uint8_t* Data();
  int64_t DataSize() const { return data_size_; }

  std::unique_ptr<TStream> Stream;
  std::string FileName;
  std::vector<TRegion> Regions;

 private:
  void Unmap();
  uint8_t* data_ = nullptr;
  int64_t data_size_ = 0;
  bool mapped_ = false;  // data_ is an mmap of the file (else the memory stream's block)
};

// ---------------------------------------------------------------------------------------------
// Library services: blend operations (hypxutils_blend.cpp)

// The per-pixel operations that combine a source pixel into a destination pixel. One byte; any
// value above pxboLuma is accepted and leaves the destination unchanged.
enum class TPXBlendOperation : uint8_t {
  pxboNormal = 0,
  pxboAdd = 1,
  pxboSub = 2,
  pxboDiv = 3,
  pxboMul = 4,
  pxboOr = 5,
  pxboAnd = 6,
  pxboXor = 7,
  pxboMax = 8,
  pxboMin = 9,
  pxboAverage = 10,
  pxboScreen = 11,
  pxboNegation = 12,
  pxboExclusion = 13,
  pxboOverlay = 14,
  pxboHardLight = 15,
  pxboSoftLight = 16,
  pxboXFader = 17,
  pxboColorDodge = 18,
  pxboColorBurn = 19,
  pxboInverseColorDodge = 20,
  pxboInverseColorBurn = 21,
  pxboSoftDodge = 22,
  pxboSoftBurn = 23,
  pxboReflect = 24,
  pxboGlow = 25,
  pxboFreeze = 26,
  pxboHeat = 27,
  pxboSubtractive = 28,
  pxboInterpolation = 29,
  pxboStamp = 30,
  pxboRed = 31,
  pxboGreen = 32,
  pxboBlue = 33,
  pxboHue = 34,
  pxboSaturation = 35,
  pxboColor = 36,
  pxboLuminosity = 37,
  pxboGrayAnaglyph = 38,   // red: grey of the destination; green and blue: grey of the source
  pxboCopyRGB = 39,        // as pxboNormal
  pxboAnaglyphMatrix = 40, // red-cyan anaglyph, destination = left view, source = right view
  pxboEvenRows = 41,       // the source on even rows
  pxboOddRows = 42,        // the source on odd rows
  pxboLuma = 43,           // luma of the source, chroma of the destination
};
using enum TPXBlendOperation;
inline constexpr int PXBlendOperationCount = 44;
// The number of operations the layer dialog lists (0 .. 37, with captions).
inline constexpr int PXBlendOperationListed = 38;

// Combines Source into Dest by Operation; Row is the destination row (even/odd-row operations).
void CombinePixels(const TRGB& Source, TRGB& Dest, TPXBlendOperation Operation, int32_t Row);
// The same on copies of both pixels, written back afterwards (Source comes back unchanged).
void CombinePixelsCopy(TRGB& Source, TRGB& Dest, TPXBlendOperation Operation, int32_t Row);
// The English caption of an operation the layer dialog lists; empty for the others.
const char* BlendOperationCaption(TPXBlendOperation Operation);
// The number of colours of SamplesPerPixel samples of BitsPerSample bits each: 64-bit,
// saturating at INT64_MAX; 1 for no samples.
int64_t ColorCountFromBits(int32_t BitsPerSample, int32_t SamplesPerPixel);

// ---------------------------------------------------------------------------------------------
// Library services: colour spaces (hypxutils_colour2.cpp). A packed colour is blue in bits
// 0..7, green 8..15, red 16..23, the top byte ignored. Pure functions; none raises.

// JFIF YCbCr, each 0..255.
void RGBToYCbCr(uint32_t Color, int32_t& Y, int32_t& Cb, int32_t& Cr);
void YCbCrToRGB(TRGB& Result, int32_t Y, int32_t Cb, int32_t Cr);
// BT.601 studio range to RGB; Dest receives blue, green, red.
void YCbCrToRGB601(int32_t Y, int32_t Cb, int32_t Cr, uint8_t* Dest);
// HSL with hue, saturation and lightness each 0..1.
void RGBToHSL(double& H, double& S, double& L, uint32_t Color);
void HSLToRGB(TRGB& Result, double H, double S, double L);
// Integer HSV: hue 0..359 degrees, saturation and value 0..99.
void RGBToHSV(int32_t& H, int32_t& S, int32_t& V, uint32_t Color);
void HSVToRGB(TRGB& Result, int32_t H, int32_t S, int32_t V);
// The first entry of Palette[0 .. Count-1] nearest to Color (squared distance); 0 when empty.
int32_t NearestPaletteIndex(const TRGB* Palette, int32_t Count, uint32_t Color);
// Each of the three low bytes of A and B differs by at most Tolerance.
bool ColorsWithinTolerance(int32_t Tolerance, uint32_t A, uint32_t B);
// round(x * 255), kept within 0..255 (NaN gives 0).
uint8_t UnitToByte(double X);
// "#RRGGBB" in upper-case hexadecimal of a platform colour value (red in the low byte).
std::string ColorToHexText(TColor Color);

// ---------------------------------------------------------------------------------------------
// Library services: fitting, angles, rotation and point sets (hypxutils_geometry.cpp).
// Screen coordinates (y down); angles in degrees turn counter-clockwise on screen, computed on
// -Angle in radians. 1048575 in a coordinate of a point list marks a missing point.

inline constexpr int32_t PXPointMarker = 1048575;

// A rectangle of doubles.
struct TDRect {
  double Left = 0;
  double Top = 0;
  double Right = 0;
  double Bottom = 0;
};

// Where a SourceWidth x SourceHeight picture goes in a box at (BoxLeft, BoxTop): fitted inside,
// or with Fill covering the box; CropPercent > 0 enlarges until at most that share is cut.
void CalcFitRect(int32_t SourceWidth, int32_t SourceHeight, int32_t BoxWidth, int32_t BoxHeight, int32_t BoxLeft,
                 int32_t BoxTop, bool AllowEnlarge, bool AllowShrink, bool CenterH, bool CenterV,
                 double CropPercent, bool Fill, TRect& Rect);
// The same on a box given as a rectangle (its top-left the origin).
void CalcFitRect(int32_t SourceWidth, int32_t SourceHeight, const TRect& Box, bool AllowEnlarge, bool AllowShrink,
                 bool CenterH, bool CenterV, double CropPercent, bool Fill, TRect& Rect);
// The fitted size with shrinking allowed, no centring, no crop.
void CalcFitSize(int32_t SourceWidth, int32_t SourceHeight, int32_t BoxWidth, int32_t BoxHeight, bool Fill,
                 bool AllowEnlarge, int32_t& Width, int32_t& Height);
// CalcFitRect on the box (Left, Top, Width, Height), written back into the four variables.
void FitRectInPlace(int32_t SourceWidth, int32_t SourceHeight, int32_t& Left, int32_t& Top, int32_t& Width,
                    int32_t& Height, bool AllowEnlarge, bool AllowShrink, bool CenterH, bool CenterV,
                    double CropPercent, bool Fill);
// Scales Width x Height by min(MaxWidth / Width, MaxHeight / Height), truncated, each at least 1;
// nothing when Width or Height is 0.
void FitSizeKeepAspect(int32_t Width, int32_t Height, int32_t MaxWidth, int32_t MaxHeight, int32_t& NewWidth,
                       int32_t& NewHeight);
void CalcThumbnailFillSize(int32_t Width, int32_t Height, int32_t BoxWidth, int32_t BoxHeight, double CropPercent,
                           int32_t& ScaledWidth, int32_t& ScaledHeight, int32_t& VisibleWidth,
                           int32_t& VisibleHeight);

double DegreesToRadians(double X);
double RadiansToDegrees(double X);
void NormalizeAngle360F(double& X);    // 0 <= x < 360
void NormalizeAngle360(int32_t& X);    // 0 .. 359
void NormalizeAngle180F(double& X);    // -180 .. 180
void NormalizeAngle180(int32_t& X);    // -180 .. 180
double NegateAngle(double X);          // -x within -180 .. 180
// 0 <= result < 360 for x >= 0, -360 <= result < 0 for x < 0.
double WrapAngleKeepSign(double X);
// arccos of x clamped to -1 .. 1 (NaN gives 0).
double ArcCosGuarded(double X);
// The angle between Q - R and P - Q; 0 for a zero-length vector.
double VectorAngleTerm(double PX, double PY, double QX, double QY, double RX, double RY);
// Direction from point 1 to point 2 in radians, 0 <= result < 2 pi, counter-clockwise on screen.
double PointAngle(double X1, double Y1, double X2, double Y2);
// +1, -1 or 0: the turn from P0 -> P1 to P0 -> P2 (collinear: -1 when P0 lies between).
int32_t TurnDirection(const TPoint& P0, const TPoint& P1, const TPoint& P2);
// The angle at P1 in radians, 0 .. 2 pi (reflex by the turn direction).
double AngleAtVertex(const TPoint& P0, const TPoint& P1, const TPoint& P2);
// The four corner values weighted by the fractional parts of X and Y, truncated.
int32_t BilinearInterpolate(int32_t V00, int32_t V10, int32_t V01, int32_t V11, double X, double Y);

// Turns (X, Y) about (CX, CY): RotatePoint rounds, RotatePointInt truncates.
void RotatePoint(int32_t& X, int32_t& Y, int32_t CX, int32_t CY, double Angle);
void RotatePointInt(int32_t& X, int32_t& Y, int32_t CX, int32_t CY, double Angle);
void RotatePoints(TPoint* Points, int32_t Count, int32_t CX, int32_t CY, double Angle);
void RotatePointF(double& X, double& Y, double CX, double CY, double Angle);
void RotatePointsF(TDPoint* Points, int32_t Count, double CX, double CY, double Angle);
void RotatePointsAroundCentroidF(TDPoint* Points, int32_t Count, double Angle);
void RotateSegmentAboutMidpointF(const TDPoint& P1, const TDPoint& P2, double Angle, TDPoint& Q1, TDPoint& Q2);
// Bounding size of a box of the given coordinate differences turned by Angle (truncated).
void RotatedBoxSize(double W, double H, double Angle, int32_t& Width, int32_t& Height);
int32_t RotatedBoxWidth(double W, double H, double Angle);
int32_t RotatedBoxHeight(double W, double H, double Angle);
// Bounds of the rectangle's corners turned about (CX, CY).
void RotatedRectBounds(const TDRect& Rect, double CX, double CY, double Angle, TDRect& Bounds);
// Size of the bounds of (0, 0)-(Width-1, Height-1) turned about Centre, each round(max - min + 1).
void RotatedRectSize(int32_t Width, int32_t Height, const TDPoint& Centre, double Angle, int32_t& NewWidth,
                     int32_t& NewHeight);
// The same about the rectangle's own centre, unrounded.
void RotatedSizeF(double Width, double Height, double Angle, double& NewWidth, double& NewHeight);
double RotatedAspectRatio(double Angle, double Ratio);
void PolarOffset(const TPoint& Src, TPoint& Dst, double Angle, double Distance);
void EllipsePoint(const TPoint& Centre, TPoint& P, double Angle, double RadiusX, double RadiusY);
void EllipsePointF(const TDPoint& Centre, TDPoint& P, double Angle, double RadiusX, double RadiusY);
// Where the line through the rectangle's centre at Angle meets its border; (-1, -1) twice for an
// empty rectangle.
void LineEndsInRectAtAngle(const TRect& Rect, int32_t Angle, TPoint& P1, TPoint& P2);
// The truncated bounding size of the box with corners (X1, Y1) and (X2, Y2) turned by Angle
// degrees.
void RotatedExtent(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Angle, TPoint& Size);

void PolygonCentroid(const TDPoint* Points, int32_t Count, TDPoint& Centroid);
// Extremes of the coordinates (markers skipped for the maxima); all 0 for no points.
void PointsBounds(const TPoint* Points, int32_t Count, int32_t& MaxX, int32_t& MaxY, int32_t& MinX,
                  int32_t& MinY);
void PointsBoundsF(const TDPoint* Points, int32_t Count, double& MaxX, double& MaxY, double& MinX, double& MinY);
// Maps the points from their bounds onto Rect (markers left alone).
void ScalePointsToRect(TPoint* Points, int32_t Count, const TRect& Rect, bool KeepAspect);
void ScalePointsToRectF(TDPoint* Points, int32_t Count, const TDRect& Rect, bool KeepAspect);
// Even-odd rule.
bool PointInPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count);
bool PointInPolygonF(double X, double Y, const TDPoint* Points, int32_t Count);
// Each vertex mapped to (OffsetX + ScaleX (x - OriginX), OffsetY + ScaleY (y - OriginY)) first.
bool PointInScaledPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count, double ScaleX, double ScaleY,
                          double OriginX, double OriginY, double OffsetX, double OffsetY);
// Moves the rectangle, keeping its size, to the centre of the box.
void CenterRectInBox(int32_t BoxLeft, int32_t BoxTop, int32_t BoxRight, int32_t BoxBottom, int32_t& Left,
                     int32_t& Top, int32_t& Right, int32_t& Bottom);
// Count points of the cubic curve at t = 1/Count .. 1 (P0 itself not emitted).
void BezierPoints(const TPoint& P0, const TPoint& P1, const TPoint& P2, const TPoint& P3, TPXArrayOfTPoint& Points,
                  int32_t Count);

// Smallest distance to the outline drawn with PenWidth; 0 inside when Filled; 2147483647 for a
// negative pen width.
double DistanceToRectOutline(int32_t X, int32_t Y, const TRect& Rect, int32_t PenWidth, bool Filled);
double DistanceToEllipseOutline(int32_t X, int32_t Y, const TRect& Rect, int32_t PenWidth, bool Filled);
// Distance of P from the line through Q and R (0 when Q = R).
double TriangleHeight(const TDPoint& P, const TDPoint& Q, const TDPoint& R);
// Half the cross product of Q - P and R - P (the signed area).
double TriangleArea2(const TDPoint& P, const TDPoint& Q, const TDPoint& R);
// The vector perpendicular to PQ, of the length of R's distance from the line PQ, towards R.
void PerpendicularOffset(const TDPoint& P, const TDPoint& Q, const TDPoint& R, double& DX, double& DY);
// The foot of the perpendicular from Point onto the line through LinePoint with slope dy/dx.
void ProjectPointOnLine(const TDPoint& Point, const TDPoint& LinePoint, double Slope, TDPoint& Foot);
// The arc from P1 to P2 bent by Bulge (1: a half circle); nothing when P1 = P2.
void ArcThroughPoints(const TDPoint& P1, const TDPoint& P2, double Bulge, double& StartAngle, double& Radius,
                      double& SweepAngle);
void ArcThroughIntPoints(const TPoint& P1, const TPoint& P2, double Bulge, double& StartAngle, double& Radius,
                         double& SweepAngle);
// Width-to-height ratio of the rectangle whose perspective image is the quadrilateral Q1, Q2, Q4,
// Q3 (outline order), the principal point at (CX, CY).
double PerspectiveAspectRatio(double CX, double CY, const TDPoint& Q1, const TDPoint& Q2, const TDPoint& Q4,
                              const TDPoint& Q3);

// ---------------------------------------------------------------------------------------------
// Library services: buffered and small streams (hypxutils_streams.cpp), lists and containers
// (hypxutils_containers.cpp), the key/value dictionary (hypxutils_dictionary.cpp).
#include "core/hypxutils_containers.h"
#include "core/hypxutils_dictionary.h"
#include "core/hypxutils_streams.h"

// ---------------------------------------------------------------------------------------------
// Other subsystems' routines living in this unit: append declarations below, in a section
// named after the subsystem.
//
// P2:
//
// P3:
