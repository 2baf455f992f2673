#include "platform/gdi/FontEngine.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <set>
#include <unordered_map>

#include "platform/gdi/QtHost.h"
#include "platform/rtl/System.h"

namespace {

constexpr int32_t kDefaultCellHeight = 16;  // lfHeight 0
constexpr int32_t kMaxEmSize = 4096;        // larger requests are clamped
constexpr size_t kMaxCachedFonts = 256;
constexpr size_t kMaxFallbackFaces = 32;
constexpr uint8_t kNonAntialiasedQuality = 3;
constexpr uint8_t kFixedPitch = 1;
constexpr uint8_t kFamilyModern = 0x30;
constexpr uint8_t kTmpfVariablePitch = 0x01, kTmpfVector = 0x02, kTmpfTrueType = 0x04;
constexpr uint8_t kFamilyRoman = 0x10, kFamilySwiss = 0x20;

// Faces taken from files of Wine's fonts (fonts-wine) when first asked for.
struct TWineFace {
  const char* Family;
  const char* Files[2];
};
constexpr TWineFace kWineFaces[] = {
    {"Tahoma", {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}},
    {"Marlett", {"/usr/share/wine/fonts/marlett.ttf", nullptr}},
};

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// ---- the font database: registered files and the installed families ----

struct TFontDatabaseState {
  std::unordered_map<std::string, std::string> families;  // lower-case name -> name
  bool familiesValid = false;
  std::set<std::string> wineTried;  // families whose Wine files were registered (or tried)
  std::set<std::string> registeredFiles;
};

std::mutex& DatabaseLock() {
  static std::mutex lock;
  return lock;
}

// The database and the cache below are never destroyed: text may still be measured or drawn
// while the program's statics are torn down at exit (their locks are trivially destructible).
TFontDatabaseState& Database() {
  static TFontDatabaseState* const state = std::make_unique<TFontDatabaseState>().release();
  return *state;
}

void InvalidateFontCache();

bool RegisterLocked(TFontDatabaseState& db, const std::string& path) {
  std::error_code ec;
  std::string key = std::filesystem::weakly_canonical(path, ec).string();
  if (ec || key.empty()) key = path;
  if (db.registeredFiles.count(key)) return true;
  if (QFontDatabase::addApplicationFont(QString::fromStdString(path)) < 0) return false;
  db.registeredFiles.insert(key);
  db.familiesValid = false;
  return true;
}

void RefreshFamilies(TFontDatabaseState& db) {
  if (db.familiesValid) return;
  db.families.clear();
  for (const QString& name : QFontDatabase::families()) {
    std::string family = name.toStdString();
    // A family offered by several foundries is listed as "Name [Foundry]".
    if (size_t bracket = family.find(" ["); bracket != std::string::npos) family.resize(bracket);
    db.families.emplace(Lower(family), family);
  }
  db.familiesValid = true;
}

struct TFaceAlias {
  const char* name;
  const char* family;
};
constexpr TFaceAlias kFaceAliases[] = {
    {"tahoma", "Tahoma"},
    {"ms sans serif", "Tahoma"},
    {"ms shell dlg", "Tahoma"},
    {"ms shell dlg 2", "Tahoma"},
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"times new roman", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"marlett", "Marlett"},
    {"verdana", "DejaVu Sans"},
};

std::string DefaultFace(uint8_t pitchAndFamily) {
  const bool fixed = (pitchAndFamily & 3) == kFixedPitch || (pitchAndFamily & 0xF0) == kFamilyModern;
  return fixed ? "DejaVu Sans Mono" : "DejaVu Sans";
}

// ---- the realised fonts ----

struct TGlyphInfo {
  uint32_t Glyph = 0;
  int32_t Advance = 0;
  int16_t Font = -1;  // 0: the primary face, n > 0: fallback face n - 1, -1: nothing to draw
  bool Known = false;
  bool HasInk = false;
  // Where the glyph may put ink, from its origin (y down), with room for hinting and smoothing.
  int16_t InkLeft = 0, InkTop = 0, InkRight = 0, InkBottom = 0;
};

struct TFallbackFace {
  QString Family;
  int Weight = 400;
  QFont::Style Style = QFont::StyleNormal;
};

uint64_t NextSerial() {
  static std::atomic<uint64_t> serial{0};
  return ++serial;
}

std::atomic<uint64_t>& Generation() {
  static std::atomic<uint64_t> generation{1};
  return generation;
}

}  // namespace

struct TRealizedFont::TImpl {
  TFontRequest Request;
  std::string Face;
  int32_t PixelSize = 16;
  int32_t Weight = 400;
  int32_t Stretch = 100;
  bool Italic = false;
  bool Antialias = true;
  bool Valid = false;  // Qt's fonts are available
  TFontMetricsData Metrics;
  uint64_t Serial = NextSerial();

  mutable std::mutex Lock;
  mutable std::array<TGlyphInfo, 0x250> Latin{};
  mutable std::unordered_map<char32_t, TGlyphInfo> Others;
  mutable std::vector<TFallbackFace> Fallbacks;

