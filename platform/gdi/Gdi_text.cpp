// The text calls of the device contexts: fonts realised from the selected LOGFONT, runs drawn as
// coverage masks through the clip, measuring from the same advances, and DrawText.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/TextLayout.h"
#include "platform/gdi/WinGdi_text.h"
#include "platform/rtl/System.h"

namespace {

// The realised font kept on the logical font object.
struct TTextFontCache : GdiFontCache {
  TFontRequest Request;
  uint64_t Generation = 0;
  TRealizedFontPtr Font;
};

// The selected font of a DC at the DC's scale, and the conversions between device and logical
// units for measuring.
struct TDCFont {
  TRealizedFontPtr Font;
  double Sx = 1, Sy = 1;  // device units per logical unit
  bool Scaled = false;

  int32_t ToLogicalX(int64_t v) const { return Scaled ? Round32(v / Sx) : static_cast<int32_t>(v); }
  int32_t ToLogicalY(int64_t v) const { return Scaled ? Round32(v / Sy) : static_cast<int32_t>(v); }
  int32_t ToDeviceX(int64_t v) const { return Scaled ? Round32(v * Sx) : static_cast<int32_t>(v); }
};

TFontRequest RequestFor(const LOGFONT& lf, double sx, double sy, bool scaled) {
  TFontRequest r;
  r.Height = scaled ? Round32(lf.lfHeight * sy) : lf.lfHeight;
  if (scaled && lf.lfHeight != 0 && r.Height == 0) r.Height = lf.lfHeight < 0 ? -1 : 1;
  r.Width = scaled ? Round32(lf.lfWidth * sx) : lf.lfWidth;
  r.Escapement = lf.lfEscapement;
  r.Orientation = lf.lfOrientation;
  r.Weight = lf.lfWeight;
  r.Italic = lf.lfItalic != 0;
  r.Underline = lf.lfUnderline != 0;
  r.StrikeOut = lf.lfStrikeOut != 0;
  r.CharSet = lf.lfCharSet;
  r.OutPrecision = lf.lfOutPrecision;
  r.ClipPrecision = lf.lfClipPrecision;
  r.Quality = lf.lfQuality;
  r.PitchAndFamily = lf.lfPitchAndFamily;
  r.FaceName.assign(lf.lfFaceName, strnlen(lf.lfFaceName, sizeof(lf.lfFaceName)));
  return r;
}

TDCFont FontOf(GdiDC& dc) {
  TDCFont out;
  if (!GdiIsTranslation(dc)) {
    const GdiXform x = GdiLogicalToDevice(dc);
    out.Sx = std::hypot(x.m11, x.m12);
    out.Sy = std::hypot(x.m21, x.m22);
    if (!(out.Sx > 0) || !(out.Sy > 0) || !std::isfinite(out.Sx) || !std::isfinite(out.Sy)) out.Sx = out.Sy = 1;
    out.Scaled = out.Sx != 1 || out.Sy != 1;
  }
  GdiFont* font = dc.state.font.get();
  if (!font) {
    out.Font = RealizeFont(TFontRequest{});
    return out;
  }
  const TFontRequest request = RequestFor(font->lf, out.Sx, out.Sy, out.Scaled);
  const uint64_t generation = FontGeneration();
  std::lock_guard<std::mutex> guard(font->cacheLock);
  if (auto* cached = dynamic_cast<TTextFontCache*>(font->cache.get());
      cached && cached->Generation == generation && cached->Request == request) {
    out.Font = cached->Font;
    return out;
  }
  out.Font = RealizeFont(request);
  if (out.Font->IsValid()) {
    auto cache = std::make_shared<TTextFontCache>();
    cache->Request = request;
    cache->Generation = generation;
    cache->Font = out.Font;
    font->cache = std::move(cache);
  }
  return out;
}

// Device advances of text: natural (plus the character extra) or from dx (logical).
std::vector<int32_t> DeviceAdvances(GdiDC& dc, const TDCFont& f, std::string_view text, std::span<const int32_t> dx,
                                    bool pairs) {
  std::vector<int32_t> adv;
  f.Font->Advances(text, adv);
  const int32_t extra = f.ToDeviceX(dc.state.textCharExtra);
  const size_t given = pairs ? dx.size() / 2 : dx.size();
  for (size_t i = 0; i < adv.size(); ++i) {
    if (i < given)
      adv[i] = f.ToDeviceX(dx[pairs ? 2 * i : i]);
    else
      adv[i] += extra;
  }
  return adv;
}

int64_t Sum(const std::vector<int32_t>& v) {
  int64_t s = 0;
  for (int32_t a : v) s += a;
  return s;
}

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

void BlendMask(GdiDC& dc, const TCoverageMask& mask, COLORREF color) {
  if (mask.IsEmpty()) return;
  GdiBlendMask(dc, mask.Left, mask.Top, mask.Width, mask.Height, mask.Bits.data(), mask.Stride,
               GdiResolveColor(dc, color));
}

struct TRunOptions {
  UINT Align = TA_LEFT | TA_TOP;
  UINT Options = 0;           // ETO_*
  const TRect* Rect = nullptr;  // logical, for ETO_OPAQUE / ETO_CLIPPED
  bool UpdateCP = false;
};

// One run at a logical reference point; returns the run's device advance.
int64_t DrawRun(GdiDC& dc, const TDCFont& f, TPoint ref, std::string_view text, std::span<const int32_t> dx,
                const TRunOptions& o) {
  TSurface* surface = dc.Surface();
  TRect limit = Intersect(dc.ClipBox(), surface->BoundsRect());
  TRect deviceRect;
  if (o.Rect) deviceRect = GdiLPtoDPRect(dc, *o.Rect);
  if (o.Rect && (o.Options & ETO_OPAQUE)) GdiFillDeviceRect(dc, deviceRect, GdiResolveColor(dc, dc.state.bkColor));
  if (o.Rect && (o.Options & ETO_CLIPPED)) limit = Intersect(limit, deviceRect);

  const std::vector<int32_t> adv = DeviceAdvances(dc, f, text, dx, (o.Options & ETO_PDY) != 0);
  const int64_t width = Sum(adv);
  const TFontMetricsData& m = f.Font->Metrics();
  // Offset of the run's origin (baseline start) from the reference point, in run space.
  int64_t x0 = 0, y0 = m.Ascent;
  if ((o.Align & TA_CENTER) == TA_CENTER)
    x0 = -(width / 2);
  else if (o.Align & TA_RIGHT)
    x0 = -width;
  if ((o.Align & TA_BASELINE) == TA_BASELINE)
    y0 = 0;
  else if (o.Align & TA_BOTTOM)
    y0 = -m.Descent;
  const TPoint dref = GdiLPtoDP(dc, ref);
  const int32_t escapement = f.Font->Request().Escapement;
  const double angle = escapement / 10.0 * M_PI / 180.0;
  const double c = escapement % 3600 ? std::cos(angle) : 1.0, s = escapement % 3600 ? std::sin(angle) : 0.0;
  const auto rx = [&](double x, double y) { return x * c + y * s; };
  const auto ry = [&](double x, double y) { return -x * s + y * c; };
  const int32_t ox = Round32(dref.X + rx(double(x0), double(y0)));
  const int32_t oy = Round32(dref.Y + ry(double(x0), double(y0)));

  if (!limit.IsEmpty()) {
    if (dc.state.bkMode == OPAQUE && width != 0) {
      const int64_t lo = std::min<int64_t>(0, width), hi = std::max<int64_t>(0, width);
      const TRect cell(static_cast<int32_t>(std::clamp<int64_t>(lo, INT32_MIN / 2, INT32_MAX / 2)), -m.Ascent,
                       static_cast<int32_t>(std::clamp<int64_t>(hi, INT32_MIN / 2, INT32_MAX / 2)), m.Descent);
      if (escapement % 3600 == 0) {
        TRect box = cell;
        box.Offset(ox, oy);
        GdiFillDeviceRect(dc, Intersect(box, limit), GdiResolveColor(dc, dc.state.bkColor));
      } else {
        BlendMask(dc, RenderRunBox(cell, ox, oy, escapement, limit), dc.state.bkColor);
      }
    }
    TTextRunPlacement place;
    place.X = ox;
    place.Y = oy;
    place.Dx = adv;
    place.RightToLeft = (o.Options & ETO_RTLREADING) != 0 || (o.Align & TA_RTLREADING) != 0;
    place.Clip = limit;
    BlendMask(dc, f.Font->Render(text, place), dc.state.textColor);
  }

  if (o.UpdateCP) {
    // The current position moves along the run: past its end (left aligned) or to its start
    // (right aligned); centred text leaves it.
    double move = 0;
    if ((o.Align & TA_CENTER) == TA_CENTER)
      move = 0;
    else if (o.Align & TA_RIGHT)
      move = -double(width);
    else
      move = double(width);
    dc.state.curPos.X = ref.X + Round32(rx(move, 0) / f.Sx);
    dc.state.curPos.Y = ref.Y + Round32(ry(move, 0) / f.Sy);
  }
  return width;
}

// Character widths in logical units for DrawText's layout, cached for one call.
class TLogicalWidths {
 public:
  TLogicalWidths(GdiDC& dc, const TDCFont& f) : f_(f), extra_(dc.state.textCharExtra) {}
  int32_t operator()(char32_t c) {
    if (c < small_.size() && known_[c]) return small_[c];
    if (c >= small_.size())
      if (auto it = large_.find(c); it != large_.end()) return it->second;
    const int32_t w = f_.ToLogicalX(f_.Font->CharWidth(c)) + extra_;
    if (c < small_.size()) {
      small_[c] = w;
      known_[c] = true;
    } else {
      large_.emplace(c, w);
    }
    return w;
  }

