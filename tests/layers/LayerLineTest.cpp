// The line layer and its layout: line ends in the box, end figures that do not fit, label
// positions, the ruler's layout text, end points from two picture points, the setters'
// re-layout, output copies and the record tail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "tests/layers/FakeLayerOwner.h"
#include "tests/layers/KindRecordSupport.h"

namespace {

class LineLayer : public TPXLineLayer {
 public:
  using TPXLineLayer::TPXLineLayer;
  void MarkCacheValid() { FCacheValid = 1; }
};

// What a layout answers.
struct Layout {
  TDPoint Start{0, 0}, End{0, 0};
  TRect LabelRect{0, 0, 0, 0};
  TPXLineEndShapeRecord StartShape, EndShape;
  TPoint OutSize{-1, -1};
};

struct LineArgs {
  int32_t Width = 200, Height = 50, Angle = 0;
  uint8_t StartShape = 0, EndShape = 0;
  int32_t ShapeSize = 20;
  uint8_t Position = 2;
  std::string Label;
  bool IsRuler = false;
  uint8_t Mode = 3;
  double RequestedLength = 0;
  TColor LabelFill = clNone;
};

Layout LayOut(const LineArgs& A, TPXBitmap* Target = nullptr) {
  TPXBitmap scratch;
  scratch.Allocate(std::max(A.Width, 1), std::max(A.Height, 1), px24RGB);
  TPXBitmap* bitmap = Target ? Target : &scratch;
  TFont font;
  font.SetName("Arial");
  font.SetSize(12);
  Layout out;
  TRect labelRect;
  TPoint origin;
  TPXPointList drawn, outline;
  PaintLineLayer(bitmap->GetPXCanvas(), 0, 0, A.Width, A.Height, 1, 1, A.Angle, clBlack, 1, A.StartShape, A.EndShape,
                 A.ShapeSize, 0xFFFFFF, A.Position, A.Label, 2, &font, 0, 4, clBlack, 1, 1.0, A.LabelFill, clNone, 8,
                 1.0, 0, 0, false, false, A.IsRuler, pxuPixels, 96, 96, out.Start, out.End, out.LabelRect, origin,
                 out.StartShape, out.EndShape, drawn, outline, A.Mode, A.RequestedLength, out.OutSize);
  return out;
}

TEST(LineLayout, LineEndsInTheBox) {
  struct Row {
    int32_t Width, Height, Angle;
    TDPoint Start, End;
  } rows[] = {
      {200, 50, 0, {200, 25}, {0, 25}},   {200, 50, 180, {0, 25}, {200, 25}},  {50, 200, 90, {25, 0}, {25, 200}},
      {50, 200, 270, {25, 200}, {25, 0}}, {100, 100, 45, {100, 0}, {0, 100}}, {200, 50, 360, {200, 25}, {0, 25}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.Width << "x" << row.Height << " at " << row.Angle);
    LineArgs a;
    a.Width = row.Width;
    a.Height = row.Height;
    a.Angle = row.Angle;
    const Layout l = LayOut(a);
    EXPECT_EQ(l.Start.X, row.Start.X);
    EXPECT_EQ(l.Start.Y, row.Start.Y);
    EXPECT_EQ(l.End.X, row.End.X);
    EXPECT_EQ(l.End.Y, row.End.Y);
    EXPECT_EQ(l.OutSize, TPoint(-1, -1));
  }
}

TEST(LineLayout, FiguresThatDoNotFitDropOrGrowTheBox) {
  LineArgs a;
  a.StartShape = a.EndShape = 1;
  // Room for both arrows: the line is inset at both ends.
  const Layout roomy = LayOut(a);
  EXPECT_LT(roomy.Start.X, 200);
  EXPECT_GT(roomy.End.X, 0);
  // A box narrower than the two arrows: they disappear and the line spans the box.
  a.Width = 10;
  const Layout narrow = LayOut(a);
  EXPECT_EQ(narrow.Start.X, 10);
  EXPECT_EQ(narrow.End.X, 0);
  // Painting drops them too (nothing is recorded as drawn).
  a.Mode = 0;
  const Layout painted = LayOut(a);
  EXPECT_EQ(painted.StartShape.Count, 0);
  EXPECT_EQ(painted.EndShape.Count, 0);
  // Sizing keeps them and asks for a wider box.
  a.Mode = 2;
  const Layout sized = LayOut(a);
  EXPECT_GT(sized.OutSize.X, 10);
  EXPECT_GE(sized.OutSize.Y, 20);
}

TEST(LineLayout, LabelPositions) {
  // 5 on a line pointing up-left reads like 4, 6 like 3.
  auto at = [](uint8_t Position) {
    LineArgs a;
    a.Width = a.Height = 200;
    a.Angle = 120;
    a.Label = "Label";
    a.Position = Position;
    return LayOut(a);
  };
  const Layout p3 = at(3), p4 = at(4), p5 = at(5), p6 = at(6);
  EXPECT_EQ(p5.Start.X, p4.Start.X);
  EXPECT_EQ(p5.Start.Y, p4.Start.Y);
  EXPECT_EQ(p6.Start.X, p3.Start.X);
  EXPECT_EQ(p6.Start.Y, p3.Start.Y);
  EXPECT_TRUE(p3.Start.X != p4.Start.X || p3.Start.Y != p4.Start.Y || p3.End.X != p4.End.X || p3.End.Y != p4.End.Y);

  // A ruler sized for a length with an inline label measures "|" for the label.
  LineArgs ruler;
  ruler.IsRuler = true;
  ruler.Position = 3;
  ruler.Mode = 2;
  ruler.RequestedLength = 150;
  LineArgs bar = ruler;
  bar.IsRuler = false;
  bar.Label = "|";
  EXPECT_EQ(LayOut(ruler).OutSize, LayOut(bar).OutSize);

  // A label at the start takes the start figure's place.
  LineArgs ends;
  ends.Mode = 0;
  ends.StartShape = ends.EndShape = 1;
  ends.Label = "A";
  ends.Position = 1;
  Layout l = LayOut(ends);
  EXPECT_EQ(l.StartShape.Count, 0);
  EXPECT_GT(l.EndShape.Count, 0);
  ends.Position = 2;
  l = LayOut(ends);
  EXPECT_GT(l.StartShape.Count, 0);
  EXPECT_EQ(l.EndShape.Count, 0);

  // An empty label that is not a ruler never draws a box, wherever it is placed.
  for (uint8_t position = 0; position <= 6; ++position) {
    SCOPED_TRACE(int(position));
    LineArgs empty;
    empty.Mode = 0;
    empty.Position = position;
    empty.LabelFill = clRed;
    TPXBitmap target;
    target.Allocate(200, 50, px24RGB);
    target.Fill(clWhite);
    l = LayOut(empty, &target);
    EXPECT_EQ(l.LabelRect, TRect(0, 0, 0, 0));
    int red = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 200; ++x) {
        const TRGB p = target.GetPixelRGB(x, y);
        red += p.r > 200 && p.g < 80;
      }
    EXPECT_EQ(red, 0);
  }
}