  // Upright runs drawn lately, most recent first: a run's mask relative to its origin does not
  // depend on where the run goes, so repainting a caption reuses it.
  struct TRun {
    size_t Hash = 0;
    std::string Text;
    std::vector<int32_t> Dx;
    int32_t CharExtra = 0;
    bool RightToLeft = false;
    uint64_t Generation = 0;
    bool NoInk = false;
    bool Whole = false;                  // nothing of the run was clipped away
    int64_t ClipLeft = 0, ClipTop = 0;   // the clip relative to the origin
    int64_t ClipRight = 0, ClipBottom = 0;
    TCoverageMask Mask;  // Left and Top relative to the origin
  };
  mutable std::mutex RunsLock;
  mutable std::vector<std::shared_ptr<const TRun>> Runs;
};

namespace {

QFont MakeQFont(const QString& family, int32_t pixelSize, int32_t weight, bool italic, bool antialias,
                int32_t stretch) {
  QFont f(family);
  f.setPixelSize(std::max(1, pixelSize));
  f.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  f.setItalic(italic);
  f.setKerning(false);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setStyleStrategy(static_cast<QFont::StyleStrategy>(
      QFont::PreferNoShaping | (antialias ? QFont::PreferAntialias : QFont::NoAntialias)));
  if (stretch != 100) f.setStretch(std::clamp(stretch, 1, 4000));
  return f;
}

QFont MakeQFont(const TRealizedFont::TImpl& f) {
  return MakeQFont(QString::fromStdString(f.Face), f.PixelSize, f.Weight, f.Italic, f.Antialias, f.Stretch);
}

// Qt's font objects of one realised font, one set per thread: font engines are not shared
// between threads.
struct TThreadFont {
  QFont Font;
  QRawFont Primary;
  std::vector<QRawFont> Fallbacks;
};

std::unordered_map<uint64_t, TThreadFont>& ThreadFonts() {
  thread_local std::unordered_map<uint64_t, TThreadFont> fonts;
  return fonts;
}

TThreadFont& ThreadFont(const TRealizedFont::TImpl& f) {
  auto& fonts = ThreadFonts();
  if (auto it = fonts.find(f.Serial); it != fonts.end()) return it->second;
  if (fonts.size() >= 64) fonts.clear();
  TThreadFont& t = fonts[f.Serial];
  t.Font = MakeQFont(f);
  t.Primary = QRawFont::fromFont(t.Font);
  return t;
}

// The raw font of a glyph's face in this thread (an invalid one when it cannot be had).
const QRawFont& ThreadRawFont(const TRealizedFont::TImpl& f, TThreadFont& t, int16_t index) {
  if (index <= 0) return t.Primary;
  const size_t i = static_cast<size_t>(index - 1);
  if (t.Fallbacks.size() <= i) t.Fallbacks.resize(i + 1);
  if (!t.Fallbacks[i].isValid()) {
    TFallbackFace face;
    {
      std::lock_guard<std::mutex> guard(f.Lock);
      if (i < f.Fallbacks.size()) face = f.Fallbacks[i];
    }
    if (!face.Family.isEmpty()) {
      QRawFont raw = QRawFont::fromFont(
          MakeQFont(face.Family, f.PixelSize, face.Weight, face.Style != QFont::StyleNormal, f.Antialias, f.Stretch));
      if (raw.familyName() == face.Family) t.Fallbacks[i] = raw;
    }
  }
  return t.Fallbacks[i];
}

bool IsInvisible(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF;
}

int32_t AdvanceOf(const QRawFont& raw, uint32_t glyph) {
  const QList<QPointF> adv = raw.advancesForGlyphIndexes(QList<quint32>{glyph});
  return adv.isEmpty() ? 0 : Round32(adv.front().x());
}

void SetInk(TGlyphInfo& info, const QRawFont& raw) {
  const QRectF r = raw.boundingRect(info.Glyph);
  if (r.isEmpty() || !r.isValid()) return;
  constexpr double kMargin = 2;
  const auto clamp16 = [](double v) { return static_cast<int16_t>(std::clamp(v, -30000.0, 30000.0)); };
  info.HasInk = true;
  info.InkLeft = clamp16(std::floor(r.left()) - kMargin);
  info.InkTop = clamp16(std::floor(r.top()) - kMargin);
  info.InkRight = clamp16(std::ceil(r.right()) + kMargin);
  info.InkBottom = clamp16(std::ceil(r.bottom()) + kMargin);
}

// Caller holds f.Lock.
TGlyphInfo LookupLocked(const TRealizedFont::TImpl& f, TThreadFont& t, char32_t c) {
  TGlyphInfo info;
  info.Known = true;
  if (!f.Valid || IsInvisible(c)) return info;
  const QString s = QString::fromUcs4(&c, 1);
  const QList<quint32> idx = t.Primary.glyphIndexesForString(s);
  if (idx.size() == 1 && idx.front() != 0) {
    info.Glyph = idx.front();
    info.Advance = AdvanceOf(t.Primary, info.Glyph);
    info.Font = 0;
    SetInk(info, t.Primary);
    return info;
  }
  // Not in the face: the face Qt's matching falls back to.
  QTextLayout layout(s, t.Font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QList<quint32> glyphs = run.glyphIndexes();
    if (glyphs.isEmpty() || glyphs.front() == 0) continue;
    const QRawFont raw = run.rawFont();
    TFallbackFace face{raw.familyName(), raw.weight(), raw.style()};
    size_t i = 0;
    while (i < f.Fallbacks.size() && !(f.Fallbacks[i].Family == face.Family && f.Fallbacks[i].Weight == face.Weight &&
                                       f.Fallbacks[i].Style == face.Style))
      ++i;
    if (i == f.Fallbacks.size()) {
      if (i >= kMaxFallbackFaces) break;
      f.Fallbacks.push_back(face);
    }
    if (t.Fallbacks.size() <= i) t.Fallbacks.resize(i + 1);
    if (!t.Fallbacks[i].isValid()) t.Fallbacks[i] = raw;
    info.Glyph = glyphs.front();
    info.Advance = AdvanceOf(raw, info.Glyph);
    info.Font = static_cast<int16_t>(i + 1);
    SetInk(info, raw);
    return info;
  }
  // Nowhere: the face's missing-glyph box.
  info.Glyph = 0;
  info.Advance = AdvanceOf(t.Primary, 0);
  info.Font = 0;
  SetInk(info, t.Primary);
  return info;
}

// Caller holds f.Lock.
TGlyphInfo& CachedLocked(const TRealizedFont::TImpl& f, char32_t c) {
  return c < f.Latin.size() ? f.Latin[c] : f.Others[c];
}

void GlyphInfos(const TRealizedFont::TImpl& f, std::u32string_view text, std::vector<TGlyphInfo>& out) {
  out.resize(text.size());
  TThreadFont* t = nullptr;
  std::lock_guard<std::mutex> guard(f.Lock);
  for (size_t i = 0; i < text.size(); ++i) {
    TGlyphInfo& cached = CachedLocked(f, text[i]);
    if (!cached.Known) {
      if (!t && f.Valid) t = &ThreadFont(f);
      cached = t ? LookupLocked(f, *t, text[i]) : TGlyphInfo{0, f.Valid ? 0 : f.PixelSize / 2, -1, true};
    }
    out[i] = cached;
  }
}

// ---- metrics from the font's own tables ----

int32_t ReadS16(const QByteArray& table, int offset) {
  if (table.size() < offset + 2) return 0;
  return static_cast<int16_t>((static_cast<uint8_t>(table[offset]) << 8) | static_cast<uint8_t>(table[offset + 1]));
}
int32_t ReadU16(const QByteArray& table, int offset) {
  if (table.size() < offset + 2) return 0;
  return (static_cast<uint8_t>(table[offset]) << 8) | static_cast<uint8_t>(table[offset + 1]);
}

struct TFaceTables {
  double UnitsPerEm = 2048;
  int32_t WinAscent = 0, WinDescent = 0;
  int32_t HheaAscent = 0, HheaDescent = 0, HheaLineGap = 0;
  int32_t UnderlinePosition = 0, UnderlineThickness = 0;
  int32_t StrikeOutSize = 0, StrikeOutPosition = 0;
  int32_t FirstChar = 0x20, LastChar = 0xFFFC;
  bool FixedPitch = false;
};

TFaceTables ReadTables(const QRawFont& raw) {
  TFaceTables t;
  t.UnitsPerEm = raw.unitsPerEm() > 0 ? raw.unitsPerEm() : 2048;
  const QByteArray os2 = raw.fontTable("OS/2");
  const QByteArray hhea = raw.fontTable("hhea");
  const QByteArray post = raw.fontTable("post");
  t.HheaAscent = ReadS16(hhea, 4);
  t.HheaDescent = ReadS16(hhea, 6);
  t.HheaLineGap = ReadS16(hhea, 8);
  if (os2.size() >= 78) {
    t.WinAscent = ReadU16(os2, 74);
    t.WinDescent = ReadU16(os2, 76);
    t.StrikeOutSize = ReadS16(os2, 26);
    t.StrikeOutPosition = ReadS16(os2, 28);
    t.FirstChar = ReadU16(os2, 64);
    t.LastChar = ReadU16(os2, 66);
  }
  if (t.WinAscent + t.WinDescent <= 0) {
    t.WinAscent = t.HheaAscent > 0 ? t.HheaAscent : Round32(raw.ascent() * t.UnitsPerEm / raw.pixelSize());
    t.WinDescent = t.HheaDescent < 0 ? -t.HheaDescent : Round32(raw.descent() * t.UnitsPerEm / raw.pixelSize());
  }
  if (t.WinAscent + t.WinDescent <= 0) {
    t.WinAscent = Round32(t.UnitsPerEm * 0.8);
    t.WinDescent = Round32(t.UnitsPerEm * 0.2);
  }
  if (post.size() >= 16) {
    t.UnderlinePosition = ReadS16(post, 8);
    t.UnderlineThickness = ReadS16(post, 10);
    t.FixedPitch = ReadU16(post, 12) != 0 || ReadU16(post, 14) != 0;
  }
  return t;
}

uint8_t FamilyOf(const std::string& face, bool fixed) {
  if (fixed) return kFamilyModern;
  const std::string lower = Lower(face);
  if (lower.find("serif") != std::string::npos && lower.find("sans") == std::string::npos) return kFamilyRoman;
  return kFamilySwiss;
}

// cellHeight > 0: the request gave the cell height, which the metrics then keep exactly.
void FillMetrics(TRealizedFont::TImpl& f, const TFaceTables& t, const QFont& font, int32_t cellHeight) {
  TFontMetricsData& m = f.Metrics;
  const int32_t em = f.PixelSize;
  const double scale = em / t.UnitsPerEm;
  const int32_t cell = t.WinAscent + t.WinDescent;
  if (cellHeight > 0) {
    m.Height = cellHeight;
    m.Ascent = Round32(static_cast<double>(t.WinAscent) * m.Height / cell);
    m.Descent = m.Height - m.Ascent;
  } else {
    m.Ascent = Round32(t.WinAscent * scale);
    m.Descent = Round32(t.WinDescent * scale);
    m.Height = m.Ascent + m.Descent;
  }
  m.EmSize = em;
  m.InternalLeading = std::max(0, m.Height - em);
  const int32_t gap = t.HheaLineGap - (cell - (t.HheaAscent - t.HheaDescent));
  m.ExternalLeading = std::max(0, Round32(gap * scale));
  const QFontMetrics fm(font);
  m.AveCharWidth = fm.averageCharWidth();
  m.MaxCharWidth = fm.maxWidth();
  m.Weight = f.Weight;
  m.Italic = f.Request.Italic;
  m.Underline = f.Request.Underline;
  m.StrikeOut = f.Request.StrikeOut;
  m.CharSet = f.Request.CharSet == 1 ? 0 : f.Request.CharSet;  // DEFAULT_CHARSET realises as ANSI
  const bool fixed = t.FixedPitch || QFontInfo(font).fixedPitch();
  m.PitchAndFamily = static_cast<uint8_t>((fixed ? 0 : kTmpfVariablePitch) | kTmpfVector | kTmpfTrueType |
                                          FamilyOf(f.Face, fixed));
  m.FirstChar = static_cast<char32_t>(t.FirstChar);
  m.LastChar = static_cast<char32_t>(t.LastChar);
  // Decorations: the face's underline and strike-out, whole pixels, kept inside the cell.
  m.UnderlineSize = std::max(1, Round32(t.UnderlineThickness * scale));
  const int32_t centre = t.UnderlineThickness > 0 ? Round32(-t.UnderlinePosition * scale) : std::max(1, m.Descent / 2);
  m.UnderlineTop = std::max(1, centre - (m.UnderlineSize - 1) / 2);
  if (m.UnderlineTop + m.UnderlineSize > m.Descent) m.UnderlineTop = std::max(1, m.Descent - m.UnderlineSize);
  m.StrikeOutSize = std::max(1, Round32(t.StrikeOutSize * scale));
  const int32_t strikeTop = t.StrikeOutSize > 0 ? Round32(t.StrikeOutPosition * scale) : Round32(m.Ascent / 3.0);
  m.StrikeOutTop = -std::max(1, strikeTop);
}

void FallbackMetrics(TRealizedFont::TImpl& f) {
  TFontMetricsData& m = f.Metrics;
  m.EmSize = f.PixelSize;
  m.Ascent = Round32(f.PixelSize * 0.9);
  m.Descent = std::max(1, Round32(f.PixelSize * 0.25));
  m.Height = m.Ascent + m.Descent;
  m.InternalLeading = m.Height - m.EmSize;
  m.AveCharWidth = std::max(1, f.PixelSize / 2);
  m.MaxCharWidth = f.PixelSize;
  m.Weight = f.Weight;
  m.Italic = f.Request.Italic;
  m.Underline = f.Request.Underline;
  m.StrikeOut = f.Request.StrikeOut;
  m.PitchAndFamily = kTmpfVariablePitch | kTmpfVector | kTmpfTrueType | kFamilySwiss;
}

std::unique_ptr<TRealizedFont::TImpl> Realize(const TFontRequest& request) {
  auto f = std::make_unique<TRealizedFont::TImpl>();
  f->Request = request;
  f->Weight = request.Weight <= 0 ? 400 : std::min(request.Weight, 1000);
  f->Italic = request.Italic;
  f->Antialias = request.Quality != kNonAntialiasedQuality;
  const int64_t height = request.Height;
  f->PixelSize = static_cast<int32_t>(std::clamp<int64_t>(height < 0 ? -height : (height == 0 ? 12 : height), 1, kMaxEmSize));
  if (!EnsureGuiApplication()) {
    f->Face = ResolveFontFace(request.FaceName, request.PitchAndFamily);
    FallbackMetrics(*f);
    return f;
  }
  f->Face = ResolveFontFace(request.FaceName, request.PitchAndFamily);
  const QString family = QString::fromStdString(f->Face);
  QRawFont raw = QRawFont::fromFont(MakeQFont(family, 64, f->Weight, f->Italic, f->Antialias, 100));
  if (!raw.isValid()) {
    FallbackMetrics(*f);
    return f;
  }
  const TFaceTables tables = ReadTables(raw);
  int32_t cellHeight = 0;
  if (height >= 0) {
    // A cell height: the em size that makes ascent + descent that tall.
    const int64_t cell = height == 0 ? kDefaultCellHeight : height;
    const int64_t em = Round(static_cast<long double>(cell) * tables.UnitsPerEm / (tables.WinAscent + tables.WinDescent));
    f->PixelSize = static_cast<int32_t>(std::clamp<int64_t>(em, 1, kMaxEmSize));
    if (em == f->PixelSize) cellHeight = static_cast<int32_t>(cell);
  }
  QFont font = MakeQFont(family, f->PixelSize, f->Weight, f->Italic, f->Antialias, 100);
  if (request.Width != 0) {
    const int32_t natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0) {
      f->Stretch = std::clamp(Round32(100.0L * std::abs(request.Width) / natural), 1, 4000);
      if (f->Stretch != 100) font.setStretch(f->Stretch);
    }
  }
  f->Valid = true;
  FillMetrics(*f, tables, font, cellHeight);
  return f;
}

