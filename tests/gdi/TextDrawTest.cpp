// Text on device contexts: faces, metrics, measuring against drawing, alignment, background
// modes, quality, rotation and DrawText. Fonts come from files, never from the desktop.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <set>
#include <thread>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/WinGdi.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kRed = 0x0000FF;

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf",
};

class TextDraw : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* path : kFontFiles) ASSERT_TRUE(RegisterFontFile(path)) << path;
  }

  void SetUp() override {
    surface_ = std::make_unique<TSurface>(400, 200, 32);
    Clear();
    dc_ = CreateSurfaceDC(surface_.get());
    ASSERT_NE(dc_, nullptr);
    SetTextColor(dc_, kBlack);
    SetBkMode(dc_, TRANSPARENT);
  }

  void TearDown() override {
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    if (font_) DeleteObject(font_);
    DeleteDC(dc_);
  }

  void Clear() {
    for (int32_t y = 0; y < surface_->Height(); ++y) std::memset(surface_->Row(y), 0xFF, surface_->Width() * 4);
  }

  void UseFont(const char* face, int32_t height, BYTE quality = DEFAULT_QUALITY, int32_t escapement = 0,
               bool underline = false) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfEscapement = escapement;
    lf.lfQuality = quality;
    lf.lfUnderline = underline ? 1 : 0;
    std::strncpy(lf.lfFaceName, face, sizeof(lf.lfFaceName) - 1);
    HFONT f = CreateFontIndirect(lf);
    ASSERT_NE(f, nullptr);
    SelectObject(dc_, f);
    if (font_) DeleteObject(font_);
    font_ = f;
  }

  TSize Extent(std::string_view text) {
    TSize size;
    EXPECT_TRUE(GetTextExtentPoint32(dc_, text, &size));
    return size;
  }

  TEXTMETRIC Metrics() {
    TEXTMETRIC tm;
    EXPECT_TRUE(GetTextMetrics(dc_, &tm));
    return tm;
  }

  // Bounds of the pixels that differ from background (empty when none).
  TRect Ink(COLORREF background = kWhite) const {
    TRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = 0; y < surface_->Height(); ++y)
      for (int32_t x = 0; x < surface_->Width(); ++x)
        if (surface_->GetPixel(x, y) != background) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r.Left == INT32_MAX ? TRect() : r;
  }

  bool Inside(const TRect& inner, const TRect& outer) const {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
  }

  std::set<COLORREF> Colours() const {
    std::set<COLORREF> s;
    for (int32_t y = 0; y < surface_->Height(); ++y)
      for (int32_t x = 0; x < surface_->Width(); ++x) s.insert(surface_->GetPixel(x, y));
    return s;
  }

  std::unique_ptr<TSurface> surface_;
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
};

