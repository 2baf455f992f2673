// The polyline layer: placing and adding points, box and points following each other, moves,
// arcs on segments, point edits and the record tail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_shape.h"
#include "layers/pxxLayers_polyline.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/Classes.h"
#include "tests/layers/FakeLayerOwner.h"
#include "tests/layers/KindRecordSupport.h"

namespace {

TEST(LayerPolyline, DefaultsAndTheFirstPoint) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(std::make_unique<TPXPolylineLayer>(&owner));
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_EQ(layer->Kind(), pxlkPolyline);
  EXPECT_EQ(layer->BorderColor(), clBlack);
  EXPECT_EQ(layer->BorderWidth(), 1);
  EXPECT_EQ(layer->FillColor(), TColor(0xFFFFFF));
  EXPECT_EQ(layer->FillColor2(), clNone);
  EXPECT_EQ(layer->FillGradient(), 1);
  EXPECT_FALSE(layer->PolylineClosed());
  EXPECT_TRUE(layer->AutoSize());
  EXPECT_EQ(layer->GetWidthD(), 100);
  EXPECT_EQ(layer->GetPointCount(), 0);
  EXPECT_FALSE(layer->PointsChanged());

  layer->SetLineWidth(4);
  layer->AddPoint(100, 50, pxpbBitmap, false);
  EXPECT_EQ(layer->GetPosXD(), 100);
  EXPECT_EQ(layer->GetPosYD(), 50);
  EXPECT_EQ(layer->GetPointD(0, pxpbBitmap).X, 100);
  EXPECT_EQ(layer->GetPointD(0, pxpbBitmap).Y, 50);
  layer->AddPoint(100, 50, pxpbBitmap, false);
  EXPECT_EQ(layer->GetPointCount(), 1);
  layer->AddPoint(300, 250, pxpbBitmap, false);
  layer->UpdateGeometry();
  EXPECT_EQ(layer->GetPosXD(), 98);
  EXPECT_EQ(layer->GetPosYD(), 48);
  EXPECT_EQ(layer->GetWidthD(), 204);
  EXPECT_EQ(layer->GetHeightD(), 204);
  EXPECT_EQ(layer->GetPointD(5, pxpbBitmap).X, -1);
  EXPECT_EQ(layer->GetPoint(1), TPoint(Round32(202 / 204.0 * 1000), Round32(202 / 204.0 * 1000)));
}

TEST(LayerPolyline, PointsFollowTheBoxWithoutAutoSize) {
  TPXPolylineLayer layer(nullptr);
  layer.SetAutoSize(false);
  layer.SetBounds(TRect(10, 20, 110, 70));
  layer.SetLineWidth(3);
  const std::vector<TDPoint> points{{0, 0}, {500, 1000}, {1000, 200}};
  layer.SetPointsD(points.data(), pxpbBitmap, 3);
  layer.UpdateGeometry();
  // Inset (3 + 1) div 2 = 2 on every side.
  EXPECT_EQ(layer.GetPointD(0, pxpbBitmap).X, 12);
  EXPECT_EQ(layer.GetPointD(0, pxpbBitmap).Y, 22);
  EXPECT_EQ(layer.GetPointD(1, pxpbBitmap).Y, 68);
  EXPECT_EQ(layer.GetPointD(2, pxpbBitmap).X, 108);
  EXPECT_FALSE(layer.PointsChanged());

  // Resizing the box rescales the points at the next geometry update.
  layer.SetWidthD(200);
  EXPECT_TRUE(layer.BoxChanged());
  EXPECT_EQ(layer.GetPointD(2, pxpbBitmap).X, 108);
  layer.UpdateGeometry();
  EXPECT_EQ(layer.GetPointD(2, pxpbBitmap).X, 208);
  // A box never gets narrower than the line.
  layer.SetWidthD(1);
  EXPECT_EQ(layer.GetWidthD(), 3);

  // Moves carry the points exactly, fractions included.
  const TDPoint before = layer.GetPointD(1, pxpbBitmap);
  layer.SetPosXD(layer.GetPosXD() + 1.5);
  layer.SetPosXD(layer.GetPosXD() + 1.5);
  layer.SetPosYD(layer.GetPosYD() - 0.25);
  EXPECT_EQ(layer.GetPointD(1, pxpbBitmap).X, before.X + 3);
  EXPECT_EQ(layer.GetPointD(1, pxpbBitmap).Y, before.Y - 0.25);
}