std::string CacheKey(const TFontRequest& r) {
  std::string key;
  for (int32_t v : {r.Height, r.Width, r.Escapement, r.Orientation, r.Weight, int32_t(r.Italic), int32_t(r.Underline),
                    int32_t(r.StrikeOut), int32_t(r.CharSet), int32_t(r.Quality != kNonAntialiasedQuality),
                    int32_t(r.PitchAndFamily)}) {
    key += std::to_string(v);
    key += ',';
  }
  key += Lower(r.FaceName);
  return key;
}

std::mutex& CacheLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_map<std::string, TRealizedFontPtr>& Cache() {
  static auto* const cache = std::make_unique<std::unordered_map<std::string, TRealizedFontPtr>>().release();
  return *cache;
}

void InvalidateFontCache() {
  std::lock_guard<std::mutex> guard(CacheLock());
  Cache().clear();
  ++Generation();
}

// The transform from run space (baseline origin, x along the run) to the device.
QTransform RunTransform(int32_t x, int32_t y, int32_t escapement) {
  QTransform t;
  t.translate(x, y);
  if (escapement % 3600 != 0) t.rotate(-escapement / 10.0);
  return t;
}

// A zeroed mask for the device bounds of a run-space box; empty when nothing of it is visible.
TCoverageMask AllocateMask(const QTransform& toDevice, const QRectF& box, const TRect& clip) {
  TCoverageMask mask;
  const QRect dev = toDevice.mapRect(box).toAlignedRect();
  const int64_t l = std::max<int64_t>(dev.left(), clip.Left), t = std::max<int64_t>(dev.top(), clip.Top);
  const int64_t r = std::min<int64_t>(int64_t(dev.left()) + dev.width(), clip.Right);
  const int64_t b = std::min<int64_t>(int64_t(dev.top()) + dev.height(), clip.Bottom);
  if (r <= l || b <= t) return mask;
  mask.Left = static_cast<int32_t>(l);
  mask.Top = static_cast<int32_t>(t);
  mask.Width = static_cast<int32_t>(r - l);
  mask.Height = static_cast<int32_t>(b - t);
  mask.Stride = (mask.Width + 3) & ~3;
  mask.Bits.assign(static_cast<size_t>(mask.Stride) * mask.Height, 0);
  return mask;
}

}  // namespace