TEST_F(TextDraw, FacesResolveToInstalledFamilies) {
  struct Case {
    const char* face;
    uint8_t pitch;
    const char* family;
  } cases[] = {
      {"Arial", 0, "Liberation Sans"},         {"helvetica", 0, "Liberation Sans"},
      {"Times New Roman", 0, "Liberation Serif"}, {"Courier New", 0, "Liberation Mono"},
      {"MS Sans Serif", 0, "Tahoma"},          {"MS Shell Dlg 2", 0, "Tahoma"},
      {"Marlett", 0, "Marlett"},               {"Verdana", 0, "DejaVu Sans"},
      {"DejaVu Sans", 0, "DejaVu Sans"},       {"No Such Face", 0, "DejaVu Sans"},
      {"No Such Face", FIXED_PITCH, "DejaVu Sans Mono"}, {"", FF_MODERN, "DejaVu Sans Mono"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveFontFace(c.face, c.pitch), c.family) << c.face;
}

TEST_F(TextDraw, MarlettDrawsItsSymbolsForLetters) {
  // "r" is the close cross: ink in both diagonals, unlike the letter of a text face.
  UseFont("Marlett", -11);
  Clear();
  TextOut(dc_, 2, 2, "r");
  const TRect cross = Ink();
  ASSERT_FALSE(cross.IsEmpty());
  EXPECT_NE(surface_->GetPixel(cross.Left, cross.Top), kWhite);
  EXPECT_NE(surface_->GetPixel(cross.Right - 1, cross.Top), kWhite);
  EXPECT_NE(surface_->GetPixel(cross.Left, cross.Bottom - 1), kWhite);
  UseFont("DejaVu Sans", -11);
  Clear();
  TextOut(dc_, 2, 2, "r");
  EXPECT_NE(Ink(), cross);
}

TEST_F(TextDraw, MetricsFollowTheLogicalFont) {
  for (const char* face : {"DejaVu Sans", "Arial", "Tahoma"}) {
    for (int32_t height : {-16, -11, 20, 0}) {
      SCOPED_TRACE(std::string(face) + " " + std::to_string(height));
      UseFont(face, height);
      const TEXTMETRIC tm = Metrics();
      EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
      if (height < 0) {
        EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight + height);
      } else {
        EXPECT_EQ(tm.tmHeight, height ? height : 16);
      }
      EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE);
      EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);  // set means variable pitch
      EXPECT_GT(tm.tmAveCharWidth, 0);
      EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
      EXPECT_EQ(tm.tmWeight, FW_NORMAL);
      EXPECT_EQ(Extent("Hello").cy, tm.tmHeight);
    }
  }
  UseFont("Courier New", -13);
  EXPECT_FALSE(Metrics().tmPitchAndFamily & TMPF_FIXED_PITCH);
  char name[64];
  EXPECT_EQ(GetTextFace(dc_, sizeof(name), name), 12);
  EXPECT_STREQ(name, "Courier New");
}

TEST_F(TextDraw, WidthIsTheSumOfCharacterWidthsAndInkStaysInside) {
  const std::string text = "Hello, World fi AVAWA 0123";
  for (const char* face : {"DejaVu Sans", "Arial", "Tahoma"}) {
    for (BYTE quality : {DEFAULT_QUALITY, NONANTIALIASED_QUALITY}) {
      SCOPED_TRACE(std::string(face) + " quality " + std::to_string(quality));
      UseFont(face, -13, quality);
      std::vector<int32_t> widths;
      for (char c : text) {
        int32_t w = 0;
        ASSERT_TRUE(GetCharWidth32(dc_, static_cast<uint8_t>(c), static_cast<uint8_t>(c), &w));
        widths.push_back(w);
      }
      const TSize size = Extent(text);
      EXPECT_EQ(size.cx, std::accumulate(widths.begin(), widths.end(), 0));
      int32_t fit = 0;
      std::vector<int32_t> dx;
      ASSERT_TRUE(GetTextExtentExPoint(dc_, text, size.cx - 1, &fit, &dx, nullptr));
      EXPECT_EQ(fit, static_cast<int32_t>(text.size()) - 1);
      EXPECT_EQ(dx.back(), size.cx);
      Clear();
      ASSERT_TRUE(TextOut(dc_, 10, 20, text));
      const TRect ink = Ink();
      EXPECT_TRUE(Inside(ink, {10, 20, 10 + size.cx, 20 + size.cy}));
      EXPECT_GE(ink.Width(), size.cx - 4);  // and it fills the box
    }
  }
}

TEST_F(TextDraw, QualitySelectsAntialiasing) {
  UseFont("DejaVu Sans", -15, NONANTIALIASED_QUALITY);
  TextOut(dc_, 5, 5, "Quality gate %&@");
  EXPECT_EQ(Colours(), (std::set<COLORREF>{kWhite, kBlack}));
  Clear();
  UseFont("DejaVu Sans", -15, ANTIALIASED_QUALITY);
  TextOut(dc_, 5, 5, "Quality gate %&@");
  EXPECT_GT(Colours().size(), 5u);
}

