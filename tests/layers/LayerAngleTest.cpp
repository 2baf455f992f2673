// The angle layer: the label routine, measuring and directions, point errors, the layout of
// the margins, painting of incomplete angles and the record tail.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_angle.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "tests/layers/FakeLayerOwner.h"
#include "tests/layers/KindRecordSupport.h"

namespace {

TEST(LayerAngle, LabelRoutineKeepsUserTextLiteral) {
  struct Row {
    const char* Format;
    const char* Expected;
  } rows[] = {
      {"%s\xC2\xB0", "90.0\xC2\xB0"}, {"%d", "%d"},       {"%s%s", "90.0%s"},     {"%n", "%n"},
      {"%%", "%"},                    {"%%s", "%s"},      {"100%% of %s", "100% of 90.0"},
      {"%", "%"},                     {"end %", "end %"}, {"%x %s %p", "%x 90.0 %p"}, {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Format);
    EXPECT_EQ(FormatLayerLabel(row.Format, "90.0"), row.Expected);
  }
}

TEST(LayerAngle, DefaultsMeasureARightAngle) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(std::make_unique<TPXAngleLayer>(&owner));
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_EQ(layer->Kind(), pxlkAngle);
  EXPECT_EQ(layer->BorderColor(), clBlack);
  EXPECT_EQ(layer->BorderWidth(), 1);
  EXPECT_EQ(layer->LabelText(), "%s\xC2\xB0");
  EXPECT_EQ(layer->FloatDigits(), 1);
  EXPECT_EQ(layer->Font()->Name(), "Arial");
  EXPECT_EQ(layer->Font()->Size(), 12);
  EXPECT_TRUE(layer->AspectRatioLocked());
  EXPECT_EQ(layer->GetPointCount(), 3);
  EXPECT_DOUBLE_EQ(layer->GetStartAngle(), 90);
  EXPECT_DOUBLE_EQ(layer->GetEndAngle(), 0);

  // AngleMode and InvertAngle: the measured side and the other one.
  struct Row {
    uint8_t Mode;
    bool Invert;
    double Angle;
  } rows[] = {{0, false, 90}, {1, false, 270}, {2, false, 90}, {3, false, 270},
              {0, true, 270}, {1, true, 90},   {2, true, 90},  {3, true, 270}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "mode " << int(row.Mode) << " invert " << row.Invert);
    TPXAngleLayer a(nullptr);
    a.SetAngleMode(row.Mode);
    if (row.Invert) a.InvertAngle();
    EXPECT_NEAR(a.GetAngle(), row.Angle, 1e-9);
  }
}

TEST(LayerAngle, DirectionSettersAndRotation) {
  // The set angle reads back in every mode that can show it; the first arm stays where it was.
  struct SetRow {
    uint8_t Mode;
    double Value, EndAngle;
  };
  for (const SetRow& row : {SetRow{0, 45, 45}, SetRow{0, 300, 150}, SetRow{1, 45, 135}, SetRow{1, 300, 30},
                            SetRow{2, 120, 330}, SetRow{3, 200, 250}}) {
    SCOPED_TRACE(testing::Message() << "mode " << int(row.Mode) << " value " << row.Value);
    TPXAngleLayer layer(nullptr);
    layer.SetAngleMode(row.Mode);
    layer.SetAngle(row.Value);
    EXPECT_NEAR(layer.GetAngle(), row.Value, 1.0);
    EXPECT_NEAR(layer.GetEndAngle(), row.EndAngle, 1.0);
    EXPECT_NEAR(layer.GetStartAngle(), 90, 1e-9);
  }

  TPXAngleLayer turned(nullptr);
  turned.SetRotate(30);
  EXPECT_NEAR(turned.GetStartAngle(), 120, 1.0);
  EXPECT_NEAR(turned.GetEndAngle(), 30, 1.0);
  EXPECT_NEAR(turned.GetAngle(), 90, 1.5);
  EXPECT_EQ(turned.AppliedRotate(), 30);
  turned.SetRotate(0);
  EXPECT_NEAR(turned.GetStartAngle(), 90, 1.5);
  EXPECT_NEAR(turned.GetEndAngle(), 0, 1.5);

  // Setting the first arm keeps the second arm's length and the vertex.
  TPXAngleLayer start(nullptr);
  const TDPoint vertex = start.GetPointD(1, pxpbBitmap);
  start.SetStartAngle(180);
  EXPECT_NEAR(start.GetStartAngle(), 180, 1e-9);
  const TDPoint p0 = start.GetPointD(0, pxpbBitmap);
  EXPECT_NEAR(std::hypot(p0.X - vertex.X, p0.Y - vertex.Y), 100, 1.0);
}

