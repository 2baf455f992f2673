#include "core/hypxutils_ui.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/hypxdefs.h"
#include "core/pxcanvas.h"  // shading
#include "core/pxsettings.h"

// ---------------------------------------------------------------------------------------------
// Option objects

PTypeInfo TypeInfo_TPXMouseWheelParamsAction() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPXMouseWheelParamsAction", {"pxmwNone", "pxmwVScroll", "pxmwZoom", "pxmwNavigate", "pxmwZoomView"});
  return &info;
}

PTypeInfo TypeInfo_TPXMouseWheelParamsVariation() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TPXMouseWheelParamsVariation", {"pxmwAbsolute", "pxmwPercentage"});
  return &info;
}

PTypeInfo TypeInfo_TPXMouseWheelParamsZoomPosition() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TPXMouseWheelParamsZoomPosition", {"pxmwCenter", "pxmwMouse"});
  return &info;
}

PX_CLASS_INFO(TPXMouseWheelParams, TPersistent, [](TPropertyBuilder<TPXMouseWheelParams>& b) {
  b.Bool("InvertDirection", &TPXMouseWheelParams::InvertDirection, &TPXMouseWheelParams::SetInvertDirection)
      .Default(false);
  b.Enum("Action", TypeInfo_TPXMouseWheelParamsAction(), &TPXMouseWheelParams::Action,
         &TPXMouseWheelParams::SetAction);
  b.Enum("Variation", TypeInfo_TPXMouseWheelParamsVariation(), &TPXMouseWheelParams::Variation,
         &TPXMouseWheelParams::SetVariation)
      .Default(pxmwPercentage);
  b.Int("Value", &TPXMouseWheelParams::Value, &TPXMouseWheelParams::SetValue).Default(8);
  b.Enum("ZoomPosition", TypeInfo_TPXMouseWheelParamsZoomPosition(), &TPXMouseWheelParams::ZoomPosition,
         &TPXMouseWheelParams::SetZoomPosition)
      .Default(pxmwCenter);
})

void TPXMouseWheelParams::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TPXMouseWheelParams*>(Source)) {
    invert_direction_ = s->invert_direction_;
    action_ = s->action_;
    variation_ = s->variation_;
    value_ = s->value_;
    zoom_position_ = s->zoom_position_;
    return;
  }
  TPersistent::Assign(Source);
}

// ---------------------------------------------------------------------------------------------
// Default font and dialog backgrounds

TFont* GetDefaultUIFont() {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  if (!s->FDefaultFont) {
    // No icon-title font on this platform: the fallback face.
    auto font = std::make_unique<TFont>();
    font->SetHeight(-12);
    font->SetCharset(DEFAULT_CHARSET);
    font->SetName("Segoe UI");
    font->SetStyle(TFontStyles());
    s->FDefaultFont = std::move(font);
  }
  return s->FDefaultFont.get();
}

void GaussianRamp(int32_t N, double Low, double High, double Sigma, std::vector<double>& Values) {
  Values.assign(static_cast<size_t>(std::max(N, 0)), 0.0);
  if (N <= 0) return;
  double top = 0;
  for (int32_t i = 0; i < N; ++i) {
    const double u = 2.0 * i / N - 1;
    Values[i] = std::exp(-0.5 * Sigma * Sigma * u * u);
    top = std::max(top, Values[i]);
  }
  for (double& v : Values) v = Low + (High - Low) * v / top;
}

namespace {

// The bitmap as Width x Height at 24 bits; False when it cannot hold a pixel.
bool Prepare24(TBitmap* Bitmap, int32_t Width, int32_t Height) {
  if (!Bitmap) return false;
  Bitmap->SetPixelFormat(pf24bit);
  Bitmap->SetSize(std::max(Width, 0), std::max(Height, 0));
  return Width > 0 && Height > 0;
}

}  // namespace

