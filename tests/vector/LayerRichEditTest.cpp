// The hidden rich edit behind text layers: registered at start-up, it loads RTF, answers plain
// text and measurements, and paints exactly as a rich edit on a form does.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "layers/pxxLayers_richedit.h"
#include "platform/gdi/Graphics.h"
#include "tests/forms/TestHost.h"
#include "vector/pxxRichEdit.h"
#include "vector/pxxRichEdit_layer.h"

namespace {

const char* const kRtf =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}{\\colortbl;\\red200\\green0\\blue0;}"
    "\\f0\\fs24 Plain {\\b bold} and {\\cf1 red}\\par\\f1\\fs36 Second line, a good deal longer\\par}";

std::unique_ptr<TBitmap> WhiteBitmap(int32_t W, int32_t H) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect(TRect(0, 0, W, H));
  return b;
}

int32_t InkCount(TBitmap* B, const TRect& Area) {
  int32_t n = 0;
  for (int32_t y = Area.Top; y < Area.Bottom; ++y)
    for (int32_t x = Area.Left; x < Area.Right; ++x)
      if ((B->Canvas()->Pixels(x, y) & 0xFFFFFF) != 0xFFFFFF) ++n;
  return n;
}

}  // namespace

TEST(LayerRichEdit, StartUpRegistersTheHiddenEditAndItAnswersTextAndSizes) {
  std::unique_ptr<IPXLayerRichEdit> e = CreateLayerRichEdit();
  ASSERT_NE(e, nullptr);
  e->SetRTFText(kRtf);
  EXPECT_EQ(e->GetPlainText(), "Plain bold and red\r\nSecond line, a good deal longer");
  EXPECT_EQ(e->GetTextAttributesHeight(), 16) << "12 points at 96 dpi at the caret";

  const int32_t wide = e->GetUnwrappedWidth();
  const int32_t tall = e->MeasureRichTextHeight(nullptr, 0);
  e->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Plain\\par}");
  EXPECT_LT(e->GetUnwrappedWidth(), wide);
  EXPECT_LT(e->MeasureRichTextHeight(nullptr, 0), tall);
  e->SetRTFText(kRtf);
  EXPECT_GT(e->MeasureRichTextHeight(nullptr, 60), tall) << "a narrow width wraps the lines";
  e->SetRTFText("");
  EXPECT_EQ(e->GetPlainText(), "");
}

class LayerRichEditForm : public FormsTest {};

TEST_F(LayerRichEditForm, PaintsLikeARichEditOnAForm) {
  auto form = NewForm(500, 300);
  auto* shown = new TPXRichEdit(form.get());
  shown->SetParent(form.get());
  shown->SetBounds(0, 0, 400, 200);
  shown->SetWordWrap(false);
  Pump();
  shown->SetRTFText(kRtf);
  std::unique_ptr<IPXLayerRichEdit> hidden = CreateLayerRichEdit();
  hidden->SetRTFText(kRtf);
  hidden->AddTransparentStyle();

  struct Case {
    TRect Rect;
    double Zoom;
  };
  for (const Case& c : {Case{TRect(10, 20, 390, 180), 1.0}, Case{TRect(0, 0, 380, 160), 2.0},
                        Case{TRect(5, 5, 300, 100), 0.5}}) {
    auto expected = WhiteBitmap(420, 260);
    auto actual = WhiteBitmap(420, 260);
    shown->PaintToDC(expected->Canvas()->Handle(), c.Rect, 0, 0, c.Zoom, c.Zoom);
    hidden->PaintToDC(actual->Canvas()->Handle(), c.Rect, 0, 0, c.Zoom, c.Zoom);
    const TRect all(0, 0, 420, 260);
    ASSERT_GT(InkCount(actual.get(), all), 100) << "zoom " << c.Zoom;
    for (int32_t y = 0; y < 260; ++y)
      for (int32_t x = 0; x < 420; ++x)
        ASSERT_EQ(actual->Canvas()->Pixels(x, y), expected->Canvas()->Pixels(x, y))
            << "zoom " << c.Zoom << " at " << x << "," << y;
  }
}