TEST(LayerPolyline, CurveSegmentBendsTheClosingSegment) {
  ASSERT_EQ(GlobalSettingsInstance()->FShapeStepDivisor, 4);
  TPXPolylineLayer layer(nullptr);
  const std::vector<TDPoint> square{{0, 0}, {200, 0}, {200, 200}, {0, 200}};
  layer.SetPointsD(square.data(), pxpbBitmap, 4);
  layer.SetPolylineClosed(true);
  // A bulge of 5/13 puts the centre half a chord from the chord's middle: a quarter circle.
  layer.CurveSegment(3, 0, 5.0 / 13.0);
  ASSERT_EQ(layer.GetPointCount(), 4 + 22);
  EXPECT_EQ(layer.GetPointD(3, pxpbBitmap).Y, 200);
  // The arc from (0, 200) to (0, 0) over 90 degrees: its centre lies at (100, 100) or (-100, 100)
  // and its radius is 100 sqrt 2; every arc point lies on it, within rounding.
  const double radius = 100 * std::sqrt(2.0);
  int circles = 0;
  for (double cx : {100.0, -100.0}) {
    bool onCircle = true;
    for (int32_t i = 4; i < 4 + 22; ++i) {
      const TDPoint p = layer.GetPointD(i, pxpbBitmap);
      if (std::fabs(std::hypot(p.X - cx, p.Y - 100) - radius) > 1.5) onCircle = false;
    }
    circles += onCircle;
  }
  EXPECT_EQ(circles, 1);
  // Out-of-range indexes and a bulge of the other side.
  TPXPolylineLayer other(nullptr);
  other.SetPointsD(square.data(), pxpbBitmap, 4);
  other.CurveSegment(4, 0, 1);
  other.CurveSegment(-1, 0, 1);
  EXPECT_EQ(other.GetPointCount(), 4);
  other.CurveSegment(0, 0, -5.0 / 13.0);
  EXPECT_EQ(other.GetPointCount(), 4 + 22);
}

