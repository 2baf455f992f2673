// Progress record, value helpers, geometry, bits and formats, text conversion, zero-terminated
// strings and system queries.
#include "core/hypxutils.h"

#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/pxsettings.h"
#include "platform/rtl/Classes_threads.h"

// ---------------------------------------------------------------------------------------------
// Progress record

void InitProgressRecord(TObject* Sender, TPXAbortFlag* Aborting, TPXProgressRecord& Rec,
                        const TPXProgressEvent& Event) {
  Rec.Event = Event;
  Rec.Sender = Sender;
  Rec.Aborting = Aborting;
}

void ResetProgressRecord(TPXAbortFlag* Aborting, bool ClearFlag, TPXProgressRecord& Rec) {
  if (ClearFlag) *Aborting = false;
  Rec.Event = nullptr;
  Rec.Sender = nullptr;
  Rec.Aborting = Aborting;
}

void ResetProgressRecordSafe(TPXAbortFlag* Aborting, bool ClearFlag, TPXProgressRecord& Rec) {
  if (ClearFlag && Aborting) *Aborting = false;
  Rec.Event = nullptr;
  Rec.Sender = nullptr;
  Rec.Aborting = Aborting;
}

TPXFPExceptionsDisabler::TPXFPExceptionsDisabler() : saved_mask_(fegetexcept()) {
  fedisableexcept(FE_ALL_EXCEPT);
}

TPXFPExceptionsDisabler::~TPXFPExceptionsDisabler() {
  fedisableexcept(FE_ALL_EXCEPT);
  if (saved_mask_ > 0) feenableexcept(saved_mask_ & FE_ALL_EXCEPT);
}

// ---------------------------------------------------------------------------------------------
// Value helpers

void SwapFontAttributes(TFont* A, TFont* B) {
  if (!A || !B) return;
  const TFontCharset charset = A->Charset();
  const TColor color = A->Color();
  const int32_t height = A->Height();
  const std::string name = A->Name();
  const TFontStyles style = A->Style();
  A->SetCharset(B->Charset());
  A->SetColor(B->Color());
  A->SetHeight(B->Height());
  A->SetName(B->Name());
  A->SetStyle(B->Style());
  B->SetCharset(charset);
  B->SetColor(color);
  B->SetHeight(height);
  B->SetName(name);
  B->SetStyle(style);
}

TRGB CreateRGB(uint8_t Red, uint8_t Green, uint8_t Blue) { return TRGB{Blue, Green, Red}; }

TRGB48 CreateRGB48(uint16_t Red, uint16_t Green, uint16_t Blue) { return TRGB48{Red, Green, Blue}; }

uint32_t CreateRGBA(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t Alpha) {
  return static_cast<uint32_t>(Blue) | (static_cast<uint32_t>(Green) << 8) | (static_cast<uint32_t>(Red) << 16) |
         (static_cast<uint32_t>(Alpha) << 24);
}

TColor RGBToTColor(uint8_t Red, uint8_t Green, uint8_t Blue) {
  return static_cast<TColor>(Red | (Green << 8) | (Blue << 16));
}

TColor ResolveColor(TColor Color) { return ColorToRGB(Color); }