TEST_F(TextDraw, AlignmentMovesTheInk) {
  UseFont("Arial", -20);
  const TEXTMETRIC tm = Metrics();
  const int32_t w = Extent("HHH").cx;
  struct Case {
    UINT align;
    TRect box;  // where the text cell lies for the reference point (100, 100)
  } cases[] = {
      {TA_LEFT | TA_TOP, {100, 100, 100 + w, 100 + tm.tmHeight}},
      {TA_RIGHT | TA_TOP, {100 - w, 100, 100, 100 + tm.tmHeight}},
      {TA_CENTER | TA_TOP, {100 - w / 2, 100, 100 - w / 2 + w, 100 + tm.tmHeight}},
      {TA_LEFT | TA_BASELINE, {100, 100 - tm.tmAscent, 100 + w, 100 + tm.tmDescent}},
      {TA_LEFT | TA_BOTTOM, {100, 100 - tm.tmHeight, 100 + w, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.align);
    Clear();
    SetTextAlign(dc_, c.align);
    TextOut(dc_, 100, 100, "HHH");
    const TRect ink = Ink();
    EXPECT_TRUE(Inside(ink, c.box));
    // "H" stands on the baseline and reaches close to both sides of the cell.
    EXPECT_EQ(ink.Bottom, c.box.Top + tm.tmAscent);
    EXPECT_LE(ink.Left - c.box.Left, 3);
    EXPECT_LE(c.box.Right - ink.Right, 3);
  }
}

TEST_F(TextDraw, BackgroundModes) {
  UseFont("DejaVu Sans", -14);
  SetBkColor(dc_, kRed);
  const TSize size = Extent("Mixed textH");
  // Opaque: the whole cell takes the background (or the ink), nothing outside it changes.
  SetBkMode(dc_, OPAQUE);
  TextOut(dc_, 30, 40, "Mixed textH");
  EXPECT_EQ(Ink(), TRect(30, 40, 30 + size.cx, 40 + size.cy));
  for (int32_t y = 40; y < 40 + size.cy; ++y)
    for (int32_t x = 30; x < 30 + size.cx; ++x) ASSERT_NE(surface_->GetPixel(x, y), kWhite) << x << "," << y;
  // Transparent: only glyph pixels change.
  Clear();
  SetBkMode(dc_, TRANSPARENT);
  TextOut(dc_, 30, 40, "Mixed textH");
  EXPECT_EQ(Colours().count(kRed), 0u);
  // ExtTextOut: the opaque rectangle is filled and the text clipped to it.
  Clear();
  const TRect rect{50, 60, 90, 80};
  ExtTextOut(dc_, 52, 62, ETO_OPAQUE | ETO_CLIPPED, &rect, "A text longer than the rectangle");
  EXPECT_EQ(Ink(), rect);
}

TEST_F(TextDraw, EscapementRotatesAboutTheReferencePoint) {
  UseFont("DejaVu Sans", -16, DEFAULT_QUALITY, 900);
  const TSize size = Extent("Upwards");
  TextOut(dc_, 100, 150, "Upwards");
  const TRect ink = Ink();
  // The run goes up from (100, 150); the cell lies to the right of the reference point.
  EXPECT_GT(ink.Height(), 2 * ink.Width());
  EXPECT_TRUE(Inside(ink, {100, 150 - size.cx - 1, 100 + size.cy + 1, 151}));
  EXPECT_GE(ink.Height(), size.cx - 4);
}

TEST_F(TextDraw, CurrentPositionAndAdvances) {
  UseFont("DejaVu Sans", -14);
  SetTextAlign(dc_, TA_UPDATECP);
  MoveToEx(dc_, 5, 5, nullptr);
  TextOut(dc_, 0, 0, "abc");
  TPoint cp;
  GetCurrentPositionEx(dc_, &cp);
  EXPECT_EQ(cp, TPoint(5 + Extent("abc").cx, 5));
  // Given advances place every character.
  SetTextAlign(dc_, TA_LEFT | TA_TOP);
  Clear();
  const int32_t dx[] = {40, 40, 40};
  ExtTextOut(dc_, 10, 100, 0, nullptr, "III", dx);
  const TRect ink = Ink();
  EXPECT_GE(ink.Width(), 81);
  EXPECT_LE(ink.Width(), 81 + Extent("I").cx);
  SetTextCharacterExtra(dc_, 3);
  EXPECT_EQ(Extent("abcd").cx, Extent("a").cx + Extent("b").cx + Extent("c").cx + Extent("d").cx);
}

TEST_F(TextDraw, DrawTextMeasuresWhatItDraws) {
  UseFont("Arial", -13);
  const TEXTMETRIC tm = Metrics();
  struct Case {
    const char* text;
    UINT format;
    int32_t width;
    int32_t lines;
  } cases[] = {
      {"Hello World", DT_SINGLELINE, 10, 1},
      {"One two three four five six seven", DT_WORDBREAK, 90, 0},
      {"Line one\r\nLine two\nLine three", 0, 10, 3},
      {"Tabs\tbetween\twords", DT_EXPANDTABS | DT_SINGLELINE, 10, 1},
      {"Reading right to left!", DT_SINGLELINE | DT_RTLREADING, 10, 1},
      {"A line far too long for its box", DT_SINGLELINE | DT_END_ELLIPSIS, 90, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Clear();
    TRect calc{20, 30, 20 + c.width, 30};
    const int32_t height = DrawText(dc_, c.text, &calc, c.format | DT_CALCRECT);
    EXPECT_EQ(Ink(), TRect());  // measuring draws nothing
    EXPECT_EQ(height, calc.Height());
    EXPECT_EQ(height % tm.tmHeight, 0);
    if (c.lines) {
      EXPECT_EQ(height / tm.tmHeight, c.lines);
    } else {
      EXPECT_GT(height / tm.tmHeight, 1);
    }
    TRect draw = calc;
    EXPECT_EQ(DrawText(dc_, c.text, &draw, c.format), height);
    const TRect ink = Ink();
    EXPECT_TRUE(Inside(ink, calc));
    EXPECT_GE(ink.Width(), calc.Width() - 4);
    EXPECT_GT(ink.Bottom, calc.Bottom - tm.tmHeight);
    if (c.format & DT_END_ELLIPSIS) {
      EXPECT_LE(calc.Width(), c.width);
    }
  }
}

// A run drawn again anywhere, clipped or not, matches its first drawing moved there (drawn runs
// are kept and reused, so a clipped drawing must never stand in for a whole one or move).
TEST_F(TextDraw, RunsRedrawnElsewhereMatchTheirFirstDrawing) {
  UseFont("DejaVu Sans", -15);
  const std::string text = "Wave jig 47";
  constexpr int32_t kW = 120, kH = 24;  // the run's cell about its origin (top-left alignment)
  std::vector<COLORREF> whole(static_cast<size_t>(kW) * kH);
  TextOut(dc_, 10, 10, text);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) whole[static_cast<size_t>(y) * kW + x] = surface_->GetPixel(10 + x, 10 + y);
  ASSERT_NE(std::count(whole.begin(), whole.end(), kWhite), kW * kH);
  struct TCase {
    int32_t X, Y;
    TRect Clip;  // about the origin; empty: not clipped
  };
  const TCase cases[] = {
      {50, 60, TRect(20, 4, 60, 12)},   // cuts through the run
      {200, 10, TRect()},               // whole again after a clipped drawing
      {150, 150, TRect(20, 4, 60, 12)}, // the same clip about another origin
      {30, 120, TRect(0, 8, kW, kH)},   // the lower part only
      {260, 90, TRect()},
  };
  for (const TCase& c : cases) {
    Clear();
    if (c.Clip.IsEmpty()) {
      TextOut(dc_, c.X, c.Y, text);
    } else {
      TRect clip = c.Clip;
      clip.Offset(c.X, c.Y);
      ExtTextOut(dc_, c.X, c.Y, ETO_CLIPPED, &clip, text);
    }
    for (int32_t y = -4; y < kH + 4; ++y)
      for (int32_t x = -4; x < kW + 4; ++x) {
        const bool inCell = x >= 0 && y >= 0 && x < kW && y < kH;
        const bool shown =
            c.Clip.IsEmpty() || (x >= c.Clip.Left && x < c.Clip.Right && y >= c.Clip.Top && y < c.Clip.Bottom);
        const COLORREF want = inCell && shown ? whole[static_cast<size_t>(y) * kW + x] : kWhite;
        ASSERT_EQ(surface_->GetPixel(c.X + x, c.Y + y), want) << c.X << "," << c.Y << " at " << x << "," << y;
      }
  }
}

TEST_F(TextDraw, ThreadsDrawTheSameTextOnTheirOwnSurfaces) {
  UseFont("DejaVu Sans", -15);
  const std::string text = "Threads draw alike 123";
  const auto draw = [&](TSurface& s) {
    HDC dc = CreateSurfaceDC(&s);
    SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    for (int32_t i = 0; i < 20; ++i) TextOut(dc, 3, 3, text);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteDC(dc);
  };
  TSurface reference(240, 24, 32);
  draw(reference);
  std::vector<std::unique_ptr<TSurface>> surfaces;
  std::vector<std::thread> threads;
  for (int32_t i = 0; i < 4; ++i) surfaces.push_back(std::make_unique<TSurface>(240, 24, 32));
  for (auto& s : surfaces) threads.emplace_back([&draw, &s] { draw(*s); });
  for (auto& t : threads) t.join();
  for (auto& s : surfaces)
    for (int32_t y = 0; y < 24; ++y) ASSERT_EQ(std::memcmp(s->Row(y), reference.Row(y), 240 * 4), 0) << y;
}

TEST_F(TextDraw, PrefixUnderlinesTheMarkedLetter) {
  UseFont("DejaVu Sans", -16, NONANTIALIASED_QUALITY);
  const TEXTMETRIC tm = Metrics();
  TRect r{10, 10, 300, 60};
  DrawText(dc_, "&Hello", &r, DT_SINGLELINE);
  const int32_t row = 10 + tm.tmAscent + 1;
  const int32_t h = Extent("H").cx;
  for (int32_t x = 10; x < 10 + h - 1; ++x) EXPECT_EQ(surface_->GetPixel(x, row), kBlack) << x;
  EXPECT_EQ(surface_->GetPixel(10 + h + 2, row), kWhite);
  // "&&" is a literal ampersand, drawn exactly as "&".
  Clear();
  DrawText(dc_, "A&&B", &r, DT_SINGLELINE);
  std::vector<COLORREF> escaped;
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 100; ++x) escaped.push_back(surface_->GetPixel(x, y));
  Clear();
  DrawText(dc_, "A&B", &r, DT_SINGLELINE | DT_NOPREFIX);
  std::vector<COLORREF> literal;
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 100; ++x) literal.push_back(surface_->GetPixel(x, y));
  EXPECT_EQ(escaped, literal);
}