TEST(LayerPolyline, PointEdits) {
  const std::vector<TDPoint> five{{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}};
  struct Row {
    const char* Name;
    std::function<void(TPXPolylineLayer&)> Edit;
    std::vector<double> Xs;
  } rows[] = {
      {"delete 1..2", [](TPXPolylineLayer& l) { l.DeletePoints(1, 2); }, {0, 30, 40}},
      {"delete to the end", [](TPXPolylineLayer& l) { l.DeletePoints(3, 99); }, {0, 10, 20}},
      {"delete outside", [](TPXPolylineLayer& l) { l.DeletePoint(5); }, {0, 10, 20, 30, 40}},
      {"delete backwards", [](TPXPolylineLayer& l) { l.DeletePoints(3, 2); }, {0, 10, 20, 30, 40}},
      {"insert after 0", [](TPXPolylineLayer& l) { l.InsertPoint(0, 5, 0, pxpbBitmap); }, {0, 5, 10, 20, 30, 40}},
      {"insert at the end", [](TPXPolylineLayer& l) { l.InsertPoint(4, 50, 0, pxpbBitmap); }, {0, 10, 20, 30, 40, 50}},
      {"set 2", [](TPXPolylineLayer& l) { l.SetPoint(2, 25, 0, pxpbBitmap, false); }, {0, 10, 25, 30, 40}},
      {"set outside", [](TPXPolylineLayer& l) { l.SetPoint(7, 25, 0, pxpbBitmap, false); }, {0, 10, 20, 30, 40}},
      {"integer points drop repeats",
       [](TPXPolylineLayer& l) {
         const TPoint p[] = {TPoint(1, 0), TPoint(1, 0), TPoint(2, 0), TPoint(1, 0)};
         l.SetPoints(p, 4, pxpbBitmap);
       },
       {1, 2, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TPXPolylineLayer layer(nullptr);
    layer.SetPointsD(five.data(), pxpbBitmap, 5);
    row.Edit(layer);
    ASSERT_EQ(layer.GetPointCount(), static_cast<int32_t>(row.Xs.size()));
    for (size_t i = 0; i < row.Xs.size(); ++i) EXPECT_EQ(layer.GetPointD(int32_t(i), pxpbBitmap).X, row.Xs[i]);
  }
  TPXPolylineLayer cleared(nullptr);
  cleared.SetPointsD(five.data(), pxpbBitmap, 5);
  cleared.ClearPoints();
  EXPECT_EQ(cleared.GetPointCount(), 0);
  EXPECT_FALSE(cleared.PointsChanged());
}


void Put(std::string& B, size_t Off, const void* V, size_t N) { std::memcpy(B.data() + Off, V, N); }

TEST(LayerPolyline, RecordRoundTripsConvertsOldPointsAndRefusesBadCounts) {
  TPXPolylineLayer layer(nullptr);
  const std::vector<TDPoint> points{{10.25, 20}, {110, 20.5}, {60, 90}};
  layer.SetPointsD(points.data(), pxpbBitmap, 3);
  layer.SetPolylineClosed(true);
  const std::string rec = LayerRecordBytes(layer);
  const size_t common = size_t(LayerRecordCommonSize(PXLayerRecordVersion));
  ASSERT_EQ(rec.size(), common + 4 + 16 * 3 + 2);
  // The box was brought to the points before writing.
  TPXPolylineLayer copy(nullptr);
  LoadLayerRecordBytes(copy, rec);
  EXPECT_EQ(LayerRecordBytes(copy), rec);
  EXPECT_TRUE(copy.PolylineClosed());
  EXPECT_EQ(copy.GetPointD(0, pxpbBitmap).X, 10.25);
  EXPECT_LE(copy.GetPosXD(), 10.25);
  EXPECT_FALSE(copy.Modified());

  // Version 8005: integer points in 0..1000 of the record's box.
  std::string old = rec.substr(0, common);
  const int32_t v8005 = 8005;
  Put(old, 4, &v8005, 4);
  const int32_t tail[] = {2, 0, 0, 1000, 500};
  old.append(reinterpret_cast<const char*>(tail), sizeof tail);
  old += '\0';
  old += '\1';
  const int32_t size = static_cast<int32_t>(old.size());
  Put(old, 0, &size, 4);
  TPXPolylineLayer converted(nullptr);
  LoadLayerRecordBytes(converted, old);
  ASSERT_EQ(converted.GetPointCount(), 2);
  const double x0 = converted.GetPosXD(), y0 = converted.GetPosYD();
  EXPECT_EQ(converted.GetPointD(0, pxpbBitmap).X, x0);
  EXPECT_EQ(converted.GetPointD(1, pxpbBitmap).X, x0 + converted.GetWidthD());
  EXPECT_EQ(converted.GetPointD(1, pxpbBitmap).Y, y0 + converted.GetHeightD() / 2);

  struct Row {
    const char* Name;
    size_t Offset;
    std::string Bytes;
  } rows[] = {
      {"count past the end", common, std::string("\x04\x00\x00\x00", 4)},
      {"huge count", common, std::string("\xFF\xFF\xFF\x7F", 4)},
      {"negative count", common, std::string("\xFF\xFF\xFF\xFF", 4)},
      {"not a number", common + 4, std::string("\x00\x00\x00\x00\x00\x00\xF8\x7F", 8)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    std::string bad = rec;
    Put(bad, row.Offset, row.Bytes.data(), row.Bytes.size());
    TPXPolylineLayer target(nullptr);
    try {
      LoadLayerRecordBytes(target, bad);
      ADD_FAILURE() << "no exception";
    } catch (const EPXException& e) {
      EXPECT_EQ(std::string(e.Message()), "PXN File has been corrupted");
    }
  }
}

TEST(LayerPolyline, PaintsPropertyKeysCopyAndSwap) {
  // A closed, filled triangle: inside in the fill, outside white, the outline in picture pixels.
  TPXPolylineLayer layer(nullptr);
  const std::vector<TDPoint> triangle{{10, 10}, {110, 10}, {10, 110}};
  layer.SetPointsD(triangle.data(), pxpbBitmap, 3);
  layer.SetPolylineClosed(true);
  layer.SetFillColor(clRed);
  layer.SetAntiAlias(false);
  std::unique_ptr<TPXBitmap> out;
  layer.RenderContent(out, -1, -1, false, false, true, 0, 0);
  ASSERT_EQ(out->Width(), 101);
  EXPECT_EQ(out->GetPixelRGB(30, 30), (TRGB{0, 0, 255}));
  EXPECT_EQ(out->GetPixelRGB(90, 90), (TRGB{255, 255, 255}));
  EXPECT_EQ(layer.DrawnPoints().Count, 3);

  TStringList lines;
  LayerPropertiesToStrings(&layer, &lines);
  const std::string text = lines.Text();
  const size_t points = text.find("PXLP_PolylinePoints=");
  ASSERT_NE(points, std::string::npos);
  EXPECT_NE(text.find("PXLP_PolylineClosed=", points), std::string::npos);
  EXPECT_NE(text.find("PXLP_AutoSize=", points), std::string::npos);
  std::unique_ptr<TPXLayer> fresh = NewLayerOfKind(pxlkPolyline, nullptr);
  LayerPropertiesFromStrings(fresh.get(), &lines);
  TStringList again;
  LayerPropertiesToStrings(fresh.get(), &again);
  EXPECT_EQ(again.Text(), text);
  SetLayerPropertyByKey(fresh.get(), "PXLP_PolylinePoints", "1,2,x,4");
  EXPECT_EQ(static_cast<TPXPolylineLayer*>(fresh.get())->GetPointCount(), 3);

  // A named shape's outline (a rectangle) fitted into the box less half the line.
  TPXPolylineLayer shape(nullptr);
  shape.SetBounds(TRect(0, 0, 50, 20));
  shape.SetPointsFromShape(4, true);
  EXPECT_TRUE(shape.PolylineClosed());
  std::vector<TDPoint> corners;
  shape.GetPoints(corners, pxpbBitmap);
  ASSERT_GE(corners.size(), 4u);
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const TDPoint& p : corners) {
    minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
    minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
  }
  EXPECT_EQ(minX, 1);
  EXPECT_EQ(maxX, 49);
  EXPECT_EQ(minY, 1);
  EXPECT_EQ(maxY, 19);

  TPXPolylineLayer copy(nullptr);
  copy.Assign(&layer);
  EXPECT_EQ(copy.GetPointCount(), 3);
  EXPECT_TRUE(copy.PolylineClosed());
  TPXPolylineLayer empty(nullptr);
  SwapLayerContents(&copy, &empty);
  EXPECT_EQ(copy.GetPointCount(), 0);
  EXPECT_EQ(empty.GetPointD(1, pxpbBitmap).X, 110);
}

TEST(LayerPolyline, ApplyRotationIgnoresTheZoom) {
  const std::vector<TDPoint> points{{10, 10}, {210, 30}, {120, 140}};
  auto rotated = [&](double Zoom) {
    FakeLayerOwner owner;
    owner.ZoomXValue = owner.ZoomYValue = Zoom;
    auto* layer = owner.Add(std::make_unique<TPXPolylineLayer>(&owner));
    layer->SetPointsD(points.data(), pxpbBitmap, 3);
    layer->SetRotate(30);
    layer->ApplyRotation();
    EXPECT_EQ(layer->Rotate(), 0);
    std::vector<TDPoint> out;
    layer->GetPoints(out, pxpbBitmap);
    return out;
  };
  const std::vector<TDPoint> full = rotated(100), quarter = rotated(25);
  ASSERT_EQ(full.size(), 3u);
  ASSERT_EQ(quarter.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(full[i].X, quarter[i].X);
    EXPECT_EQ(full[i].Y, quarter[i].Y);
  }
  // The outline did turn: the first segment no longer runs along its old direction.
  const double before = std::atan2(points[1].Y - points[0].Y, points[1].X - points[0].X);
  const double after = std::atan2(full[1].Y - full[0].Y, full[1].X - full[0].X);
  EXPECT_GT(std::fabs(after - before), 0.1);
}

TEST(LayerPolyline, CreatedFromLinesAndShapes) {
  // A line's drawn ends become the points, in picture coordinates, unturned and open.
  TPXLineLayer line(nullptr);
  line.SetEndPoints(false, true, 20, 30, 220, 130);
  const TPoint start = line.GetStartPoint(), end = line.GetEndPoint();
  std::unique_ptr<TPXPolylineLayer> fromLine = TPXPolylineLayer::CreateFromLayer(nullptr, &line);
  ASSERT_EQ(fromLine->GetPointCount(), 2);
  EXPECT_EQ(fromLine->Rotate(), 0);
  EXPECT_FALSE(fromLine->PolylineClosed());
  EXPECT_NEAR(fromLine->GetPointD(0, pxpbBitmap).X, end.X, 1.0);
  EXPECT_NEAR(fromLine->GetPointD(0, pxpbBitmap).Y, end.Y, 1.0);
  EXPECT_NEAR(fromLine->GetPointD(1, pxpbBitmap).X, start.X, 1.0);
  EXPECT_NEAR(fromLine->GetPointD(1, pxpbBitmap).Y, start.Y, 1.0);

  TPXShapeLayer shape(nullptr);
  std::unique_ptr<TPXPolylineLayer> fromShape = TPXPolylineLayer::CreateFromLayer(nullptr, &shape);
  EXPECT_GT(fromShape->GetPointCount(), 3);
  EXPECT_TRUE(fromShape->PolylineClosed());
}

}  // namespace