// ---- public interface ----

TRealizedFont::TRealizedFont(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TRealizedFont::~TRealizedFont() = default;

const TFontRequest& TRealizedFont::Request() const { return impl_->Request; }
const TFontMetricsData& TRealizedFont::Metrics() const { return impl_->Metrics; }
const std::string& TRealizedFont::FaceName() const { return impl_->Face; }
bool TRealizedFont::Antialiased() const { return impl_->Antialias; }
bool TRealizedFont::IsValid() const { return impl_->Valid; }

int32_t TRealizedFont::CharWidth(char32_t c) const {
  std::vector<TGlyphInfo> info;
  const char32_t text[1] = {c};
  GlyphInfos(*impl_, std::u32string_view(text, 1), info);
  return info.front().Advance;
}

int32_t TRealizedFont::TextWidth(std::string_view text) const {
  std::vector<TGlyphInfo> info;
  GlyphInfos(*impl_, DecodeUtf8(text), info);
  int64_t sum = 0;
  for (const TGlyphInfo& g : info) sum += g.Advance;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

void TRealizedFont::Advances(std::string_view text, std::vector<int32_t>& out) const {
  std::vector<TGlyphInfo> info;
  GlyphInfos(*impl_, DecodeUtf8(text), info);
  out.resize(info.size());
  for (size_t i = 0; i < info.size(); ++i) out[i] = info[i].Advance;
}

void TRealizedFont::CharABC(char32_t c, int32_t& a, int32_t& b, int32_t& rest) const {
  std::vector<TGlyphInfo> info;
  const char32_t text[1] = {c};
  GlyphInfos(*impl_, std::u32string_view(text, 1), info);
  const TGlyphInfo& g = info.front();
  a = 0;
  b = 0;
  if (g.Font >= 0) {
    TThreadFont& t = ThreadFont(*impl_);
    const QRawFont& raw = ThreadRawFont(*impl_, t, g.Font);
    const QRectF ink = raw.isValid() ? raw.boundingRect(g.Glyph) : QRectF();
    if (!ink.isEmpty()) {
      a = static_cast<int32_t>(std::floor(ink.left()));
      b = static_cast<int32_t>(std::ceil(ink.right())) - a;
    }
  }
  rest = g.Advance - a - b;
}

namespace {

constexpr size_t kMaxKeptRuns = 96;            // per font: a page of tab captions
constexpr size_t kMaxKeptRunBytes = 16 * 1024;  // masks larger than this are drawn each time

size_t RunHash(std::string_view text, const TTextRunPlacement& place) {
  size_t h = std::hash<std::string_view>()(text);
  h ^= std::hash<int64_t>()((int64_t(place.CharExtra) << 1) | (place.RightToLeft ? 1 : 0)) + 0x9E3779B97F4A7C15ull +
       (h << 6) + (h >> 2);
  for (const int32_t d : place.Dx) h = h * 31 + static_cast<uint32_t>(d);
  return h;
}

bool SameRun(const TRealizedFont::TImpl::TRun& r, size_t hash, std::string_view text, const TTextRunPlacement& place,
             uint64_t generation) {
  return r.Hash == hash && r.Generation == generation && r.CharExtra == place.CharExtra &&
         r.RightToLeft == place.RightToLeft && r.Text == text &&
         std::equal(r.Dx.begin(), r.Dx.end(), place.Dx.begin(), place.Dx.end());
}

}  // namespace

TCoverageMask TRealizedFont::Render(std::string_view text, const TTextRunPlacement& place) const {
  const TImpl& f = *impl_;
  if (!f.Valid || text.empty()) return {};
  // Only upright runs are kept: a rotation's rasterisation depends on the origin.
  const bool keep = f.Request.Escapement % 3600 == 0;
  const uint64_t generation = keep ? FontGeneration() : 0;
  const size_t hash = keep ? RunHash(text, place) : 0;
  if (keep) {
    // The same clip about the origin gives the same mask; a whole run fits any clip it lies in.
    const TRect& c = place.Clip;
    auto fits = [&](const TImpl::TRun& run) {
      if (run.NoInk) return true;
      const int64_t l = int64_t(place.X) + run.Mask.Left, t = int64_t(place.Y) + run.Mask.Top;
      const int64_t r = l + run.Mask.Width, b = t + run.Mask.Height;
      return (int64_t(c.Left) - place.X == run.ClipLeft && int64_t(c.Top) - place.Y == run.ClipTop &&
              int64_t(c.Right) - place.X == run.ClipRight && int64_t(c.Bottom) - place.Y == run.ClipBottom) ||
             (run.Whole && l >= c.Left && t >= c.Top && r <= c.Right && b <= c.Bottom);
    };
    std::shared_ptr<const TImpl::TRun> run;
    {
      std::lock_guard<std::mutex> guard(f.RunsLock);
      for (size_t i = 0; i < f.Runs.size(); ++i) {
        if (!SameRun(*f.Runs[i], hash, text, place, generation) || !fits(*f.Runs[i])) continue;
        std::rotate(f.Runs.begin(), f.Runs.begin() + static_cast<std::ptrdiff_t>(i),
                    f.Runs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        run = f.Runs.front();
        break;
      }
    }
    if (run) {
      if (run->NoInk) return {};
      TCoverageMask out = run->Mask;
      out.Left = static_cast<int32_t>(int64_t(place.X) + out.Left);
      out.Top = static_cast<int32_t>(int64_t(place.Y) + out.Top);
      return out;
    }
  }
  // Keeps a drawn run, its mask and clip relative to the origin.
  auto remember = [&](const TCoverageMask* mask, bool whole) {
    if (!keep || (mask && mask->Bits.size() > kMaxKeptRunBytes)) return;
    const int64_t relLeft = mask ? int64_t(mask->Left) - place.X : 0, relTop = mask ? int64_t(mask->Top) - place.Y : 0;
    if (relLeft != int32_t(relLeft) || relTop != int32_t(relTop)) return;
    auto run = std::make_shared<TImpl::TRun>();
    run->Hash = hash;
    run->Text.assign(text);
    run->Dx.assign(place.Dx.begin(), place.Dx.end());
    run->CharExtra = place.CharExtra;
    run->RightToLeft = place.RightToLeft;
    run->Generation = generation;
    run->NoInk = !mask;
    run->Whole = whole;
    run->ClipLeft = int64_t(place.Clip.Left) - place.X;
    run->ClipTop = int64_t(place.Clip.Top) - place.Y;
    run->ClipRight = int64_t(place.Clip.Right) - place.X;
    run->ClipBottom = int64_t(place.Clip.Bottom) - place.Y;
    if (mask) {
      run->Mask = *mask;
      run->Mask.Left = static_cast<int32_t>(relLeft);
      run->Mask.Top = static_cast<int32_t>(relTop);
    }
    std::lock_guard<std::mutex> guard(f.RunsLock);
    if (f.Runs.size() >= kMaxKeptRuns) f.Runs.pop_back();
    f.Runs.insert(f.Runs.begin(), std::move(run));
  };
  const std::u32string chars = DecodeUtf8(text);
  std::vector<TGlyphInfo> info;
  GlyphInfos(f, chars, info);
  std::vector<int32_t> xs(info.size());
  int64_t x = 0, minX = 0, maxX = 0;
  for (size_t i = 0; i < info.size(); ++i) {
    xs[i] = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN / 2, INT32_MAX / 2));
    x += i < place.Dx.size() ? place.Dx[i] : int64_t(info[i].Advance) + place.CharExtra;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
  }
  const TFontMetricsData& m = f.Metrics;
  // The run-space box that can get ink: the glyphs' boxes and the decoration lines (for the
  // bidirectional layout, the whole cell with room around it).
  QRectF box;
  if (place.RightToLeft) {
    const int32_t pad = m.EmSize / 2 + 2;
    box = QRectF(double(minX - pad), double(-m.Ascent - pad), double(maxX - minX + 2 * pad), double(m.Height + 2 * pad));
  } else {
    int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
    for (size_t i = 0; i < info.size(); ++i) {
      if (!info[i].HasInk) continue;
      l = std::min<int64_t>(l, int64_t(xs[i]) + info[i].InkLeft);
      r = std::max<int64_t>(r, int64_t(xs[i]) + info[i].InkRight);
      t = std::min<int64_t>(t, info[i].InkTop);
      b = std::max<int64_t>(b, info[i].InkBottom);
    }
    if (m.Underline || m.StrikeOut) {
      l = std::min<int64_t>(l, minX);
      r = std::max<int64_t>(r, maxX);
      t = std::min<int64_t>(t, m.StrikeOut ? m.StrikeOutTop : m.UnderlineTop);
      b = std::max<int64_t>(b, m.Underline ? m.UnderlineTop + m.UnderlineSize : m.StrikeOutTop + m.StrikeOutSize);
    }
    if (l >= r || t >= b) {
      remember(nullptr, true);
      return {};
    }
    // Synthetic slant leans glyphs beyond their upright boxes.
    const int64_t slant = f.Italic ? m.EmSize / 3 + 1 : 0;
    box = QRectF(double(l - slant), double(t), double(r - l + 2 * slant), double(b - t));
  }
  const QTransform toDevice = RunTransform(place.X, place.Y, f.Request.Escapement);
  TCoverageMask mask = AllocateMask(toDevice, box, place.Clip);
  if (mask.IsEmpty()) return mask;
  const QRect dev = toDevice.mapRect(box).toAlignedRect();
  const bool whole = mask.Left == dev.left() && mask.Top == dev.top() && mask.Width == dev.width() &&
                     mask.Height == dev.height();

  TThreadFont& t = ThreadFont(f);
  QImage image(mask.Bits.data(), mask.Width, mask.Height, mask.Stride, QImage::Format_Alpha8);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, f.Antialias);
  painter.setRenderHint(QPainter::TextAntialiasing, f.Antialias);
  painter.setTransform(toDevice * QTransform::fromTranslate(-mask.Left, -mask.Top));
  const QColor ink(0, 0, 0, 255);
  painter.setPen(ink);
  if (place.RightToLeft) {
    // Bidirectional reordering by Qt's layout, placed to end where the measured run ends.
    QTextLayout layout(QString::fromStdString(std::string(text)), t.Font);
    QTextOption option;
    option.setTextDirection(Qt::RightToLeft);
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) line.setLineWidth(1e7);
    layout.endLayout();
    if (line.isValid()) {
      const double shift = double(x) - line.naturalTextWidth();
      const double baseline = line.y() + line.ascent();
      for (const QGlyphRun& run : layout.glyphRuns()) painter.drawGlyphRun(QPointF(shift, -baseline), run);
    }
  } else {
    size_t i = 0;
    while (i < info.size()) {
      const int16_t font = info[i].Font;
      size_t j = i;
      QList<quint32> glyphs;
      QList<QPointF> positions;
      while (j < info.size() && info[j].Font == font) {
        glyphs.append(info[j].Glyph);
        positions.append(QPointF(xs[j], 0));
        ++j;
      }
      if (font >= 0) {
        const QRawFont& raw = ThreadRawFont(f, t, font);
        if (raw.isValid()) {
          QGlyphRun run;
          run.setRawFont(raw);
          run.setGlyphIndexes(glyphs);
          run.setPositions(positions);
          painter.drawGlyphRun(QPointF(0, 0), run);
        }
      }
      i = j;
    }
  }
  const double left = double(std::min<int64_t>(0, minX)), width = double(maxX - std::min<int64_t>(0, minX));
  if (m.Underline) painter.fillRect(QRectF(left, m.UnderlineTop, width, m.UnderlineSize), ink);
  if (m.StrikeOut) painter.fillRect(QRectF(left, m.StrikeOutTop, width, m.StrikeOutSize), ink);
  painter.end();
  remember(&mask, whole);
  return mask;
}

