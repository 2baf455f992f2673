// The shape layer: defaults, the plain-figure and outline paths, the antialiased copy, its record
// tail and property keys, and its pixels against cairo filling the same drawn outline.
#include <gtest/gtest.h>

#include <cstring>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "layers/pxxLayers_shape.h"
#include "platform/rtl/Classes_lists.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"

TEST(ShapeLayer, DefaultsAndRenderPaths) {
  FakeLayerOwner owner;
  auto created = NewLayerOfKind(pxlkShape, &owner);
  auto* layer = dynamic_cast<TPXShapeLayer*>(created.get());
  ASSERT_NE(layer, nullptr);
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_EQ(layer->GetWidth(), 100);
  EXPECT_EQ(layer->GetHeight(), 100);
  EXPECT_EQ(layer->BorderColor(), clBlack);
  EXPECT_EQ(layer->FillColor(), 0x0000FF);
  EXPECT_EQ(layer->FillColor2(), clNone);
  EXPECT_EQ(layer->FillGradient(), 1);
  EXPECT_EQ(layer->ShapeModifier(), 0);

  // A rectangle at 0 or 180 with the ratio unlocked is a plain figure; turned by 90 or locked it
  // goes through the outline.
  layer->SetShape(pxshRectangle);
  std::unique_ptr<TPXBitmap> out;
  struct Row {
    double Rotate;
    bool Locked;
    bool Outline;
  };
  for (const Row& r : {Row{0, false, false}, Row{180, false, false}, Row{90, false, true}, Row{0, true, true}}) {
    layer->SetRotate(r.Rotate);
    layer->SetAspectRatioLocked(r.Locked);
    layer->InvalidateCache();
    layer->RenderContent(out, 0, 0, false, false, false, 0, 0);
    EXPECT_EQ(layer->ShapePoints().Count > 0, r.Outline) << r.Rotate << " " << r.Locked;
    layer->SetAspectRatioLocked(false);
  }
  // Widening drops the outline; the next render rebuilds it for the new ratio.
  layer->SetRotate(0);
  layer->SetShape(pxshHeart);
  layer->RenderContent(out, 0, 0, false, false, false, 0, 0);
  ASSERT_GT(layer->ShapePoints().Count, 0);
  layer->SetWidth(300);
  EXPECT_EQ(layer->ShapePoints().Count, 0);
  layer->RenderContent(out, 0, 0, false, true, false, 0, 0);
  EXPECT_GT(layer->ShapePoints().Count, 0);
  EXPECT_EQ(out->Width(), 300);
  EXPECT_TRUE(out->HasAlphaChannel());
  // The drawn outline spans the box in layer pixels.
  double maxX = 0;
  for (int32_t i = 0; i < layer->DrawnPoints().Count; ++i) maxX = std::max(maxX, layer->DrawnPoints()[i].X);
  EXPECT_NEAR(maxX, 299, 2);

  // Shapes that name no outline are refused by the setter and the property key.
  layer->SetShape(static_cast<TPXShape>(150));
  EXPECT_EQ(layer->Shape(), pxshHeart);
  SetLayerPropertyByKey(layer, "PXLP_Shape", "150");
  EXPECT_EQ(layer->Shape(), pxshHeart);
  SetLayerPropertyByKey(layer, "PXLP_Shape", "19");
  EXPECT_EQ(layer->Shape(), pxshArrowUp);
}

TEST(ShapeLayer, AntialiasedCopyWithoutOwnerHalvesATwiceSizeRendering) {
  TPXShapeLayer layer(nullptr);
  layer.SetShape(pxshDiamond);
  std::unique_ptr<TPXBitmap> smooth, plain;
  layer.CopyToBitmap(smooth, 60, 40, false, false);
  ASSERT_EQ(smooth->Width(), 60);
  ASSERT_EQ(smooth->Height(), 40);
  // The halved copy equals a twice-size rendering halved by nearest neighbour.
  layer.RenderContent(plain, 120, 80, false, false, false, 1, 0);
  plain->ResampleByFactor(0.5, rfNone);
  EXPECT_EQ(std::memcmp(smooth->Scanline(20), plain->Scanline(20), 60 * 3), 0);
  layer.SetAntiAlias(false);
  layer.CopyToBitmap(plain, 60, 40, false, false);
  EXPECT_EQ(plain->Width(), 60);
}

TEST(ShapeLayer, RecordAndPropertyKeys) {
  FakeLayerOwner owner;
  TPXShapeLayer a(&owner);
  a.SetShape(pxshCustomStar);
  a.SetShapeModifier(7);
  TMemoryStream s;
  a.SaveToStream(&s, false, -2);
  EXPECT_EQ(s.Size(), LayerRecordCommonSize(PXLayerRecordVersion) + 5);
  s.SetPosition(0);
  TPXShapeLayer b(&owner);
  b.LoadFromStream(&s);
  EXPECT_EQ(b.Shape(), pxshCustomStar);
  EXPECT_EQ(b.ShapeModifier(), 7);
  TMemoryStream again;
  b.SaveToStream(&again, false, -2);
  ASSERT_EQ(again.Size(), s.Size());
  EXPECT_EQ(std::memcmp(again.Memory(), s.Memory(), static_cast<size_t>(s.Size())), 0);

  // A shape number that names no outline makes the record corrupted.
  static_cast<uint8_t*>(s.Memory())[s.Size() - 5] = 150;
  s.SetPosition(0);
  TPXShapeLayer c(&owner);
  EXPECT_EQ(MessageOf<EPXException>([&] { c.LoadFromStream(&s); }), "PXN File has been corrupted");

  TStringList lines;
  LayerPropertiesToStrings(&a, &lines);
  ASSERT_GE(lines.Count(), 2);
  EXPECT_EQ(lines.Strings(lines.Count() - 2), "PXLP_Shape=16");
  EXPECT_EQ(lines.Strings(lines.Count() - 1), "PXLP_ShapeModifier=7");
  TPXShapeLayer d(&owner);
  LayerPropertiesFromStrings(&d, &lines);
  TStringList back;
  LayerPropertiesToStrings(&d, &back);
  EXPECT_EQ(back.Text(), lines.Text());

  // Assign and swap carry the shape between shape layers.
  TPXShapeLayer e(&owner);
  e.Assign(&a);
  EXPECT_EQ(e.Shape(), pxshCustomStar);
  e.SetShape(pxshCloud);
  SwapLayerContents(&a, &e);
  EXPECT_EQ(a.Shape(), pxshCloud);
  EXPECT_EQ(e.Shape(), pxshCustomStar);
  EXPECT_TRUE(a.SupportsFeature(7));
  EXPECT_FALSE(a.SupportsFeature(4));
}