TEST(LineLayer, DefaultsAndEndPoints) {
  FakeLayerOwner owner;
  auto* line = owner.Add(std::make_unique<TPXLineLayer>(&owner));
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_EQ(line->Kind(), pxlkLine);
  EXPECT_EQ(line->LineColor(), clBlack);
  EXPECT_EQ(line->BorderColor(), clBlack);
  EXPECT_EQ(line->FillColor(), TColor(0xFFFFFF));
  EXPECT_EQ(line->LabelPosition(), 2);
  EXPECT_EQ(line->BorderShape(), 4);
  EXPECT_EQ(line->LineShapeSize(), 20);
  EXPECT_TRUE(line->AutoSize());
  EXPECT_FALSE(line->IsRuler());
  EXPECT_EQ(line->RulerUnits(), pxuPixels);
  EXPECT_EQ(line->Font()->Size(), 12);

  // The generic border setters reach the line.
  line->SetBorderColor(clRed);
  line->SetBorderWidth(3);
  EXPECT_EQ(line->LineColor(), clRed);
  EXPECT_EQ(line->LineWidth(), 3);
  EXPECT_EQ(line->BorderWidth(), 3);

  TPXLineLayer l(nullptr);
  l.SetEndPoints(false, true, 10, 10, 110, 10);
  EXPECT_EQ(l.Rotate(), 180);
  EXPECT_EQ(l.GetLineLength(), 100);
  EXPECT_EQ(l.GetStartPoint(), TPoint(10, 10));
  l.SetEndPoints(false, false, 10, 10, 110, 10);
  EXPECT_EQ(l.GetEndPoint(), TPoint(110, 10));

  owner.SnapStep = 45;
  auto* snapped = owner.Add(std::make_unique<TPXLineLayer>(&owner));
  const double r = 50 * 3.14159265358979 / 180;
  snapped->SetEndPoints(true, true, 100 * std::cos(r), -100 * std::sin(r), 0, 0);
  EXPECT_EQ(snapped->Rotate(), 45);
}