TRealizedFontPtr RealizeFont(const TFontRequest& request) {
  const std::string key = CacheKey(request);
  {
    std::lock_guard<std::mutex> guard(CacheLock());
    if (auto it = Cache().find(key); it != Cache().end()) return it->second;
  }
  auto font = std::make_shared<const TRealizedFont>(Realize(request));
  if (!font->IsValid()) return font;  // realised again once Qt's fonts are there
  std::lock_guard<std::mutex> guard(CacheLock());
  auto& cache = Cache();
  if (cache.size() >= kMaxCachedFonts) cache.clear();  // fonts in use stay alive through their owners
  return cache.emplace(key, std::move(font)).first->second;
}

std::string ResolveFontFace(std::string_view face, uint8_t pitchAndFamily) {
  const std::string name = Lower(Trim(face));
  std::string target;
  for (const TFaceAlias& alias : kFaceAliases)
    if (name == alias.name) target = alias.family;
  if (!EnsureGuiApplication()) return target.empty() ? DefaultFace(pitchAndFamily) : target;
  std::lock_guard<std::mutex> guard(DatabaseLock());
  TFontDatabaseState& db = Database();
  for (const TWineFace& wine : kWineFaces) {
    if (target != wine.Family || !db.wineTried.insert(target).second) continue;
    for (const char* path : wine.Files)
      if (path && std::filesystem::exists(path)) RegisterLocked(db, path);
  }
  RefreshFamilies(db);
  if (!target.empty()) {
    if (auto it = db.families.find(Lower(target)); it != db.families.end()) return it->second;
  } else if (!name.empty()) {
    if (auto it = db.families.find(name); it != db.families.end()) return it->second;
  }
  const std::string fallback = DefaultFace(pitchAndFamily);
  if (auto it = db.families.find(Lower(fallback)); it != db.families.end()) return it->second;
  return fallback;
}