TEST(LayerAngle, PointIndexesAndSizesAreChecked) {
  TPXAngleLayer layer(nullptr);
  const std::array<TPoint, 2> two{TPoint(0, 0), TPoint(10, 10)};
  struct Row {
    const char* Message;
    std::function<void()> Call;
  } rows[] = {
      {"Invalid Points array index", [&] { layer.SetPoint(3, 0, 0, pxpbLayer, false); }},
      {"Invalid Points array index", [&] { layer.SetPoint(-1, 0, 0, pxpbLayer, false); }},
      {"Invalid object index", [&] { layer.GetPointD(-1, pxpbLayer); }},
      {"Invalid object index", [&] { layer.GetPointD(3, pxpbBitmap); }},
      {"Invalid Points array size", [&] { layer.SetPoints(two.data(), 2, pxpbLayer); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Message);
    try {
      row.Call();
      ADD_FAILURE() << "no exception";
    } catch (const EPXException& e) {
      EXPECT_EQ(std::string(e.Message()), row.Message);
    }
  }
  EXPECT_EQ(layer.GetLayerPoint(2).X, 1000);
}

TEST(LayerAngle, LayoutGrowsMarginsNotTheMeasuringBox) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(std::make_unique<TPXAngleLayer>(&owner));
  layer->UpdateGeometry();
  const TPXAngleBox box = layer->InnerBox();
  const TPXAngleMargins small = layer->Margins();
  EXPECT_EQ(box.Width, 100);
  EXPECT_EQ(box.Height, 100);
  EXPECT_EQ(layer->GetWidthD(), small.Left + 100 + small.Right);
  EXPECT_EQ(layer->GetPosXD(), -small.Left);
  EXPECT_EQ(layer->LabelPos(), TPoint(0, 100));  // the vertex in the measuring box

  layer->Font()->SetSize(72);
  EXPECT_TRUE(layer->NeedsLayout());
  layer->UpdateGeometry();
  const TPXAngleMargins large = layer->Margins();
  EXPECT_EQ(layer->InnerBox().Width, 100);
  EXPECT_EQ(layer->InnerBox().Height, 100);
  EXPECT_GT(large.Right, small.Right);
  EXPECT_GT(large.Bottom, small.Bottom);
  EXPECT_GT(layer->GetWidthD(), 100 + small.Left + small.Right);
  EXPECT_EQ(layer->GetPosXD(), -large.Left);

  // Moving the layer moves the measuring box with it.
  layer->SetPosXD(layer->GetPosXD() + 40);
  EXPECT_EQ(layer->InnerBox().X, 40);
}

// Dark pixels in a rectangle of a rendering.
int DarkPixels(TPXBitmap* B, int X0, int Y0, int X1, int Y1) {
  int n = 0;
  for (int y = std::max(Y0, 0); y < std::min(Y1, B->Height()); ++y)
    for (int x = std::max(X0, 0); x < std::min(X1, B->Width()); ++x) {
      const TRGB p = B->GetPixelRGB(x, y);
      if (p.r + p.g + p.b < 384) ++n;
    }
  return n;
}

TEST(LayerAngle, IncompleteAnglesDrawWhatExists) {
  TPXAngleLayer layer(nullptr);
  layer.SetAntiAlias(false);
  layer.UpdateGeometry();
  const TPXAngleMargins m = layer.Margins();
  std::unique_ptr<TPXBitmap> full;
  layer.RenderContent(full, -1, -1, false, false, true, 0, 0);
  // The text sits right of and below the vertex (the bottom-left corner of the box).
  const int vx = m.Left, vy = m.Top + 100;
  EXPECT_GT(DarkPixels(full.get(), vx + 3, vy + 3, full->Width(), full->Height()), 20);
  EXPECT_EQ(layer.DrawnPoints().Count, 3);

  // Two points: one arm, no arc, no text, angle 0.
  layer.ClearPoints();
  layer.SetPoint(0, 0, 0, pxpbLayer, false);
  layer.SetPoint(1, 0, 1000, pxpbLayer, false);
  EXPECT_EQ(layer.GetPointCount(), 2);
  EXPECT_EQ(layer.GetAngle(), 0);
  EXPECT_EQ(layer.GetEndAngle(), 0);
  std::unique_ptr<TPXBitmap> two;
  layer.RenderContent(two, -1, -1, false, false, true, 0, 0);
  EXPECT_EQ(layer.DrawnPoints().Count, 2);
  const TPXAngleMargins m2 = layer.Margins();
  EXPECT_EQ(DarkPixels(two.get(), m2.Left + 3, 0, two->Width(), two->Height()), 0);
  EXPECT_GT(DarkPixels(two.get(), m2.Left - 1, m2.Top, m2.Left + 2, m2.Top + 100), 90);
}