// Each setter: whether an equal value ends it, whether it drops the render cache, whether it
// lays out an auto-sized line again.
TEST(LineLayer, SettersNotifyDropTheCacheAndRelayoutAsTheirRowsSay) {
  using Set = std::function<void(LineLayer&)>;
  struct Row {
    const char* Name;
    Set Same;    // sets the value the layer already has
    Set Change;  // sets another value
    bool SkipsEqual, DropsCache, Relays;
  } rows[] = {
      {"LineColor", [](LineLayer& l) { l.SetLineColor(clBlack); }, [](LineLayer& l) { l.SetLineColor(clRed); }, false,
       true, false},
      {"LineWidth", [](LineLayer& l) { l.SetLineWidth(1); }, [](LineLayer& l) { l.SetLineWidth(2); }, false, true,
       false},
      {"LineFillColor", [](LineLayer& l) { l.SetLineFillColor(0xFFFFFF); },
       [](LineLayer& l) { l.SetLineFillColor(clRed); }, false, true, false},
      {"BorderShape", [](LineLayer& l) { l.SetBorderShape(4); }, [](LineLayer& l) { l.SetBorderShape(0); }, false,
       true, false},
      {"LabelAlignment", [](LineLayer& l) { l.SetLabelAlignment(l.LabelAlignment()); },
       [](LineLayer& l) { l.SetLabelAlignment(l.LabelAlignment() == 0 ? 1 : 0); }, false, true, false},
      {"TextOverflow", [](LineLayer& l) { l.SetTextOverflow(l.TextOverflow()); },
       [](LineLayer& l) { l.SetTextOverflow(2); }, false, true, false},
      {"LabelText", [](LineLayer& l) { l.SetLabelText(""); }, [](LineLayer& l) { l.SetLabelText("Some label"); },
       true, true, true},
      {"LabelPosition", [](LineLayer& l) { l.SetLabelPosition(2); }, [](LineLayer& l) { l.SetLabelPosition(3); },
       true, true, false},
      {"IsRuler", [](LineLayer& l) { l.SetIsRuler(false); }, [](LineLayer& l) { l.SetIsRuler(true); }, true, true,
       true},
      {"LineStartShape", [](LineLayer& l) { l.SetLineStartShape(0); }, [](LineLayer& l) { l.SetLineStartShape(2); },
       true, true, true},
      {"LineEndShape", [](LineLayer& l) { l.SetLineEndShape(0); }, [](LineLayer& l) { l.SetLineEndShape(1); }, true,
       true, true},
      {"LineShapeSize", [](LineLayer& l) { l.SetLineShapeSize(20); }, [](LineLayer& l) { l.SetLineShapeSize(30); },
       true, true, false},
      {"ReadOnly", [](LineLayer& l) { l.SetReadOnly(false); }, [](LineLayer& l) { l.SetReadOnly(true); }, false,
       false, false},
      {"RulerUnits", [](LineLayer& l) { l.SetRulerUnits(pxuPixels); }, [](LineLayer& l) { l.SetRulerUnits(pxuInches); },
       true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    FakeLayerOwner owner;
    auto* line = owner.Add(std::make_unique<LineLayer>(&owner));
    line->SetEndPoints(false, true, 0, 0, 100, 0);
    const double w = line->GetWidthD(), h = line->GetHeightD();
    line->MarkCacheValid();
    owner.ClearRecords();
    row.Same(*line);
    EXPECT_EQ(owner.ImageChanges.empty(), row.SkipsEqual);
    row.Change(*line);
    EXPECT_FALSE(owner.ImageChanges.empty());
    EXPECT_EQ(line->CacheValid(), !row.DropsCache);
    // Only a change of what the line needs can show as a new size (a label text, figures).
    if (!row.Relays) {
      EXPECT_EQ(line->GetWidthD(), w);
      EXPECT_EQ(line->GetHeightD(), h);
    } else {
      EXPECT_TRUE(line->GetWidthD() != w || line->GetHeightD() != h);
    }
  }
  // Switching AutoSize on lays out again.
  FakeLayerOwner owner;
  auto* line = owner.Add(std::make_unique<LineLayer>(&owner));
  line->SetAutoSize(false);
  line->SetEndPoints(false, true, 0, 0, 100, 0);
  line->SetLabelText("A label that needs room");
  const double h = line->GetHeightD();
  line->MarkCacheValid();
  line->SetAutoSize(true);
  EXPECT_NE(line->GetHeightD(), h);
  // A shape outside the named ones never becomes the label's border.
  TPXLineLayer refused(nullptr);
  refused.SetBorderShape(100);
  EXPECT_EQ(refused.BorderShape(), 4);
}

// A ruler measures at the picture's DPI times the owner's measure scales.
TEST(LineLayer, RulersMeasureWithTheOwnersMeasureScale) {
  for (double scale : {1.0, 2.0}) {
    FakeLayerOwner owner;
    owner.MeasureScaleXValue = owner.MeasureScaleYValue = scale;
    auto* line = owner.Add(std::make_unique<TPXLineLayer>(&owner));
    line->SetIsRuler(true);
    line->SetRulerUnits(pxuInches);
    line->SetEndPoints(false, true, 0, 0, 600, 0);
    std::unique_ptr<TPXBitmap> out;
    line->RenderContent(out, 0, 0, false, false, false, 0, 0);
    const double dpi = GlobalSettingsInstance()->FDefaultDPIX * scale;
    EXPECT_NEAR(line->MeasuredLength(), line->GetLineLength() / dpi, 1e-9) << scale;
  }
}

TEST(LineLayer, OutputCopiesKeepTheGeometry) {
  TPXLineLayer line(nullptr);
  line.SetEndPoints(false, true, 0, 0, 100, 50);
  line.RefreshDrawnPoints();
  const TDPoint start = line.StartPoint(), end = line.EndPoint();
  const double requested = line.RequestedLength();
  std::unique_ptr<TPXBitmap> copy;
  line.CopyToBitmap(copy, line.GetWidth() * 3, line.GetHeight() * 3, false, true);
  EXPECT_EQ(copy->Width(), line.GetWidth() * 3);
  EXPECT_EQ(line.StartPoint().X, start.X);
  EXPECT_EQ(line.StartPoint().Y, start.Y);
  EXPECT_EQ(line.EndPoint().X, end.X);
  EXPECT_EQ(line.RequestedLength(), requested);
}

TEST(LineLayer, RecordTailByVersion) {
  TPXLineLayer line(nullptr);
  line.SetLabelText("Len");
  line.SetIsRuler(true);
  line.SetHorzMargin(0.25);
  const std::string rec = LayerRecordBytes(line);
  const size_t common = size_t(LayerRecordCommonSize(PXLayerRecordVersion));
  const size_t font = 4 + 2 * 5 + 10, label = 4 + 2 * 3;
  const size_t tail = common + 12 + font + label;
  ASSERT_EQ(rec.size(), tail + 38);
  TPXLineLayer copy(nullptr);
  LoadLayerRecordBytes(copy, rec);
  EXPECT_EQ(LayerRecordBytes(copy), rec);
  EXPECT_EQ(copy.LabelText(), "Len");
  EXPECT_TRUE(copy.IsRuler());

  // Older versions: the record as such a version wrote it (same common part, shorter tail).
  // The common part of older versions lacks the tag (before 7001) and the fill opacity and mask
  // inversion (before 8003); offsets for an empty name and no user data.
  auto older = [&](int32_t Version, size_t TailSize, const std::string& Replace) {
    std::string r = rec.substr(0, tail + 10) + Replace + rec.substr(tail + 10 + 8, TailSize);
    if (Version < 7001) r.erase(140, 4);
    if (Version < 8003) {
      r.erase(95, 1);
      r.erase(51, 8);
    }
    std::memcpy(r.data() + 4, &Version, 4);
    const int32_t size = static_cast<int32_t>(r.size());
    std::memcpy(r.data(), &size, 4);
    return r;
  };
  TPXLineLayer v7001(nullptr);
  v7001.SetAutoSize(false);
  LoadLayerRecordBytes(v7001, older(7001, 1, std::string(16, 'x')));
  EXPECT_EQ(v7001.RequestedLength(), -1.0);
  EXPECT_TRUE(v7001.AutoSize());
  TPXLineLayer v7000(nullptr);
  v7000.SetAutoSize(false);
  LoadLayerRecordBytes(v7000, older(7000, 0, std::string(16, 'x')));
  EXPECT_FALSE(v7000.AutoSize());
  TPXLineLayer v7003(nullptr);
  LoadLayerRecordBytes(v7003, older(7003, 1, rec.substr(tail + 10, 8)));
  EXPECT_FALSE(v7003.IsRuler());

  struct Row {
    const char* Name;
    size_t Offset;
    int32_t Value;
    size_t Size;
  } rows[] = {
      {"font name past the end", common + 12, 1 << 20, 4},
      {"label past the end", common + 12 + font, 1 << 26, 4},
      {"border shape 100", tail + 2, 100, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    std::string bad = rec;
    std::memcpy(bad.data() + row.Offset, &row.Value, row.Size);
    TPXLineLayer target(nullptr);
    try {
      LoadLayerRecordBytes(target, bad);
      ADD_FAILURE() << "no exception";
    } catch (const EPXException& e) {
      EXPECT_EQ(std::string(e.Message()), "PXN File has been corrupted");
    }
  }
}

TEST(LineLayer, PropertyKeysAndTheLabelText) {
  TPXLineLayer line(nullptr);
  line.SetLabelText("A%dB%s%n%%");
  line.SetLineEndShape(1);
  TStringList lines;
  LayerPropertiesToStrings(&line, &lines);
  const std::string text = lines.Text();
  size_t at = text.find("PXLP_LineColor=");
  ASSERT_NE(at, std::string::npos);
  for (const char* key : {"PXLP_LineWidth=", "PXLP_LineFillColor=", "PXLP_FontName=", "PXLP_FontSize=",
                          "PXLP_FontColor=", "PXLP_LabelText=A%dB%s%n%%", "PXLP_LabelAlignment=",
                          "PXLP_LabelPosition=", "PXLP_BorderShape=", "PXLP_ReadOnly=", "PXLP_TextOverflow=",
                          "PXLP_HorzMargin=", "PXLP_VertMargin=", "PXLP_LineEndShape=1", "PXLP_LineShapeSize=",
                          "PXLP_LineStartShape=", "PXLP_LineLength=", "PXLP_IsRuler=", "PXLP_RulerUnits="}) {
    SCOPED_TRACE(key);
    const size_t next = text.find(key, at);
    ASSERT_NE(next, std::string::npos);
    at = next;
  }
  std::unique_ptr<TPXLayer> fresh = NewLayerOfKind(pxlkLine, nullptr);
  LayerPropertiesFromStrings(fresh.get(), &lines);
  TStringList again;
  LayerPropertiesToStrings(fresh.get(), &again);
  // The kind's keys read back to the same list (the re-layout of an auto-sized line moves its
  // box while the keys are applied, so the position is left out here).
  const std::string kindKeys = text.substr(text.find("PXLP_LineColor="));
  EXPECT_EQ(again.Text().substr(again.Text().find("PXLP_LineColor=")), kindKeys);
  auto* l = static_cast<TPXLineLayer*>(fresh.get());
  SetLayerPropertyByKey(l, "PXLP_BorderShape", "150");
  EXPECT_EQ(l->BorderShape(), 4);
  SetLayerPropertyByKey(l, "PXLP_LineWidth", "abc");
  EXPECT_EQ(l->LineWidth(), 1);

  // Painting a label with format sequences shows them literally and never faults.
  std::unique_ptr<TPXBitmap> out;
  line.RenderContent(out, -1, -1, false, false, true, 0, 0);
  EXPECT_NE(line.LabelRect(), TRect(0, 0, 0, 0));
}

}  // namespace