bool RegisterFontFile(const std::string& path) {
  if (!EnsureGuiApplication()) return false;
  bool ok;
  {
    std::lock_guard<std::mutex> guard(DatabaseLock());
    ok = RegisterLocked(Database(), path);
  }
  // Faces that resolved to a fallback may resolve to the new family now.
  if (ok) InvalidateFontCache();
  return ok;
}

void ReleaseThreadFontCache() { ThreadFonts().clear(); }

uint64_t FontGeneration() { return Generation().load(); }

TCoverageMask RenderRunBox(const TRect& box, int32_t originX, int32_t originY, int32_t escapement, const TRect& clip) {
  if (box.IsEmpty()) return {};
  const QTransform toDevice = RunTransform(originX, originY, escapement);
  const QRectF area(box.Left, box.Top, box.Width(), box.Height());
  TCoverageMask mask = AllocateMask(toDevice, area, clip);
  if (mask.IsEmpty()) return mask;
  QImage image(mask.Bits.data(), mask.Width, mask.Height, mask.Stride, QImage::Format_Alpha8);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setTransform(toDevice * QTransform::fromTranslate(-mask.Left, -mask.Top));
  painter.fillRect(area, QColor(0, 0, 0, 255));
  painter.end();
  return mask;
}

std::u32string DecodeUtf8(std::string_view text, std::vector<size_t>* byteOffsets) {
  std::u32string out;
  out.reserve(text.size());
  if (byteOffsets) {
    byteOffsets->clear();
    byteOffsets->reserve(text.size());
  }
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    if (byteOffsets) byteOffsets->push_back(i);
    const uint8_t b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int len = 0;
    char32_t c = 0, min = 0;
    if ((b & 0xE0) == 0xC0) len = 2, c = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) len = 3, c = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) len = 4, c = b & 0x07, min = 0x10000;
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) ok = false;
      else c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
    } else {
      out.push_back(c);
      i += len;
    }
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}