 private:
  const TDCFont& f_;
  int32_t extra_;
  std::array<int32_t, 256> small_{};
  std::array<bool, 256> known_{};
  std::unordered_map<char32_t, int32_t> large_;
};

int32_t DrawTextImpl(HDC hdc, std::string_view text, TRect* rect, UINT format, DRAWTEXTPARAMS* params) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !rect) return 0;
  if (params && params->cbSize != sizeof(DRAWTEXTPARAMS)) return 0;
  const TDCFont f = FontOf(*dc);
  const TFontMetricsData& fm = f.Font->Metrics();
  TTextLayoutMetrics metrics;
  metrics.Height = f.ToLogicalY(fm.Height);
  metrics.Ascent = f.ToLogicalY(fm.Ascent);
  metrics.ExternalLeading = f.ToLogicalY(fm.ExternalLeading);
  metrics.AveCharWidth = f.ToLogicalX(fm.AveCharWidth);
  TLogicalWidths widths(*dc, f);
  const TCharWidthFn widthFn = [&widths](char32_t c) { return widths(c); };
  const TTextLayoutResult layout =
      LayoutDrawText(DecodeUtf8(text), *rect, format, metrics, widthFn, params ? params->iTabLength : 0,
                     params ? params->iLeftMargin : 0, params ? params->iRightMargin : 0);
  if (params) params->uiLengthDrawn = layout.CharsProcessed;
  if (format & DT_CALCRECT) {
    rect->Right = layout.CalcRect.Right;
    rect->Bottom = layout.CalcRect.Bottom;
    return layout.ReturnValue;
  }
  const bool clip = (format & DT_NOCLIP) == 0;
  TRunOptions o;
  o.Align = TA_LEFT | TA_TOP;
  o.Options = (clip ? UINT(ETO_CLIPPED) : 0u) | ((format & DT_RTLREADING) ? UINT(ETO_RTLREADING) : 0u);
  o.Rect = clip ? rect : nullptr;
  for (const TTextLayoutLine& line : layout.Lines) {
    if (!(format & DT_PREFIXONLY))
      for (const TTextLayoutSegment& seg : line.Segments) DrawRun(*dc, f, {line.X + seg.X, line.Y}, seg.Text, {}, o);
    if (line.PrefixWidth > 1) {
      // The marked character's underline: one row below the baseline, its advance less one.
      const int32_t y = line.Y + metrics.Ascent + 1;
      TRect bar = GdiLPtoDPRect(*dc, {line.X + line.PrefixX, y, line.X + line.PrefixX + line.PrefixWidth - 1, y + 1});
      if (bar.Height() < 1) bar.Bottom = bar.Top + 1;
      if (clip) bar = Intersect(bar, GdiLPtoDPRect(*dc, *rect));
      GdiFillDeviceRect(*dc, bar, GdiResolveColor(*dc, dc->state.textColor));
    }
  }
  return layout.ReturnValue;
}

}  // namespace