TEST(LayerAngle, RecordRoundTripsAndRefusesBadData) {
  TPXAngleLayer layer(nullptr);
  layer.SetLabelText("A = %s deg");
  layer.SetAngleMode(2);
  layer.SetFloatDigits(3);
  layer.SetAngle(60);
  layer.Font()->SetName("Liberation Serif");
  layer.UpdateGeometry();
  const std::string rec = LayerRecordBytes(layer);
  TPXAngleLayer copy(nullptr);
  LoadLayerRecordBytes(copy, rec);
  EXPECT_EQ(LayerRecordBytes(copy), rec);
  EXPECT_EQ(copy.LabelText(), "A = %s deg");
  EXPECT_EQ(copy.AngleMode(), 2);
  EXPECT_EQ(copy.FloatDigits(), 3);
  EXPECT_EQ(copy.GetLayerPoint(2), layer.GetLayerPoint(2));
  EXPECT_EQ(copy.Font()->Name(), "Liberation Serif");
  EXPECT_TRUE(copy.NeedsLayout());
  EXPECT_FALSE(copy.Modified());

  // The tail: font, label, 4 + 1 + 24 + 32 + 8 + 16 bytes.
  const size_t common = size_t(LayerRecordCommonSize(PXLayerRecordVersion));
  const size_t fontSize = 4 + 2 * std::string("Liberation Serif").size() + 1 + 4 + 4 + 1;
  const size_t labelSize = 4 + 2 * std::string("A = %s deg").size();
  EXPECT_EQ(rec.size(), common + fontSize + labelSize + 85);

  struct Row {
    const char* Name;
    size_t Offset;
    int32_t Value;
    const char* Message;
  } rows[] = {
      {"version 8004", 4, 8004, "Unexpected version"},
      {"font name past the end", common, 1 << 20, "PXN File has been corrupted"},
      {"negative font name", common, -1, "PXN File has been corrupted"},
      {"label past the end", common + fontSize, 1 << 28, "PXN File has been corrupted"},
      {"point far outside", common + fontSize + labelSize + 5, 2000000000, "PXN File has been corrupted"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    std::string bad = rec;
    std::memcpy(bad.data() + row.Offset, &row.Value, 4);
    TPXAngleLayer target(nullptr);
    try {
      LoadLayerRecordBytes(target, bad);
      ADD_FAILURE() << "no exception";
    } catch (const EPXException& e) {
      EXPECT_EQ(std::string(e.Message()), row.Message);
    }
    EXPECT_FALSE(target.Updating());
  }
}

TEST(LayerAngle, PropertyKeysCopyAndSwap) {
  TPXAngleLayer layer(nullptr);
  layer.SetAngleMode(3);
  layer.SetLabelText("%s deg");
  layer.Font()->SetColor(clRed);
  layer.SetPosX(40);
  layer.UpdateGeometry();
  ASSERT_GT(layer.GetWidth(), 100) << "the layout gave the text margins";
  TStringList lines;
  LayerPropertiesToStrings(&layer, &lines);
  const std::string text = lines.Text();
  // Position and size are the measuring box's, without the margins.
  EXPECT_EQ(lines.Values("PXLP_Width"), "100");
  EXPECT_EQ(lines.Values("PXLP_Height"), "100");
  EXPECT_EQ(lines.Values("PXLP_PosX"), std::to_string(int32_t(layer.InnerBox().X)));
  const size_t points = text.find("PXLP_AnglePoints=0,0,0,1000,1000,1000");
  ASSERT_NE(points, std::string::npos);
  const char* order[] = {"PXLP_FontName=Arial", "PXLP_FontSize=12", "PXLP_FontColor=", "PXLP_LabelText=%s deg",
                         "PXLP_AngleMode=3"};
  size_t at = points;
  for (const char* key : order) {
    SCOPED_TRACE(key);
    const size_t next = text.find(key, at);
    ASSERT_NE(next, std::string::npos);
    at = next;
  }
  // A fresh layer that reads the list back writes the same list.
  std::unique_ptr<TPXLayer> fresh = NewLayerOfKind(pxlkAngle, nullptr);
  LayerPropertiesFromStrings(fresh.get(), &lines);
  TStringList again;
  LayerPropertiesToStrings(fresh.get(), &again);
  EXPECT_EQ(again.Text(), text);
  EXPECT_EQ(static_cast<TPXAngleLayer*>(fresh.get())->InnerBox().X, layer.InnerBox().X);

  // Set-only keys act; a value that does not convert changes nothing.
  SetLayerPropertyByKey(fresh.get(), "PXLP_StartAngle", "180");
  auto* angle = static_cast<TPXAngleLayer*>(fresh.get());
  EXPECT_NEAR(angle->GetStartAngle(), 180, 1e-9);
  SetLayerPropertyByKey(fresh.get(), "PXLP_InvertAngle", "");
  EXPECT_NEAR(angle->GetEndAngle(), 180, 1e-9);
  SetLayerPropertyByKey(fresh.get(), "PXLP_AngleMode", "abc");
  EXPECT_EQ(angle->AngleMode(), 3);
  SetLayerPropertyByKey(fresh.get(), "PXLP_Width", "300");
  EXPECT_EQ(angle->InnerBox().Width, 300);

  // Assign copies the kind's content; a swap exchanges it.
  TPXAngleLayer copy(nullptr);
  copy.Assign(&layer);
  EXPECT_EQ(copy.LabelText(), "%s deg");
  EXPECT_EQ(copy.AngleMode(), 3);
  EXPECT_EQ(copy.Font()->Color(), clRed);
  TPXAngleLayer other(nullptr);
  SwapLayerContents(&copy, &other);
  EXPECT_EQ(other.LabelText(), "%s deg");
  EXPECT_EQ(copy.LabelText(), "%s\xC2\xB0");
  EXPECT_EQ(copy.Font()->Color(), clBlack);
}

}  // namespace
