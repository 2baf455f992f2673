// Text layers: defaults, setters and what they notify, plain and rich text, rendering through
// the rich edit (upright and by quarter turns), and the record tail with its version gates and
// refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_angle.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_shape.h"
#include "layers/pxxLayers_text.h"
#include "platform/forms/Dialogs.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

constexpr const char* kCorrupted = "PXN File has been corrupted";
constexpr const char* kRtf =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue200;}"
    "\\f0\\fs28 Rich {\\b bold}\\par{\\cf1 blue} line\\par}";

// Exposes the cache flag so that tests can see which changes drop it.
class TextLayer : public TPXTextLayer {
 public:
  using TPXTextLayer::TPXTextLayer;
  void MarkCacheValid() { FCacheValid = 1; }
};

std::string Bytes(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}
void PutI32(std::string& B, size_t Off, int32_t V) { std::memcpy(B.data() + Off, &V, 4); }

std::string Record(TPXLayer* L) {
  TMemoryStream s;
  L->SaveToStream(&s, false, -1);
  return Bytes(s);
}
void Load(TPXLayer* L, const std::string& Rec) {
  TMemoryStream s;
  s.WriteBuffer(Rec.data(), static_cast<int64_t>(Rec.size()));
  s.SetPosition(0);
  L->LoadFromStream(&s);
  EXPECT_EQ(s.Position(), static_cast<int64_t>(Rec.size()));
}

void ExpectSamePixels(TPXBitmap* A, TPXBitmap* B, const char* What) {
  ASSERT_EQ(A->Width(), B->Width()) << What;
  ASSERT_EQ(A->Height(), B->Height()) << What;
  int32_t differing = 0;
  for (int32_t y = 0; y < A->Height(); ++y)
    differing += std::memcmp(A->Scanline(y), B->Scanline(y), static_cast<size_t>(A->Width()) * 3) != 0;
  EXPECT_EQ(differing, 0) << What << ": rows that differ";
}

int32_t InkPixels(TPXBitmap* B) {
  int32_t n = 0;
  for (int32_t y = 0; y < B->Height(); ++y) {
    const auto* row = reinterpret_cast<const TRGB*>(B->Scanline(y));
    for (int32_t x = 0; x < B->Width(); ++x) n += row[x].r != 255 || row[x].g != 255 || row[x].b != 255;
  }
  return n;
}

}  // namespace

TEST(TextLayer, ConstructionFiresNothingAndGivesTheDefaults) {
  FakeLayerOwner owner;
  TextLayer l(&owner);
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_FALSE(l.Modified());
  EXPECT_EQ(l.Kind(), pxlkText);
  EXPECT_EQ(l.GetWidth(), 100);
  EXPECT_EQ(l.GetHeight(), 100);
  EXPECT_EQ(l.BorderColor(), clNone);
  EXPECT_EQ(l.BorderWidth(), 1);
  EXPECT_EQ(l.FillColor(), clNone);
  EXPECT_EQ(l.FillColor2(), clNone);
  EXPECT_EQ(l.FillGradient(), 1);
  EXPECT_EQ(l.Font()->Name(), "Arial");
  EXPECT_EQ(l.Font()->Size(), 14);
  EXPECT_EQ(l.Font()->Color(), clBlack);
  EXPECT_TRUE(l.Font()->Style().Empty());
  EXPECT_EQ(l.BorderShape(), 4);
  EXPECT_EQ(l.BorderRotate(), 0);
  EXPECT_TRUE(l.RichText().empty());
  EXPECT_FALSE(l.AutoSize() || l.ReadOnly() || l.IsRuler());
  EXPECT_EQ(l.TextOverflow() + l.TextAlignment() + l.TextLayout(), 0);
  EXPECT_TRUE(l.WordWrap());
  EXPECT_EQ(l.HorzMargin() + l.VertMargin(), 0);
  EXPECT_EQ(l.RulerUnits(), pxuPixels);
  EXPECT_EQ(l.TextOrigin(), TPoint(0, 0));
  EXPECT_EQ(l.RichEdit(), nullptr) << "the rich edit comes with the first rich text";
}