TFontRequest FontRequestFromLogFont(const LOGFONT& lf) { return RequestFor(lf, 1, 1, false); }

BOOL ExtTextOut(HDC hdc, int32_t x, int32_t y, UINT options, const TRect* rect, std::string_view text,
                std::span<const int32_t> dx) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TDCFont f = FontOf(*dc);
  TRunOptions o;
  o.Align = dc->state.textAlign;
  o.Options = options;
  o.Rect = rect;
  o.UpdateCP = (dc->state.textAlign & TA_UPDATECP) != 0;
  const TPoint ref = o.UpdateCP ? dc->state.curPos : TPoint{x, y};
  DrawRun(*dc, f, ref, text, dx, o);
  return 1;
}

BOOL TextOut(HDC dc, int32_t x, int32_t y, std::string_view text) { return ExtTextOut(dc, x, y, 0, nullptr, text); }

BOOL GetTextExtentExPoint(HDC hdc, std::string_view text, int32_t maxExtent, int32_t* fit, std::vector<int32_t>* dx,
                          TSize* size) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TDCFont f = FontOf(*dc);
  const std::vector<int32_t> adv = DeviceAdvances(*dc, f, text, {}, false);
  int64_t x = 0;
  int32_t fitted = 0;
  bool fitting = true;
  if (dx) dx->resize(adv.size());
  for (size_t i = 0; i < adv.size(); ++i) {
    x += adv[i];
    const int32_t logical = f.ToLogicalX(x);
    if (dx) (*dx)[i] = logical;
    if (fitting && logical <= maxExtent)
      ++fitted;
    else
      fitting = false;
  }
  if (fit) *fit = fitted;
  if (size) *size = {f.ToLogicalX(x), f.ToLogicalY(f.Font->Metrics().Height)};
  return 1;
}