void PaintStripedBackground(TBitmap* Bitmap, int32_t Width, int32_t Height) {
  if (!Prepare24(Bitmap, Width, Height)) return;
  std::vector<double> values;
  GaussianRamp(4, 130, 255, 0.5, values);
  for (int32_t y = 0; y < Height; ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap->ScanLine(y));
    std::memset(row, static_cast<int>(Trunc(values[y % 4])), static_cast<size_t>(Width) * 3);
  }
}

void PaintNoiseGradientBackground(TBitmap* Bitmap, int32_t Width, int32_t Height) {
  if (!Prepare24(Bitmap, Width, Height)) return;
  std::vector<double> values;
  GaussianRamp(Width, 160, 208, 3, values);
  int32_t offset = 0, counter = 0;
  for (int32_t y = 0; y < Height; ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap->ScanLine(y));
    for (int32_t x = 0; x < Width; ++x) {
      const auto v = static_cast<uint8_t>(std::min<int64_t>(Trunc(values[x]) + offset, 255));
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
      if (++counter > Random(Width) + 100) {
        offset = Random(11);
        counter = 0;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Text

int32_t TextWidthW(TCanvas* Canvas, std::string_view Text) { return Canvas ? Canvas->TextWidth(Text) : 0; }

int32_t TextHeightW(TCanvas* Canvas, std::string_view Text) { return Canvas ? Canvas->TextHeight(Text) : 0; }

namespace {

// Byte offsets of the characters of a UTF-8 text, and its length as the last entry.
std::vector<size_t> CharacterStarts(std::string_view Text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < Text.size(); ++i)
    if ((static_cast<uint8_t>(Text[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(Text.size());
  return starts;
}

}  // namespace

std::string TruncateTextToWidth(std::string_view Text, int32_t Side, TCanvas* Canvas, int32_t MaxWidth) {
  std::string result(Text);
  if (!Canvas) return result;
  const std::vector<size_t> starts = CharacterStarts(Text);
  const int32_t length = static_cast<int32_t>(starts.size()) - 1;
  auto characters = [](const std::string& s) { return static_cast<int32_t>(CharacterStarts(s).size()) - 1; };
  for (int32_t k = 1; Canvas->TextWidth(result) > MaxWidth && characters(result) >= 2; ++k) {
    std::string candidate;
    if (Side == 0) {
      const int32_t keep = length - k - 1;
      if (keep <= 0) break;
      candidate = TrimRight(Text.substr(0, starts[keep]));
    } else {
      if (k >= length) break;
      candidate = TrimLeft(Text.substr(starts[k]));
    }
    if (candidate.empty()) break;
    result = Side == 0 ? candidate + "..." : "..." + candidate;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// Cursor

namespace {

uint32_t ReadLE32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// A 1-bit mask of Width x Height (rows top-down, Stride bytes each) turned by Angle about
// (CX, CY); destination pixels whose source lies outside take Outside.
std::vector<uint8_t> TurnMask(const std::vector<uint8_t>& Mask, int32_t Width, int32_t Height, int32_t Stride,
                              double Angle, int32_t CX, int32_t CY, bool Outside) {
  std::vector<uint8_t> out(Mask.size(), 0);
  const double a = Angle * std::numbers::pi / 180;
  const double c = std::cos(a), s = std::sin(a);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) {
      const double dx = x - CX, dy = y - CY;
      const int64_t sx = Angle == 0 ? x : Round(c * dx + s * dy + CX);
      const int64_t sy = Angle == 0 ? y : Round(c * dy - s * dx + CY);
      bool bit = Outside;
      if (sx >= 0 && sx < Width && sy >= 0 && sy < Height)
        bit = (Mask[static_cast<size_t>(sy * Stride + sx / 8)] >> (7 - sx % 8)) & 1;
      if (bit) out[static_cast<size_t>(y * Stride + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return out;
}

}  // namespace

HCURSOR RotatedCursor(std::string_view ResourceName, double Angle) {
  const TResourceEntry* res = FindResourceData(ResourceName, RT_CURSOR);
  if (!res || res->Size == 0) return nullptr;
  uint16_t type = 0;
  std::vector<TIconDirEntry> entries;
  if (!ParseIconDirectory(res->Data, res->Size, &type, &entries) || type != 2 || entries.empty()) return nullptr;
  const TIconDirEntry& entry = entries[0];
  const uint8_t* dib = res->Data + entry.ImageOffset;
  const size_t size = entry.BytesInRes;
  if (size < 40) return nullptr;
  const uint32_t headerSize = ReadLE32(dib);
  const auto width = static_cast<int32_t>(ReadLE32(dib + 4));
  const auto fullHeight = static_cast<int32_t>(ReadLE32(dib + 8));
  if (headerSize < 40 || ReadLE16(dib + 14) != 1) return nullptr;  // 1 bit per pixel only
  if (width <= 0 || width > 256 || fullHeight <= 0 || fullHeight > 512 || fullHeight % 2 != 0) return nullptr;
  const int32_t height = fullHeight / 2;
  const int32_t dibStride = (width + 31) / 32 * 4;
  const size_t bits = size_t{headerSize} + 8;  // the header and its 2-entry colour table
  if (bits + 2 * static_cast<size_t>(height) * dibStride > size) return nullptr;

  // Both masks top-down with rows padded to 2 bytes, as monochrome bitmaps take them.
  const int32_t stride = (width + 15) / 16 * 2;
  std::vector<uint8_t> xorMask(static_cast<size_t>(height) * stride), andMask(xorMask.size());
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* xorRow = dib + bits + static_cast<size_t>(height - 1 - y) * dibStride;
    std::memcpy(&xorMask[static_cast<size_t>(y) * stride], xorRow, rowBytes);
    std::memcpy(&andMask[static_cast<size_t>(y) * stride], xorRow + static_cast<size_t>(height) * dibStride, rowBytes);
  }
  const auto hx = entry.Planes, hy = entry.BitCount;
  std::vector<uint8_t> masks = TurnMask(andMask, width, height, stride, Angle, hx, hy, true);
  const std::vector<uint8_t> turnedXor = TurnMask(xorMask, width, height, stride, Angle, hx, hy, false);
  masks.insert(masks.end(), turnedXor.begin(), turnedXor.end());

  ICONINFO info;
  info.fIcon = 0;
  info.xHotspot = static_cast<DWORD>(hx);
  info.yHotspot = static_cast<DWORD>(hy);
  info.hbmMask = CreateBitmap(width, 2 * height, 1, 1, masks.data());
  info.hbmColor = nullptr;
  if (!info.hbmMask) return nullptr;
  HCURSOR cursor = CreateIconIndirect(&info);
  DeleteObject(info.hbmMask);
  return cursor;
}

// ---------------------------------------------------------------------------------------------
// Desktop

bool IsRemoteSession() { return false; }

bool IsWindowsVistaOrLater() {
  const uint8_t v = GlobalSettingsInstance()->FWindowsVersion;
  return v >= 7 && v <= 11;
}

// [shading through the antialiased canvas]

void ShadeOutsideRect(TCanvas* Canvas, int32_t AreaLeft, int32_t AreaTop, int32_t AreaWidth, int32_t AreaHeight,
                      int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  if (!Canvas || Left >= Right || Top >= Bottom) return;
  const int32_t b = AreaTop + AreaHeight + 1;
  TPXCanvas c(Canvas, false, true);
  c.Brush()->SetColor(clBlack);
  c.Brush()->SetStyle(bsSolid);
  c.Brush()->SetTransparency(150);
  // The antialiased fill leaves out the last column and row of each rectangle.
  c.FillRect(TRect{AreaLeft, AreaTop, Left + 2, b});
  c.FillRect(TRect{Right, AreaTop, AreaLeft + AreaWidth + 1, b});
  c.FillRect(TRect{Left + 1, AreaTop, Right + 1, Top + 2});
  c.FillRect(TRect{Left + 1, Bottom + 1, Right + 1, b});
}
// [end of shading]