TEST_F(TextDraw, UnderlineFontDrawsALineUnderTheRun) {
  UseFont("Liberation Sans", -18, NONANTIALIASED_QUALITY, 0, true);
  const TEXTMETRIC tm = Metrics();
  const TSize size = Extent("a b c");
  TextOut(dc_, 10, 10, "a b c");
  int32_t fullRows = 0;
  for (int32_t y = 10 + tm.tmAscent; y < 10 + tm.tmHeight; ++y) {
    bool full = true;
    for (int32_t x = 10; x < 10 + size.cx; ++x) full = full && surface_->GetPixel(x, y) == kBlack;
    fullRows += full ? 1 : 0;
  }
  EXPECT_GE(fullRows, 1);
}

TEST_F(TextDraw, BadHandlesAreRefused) {
  TSize size;
  EXPECT_FALSE(TextOut(nullptr, 0, 0, "x"));
  EXPECT_FALSE(GetTextExtentPoint32(nullptr, "x", &size));
  TRect r{0, 0, 10, 10};
  EXPECT_EQ(DrawText(nullptr, "x", &r, 0), 0);
  EXPECT_EQ(DrawText(dc_, "x", nullptr, 0), 0);
  DRAWTEXTPARAMS params;
  params.cbSize = 3;
  EXPECT_EQ(DrawTextEx(dc_, "x", &r, 0, &params), 0);
  EXPECT_FALSE(GetCharWidth32(dc_, 20, 10, nullptr));
  EXPECT_EQ(AddFontResourceEx("/nonexistent/font.ttf", FR_PRIVATE, nullptr), 0);
}

}  // namespace