TRGB TColorToRGB(TColor Color) {
  const auto c = static_cast<uint32_t>(ResolveColor(Color));
  return TRGB{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
}

uint32_t TColorToPackedRGB(TColor Color) {
  const auto c = static_cast<uint32_t>(ResolveColor(Color));
  return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

uint32_t SwapRedBlue(uint32_t Color) { return (Color & 0x00FF00u) | ((Color & 0xFFu) << 16) | ((Color >> 16) & 0xFFu); }

bool SameRGB(uint32_t A, uint32_t B) { return (A & 0xFFFFFFu) == (B & 0xFFFFFFu); }

TColor RandomColor(bool Light) {
  int32_t r, g, b;
  if (Light) {
    r = Random(150) + 105;
    g = Random(150) + 105;
    b = Random(150) + 105;
  } else {
    r = Random(255);
    g = Random(255);
    b = Random(255);
  }
  return static_cast<TColor>(RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
}

bool IsRectZero(const TRect& R) { return R.Left == 0 && R.Top == 0 && R.Right == 0 && R.Bottom == 0; }

bool RectsEqual(const TRect& A, const TRect& B) { return A == B; }

void OrderRectCoords(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  if (X2 < X1) std::swap(X1, X2);
  if (Y2 < Y1) std::swap(Y1, Y2);
}

TRect ExtendRectToPoint(TRect& R, int32_t X, int32_t Y) {
  if (X < R.Left) R.Left = X;
  if (X > R.Right) R.Right = X;
  if (Y < R.Top) R.Top = Y;
  if (Y > R.Bottom) R.Bottom = Y;
  return R;
}

TRect MakeRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) { return TRect(Left, Top, Right, Bottom); }

void RectToLTWH(const TRect& Source, TRect& Dest) {
  Dest = TRect(Source.Left, Source.Top, Source.Right - Source.Left, Source.Bottom - Source.Top);
}

bool PointsEqual(const TPoint& A, const TPoint& B) { return A.X == B.X && A.Y == B.Y; }

void SetStringFromBuffer(std::string& S, const void* Buffer, int32_t Length) {
  if (Length <= 0 || !Buffer) {
    S.clear();
    return;
  }
  S.assign(static_cast<const char*>(Buffer), static_cast<size_t>(Length));
}

// ---------------------------------------------------------------------------------------------
// Geometry

double PointDistance(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  return std::hypot(static_cast<double>(X2) - X1, static_cast<double>(Y2) - Y1);
}

double PointDistanceF(double X1, double Y1, double X2, double Y2) { return std::hypot(X2 - X1, Y2 - Y1); }

bool PointLineDistance(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double& Result) {
  const double len = PointDistance(X1, Y1, X2, Y2);
  if (len == 0) return false;
  const double num = std::fabs((static_cast<double>(Y1) - Y2) * X0 + (static_cast<double>(X2) - X1) * Y0 +
                               static_cast<double>(X1) * Y2 - static_cast<double>(X2) * Y1);
  Result = num / len;
  return true;
}

double PointLineDistance(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  double d = 0;
  return PointLineDistance(X0, Y0, X1, Y1, X2, Y2, d) ? d : 1000000.0;
}

double PointToSegmentDistance(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const double d1 = PointDistance(X0, Y0, X1, Y1);
  if (X1 == X2 && Y1 == Y2) return d1;
  const double dx = static_cast<double>(X2) - X1, dy = static_cast<double>(Y2) - Y1;
  const double t = ((static_cast<double>(X0) - X1) * dx + (static_cast<double>(Y0) - Y1) * dy) / (dx * dx + dy * dy);
  if (t > 1) {
    if (std::fabs(static_cast<double>(X0) - X2) >= 45001 || std::fabs(static_cast<double>(Y0) - Y2) >= 45001)
      return 1000000.0;
    return PointDistance(X0, Y0, X2, Y2);
  }
  if (t >= 0) return PointLineDistance(X0, Y0, X1, Y1, X2, Y2);
  if (std::fabs(static_cast<double>(X1) - X0) >= 45001 || std::fabs(static_cast<double>(Y1) - Y0) >= 45001)
    return 1000000.0;
  return d1;
}

double PolylineHitDistance(int32_t X0, int32_t Y0, const TPoint* Points, int32_t Count, double ScaleX,
                           double ScaleY, int32_t OffsetX, int32_t OffsetY, int32_t ShiftX, int32_t ShiftY,
                           int32_t LineWidth, bool Closed) {
  double result = 1000000.0;
  if (Count <= 0 || !Points) return result;
  auto map = [&](const TPoint& p) {
    return TPoint(Round32((static_cast<double>(p.X) - OffsetX) * ScaleX + ShiftX),
                  Round32((static_cast<double>(p.Y) - OffsetY) * ScaleY + ShiftY));
  };
  const int32_t half = LineWidth / 2;
  auto segment = [&](const TPoint& a, const TPoint& b) {
    double d = PointToSegmentDistance(X0, Y0, a.X, a.Y, b.X, b.Y);
    if (half > 1) {
      for (int32_t sx = -half; sx <= half; ++sx)
        for (int32_t sy = 2; sy <= half; ++sy)
          d = std::min(d, PointToSegmentDistance(X0, Y0, a.X + sx, a.Y + sy, b.X + sx, b.Y + sy));
    }
    result = std::min(result, d);
  };
  for (int32_t i = 0; i + 1 < Count; ++i) segment(map(Points[i]), map(Points[i + 1]));
  if (Closed && Count > 1) segment(map(Points[Count - 1]), map(Points[0]));
  return result;
}

void SnapPointTo45Degrees(int32_t AnchorX, int32_t AnchorY, int32_t& X, int32_t& Y) {
  const int32_t dx = std::abs(AnchorX - X), dy = std::abs(AnchorY - Y);
  if (dx + 30 < dy) {
    X = AnchorX;
    return;
  }
  if (dy < dx - 30) {
    Y = AnchorY;
    return;
  }
  const int32_t e = std::abs(dx - dy);
  if (X < AnchorX && Y < AnchorY) {
    if (dx >= dy) X += e; else Y += e;
  } else if (X > AnchorX && Y > AnchorY) {
    if (dx >= dy) Y += e; else X += e;
  } else if (X < AnchorX && Y >= AnchorY) {
    if (dx >= dy) Y += e; else X -= e;
  } else if (X >= AnchorX && Y < AnchorY) {
    if (dx >= dy) Y -= e; else X += e;
  }
}

bool RectsIntersect(const TRect& R1, const TRect& R2) {
  return R1.Left < R2.Right && R2.Left < R1.Right && R1.Top < R2.Bottom && R2.Top < R1.Bottom;
}

bool RectsOverlap(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Left, int32_t Top, int32_t Right,
                  int32_t Bottom) {
  return !(std::max(X1, X2) < Left || Right < std::min(X1, X2) || std::max(Y1, Y2) < Top ||
           Bottom < std::min(Y1, Y2));
}

int32_t RectSegmentState(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                         int32_t X2, int32_t Y2) {
  const bool a1 = Left <= X1 && X1 <= Right, b1 = Top <= Y1 && Y1 <= Bottom;
  const bool a2 = Left <= X2 && X2 <= Right, b2 = Top <= Y2 && Y2 <= Bottom;
  if ((a1 != a2 && (b1 || b2)) || ((a1 || a2) && b1 != b2) || (a1 != a2 && b1 != b2)) return 1;
  if (a1 && a2 && b1 && b2) return 2;
  return 0;
}

bool PointInRectCoords(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return Left <= X && X <= Right && Top <= Y && Y <= Bottom;
}

bool PointInRectInclusive(int32_t X, int32_t Y, const TRect& R) {
  return PointInRectCoords(X, Y, R.Left, R.Top, R.Right, R.Bottom);
}

bool PointInRectAnyOrder(int32_t X, int32_t Y, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  OrderRectCoords(X1, Y1, X2, Y2);
  return PointInRectCoords(X, Y, X1, Y1, X2, Y2);
}

int32_t EllipseRowHalfWidth(int32_t HalfWidth, int32_t Height, int32_t Row) {
  const double n = static_cast<double>(Height) + 1;
  const double x = static_cast<double>(Row) + 1 - n / 2;
  const double q = 1 - 4 * x * x / (n * n);
  return Round32(HalfWidth * std::sqrt(std::max(0.0, q)));
}

// ---------------------------------------------------------------------------------------------
// Bits, bytes and pixel formats

int32_t MaskBitWidth(uint32_t Mask) {
  if (Mask == 0) return 0;
  Mask >>= __builtin_ctz(Mask);
  int32_t n = 0;
  while (Mask & 1u) {
    ++n;
    Mask >>= 1;
  }
  return n;
}

int32_t MaskLowBit(uint32_t Mask) { return Mask == 0 ? 0 : __builtin_ctz(Mask) + 1; }

int32_t MaskEndBit(uint32_t Mask) {
  if (Mask == 0) return -1;
  const int32_t high = 31 - __builtin_clz(Mask);
  return (Mask & (Mask - 1)) == 0 ? high : high + 1;
}

int64_t RowByteLength(int64_t Width, int32_t BitsPerPixel, int32_t AlignBits) {
  const int64_t bits = Width * BitsPerPixel;
  if (AlignBits == 32) return ((bits + 31) >> 5) << 2;
  if (AlignBits < 8) AlignBits = 8;
  return ((bits + AlignBits - 1) / AlignBits) * (AlignBits / 8);
}

namespace {
constexpr int32_t kFormatBits[PXPixelFormatCount] = {0, 1, 8, 8, 16, 24, 32, 32, 48, 24, 32};
constexpr int32_t kFormatChannels[PXPixelFormatCount] = {0, 1, 1, 1, 1, 3, 1, 4, 3, 3, 4};
}  // namespace

int32_t PixelFormatBits(TPXPixelFormat Format) {
  const auto i = static_cast<unsigned>(Format);
  return i < PXPixelFormatCount ? kFormatBits[i] : 0;
}

int32_t PixelFormatChannels(TPXPixelFormat Format) {
  const auto i = static_cast<unsigned>(Format);
  return i < PXPixelFormatCount ? kFormatChannels[i] : 0;
}

int32_t GraphicPixelFormatBits(TPixelFormat Format) {
  switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

TPXPixelFormat GraphicToPXPixelFormat(TPixelFormat Format) {
  switch (Format) {
    case pf1bit: return px1g;
    case pf4bit:
    case pf8bit: return px8p;
    default: return px24RGB;
  }
}

int64_t GraphicRowByteLength(int32_t Width, TPixelFormat Format) {
  return RowByteLength(Width, GraphicPixelFormatBits(Format), 32);
}

void PackedRGBToRGB48(uint32_t Packed, TRGB48& Result) {
  Result.r = static_cast<uint16_t>(((Packed >> 16) & 0xFFu) * 257);
  Result.g = static_cast<uint16_t>(((Packed >> 8) & 0xFFu) * 257);
  Result.b = static_cast<uint16_t>((Packed & 0xFFu) * 257);
}

uint32_t SwapBytes16(uint32_t Value) { return (Value & 0xFFFF0000u) | ((Value & 0xFFu) << 8) | ((Value >> 8) & 0xFFu); }

uint32_t SwapBytes32(uint32_t Value) { return __builtin_bswap32(Value); }

uint64_t SwapBytes64(uint64_t Value) { return __builtin_bswap64(Value); }

void SwapBytes16Array(void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  for (int64_t i = 0; i < Count; ++i, p += 2) std::swap(p[0], p[1]);
}

void SwapBytes32Array(void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  for (int64_t i = 0; i < Count; ++i, p += 4) {
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
  }
}

namespace {
constexpr std::array<uint8_t, 256> MakeReversedBits() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r |= 0x80 >> b;
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReversedBits = MakeReversedBits();
}  // namespace

void ReverseBitsInByte(uint8_t& B) { B = kReversedBits[B]; }

void ReverseBits32(uint32_t& Value) {
  Value = (static_cast<uint32_t>(kReversedBits[Value & 0xFF]) << 24) |
          (static_cast<uint32_t>(kReversedBits[(Value >> 8) & 0xFF]) << 16) |
          (static_cast<uint32_t>(kReversedBits[(Value >> 16) & 0xFF]) << 8) | kReversedBits[Value >> 24];
}

double FloatPower(double Base, double Exponent) {
  if (Exponent == std::trunc(Exponent) && std::fabs(Exponent) < 2147483647.0) {
    int64_t e = static_cast<int64_t>(Exponent);
    if (e == 0) return 1.0;
    if (Base == 0) return 0.0;
    const bool negative = e < 0;
    if (negative) e = -e;
    double result = 1.0, b = Base;
    while (e > 0) {
      if (e & 1) result *= b;
      b *= b;
      e >>= 1;
    }
    return negative ? 1.0 / result : result;
  }
  if (Base > 0) return std::exp2(Exponent * std::log2(Base));
  if (Base == 0) return 0.0;
  return std::nan("");
}

// ---------------------------------------------------------------------------------------------
// Text and zero-terminated strings

double TextToFloatDef(std::string_view Text, double Default) {
  double v = 0;
  if (TryStrToFloat(Text, v, FormatSettings())) return v;
  std::string s(Text);
  const auto comma = s.find(',');
  if (comma != std::string::npos) {
    s[comma] = '.';
  } else {
    const auto point = s.find('.');
    if (point == std::string::npos) return Default;
    s[point] = ',';
  }
  return TryStrToFloat(s, v, FormatSettings()) ? v : Default;
}

double WideTextToFloatDef(std::u16string_view Text, double Default) {
  return TextToFloatDef(Utf16ToUtf8(Text), Default);
}

int32_t PCharLength(const char* S) { return S ? static_cast<int32_t>(std::strlen(S)) : 0; }

int32_t PWideCharLength(const char16_t* S) {
  if (!S) return 0;
  int32_t n = 0;
  while (S[n] != 0) ++n;
  return n;
}

char* PCharCopy(char* Dest, const char* Source) { return std::strcpy(Dest, Source ? Source : ""); }

char16_t* WideStrCopyBuffer(char16_t* Dest, const char16_t* Source) {
  int32_t i = 0;
  if (Source)
    for (; Source[i] != 0; ++i) Dest[i] = Source[i];
  Dest[i] = 0;
  return Dest;
}

char* PCharFromString(char* Dest, std::string_view S) {
  std::memcpy(Dest, S.data(), S.size());
  Dest[S.size()] = 0;
  return Dest;
}

char16_t* WideStrToBuffer(char16_t* Dest, std::u16string_view S) {
  std::copy(S.begin(), S.end(), Dest);
  Dest[S.size()] = 0;
  return Dest;
}

char16_t* AnsiCharsToWideBuffer(char16_t* Dest, const std::vector<uint8_t>& Source) {
  size_t i = 0;
  for (; i < Source.size(); ++i) Dest[i] = Source[i];
  Dest[i] = 0;
  return Dest;
}

void PCharMove(char* Dest, const char* Source, int32_t Count) {
  if (Count > 0) std::memmove(Dest, Source, static_cast<size_t>(Count));
}

// In UTF-8 no byte of a multi-byte sequence equals an ASCII character, so a byte scan is safe.
const char* StrScanChar(const char* S, char C) { return S ? std::strchr(S, C) : nullptr; }

const char* PCharScan(const char* S, char C) { return S ? std::strchr(S, C) : nullptr; }

const char* PCharScanLast(const char* S, char C) { return S ? std::strrchr(S, C) : nullptr; }

void CopyByteArray(const std::vector<uint8_t>& Source, std::vector<uint8_t>& Dest) { Dest = Source; }

// ---------------------------------------------------------------------------------------------
// System

uint8_t GetWindowsVersionId() { return 10; }

int64_t GetFileSizeByName(std::string_view Path) {
  const std::string pattern(Path);
  glob_t g{};
  int64_t size = 0;
  if (::glob(pattern.c_str(), GLOB_NOESCAPE, nullptr, &g) == 0 && g.gl_pathc > 0) {
    struct stat st {};
    if (::stat(g.gl_pathv[0], &st) == 0) size = static_cast<int64_t>(st.st_size);
  }
  ::globfree(&g);
  return size;
}

std::string GetFileVersionString(std::u16string_view) { return {}; }

int64_t GetPhysicalMemory(bool Available) {
  if (!Available) return static_cast<int64_t>(PhysicalMemory());
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    long long kb = 0;
    if (std::sscanf(line.c_str(), "MemAvailable: %lld kB", &kb) == 1) return static_cast<int64_t>(kb) * 1024;
  }
  const long pages = ::sysconf(_SC_AVPHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && page > 0 ? static_cast<int64_t>(pages) * page : 0;
}