// Each setter: whether an equal value ends it, whether it drops the render cache, whether it
// refits an auto-sized box.
TEST(TextLayer, SettersNotifyDropTheCacheAndRefitAsTheirRowsSay) {
  struct Row {
    const char* Name;
    std::function<void(TextLayer&)> Set;  // sets the value the layer already has
    std::function<void(TextLayer&)> Change;
    bool SkipsEqual, DropsCache, Refits;
  };
  const Row rows[] = {
      {"BorderColor", [](TextLayer& l) { l.SetBorderColor(clNone); }, [](TextLayer& l) { l.SetBorderColor(clRed); },
       false, true, false},
      {"BorderWidth", [](TextLayer& l) { l.SetBorderWidth(1); }, [](TextLayer& l) { l.SetBorderWidth(4); }, false,
       true, false},
      {"FillColor", [](TextLayer& l) { l.SetFillColor(clNone); }, [](TextLayer& l) { l.SetFillColor(clBlue); },
       false, true, false},
      {"TextAlignment", [](TextLayer& l) { l.SetTextAlignment(0); }, [](TextLayer& l) { l.SetTextAlignment(2); },
       false, true, false},
      {"TextLayout", [](TextLayer& l) { l.SetTextLayout(0); }, [](TextLayer& l) { l.SetTextLayout(1); }, false,
       true, false},
      {"TextOverflow", [](TextLayer& l) { l.SetTextOverflow(0); }, [](TextLayer& l) { l.SetTextOverflow(2); },
       false, true, false},
      {"Text", [](TextLayer& l) { l.SetText("Some words"); }, [](TextLayer& l) { l.SetText("Other, longer words"); },
       true, true, true},
      {"RichText", [](TextLayer& l) { l.SetRichText(""); }, [](TextLayer& l) { l.SetRichText(kRtf); }, true, true,
       true},
      {"BorderShape", [](TextLayer& l) { l.SetBorderShape(4); }, [](TextLayer& l) { l.SetBorderShape(0); }, true,
       true, true},
      {"BorderRotate", [](TextLayer& l) { l.SetBorderRotate(0); }, [](TextLayer& l) { l.SetBorderRotate(30); }, true,
       true, false},
      {"WordWrap", [](TextLayer& l) { l.SetWordWrap(true); }, [](TextLayer& l) { l.SetWordWrap(false); }, false,
       false, false},
      {"ReadOnly", [](TextLayer& l) { l.SetReadOnly(false); }, [](TextLayer& l) { l.SetReadOnly(true); }, false,
       false, false},
      {"IsRuler", [](TextLayer& l) { l.SetIsRuler(false); }, [](TextLayer& l) { l.SetIsRuler(true); }, false, true,
       false},
      {"RulerUnits", [](TextLayer& l) { l.SetRulerUnits(pxuPixels); },
       [](TextLayer& l) { l.SetRulerUnits(pxuInches); }, true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    FakeLayerOwner owner;
    TextLayer l(&owner);
    l.SetText("Some words");
    l.SetAutoSize(true);
    l.SetWidth(700);
    l.MarkCacheValid();
    owner.ClearRecords();
    row.Set(l);
    EXPECT_EQ(owner.ImageChanges.empty(), row.SkipsEqual);
    row.Change(l);
    EXPECT_FALSE(owner.ImageChanges.empty());
    EXPECT_EQ(l.CacheValid(), !row.DropsCache);
    EXPECT_EQ(l.GetWidth() != 700, row.Refits);
  }
  // Switching AutoSize on refits and keeps the cache; switching it off changes nothing else.
  FakeLayerOwner owner;
  TextLayer l(&owner);
  l.SetWidth(700);
  l.MarkCacheValid();
  l.SetAutoSize(true);
  EXPECT_NE(l.GetWidth(), 700);
  l.SetWidth(700);
  l.MarkCacheValid();
  l.SetAutoSize(false);
  EXPECT_EQ(l.GetWidth(), 700);
  EXPECT_TRUE(l.CacheValid());
}

TEST(TextLayer, PlainAndRichTextSwitchEachOther) {
  TPXTextLayer l(nullptr);
  l.SetRichText(kRtf);
  EXPECT_EQ(l.Text(), "Rich bold\r\nblue line") << "the rich edit's plain text";
  EXPECT_FALSE(l.EnableFormatting()) << "loading rich text leaves formatting alone";
  ASSERT_NE(l.RichEdit(), nullptr);
  l.SetText("plain");
  EXPECT_TRUE(l.RichText().empty());
  l.SetRichText(kRtf);
  l.SetEnableFormatting(true);
  l.SetIsRuler(true);
  EXPECT_FALSE(l.EnableFormatting());
  // A shape that is none of the named ones is refused.
  l.SetBorderShape(100);
  EXPECT_EQ(l.BorderShape(), 4);
  l.SetBorderShape(99);
  EXPECT_EQ(l.BorderShape(), 99);
}

// Rich text renders through the rich edit: at Rotate 0 without border it equals the edit's own
// painting of the RTF into the same rectangle on white; other angles turn the upright picture
// of the exchanged box by the nearest quarter.
TEST(TextLayer, RichTextPaintsThroughTheEditAndTurnsByQuarters) {
  TPXTextLayer l(nullptr);
  l.SetWidth(220);
  l.SetHeight(90);
  l.SetRichText(kRtf);
  l.SetEnableFormatting(true);
  std::unique_ptr<TPXBitmap> out;
  l.CopyToBitmap(out, -1, -1, false, false);
  ASSERT_EQ(out->Width(), 220);
  ASSERT_GT(InkPixels(out.get()), 50);

  std::unique_ptr<IPXLayerRichEdit> edit = CreateLayerRichEdit();
  edit->SetRTFText(kRtf);
  auto expected = TPXBitmap::CreateAllocated(220, 90, px24RGB);
  expected->Fill(clWhite);
  // The text rectangle runs from the box's top-left to its right and its bottom plus the text
  // height.
  edit->PaintToDC(expected->GetCanvas()->Handle(), TRect(0, 0, 220, 90 + edit->MeasureRichTextHeight(nullptr, 220)), 0,
                  0, 1.0, 1.0);
  ExpectSamePixels(out.get(), expected.get(), "Rotate 0");

  // The upright picture of the exchanged box, turned as the layer turns it.
  TPXTextLayer upright(nullptr);
  upright.SetWidth(90);
  upright.SetHeight(220);
  upright.SetRichText(kRtf);
  upright.SetEnableFormatting(true);
  struct Row {
    double Rotate;
    int32_t Quarters;
  };
  for (const Row& row : {Row{44, 0}, Row{45, 1}, Row{100, 1}, Row{-100, 3}, Row{180, 2}}) {
    SCOPED_TRACE(row.Rotate);
    l.SetRotate(row.Rotate);
    std::unique_ptr<TPXBitmap> turned;
    l.CopyToBitmap(turned, -1, -1, false, false);
    std::unique_ptr<TPXBitmap> oracle;
    if (row.Quarters % 2 == 1) {
      upright.CopyToBitmap(oracle, -1, -1, false, false);
    } else {
      l.SetRotate(0);
      l.CopyToBitmap(oracle, -1, -1, false, false);
      l.SetRotate(row.Rotate);
    }
    if (row.Quarters) oracle->Rotate(row.Quarters * 90.0, 1, clWhite);
    ExpectSamePixels(turned.get(), oracle.get(), "turned");
  }
}

// A rich layer with formatting off, or as a ruler, paints its Text plainly.
TEST(TextLayer, RichLayersWithoutFormattingPaintPlainText) {
  TPXTextLayer rich(nullptr), plain(nullptr);
  rich.SetRichText(kRtf);
  plain.SetText(rich.Text());
  std::unique_ptr<TPXBitmap> a, b;
  rich.CopyToBitmap(a, -1, -1, false, false);
  plain.CopyToBitmap(b, -1, -1, false, false);
  ExpectSamePixels(a.get(), b.get(), "formatting off");
  rich.SetEnableFormatting(true);
  rich.SetIsRuler(true);
  plain.SetIsRuler(true);
  rich.CopyToBitmap(a, -1, -1, false, false);
  plain.CopyToBitmap(b, -1, -1, false, false);
  ExpectSamePixels(a.get(), b.get(), "ruler");
}

// ---------------------------------------------------------------------------------------------
// Records

namespace {

// Offsets in a record of a layer with empty name, no user data, empty Text and RichText and the
// font "Arial": the tail starts after the common part.
constexpr size_t kTail = 185, kOffRich = kTail + 4, kOffFont = kOffRich + 6, kAfterFont = kOffFont + 24;
constexpr size_t kOffMaskInverted = 95, kOffFillOpacity = 51;

TPXTextLayer* Configured(FakeLayerOwner& Owner) {
  auto* l = Owner.Add(std::make_unique<TPXTextLayer>(&Owner));
  l->SetText("");
  l->SetBorderShape(7);
  l->Font()->SetStyle(TFontStyles{TFontStyle::fsBold, TFontStyle::fsStrikeOut});
  l->Font()->SetColor(clRed);
  l->SetTextAlignment(2);
  l->SetTextLayout(1);
  l->SetReadOnly(true);
  l->SetWordWrap(false);
  l->SetHorzMargin(0.125);
  l->SetVertMargin(0.25);
  l->SetTextOverflow(1);
  l->SetIsRuler(true);
  l->SetRulerUnits(pxuMillimeters);
  l->SetBorderRotate(12.5);
  return l;
}

}  // namespace

TEST(TextLayerRecord, RoundTripsByteForByteWithTheTailInItsOrder) {
  FakeLayerOwner owner;
  TPXTextLayer* a = Configured(owner);
  const std::string rec = Record(a);
  ASSERT_EQ(rec.size(), kAfterFont + 32) << "32 bytes after the font";
  EXPECT_EQ(rec[kOffRich - 4], 0);
  EXPECT_EQ(rec[kOffFont - 1], 7) << "BorderShape before the font";
  EXPECT_EQ(static_cast<uint8_t>(rec[kAfterFont + 4]), 0) << "WordWrap";
  EXPECT_EQ(static_cast<uint8_t>(rec[kAfterFont + 23]), static_cast<uint8_t>(pxuMillimeters));

  // Texts of every plane survive the wide strings.
  a->SetText("Zeile 1\r\n\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80");
  a->SetRichText(kRtf);
  a->SetEnableFormatting(true);
  const std::string full = Record(a);
  TPXTextLayer b(&owner);
  Load(&b, full);
  EXPECT_EQ(Record(&b), full);
  EXPECT_EQ(b.RichText(), kRtf);
  EXPECT_EQ(b.Text(), a->Text());
  EXPECT_TRUE(b.EnableFormatting());
  EXPECT_EQ(b.Font()->Style(), a->Font()->Style());
  EXPECT_FALSE(b.Modified());
  EXPECT_EQ(b.RichEdit(), nullptr) << "loading leaves the rich edit to the next render";
}

TEST(TextLayerRecord, OlderVersionsLeaveTheLaterFieldsAsTheyWere) {
  FakeLayerOwner owner;
  const std::string current = Record(Configured(owner));
  struct Row {
    int32_t Version;
    bool Rich, Fields8000, BorderRotate;
  };
  for (const Row& row : {Row{8005, false, true, true}, Row{8001, false, true, false}, Row{7999, false, false, false},
                         Row{8006, true, true, true}}) {
    SCOPED_TRACE(row.Version);
    std::string rec = current;
    // Back to front, so that the earlier offsets hold.
    if (!row.BorderRotate) rec.erase(kAfterFont + 24, 8);
    if (!row.Fields8000) rec.erase(kAfterFont + 4, 20);
    if (!row.Rich) rec.erase(kOffRich, 5);
    if (row.Version < 8003) {
      rec.erase(kOffMaskInverted, 1);
      rec.erase(kOffFillOpacity, 8);
    }
    PutI32(rec, 0, static_cast<int32_t>(rec.size()));
    PutI32(rec, 4, row.Version);
    TPXTextLayer b(nullptr);
    b.SetRichText("{\\rtf1 kept}");
    b.SetEnableFormatting(true);
    Load(&b, rec);
    EXPECT_EQ(b.BorderShape(), 7);
    EXPECT_EQ(b.TextAlignment(), 2);
    EXPECT_EQ(b.TextLayout(), 1);
    EXPECT_TRUE(b.ReadOnly());
    EXPECT_FALSE(b.EnableFormatting());
    EXPECT_EQ(b.RichText(), row.Rich ? "" : "{\\rtf1 kept}");
    EXPECT_EQ(b.WordWrap(), !row.Fields8000) << "the layer keeps its own";
    EXPECT_EQ(b.HorzMargin(), row.Fields8000 ? 0.125 : 0.0);
    EXPECT_EQ(b.TextOverflow(), row.Fields8000 ? 1 : 0);
    EXPECT_EQ(b.IsRuler(), row.Fields8000);
    EXPECT_EQ(b.RulerUnits(), row.Fields8000 ? pxuMillimeters : pxuPixels);
    EXPECT_EQ(b.BorderRotate(), row.BorderRotate ? 12.5 : 0.0);
  }
}

TEST(TextLayerRecord, LengthsAndValuesThatDoNotFitAreRefused) {
  FakeLayerOwner owner;
  TPXTextLayer* a = Configured(owner);
  a->SetText("abc");
  const std::string rec = Record(a);
  // Text "abc" moves the later fields by 6 bytes.
  const size_t richLength = kOffRich + 6, shape = kOffFont + 5, fontLength = kOffFont + 6;
  struct Row {
    const char* Name;
    std::function<void(std::string&)> Spoil;
  };
  const Row rows[] = {
      {"text length past the record", [](std::string& r) { PutI32(r, kTail, 0x40000000); }},
      {"negative text length", [](std::string& r) { PutI32(r, kTail, -1); }},
      {"RTF length past the record", [&](std::string& r) { PutI32(r, richLength, 1000); }},
      {"font name length past the record", [&](std::string& r) { PutI32(r, fontLength, 200); }},
      {"shape that is none of the named ones", [&](std::string& r) { r[shape] = char(100); }},
      {"unit that does not exist", [&](std::string& r) { r[r.size() - 9] = char(11); }},
      {"record cut short", [](std::string& r) {
         r.resize(r.size() - 3);
         PutI32(r, 0, static_cast<int32_t>(r.size()));
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    std::string bad = rec;
    row.Spoil(bad);
    TPXTextLayer b(nullptr);
    b.SetText("mine");
    TMemoryStream s;
    s.WriteBuffer(bad.data(), static_cast<int64_t>(bad.size()));
    s.SetPosition(0);
    try {
      b.LoadFromStream(&s);
      ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), kCorrupted);
    }
    EXPECT_EQ(b.Text(), "mine") << "the tail is stored only once it was read whole";
    EXPECT_FALSE(b.Updating());
  }
}

// An RTF that a word processor wrote (LibreOffice Writer, headless, from a small document with
// fonts, bold, italic, underline, colour and accented letters) loads as rich text whose plain
// text is the word processor's own plain-text export of it (UTF-8 with a byte order mark, lines
// ended by LF where the layer's text uses CR LF).
TEST(TextLayer, AWordProcessorsRtfGivesItsPlainTextExport) {
  auto read = [](const char* Name) {
    std::ifstream f(TestDataPath(Name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  const std::string rtf = read("layers/writer_note.rtf");
  std::string txt = read("layers/writer_note.txt");
  ASSERT_FALSE(rtf.empty() || txt.empty());
  if (txt.rfind("\xEF\xBB\xBF", 0) == 0) txt.erase(0, 3);
  TPXTextLayer l(nullptr);
  l.SetRichText(rtf);
  EXPECT_EQ(l.RichText(), rtf);
  std::string text = l.Text();
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
  while (!txt.empty() && txt.back() == '\n') txt.pop_back();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  EXPECT_EQ(text, txt);
  l.SetEnableFormatting(true);
  std::unique_ptr<TPXBitmap> out;
  l.SetWidth(400);
  l.CopyToBitmap(out, -1, -1, false, false);
  EXPECT_GT(InkPixels(out.get()), 200);
}

// ---------------------------------------------------------------------------------------------
// Font commands

TEST(TextLayerFont, FontActionsFollowTheirTable) {
  struct Row {
    uint8_t Action;
    int32_t Value;
    int32_t Size;
    TFontStyles Style;
    uint8_t Alignment, Layout;
  };
  const TFontStyles none{};
  for (const Row& row : {Row{0, 30, 30, none, 0, 0}, Row{1, 5, 19, none, 0, 0}, Row{1, -40, 1, none, 0, 0},
                         Row{3, 2, 14, none, 2, 0}, Row{4, 1, 14, none, 0, 1},
                         Row{5, 0, 14, TFontStyles{TFontStyle::fsBold}, 0, 0},
                         Row{5, 1, 14, TFontStyles{TFontStyle::fsItalic}, 0, 0},
                         Row{5, 2, 14, TFontStyles{TFontStyle::fsUnderline}, 0, 0},
                         Row{5, 3, 14, TFontStyles{TFontStyle::fsStrikeOut}, 0, 0}, Row{5, 4, 14, none, 0, 0},
                         Row{9, 1, 14, none, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << "action " << int(row.Action) << " value " << row.Value);
    FakeLayerOwner owner;
    TextLayer l(&owner);
    l.MarkCacheValid();
    ApplyFontAction(&l, row.Action, row.Value);
    EXPECT_EQ(l.Font()->Size(), row.Size);
    EXPECT_EQ(l.Font()->Style(), row.Style);
    EXPECT_EQ(l.TextAlignment(), row.Alignment);
    EXPECT_EQ(l.TextLayout(), row.Layout);
    const bool changes = row.Action <= 4 || (row.Action == 5 && row.Value <= 3);
    EXPECT_EQ(!l.CacheValid(), changes) << "the font change notifies and drops the cache";
    if (row.Action == 5 && row.Value <= 3) {
      ApplyFontAction(&l, 5, row.Value);
      EXPECT_TRUE(l.Font()->Style().Empty()) << "toggled back";
    }
  }
  // Kinds without text ignore every command.
  FakeLayerOwner owner;
  TPXImageLayer image(&owner);
  for (uint8_t action = 0; action <= 5; ++action) ApplyFontAction(&image, action, 1);
  EXPECT_TRUE(owner.ImageChanges.empty());
}

// Line and angle layers take the size and style commands on their label font; command 3 sets a
// line's label alignment and nothing on an angle; 4 acts on neither; shapes ignore all.
TEST(TextLayerFont, LineAndAngleLayersFollowTheirColumns) {
  FakeLayerOwner owner;
  TPXLineLayer line(&owner);
  TPXAngleLayer angle(&owner);
  for (TPXLayer* l : {static_cast<TPXLayer*>(&line), static_cast<TPXLayer*>(&angle)}) {
    SCOPED_TRACE(l->GetKindName());
    ApplyFontAction(l, 0, 30);
    EXPECT_EQ(l->LayerFont()->Size(), 30);
    ApplyFontAction(l, 1, -40);
    EXPECT_EQ(l->LayerFont()->Size(), 1);
    ApplyFontAction(l, 5, 1);
    EXPECT_EQ(l->LayerFont()->Style(), TFontStyles{TFontStyle::fsItalic});
  }
  const uint8_t alignment = line.LabelAlignment();
  ApplyFontAction(&line, 3, alignment == 0 ? 1 : 0);
  EXPECT_EQ(line.LabelAlignment(), alignment == 0 ? 1 : 0);
  ApplyFontAction(&line, 4, 2);
  EXPECT_EQ(line.LabelAlignment(), alignment == 0 ? 1 : 0);
  TPXShapeLayer shape(&owner);
  EXPECT_EQ(shape.LayerFont(), nullptr);
  for (uint8_t action = 0; action <= 5; ++action) ApplyFontAction(&shape, action, 1);
}

TEST(TextLayerFont, TheFontDialogReplacesTheFontOfALayerWithAnOwner) {
  TDialogScript::Start();
  FakeLayerOwner owner;
  TPXTextLayer l(&owner);
  l.SetText("Some words");
  l.SetAutoSize(true);
  l.Font()->SetColor(clRed);
  const int32_t width = l.GetWidth();
  TDialogScript::Push(TDialogAnswer::ChooseFont("DejaVu Sans", 40, {TFontStyle::fsItalic}));
  ApplyFontAction(&l, 2, 0);
  EXPECT_EQ(l.Font()->Name(), "DejaVu Sans");
  EXPECT_EQ(l.Font()->Size(), 40);
  EXPECT_EQ(l.Font()->Style(), TFontStyles{TFontStyle::fsItalic});
  EXPECT_EQ(l.Font()->Color(), clRed);
  EXPECT_GT(l.GetWidth(), width) << "the auto-sized box refits to the larger font";
  TDialogScript::Push(TDialogAnswer::Cancelled());
  ApplyFontAction(&l, 2, 0);
  EXPECT_EQ(l.Font()->Size(), 40);
  // Without an owner no dialog opens.
  TPXTextLayer alone(nullptr);
  ApplyFontAction(&alone, 2, 0);
  EXPECT_EQ(TDialogScript::Pending(), 0u);
  EXPECT_EQ(TDialogScript::Shown().size(), 2u);
  TDialogScript::Stop();
}

// ---------------------------------------------------------------------------------------------
// Property keys

TEST(TextLayerProps, TheListHasTheKindsKeysInOrderAndReadsBackToTheSameList) {
  FakeLayerOwner owner;
  TPXTextLayer* a = Configured(owner);
  a->SetText("A\r\nB");
  a->Font()->SetName("DejaVu Sans");
  a->Font()->SetColor(clBlue);
  a->SetRichText("{\\rtf1 x}");
  TStringList list;
  LayerPropertiesToStrings(a, &list);
  std::vector<std::string> keys;
  for (int32_t i = 0; i < list.Count(); ++i) keys.push_back(list.Names(i));
  const std::vector<std::string> expected = {
      "PXLP_Width", "PXLP_Height", "PXLP_PosX", "PXLP_PosY", "PXLP_Visible", "PXLP_VisibleBox", "PXLP_Selectable",
      "PXLP_Transparency", "PXLP_Opacity", "PXLP_FillOpacity", "PXLP_Cropped", "PXLP_Locked", "PXLP_Operation",
      "PXLP_Name", "PXLP_IsMask", "PXLP_MaskInverted", "PXLP_DrawOuter", "PXLP_AlphaEdgeFeathering",
      "PXLP_GroupIndex", "PXLP_Selected", "PXLP_AspectRatioLocked", "PXLP_BorderColor", "PXLP_BorderWidth",
      "PXLP_FillColor", "PXLP_FillColor2", "PXLP_FillGradient", "PXLP_AntiAlias", "PXLP_Rotate",
      "PXLP_SoftShadowEnabled", "PXLP_SoftShadowRadius", "PXLP_SoftShadowOffsetX", "PXLP_SoftShadowOffsetY",
      "PXLP_SoftShadowIntensity", "PXLP_SoftShadowColor", "PXLP_FontName", "PXLP_FontSize", "PXLP_FontColor",
      "PXLP_BorderShape", "PXLP_Text", "PXLP_RichText", "PXLP_EnableFormatting", "PXLP_AutoSize", "PXLP_ReadOnly",
      "PXLP_TextOverflow", "PXLP_TextAlignment", "PXLP_TextLayout", "PXLP_WordWrap", "PXLP_HorzMargin",
      "PXLP_VertMargin", "PXLP_IsRuler", "PXLP_RulerUnits", "PXLP_BorderRotate"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(list.Values("PXLP_Text"), "x") << "the rich text's plain text";
  a->SetText("A\r\nB");
  LayerPropertiesToStrings(a, &list);
  EXPECT_EQ(list.Values("PXLP_Text"), "A/**/B");

  TPXTextLayer b(&owner);
  LayerPropertiesFromStrings(&b, &list);
  TStringList again;
  LayerPropertiesToStrings(&b, &again);
  EXPECT_EQ(again.Text(), list.Text());
  EXPECT_EQ(b.Text(), "A\r\nB");
}

TEST(TextLayerProps, BadValuesChangeNothingAndActionsAct) {
  FakeLayerOwner owner;
  TPXTextLayer l(&owner);
  owner.ClearRecords();
  struct Row {
    const char* Key;
    const char* Value;
  };
  for (const Row& row : {Row{"PXLP_Width", "abc"}, Row{"PXLP_BorderShape", "100"}, Row{"PXLP_RulerUnits", "11"},
                         Row{"PXLP_FontSize", "big"}, Row{"PXLP_HorzMargin", "wide"}}) {
    SCOPED_TRACE(row.Key);
    TStringList before, after;
    LayerPropertiesToStrings(&l, &before);
    SetLayerPropertyByKey(&l, row.Key, row.Value);
    LayerPropertiesToStrings(&l, &after);
    EXPECT_EQ(after.Text(), before.Text());
    EXPECT_TRUE(owner.ImageChanges.empty());
  }
  SetLayerPropertyByKey(&l, "pxlp_text", "Several words of text");
  SetLayerPropertyByKey(&l, "PXLP_SizeToFit", "");
  EXPECT_NE(l.GetWidth(), 100) << "SizeToFit acts";
  SetLayerPropertyByKey(&l, "PXLP_FontColor", "clRed");
  EXPECT_EQ(l.Font()->Color(), clRed);
  SetLayerPropertyByKey(&l, "PXLP_IsRuler", "t");
  EXPECT_TRUE(l.IsRuler());
}

// ---------------------------------------------------------------------------------------------
// The kind's place among the others

TEST(TextLayerKind, RegisteredCopiedSwappedAndItsFeatures) {
  FakeLayerOwner owner;
  std::unique_ptr<TPXLayer> made = NewLayerOfKind(pxlkText, &owner);
  ASSERT_NE(dynamic_cast<TPXTextLayer*>(made.get()), nullptr);

  TPXTextLayer* a = Configured(owner);
  a->SetText("copied");
  TPXTextLayer b(&owner);
  b.Assign(a);
  a->SetName("");
  b.SetName("");
  EXPECT_EQ(Record(&b).substr(kTail), Record(a).substr(kTail)) << "every kind property, the font included";

  TPXTextLayer c(&owner);
  c.SetText("other");
  const std::string ra = Record(a).substr(kTail), rc = Record(&c).substr(kTail);
  SwapLayerContents(a, &c);
  EXPECT_EQ(Record(a).substr(kTail), rc);
  EXPECT_EQ(Record(&c).substr(kTail), ra);

  struct Row {
    uint8_t Feature;
    bool Plain, ReadOnly;
  };
  TPXTextLayer plain(nullptr), locked(nullptr);
  locked.SetReadOnly(true);
  for (const Row& row : {Row{0, true, true}, Row{1, true, true}, Row{2, true, true}, Row{3, true, true},
                         Row{4, false, false}, Row{5, true, false}, Row{6, false, false}, Row{7, true, true},
                         Row{9, true, true}}) {
    EXPECT_EQ(plain.SupportsFeature(row.Feature), row.Plain) << int(row.Feature);
    EXPECT_EQ(locked.SupportsFeature(row.Feature), row.ReadOnly) << int(row.Feature);
  }
  plain.SetIsRuler(true);
  EXPECT_FALSE(plain.SupportsFeature(5)) << "rulers are not edited in place";
  // Restoring the ratio applies when the border shape prefers another one than the box's.
  TPXTextLayer star(nullptr);
  star.SetBorderShape(63);
  star.SetWidth(300);
  EXPECT_TRUE(star.SupportsFeature(8));
  star.SetBorderShape(4);
  EXPECT_FALSE(star.SupportsFeature(8));

  // Content corners: the box never turns, so a locked 2:1 border turns with BorderRotate only.
  TPXTextLayer boxed(nullptr);
  boxed.SetBounds(TRect(0, 0, 100, 100));
  boxed.SetAspectRatioLocked(true);
  boxed.SetStoredAspectRatio(2.0);
  boxed.SetRotate(90);
  std::array<TPoint, 4> corners;
  boxed.GetContentCorners(corners);
  EXPECT_EQ(corners[0], TPoint(0, 25));
  EXPECT_EQ(corners[2], TPoint(100, 75));
  boxed.SetRotate(0);
  boxed.SetBorderRotate(90);
  boxed.GetContentCorners(corners);
  int32_t minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
  for (const TPoint& p : corners) {
    minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
    minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
  }
  EXPECT_EQ(TRect(minX, minY, maxX, maxY), TRect(25, 0, 75, 100));
  EXPECT_EQ(boxed.GetContentBoxSize(), TPoint(100, 50)) << "turned back by the border's angle";
}

// The size layout: a text needing only a few pixels gets the 10 x 10 minimum; growing only never
// makes the box smaller; the top-left corner stays.
TEST(TextLayer, SizeToFitKeepsTheMinimumAndGrowOnlyNeverShrinks) {
  TPXTextLayer l(nullptr);
  l.Font()->SetHeight(-2);
  l.SetText(".");
  l.SetPosX(40);
  l.SetPosY(30);
  l.SizeToFit(false);
  EXPECT_EQ(l.GetWidth(), 10);
  EXPECT_EQ(l.GetHeight(), 10);
  EXPECT_EQ(l.GetPosX(), 40);
  EXPECT_EQ(l.GetPosY(), 30);
  EXPECT_EQ(l.TextFontHeight(), 0) << "no font height after a size layout";
  l.SetWidth(300);
  l.SetHeight(200);
  l.SizeToFit(true);
  EXPECT_EQ(l.GetWidth(), 300);
  EXPECT_EQ(l.GetHeight(), 200);
  l.Font()->SetSize(40);
  l.SetText("A much longer line of text");
  l.SizeToFit(true);
  EXPECT_GT(l.GetWidth(), 300) << "it grows to the text";
  EXPECT_EQ(l.GetHeight(), 200);
}