BOOL GetTextExtentPoint32(HDC dc, std::string_view text, TSize* size) {
  if (!size) return 0;
  return GetTextExtentExPoint(dc, text, 0, nullptr, nullptr, size);
}

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !tm) return 0;
  const TDCFont f = FontOf(*dc);
  const TFontMetricsData& m = f.Font->Metrics();
  *tm = TEXTMETRIC();
  tm->tmHeight = f.ToLogicalY(m.Height);
  tm->tmAscent = f.ToLogicalY(m.Ascent);
  tm->tmDescent = tm->tmHeight - tm->tmAscent;
  tm->tmInternalLeading = f.ToLogicalY(m.InternalLeading);
  tm->tmExternalLeading = f.ToLogicalY(m.ExternalLeading);
  tm->tmAveCharWidth = f.ToLogicalX(m.AveCharWidth);
  tm->tmMaxCharWidth = f.ToLogicalX(m.MaxCharWidth);
  tm->tmWeight = m.Weight;
  tm->tmOverhang = 0;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = static_cast<char16_t>(std::min<char32_t>(m.FirstChar, 0xFFFF));
  tm->tmLastChar = static_cast<char16_t>(std::min<char32_t>(m.LastChar, 0xFFFF));
  tm->tmDefaultChar = static_cast<char16_t>(m.DefaultChar);
  tm->tmBreakChar = static_cast<char16_t>(m.BreakChar);
  tm->tmItalic = m.Italic ? 255 : 0;
  tm->tmUnderlined = m.Underline ? 255 : 0;
  tm->tmStruckOut = m.StrikeOut ? 255 : 0;
  tm->tmPitchAndFamily = m.PitchAndFamily;
  tm->tmCharSet = m.CharSet;
  return 1;
}

int32_t GetTextFace(HDC hdc, int32_t size, char* name) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  std::string face;
  if (dc->state.font) {
    const LOGFONT& lf = dc->state.font->lf;
    face.assign(lf.lfFaceName, strnlen(lf.lfFaceName, sizeof(lf.lfFaceName)));
  }
  if (face.empty()) face = FontOf(*dc).Font->FaceName();
  const int32_t needed = static_cast<int32_t>(face.size()) + 1;
  if (!name) return needed;
  if (size <= 0) return 0;
  // Copy whole UTF-8 sequences only.
  size_t n = std::min<size_t>(face.size(), static_cast<size_t>(size - 1));
  while (n > 0 && n < face.size() && (static_cast<uint8_t>(face[n]) & 0xC0) == 0x80) --n;
  std::memcpy(name, face.data(), n);
  name[n] = '\0';
  return static_cast<int32_t>(n) + 1;
}

BOOL GetCharWidth32(HDC hdc, UINT first, UINT last, int32_t* widths) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !widths || last < first || last > 0x10FFFF) return 0;
  const TDCFont f = FontOf(*dc);
  for (UINT c = first; c <= last; ++c) widths[c - first] = f.ToLogicalX(f.Font->CharWidth(c));
  return 1;
}

BOOL GetCharABCWidths(HDC hdc, UINT first, UINT last, ABC* abc) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !abc || last < first || last > 0x10FFFF) return 0;
  const TDCFont f = FontOf(*dc);
  for (UINT c = first; c <= last; ++c) {
    int32_t a, b, rest;
    f.Font->CharABC(c, a, b, rest);
    abc[c - first] = {f.ToLogicalX(a), static_cast<UINT>(std::max(0, f.ToLogicalX(b))), f.ToLogicalX(rest)};
  }
  return 1;
}

int32_t DrawText(HDC dc, std::string_view text, TRect* rect, UINT format) {
  return DrawTextImpl(dc, text, rect, format, nullptr);
}

int32_t DrawTextEx(HDC dc, std::string_view text, TRect* rect, UINT format, DRAWTEXTPARAMS* params) {
  return DrawTextImpl(dc, text, rect, format, params);
}

int32_t AddFontResourceEx(const std::string& path, DWORD, void*) { return RegisterFontFile(path) ? 1 : 0; }
